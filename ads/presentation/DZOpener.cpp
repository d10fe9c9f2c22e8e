#include "ads/presentation/DZOpener.h"

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZCallLog.h"

namespace ads {

bool DZOpener::shouldPerformOpenAction() {
    DZCallLog::record("DZOpener.shouldPerformOpenAction");
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
