#include "core/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/Timer.h"
#include "support/ManualClockScope.h"

namespace {

using core::RunLoop;
using testsupport::ManualClockScope;

constexpr double kLimit = 10.0;  // real seconds granted to other threads

// The test thread's loop is the process's main loop: work that earlier tests
// left on it (a session telling its delegate it ended, after the test had
// its answer) runs first, so that a test counts only its own.
RunLoop& drainedLoop() {
    auto& loop = RunLoop::current();
    while (loop.runOnce() > 0) {
    }
    return loop;
}

TEST(RunLoopTest, MainLoopBelongsToTheTestThreadAndEachThreadHasItsOwn) {
    EXPECT_TRUE(RunLoop::isMainThread());
    EXPECT_EQ(&RunLoop::main(), &RunLoop::current());
    EXPECT_EQ(&RunLoop::bindMainToCurrentThread(), &RunLoop::main());

    RunLoop* workerLoop = nullptr;
    bool workerIsMain = true;
    std::thread([&] {
        workerLoop = &RunLoop::current();
        workerIsMain = RunLoop::isMainThread();
        EXPECT_EQ(workerLoop, &RunLoop::current());
    }).join();
    EXPECT_NE(workerLoop, &RunLoop::main());
    EXPECT_FALSE(workerIsMain);
}

TEST(RunLoopTest, PostedTasksRunInOrderAndLaterOnesWaitForTheNextPass) {
    auto& loop = drainedLoop();
    std::vector<std::string> order;
    loop.post([&] {
        order.push_back("a");
        loop.post([&] { order.push_back("c"); });
    });
    loop.post([&] { order.push_back("b"); });
    EXPECT_EQ(loop.runOnce(), 2u);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(loop.runOnce(), 1u);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(loop.runOnce(), 0u);
}

TEST(RunLoopTest, NestedPassesKeepPostingOrder) {
    auto& loop = drainedLoop();
    std::vector<int> order;
    loop.post([&] {
        order.push_back(1);
        loop.post([&] { order.push_back(4); });
        loop.runOnce();  // 2, 3 and 4 were waiting when it began
        loop.post([&] { order.push_back(5); });
    });
    loop.post([&] { order.push_back(2); });
    loop.post([&] { order.push_back(3); });
    loop.runOnce();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    loop.runOnce();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(RunLoopTest, DueTimersFireBeforeTheWaitingTasksOfAPass) {
    ManualClockScope clock;
    auto& loop = drainedLoop();
    std::vector<std::string> order;
    loop.post([&] { order.push_back("task"); });
    auto timer =
        core::Timer::schedule(loop, 0, false, [&](core::Timer&) { order.push_back("timer"); });
    EXPECT_EQ(loop.runOnce(), 2u);
    EXPECT_EQ(order, (std::vector<std::string>{"timer", "task"}));
}

TEST(RunLoopTest, TasksFromSeveralThreadsKeepEachThreadsOrder) {
    auto& loop = RunLoop::main();
    constexpr int kThreads = 4;
    constexpr int kTasks = 500;
    std::vector<std::vector<int>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTasks; ++i) loop.post([&, t, i] { seen[t].push_back(i); });
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(loop.runUntil(
        [&] {
            for (const auto& list : seen) {
                if (list.size() < kTasks) return false;
            }
            return true;
        },
        kLimit));
    for (const auto& list : seen) {
        for (int i = 0; i < kTasks; ++i) ASSERT_EQ(list[i], i);
    }
}

TEST(RunLoopTest, RunUntilSeesAPredicateSetByAnotherThread) {
    std::promise<void> started;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        started.get_future().wait();
        done = true;  // no post: the loop must still notice
    });
    RunLoop::main().post([&] { started.set_value(); });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return done.load(); }, kLimit));
    worker.join();
}

TEST(RunLoopTest, RunUntilGivesUpAfterItsRealTimeLimit) {
    ManualClockScope clock;  // the limit is real time, not the injected clock
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunLoop::main().runUntil([] { return false; }, 0.05));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(clock->monotonicSeconds(), core::ManualClock::kStartMonotonic);
}

TEST(RunLoopTest, StopFromAnotherThreadEndsRun) {
    auto& loop = RunLoop::main();
    std::promise<void> running;
    bool ran = false;
    loop.post([&] {
        ran = true;
        running.set_value();
    });
    std::thread stopper([&] {
        running.get_future().wait();
        loop.stop();  // the loop is running, or asleep waiting for work
    });
    loop.run();
    stopper.join();
    EXPECT_TRUE(ran);
}

TEST(RunLoopTest, StopBeforeRunEndsTheNextRunOnly) {
    auto& loop = RunLoop::main();
    loop.stop();
    loop.run();  // returns at once

    int ran = 0;
    loop.post([&] {
        ++ran;
        loop.stop();
    });
    loop.run();
    EXPECT_EQ(ran, 1);
}

TEST(RunLoopTest, StopEndsTheInnermostRun) {
    auto& loop = RunLoop::main();
    std::vector<std::string> order;
    loop.post([&] {
        loop.post([&] { loop.stop(); });
        loop.run();
        order.push_back("inner returned");
        loop.post([&] { loop.stop(); });
    });
    loop.run();
    order.push_back("outer returned");
    EXPECT_EQ(order, (std::vector<std::string>{"inner returned", "outer returned"}));
}

TEST(RunLoopDeathTest, RunningAnotherThreadsLoopStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(std::thread([] { RunLoop::main().runOnce(); }).join(), "does not own the loop");
}

}  // namespace
