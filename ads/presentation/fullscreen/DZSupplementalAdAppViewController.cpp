#include "ads/presentation/fullscreen/DZSupplementalAdAppViewController.h"

#include "ads/core/request/DZRequest.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

void sendState(const std::shared_ptr<DZAdView>& adView, const char* state) {
    if (adView) adView->dispatchSDKEvent("onStateChanged", core::Dictionary{{"state", state}});
}

}  // namespace

void DZSupplementalAdAppViewController::finishAppearing() {
    DZAdAppViewController::finishAppearing();
    const auto own = adView();
    if (own) {
        own->dispatchSDKEvent("onReadyEventReceived",
                              core::Dictionary{{"js", DZRequest::sdkVersion()}});
        sendState(own, "expanded");
    }
    if (const auto slot = this->slot()) sendState(slot->adView(), "expanded");
}

void DZSupplementalAdAppViewController::finishDismissal() {
    DZAdAppViewController::finishDismissal();
    if (const auto slot = this->slot()) sendState(slot->adView(), "default");
}

void DZSupplementalAdAppViewController::viewDidAppear(bool animated) {
    DZAdAppViewController::viewDidAppear(animated);
    if (const auto own = adView())
        own->dispatchSDKEvent("onAdVisibilityChanged",
                              core::Dictionary{{"visible", DZStringFromBool(true)}});
}

void DZSupplementalAdAppViewController::viewDidDisappear(bool animated) {
    DZAdAppViewController::viewDidDisappear(animated);
    if (const auto own = adView())
        own->dispatchSDKEvent("onAdVisibilityChanged",
                              core::Dictionary{{"visible", DZStringFromBool(false)}});
}

}  // namespace ads
