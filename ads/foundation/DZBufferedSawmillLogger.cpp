#include "ads/foundation/DZBufferedSawmillLogger.h"

#include "ads/foundation/DZSawmillCommand.h"
#include "ads/foundation/DZSawmillConfig.h"
#include "ads/foundation/DZSawmillLogger.h"

namespace ads {

std::unique_ptr<DZBufferedSawmillLogger> DZBufferedSawmillLogger::create() {
    const auto config = DZSawmillConfig::create();
    if (!config || !config->enabled) return nullptr;
    return std::unique_ptr<DZBufferedSawmillLogger>(new DZBufferedSawmillLogger());
}

void DZBufferedSawmillLogger::bufferEvent(const std::optional<core::Dictionary>& event) {
    if (!event) return;
    if (auto command = DZSawmillCommand(kDZSawmillBufferedID, *event)) {
        bufferParameters(core::Array{std::move(*command)});
    }
}

void DZBufferedSawmillLogger::bufferParameters(const core::Array& commands) {
    const std::lock_guard lock(mutex_);
    bufferedCommands_.insert(bufferedCommands_.end(), commands.begin(), commands.end());
}

void DZBufferedSawmillLogger::reportBufferedEventsToLogger(DZSawmillLogger& logger) {
    core::Array commands;
    {
        const std::lock_guard lock(mutex_);
        commands.swap(bufferedCommands_);
    }
    if (!commands.empty()) logger.reportBufferedParameters(std::move(commands));
}

core::Array DZBufferedSawmillLogger::bufferedCommands() const {
    const std::lock_guard lock(mutex_);
    return bufferedCommands_;
}

}  // namespace ads
