#include "core/DefaultsWriter.h"

#include <pthread.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace core {

namespace {

// Never destroyed: its thread runs until the process ends.
struct Writer {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;

    Writer() {
        std::thread([this] { run(); }).detach();
    }

    void run() {
        for (;;) {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return !jobs.empty(); });
            auto job = std::move(jobs.front());
            jobs.pop_front();
            lock.unlock();
            job();
        }
    }
};

std::mutex creationMutex;
Writer* current = nullptr;

void lockForFork() {
    creationMutex.lock();
}
void unlockInParent() {
    creationMutex.unlock();
}
void forgetInChild() {
    // The writer's thread did not survive the fork; abandon its state.
    current = nullptr;
    creationMutex.unlock();
}

Writer& writer() {
    std::lock_guard lock(creationMutex);
    if (!current) {
        static const bool registered =
            pthread_atfork(lockForFork, unlockInParent, forgetInChild) == 0;
        (void)registered;
        current = new Writer;
    }
    return *current;
}

}  // namespace

void DefaultsWriter::schedule(std::function<void()> job) {
    Writer& target = writer();
    {
        std::lock_guard lock(target.mutex);
        target.jobs.push_back(std::move(job));
    }
    target.wake.notify_one();
}

}  // namespace core
