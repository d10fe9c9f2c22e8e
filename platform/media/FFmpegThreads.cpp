#include "media/FFmpegThreads.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/ProcessExit.h"

namespace media {

namespace {

class Registry {
public:
    void waitForAll() {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, std::chrono::seconds(2), [this] { return running_ == 0; });
    }

    void started() {
        const std::lock_guard lock(mutex_);
        ++running_;
    }
    void finished() {
        {
            const std::lock_guard lock(mutex_);
            --running_;
        }
        ended_.notify_all();
    }
    std::size_t running() {
        const std::lock_guard lock(mutex_);
        return running_;
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    std::size_t running_ = 0;
};

// Never destroyed: a thread that outlasts the wait at exit still counts
// itself out. The wait is at the start of exit, before statics the
// threads' work reads are destroyed.
Registry& registry() {
    static Registry* const instance = [] {
        auto* made = new Registry;
        core::ProcessExit::atStart([made] { made->waitForAll(); });
        return made;
    }();
    return *instance;
}

}  // namespace

void FFmpegThreads::spawn(std::function<void()> body) {
    auto& threads = registry();
    threads.started();
    std::thread([&threads, body = std::move(body)]() mutable {
        body();
        body = nullptr;  // what it owned goes before the count drops
        threads.finished();
    }).detach();
}

std::size_t FFmpegThreads::running() {
    return registry().running();
}

}  // namespace media
