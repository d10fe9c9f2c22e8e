#pragma once
// One priority level of the shared thread pool. Reached through
// Queue::global(priority); tasks run concurrently on pool workers.

#include "core/Queue.h"

namespace core {

class GlobalQueue final : public Queue {
public:
    explicit GlobalQueue(Priority priority);

    void async(Task task) override;
    // Runs the task on the calling thread.
    void sync(const Task& task) override;
};

}  // namespace core
