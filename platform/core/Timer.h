#pragma once
// A timer calls its callback on the run loop it was scheduled on, once or
// every interval, until invalidated. Fire dates are on the current clock's
// monotonic scale (Clock::current()->monotonicSeconds()).
//
// A scheduled timer is kept alive by its run loop until it is invalidated;
// a one-shot timer invalidates itself after firing. invalidate() releases
// the callback (once a firing in progress returns) and may be called from
// any thread, including from the callback itself. Timers may be created and
// scheduled from any thread.
//
// A repeating timer's next fire date is its previous fire date plus the
// interval. With the real clock, when the loop was late by more than one
// interval the missed slots are skipped and the timer fires at the next
// future slot; with a manual clock every slot crossed fires. A repeating
// interval below 0.1 ms counts as 0.1 ms. The tolerance is advisory: the
// loop fires timers at their fire date.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace core {

class RunLoop;

class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    static constexpr double kMinimumRepeatInterval = 0.0001;

    // An unscheduled timer whose fire date is now + intervalSeconds; add it
    // with RunLoop::add().
    [[nodiscard]] static std::shared_ptr<Timer> create(double intervalSeconds, bool repeats,
                                                       Callback callback,
                                                       double toleranceSeconds = 0);
    static std::shared_ptr<Timer> schedule(RunLoop& loop, double intervalSeconds, bool repeats,
                                           Callback callback, double toleranceSeconds = 0);

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void invalidate();
    [[nodiscard]] bool isValid() const;
    // Calls the callback now on the calling thread, without changing the
    // schedule; a one-shot timer is invalid afterwards.
    void fire();

    [[nodiscard]] double fireDate() const;
    // Moves the next firing. Called from the timer's own callback it
    // replaces the previous-plus-interval date, and keeps a one-shot timer
    // scheduled for that date.
    void setFireDate(double monotonicSeconds);
    [[nodiscard]] double tolerance() const;
    void setTolerance(double seconds);
    [[nodiscard]] double interval() const { return interval_; }
    [[nodiscard]] bool repeats() const { return repeats_; }

private:
    friend class RunLoop;
    struct Private {};

public:
    Timer(Private, double intervalSeconds, bool repeats, Callback callback, double tolerance,
          double fireDate);

private:
    const double interval_;
    const bool repeats_;

    mutable std::mutex mutex_;
    std::shared_ptr<Callback> callback_;  // null once invalid
    double fireDate_;
    double tolerance_;
    bool fireDateMoved_ = false;  // setFireDate() during a firing
    bool scheduled_ = false;
    std::weak_ptr<RunLoop> loop_;

    // Guarded by the owning run loop's mutex.
    std::pair<double, std::uint64_t> key_{};
    bool inLoop_ = false;
};

}  // namespace core
