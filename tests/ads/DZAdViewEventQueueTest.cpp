// The queue of SDK events an ad view holds for its page: events wait while
// it is suspended (at most a given number), run in the order they were
// added once it resumes, and cancelling drops what has not begun.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "ads/foundation/DZThreading.h"
#include "ads/web/view/DZAdViewEventQueue.h"
#include "core/RunLoop.h"

namespace {

class DZAdViewEventQueueTest : public testing::Test {
protected:
    ads::DZAdViewEventQueue queue{
        ads::DZCreateQueueWithQoS(ads::DZQueueLabel("event-queue-test"), ads::DZQoSDefault)};
    std::mutex mutex;
    std::vector<int> ran;

    ads::DZAdViewEventQueue::Operation record(int number) {
        return [this, number] {
            std::lock_guard lock(mutex);
            ran.push_back(number);
        };
    }
    std::vector<int> ranSoFar() {
        std::lock_guard lock(mutex);
        return ran;
    }
    bool waitForCount(size_t count) {
        return core::RunLoop::main().runUntil([&] { return ranSoFar().size() >= count; }, 10);
    }
};

TEST_F(DZAdViewEventQueueTest, WaitingEventsRunInOrderOnceResumedAndTheCapHoldsWhileSuspended) {
    EXPECT_TRUE(queue.isSuspended());
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(queue.addOperation(record(i), 20));
    EXPECT_FALSE(queue.addOperation(record(20), 20));
    EXPECT_EQ(queue.operationCount(), 20u);

    queue.setSuspended(false);
    // Once resumed there is no cap.
    for (int i = 21; i < 60; ++i) EXPECT_TRUE(queue.addOperation(record(i), 20));
    ASSERT_TRUE(waitForCount(59));
    std::vector<int> expected;
    for (int i = 0; i < 60; ++i)
        if (i != 20) expected.push_back(i);
    EXPECT_EQ(ranSoFar(), expected);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST_F(DZAdViewEventQueueTest, CancellingDropsWaitingAndSubmittedOperations) {
    ASSERT_TRUE(queue.addOperation(record(1), 20));
    queue.cancelAllOperations();
    EXPECT_EQ(queue.operationCount(), 0u);

    // An operation under way holds the serial queue while two wait behind it.
    std::mutex gateMutex;
    std::condition_variable gateChanged;
    bool open = false;
    bool entered = false;
    queue.setSuspended(false);
    ASSERT_TRUE(queue.addOperation(
        [&] {
            std::unique_lock lock(gateMutex);
            entered = true;
            gateChanged.notify_all();
            gateChanged.wait(lock, [&] { return open; });
        },
        20));
    {
        std::unique_lock lock(gateMutex);
        ASSERT_TRUE(gateChanged.wait_for(lock, std::chrono::seconds(10), [&] { return entered; }));
    }
    ASSERT_TRUE(queue.addOperation(record(2), 20));
    ASSERT_TRUE(queue.addOperation(record(3), 20));
    queue.cancelAllOperations();
    ASSERT_TRUE(queue.addOperation(record(4), 20));
    {
        std::lock_guard lock(gateMutex);
        open = true;
    }
    gateChanged.notify_all();
    // Had 2 or 3 run, they would have run before 4.
    ASSERT_TRUE(waitForCount(1));
    EXPECT_EQ(ranSoFar(), std::vector<int>{4});
}

}  // namespace
