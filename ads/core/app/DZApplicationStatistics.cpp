// DZApplication: the request statistics, the session counters, the ads'
// statistics waiting to be sent, the return from a click, the application
// parameters and the foreground ping.

#include <cmath>
#include <utility>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZAppSession.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZMacroTemplates.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZQueueSync.h"
#include "ads/web/net/DZPinger.h"
#include "core/Clock.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr const char* kCurrentRequestsKey = "crqc";

void postCurrentAdRequestCountChanged() {
    core::Queue::global()->async([] {
        core::NotificationCenter::defaultCenter().post(
            DZApplication::kCurrentAdRequestCountChangedNotification);
    });
}

// The stored delay in seconds; the default when it is absent, negative or
// not a finite number.
double foregroundPingDelay() {
    const core::Value stored =
        core::UserDefaults::standard()->objectForKey(DZApplication::kForegroundPingDelayKey);
    if (stored.isNull()) return DZApplication::kDefaultForegroundPingDelay;
    const double delay = stored.doubleValue();
    if (!std::isfinite(delay) || delay < 0) return DZApplication::kDefaultForegroundPingDelay;
    return delay;
}

// Main thread: fills the template and pings it through the retry group.
void pingForeground(std::uint64_t startMilliseconds, const std::string& bundleIdentifier) {
    const auto urlTemplate =
        core::UserDefaults::standard()->stringForKey(DZApplication::kForegroundPingURLKey);
    if (!urlTemplate) return;
    const auto device = DZDevice::sharedInstance();
    const double elapsed =
        static_cast<double>(DZMonotonicMilliseconds() - startMilliseconds) / 1000.0;
    const double start = core::Clock::current()->wallSeconds() - elapsed;
    core::Dictionary values{
        {"ts", std::to_string(static_cast<long>(start))},
        {"lat", device->limitAdTrackingString()},
        {"id", "wfocus"},
        {"app", "1"},
        {"package_name", DZPercentEscapedString(bundleIdentifier)},
    };
    if (const std::string rdid = device->rawDeviceIdentifier(); !rdid.empty())
        values.set("rdid", rdid);
    if (const auto signal = DZRdiimSignalParameter()) {
        for (const auto& [name, value] : *signal) values.set(name, value);
    }
    std::string text = *urlTemplate;
    DZSubstituteMacros(text, values);
    const auto url = core::URL::create(text);
    if (!url) return;
    const auto retryURL = DZURLByAddingQueryParameters(url, {{"retry", "1"}});
    if (!retryURL) return;
    DZPinger::sharedInstance()->pingWithRetryGroupKey(DZApplication::kForegroundPingGroup, *url,
                                                      retryURL->absoluteString());
}

}  // namespace

// Requests in flight.

void DZApplication::requesterWillBeginRequest(const void* requester) {
    syncOnLockQueue([&] {
        if (!adRequesters_.insert(requester).second) return;
        statistics_->incrementNumberForKey(kCurrentRequestsKey, false);
        postCurrentAdRequestCountChanged();
    });
}

void DZApplication::requesterDidEndRequest(const void* requester) {
    lockQueue_->async([this, requester] {
        if (adRequesters_.erase(requester) == 0) return;
        statistics_->decrementNumberForKey(kCurrentRequestsKey, false);
        postCurrentAdRequestCountChanged();
    });
}

std::int64_t DZApplication::currentAdRequestCount() const {
    return statistics_->objectForKeyedSubscript(kCurrentRequestsKey).intValue();
}

// The request snapshot.

core::Dictionary DZApplication::nextRequestStatisticsDictionary(bool slotIsMediating,
                                                                bool slotIsBeingMediated) {
    core::Dictionary snapshot;
    DZSyncOnQueue(*statisticsSerialQueue_, [&] {
        const core::Value now(DZMonotonicMilliseconds());
        statistics_->setObject(now, "currts", false);
        if (statistics_->objectForKeyedSubscript("basets").isNull())
            statistics_->setObject(now, "basets", false);
        incrementSequenceNumber();
        updateTimeInSession();
        const bool check =
            core::UserDefaults::standard()->objectForKey(kMediatingSlotCheckKey).boolValue();
        if (!check) {
            if (slotIsMediating) {
                decrementTotalAdRequestCount();
            } else {
                incrementTotalAdRequestCount();
            }
        } else if (!slotIsBeingMediated) {
            incrementTotalAdRequestCount();
        }
        if (!slotIsBeingMediated) incrementTotalAdRequestCountInCurrentSession();
        DZRecordUserEngagementTime();
        snapshot = statistics_->dictionary();
    });
    return snapshot;
}

void DZApplication::incrementTotalAdRequestCount() {
    statistics_->incrementNumberForKey("preqs", false);
}

void DZApplication::decrementTotalAdRequestCount() {
    statistics_->decrementNumberForKey("preqs", false);
}

void DZApplication::incrementTotalAdRequestCountInCurrentSession() {
    statistics_->incrementNumberForKey("preqs_in_session", false);
    core::UserDefaults::standard()->setObject(
        std::string(kPreqsInSessionKey), statistics_->objectForKeyedSubscript("preqs_in_session"));
}

void DZApplication::updateTimeInSession() {
    const double started = core::UserDefaults::standard()->doubleForKey(kDZTimeInSessionKey);
    if (started == 0.0) {
        statistics_->setObject(0, "time_in_session", false);
        DZSetTimeInSession();
    } else {
        statistics_->setObject(DZSecondsSinceBoot() - started, "time_in_session", false);
    }
}

void DZApplication::incrementSequenceNumber() {
    statistics_->incrementNumberForKey("seq_num", false);
}

std::string DZApplication::nextSequenceNumberAsString() {
    std::string text;
    DZSyncOnQueue(*statisticsSerialQueue_, [&] {
        incrementSequenceNumber();
        text = std::to_string(statistics_->objectForKeyedSubscript("preqs").intValue());
    });
    return text;
}

void DZApplication::incrementTotalAdClickCount() {
    statistics_->incrementNumberForKey("pclick", false);
}

std::uint64_t DZApplication::timeSinceFirstAdRequestInMilliseconds() const {
    const core::Value base = statistics_->objectForKeyedSubscript("basets");
    if (base.isNull()) return 0;
    return DZMonotonicMilliseconds() - base.uintValue();
}

// The session.

void DZApplication::resetPreqsInSession() {
    DZCallLog::record("DZApplication.resetPreqsInSession");
    statisticsSerialQueue_->async([statistics = statistics_] {
        statistics->setObject(-1, "preqs_in_session", false);
        core::UserDefaults::standard()->removeObjectForKey(kPreqsInSessionKey);
    });
}

void DZApplication::resetTimeInSession() {
    DZCallLog::record("DZApplication.resetTimeInSession");
    statisticsSerialQueue_->async([statistics = statistics_] {
        statistics->setObject(0, "time_in_session", false);
        core::UserDefaults::standard()->setDouble(std::string(kDZTimeInSessionKey), 0.0);
    });
}

// The ads' statistics.

void DZApplication::didUpdateStatisticDictionary(
    const std::shared_ptr<DZStatisticDictionary>& dictionary) {
    adStatistics_.insert(dictionary);
}

std::set<std::shared_ptr<DZStatisticDictionary>> DZApplication::pendingAdStatistics() {
    std::set<std::shared_ptr<DZStatisticDictionary>> pending;
    DZSyncOnQueue(*notificationSerialQueue_, [&] { pending.swap(adStatistics_); });
    return pending;
}

void DZApplication::didNotSendAdStatistics(
    const std::set<std::shared_ptr<DZStatisticDictionary>>& statistics) {
    DZSyncOnQueue(*notificationSerialQueue_,
                  [&] { adStatistics_.insert(statistics.begin(), statistics.end()); });
}

// The return from a click.

void DZApplication::willLeaveApplicationDueToClickOnAd(const std::shared_ptr<DZAd>& ad) {
    statisticsSerialQueue_->async([this, ad] { backgroundingAd_ = ad; });
}

void DZApplication::didBecomeActive() {
    DZCallLog::record("DZApplication.didBecomeActive");
    std::shared_ptr<DZAd> ad;
    DZSyncOnQueue(*statisticsSerialQueue_, [&] { ad = std::exchange(backgroundingAd_, nullptr); });
    if (!ad) return;
    const core::Value now(DZMonotonicMilliseconds());
    const auto& adStatistics = ad->statistics();
    const core::Value clicked = adStatistics->objectForKeyedSubscript("tclickcurr");
    if (clicked.isNull()) return;
    adStatistics->addObject(core::Array{clicked, now}, "tclick", true);
}

// The application parameters.

core::Dictionary DZApplication::parameters() const {
    const auto device = DZDevice::sharedInstance();
    return {
        {"appversion", version_},
        {"bundleid", mainBundleIdentifier_},
        {"osversion", device->systemVersion()},
        {"rdid", device->rawDeviceIdentifier()},
        {"lat", device->limitAdTrackingString()},
        {"sdkversion", DZRequest::sdkVersion()},
    };
}

// The foreground ping.

void DZApplication::sendForegroundPing() {
    DZCallLog::record("DZApplication.sendForegroundPing");
    if (!core::UserDefaults::standard()->objectForKey(kForegroundPingEnabledKey).boolValue())
        return;
    const std::uint64_t start = DZMonotonicMilliseconds();
    core::Queue::main()->after(foregroundPingDelay(),
                               [start, bundleIdentifier = mainBundleIdentifier_] {
                                   pingForeground(start, bundleIdentifier);
                               });
}

}  // namespace ads
