#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"

#include <mutex>

#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZConfiguration.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdFetcher.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkConnector.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAdDelegate.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

// Only a Boolean, a number or a text counts as a server flag.
bool serverFlag(std::string_view key) {
    const core::Value value = core::UserDefaults::standard()->objectForKey(std::string(key));
    return (value.isBool() || value.isNumber() || value.isString()) && value.boolValue();
}

}  // namespace

std::shared_ptr<DZRewardBasedVideoAd> DZRewardBasedVideoAd::sharedInstance() {
    DZCallLog::record("DZRewardBasedVideoAd.sharedInstance");
    static std::once_flag once;
    static std::shared_ptr<DZRewardBasedVideoAd>* shared = nullptr;
    std::call_once(once, [] { shared = new std::shared_ptr<DZRewardBasedVideoAd>(create()); });
    return *shared;
}

std::shared_ptr<DZRewardBasedVideoAd> DZRewardBasedVideoAd::create() {
    std::shared_ptr<DZRewardBasedVideoAd> ad(new DZRewardBasedVideoAd);
    ad->startObservingApplicationConfiguration();
    return ad;
}

DZRewardBasedVideoAd::DZRewardBasedVideoAd() : adStatistics_(std::make_shared<DZSlotStatistics>()) {}

DZRewardBasedVideoAd::~DZRewardBasedVideoAd() {
    DZApplication::sharedInstance()->requesterDidEndRequest(this);
    stopObservingApplicationConfiguration();
    if (interstitial_) interstitial_->setDelegate({});
    if (adFetcher_) adFetcher_->cancel();
    for (const auto& [name, connector] : connectors_) connector->setDelegate({});
}

std::shared_ptr<DZSDKCoreController> DZRewardBasedVideoAd::SDKCoreController() const {
    return SDKCoreController_ ? SDKCoreController_ : DZSDKCoreController::sharedInstance();
}

void DZRewardBasedVideoAd::tellDelegate(
    const std::function<void(DZRewardBasedVideoAdDelegate&)>& call) {
    if (const auto delegate = this->delegate()) call(*delegate);
}

// Loading.

void DZRewardBasedVideoAd::loadRequest(const std::shared_ptr<DZRequest>& request,
                                       const std::string& adUnitID) {
    const auto application = DZApplication::sharedInstance();
    application->runAdditionalEarlyActivities();
    if (requestInProgress_) {
        DZLogger::sharedInstance().logPublicMessage(kRequestInProgressMessage);
        return;
    }
    stopObservingApplicationConfiguration();
    ad_.reset();
    requestInProgress_ = true;
    application->requesterWillBeginRequest(this);
    ready_ = false;
    fetchAdForRequest(request, adUnitID);
}

void DZRewardBasedVideoAd::fetchAdForRequest(const std::shared_ptr<DZRequest>& request,
                                             const std::string& adUnitID) {
    request_ = request ? request->copy() : std::make_shared<DZRequest>();
    adUnitID_ = adUnitID;
    const core::Dictionary extras =
        request_->networkExtrasAdditionalParameters().value_or(core::Dictionary());
    if (const core::Dictionary* inlined = extras["_ad"].dictionary()) {
        const auto ad = DZAd::initWithDictionary(core::Value(*inlined));
        if (ad && ad->adHTML()) {
            const core::Dictionary* headers = extras["_adHeaders"].dictionary();
            loadAd(ad, headers ? std::optional(*headers) : std::nullopt);
            return;
        }
        if (ad && ad->adURL()) {
            loadAdURLWithParameters(core::Dictionary{{"url", ad->adURL()->absoluteString()}});
            return;
        }
    }
    SDKCoreController()->buildAdURL(shared_from_this());
}

std::optional<core::Dictionary> DZRewardBasedVideoAd::requestParameters() {
    core::Dictionary parameters = request_ ? request_->parameters() : core::Dictionary();
    const auto defaults = core::UserDefaults::standard();
    if (adUnitID_) parameters.set("slotname", *adUnitID_);
    parameters.set("rbv", "1");
    if (requestID_) parameters.set("request_id", *requestID_);
    parameters.set("format", "reward_mb");
    parameters.set("sai", defaults->boolForKey(kAnalyticsEnabledKey) ? "1" : "0");
    if (const auto analytics = DZAnalytics::sharedInstance()) {
        DZAddAnalyticsIdentifiersToParameters(&parameters);
        if (const std::string* eventID = parameters["hst_aeid"].string())
            analytics->logEventWithName("_aq", *eventID);
    }
    if (const core::Value caps = defaults->objectForKey(std::string(kExtraCapsKey)); !caps.isNull())
        parameters.set("extra_caps", caps);
    return parameters;
}

void DZRewardBasedVideoAd::loadAdURLWithParameters(const core::Dictionary& parameters) {
    if (parameters.contains("errors")) {
        failedToLoadAdWithError(DZErrorWithCode(kDZErrorInvalidRequest));
        return;
    }
    auto ad = std::make_shared<DZAd>();
    if (const std::string* text = parameters["url"].string()) ad->setAdURL(core::URL::create(*text));
    adFetcher_ = std::make_shared<DZAdFetcher>();
    Error error;
    if (!adFetcher_->fetchRemainingContentForAd(ad, std::nullopt, weak_from_this(), &error)) {
        adFetcher_.reset();
        failedToLoadAdWithError(error);
    }
}

void DZRewardBasedVideoAd::loadAd(const std::shared_ptr<DZAd>& ad,
                                  const std::optional<core::Dictionary>& headers) {
    adFetcher_ = std::make_shared<DZAdFetcher>();
    Error error;
    if (!adFetcher_->fetchRemainingContentForAd(ad, headers, weak_from_this(), &error)) {
        adFetcher_.reset();
        failedToLoadAdWithError(error);
    }
}

void DZRewardBasedVideoAd::invalidJavaScriptRequest() {
    failedToLoadAdWithError(
        DZErrorWithCodeDescription(kDZErrorInvalidRequest, "Request object configured wrong."));
}

void DZRewardBasedVideoAd::failedJavaScriptFile() {
    failedToLoadAdWithError(
        DZErrorWithCodeDescription(kDZErrorNetworkError, "No network connection."));
}

void DZRewardBasedVideoAd::didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) {
    if (&fetcher != adFetcher_.get()) return;
    const auto keep = shared_from_this();
    ad_ = ad;
    adFetcher_.reset();
    loadAd(ad);
}

void DZRewardBasedVideoAd::didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>&,
                                            const Error& error, int) {
    if (&fetcher != adFetcher_.get()) return;
    const auto keep = shared_from_this();
    adFetcher_.reset();
    failedToLoadAdWithError(error);
}

void DZRewardBasedVideoAd::loadAd(const std::shared_ptr<DZAd>& ad) {
    switch (ad ? ad->responseType() : 0) {
    case 1:
        loadInterstitialWithAd(ad);
        return;
    case 2:
        processMediationAd(ad);
        return;
    default:
        failedToLoadAdWithError(
            DZErrorWithCodeDescription(kDZErrorInternalError, "Invalid ad response."));
        return;
    }
}

// The HTML path: a private interstitial shows the ad.

void DZRewardBasedVideoAd::loadInterstitialWithAd(const std::shared_ptr<DZAd>& ad) {
    if (!ad->adHTML() || !ad->adBaseURL()) {
        failedToLoadAdWithError(
            DZErrorWithCodeDescription(kDZErrorInternalError, "Invalid ad response received."));
        return;
    }
    // The interstitial's slot rebuilds the ad from its dictionary and its
    // response headers (size, tracking, orientation) without fetching.
    core::Dictionary dictionary{{"ad_html", *ad->adHTML()},
                                {"ad_base_url", ad->adBaseURL()->absoluteString()}};
    if (const auto& reward = ad->reward()) {
        // Through the amount's shortest text, which keeps its decimal value.
        const core::Value amount(core::Value(reward->rewardAmount().string()).doubleValue());
        dictionary.set("rewards", core::Array{core::Dictionary{
                                      {"rb_type", reward->rewardType()}, {"rb_amount", amount}}});
    }
    auto extras = std::make_shared<DZExtras>(core::Dictionary{
        {"_ad", std::move(dictionary)},
        {"_adHeaders", ad->responseHeaders().value_or(core::Dictionary())}});
    const auto request = DZRequest::request();
    request->registerAdNetworkExtras(extras);
    loadInterstitialWithAdRequest(request);
}

void DZRewardBasedVideoAd::loadInterstitialWithAdRequest(const std::shared_ptr<DZRequest>& request) {
    if (interstitial_) {
        interstitial_->setDelegate({});
        interstitial_.reset();
    }
    interstitial_ = DZInterstitial::create(adUnitID_.value_or(""));
    interstitial_->setMediated();
    interstitial_->setDelegate(std::static_pointer_cast<DZInterstitialDelegate>(shared_from_this()));
    interstitial_->loadRequest(request);
}

void DZRewardBasedVideoAd::interstitialDidReceiveAd(DZInterstitial&) {
    adLoadedSuccessfully();
}

void DZRewardBasedVideoAd::didFailToReceiveAdWithError(DZInterstitial&, const DZRequestError& error) {
    failedToLoadAdWithError(error);
}

void DZRewardBasedVideoAd::interstitialWillPresentScreen(DZInterstitial&) {
    tellDelegate([this](DZRewardBasedVideoAdDelegate& delegate) { delegate.rewardBasedVideoAdDidOpen(*this); });
}

void DZRewardBasedVideoAd::interstitialWillDismissScreen(DZInterstitial&) {}

void DZRewardBasedVideoAd::interstitialDidDismissScreen(DZInterstitial&) {
    tellDelegate([this](DZRewardBasedVideoAdDelegate& delegate) { delegate.rewardBasedVideoAdDidClose(*this); });
}

void DZRewardBasedVideoAd::interstitialWillLeaveApplication(DZInterstitial&) {
    tellDelegate([this](DZRewardBasedVideoAdDelegate& delegate) {
        delegate.rewardBasedVideoAdWillLeaveApplication(*this);
    });
}

void DZRewardBasedVideoAd::interstitialDidReceiveAdClick(DZInterstitial&) {
    if (const auto click = std::dynamic_pointer_cast<DZRewardBasedVideoAdClickDelegate>(delegate()))
        click->rewardBasedVideoAdDidReceiveAdClick(*this);
}

void DZRewardBasedVideoAd::interstitialDidStartPlayingRewardBasedVideoAd(DZInterstitial&) {
    tellDelegate([this](DZRewardBasedVideoAdDelegate& delegate) {
        delegate.rewardBasedVideoAdDidStartPlaying(*this);
    });
}

void DZRewardBasedVideoAd::didRewardUserWithReward(DZInterstitial&,
                                                   const std::shared_ptr<DZAdReward>& reward) {
    tellDelegate([this, &reward](DZRewardBasedVideoAdDelegate& delegate) {
        delegate.didRewardUserWithReward(*this, reward);
    });
}

// Outcomes.

void DZRewardBasedVideoAd::adLoadedSuccessfully() {
    requestInProgress_ = false;
    ready_ = true;
    DZApplication::sharedInstance()->requesterDidEndRequest(this);
    tellDelegate([this](DZRewardBasedVideoAdDelegate& delegate) {
        delegate.rewardBasedVideoAdDidReceiveAd(*this);
    });
}

void DZRewardBasedVideoAd::failedToLoadAdWithError(const Error& error) {
    requestInProgress_ = false;
    ready_ = false;
    DZApplication::sharedInstance()->requesterDidEndRequest(this);
    const DZRequestError requestError = DZRequestErrorFromError(error);
    tellDelegate([this, &requestError](DZRewardBasedVideoAdDelegate& delegate) {
        delegate.didFailToLoadWithError(*this, requestError);
    });
}

// Presenting.

void DZRewardBasedVideoAd::presentFromRootViewController(
    const std::shared_ptr<ui::ViewController>& root) {
    if (requestInProgress_ || !ready_) {
        DZLogger::sharedInstance().logPublicMessage(kNotReadyMessage);
        return;
    }
    const auto keep = shared_from_this();
    const std::uint64_t type = ad_ ? ad_->responseType() : 0;
    if (type == 2) {
        presentMediatedRewardBasedVideoAdFromViewController(root);
    } else if (type == 1 && interstitial_) {
        interstitial_->presentFromRootViewController(root);
    }
    ready_ = false;
}

// The app-settings set-up.

void DZRewardBasedVideoAd::startObservingApplicationConfiguration() {
    if (configurationObserver_) return;
    const std::weak_ptr<DZRewardBasedVideoAd> weak = weak_from_this();
    configurationObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        DZApplication::kConfigurationChangedNotification, nullptr, core::Queue::main(),
        [weak](const core::Notification&) {
            if (const auto self = weak.lock()) self->setUpAdaptersFromApplicationConfiguration();
        });
    core::Queue::main()->async([weak] {
        if (const auto self = weak.lock()) self->setUpAdaptersFromApplicationConfiguration();
    });
}

void DZRewardBasedVideoAd::stopObservingApplicationConfiguration() {
    if (!configurationObserver_) return;
    core::NotificationCenter::defaultCenter().removeObserver(configurationObserver_);
    configurationObserver_ = {};
}

void DZRewardBasedVideoAd::setUpAdaptersFromApplicationConfiguration() {
    if (!configurationObserver_ || !serverFlag(kEarlySetUpKey)) return;
    const auto configuration = DZApplication::sharedInstance()->configuration()->copy();
    const auto refreshed =
        configuration->objectForKeyedSubscript(DZApplication::kRefreshedSinceAppStartKey);
    if (!refreshed || !refreshed->isBool() || !refreshed->boolValue()) return;
    const auto settings = configuration->objectForKeyedSubscript("ad_unit_id_settings");
    if (!settings || !settings->isArray()) return;
    std::vector<std::shared_ptr<DZMAdNetworkConfig>> configs;
    for (const core::Value& entry : *settings->array()) {
        const core::Dictionary* unit = entry.dictionary();
        if (!unit) continue;
        const std::string* format = (*unit)["format"].string();
        if (!format || *format != "rewarded") continue;
        const core::Value* mediation =
            DZObjectOfClassForKey(unit, "mediation_config", DZValueClass::Dictionary);
        const core::Value* networks = mediation ? DZObjectOfClassForKey(mediation->dictionary(),
                                                                        "ad_networks",
                                                                        DZValueClass::Array)
                                                : nullptr;
        if (!networks) continue;
        for (const core::Value& network : *networks->array()) {
            const core::Dictionary* dictionary = network.dictionary();
            if (!dictionary) continue;
            core::Dictionary copy = *dictionary;
            if (!copy.contains("id")) copy.set("id", kPlaceholderNetworkID);
            const auto config = DZMAdNetworkConfig::initWithDictionary(copy, nullptr);
            if (config && config->adapterClass()) configs.push_back(config);
        }
    }
    if (configs.empty()) return;
    stopObservingApplicationConfiguration();
    setUpAdaptersForAdNetworkConfigsFromAppConfiguration(configs);
}

}  // namespace ads
