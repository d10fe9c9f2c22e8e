// The process's own threads stop as exit begins, before any static object
// is destroyed, however late that static was made. Each case runs in a
// child process of its own that exits while work still runs; a static made
// after the work started poisons itself when destroyed and waits for a
// thread to show itself, which ends the child with status 3.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/ProcessExit.h"
#include "core/Queue.h"
#include "core/ThreadPool.h"

namespace {

constexpr int kRanAfterDestruction = 3;

// A static whose destruction any later reader notices.
struct Checker {
    std::atomic<bool> destroyed{false};
    std::atomic<bool> stopped{false};
    ~Checker() {
        destroyed.store(true);
        // Time for a thread still running to read it.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    void read() const {
        if (destroyed.load()) _exit(kRanAfterDestruction);
    }
};

Checker& checker() {
    static Checker made;
    return made;
}

// A job that reads the checker and submits itself again, as a repeating
// task of the SDK's does.
void readForever() {
    checker().read();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    core::ThreadPool::shared().submit(0, readForever);
}

TEST(ProcessExitDeathTest, StopsRunBeforeStaticsMadeLaterAreDestroyed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            core::ProcessExit::atStart([] { checker().stopped.store(true); });
            // Made after the stop was registered: an atexit handler
            // registered with the stop would run after its destruction.
            struct Late {
                ~Late() {
                    if (!checker().stopped.load()) _exit(kRanAfterDestruction);
                }
            };
            static Late late;
            (void)late;
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(ProcessExitDeathTest, SharedPoolRunsNoJobOnceStaticsAreDestroyed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The pool first, then the static its jobs read.
            (void)core::ThreadPool::shared();
            (void)checker();
            core::ThreadPool::shared().submit(0, readForever);
            core::Queue::global()->async([] { checker().read(); });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(ProcessExitTest, AStopRegisteredWhileStopsRunRunsAtOnce) {
    // Only in a child: the stops of this process are its exit's.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool inner = false;
            core::ProcessExit::atStart([&inner] {
                core::ProcessExit::atStart([&inner] { inner = true; });
            });
            core::ProcessExit::runStops();
            _exit(inner && core::ProcessExit::exiting() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
