#pragma once
// A native app install ad: a headline, a call to action and an app icon
// (all required), with a body, the store, the price and the star rating.
// Template id "2". Main thread.

#include "ads/native/DZNativeAd.h"

namespace ads {

class DZNativeAppInstallAd final : public DZNativeAd {
public:
    static constexpr const char* kClassName = "DZNativeAppInstallAd";

    // nullptr without "headline", "call_to_action" or an "app_icon" whose
    // "url" forms a URL.
    [[nodiscard]] static std::shared_ptr<DZNativeAppInstallAd>
    create(const core::Dictionary& dictionary, const Options& options);
    [[nodiscard]] static const DZLoadableClass& adClass();

    [[nodiscard]] std::string adFormatTemplateID() const override { return "2"; }
    [[nodiscard]] std::set<std::string> requiredAssets() const override;
    [[nodiscard]] const DZLoadableClass& loadableClass() const override { return adClass(); }
    void adLoaderDidReceiveAd(DZAdLoader& loader) override;

    [[nodiscard]] const std::string& headline() const { return headline_; }
    [[nodiscard]] const std::string& callToAction() const { return callToAction_; }
    [[nodiscard]] const core::URL& iconURL() const { return iconURL_; }
    [[nodiscard]] const std::optional<std::string>& body() const { return body_; }
    [[nodiscard]] const std::optional<std::string>& store() const { return store_; }
    [[nodiscard]] const std::optional<std::string>& price() const { return price_; }
    [[nodiscard]] double starRating() const { return starRating_; }

private:
    DZNativeAppInstallAd(const core::Dictionary& dictionary, const Options& options,
                         core::URL iconURL);

    std::string headline_;
    std::string callToAction_;
    core::URL iconURL_;
    std::optional<std::string> body_;
    std::optional<std::string> store_;
    std::optional<std::string> price_;
    double starRating_ = 0;
};

}  // namespace ads
