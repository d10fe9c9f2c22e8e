#include "ads/foundation/DZSawmillLogger.h"

#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZBufferedSawmillLogger.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZNetwork.h"
#include "ads/foundation/DZSawmill.h"
#include "ads/foundation/DZSawmillCommand.h"
#include "ads/foundation/DZSawmillConfig.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "core/UserDefaults.h"

namespace ads {

std::shared_ptr<DZSawmillLogger> DZSawmillLogger::create() {
    const auto config = DZSawmillConfig::create();
    if (!config || !config->enabled) return nullptr;
    auto buffer = DZBufferedSawmillLogger::create();
    if (!buffer) return nullptr;
    std::shared_ptr<DZSawmillLogger> logger(
        new DZSawmillLogger(DZSawmill::sharedInstance()->nextUniqueID(), std::move(buffer)));
    logger->bufferedLogger_->bufferEvent(DZSawmillEvent(
        "sawmill",
        core::Dictionary{{"created", core::Dictionary{{"js_config", config->JSConfig}}}}));
    return logger;
}

DZSawmillLogger::DZSawmillLogger(std::string sawmillID,
                                 std::unique_ptr<DZBufferedSawmillLogger> buffer)
    : sawmillID_(std::move(sawmillID)), bufferedLogger_(std::move(buffer)) {}

DZSawmillLogger::~DZSawmillLogger() {
    const auto sawmill = DZSawmill::sharedInstance();
    {
        const std::lock_guard lock(reportMutex_);
        if (sawmill->isLoaded()) reportFramingEvents();
        if (auto finish = sawmillParametersFromEvent(*DZSawmillFlagEvent("sawmill", "finish"))) {
            sawmill->asynchronouslyExecuteCommands(core::Array{std::move(*finish)});
        }
    }
    DZLoggingHierarchy::sharedInstance()->removeLogger(sawmillID_);
}

void DZSawmillLogger::reportEvent(const std::optional<core::Dictionary>& event) {
    if (!event) return;
    const std::lock_guard lock(reportMutex_);
    if (!DZSawmill::sharedInstance()->isLoaded()) {
        if (bufferedLogger_) bufferedLogger_->bufferEvent(event);
        return;
    }
    reportFramingEvents();
    executeSawmillCommandWithParameter(sawmillParametersFromEvent(*event));
}

void DZSawmillLogger::reportFramingEvents() {
    if (!environmentReported()) reportEnvironment();
    if (!experimentIDsReported()) reportExperimentIDs();
    if (bufferedLogger_) {
        bufferedLogger_->reportBufferedEventsToLogger(*this);
        bufferedLogger_.reset();
    }
}

void DZSawmillLogger::reportBufferedParameters(core::Array commands) {
    const std::lock_guard lock(reportMutex_);
    const auto sawmill = DZSawmill::sharedInstance();
    if (!sawmill->isLoaded()) {
        if (bufferedLogger_) bufferedLogger_->bufferParameters(commands);
        return;
    }
    for (core::Value& command : commands) {
        if (core::Dictionary* fields = command.dictionary()) fields->set("id", sawmillID_);
    }
    sawmill->asynchronouslyExecuteCommands(std::move(commands));
}

void DZSawmillLogger::reportEnvironment() {
    const auto device = DZDevice::sharedInstance();
    const auto network = DZNetwork::sharedInstance();
    const auto event = DZSawmillEvent(
        "env", core::Dictionary{
                   {"device", device ? device->parameters() : core::Dictionary()},
                   {"network", network ? network->requestDictionary() : core::Dictionary()},
                   {"sdk_version", DZRequest::sdkVersion()},
               });
    if (auto command = event ? sawmillParametersFromEvent(*event) : std::nullopt) {
        executeSawmillCommandWithParameter(std::move(command));
        setEnvironmentReported(true);
    }
}

void DZSawmillLogger::reportExperimentIDs() {
    core::Value stored = core::UserDefaults::standard()->objectForKey(kExperimentIDsKey);
    if (stored.isNull()) return;
    const core::Dictionary event{{"experiments", std::move(stored)}};
    if (auto command = sawmillParametersFromEvent(event)) {
        executeSawmillCommandWithParameter(std::move(command));
        setExperimentIDsReported(true);
    }
}

void DZSawmillLogger::executeSawmillCommandWithParameter(std::optional<core::Dictionary> command) {
    if (!command) return;
    DZSawmill::sharedInstance()->asynchronouslyExecuteCommands(core::Array{std::move(*command)});
}

std::optional<core::Dictionary>
DZSawmillLogger::sawmillParametersFromEvent(const core::Dictionary& event) const {
    return DZSawmillCommand(sawmillID_, event);
}

bool DZSawmillLogger::environmentReported() const {
    const std::lock_guard lock(flagsMutex_);
    return environmentReported_;
}

void DZSawmillLogger::setEnvironmentReported(bool reported) {
    const std::lock_guard lock(flagsMutex_);
    environmentReported_ = reported;
}

bool DZSawmillLogger::experimentIDsReported() const {
    const std::lock_guard lock(flagsMutex_);
    return experimentIDsReported_;
}

void DZSawmillLogger::setExperimentIDsReported(bool reported) {
    const std::lock_guard lock(flagsMutex_);
    experimentIDsReported_ = reported;
}

bool DZSawmillLogger::isBuffering() const {
    const std::lock_guard lock(reportMutex_);
    return bufferedLogger_ != nullptr;
}

}  // namespace ads
