#pragma once
// A kind of ad object that an ad loader can deliver, named as its class
// ("DZNativeContentAd", "ZODBannerView", ...): a value that loader
// configurations keep in sets and that the native layer maps its ad loader
// ad types onto. Pure; any thread.

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace ads {

class DZAdClass {
public:
    explicit DZAdClass(std::string className) : className_(std::move(className)) {}

    [[nodiscard]] const std::string& className() const { return className_; }

    friend auto operator<=>(const DZAdClass&, const DZAdClass&) = default;

private:
    std::string className_;
};

// The ad class of an ad loader ad type: "1" DZNativeContentAd, "2"
// DZNativeAppInstallAd, "3" DZNativeCustomTemplateAd, "-1" ZODBannerView;
// nullopt for any other text.
[[nodiscard]] std::optional<DZAdClass> DZNativeAdClassForAdLoaderAdType(std::string_view adType);

}  // namespace ads
