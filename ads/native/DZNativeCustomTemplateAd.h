#pragma once
// A native ad of a publisher-defined template: its template id (required)
// and its named text assets. The loader asks the delegate for the template
// ids it takes and delivers only ads of those templates. Template id "3".
// Main thread.

#include <map>

#include "ads/native/DZNativeAd.h"

namespace ads {

class DZNativeCustomTemplateAd final : public DZNativeAd {
public:
    static constexpr const char* kClassName = "DZNativeCustomTemplateAd";

    // nullptr without "custom_template_id".
    [[nodiscard]] static std::shared_ptr<DZNativeCustomTemplateAd>
    create(const core::Dictionary& dictionary, const Options& options);
    [[nodiscard]] static const DZLoadableClass& adClass();

    [[nodiscard]] std::string adFormatTemplateID() const override { return "3"; }
    // "custom_template_ids" of the parameters holds this ad's template id.
    [[nodiscard]] bool hasValidConfigurationForRequestParameters(
        const core::Dictionary& parameters) const override;
    [[nodiscard]] const DZLoadableClass& loadableClass() const override { return adClass(); }
    void adLoaderDidReceiveAd(DZAdLoader& loader) override;

    [[nodiscard]] const std::string& templateID() const { return templateID_; }
    // The "string" assets by name.
    [[nodiscard]] const std::map<std::string, std::string>& strings() const { return strings_; }

private:
    DZNativeCustomTemplateAd(const core::Dictionary& dictionary, const Options& options,
                             std::string templateID);

    std::string templateID_;
    std::map<std::string, std::string> strings_;
};

}  // namespace ads
