#include "core/RunLoopQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

TEST(RunLoopQueueTest, RunsTasksInOrderOnItsLoopsThreadAndDropsThemOnceTheThreadHasEnded) {
    std::promise<core::RunLoop*> ready;
    std::atomic<bool> quit{false};
    std::thread worker([&] {
        core::RunLoop& loop = core::RunLoop::current();
        ready.set_value(&loop);
        (void)loop.runUntil([&] { return quit.load(); }, 30.0);
    });
    const auto queue = core::RunLoopQueue::of(*ready.get_future().get());

    std::vector<std::thread::id> threads;
    std::vector<int> order;
    bool currentInside = false;
    queue->async([&] { order.push_back(1); });
    queue->async([&] { order.push_back(2); });
    queue->sync([&] {
        order.push_back(3);
        threads.push_back(std::this_thread::get_id());
        currentInside = queue->isCurrent();
    });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(threads, (std::vector<std::thread::id>{worker.get_id()}));
    EXPECT_TRUE(currentInside);
    EXPECT_FALSE(queue->isCurrent());

    quit = true;
    worker.join();
    bool ran = false;
    queue->async([&] { ran = true; });
    queue->sync([&] { ran = true; });  // returns without running
    EXPECT_FALSE(ran);

    EXPECT_EQ(core::RunLoopQueue::of(core::RunLoop::main()), core::Queue::main());
}

}  // namespace
