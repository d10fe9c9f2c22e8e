// DZMAdManager: what the connectors report: a banner view, an
// interstitial, a mediated ad or a failure.

#include <memory>

#include "ads/core/request/DZAdType.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/mediation/DZAdMediationDelegate.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/mediation/core/DZMediatedAd.h"

namespace ads {

bool DZMAdManager::acceptReportFrom(const std::shared_ptr<DZMAdNetworkConnector>& connector) {
    // The gate comes first: a late report from a network left behind must
    // not stop the timer of the network being asked now.
    if (!connector || (connector != requestingConnector_ && connector != receivedConnector_))
        return false;
    invalidateTimer();
    requestInProgress_ = false;
    return true;
}

void DZMAdManager::takeReceivedConnector(const std::shared_ptr<DZMAdNetworkConnector>& connector) {
    if (receivedConnector_ && receivedConnector_ != connector) detach(receivedConnector_);
    receivedConnector_ = connector;
}

bool DZMAdManager::connectorShouldReturnMediatedAd(
    const std::shared_ptr<DZMAdNetworkConnector>&) const {
    const auto delegate = mediationDelegate();
    return delegate && delegate->processesMediatedAds();
}

void DZMAdManager::adRequestReturnsFromConnectorWithView(
    const std::shared_ptr<DZMAdNetworkConnector>& connector,
    const std::shared_ptr<ui::View>& view) {
    const auto keep = shared_from_this();
    if (!acceptReportFrom(connector)) return;
    const auto& network = connector->networkConfig();
    endAdapterTiming(kExitFilled);
    reportCSISuccess(network->adapterClass());
    if (connector != receivedConnector_) {
        recordFillStatus(kFillFilled, network);
        takeReceivedConnector(connector);
        if (fillStatusPingsSent_) return;
        connector->reportFill();
        fillStatusPingsSent_ = true;
    }
    const auto slot = this->slot();
    if (!slot) return;
    slot->setViewForAdUsingView(view);
    slot->didReceiveValidAd();
    slot->adFinishedLoadingContent();
}

void DZMAdManager::adRequestReturnsFromConnectorWithInterstitial(
    const std::shared_ptr<DZMAdNetworkConnector>& connector) {
    const auto keep = shared_from_this();
    if (!acceptReportFrom(connector)) return;
    if (connector != receivedConnector_) {
        const auto& network = connector->networkConfig();
        endAdapterTiming(kExitFilled, kFillFilled, network);
        reportCSISuccess(network->adapterClass());
        takeReceivedConnector(connector);
        if (fillStatusPingsSent_) return;
        connector->reportFill();
        fillStatusPingsSent_ = true;
    }
    if (const auto slot = this->slot()) {
        slot->didReceiveValidAd();
        slot->adFinishedLoadingContent();
    }
    requestingConnector_.reset();
}

void DZMAdManager::adRequestReturnsFromConnectorWithMediatedAd(
    const std::shared_ptr<DZMAdNetworkConnector>& connector,
    const std::shared_ptr<DZMediatedAd>& mediatedAd) {
    const auto keep = shared_from_this();
    if (!acceptReportFrom(connector)) return;
    if (connector == receivedConnector_ || receivedConnector_ || !mediatedAd) return;
    reportCSISuccess(connector->networkConfig()->adapterClass());
    const auto delegate = mediationDelegate();
    if (!delegate || !delegate->processesMediatedAds()) {
        makeAdRequest();
        return;
    }
    const std::weak_ptr<DZMAdNetworkConnector> weakConnector = connector;
    mediatedAd->addClickHandler([weakConnector] {
        if (const auto owner = weakConnector.lock()) owner->reportClick();
    });
    mediatedAd->addImpressionHandler([weakConnector] {
        if (const auto owner = weakConnector.lock()) owner->reportImpression();
    });
    const auto slot = this->slot();
    // The delegate's first answer counts.
    auto answered = std::make_shared<bool>(false);
    delegate->processMediatedAd(
        slot ? slot->ad() : nullptr, mediatedAd,
        [weak = weak_from_this(), connector, answered](const std::optional<Error>& error) {
            if (*answered) return;
            *answered = true;
            const auto self = weak.lock();
            if (!self) return;
            if (error) {
                self->recordFillStatus(kFillError, connector->networkConfig());
                self->makeAdRequest();
                return;
            }
            self->recordFillStatus(kFillFilled, connector->networkConfig());
            self->receivedConnector_ = connector;
            if (const auto owner = self->slot()) {
                owner->didReceiveValidAd();
                owner->adFinishedLoadingContent();
            }
            self->requestingConnector_.reset();
            if (self->fillStatusPingsSent_) return;
            connector->reportFill();
            self->fillStatusPingsSent_ = true;
        });
}

void DZMAdManager::adRequestFailedFromConnector(
    const std::shared_ptr<DZMAdNetworkConnector>& connector, const Error& error) {
    const auto keep = shared_from_this();
    if (connector) reportCSIFailure(connector->networkConfig()->adapterClass());
    if (!acceptReportFrom(connector)) return;
    const bool refreshed = connector->didNetworkRefresh();
    if (requestingConnector_ && requestingConnector_ != receivedConnector_)
        detach(requestingConnector_);
    requestingConnector_.reset();
    if (!(adType_ && adType_->isInterstitial()) && refreshed) {
        // A shown banner network failed its own refresh: the slot hears of
        // it, and the waterfall stays with that network.
        const Error failure = DZErrorWithCodeDescription(kDZErrorServerError, error.message);
        if (const auto slot = this->slot()) {
            slot->mediatedAdNetworkAutoRefreshed();
            slot->adFailedToReceiveContentWithError(failure);
        }
        return;
    }
    const bool noFill = error.domain == kDZErrorDomain && error.code == kDZErrorNoFill;
    endAdapterTiming(noFill ? kExitNoFill : kExitError, noFill ? kFillNoFill : kFillError,
                     connector->networkConfig());
    makeAdRequest();
}

}  // namespace ads
