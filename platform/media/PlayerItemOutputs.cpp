#include "media/PlayerItemOutputs.h"

#include <algorithm>
#include <utility>

namespace media {

PlayerItemOutputs::~PlayerItemOutputs() {
    for (const auto& output : outputs_) output->detach();
}

void PlayerItemOutputs::add(const std::shared_ptr<VideoOutput>& output) {
    if (!output) return;
    const std::lock_guard lock(mutex_);
    if (std::find(outputs_.begin(), outputs_.end(), output) != outputs_.end()) return;
    output->attach(timebase_);
    pruneLocked();
    for (const auto& frame : recent_) output->push(frame.buffer, frame.time);
    outputs_.push_back(output);
}

void PlayerItemOutputs::remove(const std::shared_ptr<VideoOutput>& output) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find(outputs_.begin(), outputs_.end(), output);
    if (found == outputs_.end()) return;
    (*found)->detach();
    outputs_.erase(found);
}

std::vector<std::shared_ptr<VideoOutput>> PlayerItemOutputs::outputs() const {
    const std::lock_guard lock(mutex_);
    return outputs_;
}

std::uint64_t PlayerItemOutputs::epoch() const {
    const std::lock_guard lock(mutex_);
    return epoch_;
}

void PlayerItemOutputs::deliver(std::shared_ptr<const PixelBuffer> frame, double time,
                                std::uint64_t epoch) {
    if (!frame) return;
    const std::lock_guard lock(mutex_);
    if (epoch != epoch_) return;
    for (const auto& output : outputs_) output->push(frame, time);
    // A frame before the newest one starts a new run, as in the outputs.
    if (!recent_.empty() && time < recent_.back().time) recent_.clear();
    recent_.push_back(Frame{std::move(frame), time});
    pruneLocked();
}

void PlayerItemOutputs::pruneLocked() {
    const double now = timebase_->seconds();
    while (recent_.size() > 1 && recent_[1].time <= now) recent_.pop_front();
    while (recent_.size() > VideoOutput::kMaxQueuedFrames) recent_.pop_front();
}

void PlayerItemOutputs::flush() {
    const std::lock_guard lock(mutex_);
    ++epoch_;
    for (const auto& output : outputs_) output->flush();
    recent_.clear();
}

}  // namespace media
