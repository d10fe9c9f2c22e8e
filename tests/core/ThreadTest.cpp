#include "core/Thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(ThreadTest, PerformsInOrderOnItsNamedThreadWaitingOrNot) {
    const std::string name = "com.dozuza.VoveruDiririVur.GLView.RenderThread";
    // Work performed before the entry runs the loop waits for it.
    std::promise<void> gate;
    auto opened = gate.get_future().share();
    auto thread = core::Thread::start(name, [opened] {
        opened.wait();
        core::RunLoop::current().run();
    });
    EXPECT_EQ(thread->name(), name);
    EXPECT_FALSE(thread->isCurrent());

    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::string systemName;
    bool nestedRanAtOnce = false;
    EXPECT_TRUE(thread->perform([&] { order.push_back(1); }, false));
    EXPECT_TRUE(thread->perform([&] { order.push_back(2); }, false));
    gate.set_value();
    EXPECT_TRUE(thread->perform(
        [&] {
            order.push_back(3);
            threads.push_back(std::this_thread::get_id());
            char buffer[32] = {};
            pthread_getname_np(pthread_self(), buffer, sizeof buffer);
            systemName = buffer;
            bool ran = false;
            thread->perform([&] { ran = true; }, true);
            nestedRanAtOnce = ran && thread->isCurrent();
        },
        true));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(threads[0], std::this_thread::get_id());
    EXPECT_EQ(systemName, name.substr(0, core::Thread::kMaxSystemNameLength));
    EXPECT_TRUE(nestedRanAtOnce);

    // A stop from a task ends the loop, and the entry and thread with it.
    EXPECT_TRUE(thread->perform([] { core::RunLoop::current().stop(); }, false));
    thread->join();
    EXPECT_TRUE(thread->isFinished());
    bool ranLate = false;
    EXPECT_FALSE(thread->perform([&] { ranLate = true; }, false));
    EXPECT_FALSE(thread->perform([&] { ranLate = true; }, true));
    EXPECT_FALSE(ranLate);
}

TEST(ThreadTest, AWaitingPerformReturnsWhenTheThreadEndsBeforeItsTurn) {
    std::promise<void> gate;
    auto opened = gate.get_future().share();
    // This entry never runs its loop: work performed on it is never run.
    auto thread = core::Thread::start("short-lived", [opened] { opened.wait(); });
    std::atomic<bool> ran{false};
    auto waiting =
        std::async(std::launch::async, [&] { return thread->perform([&] { ran = true; }, true); });
    gate.set_value();
    EXPECT_FALSE(waiting.get());
    EXPECT_FALSE(ran.load());
    thread->join();
}

TEST(ThreadTest, WithoutAnEntryRunsItsLoopUntilStopped) {
    auto thread = core::Thread::start("looping");
    int passes = 0;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(thread->perform([&] { ++passes; }, true));
    EXPECT_EQ(passes, 3);
    EXPECT_FALSE(thread->isFinished());
    (void)thread->perform([] { core::RunLoop::current().stop(); }, false);
    thread->join();
    EXPECT_TRUE(thread->isFinished());
}

}  // namespace
