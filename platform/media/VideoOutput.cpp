#include "media/VideoOutput.h"

#include <utility>

namespace media {

std::shared_ptr<VideoOutput> VideoOutput::create() {
    return std::make_shared<VideoOutput>(Private{});
}

Time VideoOutput::itemTimeForHostTime(double hostTime) const {
    const std::lock_guard lock(mutex_);
    if (!timebase_) return Time::invalid();
    return Time::seconds(timebase_->secondsAtHostTime(hostTime));
}

bool VideoOutput::hasNewPixelBufferForItemTime(Time itemTime) const {
    if (!itemTime.isNumeric()) return false;
    const std::lock_guard lock(mutex_);
    return !frames_.empty() && frames_.front().time <= itemTime.toSeconds();
}

std::shared_ptr<const PixelBuffer> VideoOutput::copyPixelBufferForItemTime(Time itemTime,
                                                                           Time* displayTime) {
    if (!itemTime.isNumeric()) return nullptr;
    const double due = itemTime.toSeconds();
    const std::lock_guard lock(mutex_);
    std::shared_ptr<const PixelBuffer> buffer;
    double time = 0;
    while (!frames_.empty() && frames_.front().time <= due) {
        buffer = std::move(frames_.front().buffer);
        time = frames_.front().time;
        frames_.pop_front();
    }
    if (buffer && displayTime) *displayTime = Time::seconds(time);
    return buffer;
}

void VideoOutput::attach(std::shared_ptr<ItemTimebase> timebase) {
    const std::lock_guard lock(mutex_);
    timebase_ = std::move(timebase);
    frames_.clear();
}

void VideoOutput::detach() {
    const std::lock_guard lock(mutex_);
    timebase_.reset();
    frames_.clear();
}

bool VideoOutput::isAttached() const {
    const std::lock_guard lock(mutex_);
    return timebase_ != nullptr;
}

void VideoOutput::push(std::shared_ptr<const PixelBuffer> frame, double time) {
    if (!frame) return;
    const std::lock_guard lock(mutex_);
    if (!timebase_) return;
    // A frame before the newest queued one starts a new run (a seek).
    if (!frames_.empty() && time < frames_.back().time) frames_.clear();
    frames_.push_back(Frame{std::move(frame), time});
    while (frames_.size() > kMaxQueuedFrames) frames_.pop_front();
}

void VideoOutput::flush() {
    const std::lock_guard lock(mutex_);
    frames_.clear();
}

}  // namespace media
