#pragma once
// Drives the headless app on a manual clock, as the scenario tests do, so
// that the tool never sleeps for a duration the app waits for (animations,
// toasts, restart delays). The clock moves in frame steps; while real work
// is under way (network exchanges, decoding on the pool) each step also
// waits up to kRealWait of real time for it, so that the clock runs at most
// a few times faster than real time while the loopback services answer,
// far from the app's time-outs. Main thread only; installs its clock for its lifetime.

#include <functional>
#include <memory>

#include "core/Clock.h"

namespace tools {

class AppClock {
public:
    static constexpr double kFrame = 1.0 / 60;
    static constexpr double kRealWait = 0.004;

    AppClock();
    ~AppClock();
    AppClock(const AppClock&) = delete;
    AppClock& operator=(const AppClock&) = delete;

    // A fixed wait: seconds on the clock in frame steps, then settle().
    void wait(double seconds);
    // Seconds on the clock in frame steps, whatever is still under way.
    void advance(double seconds);
    // Steps until the predicate holds (true) or limitSeconds pass on the
    // clock or in real time (false).
    bool waitUntil(const std::function<bool()>& predicate, double limitSeconds);
    // Steps until the app is idle; false when still busy after limitSeconds
    // on the clock or in real time.
    bool settle(double limitSeconds = 10);

    // Nothing left to happen without a touch or the clock moving on: no
    // network exchange, no job on the shared pool, no animation, no task or
    // due timer on the main run loop.
    [[nodiscard]] static bool isIdle();

private:
    void step();

    std::shared_ptr<core::ManualClock> clock_;
    std::shared_ptr<core::Clock> previous_;
};

}  // namespace tools
