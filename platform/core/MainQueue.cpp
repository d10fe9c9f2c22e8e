#include "core/MainQueue.h"

#include <condition_variable>
#include <mutex>

#include "core/RunLoop.h"
#include "core/Timer.h"

namespace core {

MainQueue::MainQueue() : Queue("main", Priority::UserInteractive) {}

bool MainQueue::isCurrent() const {
    return RunLoop::isMainThread();
}

void MainQueue::async(Task task) {
    RunLoop::main().post(std::move(task));
}

void MainQueue::sync(const Task& task) {
    checkNotCurrent("sync");
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    RunLoop::main().post([&] {
        task();
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    });
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done; });
}

void MainQueue::after(double seconds, Task task) {
    Timer::schedule(RunLoop::main(), seconds, false, [task = std::move(task)](Timer&) { task(); });
}

}  // namespace core
