#pragma once
// Helpers shared by the statistics and timing suites: a delegate double that
// records what it is told, a gate that holds a queue until opened, bounded
// waiting for work on other threads, and direct access to what is stored.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/foundation/DZStatisticDictionaryDelegate.h"
#include "core/DefaultsFile.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"

namespace statstesting {

inline bool waitFor(const std::function<bool()>& predicate) {
    return core::RunLoop::main().runUntil(predicate, 5);
}

// Holds its queue busy from construction until open() (or 10 s at most).
class QueueGate {
public:
    explicit QueueGate(core::Queue& queue) : state_(std::make_shared<State>()) {
        queue.async([state = state_] {
            std::unique_lock lock(state->mutex);
            state->changed.wait_for(lock, std::chrono::seconds(10), [&] { return state->open; });
        });
    }
    ~QueueGate() { open(); }
    QueueGate(const QueueGate&) = delete;
    QueueGate& operator=(const QueueGate&) = delete;

    void open() {
        std::lock_guard lock(state_->mutex);
        state_->open = true;
        state_->changed.notify_all();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
    };
    std::shared_ptr<State> state_;
};

class RecordingDelegate : public ads::DZStatisticDictionaryDelegate {
public:
    explicit RecordingDelegate(std::shared_ptr<core::Queue> queue) : queue_(std::move(queue)) {}
    RecordingDelegate() : RecordingDelegate(core::Queue::serial("test.statistics.delegate")) {}

    std::shared_ptr<core::Queue> notificationQueue() override { return queue_; }
    void didUpdateStatisticDictionary(
        const std::shared_ptr<ads::DZStatisticDictionary>& dictionary) override {
        if (queue_ && !queue_->isCurrent()) offQueue_ = true;
        std::lock_guard lock(mutex_);
        seen_.push_back(dictionary->dictionary());
        ++calls_;
    }

    [[nodiscard]] int calls() const { return calls_.load(); }
    [[nodiscard]] bool calledOffQueue() const { return offQueue_.load(); }
    [[nodiscard]] std::vector<core::Dictionary> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    // Every call already queued has been made once this returns.
    void drain() const {
        if (queue_) queue_->sync([] {});
    }
    [[nodiscard]] core::Queue& queue() const { return *queue_; }

private:
    std::shared_ptr<core::Queue> queue_;
    mutable std::mutex mutex_;
    std::vector<core::Dictionary> seen_;
    std::atomic<int> calls_{0};
    std::atomic<bool> offQueue_{false};
};

inline core::Value stored(const std::string& key) {
    return core::UserDefaults::standard()->objectForKey(key);
}

// What the standard store's file holds under key right now.
inline core::Value storedOnDisk(const std::string& key) {
    std::ifstream file(core::UserDefaults::standard()->filePath(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const auto values = core::DefaultsFile::decode(text.str());
    return values ? (*values)[key] : core::Value();
}

inline void store(const std::string& key, core::Value value) {
    core::UserDefaults::standard()->setObject(key, std::move(value));
}

// Removes what an earlier run of a test stored under the slot identifier.
inline void forget(const std::string& identifier) {
    core::UserDefaults::standard()->removeObjectForKey("dozuza_stats_" + identifier);
    core::UserDefaults::standard()->removeObjectForKey("dozuza_timing_" + identifier);
}

// Writes every store to disk and forgets it, as a new process would.
inline void reopenDefaultsFromDisk() {
    core::UserDefaults::resetSharedInstancesForTesting();
}

inline core::Value list(std::initializer_list<core::Value> items) {
    return core::Value(core::Array(items));
}

}  // namespace statstesting
