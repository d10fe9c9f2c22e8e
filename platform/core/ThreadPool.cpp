#include "core/ThreadPool.h"

#include <algorithm>

#include "core/ProcessExit.h"

namespace core {

ThreadPool& ThreadPool::shared() {
    static auto* pool = [] {
        auto* made = new ThreadPool(std::max(2u, std::thread::hardware_concurrency()), 5);
        ProcessExit::atStart([made] { made->quiesce(std::chrono::seconds(2)); });
        return made;
    }();
    return *pool;
}

void ThreadPool::quiesce(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    quiescing_ = true;
    idle_.wait_for(lock, limit, [this] { return running_ == 0; });
}

ThreadPool::ThreadPool(size_t workers, size_t levels) : jobs_(std::max<size_t>(levels, 1)) {
    workers_.reserve(workers);
    for (size_t i = 0; i < std::max<size_t>(workers, 1); ++i) {
        workers_.emplace_back([this] { work(); });
    }
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        available_.notify_all();
    }
    for (auto& worker : workers_) worker.join();
}

void ThreadPool::submit(size_t level, Job job) {
    std::lock_guard lock(mutex_);
    jobs_[std::min(level, jobs_.size() - 1)].push_back(std::move(job));
    available_.notify_one();
}

size_t ThreadPool::pendingJobCount() const {
    std::lock_guard lock(mutex_);
    size_t count = running_;
    for (const auto& level : jobs_) count += level.size();
    return count;
}

void ThreadPool::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            auto waiting = jobs_.rend();
            available_.wait(lock, [&] {
                waiting = std::find_if(jobs_.rbegin(), jobs_.rend(),
                                       [](const auto& level) { return !level.empty(); });
                return (waiting != jobs_.rend() && !quiescing_) || stopping_;
            });
            if (waiting == jobs_.rend() || quiescing_) return;
            job = std::move(waiting->front());
            waiting->pop_front();
            ++running_;
        }
        job();
        job = nullptr;
        std::lock_guard lock(mutex_);
        if (--running_ == 0) idle_.notify_all();
    }
}

}  // namespace core
