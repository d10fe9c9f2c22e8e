#include "AppClock.h"

#include <chrono>

#include "core/NetworkThread.h"
#include "core/RunLoop.h"
#include "core/ThreadPool.h"
#include "ui/AnimationActivity.h"

namespace tools {

namespace {

// Real work under way that a step waits for.
bool ioPending() {
    return core::NetworkThread::shared().exchangeCount() > 0 ||
           core::ThreadPool::shared().pendingJobCount() > 0;
}

class RealLimit {
public:
    explicit RealLimit(double seconds)
        : end_(std::chrono::steady_clock::now() +
               std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(seconds))) {}
    [[nodiscard]] bool passed() const { return std::chrono::steady_clock::now() > end_; }

private:
    std::chrono::steady_clock::time_point end_;
};

}  // namespace

AppClock::AppClock()
    : clock_(std::make_shared<core::ManualClock>()), previous_(core::Clock::current()) {
    core::Clock::install(clock_);
}

AppClock::~AppClock() {
    core::Clock::install(previous_);
}

bool AppClock::isIdle() {
    const auto work = core::RunLoop::main().secondsUntilWork();
    return !ioPending() && ui::AnimationActivity::count() == 0 && !(work && *work <= 0);
}

void AppClock::step() {
    clock_->advance(kFrame);
    (void)core::RunLoop::main().runOnce(ioPending() ? kRealWait : 0);
}

void AppClock::wait(double seconds) {
    advance(seconds);
    (void)settle();
}

void AppClock::advance(double seconds) {
    for (double t = 0; t < seconds - 1e-9; t += kFrame) step();
}

bool AppClock::waitUntil(const std::function<bool()>& predicate, double limitSeconds) {
    const RealLimit real(limitSeconds);
    bool held = predicate();
    for (double t = 0; !held && t < limitSeconds && !real.passed(); t += kFrame) {
        step();
        held = predicate();
    }
    return held;
}

bool AppClock::settle(double limitSeconds) {
    const RealLimit real(limitSeconds);
    for (double t = 0; t < limitSeconds && !real.passed(); t += kFrame) {
        (void)core::RunLoop::main().runOnce();
        if (isIdle()) return true;
        step();
    }
    return isIdle();
}

}  // namespace tools
