#pragma once
// Drives the main run loop from a thread that sleeps in another event
// source's wait instead of RunLoop::run() (the desktop window sleeps in the
// window system's event wait): it runs the work that is due, says how long
// the wait may last so that timers fire on time, and wakes the waiter
// through the given function when work is posted from any thread.
//
// Made, used and destroyed on the main thread; the wake function is called
// from whichever thread posts, at most once until the next runDueWork().

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace display {

class MainLoopDriver {
public:
    explicit MainLoopDriver(std::function<void()> wake);
    ~MainLoopDriver();
    MainLoopDriver(const MainLoopDriver&) = delete;
    MainLoopDriver& operator=(const MainLoopDriver&) = delete;

    // Runs passes of the main run loop while work is due, at most maxPasses
    // (so that a loop that keeps posting cannot starve the window's events).
    // Answers the number of timer fires and tasks run.
    size_t runDueWork(int maxPasses = 16);
    // How long the waiter may sleep before the main loop has work, in
    // milliseconds rounded up; -1: nothing is scheduled (sleep until woken).
    [[nodiscard]] int waitMilliseconds() const;
    // Seconds to whole milliseconds for an event wait: rounded up so that a
    // wait never ends just before a timer is due, capped at one hour, -1 for
    // none.
    [[nodiscard]] static int toMilliseconds(std::optional<double> seconds);

private:
    std::shared_ptr<std::atomic<bool>> wakePending_;
};

}  // namespace display
