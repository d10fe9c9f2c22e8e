#include <gtest/gtest.h>

#include <vector>

#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/AnimationActivity.h"
#include "ui/ScrollAnimation.h"
#include "ui/View.h"

using ui::View;

namespace {

TEST(ViewAnimationTest, EndStateAtOnceCompletionAfterTheDuration) {
    const testsupport::ManualClockScope clock;
    const auto view = std::make_shared<View>(gfx::Rect(0, 0, 10, 10));
    int completions = 0;
    bool finishedFlag = false;
    View::animate(
        0.3, [&] { view->setAlpha(0.25); },
        [&](bool finished) {
            ++completions;
            finishedFlag = finished;
        });
    EXPECT_DOUBLE_EQ(view->alpha(), 0.25);
    EXPECT_EQ(completions, 0);

    clock.advance(0.299);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(completions, 0);
    clock.advance(0.001);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(finishedFlag);
}

TEST(ViewAnimationTest, DelayAddsToTheDuration) {
    const testsupport::ManualClockScope clock;
    bool done = false;
    View::animate(
        0.2, [] {}, [&](bool) { done = true; }, {.delay = 0.5});
    clock.advance(0.69);
    core::RunLoop::main().runOnce();
    EXPECT_FALSE(done);
    clock.advance(0.01);
    core::RunLoop::main().runOnce();
    EXPECT_TRUE(done);
}

TEST(ViewAnimationTest, ZeroDurationStillCompletesLater) {
    const testsupport::ManualClockScope clock;
    bool done = false;
    View::animate(
        0, [] {}, [&](bool) { done = true; });
    EXPECT_FALSE(done);
    core::RunLoop::main().runOnce();
    EXPECT_TRUE(done);
}

TEST(ViewAnimationTest, NestedBlocksShareTheOuterTiming) {
    const testsupport::ManualClockScope clock;
    std::vector<bool> insideDuring;
    std::vector<int> order;
    EXPECT_FALSE(View::isInsideAnimation());
    View::animate(
        1.0,
        [&] {
            insideDuring.push_back(View::isInsideAnimation());
            View::animate(
                0.1, [&] { insideDuring.push_back(View::isInsideAnimation()); },
                [&](bool) { order.push_back(2); });
        },
        [&](bool) { order.push_back(1); });
    EXPECT_FALSE(View::isInsideAnimation());
    EXPECT_EQ(insideDuring, (std::vector<bool>{true, true}));

    clock.advance(0.5);
    core::RunLoop::main().runOnce();
    EXPECT_TRUE(order.empty());
    clock.advance(0.5);
    core::RunLoop::main().runOnce();
    // Both end together, inner first (it was scheduled first).
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

}  // namespace

namespace {

TEST(ViewAnimationTest, RunningAnimationsAreCountedUntilTheyEnd) {
    const testsupport::ManualClockScope clock;
    const size_t before = ui::AnimationActivity::count();
    View::animate(
        0.3, [] {}, [](bool) {});
    View::animate(0.3, [] {});  // nothing left to come
    EXPECT_EQ(ui::AnimationActivity::count(), before + 1);
    clock.advance(0.3);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(ui::AnimationActivity::count(), before);

    ui::ScrollAnimation scroll;
    scroll.start({0, 0}, {0, 100}, 0.25, ui::ScrollAnimation::Curve::EaseOut, {}, {});
    scroll.start({0, 0}, {0, 50}, 0.25, ui::ScrollAnimation::Curve::EaseOut, {}, {});
    EXPECT_EQ(ui::AnimationActivity::count(), before + 1) << "a restart replaces the run";
    clock.advance(0.25);
    EXPECT_FALSE(scroll.isRunning());
    EXPECT_EQ(ui::AnimationActivity::count(), before);
    scroll.start({0, 0}, {0, 50}, 0.25, ui::ScrollAnimation::Curve::EaseOut, {}, {});
    scroll.cancel();
    EXPECT_EQ(ui::AnimationActivity::count(), before);
}

}  // namespace
