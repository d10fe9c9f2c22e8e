#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "ads/foundation/DZContentHashing.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/Label.h"

using namespace ads;

namespace {

bool waitFor(const std::function<bool()>& predicate) {
    return core::RunLoop::main().runUntil(predicate, 5);
}

size_t queuedCount(const DZContentHashing& hashing) {
    size_t count = 0;
    hashing.withContentQueue(
        [&](const DZContentQueue* queue) { count = queue ? queue->count() : 0; });
    return count;
}

std::vector<std::uint64_t> queuedNumbers(const DZContentHashing& hashing) {
    std::vector<std::uint64_t> numbers;
    hashing.withContentQueue([&](const DZContentQueue* queue) {
        if (queue) numbers = queue->sequenceNumbers();
    });
    return numbers;
}

struct Screen {
    std::shared_ptr<ui::View> root = std::make_shared<ui::View>(gfx::Rect(0, 0, 100, 100));
    std::shared_ptr<ui::Label> label = std::make_shared<ui::Label>();
    Screen() {
        auto container = std::make_shared<ui::View>();
        root->addSubview(container);
        container->addSubview(label);
        label->setText("abcdef");
    }
};

}  // namespace

TEST(DZViewHierarchyTraverser, VisitsDepthFirstLastSubviewFirstOnTheMainThread) {
    auto root = std::make_shared<ui::View>();
    std::vector<std::shared_ptr<ui::View>> children;
    for (int i = 1; i <= 3; ++i) {
        auto child = std::make_shared<ui::View>();
        child->setTag(i);
        root->addSubview(child);
        children.push_back(child);
    }
    auto grandchild = std::make_shared<ui::View>();
    grandchild->setTag(11);
    children[0]->addSubview(grandchild);

    auto traverser = DZViewHierarchyTraverser::create();
    std::vector<int> visited;
    std::vector<std::int64_t> numbers;
    bool onMain = true;
    std::optional<bool> finished;
    std::optional<bool> rejected;
    traverser->traverseView(
        root,
        [&](ui::View& view, std::int64_t number) {
            onMain = onMain && core::RunLoop::isMainThread();
            visited.push_back(view.tag());
            numbers.push_back(number);
        },
        [&](bool done) { finished = done; });
    EXPECT_TRUE(traverser->isTraversing());
    traverser->traverseView(
        root, [](ui::View&, std::int64_t) {}, [&](bool done) { rejected = done; });
    children[1]->removeFromSuperview();
    children[1].reset();  // gone before its visit: skipped

    ASSERT_TRUE(waitFor([&] { return finished.has_value() && rejected.has_value(); }));
    EXPECT_TRUE(*finished);
    EXPECT_FALSE(*rejected);
    EXPECT_EQ(visited, (std::vector<int>{0, 3, 1, 11}));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(numbers, std::vector<std::int64_t>(4, 1));
    EXPECT_FALSE(traverser->isTraversing());

    std::optional<bool> nothing;
    traverser->traverseView(
        nullptr, [](ui::View&, std::int64_t) {}, [&](bool done) { nothing = done; });
    ASSERT_TRUE(waitFor([&] { return nothing.has_value(); }));
    EXPECT_FALSE(*nothing);
    EXPECT_EQ(traverser->sequenceNumber(), 1);
}

TEST(DZContentHashing, EachIntervalFingerprintsTheScreenAndKeepsOneCopyOfUnchangedText) {
    testsupport::ManualClockScope clock;
    Screen screen;
    auto hashing = DZContentHashing::create([&] { return screen.root; });
    EXPECT_EQ(hashing->fingerprintWithServedPenaltyDeduction(), std::nullopt);
    hashing->startContentHashing();
    hashing->startContentHashing();
    EXPECT_TRUE(hashing->isHashing());

    clock.advance(10);
    ASSERT_TRUE(waitFor([&] { return queuedCount(*hashing) == 1; }));
    clock.advance(10);
    ASSERT_TRUE(waitFor([&] { return queuedNumbers(*hashing) == std::vector<std::uint64_t>{2}; }));

    // Length 6 + age 2 = 8: served once, then below zero and never again.
    EXPECT_EQ(hashing->fingerprintWithServedPenaltyDeduction(), "qzr4Vg==");
    EXPECT_EQ(hashing->fingerprintWithServedPenaltyDeduction(), std::nullopt);

    screen.label->setText("the quick brown fox jumps over the lazy dog");
    clock.advance(10);
    ASSERT_TRUE(waitFor([&] { return queuedCount(*hashing) == 2; }));
    EXPECT_EQ(hashing->fingerprintWithServedPenaltyDeduction(), "CVKL52qMYV_9iRMRHJHZ9w==");

    hashing->stopContentHashing();
    EXPECT_FALSE(hashing->isHashing());
    clock.advance(30);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(queuedCount(*hashing), 2u);  // kept after stopping

    // Restarting keeps counting sequence numbers on.
    hashing->startContentHashing();
    screen.label->setText("a third text on the screen");
    clock.advance(10);
    ASSERT_TRUE(waitFor([&] { return queuedCount(*hashing) == 1; }));
    EXPECT_EQ(queuedNumbers(*hashing), std::vector<std::uint64_t>{4});
    hashing->stopContentHashing();
}

TEST(DZContentHashing, TextsWithoutShinglesAreNeverQueued) {
    testsupport::ManualClockScope clock;
    Screen screen;
    screen.label->setText("tiny\nbits");
    std::atomic<int> reads{0};
    auto hashing = DZContentHashing::create([&] { return screen.root; },
                                            [&](ui::View& view) {
                                                ++reads;
                                                return DZContentHashing::textOfView(view);
                                            });
    hashing->startContentHashing();
    clock.advance(10);
    ASSERT_TRUE(waitFor([&] { return reads == 3; }));
    // The first traversal ends on a later main-queue turn than its last
    // read: keep advancing until a second one has run.
    ASSERT_TRUE(waitFor([&] {
        if (reads < 6) clock.advance(10);
        return reads >= 6;
    }));
    EXPECT_EQ(queuedCount(*hashing), 0u);
    hashing->stopContentHashing();
}

TEST(DZContentHashing, ServingRacesWithHashingSafely) {
    testsupport::ManualClockScope clock;
    Screen screen;
    screen.label->setText(std::string(200, 'x') + " some words to hash");
    auto hashing = DZContentHashing::create([&] { return screen.root; });
    hashing->startContentHashing();
    std::atomic<bool> stop{false};
    std::atomic<int> served{0};
    std::thread server([&] {
        while (!stop) {
            if (hashing->fingerprintWithServedPenaltyDeduction()) ++served;
        }
    });
    // However the test ends.
    const std::shared_ptr<void> joined(nullptr, [&](void*) {
        stop = true;
        if (server.joinable()) server.join();
    });
    for (int i = 1; i <= 5; ++i) {
        clock.advance(10);
        ASSERT_TRUE(waitFor([&] {
            bool done = false;
            hashing->withContentQueue([&](const DZContentQueue* queue) {
                done = queue && !queue->sequenceNumbers().empty() &&
                       queue->sequenceNumbers().back() == std::uint64_t(i);
            });
            return done;
        }));
    }
    stop = true;
    server.join();
    EXPECT_GE(served, 1);
    hashing->stopContentHashing();
}
