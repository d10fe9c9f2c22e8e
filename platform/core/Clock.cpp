#include "core/Clock.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <limits>
#include <string>
#include <utility>

#include "core/RunLoop.h"

namespace core {

namespace {

struct Installed {
    std::mutex mutex;
    std::shared_ptr<Clock> clock;
};

const std::shared_ptr<Clock>& systemClock() {
    static const auto* clock = new std::shared_ptr<Clock>(std::make_shared<SystemClock>());
    return *clock;
}

Installed& installed() {
    static auto* state = new Installed{{}, systemClock()};
    return *state;
}

double secondsOf(std::chrono::nanoseconds duration) {
    return std::chrono::duration<double>(duration).count();
}

// The wall time at which the machine booted, or a negative value when it
// cannot be read. /proc/stat gives it directly; CLOCK_BOOTTIME is the
// fallback.
double readBootWallSeconds(double wallNow) {
    std::ifstream stat("/proc/stat");
    std::string key;
    while (stat >> key) {
        if (key == "btime") {
            double btime = 0;
            if (stat >> btime && btime > 0) return btime;
            break;
        }
        stat.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    timespec sinceBoot{};
    if (clock_gettime(CLOCK_BOOTTIME, &sinceBoot) == 0) {
        return wallNow - (static_cast<double>(sinceBoot.tv_sec) + sinceBoot.tv_nsec * 1e-9);
    }
    return -1;
}

}  // namespace

std::shared_ptr<Clock> Clock::current() {
    auto& state = installed();
    std::lock_guard lock(state.mutex);
    return state.clock;
}

void Clock::install(std::shared_ptr<Clock> clock) {
    if (!clock) clock = systemClock();
    auto& state = installed();
    std::shared_ptr<Clock> previous;
    {
        std::lock_guard lock(state.mutex);
        previous = std::exchange(state.clock, clock);
    }
    if (previous == clock) return;
    RunLoop::clockDidChange(clock->monotonicSeconds() - previous->monotonicSeconds());
}

double SystemClock::monotonicSeconds() const {
    return secondsOf(std::chrono::steady_clock::now().time_since_epoch());
}

double SystemClock::wallSeconds() const {
    return secondsOf(std::chrono::system_clock::now().time_since_epoch());
}

double SystemClock::secondsSinceBoot() const {
    const double wall = wallSeconds();
    static const double bootWall = readBootWallSeconds(wall);
    return bootWall < 0 ? 0.0 : wall - bootWall;
}

ManualClock::ManualClock(double monotonic, double wall, double sinceBoot)
    : monotonic_(monotonic), wall_{wall, monotonic}, sinceBoot_{sinceBoot, monotonic} {}

double ManualClock::monotonicSeconds() const {
    std::lock_guard lock(mutex_);
    return monotonic_;
}

double ManualClock::wallSeconds() const {
    std::lock_guard lock(mutex_);
    return wall_.at(monotonic_);
}

double ManualClock::secondsSinceBoot() const {
    std::lock_guard lock(mutex_);
    return sinceBoot_.at(monotonic_);
}

void ManualClock::setWallSeconds(double seconds) {
    std::lock_guard lock(mutex_);
    wall_ = {seconds, monotonic_};
}

void ManualClock::setSecondsSinceBoot(double seconds) {
    std::lock_guard lock(mutex_);
    sinceBoot_ = {seconds, monotonic_};
}

void ManualClock::moveTo(double monotonic) {
    std::lock_guard lock(mutex_);
    if (monotonic <= monotonic_) return;
    monotonic_ = monotonic;
}

void ManualClock::advance(double seconds) {
    const double target = monotonicSeconds() + std::max(0.0, seconds);
    if (Clock::current().get() != this) {
        moveTo(target);
        return;
    }
    const auto loop = RunLoop::currentIfAny();
    if (loop) {
        for (auto next = loop->nextFireDate(); next && *next <= target;
             next = loop->nextFireDate()) {
            moveTo(*next);
            loop->fireDueTimers();
        }
    }
    moveTo(target);
    RunLoop::wakeAll(loop.get());
}

}  // namespace core
