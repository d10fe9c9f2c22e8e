#include "core/OperationQueue.h"

#include <algorithm>
#include <utility>

#include "core/RunLoop.h"

namespace core {

std::shared_ptr<OperationQueue> OperationQueue::create(std::string name, Priority priority) {
    return std::make_shared<OperationQueue>(std::move(name), priority, Queue::global(priority),
                                            false);
}

std::shared_ptr<OperationQueue> OperationQueue::main() {
    static const auto* const queue =
        new std::shared_ptr<OperationQueue>(std::make_shared<OperationQueue>(
            "main operation queue", Priority::UserInteractive, Queue::main(), true));
    return *queue;
}

OperationQueue::OperationQueue(std::string name, Priority priority, std::shared_ptr<Queue> target,
                               bool isMain)
    : Queue(std::move(name), priority), target_(std::move(target)), isMain_(isMain),
      maxConcurrent_(isMain ? 1 : kUnlimited) {}

bool OperationQueue::isCurrent() const {
    return isMain_ ? RunLoop::isMainThread() : Queue::isCurrent();
}

void OperationQueue::addOperation(Task operation) {
    if (operation) enqueue(std::move(operation), {});
}

void OperationQueue::enqueue(Task operation, Task afterFinished) {
    std::lock_guard lock(mutex_);
    waiting_.push_back({std::move(operation), std::move(afterFinished)});
    startReadyLocked();
}

void OperationQueue::sync(const Task& task) {
    checkNotCurrent("sync");
    // Returns once the operation no longer counts.
    submitAndWait([this, &task](Task done) { enqueue(task, std::move(done)); });
}

void OperationQueue::startReadyLocked() {
    const auto limit = [this] {
        return maxConcurrent_ == kUnlimited ? waiting_.size() + running_
                                            : static_cast<size_t>(maxConcurrent_);
    };
    while (!suspended_ && !waiting_.empty() && running_ < limit()) {
        Pending next = std::move(waiting_.front());
        waiting_.pop_front();
        ++running_;
        target_->async([self = std::static_pointer_cast<OperationQueue>(shared_from_this()),
                        next = std::move(next)] {
            {
                const Running running(*self);
                next.operation();
            }
            self->finished();
            if (next.afterFinished) next.afterFinished();
        });
    }
}

void OperationQueue::finished() {
    std::lock_guard lock(mutex_);
    --running_;
    startReadyLocked();
    if (running_ == 0 && waiting_.empty()) idle_.notify_all();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(mutex_);
    return maxConcurrent_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    if (isMain_) return;
    std::lock_guard lock(mutex_);
    maxConcurrent_ = count == kUnlimited ? kUnlimited : std::max(count, 1);
    startReadyLocked();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(mutex_);
    return suspended_;
}

void OperationQueue::setSuspended(bool suspended) {
    std::lock_guard lock(mutex_);
    suspended_ = suspended;
    startReadyLocked();
}

size_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() + running_;
}

void OperationQueue::cancelAllOperations() {
    std::deque<Pending> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(waiting_);
        if (running_ == 0) idle_.notify_all();
    }
    // A sync waiting for a dropped operation returns.
    for (const Pending& pending : dropped) {
        if (pending.afterFinished) pending.afterFinished();
    }
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    checkNotCurrent("waitUntilAllOperationsAreFinished");
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return running_ == 0 && waiting_.empty(); });
}

}  // namespace core
