#include "ads/foundation/DZSawmillTimerCommandExecutor.h"

#include <cmath>

#include "ads/foundation/DZBlockTimer.h"
#include "ads/foundation/DZSawmillCommand.h"
#include "ads/foundation/DZSawmillConfig.h"
#include "core/Queue.h"

namespace ads {

namespace {

double usableInterval(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) return DZSawmillConfig::kDefaultBeaconInterval;
    return seconds;
}

}  // namespace

std::shared_ptr<DZSawmillTimerCommandExecutor>
DZSawmillTimerCommandExecutor::create(std::shared_ptr<DZSawmillCommandExecuting> executor,
                                      double timeInterval) {
    if (!executor) return nullptr;
    std::shared_ptr<DZSawmillTimerCommandExecutor> wrapper(
        new DZSawmillTimerCommandExecutor(std::move(executor), timeInterval));
    wrapper->startTimer();
    return wrapper;
}

DZSawmillTimerCommandExecutor::DZSawmillTimerCommandExecutor(
    std::shared_ptr<DZSawmillCommandExecuting> executor, double timeInterval)
    : executor_(std::move(executor)), beaconTimeInterval_(usableInterval(timeInterval)) {}

DZSawmillTimerCommandExecutor::~DZSawmillTimerCommandExecutor() {
    if (timer_) timer_->invalidate();
}

void DZSawmillTimerCommandExecutor::startTimer() {
    core::Queue::main()->async([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self) return;
        auto timer = DZCreateBlockTimer(
            true,
            [weak](core::Timer&) {
                if (const auto executor = weak.lock()) executor->sendBeacon();
            },
            self->beaconTimeInterval_, self->beaconTimeInterval_ / 10.0);
        const std::lock_guard lock(self->mutex_);
        self->timer_ = std::move(timer);
    });
}

bool DZSawmillTimerCommandExecutor::isLoaded() const {
    return executor_->isLoaded();
}

void DZSawmillTimerCommandExecutor::asynchronouslyExecuteCommands(core::Array commands) {
    executor_->asynchronouslyExecuteCommands(std::move(commands));
}

void DZSawmillTimerCommandExecutor::sendBeacon() {
    executor_->asynchronouslyExecuteCommands(
        core::Array{DZSawmillBeaconCommand(beaconTimeInterval_)});
}

std::shared_ptr<core::Timer> DZSawmillTimerCommandExecutor::timer() const {
    const std::lock_guard lock(mutex_);
    return timer_;
}

}  // namespace ads
