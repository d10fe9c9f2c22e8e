#include "ads/foundation/DZStatisticsCore.h"

#include <utility>

#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "ui/Application.h"

namespace ads {

std::shared_ptr<DZStatisticsCore> DZStatisticsCore::create() {
    std::shared_ptr<DZStatisticsCore> store(new DZStatisticsCore());
    store->observeTermination();
    return store;
}

DZStatisticsCore::DZStatisticsCore()
    : lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("statistics"), DZQoSDefault)) {}

DZStatisticsCore::~DZStatisticsCore() {
    core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void DZStatisticsCore::observeTermination() {
    std::weak_ptr<DZStatisticsCore> weakSelf = weak_from_this();
    core::NotificationCenter::defaultCenter().addObserver(
        std::weak_ptr<void>(weakSelf), ui::Application::WillTerminateNotification, nullptr,
        [weakSelf](const core::Notification&) {
            if (const auto self = weakSelf.lock()) self->saveBeforeTermination();
        });
}

void DZStatisticsCore::saveBeforeTermination() const {
    DZSyncOnQueue(*lockQueue_, [] {});
    if (!core::UserDefaults::standard()->synchronize()) {
        DZLogWithLevel(1, "Could not save the statistics before termination.");
    }
}

void DZStatisticsCore::setIdentifier(std::string_view identifier) {
    std::optional<std::string> key;
    if (!identifier.empty()) key = std::string(kUserDefaultsKeyPrefix) + std::string(identifier);
    lockQueue_->async([self = shared_from_this(), key = std::move(key)] {
        if (key == self->userDefaultsKey_) return;
        self->userDefaultsKey_ = key;
        if (!key) return;
        const bool hadEntries = !self->statistics_.empty();
        if (auto stored = core::UserDefaults::standard()->dictionaryForKey(*key)) {
            self->mergeStoredStatistics(*stored);
        }
        // What was recorded before the key existed belongs in the file too.
        if (hadEntries) self->savePersistentStatistics();
    });
}

void DZStatisticsCore::mergeStoredStatistics(const core::Dictionary& stored) {
    for (const auto& [name, storedValue] : stored) {
        core::Value* current = statistics_.find(name);
        if (!current) {
            statistics_.set(name, storedValue);
            continue;
        }
        core::Array* recent = current->array();
        const core::Array* earlier = storedValue.array();
        if (recent && earlier) {
            core::Array combined = *earlier;
            combined.insert(combined.end(), recent->begin(), recent->end());
            *current = std::move(combined);
        } else if (!recent) {
            *current = storedValue;
        }
        // A list in memory is kept over a stored entry that is not a list.
    }
}

core::Dictionary DZStatisticsCore::statistics() const {
    core::Dictionary copy;
    DZSyncOnQueue(*lockQueue_, [&] { copy = statistics_; });
    return copy;
}

std::optional<core::Array> DZStatisticsCore::arrayForKey(std::string_view key) const {
    std::optional<core::Array> list;
    DZSyncOnQueue(*lockQueue_, [&] {
        const core::Value* value = statistics_.find(key);
        if (value && value->array()) list = *value->array();
    });
    return list;
}

std::optional<std::string> DZStatisticsCore::userDefaultsKey() const {
    std::optional<std::string> key;
    DZSyncOnQueue(*lockQueue_, [&] { key = userDefaultsKey_; });
    return key;
}

void DZStatisticsCore::appendString(std::string string, std::string key) {
    append(core::Value(std::move(string)), std::move(key));
}

void DZStatisticsCore::appendDictionary(core::Dictionary dictionary, std::string key) {
    append(core::Value(std::move(dictionary)), std::move(key));
}

void DZStatisticsCore::append(core::Value item, std::string key) {
    if (key.empty()) return;
    lockQueue_->async([self = shared_from_this(), item = std::move(item), key = std::move(key)] {
        core::Value& slot = self->statistics_.at(key);
        if (core::Array* list = slot.array()) {
            list->push_back(item);
        } else {
            slot = core::Array{item};
        }
        self->savePersistentStatistics();
    });
}

void DZStatisticsCore::removeObjectForKey(std::string key) {
    if (key.empty()) return;
    lockQueue_->async([self = shared_from_this(), key = std::move(key)] {
        self->statistics_.remove(key);
        self->savePersistentStatistics();
    });
}

void DZStatisticsCore::savePersistentStatistics() const {
    if (!userDefaultsKey_) return;
    core::UserDefaults::standard()->setObject(*userDefaultsKey_, core::Value(statistics_));
}

}  // namespace ads
