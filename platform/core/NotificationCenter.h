#pragma once
// Broadcasts notifications to the observers registered for them. post()
// delivers on the posting thread before it returns, in the order the
// observers were added; an observer added with a queue instead gets a copy
// of the notification submitted to that queue with async(). An observer
// matches when its name is empty or equal to the notification's, and its
// object is null or the same address.
//
// Callbacks may add and remove observers and post: a post delivers to the
// observers registered when it began, skipping any removed before its turn
// (a queued delivery is also dropped when its observer was removed before
// it ran). An observer object registered through a weak pointer is dropped
// once it is destroyed, and kept alive while a delivery to it runs.
//
// Adding and removing cost at most the logarithm of the number of
// registrations (amortised), so a process may keep many; a post looks at
// every registration.
//
// Thread-safe. A removal on one thread does not wait for a delivery already
// running on another.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/Notification.h"
#include "core/Value.h"

namespace core {

class Queue;

class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    // Names a registration made with a block; the default token names none.
    struct Token {
        std::uint64_t id = 0;
        explicit operator bool() const { return id != 0; }
    };

    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    void post(std::string name, const void* object = nullptr, Value userInfo = Value());
    void post(const Notification& notification);

    // queue may be null: the callback then runs on the posting thread. The
    // token is needed only to remove the registration.
    Token addObserver(std::string name, const void* object, std::shared_ptr<Queue> queue,
                      Callback callback);
    // Registers on behalf of observer, which removeObserver(observer) later
    // names; an expired observer registers nothing.
    void addObserver(const std::weak_ptr<void>& observer, std::string name, const void* object,
                     Callback callback);

    void removeObserver(Token token);
    // Every registration made on behalf of observer.
    void removeObserver(const void* observer);

private:
    struct Registration {
        std::uint64_t id = 0;
        std::string name;
        const void* object = nullptr;
        std::shared_ptr<Queue> queue;
        Callback callback;
        std::weak_ptr<void> observer;
        const void* observerAddress = nullptr;  // set for observer registrations
        std::atomic<bool> removed{false};
    };
    using Registrations = std::vector<std::shared_ptr<Registration>>;
    struct Slot {
        std::uint64_t id = 0;
        std::shared_ptr<Registration> registration;  // null once removed
    };

    void add(std::shared_ptr<Registration> registration);
    [[nodiscard]] Registrations matching(const Notification& notification);
    // The slot of a registration not yet removed, or nullptr.
    [[nodiscard]] Slot* findLocked(std::uint64_t id);
    // Empties the slot, its registration marked removed, into released
    // (whose callbacks the caller lets go of after the lock); unlist takes
    // it out of byObserver_ too.
    void eraseLocked(Slot& slot, Registrations& released, bool unlist);
    // Those whose observer object is gone; every one, or those of one address.
    void eraseExpiredLocked(Registrations& released);
    void eraseExpiredLocked(const void* observerAddress, Registrations& released);
    // Drops the empty slots once they are as many as the others.
    void compactLocked();
    static void deliver(const std::shared_ptr<Registration>& registration,
                        const Notification& notification,
                        std::shared_ptr<const Notification>& queuedCopy);

    static constexpr size_t kMinimumSweep = 64;

    std::mutex mutex_;
    // In the order the registrations were added, which is that of their ids.
    std::vector<Slot> slots_;
    size_t emptySlots_ = 0;
    // The ids of the observer registrations, by observer address.
    std::unordered_map<const void*, std::vector<std::uint64_t>> byObserver_;
    // add() drops every expired registration once there are this many, so
    // that observers released without removing themselves cost no memory
    // for long even when nothing is posted.
    size_t sweepAt_ = kMinimumSweep;
    std::uint64_t nextId_ = 1;
};

}  // namespace core
