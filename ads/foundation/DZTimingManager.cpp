#include "ads/foundation/DZTimingManager.h"

#include <algorithm>
#include <utility>

#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "ui/Application.h"

namespace ads {

std::shared_ptr<DZTimingManager> DZTimingManager::create() {
    std::shared_ptr<DZTimingManager> manager(new DZTimingManager());
    manager->observeTermination();
    return manager;
}

DZTimingManager::DZTimingManager()
    : savingQueue_(DZCreateQueueWithQoS(DZQueueLabel("timing"), DZQoSDefault)) {}

DZTimingManager::~DZTimingManager() {
    core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    waitForQueuedSaves();
}

void DZTimingManager::observeTermination() {
    std::weak_ptr<DZTimingManager> weakSelf = weak_from_this();
    core::NotificationCenter::defaultCenter().addObserver(
        std::weak_ptr<void>(weakSelf), ui::Application::WillTerminateNotification, nullptr,
        [weakSelf](const core::Notification&) {
            if (const auto self = weakSelf.lock()) self->saveBeforeTermination();
        });
}

void DZTimingManager::waitForQueuedSaves() const {
    DZSyncOnQueue(*savingQueue_, [] {});
}

void DZTimingManager::saveBeforeTermination() const {
    waitForQueuedSaves();
    if (!core::UserDefaults::standard()->synchronize()) {
        DZLogWithLevel(1, "Could not save the timings before termination.");
    }
}

void DZTimingManager::setIdentifier(std::string identifier) {
    {
        std::lock_guard lock(mutex_);
        userDefaultsKey_.reset();
        if (!identifier.empty())
            userDefaultsKey_ = std::string(kUserDefaultsKeyPrefix) + identifier;
        identifier_ = std::move(identifier);
    }
    loadPersistentTimings();
}

std::string DZTimingManager::identifier() const {
    std::lock_guard lock(mutex_);
    return identifier_;
}

std::optional<std::string> DZTimingManager::userDefaultsKey() const {
    std::lock_guard lock(mutex_);
    return userDefaultsKey_;
}

void DZTimingManager::put(std::string category, std::shared_ptr<DZTiming> timing) {
    const auto found = std::find_if(timings_.begin(), timings_.end(),
                                    [&](const Entry& entry) { return entry.category == category; });
    if (found != timings_.end()) {
        found->timing = std::move(timing);
    } else {
        timings_.push_back(Entry{std::move(category), std::move(timing)});
    }
}

void DZTimingManager::addTiming(std::shared_ptr<DZTiming> timing) {
    if (!timing) return;
    {
        std::lock_guard lock(mutex_);
        std::string category = timing->category();
        put(std::move(category), std::move(timing));
    }
    savePersistentTimings();
}

std::shared_ptr<DZTiming> DZTimingManager::addTimingWithCategory(std::string category) {
    auto timing = std::make_shared<DZTiming>(std::move(category));
    addTiming(timing);
    return timing;
}

std::shared_ptr<DZTiming> DZTimingManager::timingForCategory(std::string_view category) const {
    std::lock_guard lock(mutex_);
    for (const Entry& entry : timings_) {
        if (entry.category == category) return entry.timing;
    }
    return nullptr;
}

void DZTimingManager::removeTimingForCategory(std::string_view category) {
    std::lock_guard lock(mutex_);
    std::erase_if(timings_, [&](const Entry& entry) { return entry.category == category; });
}

std::vector<std::shared_ptr<DZTiming>> DZTimingManager::timings() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<DZTiming>> all;
    all.reserve(timings_.size());
    for (const Entry& entry : timings_) all.push_back(entry.timing);
    return all;
}

std::vector<std::string> DZTimingManager::categories() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    names.reserve(timings_.size());
    for (const Entry& entry : timings_) names.push_back(entry.category);
    return names;
}

void DZTimingManager::loadPersistentTimings() {
    const std::optional<std::string> key = userDefaultsKey();
    if (!key) return;
    const auto stored = core::UserDefaults::standard()->dictionaryForKey(*key);
    if (!stored) return;
    std::lock_guard lock(mutex_);
    for (const auto& [category, form] : *stored) {
        if (!form.isDictionary()) continue;
        put(category, DZTiming::createWithDictionaryRepresentation(form));
    }
}

void DZTimingManager::savePersistentTimings() {
    // The copy is taken and its save queued under one hold of the lock, so
    // the serial queue writes copies in the order of the changes they carry
    // (queued after the lock, a later copy could be written before an older
    // one, which then wins). The forms are taken when the save runs, so they
    // hold every start and end made before it.
    std::lock_guard lock(mutex_);
    if (!userDefaultsKey_) return;
    savingQueue_->async([key = *userDefaultsKey_, snapshot = timings_] {
        core::Dictionary forms;
        for (const Entry& entry : snapshot) {
            forms.set(entry.category, core::Value(entry.timing->dictionaryRepresentation()));
        }
        core::UserDefaults::standard()->setObject(key, core::Value(std::move(forms)));
    });
}

}  // namespace ads
