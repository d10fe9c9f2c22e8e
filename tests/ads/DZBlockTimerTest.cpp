#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/ManualClockScope.h"
#include "ads/foundation/DZBlockTimer.h"
#include "core/RunLoop.h"

using namespace ads;

TEST(DZBlockTimer, TimerMadeOnAWorkerFiresOnMainEveryInterval) {
    testsupport::ManualClockScope clock;
    std::atomic<int> fires{0};
    std::atomic<bool> allOnMain{true};
    std::shared_ptr<core::Timer> timer;
    std::thread worker([&] {
        timer = DZCreateBlockTimer(
            true,
            [&](core::Timer&) {
                if (!core::RunLoop::isMainThread()) allOnMain = false;
                ++fires;
            },
            60, 6);
    });
    worker.join();
    EXPECT_DOUBLE_EQ(timer->tolerance(), 6);

    clock.advance(59);
    EXPECT_EQ(fires, 0);
    clock.advance(121);
    EXPECT_EQ(fires, 3);
    EXPECT_TRUE(allOnMain);

    timer->invalidate();
    clock.advance(600);
    EXPECT_EQ(fires, 3);
}

TEST(DZBlockTimer, ToleranceOnlyWhenPositiveAndOneShotEndsByItself) {
    testsupport::ManualClockScope clock;
    int fires = 0;
    auto zero = DZCreateBlockTimer(false, [&](core::Timer&) { ++fires; }, 1, 0);
    auto negative = DZCreateBlockTimer(false, [&](core::Timer&) { ++fires; }, 1, -0.5);
    EXPECT_EQ(zero->tolerance(), 0);
    EXPECT_EQ(negative->tolerance(), 0);

    clock.advance(5);
    EXPECT_EQ(fires, 2);
    EXPECT_FALSE(zero->isValid());
    EXPECT_FALSE(negative->isValid());
}

TEST(DZBlockTimer, TargetWithoutBlockFiresAsNoOp) {
    testsupport::ManualClockScope clock;
    auto timer = DZCreateBlockTimer(false, nullptr, 1, 0);
    clock.advance(2);
    EXPECT_FALSE(timer->isValid());
}
