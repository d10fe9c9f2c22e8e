#pragma once
// The SDK events an ad view holds for its page. While suspended (as long as
// the page loads) operations wait; once resumed they run one after another,
// in the order they were added, on a serial queue of their own, so events
// reach the page in the order they were dispatched. Cancelling drops every
// operation that has not begun. Any thread.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "core/Queue.h"

namespace ads {

class DZAdViewEventQueue {
public:
    using Operation = std::function<void()>;

    // Starts suspended.
    explicit DZAdViewEventQueue(std::shared_ptr<core::Queue> queue);
    DZAdViewEventQueue(const DZAdViewEventQueue&) = delete;
    DZAdViewEventQueue& operator=(const DZAdViewEventQueue&) = delete;

    // Adds the operation, unless the queue is suspended and already holds
    // limitWhileSuspended or more: false when the operation was dropped.
    bool addOperation(Operation operation, size_t limitWhileSuspended);
    void setSuspended(bool suspended);
    [[nodiscard]] bool isSuspended() const;
    void cancelAllOperations();
    // Operations added and not yet begun or cancelled.
    [[nodiscard]] size_t operationCount() const;

private:
    struct State {
        std::mutex mutex;
        std::deque<Operation> waiting;
        bool suspended = true;
        // Cancelling moves it on; submitted operations of an older one skip.
        std::uint64_t generation = 0;
        size_t submitted = 0;
    };

    // With the state's lock held.
    void submitLocked(Operation operation);

    const std::shared_ptr<core::Queue> queue_;
    const std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace ads
