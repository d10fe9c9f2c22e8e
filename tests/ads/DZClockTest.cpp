#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/ManualClockScope.h"
#include "ads/foundation/DZClock.h"

using namespace ads;

// The first reading needs a process that has never read the clock: the
// threadsafe death-test style runs the body in a freshly started copy.
TEST(DZClockDeathTest, FirstReadingsAreOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            core::Clock::install(std::make_shared<core::ManualClock>());
            bool ok = DZMonotonicMilliseconds() == 1 && DZMonotonicMilliseconds() == 1;
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(DZClock, CountsMillisecondsOnTheInstalledClockAndNeverGoesBack) {
    testsupport::ManualClockScope clock;
    const std::uint64_t start = DZMonotonicMilliseconds();
    EXPECT_GE(start, 1u);
    clock.advance(2.5);
    EXPECT_EQ(DZMonotonicMilliseconds(), start + 2500);
    clock.advance(0.01);  // not exactly representable: still 10 ms
    EXPECT_EQ(DZMonotonicMilliseconds(), start + 2510);
    clock.advance(0.0004);
    EXPECT_EQ(DZMonotonicMilliseconds(), start + 2510);

    // A new clock whose scale starts far lower: the count goes on.
    {
        testsupport::ManualClockScope other;
        other->advance(0);
        EXPECT_EQ(DZMonotonicMilliseconds(), start + 2510);
        other.advance(0.25);
        EXPECT_EQ(DZMonotonicMilliseconds(), start + 2760);
    }
}

TEST(DZClock, ReadingsNeverDecreaseAcrossThreads) {
    std::vector<std::thread> threads;
    std::atomic<bool> ordered{true};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            std::uint64_t previous = 0;
            for (int i = 0; i < 20000; ++i) {
                std::uint64_t now = DZMonotonicMilliseconds();
                if (now < previous || now == 0) ordered = false;
                previous = now;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_TRUE(ordered);
}

TEST(DZClock, SecondsSinceBootFollowTheClock) {
    testsupport::ManualClockScope clock;
    clock->setSecondsSinceBoot(500);
    EXPECT_DOUBLE_EQ(DZSecondsSinceBoot(), 500);
    clock->setSecondsSinceBoot(20);  // the wall clock stepped back
    EXPECT_DOUBLE_EQ(DZSecondsSinceBoot(), 20);
}
