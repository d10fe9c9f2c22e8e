#include "core/Queue.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/Fatal.h"
#include "core/GlobalQueue.h"
#include "core/MainQueue.h"
#include "core/RunLoop.h"
#include "core/SerialQueue.h"
#include "core/ThreadPool.h"
#include "core/Timer.h"

namespace core {

namespace {

// The queues whose tasks the calling thread is inside, innermost last.
thread_local std::vector<Queue*> runningQueues;

// Delays of queues other than the main one wait on this thread's run loop.
RunLoop& delayLoop() {
    static RunLoop* loop = [] {
        std::promise<RunLoop*> ready;
        auto loopFuture = ready.get_future();
        std::thread([ready = std::move(ready)]() mutable {
            RunLoop& own = RunLoop::current();
            ready.set_value(&own);
            for (;;) own.run();
        }).detach();
        return loopFuture.get();
    }();
    return *loop;
}

}  // namespace

Queue::Queue(std::string label, Priority priority)
    : label_(std::move(label)), priority_(priority) {}

std::shared_ptr<Queue> Queue::main() {
    static const auto* queue = new std::shared_ptr<Queue>(std::make_shared<MainQueue>());
    return *queue;
}

std::shared_ptr<Queue> Queue::global(Priority priority) {
    static const auto* queues = [] {
        auto* all = new std::array<std::shared_ptr<Queue>, 5>;
        for (size_t level = 0; level < all->size(); ++level) {
            (*all)[level] = std::make_shared<GlobalQueue>(static_cast<Priority>(level));
        }
        return all;
    }();
    return (*queues)[std::clamp(static_cast<size_t>(priority), size_t{0}, queues->size() - 1)];
}

std::shared_ptr<Queue> Queue::serial(std::string label, Priority priority) {
    return serial(std::move(label), ThreadPool::shared(), priority);
}

std::shared_ptr<Queue> Queue::serial(std::string label, ThreadPool& pool, Priority priority) {
    return std::make_shared<SerialQueue>(std::move(label), priority, pool);
}

Queue* Queue::current() {
    if (!runningQueues.empty()) return runningQueues.back();
    if (RunLoop::isMainThread()) return main().get();
    return nullptr;
}

bool Queue::isCurrent() const {
    return std::find(runningQueues.begin(), runningQueues.end(), this) != runningQueues.end();
}

void Queue::checkNotCurrent(const char* operation) const {
    if (!isCurrent()) return;
    fatal("Queue::" + std::string(operation) + " onto queue '" + label_ +
          "' from code already running on it would deadlock");
}

void Queue::submitAndWait(const std::function<void(Task done)>& submit) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    submit([&] {
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    });
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done; });
}

void Queue::after(double seconds, Task task) {
    Timer::schedule(
        delayLoop(), seconds, false,
        [queue = shared_from_this(), task = std::move(task)](Timer&) { queue->async(task); });
}

Queue::Running::Running(Queue& queue) {
    runningQueues.push_back(&queue);
}

Queue::Running::~Running() {
    runningQueues.pop_back();
}

}  // namespace core
