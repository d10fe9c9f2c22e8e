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
// Thread-safe. A removal on one thread does not wait for a delivery already
// running on another.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
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

    void add(std::shared_ptr<Registration> registration);
    [[nodiscard]] Registrations matching(const Notification& notification);
    void removeIf(const std::function<bool(const Registration&)>& predicate);
    static void deliver(const std::shared_ptr<Registration>& registration,
                        const Notification& notification,
                        std::shared_ptr<const Notification>& queuedCopy);

    std::mutex mutex_;
    Registrations registrations_;
    std::uint64_t nextId_ = 1;
};

}  // namespace core
