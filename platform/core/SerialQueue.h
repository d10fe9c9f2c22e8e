#pragma once
// A queue that runs one task at a time in submission order, made by
// Queue::serial(). Async tasks run on the shared pool (or the pool the
// queue was made over) at the queue's priority, a batch at a time, so that
// a busy queue does not hold a worker for ever. sync() runs its task on the
// calling thread while holding the queue: it queues a marker and either
// waits for the thread running the queue to hand the queue over at the
// marker or, when no thread is running it, takes the queue and runs the
// earlier tasks itself. Either way a sync never waits for a free pool
// worker.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "core/Queue.h"

namespace core {

class ThreadPool;

class SerialQueue final : public Queue {
public:
    SerialQueue(std::string label, Priority priority, ThreadPool& pool);

    void async(Task task) override;
    void sync(const Task& task) override;

private:
    struct Waiter {
        bool granted = false;
    };
    // A task, or the marker of a sync call (waiter set).
    struct Item {
        Task task;
        Waiter* waiter = nullptr;
    };
    enum class Outcome { Reached, HandedOver, Released };

    static constexpr size_t kBatch = 64;

    void drainJob();
    // With the queue held by the calling thread: runs tasks from the front
    // until `mine` comes up (Reached; still held), another sync's marker
    // comes up (HandedOver), or the list empties or a pool batch ends
    // (Released).
    Outcome drainLocked(std::unique_lock<std::mutex>& lock, const Waiter* mine);
    // Lets go of the queue: to the sync whose marker is first, else to a
    // pool job when tasks remain.
    void releaseLocked();

    ThreadPool& pool_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> items_;
    bool held_ = false;        // a thread is running the queue
    bool jobPending_ = false;  // a drain job waits in the pool
};

}  // namespace core
