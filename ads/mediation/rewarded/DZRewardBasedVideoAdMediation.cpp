// DZRewardBasedVideoAd: the waterfall of a mediation response over rewarded
// networks. Set-up connectors are kept per adapter class across requests;
// each network is asked once its adapter's set-up has reported, one
// network at a time in the response's order, each turn with a time-out of
// the response's ad network timeout.

#include <algorithm>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "ads/foundation/DZThreading.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkConnector.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAdDelegate.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "core/Queue.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

// Fill statuses of the statistics.
constexpr std::int64_t kFillStatusFilled = 0;
constexpr std::int64_t kFillStatusNoFill = 1;
constexpr std::int64_t kFillStatusTimeout = 2;
constexpr std::int64_t kFillStatusSetUpFailed = 3;
constexpr std::int64_t kFillStatusError = 6;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::optional<core::Dictionary>
DZRewardBasedVideoAd::decodedJSONResponseFromAd(const std::shared_ptr<DZAd>& ad, Error* error) const {
    const core::Dictionary headers = ad->responseHeaders().value_or(core::Dictionary());
    const core::Value* mediation = headers.find("x-duzo-mediation");
    const core::Value* contentType = headers.find("content-type");
    if (!mediation || !mediation->boolValue() || !contentType ||
        !startsWith(contentType->stringValue(), "application/json")) {
        if (error) *error = DZErrorWithCodeDescription(kDZErrorReceivedInvalidResponse, "Invalid server response.");
        return std::nullopt;
    }
    Error decodingError;
    const auto decoded = dz_decodedJSONObjectError(ad->adHTML().value_or(""), &decodingError);
    if (!decoded) {
        if (error) *error = decodingError;
        return std::nullopt;
    }
    if (!decoded->dictionary()) {
        if (error) *error = DZErrorWithCodeDescription(kDZErrorReceivedInvalidResponse, "Invalid server response.");
        return std::nullopt;
    }
    return *decoded->dictionary();
}

void DZRewardBasedVideoAd::processMediationAd(const std::shared_ptr<DZAd>& ad) {
    Error error;
    const auto response = decodedJSONResponseFromAd(ad, &error);
    if (!response) {
        failedToLoadAdWithError(error);
        return;
    }
    error = Error();
    const auto config = DZMConfig::initWithAppKey(adUnitID_.value_or(""), core::Value(*response), &error);
    mediationConfig_ = config;
    if (!config) {
        failedToLoadAdWithError(error.domain.empty()
                                    ? DZErrorWithCodeDescription(kDZErrorMediationDataError,
                                                                 "Failed to parse mediation config.")
                                    : error);
        return;
    }
    resetFillStatus();
    setUpAdaptersForAdNetworkConfigs();
    buildPendingAdRequestConnectorsList();
    makeNextAdRequest();
}

void DZRewardBasedVideoAd::resetFillStatus() {
    adStatistics_->resetFillStatus();
    allocationIDs_.clear();
}

void DZRewardBasedVideoAd::removeStaleConnectors() {
    const std::uint64_t now = DZMonotonicMilliseconds();
    const double limit = mediationConfig_ ? mediationConfig_->adNetworkTimeout() * 1000.0 : 0.0;
    std::vector<std::string> stale;
    for (const auto& [name, started] : pendingSetUpConnectorsTimestamp_)
        if (double(now - std::min(now, started)) > limit) stale.push_back(name);
    for (const auto& name : stale) {
        if (const auto found = connectors_.find(name); found != connectors_.end()) {
            found->second->askAdapterToStopBeingDelegate();
            found->second->setDelegate({});
            connectors_.erase(found);
        }
        pendingSetUpConnectorsTimestamp_.erase(name);
    }
}

void DZRewardBasedVideoAd::setUpAdaptersForAdNetworkConfigs() {
    removeStaleConnectors();
    const auto self = shared_from_this();
    for (const auto& network : mediationConfig_->adNetworkConfigs()) {
        if (!DZMediationResolveAdapterClass(network)) {
            mediation_adapterDidFailToSetUpWithNetworkConfig(network);
            continue;
        }
        const std::string name = *network->adapterClass();
        if (connectors_.count(name)) continue;
        auto connector = DZMRewardBasedVideoAdNetworkConnector::create();
        connector->setAdNetworkConfig(network);
        connector->setMediationConfig(mediationConfig_);
        connector->setDelegate(std::static_pointer_cast<DZMRewardBasedVideoAdConnectorDelegate>(self));
        connector->setRequest(request_);
        connectors_[name] = connector;
        pendingSetUpConnectorsTimestamp_[name] = DZMonotonicMilliseconds();
        // The set-up may report (and even drop this entry) at once.
        connector->setUpAdapter();
    }
}

void DZRewardBasedVideoAd::setUpAdaptersForAdNetworkConfigsFromAppConfiguration(
    const std::vector<std::shared_ptr<DZMAdNetworkConfig>>& configs) {
    std::vector<std::pair<std::string, std::vector<std::shared_ptr<DZMAdNetworkConfig>>>> groups;
    for (const auto& config : configs) {
        if (!DZMediationResolveAdapterClass(config)) {
            mediation_adapterDidFailToSetUpWithNetworkConfig(config);
            continue;
        }
        const std::string name = *config->adapterClass();
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& entry) { return entry.first == name; });
        if (group == groups.end()) {
            groups.push_back({name, {}});
            group = std::prev(groups.end());
        }
        group->second.push_back(config);
    }
    const auto self = shared_from_this();
    for (auto& [name, group] : groups) {
        auto connector = DZMRewardBasedVideoAdNetworkConnector::create();
        connector->setAdNetworkConfigsFromAppConfiguration(group);
        connector->setDelegate(std::static_pointer_cast<DZMRewardBasedVideoAdConnectorDelegate>(self));
        pendingSetUpConnectorsTimestamp_[name] = DZMonotonicMilliseconds();
        if (const auto previous = connectors_.find(name);
            previous != connectors_.end() && previous->second != connector) {
            previous->second->askAdapterToStopBeingDelegate();
            previous->second->setDelegate({});
        }
        connectors_[name] = connector;
        connector->setUpAdapter();
    }
}

void DZRewardBasedVideoAd::buildPendingAdRequestConnectorsList() {
    pendingAdRequestConnectors_.clear();
    for (const auto& network : mediationConfig_->adNetworkConfigs()) {
        if (const auto allocation = network->allocationIDString()) allocationIDs_.push_back(*allocation);
        if (!network->adapterClass()) continue;
        if (const auto found = connectors_.find(*network->adapterClass()); found != connectors_.end())
            pendingAdRequestConnectors_.push_back({found->second, network});
    }
}

void DZRewardBasedVideoAd::makeNextAdRequest() {
    if (pendingAdRequestConnectors_.empty()) {
        requestingConnector_.reset();
        requestingNetworkConfig_.reset();
        pingNoFillURLs();
        failedToLoadAdWithError(
            DZErrorWithCodeDescription(kDZErrorMediationNoFill, "No ad returned from any ad server."));
        return;
    }
    const PendingAdRequest turn = pendingAdRequestConnectors_.front();
    pendingAdRequestConnectors_.erase(pendingAdRequestConnectors_.begin());
    requestingConnector_ = turn.connector;
    requestingNetworkConfig_ = turn.networkConfig;
    const std::uint64_t thisTurn = ++requestTurn_;
    mediation_connectorWillStartRequestingAd();

    const std::weak_ptr<DZRewardBasedVideoAd> weak = weak_from_this();
    const std::weak_ptr<DZMRewardBasedVideoAdNetworkConnector> weakConnector = turn.connector;
    const double timeout = mediationConfig_ ? mediationConfig_->adNetworkTimeout() : 0.0;
    core::Queue::main()->after(timeout, [weak, weakConnector, thisTurn] {
        const auto self = weak.lock();
        const auto connector = weakConnector.lock();
        // Only for the turn it was set for: the same connector may stand in
        // the list again and be asking in a later turn.
        if (!self || !connector || self->requestTurn_ != thisTurn ||
            self->requestingConnector_ != connector)
            return;
        self->connectorDidFailToReceiveRewardBasedVideoAd(
            *connector, DZErrorWithCodeDescription(
                            kDZErrorTimeout,
                            core::format("Ad request from adapter %@ timed out.",
                                         connector->currentAdapterName().value_or("(null)"))));
    });

    const auto name = turn.connector->currentAdapterName();
    if (!name || !pendingSetUpConnectorsTimestamp_.count(*name))
        requestAdFromConnector(turn.connector, turn.networkConfig);
}

void DZRewardBasedVideoAd::requestAdFromConnector(
    const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>& connector,
    const std::shared_ptr<DZMAdNetworkConfig>& networkConfig) {
    connector->setRequest(request_);
    connector->setMediationConfig(mediationConfig_);
    connector->setAd(ad_);
    // Each turn hands over its own network entry, so entries that share
    // an adapter class are each asked with their own credentials.
    connector->setAdNetworkConfig(networkConfig);
    connector->requestRewardBasedVideoAd();
}

void DZRewardBasedVideoAd::presentMediatedRewardBasedVideoAdFromViewController(
    const std::shared_ptr<ui::ViewController>& root) {
    if (receivedConnector_) receivedConnector_->presentRewardBasedVideoAdFromRootViewController(root);
}

// Connector reports.

void DZRewardBasedVideoAd::connectorDidSetUpRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkConnector& connector) {
    const auto keep = shared_from_this();
    if (const auto name = connector.currentAdapterName()) pendingSetUpConnectorsTimestamp_.erase(*name);
    if (isRequestingConnector(connector))
        requestAdFromConnector(requestingConnector_, requestingNetworkConfig_);
}

void DZRewardBasedVideoAd::connectorDidFailToSetUpRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkConnector& connector, const Error&) {
    const auto keep = shared_from_this();
    const auto hold = connector.shared_from_this();
    if (const auto name = connector.currentAdapterName()) {
        pendingSetUpConnectorsTimestamp_.erase(*name);
        if (const auto found = connectors_.find(*name);
            found != connectors_.end() && found->second.get() == &connector)
            connectors_.erase(found);
        mediation_adapterDidFailToSetUpWithNetworkConfig(connector.adNetworkConfig());
    }
    if (isRequestingConnector(connector)) {
        requestingConnector_.reset();
        requestingNetworkConfig_.reset();
        makeNextAdRequest();
    }
}

void DZRewardBasedVideoAd::connectorDidReceiveRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkConnector& connector) {
    if (!isRequestingConnector(connector)) return;
    const auto keep = shared_from_this();
    mediation_connectorDidReceiveAd(connector);
    receivedConnector_ = requestingConnector_;
    requestingConnector_.reset();
    requestingNetworkConfig_.reset();
    pendingAdRequestConnectors_.clear();
    adNetworkClassName_ = connector.currentAdapterName();
    adLoadedSuccessfully();
}

void DZRewardBasedVideoAd::connectorDidFailToReceiveRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkConnector& connector, const Error& error) {
    if (!isRequestingConnector(connector)) return;
    const auto keep = shared_from_this();
    mediation_connectorDidFailToReceiveAd(connector, error);
    requestingConnector_.reset();
    requestingNetworkConfig_.reset();
    makeNextAdRequest();
}

void DZRewardBasedVideoAd::connectorDidReceiveClick(DZMRewardBasedVideoAdNetworkConnector&) {}

void DZRewardBasedVideoAd::connectorDidOpenRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkConnector& connector) {
    if (!isReceivedConnector(connector)) return;
    const std::weak_ptr<DZRewardBasedVideoAd> weak = weak_from_this();
    DZRunOnMainThread([weak] {
        const auto self = weak.lock();
        if (!self) return;
        if (const auto analytics = DZAnalytics::sharedInstance(); analytics && !self->adUnitExposureBegan_) {
            self->adUnitExposureBegan_ = true;
            analytics->beginAdUnitExposure(self->adUnitID_.value_or(""));
        }
        self->tellDelegate([&](DZRewardBasedVideoAdDelegate& delegate) {
            delegate.rewardBasedVideoAdDidOpen(*self);
        });
    });
}

void DZRewardBasedVideoAd::connectorDidStartPlayingRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkConnector& connector) {
    if (!isReceivedConnector(connector)) return;
    tellDelegate([this](DZRewardBasedVideoAdDelegate& delegate) {
        delegate.rewardBasedVideoAdDidStartPlaying(*this);
    });
}

void DZRewardBasedVideoAd::connectorDidCloseRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkConnector& connector) {
    if (!isReceivedConnector(connector)) return;
    const std::weak_ptr<DZRewardBasedVideoAd> weak = weak_from_this();
    DZRunOnMainThread([weak] {
        const auto self = weak.lock();
        if (!self) return;
        if (const auto analytics = DZAnalytics::sharedInstance(); analytics && self->adUnitExposureBegan_) {
            analytics->endAdUnitExposure(self->adUnitID_.value_or(""));
            self->adUnitExposureBegan_ = false;
        }
        self->tellDelegate([&](DZRewardBasedVideoAdDelegate& delegate) {
            delegate.rewardBasedVideoAdDidClose(*self);
        });
    });
}

void DZRewardBasedVideoAd::connectorWillLeaveApplication(DZMRewardBasedVideoAdNetworkConnector& connector) {
    if (!isReceivedConnector(connector)) return;
    tellDelegate([this](DZRewardBasedVideoAdDelegate& delegate) {
        delegate.rewardBasedVideoAdWillLeaveApplication(*this);
    });
}

void DZRewardBasedVideoAd::connectorDidRewardUserWithReward(
    DZMRewardBasedVideoAdNetworkConnector& connector, const std::shared_ptr<DZAdReward>& reward) {
    if (!isReceivedConnector(connector)) return;
    const auto delegate = this->delegate();
    if (!delegate) return;
    std::shared_ptr<DZAdReward> granted;
    const auto& rewards = mediationConfig_ ? mediationConfig_->rewards() : std::nullopt;
    // The server's reward wins over the adapter's; an entry that makes no
    // reward does not take the adapter's away.
    if (rewards && !rewards->empty()) granted = DZAdReward::create(rewards->front());
    if (!granted) granted = reward;
    if (!granted) granted = DZAdReward::create(std::string(), core::Decimal::parse("1"));
    delegate->didRewardUserWithReward(*this, granted);
}

// Fill statistics and pings.

void DZRewardBasedVideoAd::mediation_adapterDidFailToSetUpWithNetworkConfig(
    const std::shared_ptr<DZMAdNetworkConfig>& config) {
    adStatistics_->startTimingAdapter();
    adStatistics_->endTimingAdapterWithFillStatus(
        kFillStatusSetUpFailed, config ? config->allocationIDString().value_or("") : std::string());
}

void DZRewardBasedVideoAd::mediation_connectorWillStartRequestingAd() {
    adStatistics_->startTimingAdapter();
}

void DZRewardBasedVideoAd::mediation_connectorDidFailToReceiveAd(
    DZMRewardBasedVideoAdNetworkConnector& connector, const Error& error) {
    std::int64_t status = kFillStatusError;
    if (error.code == kDZErrorTimeout) {
        status = kFillStatusTimeout;
    } else if (error.code == kDZErrorNoFill) {
        status = kFillStatusNoFill;
    }
    const auto& network = connector.adNetworkConfig();
    adStatistics_->endTimingAdapterWithFillStatus(
        status, network ? network->allocationIDString().value_or("") : std::string());
}

void DZRewardBasedVideoAd::mediation_connectorDidReceiveAd(
    DZMRewardBasedVideoAdNetworkConnector& connector) {
    const auto& network = connector.adNetworkConfig();
    const std::optional<std::string> filling = network ? network->allocationIDString() : std::nullopt;
    adStatistics_->endTimingAdapterWithFillStatus(kFillStatusFilled, filling.value_or(""));
    std::vector<std::string> upToFilling;
    bool matched = false;
    for (const auto& id : allocationIDs_) {
        upToFilling.push_back(id);
        if (filling && id == *filling) {
            matched = true;
            break;
        }
    }
    if (!matched) upToFilling = allocationIDs_;
    const auto fillStatus = adStatistics_->adapterFillStatusParameterOrderedByAllocationIDs(upToFilling);
    resetFillStatus();
    connector.pingFillURLsWithFillStatus(fillStatus);
}

void DZRewardBasedVideoAd::pingNoFillURLs() {
    const auto fillStatus = adStatistics_->adapterFillStatusParameterOrderedByAllocationIDs(allocationIDs_);
    resetFillStatus();
    if (!mediationConfig_) return;
    DZClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(
        mediationConfig_->noFillURLs(), DZMAdNetworkConnector::defaultNoFillTemplate(), std::nullopt,
        std::nullopt, mediationConfig_->qdataString(), mediationConfig_->appKey(), false, std::nullopt,
        std::nullopt, fillStatus, std::nullopt);
}

}  // namespace ads
