#pragma once
// The SDK's console output for publishers. Messages are formatted on the
// caller's thread and written later, in order, on the serial queue
// "com.dozuza.vuraz.logging", so logging never blocks the main thread.
// A message of level L is written when the threshold (1 at start) is >= L;
// a threshold of 0 or below silences the SDK.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/Queue.h"
#include "core/StringFormat.h"

namespace ads {

class DZLogger {
public:
    static DZLogger& sharedInstance();

    void setLogLevelThreshold(std::int64_t threshold);
    [[nodiscard]] std::int64_t logLevelThreshold() const;

    // Logs "<Dozuza> " and the text at level 1.
    void logPublicMessage(std::string_view message);
    // Returns once every message queued before the call has been written;
    // at once when nothing was ever logged, and when called on the logging
    // queue itself (where everything queued before is already written).
    void waitForLogging();

    // Whether the logging queue exists yet (it is made by the first message
    // that passes the threshold).
    [[nodiscard]] bool hasLoggingQueue() const;

    // Queues an already formatted message when threshold >= level.
    void logv(std::int64_t level, std::string message);
    [[nodiscard]] bool wouldLog(std::int64_t level) const;

private:
    DZLogger() = default;
    std::shared_ptr<core::Queue> loggingQueue();
};

// Formats (printf directives and "%@") and logs when threshold >= level; the
// arguments are not formatted when the message is not written.
template <typename... Args>
void DZLogWithLevel(std::int64_t level, std::string_view format, const Args&... args) {
    DZLogger& logger = DZLogger::sharedInstance();
    if (!logger.wouldLog(level)) return;
    logger.logv(level, core::format(format, args...));
}

}  // namespace ads
