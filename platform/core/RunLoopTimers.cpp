// The timer half of RunLoop: the loop's timers sit in a map keyed by fire
// date and the order they were added; the loop's mutex guards the map and
// each timer's key, and is always taken before a timer's own mutex.

#include <cmath>

#include "core/Clock.h"
#include "core/Fatal.h"
#include "core/RunLoop.h"
#include "core/Timer.h"

namespace core {

namespace {

double nextRepeat(double previous, double interval, double now, bool skipMissed) {
    double next = previous + interval;
    if (skipMissed && next <= now) {
        next = previous + interval * (std::floor((now - previous) / interval) + 1);
        if (next <= now) next += interval;
    }
    return next;
}

}  // namespace

void RunLoop::add(const std::shared_ptr<Timer>& timer) {
    if (!timer) return;
    std::lock_guard lock(mutex_);
    std::lock_guard timerLock(timer->mutex_);
    if (!timer->callback_) return;
    if (timer->loop_.lock().get() == this) return;
    if (timer->scheduled_) fatal("RunLoop::add: the timer belongs to another run loop");
    timer->scheduled_ = true;
    timer->loop_ = weak_from_this();
    timer->key_.second = nextTimerOrder_++;
    insertLocked(timer, timer->fireDate_);
    if (timers_.begin()->second == timer) signalLocked();
}

void RunLoop::insertLocked(const std::shared_ptr<Timer>& timer, double fireDate) {
    timer->fireDate_ = fireDate;
    timer->key_.first = fireDate;
    timers_.emplace(timer->key_, timer);
    timer->inLoop_ = true;
}

void RunLoop::removeTimer(Timer& timer) {
    std::shared_ptr<Timer> removed;  // may be the last reference: released unlocked
    std::lock_guard lock(mutex_);
    if (!timer.inLoop_) return;
    auto entry = timers_.find(timer.key_);
    removed = std::move(entry->second);
    timers_.erase(entry);
    timer.inLoop_ = false;
}

void RunLoop::moveTimer(Timer& timer, double fireDate) {
    std::lock_guard lock(mutex_);
    std::lock_guard timerLock(timer.mutex_);
    timer.fireDate_ = fireDate;
    timer.fireDateMoved_ = true;
    if (!timer.inLoop_) return;
    auto node = timers_.extract(timer.key_);
    node.key().first = fireDate;
    timer.key_ = node.key();
    timers_.insert(std::move(node));
    if (timers_.begin()->second.get() == &timer) signalLocked();
}

void RunLoop::shiftTimers(double seconds) {
    std::lock_guard lock(mutex_);
    std::map<TimerKey, std::shared_ptr<Timer>> shifted;
    for (auto& [key, timer] : timers_) {
        std::lock_guard timerLock(timer->mutex_);
        timer->fireDate_ += seconds;
        timer->key_.first = key.first + seconds;
        shifted.emplace(timer->key_, std::move(timer));
    }
    timers_.swap(shifted);
    woken_ = true;
    signalLocked();
}

std::optional<double> RunLoop::nextFireDate() const {
    std::lock_guard lock(mutex_);
    if (timers_.empty()) return std::nullopt;
    return timers_.begin()->first.first;
}

size_t RunLoop::fireDueTimers() {
    const auto clock = Clock::current();
    std::uint64_t addedBefore = 0;
    {
        std::lock_guard lock(mutex_);
        addedBefore = nextTimerOrder_;
    }
    const double now = clock->monotonicSeconds();
    size_t fired = 0;
    for (;;) {
        std::shared_ptr<Timer> timer;
        {
            std::lock_guard lock(mutex_);
            auto entry = timers_.begin();
            while (entry != timers_.end() && entry->first.first <= now &&
                   entry->first.second >= addedBefore) {
                ++entry;
            }
            if (entry == timers_.end() || entry->first.first > now) break;
            timer = std::move(entry->second);
            timers_.erase(entry);
            timer->inLoop_ = false;
        }
        fireTimer(timer, *clock);
        ++fired;
    }
    return fired;
}

void RunLoop::fireTimer(const std::shared_ptr<Timer>& timer, const Clock& clock) {
    std::shared_ptr<Timer::Callback> callback;
    double firedDate = 0;
    {
        std::lock_guard timerLock(timer->mutex_);
        callback = timer->callback_;
        firedDate = timer->fireDate_;
        timer->fireDateMoved_ = false;
    }
    if (!callback) return;
    (*callback)(*timer);
    callback.reset();

    std::shared_ptr<Timer::Callback> released;  // destroyed after the locks
    std::lock_guard lock(mutex_);
    std::lock_guard timerLock(timer->mutex_);
    if (!timer->callback_ || timer->inLoop_) return;
    if (timer->fireDateMoved_) {
        insertLocked(timer, timer->fireDate_);
    } else if (timer->repeats_) {
        insertLocked(timer, nextRepeat(firedDate, timer->interval_, clock.monotonicSeconds(),
                                       clock.advancesOnItsOwn()));
    } else {
        released = std::move(timer->callback_);
    }
}

}  // namespace core
