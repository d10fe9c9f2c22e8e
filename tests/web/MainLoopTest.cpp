// The main run loop as a source of GLib's main context: its meaning stays
// (posts, timers on either clock, nested runs, stop) while GLib's own
// sources and watched descriptors are served in the same wait.

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "support/ManualClockScope.h"
#include "web/MainLoop.h"

namespace {

// Runs passes, each waiting up to a minute, until done() holds; answers
// whether that came long before a minute (a wait was woken, not timed out).
// Work an earlier test left behind may end passes first: it runs too. work
// is what the last pass did.
bool wokenWithin(core::RunLoop& loop, const std::function<bool()>& done, size_t& work) {
    const auto start = std::chrono::steady_clock::now();
    const auto limit = std::chrono::seconds(30);
    work = 0;
    while (!done() && std::chrono::steady_clock::now() - start < limit) work = loop.runOnce(60);
    return done() && std::chrono::steady_clock::now() - start < limit;
}

class MainLoopTest : public testing::Test {
protected:
    void SetUp() override {
        web::MainLoop::install();
        ASSERT_TRUE(web::MainLoop::isInstalled());
    }
    core::RunLoop& loop = core::RunLoop::main();
};

TEST_F(MainLoopTest, APostFromAnotherThreadEndsTheWait) {
    std::atomic<bool> ran = false;
    std::thread poster([&] { loop.post([&] { ran = true; }); });
    size_t work = 0;
    EXPECT_TRUE(wokenWithin(loop, [&] { return ran.load(); }, work));
    poster.join();
    EXPECT_GE(work, 1u);
}

TEST_F(MainLoopTest, GLibSourcesRunWhileTheLoopWaits) {
    bool timedOut = false;
    g_timeout_add(
        5,
        [](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &timedOut);
    EXPECT_TRUE(loop.runUntil([&] { return timedOut; }, 30));

    // run() ends on a stop made from a GLib callback.
    g_idle_add(
        [](gpointer) -> gboolean {
            core::RunLoop::main().stop();
            return G_SOURCE_REMOVE;
        },
        nullptr);
    loop.run();
}

TEST_F(MainLoopTest, TimersFireOnTheRealClockAndTheManualOne) {
    bool fired = false;
    core::Timer::schedule(loop, 0.02, false, [&](core::Timer&) { fired = true; });
    EXPECT_TRUE(loop.runUntil([&] { return fired; }, 30));

    testsupport::ManualClockScope clock;
    int ticks = 0;
    core::Timer::schedule(loop, 10, true, [&](core::Timer& timer) {
        if (++ticks == 2) timer.invalidate();
    });
    EXPECT_EQ(loop.runOnce(0), 0u);
    // Advanced on another thread, the clock wakes GLib's wait.
    std::thread advancer([&] { clock.advance(10); });
    size_t work = 0;
    EXPECT_TRUE(wokenWithin(loop, [&] { return ticks == 1; }, work));
    advancer.join();
    EXPECT_GE(work, 1u);
    EXPECT_EQ(ticks, 1);
    clock.advance(10);  // on the loop's thread: fires inside advance()
    EXPECT_EQ(ticks, 2);
}

TEST_F(MainLoopTest, ATaskMayRunTheLoopAgain) {
    bool inner = false;
    bool outer = false;
    loop.post([&] {
        loop.post([&] { inner = true; });
        EXPECT_TRUE(loop.runUntil([&] { return inner; }, 30));
        outer = true;
    });
    EXPECT_TRUE(loop.runUntil([&] { return outer; }, 30));
}

TEST_F(MainLoopTest, AWatchedDescriptorEndsTheWait) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    bool buffered = false;
    const auto watch = loop.host()->watchReadable(fds[0], [&] { return buffered; });
    std::thread writer([&] { ASSERT_EQ(write(fds[1], "x", 1), 1); });
    loop.host()->iterate(60);  // returns once the byte is there
    writer.join();
    char byte = 0;
    ASSERT_EQ(read(fds[0], &byte, 1), 1);

    buffered = true;  // events already read out of the descriptor
    loop.host()->iterate(60);
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
