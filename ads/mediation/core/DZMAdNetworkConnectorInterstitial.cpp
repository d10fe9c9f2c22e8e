#include "ads/mediation/core/DZMAdNetworkConnectorInterstitial.h"

#include "ads/core/request/DZAdType.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "core/NotificationCenter.h"

namespace ads {

std::shared_ptr<DZMAdNetworkConnectorInterstitial>
DZMAdNetworkConnectorInterstitial::create(std::shared_ptr<DZMConfig> config,
                                          std::shared_ptr<DZMAdNetworkConfig> networkConfig) {
    return make<DZMAdNetworkConnectorInterstitial>(std::move(config), std::move(networkConfig));
}

void DZMAdNetworkConnectorInterstitial::getAdFromAdapterWithType(
    const std::shared_ptr<DZAdType>& adType) {
    if (!adType || !adType->isInterstitial()) {
        adapterDidFailAd(
            adapter().get(),
            DZErrorWithCodeDescription(kDZErrorInternalError,
                                       "Invalid mediation ad requested from interstitial object."));
        return;
    }
    if (!adapterAnswersOrFail(DZMSelector::getInterstitial)) return;
    adapter()->getInterstitial();
}

void DZMAdNetworkConnectorInterstitial::adapterDidReceiveInterstitial(
    const DZMAdNetworkAdapter* adapter) {
    if (!isOwnAdapter(adapter)) return;
    setClicked(false);
    if (const auto manager = adManager())
        manager->adRequestReturnsFromConnectorWithInterstitial(shared_from_this());
}

void DZMAdNetworkConnectorInterstitial::adapterDidFailAd(const DZMAdNetworkAdapter* adapter,
                                                         const Error& error) {
    if (!isOwnAdapter(adapter)) return;
    if (const auto manager = adManager())
        manager->adRequestFailedFromConnector(shared_from_this(), error);
}

void DZMAdNetworkConnectorInterstitial::adapterDidFailInterstitial(
    const DZMAdNetworkAdapter* adapter, const Error& error) {
    adapterDidFailAd(adapter, error);
}

void DZMAdNetworkConnectorInterstitial::adapterWillPresentInterstitial(const DZMAdNetworkAdapter*) {
    core::NotificationCenter::defaultCenter().post(DZSlot::kWillPresentFullScreenNotification);
    if (const auto slot = this->slot()) slot->adWillPresentScreen();
    reportImpression();
}

void DZMAdNetworkConnectorInterstitial::adapterWillDismissInterstitial(const DZMAdNetworkAdapter*) {
    calledWillDismissInterstitial_ = true;
    if (const auto slot = this->slot()) slot->adWillDismissScreen();
}

void DZMAdNetworkConnectorInterstitial::adapterDidDismissInterstitial(
    const DZMAdNetworkAdapter* adapter) {
    if (!calledWillDismissInterstitial_) adapterWillDismissInterstitial(adapter);
    core::NotificationCenter::defaultCenter().post(DZSlot::kDidDismissFullScreenNotification);
    if (const auto slot = this->slot()) slot->adDidDismissScreen();
}

void DZMAdNetworkConnectorInterstitial::adapterWillLeaveApplication(const DZMAdNetworkAdapter*) {
    // Leaving the app is the network's click: the slot counts it as one.
    if (const auto slot = this->slot()) {
        slot->adWillLeaveApplication();
        slot->willLeaveAppDueToClick();
        slot->adWasClicked();
    }
    reportClick();
}

}  // namespace ads
