// DZSlot: each step of a load in the load's event log (group "slot"), and
// the outcome and screen events of the shown ad to the owner.

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotAdEventDelegate.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillLogger.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

constexpr std::string_view kGroup = "slot";

std::optional<core::Dictionary> slotEvent(std::string_view name, core::Value parameters) {
    return DZSawmillEvent(kGroup, core::Dictionary{{std::string(name), std::move(parameters)}});
}

std::string URLText(const std::optional<core::URL>& url) {
    return url ? url->absoluteString() : std::string();
}

}  // namespace

void DZSlot::logEvent(const std::optional<core::Dictionary>& event) const {
    if (logger_) logger_->reportEvent(event);
}

void DZSlot::resetLogger() {
    logger_ = DZSawmillLogger::create();
    makeRootLoggingObject();
}

void DZSlot::makeRootLoggingObject() {
    DZLoggingHierarchy::sharedInstance()->setLogger(logger_, shared_from_this());
}

void DZSlot::createdAdView(const std::shared_ptr<DZAdView>& adView) {
    if (!adView) return;
    DZLoggingHierarchy::sharedInstance()->linkObject(shared_from_this(),
                                                     {std::shared_ptr<const ui::View>(adView)});
}

void DZSlot::adLoadingStarted() {
    resetLogger();
    if (adUnitID_) logEvent(slotEvent("ad_context", core::Dictionary{{"ad_unit_id", *adUnitID_}}));
    logEvent(DZSawmillFlagEvent(kGroup, "loading_started"));
}

void DZSlot::adLoadingFromInlineAd(const std::shared_ptr<DZAd>&) {
    logEvent(DZSawmillFlagEvent(kGroup, "direct_loading_from_ad"));
}

void DZSlot::adLoadingFromSecretAdURL(const std::optional<core::URL>& url) {
    logEvent(slotEvent("direct_loading_from_url", core::Dictionary{{"url", URLText(url)}}));
}

void DZSlot::adURLBuildRequestStarted() {
    logEvent(DZSawmillFlagEvent(kGroup, "url_build_request_started"));
}

void DZSlot::adURLBuildRequestCompleted() {
    logEvent(DZSawmillFlagEvent(kGroup, "url_build_request_completed"));
}

void DZSlot::adFetchingStartedWithURL(const std::optional<core::URL>& url) {
    logEvent(slotEvent("url_fetching_started", core::Dictionary{{"url", URLText(url)}}));
}

void DZSlot::adFetchingSucceeded() {
    logEvent(DZSawmillFlagEvent(kGroup, "url_fetching_succeeded"));
}

void DZSlot::adFetchingFailedWithResponseCode(int responseCode, const Error& error) {
    core::Dictionary parameters = DZSawmillErrorParameters(error);
    parameters.set("response_code", responseCode);
    logEvent(slotEvent("url_fetching_failed", std::move(parameters)));
}

void DZSlot::startedProcessingAd(const std::shared_ptr<DZAd>& ad) {
    logEvent(slotEvent("ad_processing_started", core::Dictionary{
                                                    {"dws_query_id", ad->DWSQueryID().value_or("")},
                                                    {"reload_interval", ad->reloadInterval()},
                                                    {"response_type", ad->responseType()},
                                                }));
    finishLiveViewReporting();
}

void DZSlot::adFailedToReceiveContentWithError(const Error& error) {
    logEvent(slotEvent("loading_failed", DZSawmillErrorParameters(error)));
    DZApplication::sharedInstance()->requesterDidEndRequest(this);
    if (const auto delegate = adLoadDelegate())
        delegate->didFailToLoadAdContentWithError(*this, error);
}

void DZSlot::adFinishedLoadingContent() {
    logEvent(DZSawmillFlagEvent(kGroup, "loading_succeeded"));
    startImpressionMonitoring();
    DZApplication::sharedInstance()->requesterDidEndRequest(this);
    if (const auto delegate = adLoadDelegate()) delegate->slotFinishedLoadingAdContent(*this);
}

void DZSlot::adWillPresentScreen() {
    if (const auto delegate = adEventDelegate()) delegate->slotWillPresentScreen(*this);
}

void DZSlot::adWillDismissScreen() {
    if (const auto delegate = adEventDelegate()) delegate->slotWillDismissScreen(*this);
}

void DZSlot::adDidDismissScreen() {
    if (const auto delegate = adEventDelegate()) delegate->slotDidDismissScreen(*this);
}

void DZSlot::adWillLeaveApplication() {
    if (const auto delegate = adEventDelegate()) delegate->slotWillLeaveApplication(*this);
}

void DZSlot::adDidLoadVideoWithSize(gfx::Size size) {
    if (const auto delegate = adEventDelegate()) delegate->didLoadVideoWithSize(*this, size);
}

}  // namespace ads
