#include "ads/foundation/DZScheduler.h"

#include "ads/foundation/DZBlockTimer.h"
#include "ads/foundation/DZThreading.h"
#include "core/StringFormat.h"

namespace ads {

std::shared_ptr<DZScheduler> DZScheduler::create(double interval) {
    return std::shared_ptr<DZScheduler>(new DZScheduler(interval));
}

DZScheduler::~DZScheduler() {
    if (auto timer = std::move(timer_)) DZRunOnMainThread([timer] { timer->invalidate(); });
}

std::int64_t DZScheduler::taskIDScheduledOnQueue(std::shared_ptr<core::Queue> queue,
                                                 std::function<void()> block) {
    if (!queue || !block) return -1;
    std::int64_t taskID = ++taskID_;
    blocks_[taskID] = DZSchedulerTask{std::move(block), std::move(queue)};
    return taskID;
}

void DZScheduler::unscheduleTaskWithID(std::int64_t taskID) { blocks_.erase(taskID); }

void DZScheduler::start() {
    if (timer_) return;
    std::weak_ptr<DZScheduler> weakSelf = weak_from_this();
    timer_ = DZCreateBlockTimer(
        true,
        [weakSelf](core::Timer&) {
            if (auto self = weakSelf.lock()) self->executeBlocks();
        },
        interval_, interval_ / 10);
}

void DZScheduler::stop() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void DZScheduler::executeBlocks() {
    for (const auto& [taskID, task] : blocks_) task.queue->async(task.block);
}

std::string DZScheduler::description() const {
    return core::format("%@ %p: %tu blocks, %f interval", "DZScheduler",
                        static_cast<const void*>(this), blocks_.size(), interval_);
}

}  // namespace ads
