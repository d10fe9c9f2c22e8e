#pragma once
// The queue of one thread's run loop, for work that must run on that thread:
// async() posts to the loop in order, sync() from another thread posts and
// waits, after() schedules a timer on the loop. Once the loop's thread has
// ended, tasks are dropped (a sync returns without running its task).
//
// Every member is safe from any thread.

#include <memory>

#include "core/Queue.h"
#include "core/RunLoop.h"

namespace core {

class RunLoopQueue final : public Queue {
public:
    // Queue::main() for the main loop, else a queue of the loop.
    [[nodiscard]] static std::shared_ptr<Queue> of(RunLoop& loop);

    explicit RunLoopQueue(RunLoop& loop);

    [[nodiscard]] bool isCurrent() const override;
    void async(Task task) override;
    void sync(const Task& task) override;
    void after(double seconds, Task task) override;

private:
    const std::weak_ptr<RunLoop> loop_;
};

}  // namespace core
