#include "ads/web/view/DZAdViewEventQueue.h"

namespace ads {

DZAdViewEventQueue::DZAdViewEventQueue(std::shared_ptr<core::Queue> queue)
    : queue_(std::move(queue)) {}

bool DZAdViewEventQueue::addOperation(Operation operation, size_t limitWhileSuspended) {
    std::lock_guard lock(state_->mutex);
    if (state_->suspended) {
        if (state_->waiting.size() + state_->submitted >= limitWhileSuspended) return false;
        state_->waiting.push_back(std::move(operation));
        return true;
    }
    submitLocked(std::move(operation));
    return true;
}

void DZAdViewEventQueue::submitLocked(Operation operation) {
    ++state_->submitted;
    // Submitted under the lock: the serial queue keeps the order of adds.
    queue_->async(
        [state = state_, generation = state_->generation, operation = std::move(operation)] {
            {
                std::lock_guard lock(state->mutex);
                if (state->generation != generation) return;
                --state->submitted;
            }
            operation();
        });
}

void DZAdViewEventQueue::setSuspended(bool suspended) {
    std::lock_guard lock(state_->mutex);
    state_->suspended = suspended;
    if (suspended) return;
    while (!state_->waiting.empty()) {
        submitLocked(std::move(state_->waiting.front()));
        state_->waiting.pop_front();
    }
}

bool DZAdViewEventQueue::isSuspended() const {
    std::lock_guard lock(state_->mutex);
    return state_->suspended;
}

void DZAdViewEventQueue::cancelAllOperations() {
    std::lock_guard lock(state_->mutex);
    state_->waiting.clear();
    state_->submitted = 0;
    ++state_->generation;
}

size_t DZAdViewEventQueue::operationCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->waiting.size() + state_->submitted;
}

}  // namespace ads
