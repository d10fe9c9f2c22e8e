// DZSlot: the statistics each load writes on its ad and on the
// application, the clicks and impressions of the displayed ad with their
// pings, the click URL's rewriting, and the load's timing report.

#include <utility>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZSignalModule.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZAdServerDomains.h"
#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZCSIConfiguration.h"
#include "ads/foundation/DZCSIReporter.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZNotification.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

// A click signal becomes the name of a query parameter as it is: it must be
// one "name=value" piece that cannot end the query or start another piece.
bool isUsableClickSignal(const std::string& signal) {
    if (signal.empty() || signal.front() == '=') return false;
    for (const char c : signal) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f || c == '&' || c == '#' || c == '?' || c == ';')
            return false;
    }
    return true;
}

// The signal module's click signal added to an ad-server URL with an "ai"
// value; the URL itself otherwise.
core::URL withClickSignal(const core::URL& url) {
    if (!DZSlot::isDozuzaAdURL(url)) return url;
    const auto clickValue = DZQueryValueForKey(url, "ai");
    if (!clickValue || clickValue->empty()) return url;
    std::string signal;
    if (!DZSignalModule::current()->clickSignal(*clickValue, signal) ||
        !isUsableClickSignal(signal))
        return url;
    return DZURLByAddingQueryParameters(url, core::Dictionary{{signal, ""}}).value_or(url);
}

}  // namespace

// The statistics of a load.

void DZSlot::recordFetchStatistics() {
    if (!loadingAd_) return;
    const auto& statistics = loadingAd_->statistics();
    const std::uint64_t now = DZMonotonicMilliseconds();
    const core::Dictionary snapshot = applicationStatistics_.value_or(core::Dictionary());
    if (const core::Value* current = snapshot.find("currts")) {
        statistics->setObject(*current, "treq", false);
    } else {
        statistics->setObject(now, "treq", false);
    }
    statistics->setObject(now, "tfetch", false);
    if (adUnitID_) statistics->setObject(*adUnitID_, "slotid", false);
    if (const core::Value* sequence = snapshot.find("seq_num"))
        statistics->setObject(*sequence, "seq_num", false);
}

void DZSlot::recordResponseStatistics() {
    if (loadingAd_)
        loadingAd_->statistics()->setObject(DZMonotonicMilliseconds(), "tresponse", false);
    const auto& application = DZApplication::sharedInstance()->statistics();
    for (const char* key : {"oar", "bas_on", "bas_off"}) application->setObject(0, key, false);
}

// Clicks.

void DZSlot::adWasClicked() {
    DZApplication::sharedInstance()->incrementTotalAdClickCount();
    if (!ad_) return;
    const auto& statistics = ad_->statistics();
    statistics->setObject(DZMonotonicMilliseconds(), "tclickcurr", false);
    statistics->incrementNumberForKey("pcc", true);
}

void DZSlot::pingClickURLs() {
    const auto keep = shared_from_this();
    if (ad_) ad_->pingClickURLs();
    if (isMediating())
        if (const auto connector = mediationConnector()) connector->slotDidRecordClick();
    if (const auto delegate = slotDelegate()) delegate->slotDidReceiveAdClick(*this);
}

void DZSlot::willLeaveAppDueToClick() {
    if (ad_) ad_->statistics()->setObject(true, "pclb", false);
    DZApplication::sharedInstance()->willLeaveApplicationDueToClickOnAd(ad_);
}

core::URL DZSlot::gestureClickURLWithURL(const core::URL& url) {
    if (DZNotification::isNotificationURL(url) || url.absoluteString() == "about:blank") return url;
    if (const auto pair = DZURLPathSegmentPair(url); pair && ad_)
        ad_->statistics()->setObject(*pair, "pit", false);
    core::URL result = url;
    if (core::UserDefaults::standard()->boolForKey(kClickNavigationAnalyticsKey) &&
        DZAnalytics::sharedInstance()) {
        const auto rewritten =
            DZApplyAnalyticsToTrackingURLs({result}, std::string(DZAnalytics::kClickEvent));
        if (!rewritten.empty()) result = rewritten.front();
    }
    return withClickSignal(result);
}

bool DZSlot::isDozuzaAdURL(const std::optional<core::URL>& url) {
    return DZIsAdServerURL(url);
}

// Impressions.

void DZSlot::startImpressionMonitoring() {
    if (isInterstitial()) return;
    if (auto previous = std::exchange(impressionMonitor_, nullptr)) {
        previous->setDelegate({});
        previous->stopMonitoring();
    }
    const auto monitor =
        DZImpressionMonitor::create(adView_, ad_ ? ad_->impressionDefinition() : 0);
    impressionMonitor_ = monitor;
    monitor->setDelegate(std::static_pointer_cast<DZImpressionMonitorDelegate>(shared_from_this()));
    monitor->startMonitoring();
}

void DZSlot::impressionMonitorDidMonitorImpression(DZImpressionMonitor& monitor) {
    const auto keep = shared_from_this();
    didMakeAdImpression();
    monitor.setDelegate({});
    if (impressionMonitor_.get() == &monitor) impressionMonitor_.reset();
}

void DZSlot::didMakeAdImpression() {
    DZApplication::sharedInstance()->statistics()->incrementNumberForKey("pimp", false);
    pingImpressionURLs();
    viewHasMadeImpression_ = true;
    startLiveViewReportingIfEnabled();
}

void DZSlot::pingImpressionURLs() {
    if (ad_) ad_->pingImpressionURLs();
}

void DZSlot::pingManualTrackingURLs() {
    if (ad_) ad_->pingManualImpressionURLs();
    if (const auto connector = mediationManager_ ? mediationManager_->receivedConnector() : nullptr)
        connector->reportManualImpression();
}

// The load's timings.

void DZSlot::sendCSIAdLoadTimings() {
    if (!adLoadActionTimeRecorder_) return;
    // An HTML ad is valid before it becomes the displayed ad: the timings
    // are those of the ad this load brought.
    const std::shared_ptr<DZAd>& loaded = ad_ ? ad_ : loadingAd_;
    adLoadActionTimeRecorder_->setCustomizedParameterValue(
        loaded ? loaded->DWSQueryID() : std::nullopt, "gqi");
    DZCSIReporter(DZCSIConfiguration::defaultConfiguration())
        .reportTimeRecorder(adLoadActionTimeRecorder_, nullptr);
}

}  // namespace ads
