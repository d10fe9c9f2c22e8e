#include <gtest/gtest.h>

#include <atomic>

#include "support/ManualClockScope.h"
#include "ads/foundation/DZScheduler.h"
#include "core/RunLoop.h"

using namespace ads;

namespace {
bool waitFor(const std::function<bool()>& predicate) {
    return core::RunLoop::main().runUntil(predicate, 5);
}
}  // namespace

TEST(DZScheduler, IdentifiersAreNeverReusedAndNilInputsRegisterNothing) {
    auto scheduler = DZScheduler::create(10);
    auto queue = core::Queue::serial("test.scheduler");
    EXPECT_EQ(scheduler->taskIDScheduledOnQueue(queue, [] {}), 1);
    EXPECT_EQ(scheduler->taskIDScheduledOnQueue(queue, [] {}), 2);
    scheduler->unscheduleTaskWithID(1);
    scheduler->unscheduleTaskWithID(99);
    EXPECT_EQ(scheduler->taskIDScheduledOnQueue(nullptr, [] {}), -1);
    EXPECT_EQ(scheduler->taskIDScheduledOnQueue(queue, nullptr), -1);
    EXPECT_EQ(scheduler->taskIDScheduledOnQueue(queue, [] {}), 3);
    EXPECT_EQ(scheduler->taskCount(), 2u);
}

TEST(DZScheduler, TasksRunOncePerIntervalOnTheirQueuesUntilStopped) {
    testsupport::ManualClockScope clock;
    auto scheduler = DZScheduler::create(30);
    auto queue = core::Queue::serial("test.scheduler.run");
    std::atomic<int> a{0}, b{0};
    std::atomic<bool> offMain{true};
    scheduler->taskIDScheduledOnQueue(queue, [&] {
        if (core::RunLoop::isMainThread()) offMain = false;
        ++a;
    });
    scheduler->taskIDScheduledOnQueue(core::Queue::main(), [&] { ++b; });

    scheduler->start();
    scheduler->start();  // still one timer: one run per interval
    clock.advance(90);
    EXPECT_TRUE(waitFor([&] { return a == 3 && b == 3; }));
    EXPECT_TRUE(offMain);

    scheduler->stop();
    EXPECT_FALSE(scheduler->isStarted());
    clock.advance(90);
    core::RunLoop::main().runOnce();
    queue->sync([] {});
    EXPECT_EQ(a, 3);

    scheduler->start();  // tasks were kept
    clock.advance(30);
    EXPECT_TRUE(waitFor([&] { return a == 4 && b == 4; }));
}

TEST(DZScheduler, DestroyingTheSchedulerEndsItsTimer) {
    testsupport::ManualClockScope clock;
    std::atomic<int> runs{0};
    auto scheduler = DZScheduler::create(1);
    scheduler->taskIDScheduledOnQueue(core::Queue::main(), [&] { ++runs; });
    scheduler->start();
    clock.advance(1);
    EXPECT_TRUE(waitFor([&] { return runs == 1; }));
    scheduler.reset();
    clock.advance(5);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(runs, 1);
}

TEST(DZScheduler, Description) {
    auto scheduler = DZScheduler::create(2.5);
    scheduler->taskIDScheduledOnQueue(core::Queue::main(), [] {});
    const std::string text = scheduler->description();
    EXPECT_EQ(text.rfind("DZScheduler 0x", 0), 0u) << text;
    EXPECT_NE(text.find(": 1 blocks, 2.500000 interval"), std::string::npos) << text;
}
