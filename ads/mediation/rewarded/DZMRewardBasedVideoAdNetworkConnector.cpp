#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkConnector.h"

#include <algorithm>

#include "ads/core/app/DZMobileAds.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZLogger.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/core/DZMPingTemplateLists.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdConnectorDelegate.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkAdapter.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "core/StringFormat.h"

namespace ads {

bool DZMediationResolveAdapterClass(const std::shared_ptr<DZMAdNetworkConfig>& config) {
    if (!config) return false;
    Error error;
    (void)config->resolveAdNetworkClassForCustomEventWithError(&error);
    if (!error.domain.empty()) {
        DZLogger::sharedInstance().logPublicMessage(error.message);
        return false;
    }
    return config->adapterClass().has_value();
}

std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector> DZMRewardBasedVideoAdNetworkConnector::create() {
    return std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>(new DZMRewardBasedVideoAdNetworkConnector);
}

DZMRewardBasedVideoAdNetworkConnector::~DZMRewardBasedVideoAdNetworkConnector() {
    askAdapterToStopBeingDelegate();
}

void DZMRewardBasedVideoAdNetworkConnector::setAdNetworkConfig(
    const std::shared_ptr<DZMAdNetworkConfig>& config) {
    if (!config) return;
    if (adNetworkConfig_ && adNetworkConfig_->adapterClass() != config->adapterClass()) return;
    adNetworkConfig_ = config;
    isLocationShared_ = false;
    networkData_.reset();
    if (const auto& credentials = config->credentials()) {
        const core::Value* share = credentials->find(DZMAdNetworkConfig::kShareLocationKey);
        isLocationShared_ = share && share->string() && *share->string() == "1";
        core::Dictionary stripped = *credentials;
        stripped.remove(DZMAdNetworkConfig::kShareLocationKey);
        networkData_ = std::move(stripped);
    }
}

void DZMRewardBasedVideoAdNetworkConnector::setRequest(const std::shared_ptr<DZRequest>& request) {
    request_ = request ? request->copy() : nullptr;
}

// Set-up.

void DZMRewardBasedVideoAdNetworkConnector::failSetUp(const char* message) {
    if (const auto delegate = this->delegate())
        delegate->connectorDidFailToSetUpRewardBasedVideoAd(
            *this, DZErrorWithCodeDescription(kDZErrorMediationDataError, std::string(message)));
}

bool DZMRewardBasedVideoAdNetworkConnector::setUpWithAdNetworkConfig() {
    if (!DZMediationResolveAdapterClass(adNetworkConfig_) || adapter_) return adapter_ != nullptr;
    const std::string& name = *adNetworkConfig_->adapterClass();
    const auto& registry = DZMClassRegistry::shared();
    const auto description = registry.classNamed(name);
    if (!description) return false;
    const auto self = shared_from_this();
    if (registry.instancesRespondToSelector(name, DZMSelector::initWithRewardBasedVideoAdNetworkConnector)) {
        if (description->makeRewardedAdapter) adapter_ = description->makeRewardedAdapter(self);
    } else if (registry.instancesRespondToSelector(name, DZMSelector::initWithDZMAdNetworkConnector) &&
               description->makeRewardedAdapterWithAdNetworkConnector) {
        adapter_ = description->makeRewardedAdapterWithAdNetworkConnector(self);
    }
    return adapter_ != nullptr;
}

bool DZMRewardBasedVideoAdNetworkConnector::setUpWithMultipleAdNetworkConfigs() {
    core::Array credentials;
    std::shared_ptr<DZMAdNetworkConfig> first;
    for (const auto& config : adNetworkConfigsFromAppConfiguration_) {
        if (!DZMediationResolveAdapterClass(config) || !config->credentials()) continue;
        if (!first) first = config;
        credentials.emplace_back(*config->credentials());
    }
    if (adapter_ || adNetworkConfigsFromAppConfiguration_.empty()) return adapter_ != nullptr;
    const auto& leading = adNetworkConfigsFromAppConfiguration_.front();
    if (!leading || !leading->adapterClass()) return false;
    const std::string& name = *leading->adapterClass();
    const auto& registry = DZMClassRegistry::shared();
    const auto description = registry.classNamed(name);
    if (description && description->makeRewardedAdapterWithCredentials &&
        registry.instancesRespondToSelector(
            name, DZMSelector::initWithRewardBasedVideoAdNetworkConnectorCredentials))
        adapter_ = description->makeRewardedAdapterWithCredentials(shared_from_this(), credentials);
    return adapter_ != nullptr;
}

void DZMRewardBasedVideoAdNetworkConnector::setUpAdapter() {
    const auto keep = shared_from_this();
    if (adNetworkConfig_) {
        (void)setUpWithAdNetworkConfig();
    } else if (!adNetworkConfigsFromAppConfiguration_.empty()) {
        (void)setUpWithMultipleAdNetworkConfigs();
    } else {
        failSetUp(kNoNetworkConfigMessage);
        return;
    }
    const auto name = currentAdapterName();
    const auto& registry = DZMClassRegistry::shared();
    if (adapter_ && name && registry.instancesRespondToSelector(*name, DZMSelector::setUp)) {
        adapter_->setUp();
    } else if (adapter_ && name && registry.instancesRespondToSelector(*name, DZMSelector::setUpWithUserID)) {
        adapter_->setUpWithUserID(std::nullopt);
    } else {
        adapter_.reset();
        failSetUp(kNoAdapterMessage);
    }
}

void DZMRewardBasedVideoAdNetworkConnector::requestRewardBasedVideoAd() {
    if (adapter_) adapter_->requestRewardBasedVideoAd();
}

void DZMRewardBasedVideoAdNetworkConnector::presentRewardBasedVideoAdFromRootViewController(
    const std::shared_ptr<ui::ViewController>& root) {
    pingImpressionURLs();
    if (adapter_) adapter_->presentRewardBasedVideoAdWithRootViewController(root);
}

void DZMRewardBasedVideoAdNetworkConnector::askAdapterToStopBeingDelegate() {
    if (adapter_) adapter_->stopBeingDelegate();
}

// Pings.

void DZMRewardBasedVideoAdNetworkConnector::pingURLs(const std::optional<core::Array>& urls,
                                                     const std::optional<std::string>& defaultTemplate,
                                                     const std::optional<std::string>& fillStatus,
                                                     const std::optional<std::string>& eventType) {
    std::optional<std::string> networkID;
    std::optional<std::string> allocationID;
    if (adNetworkConfig_) {
        networkID = adNetworkConfig_->networkID();
        allocationID = adNetworkConfig_->allocationIDString();
    }
    DZClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(
        urls, defaultTemplate, networkID, allocationID,
        mediationConfig_ ? mediationConfig_->qdataString() : std::nullopt,
        mediationConfig_ ? std::optional(mediationConfig_->appKey()) : std::nullopt, false,
        std::nullopt, std::nullopt, fillStatus, eventType);
}

void DZMRewardBasedVideoAdNetworkConnector::pingClickURLs() {
    const std::string event = "_ac";
    auto urls = DZMTemplatesWithAnalytics(
        DZMConcatenatedTemplates(mediationConfig_ ? mediationConfig_->clickURLs() : std::nullopt,
                     adNetworkConfig_ ? adNetworkConfig_->clickURLs() : std::nullopt),
        event);
    pingURLs(urls, DZMAdNetworkConnector::defaultClickTemplate(), std::nullopt, event);
}

void DZMRewardBasedVideoAdNetworkConnector::pingImpressionURLs() {
    const std::string event = "_ai";
    auto urls = DZMTemplatesWithAnalytics(
        DZMConcatenatedTemplates(mediationConfig_ ? mediationConfig_->impressionURLs() : std::nullopt,
                     adNetworkConfig_ ? adNetworkConfig_->impressionURLs() : std::nullopt),
        event);
    pingURLs(urls, DZMAdNetworkConnector::defaultImpressionTemplate(), std::nullopt, event);
}

void DZMRewardBasedVideoAdNetworkConnector::pingVideoStartPlayingURLs() {
    pingURLs(adNetworkConfig_ ? adNetworkConfig_->videoStartURLs() : std::nullopt, std::nullopt,
             std::nullopt, std::nullopt);
}

void DZMRewardBasedVideoAdNetworkConnector::pingRewardedUserURLs() {
    pingURLs(adNetworkConfig_ ? adNetworkConfig_->rewardedUserURLs() : std::nullopt, std::nullopt,
             std::nullopt, std::nullopt);
}

void DZMRewardBasedVideoAdNetworkConnector::pingFillURLsWithFillStatus(
    const std::optional<std::string>& fillStatus) {
    pingURLs(adNetworkConfig_ ? adNetworkConfig_->fillURLs() : std::nullopt, std::nullopt, fillStatus,
             std::nullopt);
}

// The adapter's reports.

#define DZ_TELL_DELEGATE(call)                                    \
    do {                                                          \
        const auto keep = shared_from_this();                     \
        if (const auto delegate = this->delegate()) delegate->call; \
    } while (false)

void DZMRewardBasedVideoAdNetworkConnector::adapterDidSetUpRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkAdapter*) {
    DZ_TELL_DELEGATE(connectorDidSetUpRewardBasedVideoAd(*this));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterDidFailToSetUpRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkAdapter*, const Error& error) {
    DZ_TELL_DELEGATE(connectorDidFailToSetUpRewardBasedVideoAd(*this, error));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterDidReceiveRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkAdapter*) {
    DZ_TELL_DELEGATE(connectorDidReceiveRewardBasedVideoAd(*this));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterDidFailToLoadRewardBasedVideoAdwithError(
    DZMRewardBasedVideoAdNetworkAdapter*, const Error& error) {
    DZ_TELL_DELEGATE(connectorDidFailToReceiveRewardBasedVideoAd(*this, error));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterDidGetAdClick(DZMRewardBasedVideoAdNetworkAdapter*) {
    pingClickURLs();
    DZ_TELL_DELEGATE(connectorDidReceiveClick(*this));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterDidRewardUserWithReward(
    DZMRewardBasedVideoAdNetworkAdapter*, const std::shared_ptr<DZAdReward>& reward) {
    pingRewardedUserURLs();
    DZ_TELL_DELEGATE(connectorDidRewardUserWithReward(*this, reward));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterDidOpenRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkAdapter*) {
    DZ_TELL_DELEGATE(connectorDidOpenRewardBasedVideoAd(*this));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterDidStartPlayingRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkAdapter*) {
    pingVideoStartPlayingURLs();
    DZ_TELL_DELEGATE(connectorDidStartPlayingRewardBasedVideoAd(*this));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterDidCloseRewardBasedVideoAd(
    DZMRewardBasedVideoAdNetworkAdapter*) {
    DZ_TELL_DELEGATE(connectorDidCloseRewardBasedVideoAd(*this));
}

void DZMRewardBasedVideoAdNetworkConnector::adapterWillLeaveApplication(
    DZMRewardBasedVideoAdNetworkAdapter*) {
    DZ_TELL_DELEGATE(connectorWillLeaveApplication(*this));
}

#undef DZ_TELL_DELEGATE

// The request, as the adapter asks about it.

std::optional<std::string> DZMRewardBasedVideoAdNetworkConnector::publisherId() const {
    if (adNetworkConfig_) return adNetworkConfig_->publisherID();
    if (!adNetworkConfigsFromAppConfiguration_.empty() && adNetworkConfigsFromAppConfiguration_.front())
        return adNetworkConfigsFromAppConfiguration_.front()->publisherID();
    return std::nullopt;
}

bool DZMRewardBasedVideoAdNetworkConnector::testMode() const {
    return request_ && request_->isATestDevice();
}

std::shared_ptr<DZAdNetworkExtras> DZMRewardBasedVideoAdNetworkConnector::networkExtras() const {
    const auto className = currentAdapterName();
    const auto description = className ? DZMClassRegistry::shared().classNamed(*className) : nullptr;
    if (!description || !description->answersNetworkExtrasClass) {
        DZLogger::sharedInstance().logPublicMessage(core::format(
            "Adapter class %@ does not respond to %@. Unable to retrieve network extras.",
            className.value_or("(null)"), "networkExtrasClass"));
        return nullptr;
    }
    if (!description->networkExtrasClass) return nullptr;
    return networkExtrasForClass(*description->networkExtrasClass);
}

std::shared_ptr<DZAdNetworkExtras>
DZMRewardBasedVideoAdNetworkConnector::networkExtrasForClass(std::string_view className) const {
    return request_ ? request_->adNetworkExtrasFor(className) : nullptr;
}

std::optional<bool> DZMRewardBasedVideoAdNetworkConnector::childDirectedTreatment() const {
    return request_ ? request_->childDirectedTreatment() : std::nullopt;
}

std::int64_t DZMRewardBasedVideoAdNetworkConnector::userGender() const {
    return request_ ? request_->gender() : 0;
}

std::optional<core::Date> DZMRewardBasedVideoAdNetworkConnector::userBirthday() const {
    return request_ ? request_->birthday() : std::nullopt;
}

std::optional<core::Array> DZMRewardBasedVideoAdNetworkConnector::userKeywords() const {
    return request_ ? request_->keywords() : std::nullopt;
}

std::optional<DZLocation> DZMRewardBasedVideoAdNetworkConnector::userLocation() const {
    return request_ ? request_->location() : std::nullopt;
}

bool DZMRewardBasedVideoAdNetworkConnector::userHasLocation() const {
    return isLocationShared_ && userLocation().has_value();
}

double DZMRewardBasedVideoAdNetworkConnector::userLatitude() const {
    return userHasLocation() ? userLocation()->latitude() : 0.0;
}

double DZMRewardBasedVideoAdNetworkConnector::userLongitude() const {
    return userHasLocation() ? userLocation()->longitude() : 0.0;
}

double DZMRewardBasedVideoAdNetworkConnector::userLocationAccuracyInMeters() const {
    return userHasLocation() ? userLocation()->accuracy() : 0.0;
}

std::optional<std::string> DZMRewardBasedVideoAdNetworkConnector::userLocationDescription() const {
    if (!isLocationShared_) return std::nullopt;
    const auto location = userLocation();
    return location ? std::optional(location->locationDescription()) : std::nullopt;
}

float DZMRewardBasedVideoAdNetworkConnector::adVolume() const {
    return std::clamp(DZMobileAds::sharedInstance().clampedApplicationVolume(), 0.0f, 1.0f);
}

bool DZMRewardBasedVideoAdNetworkConnector::adMuted() const {
    return DZMobileAds::sharedInstance().applicationMuted();
}

gfx::Size DZMRewardBasedVideoAdNetworkConnector::adSize() const {
    return ad_ ? ad_->size() : gfx::Size();
}

double DZMRewardBasedVideoAdNetworkConnector::croppedContentThreshold() const {
    return ad_ ? ad_->croppedContentThreshold() : DZAd::kDefaultCroppedContentThreshold;
}

std::optional<DZMInlineAd> DZMRewardBasedVideoAdNetworkConnector::inlineAd() const {
    if (!adNetworkConfig_ || !adNetworkConfig_->ad()) return std::nullopt;
    return DZMInlineAd{*adNetworkConfig_->ad(), {}};
}

std::optional<core::Dictionary> DZMRewardBasedVideoAdNetworkConnector::extras() const {
    return adNetworkConfig_ ? adNetworkConfig_->extras() : std::nullopt;
}

core::Array DZMRewardBasedVideoAdNetworkConnector::adapterNames() const {
    core::Array names;
    if (!mediationConfig_) return names;
    for (const auto& network : mediationConfig_->adNetworkConfigs()) {
        if (!network->adapterList()) continue;
        core::Array list;
        for (const auto& name : *network->adapterList()) list.emplace_back(name);
        names.emplace_back(std::move(list));
    }
    return names;
}

std::optional<std::string> DZMRewardBasedVideoAdNetworkConnector::currentAdapterName() const {
    if (adNetworkConfig_) return adNetworkConfig_->adapterClass();
    if (!adNetworkConfigsFromAppConfiguration_.empty() && adNetworkConfigsFromAppConfiguration_.front())
        return adNetworkConfigsFromAppConfiguration_.front()->adapterClass();
    return std::nullopt;
}

std::optional<std::string> DZMRewardBasedVideoAdNetworkConnector::userRequestAgent() const {
    return request_ ? request_->requestAgent() : std::nullopt;
}

}  // namespace ads
