#include "core/SerialQueue.h"

#include <utility>

#include "core/ThreadPool.h"

namespace core {

SerialQueue::SerialQueue(std::string label, Priority priority, ThreadPool& pool)
    : Queue(std::move(label), priority), pool_(pool) {}

void SerialQueue::async(Task task) {
    std::lock_guard lock(mutex_);
    items_.push_back(Item{std::move(task), nullptr});
    if (held_ || jobPending_) return;
    jobPending_ = true;
    pool_.submit(static_cast<size_t>(priority()),
                 [self = shared_from_this()] { static_cast<SerialQueue&>(*self).drainJob(); });
}

void SerialQueue::sync(const Task& task) {
    checkNotCurrent("sync");
    Waiter mine;
    std::unique_lock lock(mutex_);
    items_.push_back(Item{nullptr, &mine});
    while (!mine.granted) {
        if (held_) {
            changed_.wait(lock);
            continue;
        }
        held_ = true;
        if (drainLocked(lock, &mine) == Outcome::Reached) break;
    }
    lock.unlock();

    struct Release {
        SerialQueue& queue;
        ~Release() {
            std::lock_guard lock(queue.mutex_);
            queue.releaseLocked();
        }
    } release{*this};
    Running running(*this);
    task();
}

void SerialQueue::drainJob() {
    std::unique_lock lock(mutex_);
    jobPending_ = false;
    if (held_ || items_.empty()) return;
    held_ = true;
    drainLocked(lock, nullptr);
}

SerialQueue::Outcome SerialQueue::drainLocked(std::unique_lock<std::mutex>& lock,
                                              const Waiter* mine) {
    size_t ran = 0;
    while (!items_.empty() && (mine || ran < kBatch)) {
        Item item = std::move(items_.front());
        items_.pop_front();
        if (item.waiter && item.waiter == mine) return Outcome::Reached;
        if (item.waiter) {
            item.waiter->granted = true;
            changed_.notify_all();
            return Outcome::HandedOver;
        }
        lock.unlock();
        {
            Running running(*this);
            item.task();
        }
        item.task = nullptr;
        lock.lock();
        ++ran;
    }
    releaseLocked();
    return Outcome::Released;
}

void SerialQueue::releaseLocked() {
    if (!items_.empty() && items_.front().waiter) {
        items_.front().waiter->granted = true;
        items_.pop_front();
        changed_.notify_all();
        return;
    }
    held_ = false;
    changed_.notify_all();
    if (items_.empty() || jobPending_) return;
    jobPending_ = true;
    pool_.submit(static_cast<size_t>(priority()),
                 [self = shared_from_this()] { static_cast<SerialQueue&>(*self).drainJob(); });
}

}  // namespace core
