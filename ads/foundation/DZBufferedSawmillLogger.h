#pragma once
// Keeps a log's commands, under the id "buffered", until the sawmill script
// is ready; then hands them, oldest first, to the log that owns it. The
// buffer has no size limit. Safe from any thread: the list is guarded by a
// lock, so a report sees every command buffered before it.

#include <memory>
#include <mutex>
#include <optional>

#include "core/Value.h"

namespace ads {

class DZSawmillLogger;

class DZBufferedSawmillLogger {
public:
    // nullptr unless the sawmill settings exist and are enabled.
    [[nodiscard]] static std::unique_ptr<DZBufferedSawmillLogger> create();

    // Buffers the event's command; nothing for no event or an empty one.
    void bufferEvent(const std::optional<core::Dictionary>& event);
    // Appends the commands in order.
    void bufferParameters(const core::Array& commands);
    // Empties the buffer and, when it held anything, hands its commands to
    // the logger's reportBufferedParameters.
    void reportBufferedEventsToLogger(DZSawmillLogger& logger);

    [[nodiscard]] core::Array bufferedCommands() const;

private:
    DZBufferedSawmillLogger() = default;

    mutable std::mutex mutex_;
    core::Array bufferedCommands_;
};

}  // namespace ads
