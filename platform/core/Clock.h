#pragma once
// Every delay, timer and timeout in the system reads the process-wide current
// clock. Production runs on SystemClock; tests install a ManualClock and move
// time by hand, so nothing ever waits for a real duration.
//
// Clock::current() and Clock::install() are safe from any thread. Installing
// a clock keeps the remaining delay of every pending timer: deadlines are
// moved onto the new clock's monotonic scale.

#include <memory>
#include <mutex>

namespace core {

class Clock {
public:
    virtual ~Clock() = default;

    // Steady seconds from an arbitrary origin; never goes backwards.
    [[nodiscard]] virtual double monotonicSeconds() const = 0;
    // Seconds since 1970-01-01 00:00:00 UTC.
    [[nodiscard]] virtual double wallSeconds() const = 0;
    // Wall time minus the time the machine booted: it moves with the wall
    // clock. 0.0 when the boot time cannot be read.
    [[nodiscard]] virtual double secondsSinceBoot() const = 0;
    // False for clocks that only move when told to: run loops then sleep
    // until woken instead of for the time to the next timer, and repeating
    // timers fire every missed interval instead of skipping to the next one.
    [[nodiscard]] virtual bool advancesOnItsOwn() const { return true; }

    [[nodiscard]] static std::shared_ptr<Clock> current();
    // nullptr restores the system clock.
    static void install(std::shared_ptr<Clock> clock);
};

class SystemClock final : public Clock {
public:
    [[nodiscard]] double monotonicSeconds() const override;
    [[nodiscard]] double wallSeconds() const override;
    [[nodiscard]] double secondsSinceBoot() const override;
};

// A clock that moves only through its setters. While it is the current
// clock, advance() drives the run loops:
//  - timers of the calling thread's run loop fire inside advance(), in
//    fire-date order: time steps to each due fire date in turn, so during a
//    callback monotonicSeconds() reads that timer's fire date, and a
//    repeating timer fires once for every interval crossed;
//  - every other run loop is woken once time has reached the target; it
//    fires its due timers (again every interval crossed, in fire-date
//    order) the next time it runs. Queue::after() on queues other than the
//    main queue goes through such a loop, so its tasks are submitted
//    shortly after advance() returns, not inside it.
// Safe to use from any thread.
class ManualClock final : public Clock {
public:
    static constexpr double kStartMonotonic = 1000.0;
    static constexpr double kStartWall = 1'700'000'000.0;  // 2023-11-14 22:13:20 UTC
    static constexpr double kStartSinceBoot = 3600.0;

    ManualClock() = default;
    ManualClock(double monotonic, double wall, double sinceBoot);

    [[nodiscard]] double monotonicSeconds() const override;
    [[nodiscard]] double wallSeconds() const override;
    [[nodiscard]] double secondsSinceBoot() const override;
    [[nodiscard]] bool advancesOnItsOwn() const override { return false; }

    // Moves all three readings forward by seconds (negative counts as 0).
    void advance(double seconds);
    // Each setter changes one reading only; these may go backwards.
    void setWallSeconds(double seconds);
    void setSecondsSinceBoot(double seconds);

private:
    void moveTo(double monotonic);

    // The other two readings are each kept as a value set at a monotonic
    // reading plus the time since: one rounding per read, so that many
    // small steps add no error to the large wall reading, and it moves
    // exactly as the monotonic one does.
    struct Reading {
        double base;
        double monotonicAtBase;
        [[nodiscard]] double at(double monotonic) const {
            return base + (monotonic - monotonicAtBase);
        }
    };

    mutable std::mutex mutex_;
    double monotonic_ = kStartMonotonic;
    Reading wall_{kStartWall, kStartMonotonic};
    Reading sinceBoot_{kStartSinceBoot, kStartMonotonic};
};

}  // namespace core
