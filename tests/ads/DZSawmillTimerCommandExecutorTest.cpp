#include <gtest/gtest.h>

#include "SawmillTesting.h"
#include "ads/foundation/DZSawmillTimerCommandExecutor.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"

using namespace ads;

namespace {

std::shared_ptr<core::Timer> waitForTimer(const DZSawmillTimerCommandExecutor& executor) {
    (void)core::RunLoop::main().runUntil([&] { return executor.timer() != nullptr; }, 5.0);
    return executor.timer();
}

const core::Value kBeacon30(core::Dictionary{
    {"beacon", core::Dictionary{{"time_interval_sec", 30.0}}}});

}  // namespace

TEST(DZSawmillTimerCommandExecutorTest, BeaconsEveryIntervalWithATenthAsTolerance) {
    testsupport::ManualClockScope clock;
    const auto inner = std::make_shared<testsupport::RecordingSawmillExecutor>();
    inner->loaded = false;
    const auto executor = DZSawmillTimerCommandExecutor::create(inner, 30);
    const auto timer = waitForTimer(*executor);
    ASSERT_TRUE(timer);
    EXPECT_DOUBLE_EQ(timer->interval(), 30.0);
    EXPECT_DOUBLE_EQ(timer->tolerance(), 3.0);

    clock.advance(29.9);
    EXPECT_TRUE(inner->calls().empty());
    clock.advance(0.1);
    ASSERT_EQ(inner->calls().size(), 1u) << "beacons go out even while not loaded";
    EXPECT_EQ(inner->calls()[0], core::Array{kBeacon30});
    clock.advance(60);
    EXPECT_EQ(inner->calls().size(), 3u);

    EXPECT_FALSE(executor->isLoaded());
    executor->asynchronouslyExecuteCommands(core::Array{core::Dictionary{{"id", "x"}}});
    EXPECT_EQ(inner->calls().size(), 4u);
}

TEST(DZSawmillTimerCommandExecutorTest, NonPositiveIntervalBeaconsEverySixtySeconds) {
    testsupport::ManualClockScope clock;
    for (const double interval : {0.0, -5.0}) {
        const auto inner = std::make_shared<testsupport::RecordingSawmillExecutor>();
        const auto executor = DZSawmillTimerCommandExecutor::create(inner, interval);
        EXPECT_DOUBLE_EQ(executor->beaconTimeInterval(), 60.0);
        ASSERT_TRUE(waitForTimer(*executor));
        clock.advance(59);
        EXPECT_TRUE(inner->calls().empty());
        clock.advance(1);
        ASSERT_EQ(inner->calls().size(), 1u);
        EXPECT_EQ(inner->calls()[0][0]["beacon"]["time_interval_sec"], core::Value(60.0));
    }
}

TEST(DZSawmillTimerCommandExecutorTest, ReleaseStopsTheBeacon) {
    testsupport::ManualClockScope clock;
    const auto inner = std::make_shared<testsupport::RecordingSawmillExecutor>();
    auto executor = DZSawmillTimerCommandExecutor::create(inner, 10);
    const auto timer = waitForTimer(*executor);
    executor.reset();
    EXPECT_FALSE(timer->isValid());
    clock.advance(30);
    EXPECT_TRUE(inner->calls().empty());
    EXPECT_FALSE(DZSawmillTimerCommandExecutor::create(nullptr, 10));
}
