#pragma once
// An in-memory dictionary of statistics (counters, capped lists, plain
// values) that ads and the application object fill as events happen.
//
// Threading: safe from any thread. Every change is queued asynchronously on
// the dictionary's own serial queue and every read waits for the changes
// queued before it. The delegate is held weakly behind a lock of its own and
// is told on its notification queue, once for all notifying changes made
// before the call reaches it. After didFinishModifying() the dictionary is
// read-only and has no delegate; later changes are dropped silently.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "ads/foundation/DZStatisticDictionaryDelegate.h"
#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZStatisticDictionary : public std::enable_shared_from_this<DZStatisticDictionary> {
public:
    static constexpr const char* kDefaultQueueLabel = "com.dozuza.vuraz.statistics";

    [[nodiscard]] static std::shared_ptr<DZStatisticDictionary> create(
        std::string_view queueLabel, std::weak_ptr<DZStatisticDictionaryDelegate> delegate);
    [[nodiscard]] static std::shared_ptr<DZStatisticDictionary> create(
        std::weak_ptr<DZStatisticDictionaryDelegate> delegate);
    [[nodiscard]] static std::shared_ptr<DZStatisticDictionary> create();

    DZStatisticDictionary(const DZStatisticDictionary&) = delete;
    DZStatisticDictionary& operator=(const DZStatisticDictionary&) = delete;

    [[nodiscard]] std::shared_ptr<DZStatisticDictionaryDelegate> delegate() const;
    void setDelegate(std::weak_ptr<DZStatisticDictionaryDelegate> delegate);

    // A null value removes the key.
    void setObject(core::Value object, std::string key, bool shouldNotifyDelegate);
    void setObjectForKeyedSubscript(core::Value object, std::string key);
    // Null when absent.
    [[nodiscard]] core::Value objectForKeyedSubscript(std::string_view key) const;
    // The entries' values replace existing ones.
    void addEntriesFromDictionary(core::Dictionary entries, bool shouldNotifyDelegate);

    // Adds the integer part of number to the counter (absent counts as 0),
    // saturating at the ends of the int64 range. A value that is not a number
    // is left alone.
    void addNumber(const core::Value& number, std::string key, bool shouldNotifyDelegate);
    void incrementNumberForKey(std::string key, bool shouldNotifyDelegate);
    void decrementNumberForKey(std::string key, bool shouldNotifyDelegate);

    // Appends to the list under key (made when absent), then trims it to the
    // key's cap, dropping the oldest items. A value that is not a list is left
    // alone; a null object is ignored.
    void addObject(core::Value object, std::string key, bool shouldNotifyDelegate);
    // Records a cap and trims the current list at once; a negative size
    // removes the cap. Never notifies.
    void setMaxSize(std::int64_t maxSize, std::string key);

    // Empties the statistics (the caps stay). Never notifies.
    void removeAllObjects();
    [[nodiscard]] core::Dictionary dictionary() const;

    // Freezes the dictionary, waits until every notification already due has
    // reached the delegate, then detaches the delegate. Called on the
    // delegate's notification queue, the due notification is delivered there
    // before it returns.
    void didFinishModifying();

    [[nodiscard]] const std::string& queueLabel() const { return queueLabel_; }
    // "<DZStatisticDictionary: 0x...>\nqueue: <label>\nstatistics: <JSON>".
    [[nodiscard]] std::string description() const;

private:
    struct State {
        core::Dictionary statistics;
        bool allowDictionaryModification = true;
        std::map<std::string, std::int64_t, std::less<>> arrayMaxSize;
    };
    using Change = std::function<void(State&)>;

    DZStatisticDictionary(std::string_view queueLabel,
                          std::weak_ptr<DZStatisticDictionaryDelegate> delegate);

    void modify(Change change, bool shouldNotifyDelegate);
    // On the serial queue, after a notifying change.
    void enqueueNotification();
    // On the notification queue: tells the delegate when a call is still due.
    void deliverNotification();
    static void resizeArray(core::Array& array, std::int64_t maxSize);

    const std::string queueLabel_;
    const std::shared_ptr<core::Queue> serialQueue_;
    State state_;  // serial queue only
    std::atomic<bool> hasEnqueuedNotificationBlock_{false};
    mutable std::mutex delegateLock_;
    std::weak_ptr<DZStatisticDictionaryDelegate> delegate_;
};

}  // namespace ads
