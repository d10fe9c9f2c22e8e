#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "RecordingController.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/NavigationController.h"
#include "ui/TransitionContext.h"
#include "ui/TransitioningDelegate.h"

using testsupport::EventLog;
using testsupport::recording;
using testsupport::RecordingController;
using testsupport::VisibleWindow;
using ui::ModalPresentationStyle;
using ui::TransitionKey;
using Events = std::vector<std::string>;

namespace {

class HeldAnimator : public ui::AnimatedTransitioning {
public:
    void animateTransition(ui::TransitionContext& context) override {
        this->context = context.shared_from_this();
    }
    std::shared_ptr<ui::TransitionContext> context;
};

class CustomTransitions : public ui::TransitioningDelegate {
public:
    std::shared_ptr<ui::AnimatedTransitioning>
    animationControllerForPresented(const std::shared_ptr<ui::ViewController>&,
                                    const std::shared_ptr<ui::ViewController>&,
                                    const std::shared_ptr<ui::ViewController>& source) override {
        this->source = source;
        return presenting;
    }
    std::shared_ptr<ui::AnimatedTransitioning>
    animationControllerForDismissed(const std::shared_ptr<ui::ViewController>&) override {
        return dismissing;
    }

    std::shared_ptr<HeldAnimator> presenting = std::make_shared<HeldAnimator>();
    std::shared_ptr<HeldAnimator> dismissing = std::make_shared<HeldAnimator>();
    std::shared_ptr<ui::ViewController> source;
};

// R is the root of a visible window, on a manual clock.
class PresentationTest : public testing::Test {
protected:
    testsupport::ManualClockScope clock;
    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    std::shared_ptr<RecordingController> root = recording("R", log);
    std::shared_ptr<RecordingController> modal = recording("M", log);
    VisibleWindow window{root};
    int completions = 0;

    void SetUp() override {
        (void)modal->view();
        log->take();
    }

    std::function<void()> counting() {
        return [this] { ++completions; };
    }
    // Completions of transitions that ended within their call come on the
    // next turn of the run loop.
    static void nextTurn() { (void)core::RunLoop::main().runOnce(); }
    [[nodiscard]] bool inWindow(const std::shared_ptr<ui::ViewController>& controller) const {
        const auto& subviews = window->subviews();
        return controller->isViewLoaded() &&
               std::find(subviews.begin(), subviews.end(), controller->view()) != subviews.end();
    }
};

TEST_F(PresentationTest, FullScreenCoversThePresenterAfterTheTransition) {
    root->presentViewController(modal, true, counting());
    EXPECT_EQ(root->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), root);
    EXPECT_EQ(window->subviews().back(), modal->view()) << "above everything";
    EXPECT_EQ(modal->view()->frame(), window->bounds());
    EXPECT_EQ(log->take(), (Events{"R willDisappear", "M willAppear"}));

    clock.advance(0.29);
    EXPECT_EQ(completions, 0);
    EXPECT_TRUE(log->events().empty());
    clock.advance(0.01);
    EXPECT_EQ(log->take(), (Events{"M didAppear", "R didDisappear"}));
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(root->view()->isHidden());
}

TEST_F(PresentationTest, DismissalRemovesTheViewAfterTheTransition) {
    root->presentViewController(modal, true);
    clock.advance(0.3);
    log->take();

    modal->dismissViewController(true, counting());
    EXPECT_EQ(log->take(), (Events{"M willDisappear", "R willAppear"}));
    EXPECT_FALSE(root->view()->isHidden());
    clock.advance(0.29);
    EXPECT_TRUE(inWindow(modal));
    EXPECT_EQ(root->presentedViewController(), modal);

    clock.advance(0.01);
    EXPECT_FALSE(inWindow(modal));
    EXPECT_EQ(log->take(), (Events{"M didDisappear", "R didAppear"}));
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(modal->presentingViewController(), nullptr);
    EXPECT_EQ(completions, 1);
}

TEST_F(PresentationTest, OverFullScreenLeavesThePresenterAlone) {
    modal->setModalPresentationStyle(ModalPresentationStyle::OverFullScreen);
    root->presentViewController(modal, true);
    clock.advance(0.3);
    root->dismissViewController(true);
    clock.advance(0.3);
    EXPECT_EQ(log->take(),
              (Events{"M willAppear", "M didAppear", "M willDisappear", "M didDisappear"}));
    EXPECT_FALSE(root->view()->isHidden());
    EXPECT_TRUE(root->isAppeared());
    EXPECT_FALSE(inWindow(modal));
}

TEST_F(PresentationTest, UnanimatedTransitionsEndAtOnceAndCompleteOnTheNextTurn) {
    EXPECT_TRUE(root->presentViewController(modal, false, counting()));
    EXPECT_TRUE(modal->isAppeared());
    EXPECT_EQ(completions, 0);
    nextTurn();
    EXPECT_EQ(completions, 1);
    modal->dismissViewController(false, counting());
    EXPECT_FALSE(inWindow(modal));
    EXPECT_TRUE(root->isAppeared());
    EXPECT_EQ(completions, 1);
    nextTurn();
    EXPECT_EQ(completions, 2);
}

TEST_F(PresentationTest, APresenterThatIsPresentingRefusesAnother) {
    root->presentViewController(modal, false);
    const size_t viewCount = window->subviews().size();
    log->take();
    auto refused = recording("X", log);
    const std::weak_ptr<RecordingController> refusedWeak = refused;

    const core::Console::Capture console;
    EXPECT_FALSE(root->presentViewController(refused, true, counting()));
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0].rfind("Warning: Attempt to present <", 0), 0u);
    EXPECT_TRUE(console.contains("\"X\""));
    EXPECT_TRUE(console.contains("on <"));
    EXPECT_TRUE(console.contains("which is already presenting"));
    EXPECT_TRUE(console.contains("\"M\""));

    clock.advance(1);
    EXPECT_EQ(window->subviews().size(), viewCount);
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(refused->presentingViewController(), nullptr);
    EXPECT_FALSE(refused->isViewLoaded());

    refused->dismissViewController(true, counting());
    clock.advance(1);
    EXPECT_EQ(root->presentedViewController(), modal) << "the refused one's dismissal does nothing";
    EXPECT_TRUE(inWindow(modal));
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(log->take(), Events{});

    refused.reset();
    EXPECT_TRUE(refusedWeak.expired()) << "the refused controller is not retained";
}

TEST_F(PresentationTest, PresentingDuringThePresentingTransitionIsRefused) {
    root->presentViewController(modal, true);
    const core::Console::Capture console;
    root->presentViewController(recording("X", log), true, counting());
    EXPECT_TRUE(console.contains("which is already presenting"));
    clock.advance(0.3);
    EXPECT_EQ(completions, 0);
}

TEST_F(PresentationTest, OtherRefusals) {
    const core::Console::Capture console;
    const auto offscreen = recording("O", log);
    offscreen->presentViewController(modal, false, counting());
    EXPECT_TRUE(console.contains("whose view is not in the window hierarchy"));

    const auto child = recording("C", log);
    root->addChildViewController(child);
    root->presentViewController(child, false, counting());
    root->presentViewController(root, false, counting());
    EXPECT_EQ(console.lines().size(), 3u);
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(PresentationTest, ChildrenPresentFromTheirOutermostParent) {
    const auto page = recording("P", log);
    const auto navigation = ui::NavigationController::create(page);
    window->setRootViewController(navigation);
    page->presentViewController(modal, false);
    EXPECT_EQ(navigation->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), navigation);
    EXPECT_EQ(navigation->visibleViewController(), modal);

    page->dismissViewController(false, counting());
    nextTurn();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(navigation->presentedViewController(), nullptr);
}

TEST_F(PresentationTest, DismissDuringThePresentingTransitionWaitsForIt) {
    std::vector<std::string> order;
    root->presentViewController(modal, true, [&order] { order.push_back("presented"); });
    modal->dismissViewController(true, [&order] { order.push_back("dismissed"); });
    EXPECT_TRUE(inWindow(modal));

    clock.advance(0.3);
    EXPECT_EQ(order, (Events{"presented"}));
    EXPECT_TRUE(inWindow(modal));
    clock.advance(0.3);
    EXPECT_EQ(order, (Events{"presented", "dismissed"}));
    EXPECT_FALSE(inWindow(modal));
    EXPECT_EQ(log->take(),
              (Events{"R willDisappear", "M willAppear", "M didAppear", "R didDisappear",
                      "M willDisappear", "R willAppear", "M didDisappear", "R didAppear"}));
}

TEST_F(PresentationTest, ASecondDismissWhileDismissingIsRefused) {
    root->presentViewController(modal, false);
    modal->dismissViewController(true, counting());
    const core::Console::Capture console;
    modal->dismissViewController(true, counting());
    EXPECT_TRUE(console.contains("while its dismissal is in progress"));
    clock.advance(0.3);
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(inWindow(modal));
}

TEST_F(PresentationTest, NothingToDismissDoesNothing) {
    root->dismissViewController(false, counting());
    modal->dismissViewController(false, counting());
    EXPECT_EQ(completions, 0);
    EXPECT_TRUE(log->events().empty());
}

TEST_F(PresentationTest, DismissingAPresenterTakesWhatItPresentsAlong) {
    const auto top = recording("T", log);
    root->presentViewController(modal, false);
    modal->presentViewController(top, false);
    EXPECT_EQ(modal->presentedViewController(), top);
    log->take();

    root->dismissViewController(false, counting());
    nextTurn();
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(inWindow(modal));
    EXPECT_FALSE(inWindow(top));
    EXPECT_EQ(modal->presentedViewController(), nullptr);
    EXPECT_EQ(top->presentingViewController(), nullptr);
    EXPECT_EQ(log->take(),
              (Events{"T willDisappear", "T didDisappear", "R willAppear", "R didAppear"}));
    EXPECT_FALSE(modal->view()->isHidden()) << "ready to be presented again";
}

TEST_F(PresentationTest, TransitioningDelegateAnimatesBothWays) {
    const auto transitions = std::make_shared<CustomTransitions>();
    modal->setModalPresentationStyle(ModalPresentationStyle::Custom);
    modal->setTransitioningDelegate(transitions);

    root->presentViewController(modal, true, counting());
    const auto presenting = transitions->presenting->context;
    ASSERT_TRUE(presenting);
    EXPECT_EQ(transitions->source, root);
    EXPECT_EQ(presenting->containerView(), window.get());
    EXPECT_EQ(presenting->viewControllerForKey(TransitionKey::From), root);
    EXPECT_EQ(presenting->viewControllerForKey(TransitionKey::To), modal);
    EXPECT_EQ(presenting->finalFrame(*modal), window->bounds());
    clock.advance(5);
    EXPECT_EQ(completions, 0);
    presenting->completeTransition(true);
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(root->view()->isHidden()) << "custom style keeps the presenter shown";

    modal->dismissViewController(true, counting());
    const auto dismissing = transitions->dismissing->context;
    ASSERT_TRUE(dismissing);
    EXPECT_EQ(dismissing->viewControllerForKey(TransitionKey::From), modal);
    clock.advance(5);
    EXPECT_TRUE(inWindow(modal));
    dismissing->completeTransition(true);
    EXPECT_FALSE(inWindow(modal));
    EXPECT_EQ(completions, 2);
    transitions->presenting->context.reset();
    transitions->dismissing->context.reset();
}

TEST_F(PresentationTest, CancelledDismissalKeepsThePresentation) {
    const auto transitions = std::make_shared<CustomTransitions>();
    modal->setTransitioningDelegate(transitions);
    root->presentViewController(modal, false);
    transitions->presenting->context->completeTransition(true);
    log->take();

    modal->dismissViewController(true, counting());
    const auto context = transitions->dismissing->context;
    modal->view()->removeFromSuperview();
    context->completeTransition(false);
    EXPECT_TRUE(inWindow(modal));
    EXPECT_EQ(root->presentedViewController(), modal);
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(log->take(), (Events{"M willDisappear", "R willAppear", "M willAppear",
                                   "R willDisappear", "M didAppear", "R didDisappear"}));
    EXPECT_TRUE(root->view()->isHidden());

    transitions->dismissing.reset();
    modal->dismissViewController(false, counting());
    nextTurn();
    EXPECT_EQ(completions, 1) << "a later dismissal still works";
    transitions->presenting->context.reset();
}

}  // namespace
