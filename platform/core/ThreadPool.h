#pragma once
// A fixed set of worker threads taking jobs from per-level FIFO lists: a free
// worker runs the oldest job of the highest level waiting. The shared pool
// (max(2, hardware threads) workers, one level per Queue::Priority) backs the
// global and serial queues and lives until the process ends; other pools
// finish their queued jobs and join their workers when destroyed.
// submit() is safe from any thread.
//
// As the process begins to exit (core::ProcessExit), before any static is
// destroyed, the shared pool stops taking jobs and waits (up to two
// seconds) for the running ones, so that no job runs while the process and
// its libraries are being torn down.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace core {

class ThreadPool {
public:
    using Job = std::function<void()>;

    static ThreadPool& shared();

    ThreadPool(size_t workers, size_t levels);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Levels above the highest count as the highest.
    void submit(size_t level, Job job);
    [[nodiscard]] size_t workerCount() const { return workers_.size(); }
    // Jobs waiting or running now.
    [[nodiscard]] size_t pendingJobCount() const;
    // Takes no more jobs (queued and later ones never run) and waits up to
    // limit for the running ones to return.
    void quiesce(std::chrono::milliseconds limit);

private:
    void work();

    mutable std::mutex mutex_;
    std::condition_variable available_;
    std::vector<std::deque<Job>> jobs_;  // by level
    std::condition_variable idle_;
    size_t running_ = 0;
    bool stopping_ = false;
    bool quiescing_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace core
