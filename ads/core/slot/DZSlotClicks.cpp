// DZSlot: the statistics each load writes on its ad and on the
// application, and the load's timing report and impression start.
// Clicks, impressions and the timing report come with the impressions
// work; until then those operations are recorded in DZCallLog
// ("DZSlot.<operation>"), and a click's URL is opened as it is, without the
// click signal.

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZStatisticDictionary.h"

namespace ads {

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

core::URL DZSlot::gestureClickURLWithURL(const core::URL& url) {
    DZCallLog::record("DZSlot.gestureClickURLWithURL: " + url.absoluteString());
    return url;
}

void DZSlot::sendCSIAdLoadTimings() {
    DZCallLog::record("DZSlot.sendCSIAdLoadTimings");
}

void DZSlot::startImpressionMonitoring() {
    DZCallLog::record("DZSlot.startImpressionMonitoring");
}

}  // namespace ads
