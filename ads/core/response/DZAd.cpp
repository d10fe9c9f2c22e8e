#include "ads/core/response/DZAd.h"

#include <algorithm>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZAdSize.h"
#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/foundation/DZURLLists.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "ads/web/net/DZPinger.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr const char* kDebugSignalURLKey = "/dozuza/ads/debug_signal_data_url";
constexpr const char* kDebugDeviceIdentifierKey = "/dozuza/ads/debug_device_identifier";

const std::string* text(const core::Dictionary& dictionary, std::string_view key) {
    const core::Value* value = dictionary.find(key);
    return value ? value->string() : nullptr;
}

std::optional<core::URL> url(const core::Dictionary& dictionary, std::string_view key) {
    const std::string* value = text(dictionary, key);
    return value ? core::URL::create(*value) : std::nullopt;
}

// A value with a truth value: a number, a Boolean or a text.
const core::Value* truthValue(const core::Dictionary& dictionary, std::string_view key) {
    const core::Value* value = dictionary.find(key);
    if (!value || !(value->isNumber() || value->isBool() || value->isString())) return nullptr;
    return value;
}

std::vector<core::URL> urls(const core::Dictionary& dictionary, std::string_view key) {
    const core::Value* value = dictionary.find(key);
    const core::Array* entries = value ? value->array() : nullptr;
    if (!entries) return {};
    std::vector<std::string> texts;
    for (const core::Value& entry : *entries) {
        if (const std::string* string = entry.string()) texts.push_back(*string);
    }
    return DZURLArrayFromStrings(texts).value_or(std::vector<core::URL>());
}

void addUnique(std::vector<core::URL>& set, const std::vector<core::URL>& urls) {
    for (const core::URL& url : urls) {
        if (std::find(set.begin(), set.end(), url) == set.end()) set.push_back(url);
    }
}

}  // namespace

DZAd::DZAd() : statistics_(DZStatisticDictionary::create(DZApplication::sharedInstance())) {}

std::shared_ptr<DZAd> DZAd::initWithDictionary(const core::Value& dictionary,
                                               const DZAdNativeProperties* native) {
    return make<DZAd>(dictionary, native);
}

void DZAd::readMarkup(const core::Dictionary& dictionary) {
    const std::string* html = text(dictionary, "ad_html");
    const auto baseURL = url(dictionary, "ad_base_url");
    if (baseURL && html && !html->empty()) {
        adHTML_ = *html;
        adBaseURL_ = baseURL;
    } else {
        adURL_ = url(dictionary, "ad_url");
    }
    const core::Value* json = dictionary.find("ad_json");
    if (!json || adHTML_) return;
    if (const std::string* body = json->string()) {
        adHTML_ = *body;
    } else if (const core::Dictionary* object = json->dictionary()) {
        adHTML_ = dz_JSONStringPretty(*object, false, nullptr);
    }
}

void DZAd::readDictionary(const core::Dictionary& dictionary) {
    readMarkup(dictionary);
    if (const std::string* size = text(dictionary, "ad_size")) size_ = DZAdSizeRequestString(*size);
    if (const std::string* orientation = text(dictionary, "orientation")) {
        if (const std::uint64_t mask = DZInterfaceOrientationMaskFromString(*orientation))
            supportedOrientations_ = mask;
    }
    const core::Value* javaScript = dictionary.find("ad_is_javascript");
    hasAdNetworkJavaScript_ =
        javaScript && (javaScript->isNumber() || javaScript->isBool()) && javaScript->boolValue();
    if (hasAdNetworkJavaScript_) adNetworkPassbackURL_ = url(dictionary, "ad_passback_url");
    if (const std::string* dialog = text(dictionary, "debug_dialog")) debugDialogString_ = *dialog;
    if (const core::Value* liveView = dictionary.find("live_view"))
        liveViewConfigurations_ =
            liveView->dictionary() ? std::optional(*liveView->dictionary()) : std::nullopt;
    if (const core::Value* displayed = truthValue(dictionary, "use_displayed_impression");
        displayed && displayed->boolValue())
        impressionDefinition_ = 1;
    addClickURLs(urls(dictionary, "click_urls"));
    addImpressionURLs(urls(dictionary, "impression_urls"));
    addManualImpressionURLs(urls(dictionary, "manual_impression_urls"));
    if (const core::Value* safeBrowsing = dictionary.find("safe_browsing");
        safeBrowsing && safeBrowsing->isDictionary())
        safeBrowsingReporter_ = DZSafeBrowsingReporter::create(*safeBrowsing);
    if (const core::Value* rewards = dictionary.find("rewards"); rewards && rewards->isArray()) {
        const core::Value& first = (*rewards)[size_t{0}];
        if (first.isDictionary()) reward_ = DZAdReward::create(first);
    }
    if (const core::Value* blocked = truthValue(dictionary, "custom_close_blocked"))
        customCloseBlocked_ = blocked->boolValue();
    if (const std::string* query = text(dictionary, "dws_query_id")) DWSQueryID_ = *query;
}

void DZAd::applyNativeProperties(const DZAdNativeProperties& native) {
    if (native.interstitialSize) size_ = *native.interstitialSize;
    if (native.croppedContentThreshold) croppedContentThreshold_ = *native.croppedContentThreshold;
    if (native.originalRequest) originalRequest_ = native.originalRequest;
    redirects_.insert(redirects_.end(), native.redirects.begin(), native.redirects.end());
}

void DZAd::addClickURLs(const std::vector<core::URL>& urls) {
    addUnique(clickURLs_, urls);
}

void DZAd::addImpressionURLs(const std::vector<core::URL>& urls) {
    addUnique(impressionURLs_, urls);
}

void DZAd::addManualImpressionURLs(const std::vector<core::URL>& urls) {
    addUnique(manualImpressionURLs_, urls);
}

std::vector<core::URL> DZAd::withAnalytics(std::vector<core::URL> urls, const char* eventName) {
    if (!DZAnalytics::sharedInstance()) return urls;
    return DZApplyAnalyticsToTrackingURLs(urls, eventName);
}

void DZAd::pingClickURLs() {
    if (clickURLs_.empty()) return;
    DZClickTrackerCollection::sharedInstance()->trackURLs(withAnalytics(clickURLs_, "_ac"));
}

void DZAd::pingImpressionURLs() {
    if (impressionURLs_.empty()) return;
    std::vector<core::URL> taken = std::move(impressionURLs_);
    impressionURLs_.clear();
    DZClickTrackerCollection::sharedInstance()->trackURLs(withAnalytics(std::move(taken), "_ai"));
}

void DZAd::pingManualImpressionURLs() {
    std::vector<core::URL> taken = std::move(manualImpressionURLs_);
    manualImpressionURLs_.clear();
    DZClickTrackerCollection::sharedInstance()->trackURLs(taken);
}

void DZAd::pingDebugSignal() {
    const auto defaults = core::UserDefaults::standard();
    const core::Value debugURL = defaults->objectForKey(kDebugSignalURLKey);
    if (!debugURL.isString()) return;
    if (!DZApplication::sharedInstance()->debugModeEnabled() || hasSentDebugSignal_ ||
        !debugSignalInformation_)
        return;
    core::Dictionary parameters;
    const core::Value linked = defaults->objectForKey(kDebugDeviceIdentifierKey);
    if (linked.isString()) parameters.set("linkedDeviceId", *linked.string());
    if (adUnitID_) parameters.set("adSlotPath", *adUnitID_);
    parameters.set("debugData", *debugSignalInformation_);
    const auto signalURL =
        DZURLByAddingQueryParameters(core::URL::create(*debugURL.string()), parameters);
    hasSentDebugSignal_ = true;
    DZPinger::sharedInstance()->pingURLString(
        signalURL ? signalURL->absoluteString() : std::string(), nullptr, nullptr);
}

}  // namespace ads
