#include "ads/foundation/DZStatisticDictionary.h"

#include <utility>

#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "core/StringFormat.h"

namespace ads {

std::shared_ptr<DZStatisticDictionary> DZStatisticDictionary::create(
    std::string_view queueLabel, std::weak_ptr<DZStatisticDictionaryDelegate> delegate) {
    return std::shared_ptr<DZStatisticDictionary>(
        new DZStatisticDictionary(queueLabel, std::move(delegate)));
}

std::shared_ptr<DZStatisticDictionary> DZStatisticDictionary::create(
    std::weak_ptr<DZStatisticDictionaryDelegate> delegate) {
    return create(kDefaultQueueLabel, std::move(delegate));
}

std::shared_ptr<DZStatisticDictionary> DZStatisticDictionary::create() {
    return create(kDefaultQueueLabel, {});
}

DZStatisticDictionary::DZStatisticDictionary(std::string_view queueLabel,
                                             std::weak_ptr<DZStatisticDictionaryDelegate> delegate)
    : queueLabel_(queueLabel),
      serialQueue_(DZCreateQueueWithQoS(queueLabel, DZQoSDefault)),
      delegate_(std::move(delegate)) {}

std::shared_ptr<DZStatisticDictionaryDelegate> DZStatisticDictionary::delegate() const {
    std::lock_guard lock(delegateLock_);
    return delegate_.lock();
}

void DZStatisticDictionary::setDelegate(std::weak_ptr<DZStatisticDictionaryDelegate> delegate) {
    std::lock_guard lock(delegateLock_);
    delegate_ = std::move(delegate);
}

void DZStatisticDictionary::modify(Change change, bool shouldNotifyDelegate) {
    serialQueue_->async(
        [self = shared_from_this(), change = std::move(change), shouldNotifyDelegate] {
            if (!self->state_.allowDictionaryModification) return;
            change(self->state_);
            if (shouldNotifyDelegate) self->enqueueNotification();
        });
}

void DZStatisticDictionary::enqueueNotification() {
    if (hasEnqueuedNotificationBlock_.exchange(true)) return;
    std::shared_ptr<core::Queue> queue;
    if (const auto owner = delegate()) queue = owner->notificationQueue();
    if (!queue) {
        hasEnqueuedNotificationBlock_ = false;
        return;
    }
    queue->async([self = shared_from_this()] { self->deliverNotification(); });
}

void DZStatisticDictionary::deliverNotification() {
    // Cleared before the delegate reads: a change applied after this point
    // asks for a call of its own, one applied before is in what it reads.
    if (!hasEnqueuedNotificationBlock_.exchange(false)) return;
    if (const auto owner = delegate()) owner->didUpdateStatisticDictionary(shared_from_this());
}

void DZStatisticDictionary::setObject(core::Value object, std::string key,
                                      bool shouldNotifyDelegate) {
    modify(
        [object = std::move(object), key = std::move(key)](State& state) {
            if (object.isNull()) {
                state.statistics.remove(key);
            } else {
                state.statistics.set(key, object);
            }
        },
        shouldNotifyDelegate);
}

void DZStatisticDictionary::setObjectForKeyedSubscript(core::Value object, std::string key) {
    setObject(std::move(object), std::move(key), false);
}

core::Value DZStatisticDictionary::objectForKeyedSubscript(std::string_view key) const {
    core::Value value;
    DZSyncOnQueue(*serialQueue_, [&] {
        if (const core::Value* found = state_.statistics.find(key)) value = *found;
    });
    return value;
}

void DZStatisticDictionary::addEntriesFromDictionary(core::Dictionary entries,
                                                     bool shouldNotifyDelegate) {
    modify(
        [entries = std::move(entries)](State& state) {
            for (const auto& [key, value] : entries) state.statistics.set(key, value);
        },
        shouldNotifyDelegate);
}

void DZStatisticDictionary::addNumber(const core::Value& number, std::string key,
                                      bool shouldNotifyDelegate) {
    modify(
        [addend = number.intValue(), key = std::move(key)](State& state) {
            const core::Value* current = state.statistics.find(key);
            if (current && !current->isNumber()) return;
            const std::int64_t base = current ? current->intValue() : 0;
            std::int64_t sum = 0;
            if (__builtin_add_overflow(base, addend, &sum)) {
                sum = addend > 0 ? INT64_MAX : INT64_MIN;
            }
            state.statistics.set(key, core::Value(static_cast<long long>(sum)));
        },
        shouldNotifyDelegate);
}

void DZStatisticDictionary::incrementNumberForKey(std::string key, bool shouldNotifyDelegate) {
    addNumber(core::Value(1), std::move(key), shouldNotifyDelegate);
}

void DZStatisticDictionary::decrementNumberForKey(std::string key, bool shouldNotifyDelegate) {
    addNumber(core::Value(-1), std::move(key), shouldNotifyDelegate);
}

void DZStatisticDictionary::addObject(core::Value object, std::string key,
                                      bool shouldNotifyDelegate) {
    if (object.isNull()) return;
    modify(
        [object = std::move(object), key = std::move(key)](State& state) {
            core::Value& slot = state.statistics.at(key);
            if (slot.isNull()) slot = core::Array{};
            core::Array* list = slot.array();
            if (!list) return;
            list->push_back(object);
            if (const auto cap = state.arrayMaxSize.find(key); cap != state.arrayMaxSize.end()) {
                resizeArray(*list, cap->second);
            }
        },
        shouldNotifyDelegate);
}

void DZStatisticDictionary::setMaxSize(std::int64_t maxSize, std::string key) {
    modify(
        [maxSize, key = std::move(key)](State& state) {
            if (maxSize < 0) {
                state.arrayMaxSize.erase(key);
                return;
            }
            state.arrayMaxSize[key] = maxSize;
            if (core::Value* current = state.statistics.find(key)) {
                if (core::Array* list = current->array()) resizeArray(*list, maxSize);
            }
        },
        false);
}

void DZStatisticDictionary::resizeArray(core::Array& array, std::int64_t maxSize) {
    if (maxSize < 0 || array.size() <= static_cast<std::uint64_t>(maxSize)) return;
    const auto excess = static_cast<std::ptrdiff_t>(array.size() - static_cast<size_t>(maxSize));
    array.erase(array.begin(), array.begin() + excess);
}

void DZStatisticDictionary::removeAllObjects() {
    modify([](State& state) { state.statistics.clear(); }, false);
}

core::Dictionary DZStatisticDictionary::dictionary() const {
    core::Dictionary copy;
    DZSyncOnQueue(*serialQueue_, [&] { copy = state_.statistics; });
    return copy;
}

void DZStatisticDictionary::didFinishModifying() {
    std::shared_ptr<core::Queue> notificationQueue;
    DZSyncOnQueue(*serialQueue_, [&] {
        state_.allowDictionaryModification = false;
        if (const auto owner = delegate()) notificationQueue = owner->notificationQueue();
    });
    // Every notifying change has run by now, so its call is queued on the
    // notification queue, or (when we run on that queue) is due here.
    if (notificationQueue) DZSyncOnQueue(*notificationQueue, [this] { deliverNotification(); });
    setDelegate({});
}

std::string DZStatisticDictionary::description() const {
    const core::Dictionary statistics = dictionary();
    const std::optional<std::string> json = dz_JSONStringPretty(statistics, true, nullptr);
    return core::format("<%@: %p>\nqueue: %s\nstatistics: %@", "DZStatisticDictionary",
                        static_cast<const void*>(this), queueLabel_,
                        json ? *json : core::describe(core::Value(statistics)));
}

}  // namespace ads
