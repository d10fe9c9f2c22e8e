#include "media/ItemTimebase.h"

#include <algorithm>

#include "core/Clock.h"

namespace media {

namespace {

double hostNow() {
    return core::Clock::current()->monotonicSeconds();
}

}  // namespace

double ItemTimebase::State::secondsAt(double hostTime) const {
    if (rate == 0) return anchorTime;
    const double time = anchorTime + (hostTime - anchorHostTime) * rate;
    return std::clamp(time, anchorTime, std::max(anchorTime, limit));
}

double ItemTimebase::seconds() const {
    return secondsAtHostTime(hostNow());
}

double ItemTimebase::secondsAtHostTime(double hostTime) const {
    const std::lock_guard lock(mutex_);
    return state_.secondsAt(hostTime);
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
