#include "core/RunLoopQueue.h"

#include <condition_variable>
#include <mutex>

#include "core/Timer.h"

namespace core {

std::shared_ptr<Queue> RunLoopQueue::of(RunLoop& loop) {
    if (&loop == &RunLoop::main()) return Queue::main();
    return std::make_shared<RunLoopQueue>(loop);
}

RunLoopQueue::RunLoopQueue(RunLoop& loop)
    : Queue("runloop", Priority::Default), loop_(loop.shared_from_this()) {}

bool RunLoopQueue::isCurrent() const {
    const auto loop = loop_.lock();
    return loop && loop->isCurrent();
}

void RunLoopQueue::async(Task task) {
    if (const auto loop = loop_.lock()) loop->post(std::move(task));
}

void RunLoopQueue::sync(const Task& task) {
    checkNotCurrent("sync");
    struct Done {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
    };
    auto state = std::make_shared<Done>();
    {
        const auto loop = loop_.lock();
        if (!loop) return;
        loop->post([&task, state] {
            task();
            std::lock_guard lock(state->mutex);
            state->done = true;
            state->finished.notify_all();
        });
    }
    // A loop whose thread ends first drops the task unrun: stop waiting then.
    std::unique_lock lock(state->mutex);
    while (!state->finished.wait_for(lock, std::chrono::milliseconds(50),
                                     [&] { return state->done; })) {
        if (loop_.expired()) return;
    }
}

void RunLoopQueue::after(double seconds, Task task) {
    const auto loop = loop_.lock();
    if (!loop) return;
    Timer::schedule(*loop, seconds, false, [task = std::move(task)](Timer&) { task(); });
}

}  // namespace core
