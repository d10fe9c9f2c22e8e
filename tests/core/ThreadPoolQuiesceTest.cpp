#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/ThreadPool.h"

TEST(ThreadPoolQuiesce, WaitsForRunningJobsAndRunsNoMore) {
    core::ThreadPool pool(2, 1);
    std::atomic<bool> started{false}, finished{false}, lateRan{false};
    pool.submit(0, [&] {
        started = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        finished = true;
    });
    while (!started) std::this_thread::yield();
    pool.quiesce(std::chrono::seconds(5));
    EXPECT_TRUE(finished);  // quiesce returned only after the running job
    pool.submit(0, [&] { lateRan = true; });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(lateRan);
}
