#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "display/MainLoopDriver.h"
#include "support/ManualClockScope.h"

using display::MainLoopDriver;

namespace {

class MainLoopDriverTest : public testing::Test {
protected:
    void SetUp() override {
        // Whatever earlier tests left on the main loop runs first.
        while (core::RunLoop::main().runOnce() > 0) {
        }
    }

    testsupport::ManualClockScope clock_;
    std::atomic<int> wakes_{0};
};

void postFromAnotherThread(core::RunLoop::Task task) {
    std::thread([task = std::move(task)]() mutable {
        core::RunLoop::main().post(std::move(task));
    }).join();
}

}  // namespace

TEST(MainLoopDriverWaitTest, SecondsBecomeWholeMillisecondsRoundedUp) {
    EXPECT_EQ(MainLoopDriver::toMilliseconds(std::nullopt), -1);
    EXPECT_EQ(MainLoopDriver::toMilliseconds(0.0), 0);
    EXPECT_EQ(MainLoopDriver::toMilliseconds(-2.0), 0);
    EXPECT_EQ(MainLoopDriver::toMilliseconds(0.001), 1);
    EXPECT_EQ(MainLoopDriver::toMilliseconds(0.0101), 11);
    EXPECT_EQ(MainLoopDriver::toMilliseconds(1e12), 3'600'000);
}

TEST_F(MainLoopDriverTest, TheWaitEndsWhenTheNextTimerIsDue) {
    MainLoopDriver driver([this] { ++wakes_; });
    EXPECT_EQ(driver.waitMilliseconds(), -1);

    int fired = 0;
    const auto timer = core::Timer::schedule(core::RunLoop::main(), 2.5, false,
                                             [&fired](core::Timer&) { ++fired; });
    EXPECT_EQ(driver.waitMilliseconds(), 2500);
    clock_->advance(1);
    EXPECT_EQ(driver.waitMilliseconds(), 1500);

    core::RunLoop::main().post([] {});
    EXPECT_EQ(driver.waitMilliseconds(), 0);
    EXPECT_EQ(driver.runDueWork(), 1u);
    EXPECT_EQ(driver.waitMilliseconds(), 1500);

    clock_->advance(1.5);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(driver.waitMilliseconds(), -1);
}

TEST_F(MainLoopDriverTest, WorkPostedFromAnotherThreadWakesTheWaiterOncePerTurn) {
    MainLoopDriver driver([this] { ++wakes_; });
    int ran = 0;
    postFromAnotherThread([&ran] { ++ran; });
    postFromAnotherThread([&ran] { ++ran; });
    EXPECT_EQ(wakes_, 1);  // one wake until the waiter has run the work
    EXPECT_EQ(driver.waitMilliseconds(), 0);

    EXPECT_EQ(driver.runDueWork(), 2u);
    EXPECT_EQ(ran, 2);
    postFromAnotherThread([&ran] { ++ran; });
    EXPECT_EQ(wakes_, 2);
    (void)driver.runDueWork();
}

TEST_F(MainLoopDriverTest, WorkThatPostsMoreRunsInTheSameTurnWithinALimit) {
    MainLoopDriver driver([] {});
    int chained = 0;
    core::RunLoop::main().post([&chained] {
        ++chained;
        core::RunLoop::main().post([&chained] { ++chained; });
    });
    EXPECT_EQ(driver.runDueWork(), 2u);
    EXPECT_EQ(chained, 2);

    // A task that always posts again cannot keep the window from its events.
    std::function<void()> forever;
    int spins = 0;
    forever = [&] {
        ++spins;
        core::RunLoop::main().post(forever);
    };
    core::RunLoop::main().post(forever);
    EXPECT_EQ(driver.runDueWork(5), 5u);
    EXPECT_EQ(spins, 5);
    EXPECT_EQ(driver.waitMilliseconds(), 0);
    forever = [] {};
    (void)driver.runDueWork();
}

TEST_F(MainLoopDriverTest, NoWakesOnceTheDriverIsGone) {
    {
        MainLoopDriver driver([this] { ++wakes_; });
    }
    postFromAnotherThread([] {});
    EXPECT_EQ(wakes_, 0);
    (void)core::RunLoop::main().runOnce();
}
