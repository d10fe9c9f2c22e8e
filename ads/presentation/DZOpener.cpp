#include "ads/presentation/DZOpener.h"

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

bool DZOpener::shouldPerformOpenAction() {
    DZCallLog::record("DZOpener.shouldPerformOpenAction");
    if (!autoClickProtection_ || !autoClickProtection_->enabled()) return true;
    const auto adView = this->adView();
    if (adView && adView->touched()) return true;
    DZCallLog::record("DZOpener.autoClickAttempt " +
                      (navigationRequest_ ? navigationRequest_->url().absoluteString() : ""));
    return false;
}

void DZOpener::openApp(const core::URL& url) {
    DZCallLog::record("DZOpener.openApp " + url.absoluteString());
    // Whatever the opener opens for an ad is a click on it.
    if (const auto slot = this->slot()) slot->pingClickURLs();
    DZApplication::sharedInstance()->openURL(url);
}

void DZOpener::openEmailComposer(const core::URL& url) {
    DZCallLog::record("DZOpener.openEmailComposer " + url.absoluteString());
}

void DZOpener::openSmsComposer(const core::URL& url) {
    DZCallLog::record("DZOpener.openSmsComposer " + url.absoluteString());
}

}  // namespace ads
