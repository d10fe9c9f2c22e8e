// DZMAdManager: starting, asking the next network, time-outs, cancelling,
// the no-fill pings and the timing records. The connectors' reports are
// in DZMAdManagerReports.cpp.

#include "ads/mediation/core/DZMAdManager.h"

#include "ads/core/request/DZAdType.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZBlockTimer.h"
#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "ads/foundation/DZThreading.h"
#include "ads/mediation/DZAdMediationDelegate.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/StringFormat.h"
#include "core/Timer.h"

namespace ads {

namespace {

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) text.append(separator);
        text.append(parts[i]);
    }
    return text;
}

}  // namespace

DZMAdManager::~DZMAdManager() {
    if (adNetworkTimeoutTimer_) adNetworkTimeoutTimer_->invalidate();
    if (requestingConnector_) requestingConnector_->setAdManager({});
    if (receivedConnector_) receivedConnector_->setAdManager({});
}

std::shared_ptr<DZAdMediationDelegate> DZMAdManager::mediationDelegate() const {
    const auto slot = this->slot();
    return slot && slot->ad() ? slot->ad()->mediationDelegate().lock() : nullptr;
}

std::shared_ptr<DZCSITimeRecorder> DZMAdManager::timeRecorder() const {
    const auto slot = this->slot();
    return slot && slot->CSI() ? slot->CSI()->timeRecorderForAction(kCSIAction) : nullptr;
}

bool DZMAdManager::adNetworkTimerArmed() const {
    return adNetworkTimeoutTimer_ && adNetworkTimeoutTimer_->isValid();
}

void DZMAdManager::mediateForAdType(const std::shared_ptr<DZAdType>& adType,
                                    const std::shared_ptr<DZMConfig>& config) {
    adType_ = adType;
    config_ = config;
    if (requestInProgress_) return;
    // An owner that takes mediated ads has handed the last network's ad on
    // (the ad keeps its connector); a network that is still the received
    // one would make this waterfall drop its ad and never end.
    if (receivedConnector_) {
        const auto delegate = mediationDelegate();
        if (delegate && delegate->processesMediatedAds()) {
            receivedConnector_->setAdManager({});
            receivedConnector_.reset();
        }
    }
    networkQueue_.clear();
    if (config) {
        const auto& networks = config->adNetworkConfigs();
        networkQueue_.assign(networks.begin(), networks.end());
    }
    if (const auto slot = this->slot()) {
        slot->slotStats()->resetTimingAdapters();
        slot->slotStats()->resetFillStatus();
    }
    fillStatusPingsSent_ = false;
    makeAdRequest();
}

void DZMAdManager::makeAdRequest() {
    if (!core::RunLoop::isMainThread()) {
        const std::int64_t generation = pendingActionGroup_;
        core::Queue::main()->async([weak = weak_from_this(), generation] {
            const auto self = weak.lock();
            if (self && self->pendingActionGroup_ == generation) self->makeAdRequest();
        });
        return;
    }
    // A network that fails at once reports from inside its own request,
    // and that report asks for the next network: the outer call takes it
    // up once the request returns, so a long list of networks that all fail
    // at once runs as a loop and not as a recursion.
    if (asking_) {
        askAgain_ = pendingActionGroup_.load();
        return;
    }
    const auto keep = shared_from_this();
    asking_ = true;
    for (;;) {
        askNextNetwork();
        const auto again = askAgain_;
        askAgain_.reset();
        // Void when the pending actions were cancelled after it was asked.
        if (!again || *again != pendingActionGroup_.load()) break;
    }
    asking_ = false;
}

void DZMAdManager::askNextNetwork() {
    const auto network = dequeueNextNetwork();
    if (!network) {
        invalidateTimer();
        reportNoFill();
        failSlot(DZErrorWithCode(kDZErrorMediationNoFill));
        return;
    }
    const auto delegate = mediationDelegate();
    const auto connector =
        delegate ? delegate->mediationConnectorForConfiguration(config_, network) : nullptr;
    if (!connector) {
        invalidateTimer();
        reportNoFill();
        failSlot(DZErrorWithCode(kDZErrorMediationAdapterError));
        return;
    }
    requestInProgress_ = true;
    const auto slot = this->slot();
    if (const auto loaderConfiguration =
            delegate->adLoaderConfigurationForAd(slot ? slot->ad() : nullptr, network))
        connector->setAdLoaderConfiguration(*loaderConfiguration);
    connector->setUpAdapter();
    connector->setAdManager(weak_from_this());
    requestingConnector_ = connector;

    invalidateTimer();
    const double timeout =
        networkQueue_.empty() ? config_->finalAdNetworkTimeout() : config_->adNetworkTimeout();
    adNetworkTimeoutTimer_ = DZCreateBlockTimer(
        false,
        [weak = weak_from_this(), weakConnector = std::weak_ptr(connector)](core::Timer&) {
            const auto self = weak.lock();
            const auto timedOut = weakConnector.lock();
            if (self && timedOut) self->adNetworkTimedOut(timedOut);
        },
        timeout, kTimerTolerance);
    connector->getAdFromAdapterWithType(adType_);
}

std::shared_ptr<DZMAdNetworkConfig> DZMAdManager::dequeueNextNetwork() {
    const auto slot = this->slot();
    while (!networkQueue_.empty()) {
        auto network = networkQueue_.front();
        networkQueue_.pop_front();
        if (slot) slot->slotStats()->startTimingAdapter();
        if (network->adapterClass()) {
            if (const auto recorder = timeRecorder()) {
                recorder->startTimingVariableWithName("mls");
                recorder->startTimingVariableWithName("mlf");
            }
            return network;
        }
        endAdapterTiming(kExitNoAdapter, kFillNoAdapter, network);
    }
    return nullptr;
}

void DZMAdManager::adNetworkTimedOut(const std::shared_ptr<DZMAdNetworkConnector>& connector) {
    const auto keep = shared_from_this();
    endAdapterTiming(kExitTimeout, kFillTimeout, connector->networkConfig());
    reportCSIFailure(connector->networkConfig()->adapterClass());
    invalidateTimer();
    requestInProgress_ = false;
    connector->askAdapterToStopBeingDelegate();
    // A shown network that was refreshing keeps its place.
    if (connector != receivedConnector_) detach(connector);
    requestingConnector_.reset();
    makeAdRequest();
}

void DZMAdManager::cancel() {
    DZRunOnMainThread([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self) return;
        self->cancelPendingActions();
        if (self->requestingConnector_) self->requestingConnector_->askAdapterToStopBeingDelegate();
        if (self->receivedConnector_) self->receivedConnector_->askAdapterToStopBeingDelegate();
        if (self->fillStatusPingsSent_ || !self->requestingConnector_) return;
        self->recordFillStatus(kFillCancelled, self->requestingConnector_->networkConfig());
        self->reportNoFill();
        self->requestingConnector_.reset();
        self->receivedConnector_.reset();
        self->invalidateTimer();
        self->requestInProgress_ = false;
    });
}

void DZMAdManager::cancelPendingActions() {
    ++pendingActionGroup_;
    invalidateTimer();
}

void DZMAdManager::invalidateTimer() {
    if (adNetworkTimeoutTimer_) adNetworkTimeoutTimer_->invalidate();
    adNetworkTimeoutTimer_.reset();
}

void DZMAdManager::detach(const std::shared_ptr<DZMAdNetworkConnector>& connector) {
    if (!connector) return;
    if (const auto manager = connector->adManager()) manager->cancelPendingActions();
    connector->setAdManager({});
}

bool DZMAdManager::changeAdTypeTo(const std::shared_ptr<DZAdType>& adType) {
    adType_ = adType;
    const auto adapter = receivedConnector_ ? receivedConnector_->adapter() : nullptr;
    if (!adapter) return false;
    return adapter->changeAdSizeTo(adType ? adType->adSize() : DZAdSize{});
}

void DZMAdManager::presentInterstitialFromRootViewController(
    const std::shared_ptr<ui::ViewController>& viewController) {
    const auto adapter = receivedConnector_ ? receivedConnector_->adapter() : nullptr;
    if (adapter) adapter->presentInterstitialFromRootViewController(viewController);
}

void DZMAdManager::failSlot(const Error& error) {
    if (const auto slot = this->slot()) slot->didFailToReceiveAdWithError(error, false);
}

void DZMAdManager::reportNoFill() {
    fillStatusPingsSent_ = true;
    std::optional<std::string> durations;
    std::optional<std::string> exitCodes;
    std::optional<std::string> fillStatus;
    if (const auto slot = this->slot()) {
        const auto& statistics = slot->slotStats();
        durations = statistics->adapterDurationsParameter();
        exitCodes = statistics->adapterExitCodesParameter();
        statistics->resetTimingAdapters();
        fillStatus = statistics->adapterFillStatusParameter();
        statistics->resetFillStatus();
    }
    if (!config_) return;
    DZClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(
        config_->noFillURLs(), DZMAdNetworkConnector::defaultNoFillTemplate(), std::nullopt,
        std::nullopt, config_->qdataString(), config_->appKey(), false, durations, exitCodes,
        fillStatus, std::nullopt);
}

// Timing records.

void DZMAdManager::endAdapterTiming(std::int64_t exitCode) {
    if (const auto slot = this->slot()) slot->slotStats()->endTimingAdapterWithExitCode(exitCode);
}

void DZMAdManager::endAdapterTiming(std::int64_t exitCode, std::int64_t fillStatus,
                                    const std::shared_ptr<DZMAdNetworkConfig>& network) {
    endAdapterTiming(exitCode);
    recordFillStatus(fillStatus, network);
}

void DZMAdManager::recordFillStatus(std::int64_t fillStatus,
                                    const std::shared_ptr<DZMAdNetworkConfig>& network) {
    const auto slot = this->slot();
    if (!slot || !network) return;
    slot->slotStats()->endTimingAdapterWithFillStatus(fillStatus,
                                                      network->allocationIDString().value_or(""));
}

void DZMAdManager::reportCSISuccess(const std::optional<std::string>& adapterName) {
    if (!adapterName) return;
    const auto recorder = timeRecorder();
    if (!recorder) return;
    const std::int64_t milliseconds = recorder->durationAfterEndTimingVariableWithName("mls");
    recorder->setCustomizedParameterValue(core::format("%@.%zd", *adapterName, milliseconds),
                                          "mediation_network_succeed");
    recorder->cancelTimingVariableWithName("mlf");
    if (failedAdapters_.empty()) return;
    recorder->setCustomizedParameterValue(joined(failedAdapters_, "."), "mediation_networks_fail");
    failedAdapters_.clear();
}

void DZMAdManager::reportCSIFailure(const std::optional<std::string>& adapterName) {
    if (!adapterName) return;
    const auto recorder = timeRecorder();
    if (!recorder) return;
    recorder->cancelTimingVariableWithName("mls");
    const std::int64_t milliseconds = recorder->durationAfterEndTimingVariableWithName("mlf");
    failedAdapters_.push_back(*adapterName);
    failedAdapters_.push_back(core::format("%zd", milliseconds));
}

}  // namespace ads
