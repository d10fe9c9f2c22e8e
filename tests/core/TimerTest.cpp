#include "core/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"

namespace {

using core::RunLoop;
using core::Timer;
using testsupport::ManualClockScope;

constexpr double kLimit = 10.0;

class TimerTest : public testing::Test {
protected:
    double elapsed() const {
        return clock->monotonicSeconds() - core::ManualClock::kStartMonotonic;
    }

    ManualClockScope clock;
};

TEST_F(TimerTest, RepeatingTimerFiresOncePerIntervalCrossed) {
    std::vector<double> firedAt;
    auto timer =
        Timer::schedule(RunLoop::main(), 60, true, [&](Timer&) { firedAt.push_back(elapsed()); });
    clock.advance(59.5);
    EXPECT_TRUE(firedAt.empty());
    clock.advance(120.5);
    EXPECT_EQ(firedAt, (std::vector<double>{60, 120, 180}));
    EXPECT_TRUE(timer->isValid());
    EXPECT_EQ(timer->fireDate(), core::ManualClock::kStartMonotonic + 240);
    timer->invalidate();
}

TEST_F(TimerTest, OneShotTimerFiresOnceThenIsInvalid) {
    int fired = 0;
    auto timer = Timer::schedule(RunLoop::main(), 1.5, false, [&](Timer&) { ++fired; });
    EXPECT_TRUE(timer->isValid());
    clock.advance(10);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isValid());
    clock.advance(10);
    EXPECT_EQ(fired, 1);
}

TEST_F(TimerTest, TimersFireInFireDateOrderThenInTheOrderAdded) {
    std::vector<int> order;
    std::vector<std::shared_ptr<Timer>> timers;
    for (const auto& [delay, id] :
         std::vector<std::pair<double, int>>{{3, 3}, {1, 1}, {2, 2}, {1, 10}}) {
        timers.push_back(Timer::schedule(RunLoop::main(), delay, false,
                                         [&order, id = id](Timer&) { order.push_back(id); }));
    }
    clock.advance(5);
    EXPECT_EQ(order, (std::vector<int>{1, 10, 2, 3}));
}

TEST_F(TimerTest, InvalidateFromTheCallbackStopsARepeatingTimerAndReleasesIt) {
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    auto timer = Timer::schedule(RunLoop::main(), 10, true, [captured](Timer& self) {
        if (++*captured == 2) self.invalidate();
    });
    captured.reset();
    clock.advance(100);
    EXPECT_FALSE(timer->isValid());
    EXPECT_TRUE(watch.expired());  // the callback and what it held are gone
}

TEST_F(TimerTest, InvalidateFromAnotherThreadPreventsFiring) {
    int fired = 0;
    auto timer = Timer::schedule(RunLoop::main(), 5, false, [&](Timer&) { ++fired; });
    std::thread([timer] { timer->invalidate(); }).join();
    clock.advance(10);
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerTest, TimerMadeOnAWorkerForTheMainLoopFiresOnMain) {
    std::thread::id firedOn;
    std::shared_ptr<Timer> timer;
    std::thread([&] {
        timer = Timer::schedule(RunLoop::main(), 2, false,
                                [&](Timer&) { firedOn = std::this_thread::get_id(); });
    }).join();
    clock.advance(2);
    EXPECT_EQ(firedOn, std::this_thread::get_id());
}

TEST_F(TimerTest, ManualAdvanceWakesOtherLoopsWhichFireEverySlot) {
    std::atomic<int> fired{0};
    std::atomic<bool> ready{false};
    std::atomic<bool> finish{false};
    std::shared_ptr<Timer> timer;
    std::thread worker([&] {
        timer = Timer::schedule(RunLoop::current(), 60, true, [&](Timer&) { ++fired; });
        ready = true;
        EXPECT_TRUE(RunLoop::current().runUntil([&] { return finish.load(); }, kLimit));
        timer->invalidate();
    });
    // However the test ends.
    const std::shared_ptr<void> joined(nullptr, [&](void*) {
        finish = true;
        if (worker.joinable()) worker.join();
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return ready.load(); }, kLimit));
    clock.advance(180);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return fired == 3; }, kLimit));
    finish = true;
    worker.join();
    EXPECT_EQ(fired, 3);
}

TEST_F(TimerTest, ZeroDelayTimersMadeByACallbackWaitForTheNextPass) {
    auto& loop = RunLoop::main();
    int chain = 0;
    std::function<void(Timer&)> again = [&](Timer&) {
        if (++chain < 3) Timer::schedule(loop, 0, false, again);
    };
    Timer::schedule(loop, 0, false, again);
    EXPECT_EQ(loop.runOnce(), 1u);
    EXPECT_EQ(loop.runOnce(), 1u);
    EXPECT_EQ(loop.runOnce(), 1u);
    EXPECT_EQ(loop.runOnce(), 0u);
    EXPECT_EQ(chain, 3);
}

TEST_F(TimerTest, CreatedTimersRunOnlyOnceAddedAndFireManually) {
    int fired = 0;
    auto timer = Timer::create(
        5, true, [&](Timer&) { ++fired; }, 0.5);
    EXPECT_EQ(timer->tolerance(), 0.5);
    timer->setTolerance(-1);
    EXPECT_EQ(timer->tolerance(), 0);
    clock.advance(10);
    EXPECT_EQ(fired, 0);

    timer->fire();  // a repeating timer stays scheduled as it was
    EXPECT_EQ(fired, 1);
    RunLoop::main().add(timer);
    RunLoop::main().add(timer);  // again on its own loop: no second entry
    // Due since 5 s and 10 s: with a manual clock both slots fire in one
    // pass. The main loop is shared with the tests before: a delayed task
    // one of them left under its manual clock can be due in the same pass.
    EXPECT_GE(RunLoop::main().runOnce(), 2u);
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(timer->fireDate(), core::ManualClock::kStartMonotonic + 15);
    timer->invalidate();

    auto oneShot = Timer::create(5, false, [&](Timer&) { ++fired; });
    oneShot->fire();
    EXPECT_FALSE(oneShot->isValid());
    RunLoop::main().add(oneShot);  // invalid timers are not scheduled
    clock.advance(10);
    EXPECT_EQ(fired, 4);
}

TEST_F(TimerTest, SetFireDateMovesTheNextFiring) {
    std::vector<double> firedAt;
    auto timer = Timer::schedule(RunLoop::main(), 10, false, [&](Timer& self) {
        firedAt.push_back(elapsed());
        if (firedAt.size() == 1) self.setFireDate(self.fireDate() + 3);  // keeps a one-shot alive
    });
    timer->setFireDate(core::ManualClock::kStartMonotonic + 4);
    clock.advance(20);
    EXPECT_EQ(firedAt, (std::vector<double>{4, 7}));
    EXPECT_FALSE(timer->isValid());
}

TEST(TimerRealClockTest, MissedIntervalsAreSkippedWithTheRealClock) {
    auto& loop = RunLoop::main();
    // Work posted to the main loop before this test (a URL session's last
    // notices, say) runs first, so that the pass below is this timer's alone.
    for (int pass = 0; pass < 100 && loop.runOnce() > 0; ++pass) {
    }
    int fired = 0;
    auto timer = Timer::schedule(loop, 1000, true, [&](Timer&) { ++fired; });
    const double now = core::Clock::current()->monotonicSeconds();
    const double late = now - 10'500;  // ten and a half intervals late
    timer->setFireDate(late);
    EXPECT_EQ(loop.runOnce(), 1u);
    EXPECT_EQ(fired, 1);
    EXPECT_DOUBLE_EQ(timer->fireDate(), late + 11'000);
    timer->invalidate();
}

TEST(TimerDeathTest, AddingATimerToASecondLoopStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto timer = Timer::schedule(RunLoop::main(), 100, false, [](Timer&) {});
    EXPECT_DEATH(std::thread([&] { RunLoop::current().add(timer); }).join(),
                 "belongs to another run loop");
    timer->invalidate();
}

}  // namespace
