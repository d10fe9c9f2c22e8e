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
    if (last_) output->push(last_->buffer, last_->time);
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
    last_ = Frame{std::move(frame), time};
}

void PlayerItemOutputs::flush() {
    const std::lock_guard lock(mutex_);
    ++epoch_;
    for (const auto& output : outputs_) output->flush();
    last_.reset();
}

}  // namespace media
