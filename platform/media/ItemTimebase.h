#pragma once
// Where an item's playback stands on core::Clock: the item time at an
// anchor instant, the rate it moves at from there (0 while it stands
// still) and the time it may not pass (the end of what is loaded, or the
// item's end). The player sets it on the main thread; engine threads and
// video outputs read it. Host times are Clock::current()->monotonicSeconds().
//
// Safe from any thread.

#include <limits>
#include <mutex>

namespace media {

class ItemTimebase {
public:
    struct State {
        double anchorTime = 0;
        double anchorHostTime = 0;
        double rate = 0;
        double limit = std::numeric_limits<double>::infinity();

        // Item seconds at a host time (clamped to [anchor time, limit] when
        // moving forward).
        [[nodiscard]] double secondsAt(double hostTime) const;
    };

    // Item seconds now.
    [[nodiscard]] double seconds() const;
    // Item seconds at a host time (clamped to [anchor time, limit] when
    // moving forward).
    [[nodiscard]] double secondsAtHostTime(double hostTime) const;
    // The rate time moves at now (0 when standing still).
    [[nodiscard]] double rate() const;
    [[nodiscard]] State state() const;

    // Anchors item time `time` at the current host time.
    void set(double time, double rate, double limit);

private:
    mutable std::mutex mutex_;
    State state_;
};

}  // namespace media
