// DZSlot: the hooks of the mediation waterfall: the connector of the
// network that filled, the adapter behind the shown ad, type changes and
// mediated interstitials.

#include "ads/core/request/DZAdType.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdResponseType.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"

namespace ads {

std::shared_ptr<DZMAdNetworkConnector> DZSlot::mediationConnector() const {
    return mediationManager_->receivedConnector();
}

void DZSlot::setMediationConnector(const std::shared_ptr<DZMAdNetworkConnector>& connector) {
    if (!connector) return;
    const auto manager = connector->adManager();
    if (manager == mediationManager_) return;
    // A connector that served another slot brings that slot's ad along.
    if (const auto other = manager ? manager->slot() : nullptr)
        finishedLoadingAdResponse(other->ad());
    mediationManager_->setReceivedConnector(connector);
    connector->setAdManager(mediationManager_);
}

std::optional<std::string> DZSlot::adNetworkClassName() const {
    if (state_ != kValidAd) return std::nullopt;
    if (!isMediating()) return std::string(kOwnAdapterClassName);
    const auto connector = mediationConnector();
    return connector ? connector->networkConfig()->adapterClass() : std::nullopt;
}

bool DZSlot::changeAdTypeTo(const std::shared_ptr<DZAdType>& adType) {
    if (isInterstitial() || !adType || adType->isInterstitial()) return false;
    return mediationManager_->changeAdTypeTo(adType);
}

bool DZSlot::isMediating() const {
    return ad_ && ad_->responseType() == DZAdResponseTypeMediation;
}

bool DZSlot::isBeingMediated() const {
    if (!nextRequest_) return false;
    const auto extras =
        std::dynamic_pointer_cast<DZExtras>(nextRequest_->adNetworkExtrasFor(DZExtras::kClassName));
    return extras && extras->additionalParameters() &&
           extras->additionalParameters()->contains("gw");
}

void DZSlot::presentMediatedInterstitialFromRootViewController(
    const std::shared_ptr<ui::ViewController>& viewController) {
    if (isInterstitial() && isMediating())
        mediationManager_->presentInterstitialFromRootViewController(viewController);
}

std::shared_ptr<ui::ViewController> DZSlot::viewControllerForPresentingModalView() const {
    const auto delegate = slotDelegate();
    return delegate ? delegate->rootViewController() : nullptr;
}

}  // namespace ads
