#pragma once
// Wraps the executor of the sawmill script and sends it a beacon command
// every beaconTimeInterval seconds, on a repeating block timer on the main
// run loop (tolerance a tenth of the interval), from shortly after creation
// until release. A non-positive or non-finite interval counts as 60 s.
// Everything else is forwarded. Safe from any thread.

#include <memory>
#include <mutex>

#include "ads/foundation/DZSawmillCommandExecuting.h"
#include "core/Timer.h"

namespace ads {

class DZSawmillTimerCommandExecutor final
    : public DZSawmillCommandExecuting,
      public std::enable_shared_from_this<DZSawmillTimerCommandExecutor> {
public:
    // nullptr without an executor to wrap.
    [[nodiscard]] static std::shared_ptr<DZSawmillTimerCommandExecutor>
    create(std::shared_ptr<DZSawmillCommandExecuting> executor, double timeInterval);
    ~DZSawmillTimerCommandExecutor() override;
    DZSawmillTimerCommandExecutor(const DZSawmillTimerCommandExecutor&) = delete;
    DZSawmillTimerCommandExecutor& operator=(const DZSawmillTimerCommandExecutor&) = delete;

    [[nodiscard]] bool isLoaded() const override;
    void asynchronouslyExecuteCommands(core::Array commands) override;

    // Hands the executor [{"beacon": {"time_interval_sec": interval}}],
    // loaded or not.
    void sendBeacon();

    [[nodiscard]] double beaconTimeInterval() const { return beaconTimeInterval_; }
    [[nodiscard]] const std::shared_ptr<DZSawmillCommandExecuting>& executor() const {
        return executor_;
    }
    // The beacon timer; nullptr until the main queue has made it.
    [[nodiscard]] std::shared_ptr<core::Timer> timer() const;

private:
    DZSawmillTimerCommandExecutor(std::shared_ptr<DZSawmillCommandExecuting> executor,
                                  double timeInterval);
    void startTimer();

    const std::shared_ptr<DZSawmillCommandExecuting> executor_;
    const double beaconTimeInterval_;
    mutable std::mutex mutex_;
    std::shared_ptr<core::Timer> timer_;
};

}  // namespace ads
