#include "core/OperationQueue.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/RunLoop.h"

namespace {

using core::OperationQueue;
using core::Queue;
using core::RunLoop;

// A target that keeps what it is handed until the test runs it, so that
// what the operation queue starts, and when, is seen exactly.
class HeldTarget final : public Queue {
public:
    HeldTarget() : Queue("held", Priority::Default) {}
    void async(Task task) override { tasks.push_back(std::move(task)); }
    void sync(const Task& task) override { task(); }
    // Runs the oldest task handed over.
    void runNext() {
        Task task = std::move(tasks.front());
        tasks.pop_front();
        task();
    }
    std::deque<Task> tasks;
};

struct HeldQueue {
    std::shared_ptr<HeldTarget> target = std::make_shared<HeldTarget>();
    std::shared_ptr<OperationQueue> queue =
        std::make_shared<OperationQueue>("test", Queue::Priority::Default, target, false);
    std::vector<std::string> ran;

    // Tasks never run hold the queue that holds the target.
    ~HeldQueue() { target->tasks.clear(); }
    void add(const std::string& name) {
        queue->addOperation([this, name] { ran.push_back(name); });
    }
};

TEST(OperationQueueTest, OneAtATimeStartsEachAfterThePreviousReturned) {
    HeldQueue held;
    held.queue->setMaxConcurrentOperationCount(1);
    held.add("a");
    held.add("b");
    held.add("c");
    EXPECT_EQ(held.target->tasks.size(), 1u);
    EXPECT_EQ(held.queue->operationCount(), 3u);

    held.target->runNext();
    EXPECT_EQ(held.ran, (std::vector<std::string>{"a"}));
    EXPECT_EQ(held.target->tasks.size(), 1u) << "b starts only once a has returned";
    held.target->runNext();
    held.target->runNext();
    EXPECT_EQ(held.ran, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(held.queue->operationCount(), 0u);
}

TEST(OperationQueueTest, SuspendedQueueStartsNothingUntilResumed) {
    HeldQueue held;
    held.queue->setMaxConcurrentOperationCount(1);
    // The first operation suspends the queue while it runs, as a participant
    // that starts to leave does: the second must wait for the resume.
    held.queue->addOperation([&held] {
        held.ran.push_back("a");
        held.queue->setSuspended(true);
    });
    held.add("b");
    held.target->runNext();
    EXPECT_TRUE(held.queue->isSuspended());
    EXPECT_TRUE(held.target->tasks.empty());
    EXPECT_EQ(held.queue->operationCount(), 1u);

    held.add("c");
    EXPECT_TRUE(held.target->tasks.empty());
    held.queue->setSuspended(false);
    ASSERT_EQ(held.target->tasks.size(), 1u);
    held.target->runNext();
    held.target->runNext();
    EXPECT_EQ(held.ran, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(OperationQueueTest, ConcurrencyLimitAndCancellation) {
    HeldQueue held;
    for (const char* name : {"a", "b", "c", "d"}) held.add(name);
    EXPECT_EQ(held.target->tasks.size(), 4u) << "unlimited by default";
    EXPECT_EQ(held.queue->maxConcurrentOperationCount(), OperationQueue::kUnlimited);

    HeldQueue limited;
    limited.queue->setMaxConcurrentOperationCount(0);
    EXPECT_EQ(limited.queue->maxConcurrentOperationCount(), 1);
    limited.queue->setMaxConcurrentOperationCount(2);
    for (const char* name : {"a", "b", "c", "d"}) limited.add(name);
    EXPECT_EQ(limited.target->tasks.size(), 2u);
    limited.queue->cancelAllOperations();
    EXPECT_EQ(limited.queue->operationCount(), 2u) << "running ones go on";
    limited.target->runNext();
    limited.target->runNext();
    EXPECT_TRUE(limited.target->tasks.empty());
    EXPECT_EQ(limited.ran, (std::vector<std::string>{"a", "b"}));
    limited.queue->addOperation({});
    EXPECT_EQ(limited.queue->operationCount(), 0u) << "an empty operation is not added";
}

TEST(OperationQueueTest, MainOperationQueueRunsAfterTheCurrentWorkOnTheMainThread) {
    const auto main = OperationQueue::main();
    EXPECT_EQ(main, OperationQueue::main());
    EXPECT_TRUE(main->isCurrent());
    EXPECT_EQ(main->maxConcurrentOperationCount(), 1);
    main->setMaxConcurrentOperationCount(4);
    EXPECT_EQ(main->maxConcurrentOperationCount(), 1);

    std::vector<std::string> order;
    RunLoop::main().post([&order] { order.push_back("posted"); });
    main->addOperation([&order] {
        EXPECT_TRUE(RunLoop::isMainThread());
        order.push_back("operation");
    });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return order.size() == 2; }, 10));
    EXPECT_EQ(order, (std::vector<std::string>{"posted", "operation"}));

    main->setSuspended(true);
    main->addOperation([&order] { order.push_back("resumed"); });
    (void)RunLoop::main().runOnce();
    EXPECT_EQ(order.size(), 2u);
    main->setSuspended(false);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return order.size() == 3; }, 10));
}

TEST(OperationQueueTest, PoolQueueOneAtATimeKeepsOrderAndWaits) {
    const auto queue = OperationQueue::create("serial operations");
    queue->setMaxConcurrentOperationCount(1);
    std::mutex mutex;
    std::vector<int> order;
    for (int i = 0; i < 50; ++i) {
        queue->addOperation([&, i] {
            EXPECT_EQ(Queue::current(), queue.get());
            std::lock_guard lock(mutex);
            order.push_back(i);
        });
    }
    queue->waitUntilAllOperationsAreFinished();
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);

    bool ran = false;
    queue->sync([&ran] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(OperationQueueTest, OperationsHopSynchronouslyOntoTheMainQueue) {
    // The shape of a foreground-triggered dismissal: an operation that does
    // its work on the main thread and waits for it.
    const auto queue = OperationQueue::create();
    queue->setMaxConcurrentOperationCount(1);
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) {
        queue->addOperation(
            [&order, i] { Queue::main()->sync([&order, i] { order.push_back(i); }); });
    }
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return queue->operationCount() == 0; }, 10));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

}  // namespace
