#pragma once
// A native content ad: a headline and a body (both required), with a
// call to action and an advertiser. Template id "1".
// Main thread.

#include "ads/native/DZNativeAd.h"

namespace ads {

class DZNativeContentAd final : public DZNativeAd {
public:
    static constexpr const char* kClassName = "DZNativeContentAd";

    // nullptr without "headline" or "body".
    [[nodiscard]] static std::shared_ptr<DZNativeContentAd> create(const core::Dictionary& dictionary,
                                                                   const Options& options);
    [[nodiscard]] static const DZLoadableClass& adClass();

    [[nodiscard]] std::string adFormatTemplateID() const override { return "1"; }
    [[nodiscard]] std::set<std::string> requiredAssets() const override;
    [[nodiscard]] const DZLoadableClass& loadableClass() const override { return adClass(); }
    void adLoaderDidReceiveAd(DZAdLoader& loader) override;

    [[nodiscard]] const std::string& headline() const { return headline_; }
    [[nodiscard]] const std::string& body() const { return body_; }
    [[nodiscard]] const std::optional<std::string>& callToAction() const { return callToAction_; }
    [[nodiscard]] const std::optional<std::string>& advertiser() const { return advertiser_; }

private:
    DZNativeContentAd(const core::Dictionary& dictionary, const Options& options);

    std::string headline_;
    std::string body_;
    std::optional<std::string> callToAction_;
    std::optional<std::string> advertiser_;
};

}  // namespace ads
