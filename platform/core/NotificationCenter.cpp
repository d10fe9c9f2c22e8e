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
    removeIf([&](const Registration& registration) { return registration.id == token.id; });
}

void NotificationCenter::removeObserver(const void* observer) {
    if (!observer) return;
    removeIf(
        [&](const Registration& registration) { return registration.observerAddress == observer; });
}

void NotificationCenter::add(std::shared_ptr<Registration> registration) {
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [](const auto& existing) {
        return existing->observerAddress && existing->observer.expired();
    });
    registration->id = nextId_++;
    registrations_.push_back(std::move(registration));
}

NotificationCenter::Registrations NotificationCenter::matching(const Notification& notification) {
    Registrations matched;
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [](const auto& existing) {
        if (!existing->observerAddress || !existing->observer.expired()) return false;
        existing->removed = true;
        return true;
    });
    for (const auto& registration : registrations_) {
        if (!registration->name.empty() && registration->name != notification.name) continue;
        if (registration->object && registration->object != notification.object) continue;
        matched.push_back(registration);
    }
    return matched;
}

void NotificationCenter::removeIf(const std::function<bool(const Registration&)>& predicate) {
    Registrations removed;  // callbacks are released after the lock
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [&](const auto& registration) {
        if (!predicate(*registration)) return false;
        registration->removed = true;
        removed.push_back(registration);
        return true;
    });
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
