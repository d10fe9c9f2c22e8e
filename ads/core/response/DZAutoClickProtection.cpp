#include "ads/core/response/DZAutoClickProtection.h"

#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/web/net/DZPinger.h"

namespace ads {

std::shared_ptr<DZAutoClickProtection>
DZAutoClickProtection::create(const core::Value& dictionary) {
    if (!dictionary.isDictionary()) {
        return nullptr;
    }
    auto protection =
        std::make_shared<DZAutoClickProtection>(dictionary["enable_protection"].boolValue());
    if (const core::Array* urls = dictionary["reporting_urls"].array()) {
        std::vector<std::string> templates;
        for (const core::Value& url : *urls) {
            if (const std::string* text = url.string()) {
                templates.push_back(*text);
            }
        }
        protection->reportingURLStringTemplates_ = std::move(templates);
    }
    return protection;
}

void DZAutoClickProtection::reportSpamOpenActionWithAdDebugDialogString(
    const std::optional<std::string>& debugDialog,
    const std::optional<std::string>& navigationURL) const {
    if (reportingURLStringTemplates_) {
        reportSpamOpenActionWithNavigationURLString(navigationURL.value_or(""));
        return;
    }
    core::Dictionary userInfo;
    if (debugDialog) userInfo.set("debugDialog", *debugDialog);
    if (navigationURL) userInfo.set("navigationURL", *navigationURL);
    const auto controller =
        SDKCoreController_ ? SDKCoreController_ : DZSDKCoreController::sharedInstance();
    controller->postJavaScriptNotification("navigationBlocked", std::move(userInfo));
}

void DZAutoClickProtection::reportSpamOpenActionWithNavigationURLString(
    const std::string& navigationURL) const {
    if (!reportingURLStringTemplates_) return;
    static constexpr std::string_view kPlaceholder = "{NAVIGATION_URL}";
    const std::string escaped = DZPercentEscapedString(navigationURL);
    for (std::string report : *reportingURLStringTemplates_) {
        for (size_t at = report.find(kPlaceholder); at != std::string::npos;
             at = report.find(kPlaceholder, at + escaped.size())) {
            report.replace(at, kPlaceholder.size(), escaped);
        }
        DZPinger::sharedInstance()->pingURLString(report, nullptr, nullptr);
    }
}

}  // namespace ads
