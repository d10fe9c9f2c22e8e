// DZSlot: the MRAID events of an MRAID ad. They come with the MRAID work;
// until then no ad names the slot as its MRAID event handler, and each of
// these operations is recorded in DZCallLog ("DZSlot.<operation>"). Errors
// already reach the page, as the SDK event "onError".

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

void DZSlot::MRAIDAdDidLoad() {
    DZCallLog::record("DZSlot.MRAIDAdDidLoad");
}

void DZSlot::MRAIDAdDidUnload() {
    DZCallLog::record("DZSlot.MRAIDAdDidUnload");
}

void DZSlot::updateVisibility(bool) {
    DZCallLog::record("DZSlot.updateVisibility:");
}

void DZSlot::updatePositionFromView(const ui::View*) {
    DZCallLog::record("DZSlot.updatePositionFromView:");
}

void DZSlot::notifyOrientationToMRAIDCreative() {
    DZCallLog::record("DZSlot.notifyOrientationToMRAIDCreative");
}

void DZSlot::handleError(const std::string& message, const std::string& action) {
    DZCallLog::record("DZSlot.handleError:action:");
    if (adView_)
        adView_->dispatchSDKEvent("onError",
                                  core::Dictionary{{"message", message}, {"action", action}});
}

}  // namespace ads
