#include "ads/foundation/DZLogger.h"

#include <atomic>
#include <mutex>

#include "ads/foundation/DZThreading.h"
#include "core/Console.h"

namespace ads {

namespace {
std::atomic<std::int64_t> gThreshold{1};
std::once_flag gQueueOnce;
std::shared_ptr<core::Queue> gQueue;
std::atomic<bool> gQueueMade{false};
}  // namespace

DZLogger& DZLogger::sharedInstance() {
    static DZLogger* instance = new DZLogger();
    return *instance;
}

void DZLogger::setLogLevelThreshold(std::int64_t threshold) { gThreshold.store(threshold); }

std::int64_t DZLogger::logLevelThreshold() const { return gThreshold.load(); }

bool DZLogger::wouldLog(std::int64_t level) const { return gThreshold.load() >= level; }

bool DZLogger::hasLoggingQueue() const { return gQueueMade.load(); }

std::shared_ptr<core::Queue> DZLogger::loggingQueue() {
    std::call_once(gQueueOnce, [] {
        gQueue = DZCreateQueueWithQoS(DZQueueLabel("logging"), DZQoSDefault);
        gQueueMade.store(true);
    });
    return gQueue;
}

void DZLogger::logv(std::int64_t level, std::string message) {
    if (!wouldLog(level)) return;
    loggingQueue()->async([text = std::move(message)] { core::Console::log(text); });
}

void DZLogger::logPublicMessage(std::string_view message) {
    DZLogWithLevel(1, "<Dozuza> %@", message);
}

void DZLogger::waitForLogging() {
    if (!gQueueMade.load()) return;
    std::shared_ptr<core::Queue> queue = loggingQueue();
    if (queue->isCurrent()) return;
    queue->sync([] {});
}

}  // namespace ads
