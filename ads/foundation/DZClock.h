#pragma once
// The two clocks every timing, statistic and telemetry record of the SDK
// uses. Both read core::Clock::current(), so tests drive them with a manual
// clock. Safe from any thread.

#include <cstdint>

namespace ads {

// Milliseconds since the first call, plus 1: the first reading is 1 and
// readings never decrease, across threads and across a change of the
// installed clock (the count then goes on from where it was), so 0 stays
// free for "not set".
[[nodiscard]] std::uint64_t DZMonotonicMilliseconds();

// Seconds since the device booted; follows changes of the wall clock. 0.0
// when unknown.
[[nodiscard]] double DZSecondsSinceBoot();

}  // namespace ads
