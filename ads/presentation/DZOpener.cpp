#include "ads/presentation/DZOpener.h"

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

bool DZOpener::shouldPerformOpenAction() {
    DZCallLog::record("DZOpener.shouldPerformOpenAction");
    if (!autoClickProtection_ || !autoClickProtection_->enabled()) return true;
    const auto adView = this->adView();
    if (adView && adView->touched()) return true;
    std::optional<std::string> url;
    if (navigationRequest_) url = navigationRequest_->url().absoluteString();
    DZCallLog::record("DZOpener.autoClickAttempt " + url.value_or(""));
    autoClickProtection_->reportSpamOpenActionWithAdDebugDialogString(
        adView ? adView->adDebugDialogString() : std::nullopt, url);
    return false;
}

void DZOpener::openApp(const core::URL& url) {
    DZCallLog::record("DZOpener.openApp " + url.absoluteString());
    DZApplication::sharedInstance()->openURL(url);
}

void DZOpener::openEmailComposer(const core::URL& url) {
    DZCallLog::record("DZOpener.openEmailComposer " + url.absoluteString());
}

void DZOpener::openSmsComposer(const core::URL& url) {
    DZCallLog::record("DZOpener.openSmsComposer " + url.absoluteString());
}

}  // namespace ads
