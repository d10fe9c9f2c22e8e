// DZSlot: the MRAID events of an MRAID ad. The slot is the ad's MRAID event
// handler from the moment its MRAID script reports its load until the ad
// is unloaded; it keeps the page told where it is and what it may do.

#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/web/view/DZAdView.h"
#include "ui/Window.h"

namespace ads {

namespace {

gfx::Rect shiftedByMinus(const gfx::Rect& rect, const gfx::Point& origin) {
    return rect.offset(-origin.x, -origin.y);
}

}  // namespace

void DZSlot::MRAIDAdDidLoad() {
    const auto self = shared_from_this();
    const std::weak_ptr<DZMRAIDEventHandling> handler =
        std::static_pointer_cast<DZMRAIDEventHandling>(self);
    if (ad_) ad_->setMRAIDEventHandler(handler);
    if (loadingAd_) loadingAd_->setMRAIDEventHandler(handler);
    // One registration however often the script reports its load; ending
    // the orientation listening removes it.
    if (!creativeOrientationObserver_) {
        addCreativeOrientationChangeObserver(self, [weak = weak_from_this()] {
            if (const auto slot = weak.lock()) slot->notifyOrientationToMRAIDCreative();
        });
    }
    usableInterfaceFrame_ = {};
    creativeWebViewFrame_ = {};
    creativeAdFrame_ = {};
    startLiveViewReportingIfEnabled();
    notifyOrientationToMRAIDCreative();
    beginListeningToDeviceOrientationChangeEvent();
    notifyDeviceFeatures();
    SDKDidBecomeReady();
    if (const auto delegate = slotDelegate()) delegate->slotDidLoadMRAIDAd(*this);
}

void DZSlot::MRAIDAdDidUnload() {
    endListeningToDeviceOrientationChangeEvent();
}

void DZSlot::notifyOrientationToMRAIDCreative() {
    if (!isMRAIDEnabled() || !adView_) return;
    const auto device = DZDevice::sharedInstance();
    const gfx::Rect screen = device->standardizedOrientedScreenBounds();
    const gfx::Rect application = device->standardizedOrientedApplicationFrame();
    usableInterfaceFrame_ = application;
    core::Dictionary info{
        {"width", screen.size.width},
        {"height", screen.size.height},
        {"maxSizeWidth", application.size.width},
        {"maxSizeHeight", application.size.height},
        {"isOrientationLandscape", DZNumberFromBool(device->orientationLandscape())},
    };
    if (const auto forced = forcedAdOrientation()) info.set("forcedOrientation", *forced);
    adView_->postJSNotification("onScreenInfoChanged", core::Value(std::move(info)));
}

void DZSlot::notifyDeviceFeatures() {
    if (!adView_) return;
    const auto device = DZDevice::sharedInstance();
    adView_->postJSNotification("onDeviceFeaturesReceived",
                                core::Value(core::Dictionary{
                                    {"sms", device->canText()},
                                    {"tel", device->canMakePhoneCalls()},
                                    {"calendar", false},
                                    {"storePicture", false},
                                    {"inlineVideo", true},
                                }));
}

void DZSlot::SDKDidBecomeReady() {
    if (!adView_) return;
    adView_->postJSNotification("onReadyEventReceived",
                                core::Value(core::Dictionary{{"js", DZRequest::sdkVersion()}}));
}

void DZSlot::updateVisibility(bool visible) {
    if (adView_)
        adView_->dispatchSDKEvent("onAdVisibilityChanged",
                                  core::Dictionary{{"visible", DZStringFromBool(visible)}});
}

void DZSlot::updatePositionFromView(const ui::View* view) {
    const gfx::Rect application =
        DZDevice::sharedInstance()->standardizedOrientedApplicationFrame();
    if (application != usableInterfaceFrame_) notifyOrientationToMRAIDCreative();
    if (view && view->window()) {
        const gfx::Rect onScreen =
            shiftedByMinus(DZOrientedScreenBounds(view->convertRectTo(view->bounds(), nullptr)),
                           application.origin);
        if (onScreen != creativeWebViewFrame_) {
            creativeWebViewFrame_ = onScreen;
            if (adView_)
                adView_->dispatchSDKEvent("onSizeChanged",
                                          creativePositionDictionaryForLiveViewBounds(onScreen));
        }
    }
    const auto delegate = slotDelegate();
    const auto frame = delegate ? delegate->frameInInterface() : std::nullopt;
    if (!frame || *frame == gfx::Rect()) return;
    const gfx::Rect inInterface = shiftedByMinus(*frame, application.origin);
    if (inInterface == creativeAdFrame_) return;
    creativeAdFrame_ = inInterface;
    if (adView_)
        adView_->dispatchSDKEvent("onDefaultPositionReceived",
                                  creativePositionDictionaryForLiveViewBounds(inInterface));
}

void DZSlot::handleError(const std::string& message, const std::string& action) {
    DZCallLog::record("DZSlot.handleError:action:");
    if (adView_)
        adView_->dispatchSDKEvent("onError",
                                  core::Dictionary{{"message", message}, {"action", action}});
}

std::optional<std::string> DZSlot::forcedAdOrientation() const {
    const auto controller =
        adView_ ? std::dynamic_pointer_cast<DZAdAppViewController>(adView_->viewController())
                : nullptr;
    if (!controller) return std::nullopt;
    return DZOrientationCodeForOrientation(controller->forcedAdOrientation());
}

core::Dictionary DZSlot::creativePositionDictionaryForLiveViewBounds(const gfx::Rect& bounds) {
    const gfx::Rect rect = bounds.standardized();
    return {
        {"width", rect.size.width},
        {"height", rect.size.height},
        {"x", rect.origin.x},
        {"y", rect.origin.y},
    };
}

}  // namespace ads
