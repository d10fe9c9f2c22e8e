#include "core/Timer.h"

#include <algorithm>

#include "core/Clock.h"
#include "core/RunLoop.h"

namespace core {

Timer::Timer(Private, double intervalSeconds, bool repeats, Callback callback, double tolerance,
             double fireDate)
    : interval_(repeats ? std::max(intervalSeconds, kMinimumRepeatInterval)
                        : std::max(intervalSeconds, 0.0)),
      repeats_(repeats),
      callback_(std::make_shared<Callback>(std::move(callback))),
      fireDate_(fireDate),
      tolerance_(std::max(tolerance, 0.0)) {}

std::shared_ptr<Timer> Timer::create(double intervalSeconds, bool repeats, Callback callback,
                                     double toleranceSeconds) {
    const double now = Clock::current()->monotonicSeconds();
    auto timer = std::make_shared<Timer>(Private{}, intervalSeconds, repeats, std::move(callback),
                                         toleranceSeconds, 0.0);
    timer->fireDate_ = now + timer->interval_;
    return timer;
}

std::shared_ptr<Timer> Timer::schedule(RunLoop& loop, double intervalSeconds, bool repeats,
                                       Callback callback, double toleranceSeconds) {
    auto timer = create(intervalSeconds, repeats, std::move(callback), toleranceSeconds);
    loop.add(timer);
    return timer;
}

void Timer::invalidate() {
    std::shared_ptr<Callback> released;
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        released = std::move(callback_);
        loop = loop_.lock();
    }
    if (loop) loop->removeTimer(*this);
}

bool Timer::isValid() const {
    std::lock_guard lock(mutex_);
    return callback_ != nullptr;
}

void Timer::fire() {
    std::shared_ptr<Callback> callback;
    {
        std::lock_guard lock(mutex_);
        callback = callback_;
    }
    if (!callback) return;
    (*callback)(*this);
    if (!repeats_) invalidate();
}

double Timer::fireDate() const {
    std::lock_guard lock(mutex_);
    return fireDate_;
}

void Timer::setFireDate(double monotonicSeconds) {
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        loop = loop_.lock();
        if (!loop) {
            fireDate_ = monotonicSeconds;
            return;
        }
    }
    loop->moveTimer(*this, monotonicSeconds);
}

double Timer::tolerance() const {
    std::lock_guard lock(mutex_);
    return tolerance_;
}

void Timer::setTolerance(double seconds) {
    std::lock_guard lock(mutex_);
    tolerance_ = std::max(seconds, 0.0);
}

}  // namespace core
