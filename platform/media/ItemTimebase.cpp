#include "media/ItemTimebase.h"

#include <algorithm>

#include "core/Clock.h"

namespace media {

namespace {

double hostNow() {
    return core::Clock::current()->monotonicSeconds();
}

double project(const ItemTimebase::State& state, double hostTime) {
    if (state.rate == 0) return state.anchorTime;
    const double time = state.anchorTime + (hostTime - state.anchorHostTime) * state.rate;
    return std::clamp(time, state.anchorTime, std::max(state.anchorTime, state.limit));
}

}  // namespace

double ItemTimebase::seconds() const {
    return secondsAtHostTime(hostNow());
}

double ItemTimebase::secondsAtHostTime(double hostTime) const {
    const std::lock_guard lock(mutex_);
    return project(state_, hostTime);
}

double ItemTimebase::rate() const {
    const std::lock_guard lock(mutex_);
    return state_.rate;
}

ItemTimebase::State ItemTimebase::state() const {
    const std::lock_guard lock(mutex_);
    return state_;
}

void ItemTimebase::set(double time, double rate, double limit) {
    const double now = hostNow();
    const std::lock_guard lock(mutex_);
    state_ = State{time, now, rate, limit};
}

}  // namespace media
