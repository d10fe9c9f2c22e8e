#pragma once
// An in-memory key-value cache that holds at most countLimit entries: when
// an insertion goes past the limit, the least recently used entry goes.
// Reading or replacing an entry makes it the most recently used. A limit of
// 0 means no limit. Keys need operator<.
//
// Every member is safe from any thread.

#include <cstddef>
#include <iterator>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace core {

template <typename Key, typename Value>
class Cache {
public:
    explicit Cache(size_t countLimit = 0) : countLimit_(countLimit) {}
    Cache(const Cache&) = delete;
    Cache& operator=(const Cache&) = delete;

    [[nodiscard]] size_t countLimit() const {
        std::lock_guard lock(mutex_);
        return countLimit_;
    }
    // Lowering the limit evicts at once.
    void setCountLimit(size_t limit) {
        std::lock_guard lock(mutex_);
        countLimit_ = limit;
        trimLocked();
    }

    [[nodiscard]] std::optional<Value> object(const Key& key) {
        std::lock_guard lock(mutex_);
        const auto found = index_.find(key);
        if (found == index_.end()) return std::nullopt;
        entries_.splice(entries_.begin(), entries_, found->second);
        return found->second->second;
    }

    void setObject(const Key& key, Value value) {
        std::lock_guard lock(mutex_);
        if (const auto found = index_.find(key); found != index_.end()) {
            found->second->second = std::move(value);
            entries_.splice(entries_.begin(), entries_, found->second);
            return;
        }
        entries_.emplace_front(key, std::move(value));
        index_.emplace(key, entries_.begin());
        trimLocked();
    }

    void removeObject(const Key& key) {
        std::lock_guard lock(mutex_);
        const auto found = index_.find(key);
        if (found == index_.end()) return;
        entries_.erase(found->second);
        index_.erase(found);
    }

    void removeAllObjects() {
        std::lock_guard lock(mutex_);
        entries_.clear();
        index_.clear();
    }

    [[nodiscard]] size_t count() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

private:
    using Entries = std::list<std::pair<Key, Value>>;  // most recently used first

    void trimLocked() {
        while (countLimit_ > 0 && entries_.size() > countLimit_) {
            index_.erase(entries_.back().first);
            entries_.pop_back();
        }
    }

    mutable std::mutex mutex_;
    size_t countLimit_;
    Entries entries_;
    std::map<Key, typename Entries::iterator> index_;
};

}  // namespace core
