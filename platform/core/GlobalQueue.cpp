#include "core/GlobalQueue.h"

#include <string>

#include "core/ThreadPool.h"

namespace core {

namespace {

std::string labelOf(Queue::Priority priority) {
    switch (priority) {
        case Queue::Priority::Background:
            return "global.background";
        case Queue::Priority::Utility:
            return "global.utility";
        case Queue::Priority::Default:
            return "global.default";
        case Queue::Priority::UserInitiated:
            return "global.user-initiated";
        case Queue::Priority::UserInteractive:
            return "global.user-interactive";
    }
    return "global";
}

}  // namespace

GlobalQueue::GlobalQueue(Priority priority) : Queue(labelOf(priority), priority) {}

void GlobalQueue::async(Task task) {
    ThreadPool::shared().submit(static_cast<size_t>(priority()), [this, task = std::move(task)] {
        Running running(*this);
        task();
    });
}

void GlobalQueue::sync(const Task& task) {
    checkNotCurrent("sync");
    Running running(*this);
    task();
}

}  // namespace core
