#pragma once
// A queue of operations (blocks) that starts them in the order added, at
// most maxConcurrentOperationCount at a time, and can be suspended: a
// suspended queue starts nothing until it is resumed, while operations
// already running go on. An operation counts until it has returned.
//
// OperationQueue::create() runs its operations on the shared pool (any
// number at once by default); OperationQueue::main() runs them on the main
// run loop, one at a time, each after the work already posted there. As a
// core::Queue, async() adds an operation and sync() adds one and waits for
// it (a sync onto the main operation queue from the main thread, or onto a
// queue from its own operation, stops the process as for every queue).
//
// Every member is safe from any thread. Operations of a queue that is
// destroyed before they start are dropped; running ones keep it alive.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "core/Queue.h"

namespace core {

class OperationQueue final : public Queue {
public:
    static constexpr int kUnlimited = -1;

    [[nodiscard]] static std::shared_ptr<OperationQueue>
    create(std::string name = "operation queue", Priority priority = Priority::Default);
    [[nodiscard]] static std::shared_ptr<OperationQueue> main();

    void addOperation(Task operation);
    void async(Task task) override { addOperation(std::move(task)); }
    void sync(const Task& task) override;
    // The main operation queue: on the main thread.
    [[nodiscard]] bool isCurrent() const override;

    // kUnlimited, or at least 1 (smaller values count as 1). Fixed at 1 on
    // the main operation queue.
    [[nodiscard]] int maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(int count);
    [[nodiscard]] bool isSuspended() const;
    void setSuspended(bool suspended);
    // Operations waiting or running.
    [[nodiscard]] size_t operationCount() const;
    // Drops the operations that have not started (a sync waiting for one
    // returns without it having run).
    void cancelAllOperations();
    // Blocks until no operation waits or runs (a suspended queue with
    // waiting operations blocks until resumed). Not from an operation of
    // this queue, nor on the main thread for the main operation queue.
    void waitUntilAllOperationsAreFinished();

    OperationQueue(std::string name, Priority priority, std::shared_ptr<Queue> target, bool isMain);

private:
    struct Pending {
        Task operation;
        Task afterFinished;  // may be empty
    };

    void enqueue(Task operation, Task afterFinished);
    // Hands ready operations to the target queue; called with mutex_ held.
    void startReadyLocked();
    void finished();

    const std::shared_ptr<Queue> target_;
    const bool isMain_;
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::deque<Pending> waiting_;
    size_t running_ = 0;
    int maxConcurrent_ = kUnlimited;
    bool suspended_ = false;
};

}  // namespace core
