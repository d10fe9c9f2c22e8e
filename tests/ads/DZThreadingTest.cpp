#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ads/foundation/DZThreading.h"

using namespace ads;

namespace {
struct ReleaseProbe {
    ReleaseProbe(std::atomic<bool>* onMain, std::atomic<bool>* gone)
        : destroyedOnMain(onMain), destroyed(gone) {}
    std::atomic<bool>* destroyedOnMain;
    std::atomic<bool>* destroyed;
    ~ReleaseProbe() {
        destroyedOnMain->store(core::RunLoop::isMainThread());
        destroyed->store(true);
    }
};
}  // namespace

TEST(DZThreading, RunOnMainThreadIsSynchronousOnlyOnMain) {
    bool ranInline = false;
    DZRunOnMainThread([&] { ranInline = true; });
    EXPECT_TRUE(ranInline);

    std::atomic<bool> ran{false}, ranOnMain{false}, ranBeforeReturn{false};
    std::thread worker([&] {
        DZRunOnMainThread([&] {
            ranOnMain = core::RunLoop::isMainThread();
            ran = true;
        });
        ranBeforeReturn = ran.load();
    });
    worker.join();
    EXPECT_FALSE(ranBeforeReturn);
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return ran.load(); }, 5));
    EXPECT_TRUE(ranOnMain);
}

TEST(DZThreading, LastReleaseHappensOnMain) {
    std::atomic<bool> onMain{false}, destroyed{false};
    std::thread worker([&] {
        auto probe = std::make_shared<ReleaseProbe>(&onMain, &destroyed);
        DZReleaseOnMainThread(std::move(probe));
    });
    worker.join();
    EXPECT_FALSE(destroyed);
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return destroyed.load(); }, 5));
    EXPECT_TRUE(onMain);
}

TEST(DZThreading, StopRunLoopEndsAWorkerLoopButNeverTheMainOne) {
    std::atomic<core::RunLoop*> workerLoop{nullptr};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        workerLoop = &core::RunLoop::current();
        core::RunLoop::current().run();
        finished = true;
    });
    while (!workerLoop.load()) std::this_thread::yield();
    DZStopRunLoopOnThread(*workerLoop.load());
    worker.join();
    EXPECT_TRUE(finished);

    // On the main thread the stop is ignored: a later run() still runs its work.
    DZThreadStop().stopCurrentRunLoop();
    bool ran = false;
    core::RunLoop::main().post([&] {
        ran = true;
        core::RunLoop::main().stop();
    });
    core::RunLoop::main().run();
    EXPECT_TRUE(ran);
}

TEST(DZThreading, QueuesCarryTheirLabelAndPriority) {
    using Priority = core::Queue::Priority;
    auto cache = DZCreateQueueWithQoS(DZQueueLabel("resource-cache"), DZQoSUserInitiated);
    EXPECT_EQ(cache->label(), "com.dozuza.vuraz.resource-cache");
    EXPECT_EQ(cache->priority(), Priority::UserInitiated);
    EXPECT_EQ(DZCreateQueueWithQoS("a", DZQoSDefault)->priority(), Priority::Default);
    EXPECT_EQ(DZCreateQueueWithQoS("b", DZQoSBackground)->priority(), Priority::Background);
    EXPECT_EQ(DZCreateQueueWithQoS("c", DZQoSUserInteractive)->priority(), Priority::UserInteractive);

    // Serial: tasks never overlap and keep their order.
    std::vector<int> order;
    for (int i = 0; i < 50; ++i) cache->async([&order, i] { order.push_back(i); });
    cache->sync([] {});
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}
