#pragma once
// The queue of the main run loop: async posts to RunLoop::main(), sync from
// another thread posts and waits, after() schedules a timer on the main loop
// that runs the task itself. Reached through Queue::main().

#include "core/Queue.h"

namespace core {

class MainQueue final : public Queue {
public:
    MainQueue();

    [[nodiscard]] bool isCurrent() const override;
    void async(Task task) override;
    void sync(const Task& task) override;
    void after(double seconds, Task task) override;
};

}  // namespace core
