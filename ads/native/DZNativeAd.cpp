#include "ads/native/DZNativeAd.h"

#include <cmath>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZSignalModule.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/mediation/core/DZMediatedNativeAd.h"
#include "ads/core/request/DZAdLoaderOptions.h"
#include "ads/core/request/DZNativeAdViewAdOptions.h"
#include "ads/native/DZNativeAdDelegate.h"
#include "ads/web/net/DZPinger.h"
#include "ads/web/view/DZAdView.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr const char* kSDKVersionNumber = "7.22.0";

std::set<std::string> stringSet(const core::Value& value) {
    std::set<std::string> strings;
    if (const core::Array* array = value.array()) {
        for (const core::Value& item : *array)
            if (const std::string* text = item.string()) strings.insert(*text);
    }
    return strings;
}

std::optional<std::string> optionalString(const core::Value& value) {
    if (const std::string* text = value.string()) return *text;
    return std::nullopt;
}

}  // namespace

DZNativeAd::DZNativeAd(const core::Dictionary& dictionary, const Options& options)
    : lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("native-ad"), DZQoSDefault)),
      adNetworkClassName_(DZSlot::kOwnAdapterClassName), adConfiguration_(dictionary) {
    if (const auto found = options.find(DZNativeAdViewAdOptions::kClassName);
        found != options.end()) {
        if (const auto* view = dynamic_cast<const DZNativeAdViewAdOptions*>(found->second.get()))
            attributionCorner_ = view->preferredAdChoicesPosition();
    }
    const core::Value& tracking = dictionary["tracking_urls_and_actions"];
    dozuzaClickTrackingURLString_ = optionalString(tracking["dozuza_click_tracking_url"]);
    thirdPartyClickTrackingURLs_ = stringSet(tracking["third_party_click_tracking_urls"]);
    impressionTrackingURLs_ = stringSet(tracking["impression_tracking_urls"]);
    if (const core::Array* actions = tracking["click_actions"].array()) clickActions_ = *actions;
    if (const core::Dictionary* liveView = tracking["live_view"].dictionary())
        liveViewConfigurations_ = *liveView;
    debugSignalInformation_ = optionalString(dictionary["debug_signals"]);
    publisherRenderAdChoicesAllowed_ = dictionary["attribution"]["allow_pub_rendering"].boolValue();
    const core::Value& reporting = dictionary["allow_pub_event_reporting"];
    publisherClickReportingAllowed_ = reporting["click_reporting"].boolValue();
    publisherTouchReportingAllowed_ = reporting["touch_reporting"].boolValue();
    publisherImpressionReportingAllowed_ = reporting["impression_reporting"].boolValue();
}

DZNativeAd::~DZNativeAd() {
    stopObservingMediatedAd();
    saveStatistics();
}

void DZNativeAd::saveStatistics() {
    if (statistics_.empty()) return;
    const std::string* templateID = statistics_["template_id"].string();
    if (!templateID) return;
    const auto store = DZApplication::sharedInstance()->nativeAdStatistics();
    if (!store) return;
    store->addObject(core::Value(statistics_), *templateID, false);
    std::int64_t maximum = kDefaultStatisticsMaxCount;
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kStatisticsMaxCountKey);
    if (const auto number = DZIntegerValue<std::int64_t>(stored)) maximum = *number;
    store->setMaxSize(maximum, *templateID);
}

// Class side.

const core::Array* DZNativeAd::adsArrayInAdsConfigurationDictionary(
    const core::Dictionary& configuration) {
    return configuration["ads"].array();
}

const DZLoadableClass* DZNativeAd::classFromSingleAdConfigurationDictionary(
    const core::Dictionary& entry) {
    const core::Value& templateID = entry["template_id"];
    std::int64_t number = 0;
    if (templateID.isNumber()) {
        number = templateID.intValue();
    } else if (const std::string* text = templateID.string()) {
        // The integer value of the text: leading digits, 0 when there are none.
        number = std::atoll(text->c_str());
    }
    return DZNativeAdClassForTypeAndTemplateID(optionalString(entry["type"]), number);
}

core::URL DZNativeAd::supportHTMLURL() {
    if (const auto text = core::UserDefaults::standard()->stringForKey(kSupportURLKey)) {
        if (auto url = core::URL::create(*text)) return *url;
    }
    return *core::URL::create(DZServerHosts::adServerURLString(kSupportPath));
}

// Slot and controller.

void DZNativeAd::setSlot(std::shared_ptr<DZSlot> slot) {
    if (slot == slot_) return;
    slot_ = std::move(slot);
    if (!slot_) return;
    slot_->setAdEventDelegate(std::static_pointer_cast<DZSlotAdEventDelegate>(shared_from_this()));
    if (slot_->adView()) slot_->adView()->setViewController(rootViewController_);
}

void DZNativeAd::setRootViewController(std::weak_ptr<ui::ViewController> controller) {
    rootViewController_ = std::move(controller);
    if (slot_ && slot_->adView()) slot_->adView()->setViewController(rootViewController_);
}

// Clicks and impressions through the support page.

void DZNativeAd::runInSlotPage(const char* function, const core::Dictionary& argument) {
    const auto json = dz_JSONStringPretty(argument, false, nullptr);
    if (!json || !slot_ || !slot_->adView()) return;
    slot_->adView()->executeJavaScriptAsynchronouslyFromString(
        std::string("dozuza.duzo.nativeAds.") + function + "(" + *json + ")");
}

void DZNativeAd::performClickOnView(const std::shared_ptr<ui::View>& view,
                                    const std::optional<std::string>& assetName,
                                    const core::Dictionary& environment) {
    if (mediatedNativeAd_) {
        if (mediatedNativeAd_->adapterHandlesUserClicks()) return;
        mediatedNativeAd_->reportClickOnAssetWithWithName(assetName, view, rootViewController());
    }
    if (!assetName || !adConfiguration_) return;
    // The tap on the asset is the person's touch on the ad whose page
    // opens the landing page: its ad view hears of it as of its own finger.
    if (const auto adView = view && slot_ ? slot_->adView() : nullptr) adView->noteTouch();
    core::Dictionary report = environment;
    report.set("ad", *adConfiguration_);
    report.set("click", core::Dictionary{{"template", adFormatTemplateID()},
                                         {"asset", *assetName},
                                         {"sdk_version", kSDKVersionNumber}});
    runInSlotPage("handleClickDmsg", report);
}

void DZNativeAd::recordImpressionWithEnvironment(const core::Dictionary& environment) {
    if (hasRecordedImpression_) return;
    hasRecordedImpression_ = true;
    if (mediatedNativeAd_ && mediatedNativeAd_->adapterHandlesUserImpressions()) return;
    pingDebugSignal();
    if (mediatedNativeAd_) mediatedNativeAd_->reportImpression();
    if (!adConfiguration_) return;
    core::Dictionary report = environment;
    report.set("ad", *adConfiguration_);
    runInSlotPage("handleImpressionPing", report);
}

void DZNativeAd::pingDebugSignal() {
    const auto defaults = core::UserDefaults::standard();
    const auto urlText = defaults->stringForKey(kDebugSignalURLKey);
    if (!urlText || !DZApplication::sharedInstance()->debugModeEnabled() ||
        !debugSignalInformation_)
        return;
    core::Dictionary parameters;
    if (const auto device = defaults->stringForKey(kDebugDeviceIdentifierKey))
        parameters.set("linkedDeviceId", *device);
    if (slot_ && slot_->adUnitID()) parameters.set("adSlotPath", *slot_->adUnitID());
    parameters.set("debugData", *debugSignalInformation_);
    const auto url = DZURLByAddingQueryParameters(core::URL::create(*urlText), parameters);
    if (!url) return;
    DZPinger::sharedInstance()->pingURLString(url->absoluteString(), nullptr, nullptr);
}

// Publisher reporting.

void DZNativeAd::performClickWithData(const std::optional<core::Dictionary>& data) {
    if (!publisherClickReportingAllowed_) {
        DZLogger::sharedInstance().logPublicMessage(kNotEnabledMessage);
        return;
    }
    if (!data) {
        DZLogger::sharedInstance().logPublicMessage("clickData cannot be nil.");
        return;
    }
    performClickOnView(nullptr, optionalString((*data)["click_signal"]["asset_id"]),
                       core::Dictionary{{"provided_signals", *data}});
}

void DZNativeAd::reportTouchEventWithData(const std::optional<core::Dictionary>& data) {
    if (!publisherTouchReportingAllowed_) {
        DZLogger::sharedInstance().logPublicMessage(kNotEnabledMessage);
        return;
    }
    if (!data) {
        DZLogger::sharedInstance().logPublicMessage("touchData cannot be nil.");
        return;
    }
    const core::Value& x = (*data)["x"];
    const core::Value& y = (*data)["y"];
    const core::Value& duration = (*data)["duration_ms"];
    if (x.isNull() || y.isNull() || duration.isNull()) return;
    const auto rounded = [](const core::Value& value) {
        return static_cast<std::int32_t>(std::lround(static_cast<float>(value.doubleValue())));
    };
    DZRunOnMainThread([x = rounded(x), y = rounded(y), d = rounded(duration)] {
        DZGestureReportTouch(x, y, d);
    });
}

bool DZNativeAd::recordImpressionWithData(const std::optional<core::Dictionary>& data) {
    if (!publisherImpressionReportingAllowed_) {
        DZLogger::sharedInstance().logPublicMessage(kNotEnabledMessage);
        return false;
    }
    if (!data) {
        DZLogger::sharedInstance().logPublicMessage("impressionData cannot be nil.");
        return false;
    }
    recordImpressionWithEnvironment(core::Dictionary{{"provided_signals", *data}});
    return hasRecordedImpression_;
}

void DZNativeAd::reportIsMediaContentRendered(bool rendered) {
    if (!adUnitID_ || adUnitID_->empty()) return;
    statistics_ = core::Dictionary{{"template_id", adFormatTemplateID()},
                                   {"ad_unit_id", *adUnitID_},
                                   {"timestamp_ms", DZSecondsSinceBoot() * 1000.0},
                                   {"uses_media_view", rendered ? 1 : 0}};
}

// Asset loading.

void DZNativeAd::loadAssetsWithCompletionHandler(AssetCompletion handler) {
    lockQueue_->async([self = shared_from_this(), handler = std::move(handler)] {
        self->assetLoadCompletionHandlers_.push_back(handler);
    });
    core::Queue::main()->async([self = shared_from_this()] {
        self->lockQueue_->async([self] { self->assetLoadingStarted_ = true; });
        self->notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded();
    });
}

bool DZNativeAd::shouldLoadAssets() const {
    bool started = false;
    lockQueue_->sync([&] { started = assetLoadingStarted_; });
    return !started;
}

void DZNativeAd::addAssetWithNameToRequestedAssets(const std::string& name) {
    requestedAssets_.insert(name);
}

void DZNativeAd::finishedLoadingAssetWithName(const std::optional<std::string>& name) {
    if (name) completedAssets_.insert(*name);
    notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded();
}

void DZNativeAd::failedToLoadAssetWithName(const std::string& name) {
    completedAssets_.insert(name);
    if (failedToLoadARequiredAsset_) return;
    if (requiredAssets().contains(name)) {
        failedToLoadARequiredAsset_ = true;
        callAndClearAssetLoadCompletionHandlersWithError(
            DZErrorWithCodeDescription(kDZErrorInternalError, kRequiredAssetFailedMessage));
        return;
    }
    notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded();
}

void DZNativeAd::notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded() {
    if (failedToLoadARequiredAsset_) return;
    for (const std::string& name : requestedAssets_)
        if (!completedAssets_.contains(name)) return;
    callAndClearAssetLoadCompletionHandlersWithError(std::nullopt);
}

void DZNativeAd::callAndClearAssetLoadCompletionHandlersWithError(
    const std::optional<Error>& error) {
    std::vector<AssetCompletion> handlers;
    lockQueue_->sync([&] { handlers.swap(assetLoadCompletionHandlers_); });
    core::Queue::main()->async([handlers = std::move(handlers), error] {
        for (const auto& handler : handlers)
            if (handler) handler(error);
    });
}

// Slot events.

void DZNativeAd::relayToDelegate(void (DZNativeAdDelegate::*method)(DZNativeAd&)) {
    DZRunOnMainThread([weak = weak_from_this(), method] {
        const auto self = weak.lock();
        if (!self) return;
        if (const auto delegate = self->delegate()) ((*delegate).*method)(*self);
    });
}

void DZNativeAd::slotWillPresentScreen(DZSlot&) {
    relayToDelegate(&DZNativeAdDelegate::nativeAdWillPresentScreen);
}
void DZNativeAd::slotWillDismissScreen(DZSlot&) {
    relayToDelegate(&DZNativeAdDelegate::nativeAdWillDismissScreen);
}
void DZNativeAd::slotDidDismissScreen(DZSlot&) {
    relayToDelegate(&DZNativeAdDelegate::nativeAdDidDismissScreen);
}
void DZNativeAd::slotWillLeaveApplication(DZSlot&) {
    relayToDelegate(&DZNativeAdDelegate::nativeAdWillLeaveApplication);
}
void DZNativeAd::slotDidRecordImpression(DZSlot&) {
    relayToDelegate(&DZNativeAdDelegate::nativeAdDidRecordImpression);
}
void DZNativeAd::slotDidRecordClick(DZSlot&) {
    relayToDelegate(&DZNativeAdDelegate::nativeAdDidRecordClick);
}

// Statistics for later requests.

std::optional<core::Array> DZNativeAdStatisticsForAdUnit(const std::optional<std::string>& adUnitID,
                                                         const std::string& templateID) {
    const auto store = DZApplication::sharedInstance()->nativeAdStatistics();
    if (!store || !adUnitID) return std::nullopt;
    const core::Value records = store->objectForKeyedSubscript(templateID);
    const core::Array* array = records.array();
    if (!array) return std::nullopt;
    core::Array matching;
    for (const core::Value& record : *array) {
        if (const std::string* unit = record["ad_unit_id"].string(); unit && *unit == *adUnitID)
            matching.push_back(record);
    }
    if (matching.empty()) return std::nullopt;
    return matching;
}

}  // namespace ads
