#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"

#include "ads/core/request/DZAdType.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/core/DZMediatedAd.h"
#include "core/NotificationCenter.h"
#include "core/StringFormat.h"

namespace ads {

std::shared_ptr<DZMAdNetworkConnectorBanner>
DZMAdNetworkConnectorBanner::create(std::shared_ptr<DZMConfig> config,
                                    std::shared_ptr<DZMAdNetworkConfig> networkConfig) {
    return make<DZMAdNetworkConnectorBanner>(std::move(config), std::move(networkConfig));
}

DZAdSize
DZMAdNetworkConnectorBanner::bannerSizeForType(const std::shared_ptr<DZAdType>& adType) const {
    DZAdSize size = adType ? adType->adSize() : DZAdSize{};
    gfx::Size slotSize;
    if (const auto& sizes = networkConfig()->slotSizes(); sizes && !sizes->empty())
        if (const std::string* text = sizes->front().string())
            slotSize = DZAdSizeRequestString(*text);
    if (slotSize.width == 0 && slotSize.height == 0)
        if (const auto& fallback = mediationConfig()->defaultSlotSize())
            if (const std::string* text = fallback->string())
                slotSize = DZAdSizeRequestString(*text);
    if (slotSize.width != 0 || slotSize.height != 0) size = DZAdSizeMatchKnownSize(slotSize);
    return size;
}

void DZMAdNetworkConnectorBanner::getAdFromAdapterWithType(
    const std::shared_ptr<DZAdType>& adType) {
    if (adType && adType->isInterstitial()) {
        adapterDidFailAd(
            adapter().get(),
            DZErrorWithCodeDescription(
                kDZErrorInternalError,
                core::format("Connector %@ doesn't support interstitial", className())));
        return;
    }
    const DZAdSize size = bannerSizeForType(adType);
    if (!DZAdSizeValidate(size)) {
        adapterDidFailAd(adapter().get(),
                         DZErrorWithCodeDescription(kDZErrorInternalError,
                                                    "Banner adType requested is invalid."));
        return;
    }
    if (!adapterAnswersOrFail(DZMSelector::getBannerWithSize)) return;
    queuedAppEvents_.clear();
    adapter()->getBannerWithSize(size);
}

void DZMAdNetworkConnectorBanner::noteNetworkAnswered() {
    setDidNetworkRefresh(didNetworkReturn_);
    didNetworkReturn_ = true;
    setClicked(false);
}

void DZMAdNetworkConnectorBanner::adapterDidReceiveAdView(const DZMAdNetworkAdapter* adapter,
                                                          const std::shared_ptr<ui::View>& view) {
    if (!isOwnAdapter(adapter)) return;
    noteNetworkAnswered();
    const auto self = std::static_pointer_cast<DZMAdNetworkConnectorBanner>(shared_from_this());
    // A connector the waterfall has left (its network timed out, or another
    // network's ad took its place) shows nothing: its view is watched for no
    // impression and pings none.
    const auto manager = adManager();
    if (!manager) return;
    if (manager->connectorShouldReturnMediatedAd(self)) {
        manager->adRequestReturnsFromConnectorWithMediatedAd(
            self, std::make_shared<DZMediatedBannerAd>(view, self));
    } else {
        manager->adRequestReturnsFromConnectorWithView(self, view);
    }
    if (impressionMonitor_) impressionMonitor_->stopMonitoring();
    impressionMonitor_ =
        DZImpressionMonitor::create(view, mediationConfig()->impressionDefinition());
    impressionMonitor_->setDelegate(std::static_pointer_cast<DZImpressionMonitorDelegate>(self));
    impressionMonitor_->startMonitoring();
}

void DZMAdNetworkConnectorBanner::impressionMonitorDidMonitorImpression(
    DZImpressionMonitor& monitor) {
    if (&monitor != impressionMonitor_.get()) return;
    reportImpression();
    impressionMonitor_->setDelegate({});
    impressionMonitor_.reset();
}

void DZMAdNetworkConnectorBanner::adapterDidFailAd(const DZMAdNetworkAdapter* adapter,
                                                   const Error& error) {
    if (!isOwnAdapter(adapter)) return;
    noteNetworkAnswered();
    if (const auto manager = adManager())
        manager->adRequestFailedFromConnector(shared_from_this(), error);
}

void DZMAdNetworkConnectorBanner::adapterWillPresentFullScreenModal(const DZMAdNetworkAdapter*) {
    core::NotificationCenter::defaultCenter().post(DZSlot::kWillPresentFullScreenNotification);
    if (const auto slot = this->slot()) slot->adWillPresentScreen();
    reportClick();
}

void DZMAdNetworkConnectorBanner::adapterWillDismissFullScreenModal(const DZMAdNetworkAdapter*) {
    if (const auto slot = this->slot()) slot->adWillDismissScreen();
}

void DZMAdNetworkConnectorBanner::adapterDidDismissFullScreenModal(const DZMAdNetworkAdapter*) {
    core::NotificationCenter::defaultCenter().post(DZSlot::kDidDismissFullScreenNotification);
    if (const auto slot = this->slot()) slot->adDidDismissScreen();
}

void DZMAdNetworkConnectorBanner::adapterWillLeaveApplication(const DZMAdNetworkAdapter*) {
    // Leaving the app is the network's click: the slot counts it as one.
    if (const auto slot = this->slot()) {
        slot->adWillLeaveApplication();
        slot->willLeaveAppDueToClick();
        slot->adWasClicked();
    }
    reportClick();
}

void DZMAdNetworkConnectorBanner::adapterDidReceiveAppEvent(
    const DZMAdNetworkAdapter*, const std::string& name, const std::optional<std::string>& info) {
    const auto slot = this->slot();
    const auto delegate = slot ? slot->slotDelegate() : nullptr;
    if (delegate && delegate->receivesAppEvents()) {
        delegate->didReceiveAppEvent(*slot, name, info);
        return;
    }
    if (queuedAppEvents_.size() < kMaximumQueuedAppEvents) queuedAppEvents_.push_back({name, info});
}

}  // namespace ads
