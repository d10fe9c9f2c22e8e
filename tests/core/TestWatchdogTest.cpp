// The test binaries' watchdog ends a binary whose test hangs, naming it,
// and lets a test that ends in time go on.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/TestWatchdog.h"

namespace {

TEST(TestWatchdogDeathTest, ATestPastTheLimitEndsTheBinaryNamingIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            testsupport::TestWatchdog watchdog(0.2);
            watchdog.arm("Suite.Hung");
            std::this_thread::sleep_for(std::chrono::seconds(3));
        },
        "Suite.Hung ran past 0 s");
}

TEST(TestWatchdogTest, ATestThatEndsInTimeGoesOn) {
    // Tests far shorter than the limit, so that a busy machine's late
    // wake-ups never reach it; then longer than the limit with none armed.
    testsupport::TestWatchdog watchdog(1.0);
    for (int test = 0; test < 3; ++test) {
        watchdog.arm("Suite.Quick");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        watchdog.disarm();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
}

}  // namespace
