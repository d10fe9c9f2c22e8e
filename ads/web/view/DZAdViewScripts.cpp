// DZAdView: scripts run in the page, SDK events, and the page's window
// orientation.

#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZStoredSeconds.h"
#include "ads/foundation/DZThreading.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZJavaScriptMessageCall.h"
#include "core/RunLoop.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr std::string_view kOrientationChangeEvent =
    "(function(){var event = document.createEvent('Events');event.initEvent('orientationchange', "
    "true, false);window.dispatchEvent(event);})();";

}  // namespace

std::string DZAdView::scriptForAsynchronousExecution(const std::string& script) {
    const double delay = DZStoredSeconds(kScriptDelayKey, kMaximumScriptDelay).value_or(0);
    if (delay <= 0) return script;
    return core::format("setTimeout(function(){%@}, %llu);", script,
                        static_cast<unsigned long long>(delay * 1000));
}

void DZAdView::executeJavaScriptAsynchronouslyFromString(const std::string& script) {
    // The platform's run loop has one mode: scripts always run on its next
    // turn, also while the user scrolls.
    core::RunLoop::main().post([webView = std::weak_ptr<DZWebView>(webView_),
                                script = scriptForAsynchronousExecution(script)] {
        if (const auto view = webView.lock()) view->evaluateJavaScriptFromString(script);
    });
}

void DZAdView::postJSNotification(std::string_view name,
                                  const std::optional<core::Value>& userInfo) {
    executeJavaScriptAsynchronouslyFromString(DZJavaScriptMessageCall(name, userInfo));
}

void DZAdView::dispatchSDKEvent(const std::string& event,
                                const std::optional<core::Dictionary>& parameters) {
    core::Dictionary merged{{"version", DZRequest::sdkVersion()},
                            {"device", DZDevice::sharedInstance()->deviceSubmodel()}};
    if (parameters) {
        for (const auto& [key, value] : *parameters) merged.set(key, value);
    }
    std::lock_guard admission(eventAdmission_);
    if (eventQueue_->isSuspended() && eventQueue_->operationCount() >= kMaximumWaitingEvents)
        return;
    eventQueue_->addOperation(
        [weak = weak_from_this(), event, merged = core::Value(std::move(merged))] {
            auto adView = std::static_pointer_cast<DZAdView>(weak.lock());
            if (!adView) return;
            adView->postJSNotification(event, merged);
            // The last reference of a view goes on the main thread.
            DZReleaseOnMainThread(std::move(adView));
        });
}

void DZAdView::forceRotateHTMLToOrientation(long orientation) {
    setHTMLWindowOrientation(orientation, true);
}

void DZAdView::didRotateToOrientation(long orientation) {
    setHTMLWindowOrientation(orientation, false);
}

void DZAdView::setHTMLWindowOrientation(long orientation, bool dispatchOrientationChangeEvent) {
    if (orientation < 1 || orientation > 4 || orientation == orientation_) return;
    orientation_ = orientation;
    static constexpr long kAngles[] = {0, 180, 90, -90};
    std::string script =
        core::format("window.__defineGetter__('orientation',function(){return %ld;});",
                     kAngles[orientation - 1]);
    if (dispatchOrientationChangeEvent) script += kOrientationChangeEvent;
    executeJavaScriptAsynchronouslyFromString(script);
}

}  // namespace ads
