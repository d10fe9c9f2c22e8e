#include "ads/foundation/DZClock.h"

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
    static MonotonicState state;
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
    double milliseconds = (now - state.startSeconds) * 1000.0;
    if (milliseconds < 0) milliseconds = 0;
    std::uint64_t reading = state.base + static_cast<std::uint64_t>(milliseconds);
    if (reading < state.last) reading = state.last;
    state.last = reading;
    return reading;
}

double DZSecondsSinceBoot() { return core::Clock::current()->secondsSinceBoot(); }

}  // namespace ads
