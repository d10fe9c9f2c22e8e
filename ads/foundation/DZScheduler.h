#pragma once
// Fans periodic work out to dispatch queues: a repeating main-run-loop timer
// that, every interval, submits each registered task's block to its queue.
// Tasks stay registered after they run, so each runs once per interval
// until removed.
//
// Threading: register, remove, start and stop on the main thread, where the
// timer fires; only the task blocks run elsewhere, on their own queues.
// Creating the scheduler may happen on any thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/Queue.h"
#include "core/Timer.h"

namespace ads {

struct DZSchedulerTask {
    std::function<void()> block;
    std::shared_ptr<core::Queue> queue;
};

class DZScheduler : public std::enable_shared_from_this<DZScheduler> {
public:
    // A scheduler always has an interval (seconds); it starts idle.
    [[nodiscard]] static std::shared_ptr<DZScheduler> create(double interval);
    ~DZScheduler();
    DZScheduler(const DZScheduler&) = delete;
    DZScheduler& operator=(const DZScheduler&) = delete;

    // Identifiers run 1, 2, 3... and are never reused; -1 (and nothing
    // registered) without a queue or a block.
    std::int64_t taskIDScheduledOnQueue(std::shared_ptr<core::Queue> queue,
                                        std::function<void()> block);
    // Unknown identifiers are ignored.
    void unscheduleTaskWithID(std::int64_t taskID);

    // Starts the repeating timer (tolerance: a tenth of the interval); a
    // second start while started does nothing.
    void start();
    // Invalidates the timer; the tasks stay registered for a later start.
    void stop();
    // Submits every task's block to its queue without waiting.
    void executeBlocks();

    [[nodiscard]] std::string description() const;
    [[nodiscard]] bool isStarted() const { return timer_ != nullptr; }
    [[nodiscard]] size_t taskCount() const { return blocks_.size(); }

private:
    explicit DZScheduler(double interval) : interval_(interval) {}

    std::int64_t taskID_ = 0;
    std::map<std::int64_t, DZSchedulerTask> blocks_;
    double interval_;
    std::shared_ptr<core::Timer> timer_;
};

}  // namespace ads
