#include "ads/foundation/DZCSI.h"

#include <utility>

#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZCSIReporter.h"
#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "core/Clock.h"

namespace ads {

std::shared_ptr<DZCSI> DZCSI::sharedInstance() {
    // Lives for the process: never destroyed at exit, when queues are gone.
    static const auto* const shared = new std::shared_ptr<DZCSI>(create());
    return *shared;
}

std::shared_ptr<DZCSI> DZCSI::create() {
    return create(DZCSIConfiguration::defaultConfiguration());
}

std::shared_ptr<DZCSI> DZCSI::create(std::shared_ptr<DZCSIConfiguration> configuration) {
    if (!configuration) return nullptr;
    return std::shared_ptr<DZCSI>(new DZCSI(std::move(configuration)));
}

DZCSI::DZCSI(std::shared_ptr<DZCSIConfiguration> configuration)
    : configuration_(std::move(configuration)),
      lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("csi-lock"), DZQoSDefault)) {}

std::shared_ptr<DZCSITimeRecorder> DZCSI::timeRecorderForAction(std::string_view action) {
    if (action.empty() || !configuration_->reportingEnabled()) return nullptr;
    const std::optional<std::string> queryID = DWSQueryID();
    std::shared_ptr<DZCSITimeRecorder> recorder;
    DZSyncOnQueue(*lockQueue_, [&] {
        const auto found = timeRecorders_.find(action);
        if (found != timeRecorders_.end()) {
            recorder = found->second;
            if (queryID) recorder->setCustomizedParameterValue(*queryID, "gqi");
            return;
        }
        recorder = DZCSITimeRecorder::create(std::string(action));
        const std::string sdkVersion = DZRequest::sdkVersion();
        recorder->setCustomizedParameterValue(sdkVersion, "sdkVersion");
        recorder->addExperimentID(sdkVersion);
        timeRecorders_.emplace(std::string(action), recorder);
    });
    return recorder;
}

void DZCSI::recordTimestampForLabel(std::string_view label) {
    const double seconds = core::Clock::current()->wallSeconds();
    setTimestamp(static_cast<std::int64_t>(seconds * 1000.0), label);
}

void DZCSI::setTimestamp(std::int64_t milliseconds, std::string_view label) {
    if (label.empty()) return;
    lockQueue_->async([self = shared_from_this(), label = std::string(label), milliseconds] {
        self->timestamps_[label] = milliseconds;
    });
}

std::int64_t DZCSI::timestampForLabel(std::string_view label) const {
    if (label.empty()) return 0;
    std::int64_t value = 0;
    DZSyncOnQueue(*lockQueue_, [&] {
        const auto found = timestamps_.find(label);
        if (found != timestamps_.end()) value = found->second;
    });
    return value;
}

void DZCSI::sendReport() {
    lockQueue_->async([self = shared_from_this()] {
        for (const auto& [action, recorder] : self->timeRecorders_) {
            DZCSIReporter(self->configuration_)
                .reportTimeRecorder(recorder, [](const auto&, const auto&) {});
        }
        self->timestamps_.clear();
    });
}

std::optional<std::string> DZCSI::DWSQueryID() const {
    std::lock_guard lock(queryIDMutex_);
    return queryID_;
}

void DZCSI::setDWSQueryID(std::optional<std::string> queryID) {
    std::lock_guard lock(queryIDMutex_);
    queryID_ = std::move(queryID);
}

}  // namespace ads
