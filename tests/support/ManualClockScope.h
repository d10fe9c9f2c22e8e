#pragma once
// Installs a fresh core::ManualClock for the lifetime of a test and puts the
// clock that was current before back afterwards.

#include <memory>

#include "core/Clock.h"

namespace testsupport {

class ManualClockScope {
public:
    ManualClockScope()
        : clock_(std::make_shared<core::ManualClock>()), previous_(core::Clock::current()) {
        core::Clock::install(clock_);
    }
    ~ManualClockScope() { core::Clock::install(previous_); }
    ManualClockScope(const ManualClockScope&) = delete;
    ManualClockScope& operator=(const ManualClockScope&) = delete;

    [[nodiscard]] core::ManualClock& clock() const { return *clock_; }
    core::ManualClock* operator->() const { return clock_.get(); }
    void advance(double seconds) const { clock_->advance(seconds); }

private:
    std::shared_ptr<core::ManualClock> clock_;
    std::shared_ptr<core::Clock> previous_;
};

}  // namespace testsupport
