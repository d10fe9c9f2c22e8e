#pragma once
// Keeps a slot's stopwatches by name and stores them in the standard user
// defaults store under "dozuza_timing_" + the slot identifier as
// {category: {"category", "start", "end"}}. Every added timing saves the whole
// set; ending or removing a timing is written with the next save. Timings
// stored by an earlier run are read back when the identifier is set.
//
// Threading: safe from any thread. The saves run on the serial queue
// "com.dozuza.vuraz.timing" and hand the set to the user defaults, which
// write it to disk soon after; the manager's release waits for the saves
// already queued, and the application's will-terminate notification also has
// the user defaults written at once.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/foundation/DZTiming.h"
#include "core/Queue.h"

namespace ads {

class DZTimingManager : public std::enable_shared_from_this<DZTimingManager> {
public:
    static constexpr std::string_view kUserDefaultsKeyPrefix = "dozuza_timing_";

    [[nodiscard]] static std::shared_ptr<DZTimingManager> create();
    ~DZTimingManager();
    DZTimingManager(const DZTimingManager&) = delete;
    DZTimingManager& operator=(const DZTimingManager&) = delete;

    // Makes the key and loads the stored timings, which replace those of the
    // same name. An empty identifier leaves the manager unkeyed: nothing is
    // saved or loaded.
    void setIdentifier(std::string identifier);
    [[nodiscard]] std::string identifier() const;
    [[nodiscard]] std::optional<std::string> userDefaultsKey() const;

    // Replaces a timing of the same category, then saves. nullptr is ignored.
    void addTiming(std::shared_ptr<DZTiming> timing);
    std::shared_ptr<DZTiming> addTimingWithCategory(std::string category);
    [[nodiscard]] std::shared_ptr<DZTiming> timingForCategory(std::string_view category) const;
    void removeTimingForCategory(std::string_view category);
    // In the order the categories were first added.
    [[nodiscard]] std::vector<std::shared_ptr<DZTiming>> timings() const;
    [[nodiscard]] std::vector<std::string> categories() const;

private:
    struct Entry {
        std::string category;
        std::shared_ptr<DZTiming> timing;
    };

    DZTimingManager();

    void observeTermination();
    void waitForQueuedSaves() const;
    void saveBeforeTermination() const;
    void put(std::string category, std::shared_ptr<DZTiming> timing);  // with mutex_ held
    void loadPersistentTimings();
    void savePersistentTimings();

    mutable std::mutex mutex_;
    std::string identifier_;
    std::optional<std::string> userDefaultsKey_;
    std::vector<Entry> timings_;
    const std::shared_ptr<core::Queue> savingQueue_;
};

}  // namespace ads
