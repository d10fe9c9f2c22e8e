#include <gtest/gtest.h>

#include "ads/foundation/DZQueueSync.h"

using namespace ads;

TEST(DZQueueSync, RunsOnTheQueueOrInlineWhenAlreadyOnIt) {
    auto queue = core::Queue::serial("test.queue-sync");
    std::vector<int> order;
    queue->async([&] { order.push_back(1); });
    bool onQueue = false;
    DZSyncOnQueue(*queue, [&] {
        onQueue = queue->isCurrent();
        order.push_back(2);
    });
    EXPECT_TRUE(onQueue);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));

    // From a task of the queue itself: inline, where a plain sync would stop
    // the process.
    queue->sync([&] {
        DZSyncOnQueue(*queue, [&] { order.push_back(3); });
        order.push_back(4);
    });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));

    // The main queue from the main thread alike.
    DZSyncOnQueue(*core::Queue::main(), [&] { order.push_back(5); });
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.back(), 5);
}
