// DZSlot: the slot's side of the ad URL build with the SDK core controller:
// the request parameters, the kind of ad requested, and the controller's
// answers.

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/request/DZCorrelator.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotAdKeyDelegate.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZCrashReporter.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZLocationService.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/foundation/DZViewUtilities.h"
#include "ads/web/view/DZAdView.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"
#include "ui/DeviceProfile.h"

namespace ads {

namespace {

// "%lux%lu" of the resolved size, fractions cut off.
std::string sizeText(const DZAdSize& size) {
    const gfx::Size resolved = DZAdSizeResolvedCGSize(size);
    const auto whole = [](double value) {
        return value > 0 ? static_cast<unsigned long>(value) : 0UL;
    };
    return core::format("%lux%lu", whole(resolved.width), whole(resolved.height));
}

// The entries that are boxed ad sizes other than kDZAdSizeInvalid.
std::vector<DZAdSize> usableSizes(const std::optional<std::vector<DZBoxedValue>>& boxed) {
    std::vector<DZAdSize> sizes;
    if (!boxed) return sizes;
    for (const DZBoxedValue& value : *boxed) {
        if (value.typeEncoding != kDZAdSizeTypeEncoding) continue;
        const DZAdSize size = DZAdSizeUnboxedValue(value);
        if (DZAdSizesEqual(size, kDZAdSizeInvalid)) continue;
        sizes.push_back(size);
    }
    return sizes;
}

}  // namespace

std::optional<core::Dictionary> DZSlot::requestParameters() {
    return requestParametersForRequest(loadingRequest_);
}

std::uint64_t DZSlot::requestedAdType() {
    const auto delegate = slotDelegate();
    return delegate ? static_cast<std::uint64_t>(delegate->slotDelegateKind()) : 0;
}

std::optional<std::vector<DZBoxedValue>> DZSlot::delegateValidAdSizes() const {
    const auto delegate = slotDelegate();
    return delegate ? delegate->validAdSizes() : std::nullopt;
}

void DZSlot::addQualitySignals(core::Dictionary& parameters,
                               const std::shared_ptr<DZRequest>& request) {
    core::Dictionary signals;
    if (applicationStatistics_ && !applicationStatistics_->empty())
        signals.set("app", *applicationStatistics_);
    if (core::Dictionary slots = slotStats_->statistics(); !slots.empty())
        signals.set("slots", std::move(slots));
    if (request && request->privateMediationExtras() && !request->privateMediationExtras()->empty())
        signals.set("request", *request->privateMediationExtras());
    // Parameters may be built more than once for one load (the banner cache
    // builds them for its key): what an earlier build drained stays pending
    // and goes out with this one.
    pendingAdStatistics_.merge(DZApplication::sharedInstance()->pendingAdStatistics());
    core::Array ads;
    for (const auto& statistics : pendingAdStatistics_)
        if (statistics) ads.push_back(statistics->dictionary());
    if (!ads.empty()) signals.set("ads", std::move(ads));
    if (!signals.empty()) parameters.set("quality_signals", std::move(signals));
}

void DZSlot::addSizeParameters(core::Dictionary& parameters) {
    if (isInterstitial()) {
        parameters.set("format", "interstitial_mb");
        return;
    }
    const std::vector<DZAdSize> sizes = usableSizes(delegateValidAdSizes());
    std::string joined;
    core::Array array;
    for (const DZAdSize& size : sizes) {
        if (!joined.empty()) joined += "|";
        joined += sizeText(size);
        array.push_back(DZAdSizeIsFluid(size) ? std::string("fluid") : sizeText(size));
    }
    if (!joined.empty()) parameters.set("sz", joined);
    if (!array.empty()) parameters.set("sz_array", std::move(array));
    if (sizes.empty() && adType_ && DZAdSizeIsFluid(adType_->adSize())) {
        parameters.set("format", "320x50_mb");
        parameters.set("fluid", "height");
    }
    const auto delegate = slotDelegate();
    const auto frame = delegate ? delegate->frame() : std::nullopt;
    const auto bounds = delegate ? delegate->bounds() : std::nullopt;
    const gfx::Rect viewFrame = adView_ ? adView_->frame() : gfx::Rect();
    const gfx::Rect viewBounds = adView_ ? adView_->bounds() : gfx::Rect();
    parameters.set("ad_frame", DZDictionaryWithRect(frame.value_or(viewFrame).standardized()));
    parameters.set("ad_bounds", DZDictionaryWithRect(bounds.value_or(viewBounds).standardized()));
}

core::Dictionary DZSlot::requestParametersForRequest(const std::shared_ptr<DZRequest>& request) {
    core::Dictionary parameters = request ? request->parameters() : core::Dictionary();
    const auto defaults = core::UserDefaults::standard();
    if (correlator_ && correlator_->correlationID() != 0)
        parameters.set("correlation_id", correlator_->correlationID());
    addQualitySignals(parameters, request);
    if (adUnitID_ && !adUnitID_->empty()) parameters.set("slotname", *adUnitID_);
    addSizeParameters(parameters);
    const DZAdSize adSize = adType_ ? adType_->adSize() : kDZAdSizeInvalid;
    if (DZAdSizeIsFullWidth(adSize)) {
        parameters.set("smart_w", "full");
        if (DZAdSizeIsAutoHeight(adSize)) parameters.set("smart_h", "auto");
    }
    if (requestID_) parameters.set("request_id", *requestID_);
    if (auto position =
            DZViewUtilities::positionOfView(adView_.get(), ui::DeviceProfile::current()))
        parameters.set("ad_pos", std::move(*position));
    if (manualImpressionsEnabled_) parameters.set("d_imp_hdr", "1");
    const core::Value useHTTPS = defaults->objectForKey(kUseHTTPSKey);
    if (useHTTPS.isNull() || useHTTPS.boolValue()) parameters.set("force_https", "1");

    std::optional<std::string> fingerprint =
        DZApplication::sharedInstance()->fingerprintWithServedPenaltyDeduction();
    if (fingerprint) {
        defaults->setObject(std::string(kContentFingerprintKey), *fingerprint);
    } else if (const core::Value stored = defaults->objectForKey(kContentFingerprintKey);
               stored.isString()) {
        fingerprint = stored.stringValue();
    }
    if (fingerprint)
        parameters.set("content_info", core::Dictionary{{"fingerprint", *fingerprint}, {"v", 1}});

    if (const auto keyDelegate = adKeyDelegate())
        if (auto hierarchy = keyDelegate->viewHierarchyInformationForSlot(*this))
            parameters.set("view_hierarchy", std::move(*hierarchy));
    if (const core::Value experiments = defaults->objectForKey(kExperimentIDStringKey);
        !experiments.isNull())
        parameters.set("eid", experiments.stringValue());
    if (const core::Value prefetch = defaults->objectForKey(kPrefetchEnabledKey);
        prefetch.isString() && prefetch.boolValue())
        parameters.set("_forcePrefetch", "1");
    if (!DZCrashReporter::sharedInstance()->reportingEnabled()) parameters.set("cre", "0");
    if (const auto service = DZLocationService::sharedInstance())
        if (const auto location = service->location())
            if (const auto& representation = location->dictionaryRepresentation())
                parameters.set("uule", *representation);
    parameters.set("sai", defaults->boolForKey(kAnalyticsEnabledKey) ? "1" : "0");
    if (const auto analytics = DZAnalytics::sharedInstance()) {
        DZAddAnalyticsIdentifiersToParameters(&parameters);
        if (const std::string* eventID = parameters["hst_aeid"].string())
            analytics->logEventWithName("_aq", *eventID);
    }
    if (const core::Value caps = defaults->objectForKey(kExtraCapsKey); !caps.isNull())
        parameters.set("extra_caps", caps);
    return parameters;
}

// The controller's answers, taken only while the slot waits for them.

void DZSlot::loadAdURLWithParameters(const core::Dictionary& result) {
    if (!awaitsCoreAnswer()) return;
    const auto keep = shared_from_this();
    adURLBuildRequestCompleted();
    didReceiveAdURL();
    if (result.contains("errors")) {
        didFailToReceiveAdWithError(DZErrorWithCode(kDZErrorInvalidRequest), false);
        return;
    }
    const auto statistics = DZApplication::sharedInstance()->statistics();
    const std::string scenario = result["request_scenario"].stringValue();
    if (scenario == "offline_buffer") statistics->incrementNumberForKey("bas_off", false);
    if (scenario == "offline_empty" || scenario == "offline_buffer") {
        statistics->incrementNumberForKey("oar", false);
        if (core::Value sequence = statistics->objectForKeyedSubscript("seq_num");
            !sequence.isNull())
            statistics->setObject(std::move(sequence), "losn", false);
    } else if (scenario == "online_buffer") {
        statistics->incrementNumberForKey("bas_on", false);
    }

    auto ad = std::make_shared<DZAd>();
    if (const std::string* text = result["url"].string()) ad->setAdURL(core::URL::create(*text));
    const auto width = DZNumericValue(result["interstitial_size_width"]);
    const auto height = DZNumericValue(result["interstitial_size_height"]);
    if (width && height) ad->setSize({*width, *height});
    if (const auto threshold = DZNumericValue(result["cropped_content_threshold"]))
        ad->setCroppedContentThreshold(*threshold);
    loadAd(ad, std::nullopt);
}

void DZSlot::failedJavaScriptFile() {
    if (!awaitsCoreAnswer()) return;
    didFailToRetrieveSDKCoreWithError(DZErrorWithCode(kDZErrorNetworkError));
}

void DZSlot::invalidJavaScriptRequest() {
    if (!awaitsCoreAnswer()) return;
    didFailToReceiveAdWithError(DZErrorWithCode(kDZErrorInvalidRequest), false);
}

void DZSlot::adURLRequestDidTimeOut(const Error& error) {
    if (!awaitsCoreAnswer()) return;
    didFailToReceiveAdWithError(error, false);
}

}  // namespace ads
