#include "media/DisplayLink.h"

#include <utility>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "core/Timer.h"

namespace media {

std::shared_ptr<DisplayLink> DisplayLink::create(Callback callback) {
    return std::make_shared<DisplayLink>(Token{}, std::move(callback));
}

DisplayLink::DisplayLink(Token, Callback callback)
    : callback_(std::make_shared<Callback>(std::move(callback))) {}

DisplayLink::~DisplayLink() {
    if (timer_) timer_->invalidate();
}

void DisplayLink::addToRunLoop(core::RunLoop& loop) {
    std::lock_guard lock(mutex_);
    if (added_) return;
    added_ = true;
    loop_ = loop.shared_from_this();
    updateTimerLocked();
}

bool DisplayLink::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

void DisplayLink::setPaused(bool paused) {
    std::lock_guard lock(mutex_);
    paused_ = paused;
    updateTimerLocked();
}

void DisplayLink::invalidate() {
    std::shared_ptr<Callback> released;  // destroyed after the lock
    std::lock_guard lock(mutex_);
    released = std::move(callback_);
    updateTimerLocked();
}

bool DisplayLink::isValid() const {
    std::lock_guard lock(mutex_);
    return callback_ != nullptr;
}

double DisplayLink::timestamp() const {
    std::lock_guard lock(mutex_);
    return timestamp_;
}

std::uint64_t DisplayLink::frameCount() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

bool DisplayLink::tick() {
    {
        std::lock_guard lock(mutex_);
        if (paused_ || !callback_) return false;
    }
    frame(core::Clock::current()->monotonicSeconds());
    return true;
}

void DisplayLink::updateTimerLocked() {
    const bool running = callback_ && added_ && !paused_;
    if (!running) {
        if (timer_) timer_->invalidate();
        timer_.reset();
        return;
    }
    const auto loop = loop_.lock();
    if (timer_ || !loop) return;
    std::weak_ptr<DisplayLink> weak = weak_from_this();
    timer_ = core::Timer::create(duration(), true, [weak](core::Timer& timer) {
        if (const auto link = weak.lock()) link->frame(timer.fireDate());
    });
    loop->add(timer_);
}

void DisplayLink::frame(double timestamp) {
    std::shared_ptr<Callback> callback;
    {
        std::lock_guard lock(mutex_);
        if (!callback_) return;
        callback = callback_;
        timestamp_ = timestamp;
        ++frames_;
    }
    (*callback)(*this);
}

}  // namespace media
