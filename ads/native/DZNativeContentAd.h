#pragma once
// A native content ad: a headline and a body (both required), with a call
// to action, an advertiser, main images, a logo, a video and the
// attribution badge. Template id "1". Requires "headline", "body" and,
// when the ad has one, "attribution": only a failed badge fails the asset
// load; a failed logo keeps no picture and a failed main image is left
// out.
//
// An ad around a network's mediated content ad takes the network ad's
// assets; it adopts the mediated content interface itself.
//
// A publisher-owned view is tracked with the asset ids "1007"
// (attribution icon), "1008" (attribution text) and "1099" (background).
//
// Main thread.

#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/native/DZNativeAdvancedAd.h"

namespace ads {

class DZNativeContentAd final : public DZNativeAdvancedAd, public DZMediatedNativeContentAd {
public:
    static constexpr const char* kClassName = "DZNativeContentAd";
    static constexpr const char* kLogoAssetName = "logo";

    // nullptr without "headline" or "body".
    [[nodiscard]] static std::shared_ptr<DZNativeContentAd> create(const core::Dictionary& dictionary,
                                                                   const Options& options);
    // nullptr unless the mediated ad's network ad is a content ad with a
    // headline and a body.
    [[nodiscard]] static std::shared_ptr<DZNativeContentAd>
    createWithMediatedNativeAd(const std::shared_ptr<DZMediatedNativeAd>& mediatedAd,
                               const Options& options);
    [[nodiscard]] static const DZLoadableClass& adClass();

    [[nodiscard]] std::string adFormatTemplateID() const override { return "1"; }
    [[nodiscard]] std::set<std::string> requiredAssets() const override;
    [[nodiscard]] const DZLoadableClass& loadableClass() const override { return adClass(); }
    void adLoaderDidReceiveAd(DZAdLoader& loader) override;

    // Present in every ad made.
    [[nodiscard]] std::optional<std::string> headline() const override { return headline_; }
    [[nodiscard]] std::optional<std::string> body() const override { return body_; }
    [[nodiscard]] std::optional<std::string> callToAction() const override {
        return callToAction_;
    }
    [[nodiscard]] std::optional<std::string> advertiser() const override { return advertiser_; }
    // The "secondary_image"; its picture once loaded.
    [[nodiscard]] std::shared_ptr<DZNativeAdImage> logo() const override { return logo_; }
    [[nodiscard]] DZMediatedNativeAdImages images() const override {
        return DZNativeAdvancedAd::images();
    }

private:
    DZNativeContentAd(const core::Dictionary& dictionary, const Options& options);
    DZNativeContentAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd, const Options& options);

    std::shared_ptr<DZNativeAdImage> ownImage() const override { return logo_; }
    const char* ownImageAssetName() const override { return kLogoAssetName; }
    PolicyAssetNames policyAssetNames() const override { return {"1007", "1008", "1099"}; }

    std::optional<std::string> headline_;
    std::optional<std::string> body_;
    std::optional<std::string> callToAction_;
    std::shared_ptr<DZNativeAdImage> logo_;
    std::optional<std::string> advertiser_;
};

}  // namespace ads
