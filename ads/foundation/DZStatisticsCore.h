#pragma once
// A persistent store of named lists for one ad slot. Once an identifier is
// set, the whole store is written to the standard user defaults store under
// "dozuza_stats_" + identifier after every change, and what an earlier run
// stored under that key is merged in, so a slot's record survives restarts.
// Without an identifier (or with an empty one) the store lives in memory.
//
// Threading: safe from any thread. Changes are queued asynchronously on the
// serial queue "com.dozuza.vuraz.statistics" and each hands the whole store
// to the user defaults when it runs (which write it to disk soon after);
// reads wait for the changes queued before them. The application's
// will-terminate notification waits until every queued change has been
// handed over, then has the user defaults written at once.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZStatisticsCore : public std::enable_shared_from_this<DZStatisticsCore> {
public:
    static constexpr std::string_view kUserDefaultsKeyPrefix = "dozuza_stats_";

    [[nodiscard]] static std::shared_ptr<DZStatisticsCore> create();
    ~DZStatisticsCore();
    DZStatisticsCore(const DZStatisticsCore&) = delete;
    DZStatisticsCore& operator=(const DZStatisticsCore&) = delete;

    // Selects the stored store and merges it in: a list both in memory and
    // stored becomes the stored items followed by the in-memory ones; other
    // stored entries are added. Setting the current identifier again does
    // nothing.
    void setIdentifier(std::string_view identifier);

    [[nodiscard]] core::Dictionary statistics() const;
    // nullopt when the key is absent or holds something other than a list.
    [[nodiscard]] std::optional<core::Array> arrayForKey(std::string_view key) const;

    // Append the item to the list under key (a value that is not a list is
    // replaced by a list of the item alone), then save. An empty key does
    // nothing.
    void appendString(std::string string, std::string key);
    void appendDictionary(core::Dictionary dictionary, std::string key);
    // Removes the entry, then saves.
    void removeObjectForKey(std::string key);

    [[nodiscard]] std::optional<std::string> userDefaultsKey() const;

private:
    DZStatisticsCore();

    void observeTermination();
    void saveBeforeTermination() const;
    void append(core::Value item, std::string key);
    void mergeStoredStatistics(const core::Dictionary& stored);
    // On the lock queue.
    void savePersistentStatistics() const;

    core::Dictionary statistics_;                 // lock queue only
    std::optional<std::string> userDefaultsKey_;  // lock queue only
    const std::shared_ptr<core::Queue> lockQueue_;
};

}  // namespace ads
