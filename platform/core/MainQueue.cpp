#include "core/MainQueue.h"

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
    submitAndWait([&task](Task done) {
        RunLoop::main().post([&task, done = std::move(done)] {
            task();
            done();
        });
    });
}

void MainQueue::after(double seconds, Task task) {
    Timer::schedule(RunLoop::main(), seconds, false, [task = std::move(task)](Timer&) { task(); });
}

}  // namespace core
