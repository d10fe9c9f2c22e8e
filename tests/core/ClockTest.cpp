#include "core/Clock.h"

#include <gtest/gtest.h>

#include <time.h>

#include <cmath>
#include <memory>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "support/ManualClockScope.h"

namespace {

using core::Clock;
using core::ManualClock;
using testsupport::ManualClockScope;

TEST(ClockTest, SystemClockReadsTheMachineClocks) {
    const auto clock = std::make_shared<core::SystemClock>();
    const double first = clock->monotonicSeconds();
    EXPECT_GE(clock->monotonicSeconds(), first);
    EXPECT_NEAR(clock->wallSeconds(), static_cast<double>(::time(nullptr)), 2.0);

    timespec boot{};
    ASSERT_EQ(clock_gettime(CLOCK_BOOTTIME, &boot), 0);
    // btime has whole-second resolution and follows wall clock adjustments.
    EXPECT_NEAR(clock->secondsSinceBoot(), static_cast<double>(boot.tv_sec), 5.0);
    EXPECT_TRUE(clock->advancesOnItsOwn());
}

TEST(ClockTest, InstallReplacesTheCurrentClockAndNullRestoresTheSystemOne) {
    const auto original = Clock::current();
    EXPECT_NE(std::dynamic_pointer_cast<core::SystemClock>(original), nullptr);
    {
        ManualClockScope manual;
        EXPECT_EQ(Clock::current().get(), &manual.clock());
        Clock::install(nullptr);
        EXPECT_NE(std::dynamic_pointer_cast<core::SystemClock>(Clock::current()), nullptr);
    }
    EXPECT_EQ(Clock::current(), original);
}

TEST(ClockTest, ManualClockStartsFixedAndAdvancesAllReadingsTogether) {
    ManualClock clock;
    EXPECT_EQ(clock.monotonicSeconds(), ManualClock::kStartMonotonic);
    EXPECT_EQ(clock.wallSeconds(), ManualClock::kStartWall);
    EXPECT_EQ(clock.secondsSinceBoot(), ManualClock::kStartSinceBoot);
    EXPECT_FALSE(clock.advancesOnItsOwn());

    clock.advance(2.5);
    clock.advance(-10);  // monotonic time never goes back
    EXPECT_EQ(clock.monotonicSeconds(), ManualClock::kStartMonotonic + 2.5);
    EXPECT_EQ(clock.wallSeconds(), ManualClock::kStartWall + 2.5);
    EXPECT_EQ(clock.secondsSinceBoot(), ManualClock::kStartSinceBoot + 2.5);
}

// Frame-sized steps (and timers firing at odd times) must not let the large
// wall reading fall behind: "now minus the time since then" is then exact.
TEST(ClockTest, ManyOddStepsKeepTheWallReadingInStepWithTheMonotonicOne) {
    struct Steps {
        double step;
        int count;
    };
    for (const auto [step, steps] : {Steps{0.1, 300}, Steps{1.0 / 60, 600}}) {
        ManualClock clock;
        for (int i = 0; i < steps; ++i) clock.advance(step);
        const long whole = std::lround(steps * step);
        EXPECT_EQ(static_cast<long>(clock.wallSeconds()),
                  static_cast<long>(ManualClock::kStartWall) + whole)
            << step;
    }
}

TEST(ClockTest, ManualWallAndBootClocksCanBeSetSeparatelyAndBackwards) {
    ManualClock clock(5, 100, 50);
    clock.setWallSeconds(40);
    clock.setSecondsSinceBoot(10);
    EXPECT_EQ(clock.wallSeconds(), 40);
    EXPECT_EQ(clock.secondsSinceBoot(), 10);
    EXPECT_EQ(clock.monotonicSeconds(), 5);
    clock.advance(1);
    EXPECT_EQ(clock.wallSeconds(), 41);
    EXPECT_EQ(clock.secondsSinceBoot(), 11);
}

TEST(ClockTest, AdvancingAClockThatIsNotInstalledFiresNothing) {
    ManualClockScope installed;
    int fired = 0;
    auto timer =
        core::Timer::schedule(core::RunLoop::current(), 1, false, [&](core::Timer&) { ++fired; });
    ManualClock other;
    other.advance(10);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(other.monotonicSeconds(), ManualClock::kStartMonotonic + 10);
    timer->invalidate();
}

TEST(ClockTest, InstallingAClockKeepsTheRemainingDelayOfPendingTimers) {
    ManualClockScope first;
    int fired = 0;
    auto timer =
        core::Timer::schedule(core::RunLoop::current(), 30, false, [&](core::Timer&) { ++fired; });
    first.advance(10);

    auto second = std::make_shared<ManualClock>(50'000, 0, 0);
    Clock::install(second);
    EXPECT_DOUBLE_EQ(timer->fireDate(), 50'020);
    second->advance(19.5);
    EXPECT_EQ(fired, 0);
    second->advance(0.5);
    EXPECT_EQ(fired, 1);
}

}  // namespace
