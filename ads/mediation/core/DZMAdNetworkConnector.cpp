// DZMAdNetworkConnector: creation, the adapter, the pings and the base's
// answers to adapter callbacks.

#include "ads/mediation/core/DZMAdNetworkConnector.h"

#include "ads/core/request/DZAdType.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/core/DZMPingTemplateLists.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "core/NotificationCenter.h"
#include "core/StringFormat.h"

namespace ads {

std::string DZMAdNetworkConnector::defaultClickTemplate() {
    return DZServerHosts::mediationURLString(kClickTemplatePath);
}

std::string DZMAdNetworkConnector::defaultImpressionTemplate() {
    return DZServerHosts::mediationURLString(kImpressionTemplatePath);
}

std::string DZMAdNetworkConnector::defaultNoFillTemplate() {
    return DZServerHosts::mediationURLString(kNoFillTemplatePath);
}

std::shared_ptr<DZMAdNetworkConnector>
DZMAdNetworkConnector::create(std::shared_ptr<DZMConfig> config,
                              std::shared_ptr<DZMAdNetworkConfig> networkConfig) {
    return make<DZMAdNetworkConnector>(std::move(config), std::move(networkConfig));
}

DZMAdNetworkConnector::DZMAdNetworkConnector(std::shared_ptr<DZMConfig> config,
                                             std::shared_ptr<DZMAdNetworkConfig> networkConfig)
    : mediationConfig_(std::move(config)), networkConfig_(std::move(networkConfig)) {
    if (const auto& credentials = networkConfig_->credentials()) {
        const core::Value* share = credentials->find(DZMAdNetworkConfig::kShareLocationKey);
        locationShared_ = share && share->string() && *share->string() == "1";
        core::Dictionary stripped = *credentials;
        stripped.remove(DZMAdNetworkConfig::kShareLocationKey);
        credentials_ = std::move(stripped);
    }
}

DZMAdNetworkConnector::~DZMAdNetworkConnector() {
    askAdapterToStopBeingDelegate();
}

void DZMAdNetworkConnector::setUpAdapter() {
    const auto& className = networkConfig_->adapterClass();
    if (!className) return;
    const auto description = DZMClassRegistry::shared().classNamed(*className);
    if (!description || !description->makeAdapter) return;
    adapter_ = description->makeAdapter(shared_from_this());
}

void DZMAdNetworkConnector::getAdFromAdapterWithType(const std::shared_ptr<DZAdType>&) {
    adapterDidFailAd(
        adapter_.get(),
        DZErrorWithCodeDescription(
            kDZErrorInternalError,
            core::format("Instantiated connector %@ can't request an ad.", className())));
}

bool DZMAdNetworkConnector::adapterAnswersOrFail(DZMSelector selector) {
    const std::string className = networkConfig_->adapterClass().value_or("(null)");
    std::string problem;
    if (!adapter_) {
        problem = core::format("Adapter class %@ made no adapter.", className);
    } else if (!DZMClassRegistry::shared().instancesRespondToSelector(className, selector)) {
        problem = core::format("Adapter class %@ does not respond to %@.", className,
                               std::string(DZMSelectorName(selector)));
    }
    if (problem.empty()) return true;
    DZLogger::sharedInstance().logPublicMessage(problem);
    adapterDidFailAd(adapter_.get(),
                     DZErrorWithCodeDescription(kDZErrorMediationAdapterError, problem));
    return false;
}

void DZMAdNetworkConnector::askAdapterToStopBeingDelegate() {
    if (adapter_) adapter_->stopBeingDelegate();
}

std::string DZMAdNetworkConnector::adapterVersion() const {
    const auto& className = networkConfig_->adapterClass();
    const auto description =
        className ? DZMClassRegistry::shared().classNamed(*className) : nullptr;
    std::optional<std::string> version = description ? description->adapterVersion : std::nullopt;
    if (!version && adapter_) version = adapter_->adapterVersion();
    return core::format("adapter: %@, version: %@", className.value_or("(null)"),
                        version.value_or("unknown"));
}

// Pings.

void DZMAdNetworkConnector::pingMediationURLs(const std::optional<core::Array>& templates,
                                              const std::optional<std::string>& defaultURL,
                                              const std::optional<std::string>& durations,
                                              const std::optional<std::string>& exitCodes,
                                              const std::optional<std::string>& fillStatus,
                                              const std::optional<std::string>& eventType) {
    DZClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(
        templates, defaultURL, networkConfig_->networkID(), networkConfig_->allocationIDString(),
        mediationConfig_->qdataString(), mediationConfig_->appKey(), didNetworkRefresh_, durations,
        exitCodes, fillStatus, eventType);
}

void DZMAdNetworkConnector::reportClick() {
    if (clicked_) return;
    clicked_ = true;
    const std::string event = "_ac";
    auto templates = DZMTemplatesWithAnalytics(
        DZMConcatenatedTemplates(mediationConfig_->clickURLs(), networkConfig_->clickURLs()), event);
    pingMediationURLs(templates, defaultClickTemplate(), std::nullopt, std::nullopt, std::nullopt,
                      event);
}

void DZMAdNetworkConnector::reportImpression() {
    std::optional<std::string> durations;
    std::optional<std::string> exitCodes;
    if (const auto slot = this->slot()) {
        const auto& statistics = slot->slotStats();
        durations = statistics->adapterDurationsParameter();
        exitCodes = statistics->adapterExitCodesParameter();
        statistics->resetTimingAdapters();
    }
    const std::string event = "_ai";
    auto templates = DZMTemplatesWithAnalytics(
        DZMConcatenatedTemplates(mediationConfig_->impressionURLs(), networkConfig_->impressionURLs()), event);
    pingMediationURLs(templates, defaultImpressionTemplate(), durations, exitCodes, std::nullopt,
                      event);
}

void DZMAdNetworkConnector::reportFill() {
    std::optional<std::string> fillStatus;
    if (const auto slot = this->slot()) {
        const auto& statistics = slot->slotStats();
        fillStatus = statistics->adapterFillStatusParameter();
        statistics->resetFillStatus();
    }
    pingMediationURLs(networkConfig_->fillURLs(), std::nullopt, std::nullopt, std::nullopt,
                      fillStatus, std::nullopt);
}

void DZMAdNetworkConnector::reportManualImpression() {
    // The notification's user info can carry no object: observers know
    // their connector (the notification's object) and read its adapter.
    core::Dictionary info;
    if (const auto& className = networkConfig_->adapterClass()) info.set("adapter", *className);
    core::NotificationCenter::defaultCenter().post(kDidRecordManualImpressionNotification, this,
                                                   core::Value(std::move(info)));
}

// Adapter callbacks: the base's own behaviour.

void DZMAdNetworkConnector::adapterDidReceiveAdView(const DZMAdNetworkAdapter*,
                                                    const std::shared_ptr<ui::View>&) {}
void DZMAdNetworkConnector::adapterDidReceiveInterstitial(const DZMAdNetworkAdapter*) {}
void DZMAdNetworkConnector::adapterDidReceiveInterstitial(const DZMAdNetworkAdapter* adapter,
                                                          const std::shared_ptr<const void>&) {
    adapterDidReceiveInterstitial(adapter);
}
void DZMAdNetworkConnector::adapterDidReceiveMediatedNativeAd(
    const DZMAdNetworkAdapter*, const std::shared_ptr<DZMediatedNativeAdProtocol>&) {}
void DZMAdNetworkConnector::adapterDidFailAd(const DZMAdNetworkAdapter*, const Error&) {}
void DZMAdNetworkConnector::adapterDidFailInterstitial(const DZMAdNetworkAdapter*, const Error&) {}
void DZMAdNetworkConnector::adapterDidGetAdClick(const DZMAdNetworkAdapter* adapter) {
    if (isOwnAdapter(adapter)) reportClick();
}
void DZMAdNetworkConnector::adapterClickDidOccurInBanner(const DZMAdNetworkAdapter* adapter,
                                                         const std::shared_ptr<ui::View>&) {
    adapterDidGetAdClick(adapter);
}
void DZMAdNetworkConnector::adapterWillPresentFullScreenModal(const DZMAdNetworkAdapter*) {}
void DZMAdNetworkConnector::adapterWillDismissFullScreenModal(const DZMAdNetworkAdapter*) {}
void DZMAdNetworkConnector::adapterDidDismissFullScreenModal(const DZMAdNetworkAdapter*) {}
void DZMAdNetworkConnector::adapterWillPresentInterstitial(const DZMAdNetworkAdapter*) {}
void DZMAdNetworkConnector::adapterWillDismissInterstitial(const DZMAdNetworkAdapter*) {}
void DZMAdNetworkConnector::adapterDidDismissInterstitial(const DZMAdNetworkAdapter*) {}
void DZMAdNetworkConnector::adapterWillLeaveApplication(const DZMAdNetworkAdapter*) {}
void DZMAdNetworkConnector::adapterDidReceiveAppEvent(const DZMAdNetworkAdapter*,
                                                      const std::string&,
                                                      const std::optional<std::string>&) {}

}  // namespace ads
