#pragma once
// A native app install ad: a headline, a call to action and an app icon
// (all required), with a body, the store, the price, the star rating, main
// images, a video and the attribution badge. Template id "2". Requires
// "headline", "callToAction", "icon" and, when the ad has one,
// "attribution": a failed icon or badge fails the asset load, a failed main
// image or video is only left out.
//
// An ad around a network's mediated app install ad takes the network ad's
// assets; it adopts the mediated app install interface itself, so that the
// SDK's own network can hand its ads on through mediation.
//
// A publisher-owned view is tracked with the asset ids "2009"
// (attribution icon), "2010" (attribution text) and "2099" (background).
//
// Main thread.

#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/native/DZNativeAdvancedAd.h"

namespace ads {

class DZNativeAppInstallAd final : public DZNativeAdvancedAd, public DZMediatedNativeAppInstallAd {
public:
    static constexpr const char* kClassName = "DZNativeAppInstallAd";
    static constexpr const char* kIconAssetName = "icon";

    // nullptr without "headline", "call_to_action" or an "app_icon" whose
    // "url" forms a URL.
    [[nodiscard]] static std::shared_ptr<DZNativeAppInstallAd>
    create(const core::Dictionary& dictionary, const Options& options);
    // nullptr unless the mediated ad's network ad is an app install ad
    // with a headline, a call to action and an icon.
    [[nodiscard]] static std::shared_ptr<DZNativeAppInstallAd>
    createWithMediatedNativeAd(const std::shared_ptr<DZMediatedNativeAd>& mediatedAd,
                               const Options& options);
    [[nodiscard]] static const DZLoadableClass& adClass();

    [[nodiscard]] std::string adFormatTemplateID() const override { return "2"; }
    [[nodiscard]] std::set<std::string> requiredAssets() const override;
    [[nodiscard]] const DZLoadableClass& loadableClass() const override { return adClass(); }
    void adLoaderDidReceiveAd(DZAdLoader& loader) override;

    // Present in every ad made.
    [[nodiscard]] std::optional<std::string> headline() const override { return headline_; }
    [[nodiscard]] std::optional<std::string> callToAction() const override {
        return callToAction_;
    }
    [[nodiscard]] std::shared_ptr<DZNativeAdImage> icon() const override { return icon_; }
    [[nodiscard]] std::optional<std::string> body() const override { return body_; }
    [[nodiscard]] std::optional<std::string> store() const override { return store_; }
    [[nodiscard]] std::optional<std::string> price() const override { return price_; }
    // A dictionary ad's is 0 when its entry gave none.
    [[nodiscard]] std::optional<double> starRating() const override { return starRating_; }
    [[nodiscard]] DZMediatedNativeAdImages images() const override {
        return DZNativeAdvancedAd::images();
    }

private:
    DZNativeAppInstallAd(const core::Dictionary& dictionary, const Options& options);
    DZNativeAppInstallAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd, const Options& options);

    std::shared_ptr<DZNativeAdImage> ownImage() const override { return icon_; }
    const char* ownImageAssetName() const override { return kIconAssetName; }
    PolicyAssetNames policyAssetNames() const override { return {"2009", "2010", "2099"}; }

    std::optional<std::string> headline_;
    std::optional<std::string> callToAction_;
    std::shared_ptr<DZNativeAdImage> icon_;
    std::optional<std::string> body_;
    std::optional<std::string> store_;
    std::optional<std::string> price_;
    std::optional<double> starRating_;
};

}  // namespace ads
