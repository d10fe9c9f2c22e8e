#include "ads/mediation/DZMAdManager.h"

#include "ads/core/request/DZError.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"

namespace ads {

void DZMAdManager::mediateForAdType(const std::shared_ptr<DZAdType>&,
                                    const std::shared_ptr<DZMConfig>&) {
    DZCallLog::record("DZMAdManager.mediateForAdType:config:");
    // Without adapters no network can be asked: the waterfall runs out.
    if (const auto slot = this->slot())
        slot->didFailToReceiveAdWithError(DZErrorWithCode(kDZErrorMediationNoFill), false);
}

void DZMAdManager::cancel() {
    DZCallLog::record("DZMAdManager.cancel");
}

bool DZMAdManager::changeAdTypeTo(const std::shared_ptr<DZAdType>&) {
    DZCallLog::record("DZMAdManager.changeAdTypeTo:");
    return false;
}

void DZMAdManager::presentInterstitialFromRootViewController(
    const std::shared_ptr<ui::ViewController>&) {
    DZCallLog::record("DZMAdManager.presentInterstitialFromRootViewController:");
}

}  // namespace ads
