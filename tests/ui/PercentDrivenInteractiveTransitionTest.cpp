#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "RecordingController.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/AnimationCompletionCapture.h"
#include "ui/PercentDrivenInteractiveTransition.h"
#include "ui/TransitionContext.h"
#include "ui/TransitioningDelegate.h"

using testsupport::EventLog;
using testsupport::recording;
using testsupport::RecordingController;
using testsupport::VisibleWindow;
using ui::PercentDrivenInteractiveTransition;

namespace {

// Slides the dismissed view away and fades it in one animation; its
// completion ends the transition the way the context says it went.
class SlideAway : public ui::AnimatedTransitioning {
public:
    double transitionDuration(ui::TransitionContext&) override { return 0.4; }
    void animateTransition(ui::TransitionContext& context) override {
        const auto view = context.viewForKey(ui::TransitionKey::From);
        ui::View::animate(
            0.4,
            [&] {
                view->setTransform(gfx::AffineTransform::translation(100, 0));
                view->setAlpha(0.2);
            },
            [this, context = context.shared_from_this()](bool) {
                sawCancelled = context->transitionWasCancelled();
                context->completeTransition(!context->transitionWasCancelled());
            });
    }
    std::optional<bool> sawCancelled;
};

class InteractiveDismissal : public ui::TransitioningDelegate {
public:
    std::shared_ptr<ui::AnimatedTransitioning>
    animationControllerForDismissed(const std::shared_ptr<ui::ViewController>&) override {
        return animator;
    }
    std::shared_ptr<ui::InteractiveTransitioning>
    interactionControllerForDismissal(const std::shared_ptr<ui::AnimatedTransitioning>&) override {
        return interactive ? interaction : nullptr;
    }

    std::shared_ptr<SlideAway> animator = std::make_shared<SlideAway>();
    std::shared_ptr<PercentDrivenInteractiveTransition> interaction =
        std::make_shared<PercentDrivenInteractiveTransition>();
    bool interactive = true;
};

// M is presented over R and being dismissed through the percent-driven
// interaction, on a manual clock.
class PercentDrivenInteractiveTransitionTest : public testing::Test {
protected:
    testsupport::ManualClockScope clock;
    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    std::shared_ptr<RecordingController> root = recording("R", log);
    std::shared_ptr<RecordingController> modal = recording("M", log);
    std::shared_ptr<InteractiveDismissal> transitions = std::make_shared<InteractiveDismissal>();
    VisibleWindow window{root};
    int completions = 0;

    void SetUp() override {
        root->presentViewController(modal, false);
        modal->setTransitioningDelegate(transitions);
        modal->dismissViewController(true, [this] { ++completions; });
        log->take();
    }
    void advance(double seconds) {
        clock.advance(seconds);
        core::RunLoop::main().runOnce();
    }
    [[nodiscard]] bool presented() const { return root->presentedViewController() == modal; }
    [[nodiscard]] PercentDrivenInteractiveTransition& interaction() const {
        return *transitions->interaction;
    }
};

TEST_F(PercentDrivenInteractiveTransitionTest, HoldsTheTransitionOpenWhileInteracting) {
    EXPECT_TRUE(interaction().isInteracting());
    EXPECT_DOUBLE_EQ(interaction().duration(), 0.4);
    EXPECT_DOUBLE_EQ(modal->view()->alpha(), 0.2) << "the animator ran at once";
    advance(5);
    EXPECT_TRUE(presented());
    EXPECT_EQ(completions, 0);
    EXPECT_FALSE(transitions->animator->sawCancelled.has_value());
    interaction().finish();
    advance(0.4);
    EXPECT_FALSE(presented());
}

TEST_F(PercentDrivenInteractiveTransitionTest, FinishCompletesAfterTheRestOfTheDuration) {
    interaction().update(0.75);
    EXPECT_DOUBLE_EQ(interaction().percentComplete(), 0.75);
    interaction().finish();
    EXPECT_FALSE(interaction().isInteracting());
    advance(0.09);
    EXPECT_TRUE(presented());
    advance(0.01);
    EXPECT_FALSE(presented());
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(transitions->animator->sawCancelled, false);
    EXPECT_EQ(log->take(), (std::vector<std::string>{"M didDisappear", "R didAppear"}));
}

TEST_F(PercentDrivenInteractiveTransitionTest, CancelPutsTheViewsBackAndKeepsThePresentation) {
    const auto view = modal->view();
    interaction().update(0.25);
    interaction().cancel();
    EXPECT_TRUE(view->transform().isIdentity()) << "restored at once";
    EXPECT_DOUBLE_EQ(view->alpha(), 1);
    advance(0.09);
    EXPECT_FALSE(transitions->animator->sawCancelled.has_value());
    advance(0.01);
    EXPECT_EQ(transitions->animator->sawCancelled, true);
    EXPECT_TRUE(presented());
    EXPECT_EQ(view->superview(), window.get());
    EXPECT_EQ(completions, 0);
    EXPECT_TRUE(root->view()->isHidden());
    EXPECT_TRUE(modal->isAppeared());

    // The screen can be dismissed again afterwards.
    transitions->interactive = false;
    modal->dismissViewController(true, [this] { ++completions; });
    advance(0.4);
    EXPECT_FALSE(presented());
    EXPECT_EQ(completions, 1);
}

TEST_F(PercentDrivenInteractiveTransitionTest, PercentagesAreClampedAndCallsAfterTheEndIgnored) {
    interaction().update(-3);
    EXPECT_DOUBLE_EQ(interaction().percentComplete(), 0) << "clamped";
    interaction().update(7);
    EXPECT_DOUBLE_EQ(interaction().percentComplete(), 1);
    interaction().finish();
    interaction().cancel();
    EXPECT_DOUBLE_EQ(modal->view()->alpha(), 0.2) << "a cancel after finish restores nothing";
    advance(0);
    EXPECT_FALSE(presented());
    EXPECT_EQ(transitions->animator->sawCancelled, false);
    interaction().update(0.5);
    EXPECT_DOUBLE_EQ(interaction().percentComplete(), 1);
}

TEST(AnimationCompletionCaptureTest, TheInnermostCaptureTakesTheCompletions) {
    const testsupport::ManualClockScope clock;
    int outerRuns = 0;
    int innerRuns = 0;
    int freeRuns = 0;
    std::vector<ui::AnimationCompletionCapture::Completion> outerHeld;
    std::vector<ui::AnimationCompletionCapture::Completion> innerHeld;
    {
        ui::AnimationCompletionCapture outer;
        ui::View::animate(
            0.1, [] {}, [&](bool) { ++outerRuns; });
        {
            ui::AnimationCompletionCapture inner;
            ui::View::animate(
                0.1, [] {}, [&](bool) { ++innerRuns; });
            innerHeld = inner.take();
            EXPECT_TRUE(inner.take().empty());
        }
        EXPECT_EQ(ui::AnimationCompletionCapture::current(), &outer);
        outerHeld = outer.take();
    }
    EXPECT_EQ(ui::AnimationCompletionCapture::current(), nullptr);
    ui::View::animate(
        0.1, [] {}, [&](bool) { ++freeRuns; });
    clock.advance(1);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(freeRuns, 1);
    EXPECT_EQ(outerRuns + innerRuns, 0);
    ASSERT_EQ(outerHeld.size(), 1u);
    ASSERT_EQ(innerHeld.size(), 1u);
    innerHeld.front()(true);
    EXPECT_EQ(innerRuns, 1);
    EXPECT_EQ(outerRuns, 0);
}

}  // namespace
