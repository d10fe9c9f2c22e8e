#include "core/NotificationCenter.h"

#include <algorithm>
#include <utility>

#include "core/Queue.h"

namespace core {

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter;
    return *center;
}

void NotificationCenter::post(std::string name, const void* object, Value userInfo) {
    post(Notification{std::move(name), object, std::move(userInfo)});
}

void NotificationCenter::post(const Notification& notification) {
    std::shared_ptr<const Notification> queuedCopy;
    for (const auto& registration : matching(notification)) {
        deliver(registration, notification, queuedCopy);
    }
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, const void* object,
                                                          std::shared_ptr<Queue> queue,
                                                          Callback callback) {
    auto registration = std::make_shared<Registration>();
    registration->name = std::move(name);
    registration->object = object;
    registration->queue = std::move(queue);
    registration->callback = std::move(callback);
    add(registration);
    return Token{registration->id};
}

void NotificationCenter::addObserver(const std::weak_ptr<void>& observer, std::string name,
                                     const void* object, Callback callback) {
    const auto alive = observer.lock();
    if (!alive) return;
    auto registration = std::make_shared<Registration>();
    registration->name = std::move(name);
    registration->object = object;
    registration->callback = std::move(callback);
    registration->observer = observer;
    registration->observerAddress = alive.get();
    add(std::move(registration));
}

void NotificationCenter::removeObserver(Token token) {
    if (!token) return;
    Registrations released;  // callbacks are released after the lock
    std::lock_guard lock(mutex_);
    Slot* const slot = findLocked(token.id);
    if (!slot) return;
    eraseLocked(*slot, released, true);
    compactLocked();
}

void NotificationCenter::removeObserver(const void* observer) {
    if (!observer) return;
    Registrations released;
    std::lock_guard lock(mutex_);
    const auto found = byObserver_.find(observer);
    if (found == byObserver_.end()) return;
    const std::vector<std::uint64_t> ids = std::move(found->second);
    byObserver_.erase(found);
    for (const std::uint64_t id : ids) {
        if (Slot* const slot = findLocked(id)) eraseLocked(*slot, released, false);
    }
    compactLocked();
}

void NotificationCenter::add(std::shared_ptr<Registration> registration) {
    Registrations released;
    std::lock_guard lock(mutex_);
    const void* const observerAddress = registration->observerAddress;
    // A new object at the address of a released one takes its place.
    if (observerAddress) eraseExpiredLocked(observerAddress, released);
    if (slots_.size() - emptySlots_ >= sweepAt_) {
        eraseExpiredLocked(released);
        sweepAt_ = std::max(kMinimumSweep, 2 * (slots_.size() - emptySlots_));
    }
    compactLocked();
    const std::uint64_t id = nextId_++;
    registration->id = id;
    if (observerAddress) byObserver_[observerAddress].push_back(id);
    slots_.push_back({id, std::move(registration)});
}

NotificationCenter::Registrations NotificationCenter::matching(const Notification& notification) {
    Registrations matched;
    Registrations released;
    std::lock_guard lock(mutex_);
    for (Slot& slot : slots_) {
        const Registration* const registration = slot.registration.get();
        if (!registration) continue;
        if (registration->observerAddress && registration->observer.expired()) {
            eraseLocked(slot, released, true);
            continue;
        }
        if (!registration->name.empty() && registration->name != notification.name) continue;
        if (registration->object && registration->object != notification.object) continue;
        matched.push_back(slot.registration);
    }
    compactLocked();
    return matched;
}

NotificationCenter::Slot* NotificationCenter::findLocked(std::uint64_t id) {
    const auto found =
        std::lower_bound(slots_.begin(), slots_.end(), id,
                         [](const Slot& slot, std::uint64_t value) { return slot.id < value; });
    if (found == slots_.end() || found->id != id || !found->registration) return nullptr;
    return &*found;
}

void NotificationCenter::eraseLocked(Slot& slot, Registrations& released, bool unlist) {
    std::shared_ptr<Registration> registration = std::move(slot.registration);
    ++emptySlots_;
    registration->removed = true;
    if (unlist && registration->observerAddress) {
        const auto ids = byObserver_.find(registration->observerAddress);
        if (ids != byObserver_.end()) {
            std::erase(ids->second, registration->id);
            if (ids->second.empty()) byObserver_.erase(ids);
        }
    }
    released.push_back(std::move(registration));
}

void NotificationCenter::eraseExpiredLocked(Registrations& released) {
    for (Slot& slot : slots_) {
        const Registration* const registration = slot.registration.get();
        if (registration && registration->observerAddress && registration->observer.expired())
            eraseLocked(slot, released, true);
    }
}

void NotificationCenter::eraseExpiredLocked(const void* observerAddress, Registrations& released) {
    const auto found = byObserver_.find(observerAddress);
    if (found == byObserver_.end()) return;
    std::vector<std::uint64_t>& ids = found->second;
    std::erase_if(ids, [&](std::uint64_t id) {
        Slot* const slot = findLocked(id);
        if (!slot) return true;
        if (!slot->registration->observer.expired()) return false;
        eraseLocked(*slot, released, false);
        return true;
    });
    if (ids.empty()) byObserver_.erase(found);
}

void NotificationCenter::compactLocked() {
    if (emptySlots_ < kMinimumSweep || emptySlots_ * 2 < slots_.size()) return;
    std::erase_if(slots_, [](const Slot& slot) { return !slot.registration; });
    emptySlots_ = 0;
}

void NotificationCenter::deliver(const std::shared_ptr<Registration>& registration,
                                 const Notification& notification,
                                 std::shared_ptr<const Notification>& queuedCopy) {
    if (registration->removed) return;
    if (registration->observerAddress) {
        const auto observer = registration->observer.lock();
        if (observer) registration->callback(notification);
        return;
    }
    if (!registration->queue) {
        registration->callback(notification);
        return;
    }
    if (!queuedCopy) queuedCopy = std::make_shared<const Notification>(notification);
    registration->queue->async([registration, copy = queuedCopy] {
        if (!registration->removed) registration->callback(*copy);
    });
}

}  // namespace core
