#include "ads/foundation/DZClock.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "core/Clock.h"

namespace ads {

namespace {
struct MonotonicState {
    std::mutex mutex;
    std::shared_ptr<core::Clock> clock;  // the clock the start was read from
    double startSeconds = 0;
    std::uint64_t base = 1;  // the reading at startSeconds
    std::uint64_t last = 0;
};
}  // namespace

std::uint64_t DZMonotonicMilliseconds() {
    // Never destroyed: threads still running as the process exits read
    // the clock.
    static MonotonicState& state = *new MonotonicState;
    std::shared_ptr<core::Clock> clock = core::Clock::current();
    const double now = clock->monotonicSeconds();
    std::lock_guard lock(state.mutex);
    if (state.clock != clock) {
        // First use, or another clock was installed: go on from the last
        // reading on the new clock's scale.
        state.base = state.last > 0 ? state.last : 1;
        state.startSeconds = now;
        state.clock = std::move(clock);
    }
    // Whole microseconds first, so that a clock reading such as 0.01 s,
    // stored as 0.00999..., still counts as 10 ms.
    const double elapsed = std::max(0.0, now - state.startSeconds);
    const auto microseconds = static_cast<std::uint64_t>(std::llround(elapsed * 1e6));
    std::uint64_t reading = state.base + microseconds / 1000;
    if (reading < state.last) reading = state.last;
    state.last = reading;
    return reading;
}

double DZSecondsSinceBoot() { return core::Clock::current()->secondsSinceBoot(); }

}  // namespace ads
