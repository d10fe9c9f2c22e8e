#include "core/Queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/RunLoop.h"
#include "core/ThreadPool.h"
#include "support/ManualClockScope.h"

namespace {

using core::Queue;
using core::RunLoop;
using testsupport::ManualClockScope;

constexpr double kLimit = 10.0;

bool waitFor(const std::function<bool()>& predicate) {
    return RunLoop::main().runUntil(predicate, kLimit);
}

// Holds back tasks until opened.
class Gate {
public:
    void wait() {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [&] { return open_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

TEST(QueueTest, MainQueueRunsTasksOnTheMainLoopInOrder) {
    auto main = Queue::main();
    EXPECT_EQ(main, Queue::main());
    EXPECT_TRUE(main->isCurrent());
    EXPECT_EQ(Queue::current(), main.get());

    std::vector<int> order;
    std::thread([&] {
        for (int i = 0; i < 100; ++i) main->async([&, i] { order.push_back(i); });
    }).join();
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(waitFor([&] { return order.size() == 100; }));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
}

TEST(QueueTest, GlobalQueueTasksRunOffTheMainThreadAndKnowTheirQueue) {
    auto global = Queue::global(Queue::Priority::Utility);
    EXPECT_EQ(global, Queue::global(Queue::Priority::Utility));
    EXPECT_NE(global, Queue::global());
    EXPECT_FALSE(global->isCurrent());

    std::atomic<bool> done{false};
    bool onMain = true, isCurrent = false, mainIsCurrent = true;
    Queue* current = nullptr;
    global->async([&] {
        onMain = RunLoop::isMainThread();
        isCurrent = global->isCurrent();
        mainIsCurrent = Queue::main()->isCurrent();
        current = Queue::current();
        done = true;
    });
    ASSERT_TRUE(waitFor([&] { return done.load(); }));
    EXPECT_FALSE(onMain);
    EXPECT_TRUE(isCurrent);
    EXPECT_FALSE(mainIsCurrent);
    EXPECT_EQ(current, global.get());
}

TEST(QueueTest, QueueCurrentIsNullOnAPlainThread) {
    Queue* current = Queue::main().get();
    std::thread([&] { current = Queue::current(); }).join();
    EXPECT_EQ(current, nullptr);
}

TEST(QueueTest, SerialQueueOverItsOwnPoolRunsOnThatPoolsWorkers) {
    core::ThreadPool pool(1, 1);
    std::promise<std::thread::id> worker;
    pool.submit(0, [&] { worker.set_value(std::this_thread::get_id()); });
    const std::thread::id poolThread = worker.get_future().get();

    auto serial = Queue::serial("test.own-pool", pool);
    std::promise<std::thread::id> ran;
    serial->async([&] { ran.set_value(std::this_thread::get_id()); });
    EXPECT_EQ(ran.get_future().get(), poolThread);
}

TEST(QueueTest, SerialQueueRunsOneTaskAtATimeInSubmissionOrder) {
    auto serial = Queue::serial("test.serial");
    EXPECT_EQ(serial->label(), "test.serial");
    constexpr int kThreads = 4;
    constexpr int kTasks = 2000;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::vector<int>> seen(kThreads);  // written only by the queue's tasks

    auto task = [&](int thread, int index) {
        if (inside.fetch_add(1) != 0) overlapped = true;
        seen[thread].push_back(index);
        inside.fetch_sub(1);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTasks; ++i) {
                if (i % 97 == 0) {
                    serial->sync([&, t, i] { task(t, i); });
                } else {
                    serial->async([&, t, i] { task(t, i); });
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    serial->sync([] {});  // everything submitted before it has run

    EXPECT_FALSE(overlapped);
    for (const auto& list : seen) {
        ASSERT_EQ(list.size(), static_cast<size_t>(kTasks));
        for (int i = 0; i < kTasks; ++i) ASSERT_EQ(list[i], i);
    }
}

TEST(QueueTest, SyncRunsAfterEarlierTasksAndReturnsWhenDone) {
    auto serial = Queue::serial("test.sync");
    Gate gate;
    std::vector<std::string> order;
    serial->async([&] {
        gate.wait();
        order.push_back("async");
    });
    std::thread opener([&] { gate.open(); });
    serial->sync([&] { order.push_back("sync"); });
    EXPECT_EQ(order, (std::vector<std::string>{"async", "sync"}));
    opener.join();
}

TEST(QueueTest, IsCurrentHoldsInsideNestedSyncs) {
    auto outer = Queue::serial("test.outer");
    auto inner = Queue::serial("test.inner");
    bool outerCurrent = false, innerCurrent = false, outerCurrentAfter = false;
    Queue* current = nullptr;
    outer->sync([&] {
        inner->sync([&] {
            outerCurrent = outer->isCurrent();
            innerCurrent = inner->isCurrent();
            current = Queue::current();
        });
        outerCurrentAfter = outer->isCurrent() && !inner->isCurrent();
    });
    EXPECT_TRUE(outerCurrent);
    EXPECT_TRUE(innerCurrent);
    EXPECT_EQ(current, inner.get());
    EXPECT_TRUE(outerCurrentAfter);
    EXPECT_FALSE(outer->isCurrent());
}

TEST(QueueTest, GlobalTasksSyncOntoASerialQueueWithoutStarvingThePool) {
    // Every pool worker sits in a global task while the serial queue has a
    // task waiting for a worker; the syncs must still all complete.
    const size_t workers = core::ThreadPool::shared().workerCount();
    auto serial = Queue::serial("test.pool");
    Gate gate;
    std::atomic<size_t> blocked{0};
    std::atomic<int> counter{0};
    std::atomic<size_t> finished{0};
    for (size_t i = 0; i < workers; ++i) {
        Queue::global()->async([&] {
            ++blocked;
            gate.wait();
            serial->sync([&] { ++counter; });
            ++finished;
        });
    }
    ASSERT_TRUE(waitFor([&] { return blocked == workers; }));
    serial->async([&] { counter += 1000; });
    gate.open();
    ASSERT_TRUE(waitFor([&] { return finished == workers; }));
    serial->sync([] {});
    EXPECT_EQ(counter, 1000 + static_cast<int>(workers));
}

TEST(QueueTest, MainQueueSyncFromAWorkerRunsOnMain) {
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        Queue::main()->sync([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    // However the test ends; the worker waits for the main loop.
    const std::shared_ptr<void> joined(nullptr, [&](void*) {
        if (!worker.joinable()) return;
        (void)waitFor([&] { return returned.load(); });
        worker.join();
    });
    ASSERT_TRUE(waitFor([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(QueueTest, AfterOnTheMainQueueFollowsTheManualClock) {
    ManualClockScope clock;
    std::vector<std::string> order;
    Queue::main()->after(5, [&] { order.push_back("5s"); });
    Queue::main()->after(2, [&] { order.push_back("2s"); });
    clock.advance(1.5);
    EXPECT_TRUE(order.empty());
    clock.advance(3);
    EXPECT_EQ(order, (std::vector<std::string>{"2s"}));
    clock.advance(0.5);
    EXPECT_EQ(order, (std::vector<std::string>{"2s", "5s"}));
}

TEST(QueueTest, AfterOnASerialQueueFollowsTheManualClock) {
    ManualClockScope clock;
    auto serial = Queue::serial("test.after");
    std::atomic<int> fired{0};
    std::vector<std::string> order;  // written on the serial queue
    serial->after(10, [&] {
        order.push_back("10s");
        ++fired;
    });
    serial->after(3, [&] {
        order.push_back("3s");
        ++fired;
    });
    clock.advance(2.5);
    // A later zero delay goes through the same delay loop: once it ran, the
    // loop has seen the clock at 2.5 s.
    std::atomic<bool> flushed{false};
    serial->after(0, [&] { flushed = true; });
    ASSERT_TRUE(waitFor([&] { return flushed.load(); }));
    serial->sync([] {});
    EXPECT_EQ(fired, 0);

    clock.advance(10);
    ASSERT_TRUE(waitFor([&] { return fired == 2; }));
    serial->sync([] {});
    EXPECT_EQ(order, (std::vector<std::string>{"3s", "10s"}));
}

TEST(QueueDeathTest, SyncOntoTheCurrentQueueStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto serial = Queue::serial("test.self");
    EXPECT_DEATH(serial->sync([&] { serial->sync([] {}); }), "'test.self'.*would deadlock");

    auto other = Queue::serial("test.other");
    EXPECT_DEATH(serial->sync([&] { other->sync([&] { serial->sync([] {}); }); }),
                 "'test.self'.*would deadlock");
    EXPECT_DEATH(Queue::main()->sync([] {}), "'main'.*would deadlock");
}

TEST(QueueDeathTest, SyncOntoTheCurrentGlobalQueueStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto global = Queue::global();
    EXPECT_DEATH(global->sync([&] { global->sync([] {}); }), "would deadlock");
}

TEST(ThreadPoolTest, HigherLevelsRunFirstAndEachLevelInOrder) {
    std::vector<std::string> order;  // one worker: no two jobs at once
    Gate gate;
    {
        core::ThreadPool pool(1, 3);
        std::atomic<bool> started{false};
        pool.submit(0, [&] {
            started = true;
            gate.wait();
        });
        ASSERT_TRUE(waitFor([&] { return started.load(); }));
        pool.submit(0, [&] { order.push_back("low 1"); });
        pool.submit(2, [&] { order.push_back("high 1"); });
        pool.submit(1, [&] { order.push_back("middle"); });
        pool.submit(7, [&] { order.push_back("high 2"); });  // past the top: the top level
        pool.submit(0, [&] { order.push_back("low 2"); });
        gate.open();
    }  // the destructor runs what is queued, then joins
    EXPECT_EQ(order, (std::vector<std::string>{"high 1", "high 2", "middle", "low 1", "low 2"}));
}

}  // namespace
