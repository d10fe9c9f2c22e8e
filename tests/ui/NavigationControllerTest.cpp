#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "RecordingController.h"
#include "core/Console.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/DeviceProfile.h"
#include "ui/NavigationBar.h"
#include "ui/NavigationController.h"
#include "ui/TransitionContext.h"
#include "ui/TransitioningDelegate.h"

using testsupport::EventLog;
using testsupport::recording;
using testsupport::RecordingController;
using testsupport::VisibleWindow;
using ui::NavigationController;
using ui::NavigationOperation;
using ui::TransitionKey;
using Events = std::vector<std::string>;
using Controllers = std::vector<std::shared_ptr<ui::ViewController>>;

namespace {

// Starts the transition and holds it until the test completes it.
class HeldAnimator : public ui::AnimatedTransitioning {
public:
    void animateTransition(ui::TransitionContext& context) override {
        ++runs;
        this->context = context.shared_from_this();
    }
    void animationEnded(bool completed) override { ended = completed; }

    int runs = 0;
    std::shared_ptr<ui::TransitionContext> context;
    std::optional<bool> ended;
};

class HeldInteraction : public ui::InteractiveTransitioning {
public:
    explicit HeldInteraction(std::shared_ptr<HeldAnimator> animator)
        : animator(std::move(animator)) {}
    void startInteractiveTransition(ui::TransitionContext& context) override {
        this->context = context.shared_from_this();
        animator->animateTransition(context);
    }

    std::shared_ptr<HeldAnimator> animator;
    std::shared_ptr<ui::TransitionContext> context;
};

class ScriptedDelegate : public ui::NavigationControllerDelegate {
public:
    void willShowViewController(NavigationController&,
                                const std::shared_ptr<ui::ViewController>& shown, bool) override {
        shows.push_back("will " + shown->title());
    }
    void didShowViewController(NavigationController&,
                               const std::shared_ptr<ui::ViewController>& shown, bool) override {
        shows.push_back("did " + shown->title());
    }
    std::shared_ptr<ui::AnimatedTransitioning> animationController(
        NavigationController&, NavigationOperation operation,
        const std::shared_ptr<ui::ViewController>&,
        const std::shared_ptr<ui::ViewController>&) override {
        operations.push_back(operation);
        return animator;
    }
    std::shared_ptr<ui::InteractiveTransitioning> interactionController(
        NavigationController&, const std::shared_ptr<ui::AnimatedTransitioning>&) override {
        return interaction;
    }

    std::shared_ptr<HeldAnimator> animator;
    std::shared_ptr<ui::InteractiveTransitioning> interaction;
    std::vector<NavigationOperation> operations;
    Events shows;
};

// A navigation controller showing A in a visible window, on a manual clock.
class NavigationControllerTest : public testing::Test {
protected:
    testsupport::ManualClockScope clock;
    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    std::shared_ptr<RecordingController> a = recording("A", log);
    std::shared_ptr<RecordingController> b = recording("B", log);
    std::shared_ptr<RecordingController> c = recording("C", log);
    std::shared_ptr<NavigationController> navigation = NavigationController::create(a);
    VisibleWindow window{navigation};

    void SetUp() override { log->take(); }

    [[nodiscard]] bool shows(const std::shared_ptr<ui::ViewController>& controller) const {
        return controller->isViewLoaded() && controller->view()->superview() == navigation->view();
    }
};

TEST_F(NavigationControllerTest, RootFillsTheViewUnderTheBar) {
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a}));
    EXPECT_EQ(a->parentViewController(), navigation);
    EXPECT_EQ(a->moves, (Events{"will parent", "did parent"}));
    ASSERT_TRUE(shows(a));
    EXPECT_EQ(a->view()->frame(), navigation->view()->bounds());
    EXPECT_TRUE(a->isAppeared());

    const auto bar = navigation->navigationBar();
    const double statusBar = ui::DeviceProfile::current().statusBarHeight;
    EXPECT_EQ(bar->frame(), gfx::Rect(0, statusBar, window->bounds().width(), 44));
    EXPECT_EQ(navigation->view()->subviews().back(), bar) << "the bar overlays the content";
}

TEST_F(NavigationControllerTest, AnimatedPushSwapsViewsAfterTheTransition) {
    navigation->pushViewController(b, true);
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a, b}));
    EXPECT_EQ(navigation->topViewController(), b);
    EXPECT_EQ(log->take(),
              (Events{"B loadView", "B viewDidLoad", "A willDisappear", "B willAppear"}));
    EXPECT_EQ(b->moves, (Events{"will parent"}));
    EXPECT_TRUE(shows(a));
    EXPECT_TRUE(shows(b));
    EXPECT_EQ(b->view()->frame(), navigation->view()->bounds());
    EXPECT_EQ(navigation->view()->subviews().back(), navigation->navigationBar());

    clock.advance(0.34);
    EXPECT_TRUE(navigation->isTransitioning());
    EXPECT_TRUE(log->events().empty());

    clock.advance(0.01);
    EXPECT_FALSE(navigation->isTransitioning());
    EXPECT_EQ(log->take(), (Events{"A didDisappear", "B didAppear"}));
    EXPECT_FALSE(shows(a));
    EXPECT_TRUE(shows(b));
    EXPECT_EQ(b->moves, (Events{"will parent", "did parent"}));
}

TEST_F(NavigationControllerTest, PopReturnsTheTopAndReversesTheAppearance) {
    navigation->pushViewController(b, false);
    log->take();

    EXPECT_EQ(navigation->popViewController(false), b);
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a}));
    EXPECT_EQ(log->take(),
              (Events{"B willDisappear", "A willAppear", "B didDisappear", "A didAppear"}));
    EXPECT_TRUE(shows(a));
    EXPECT_FALSE(shows(b));
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_EQ(b->moves, (Events{"will parent", "did parent", "will nil", "did nil"}));
}

TEST_F(NavigationControllerTest, PopAtTheRootDoesNothing) {
    EXPECT_EQ(navigation->popViewController(true), nullptr);
    EXPECT_TRUE(navigation->popToRootViewController(true).empty());
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a}));
    EXPECT_FALSE(navigation->isTransitioning());
    EXPECT_TRUE(log->events().empty());
    EXPECT_TRUE(shows(a));
}

TEST_F(NavigationControllerTest, PopToRootOnlyTouchesTheTopAndTheRoot) {
    navigation->pushViewController(b, false);
    navigation->pushViewController(c, false);
    log->take();

    EXPECT_EQ(navigation->popToRootViewController(true), (Controllers{b, c}));
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a}));
    clock.advance(0.35);
    EXPECT_EQ(log->take(),
              (Events{"C willDisappear", "A willAppear", "C didDisappear", "A didAppear"}));
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_EQ(c->parentViewController(), nullptr);
    EXPECT_EQ(navigation->childViewControllers(), (Controllers{a}));
}

TEST_F(NavigationControllerTest, SetViewControllersAddsAndRemovesChildren) {
    navigation->setViewControllers({b, c}, false);
    EXPECT_EQ(navigation->viewControllers(), (Controllers{b, c}));
    EXPECT_EQ(navigation->childViewControllers(), (Controllers{b, c}));
    EXPECT_EQ(a->parentViewController(), nullptr);
    EXPECT_EQ(log->take(), (Events{"C loadView", "C viewDidLoad", "A willDisappear", "C willAppear",
                                   "A didDisappear", "C didAppear"}));
    EXPECT_TRUE(shows(c));
    EXPECT_FALSE(shows(a));
    EXPECT_FALSE(b->isViewLoaded()) << "controllers below the top are not loaded";
}

TEST_F(NavigationControllerTest, PushingTwiceIsRefused) {
    navigation->pushViewController(b, false);
    log->take();
    const core::Console::Capture console;
    navigation->pushViewController(b, false);
    navigation->pushViewController(a, false);
    navigation->pushViewController(nullptr, false);
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a, b}));
    EXPECT_EQ(console.lines().size(), 3u);
    EXPECT_TRUE(log->events().empty());
}

TEST_F(NavigationControllerTest, APushDuringATransitionCompletesItFirst) {
    navigation->pushViewController(b, true);
    navigation->pushViewController(c, true);
    EXPECT_EQ(log->take(), (Events{"B loadView", "B viewDidLoad", "A willDisappear", "B willAppear",
                                   "A didDisappear", "B didAppear", "C loadView", "C viewDidLoad",
                                   "B willDisappear", "C willAppear"}));
    clock.advance(0.35);
    EXPECT_EQ(log->take(), (Events{"B didDisappear", "C didAppear"}));
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a, b, c}));
    EXPECT_TRUE(shows(c));
    EXPECT_FALSE(shows(b));
}

TEST_F(NavigationControllerTest, OwnAppearanceGoesToTheTopOnly) {
    navigation->pushViewController(b, false);
    log->take();
    navigation->beginAppearanceTransition(false, false);
    navigation->endAppearanceTransition();
    EXPECT_EQ(log->take(), (Events{"B willDisappear", "B didDisappear"}));
    navigation->beginAppearanceTransition(true, false);
    navigation->endAppearanceTransition();
    EXPECT_EQ(log->take(), (Events{"B willAppear", "B didAppear"}));
    EXPECT_FALSE(a->isAppeared());
}

TEST_F(NavigationControllerTest, NoAppearanceCallbacksWhileNotShown) {
    const auto offscreen = NavigationController::create(recording("X", log));
    (void)offscreen->view();
    log->take();
    offscreen->pushViewController(b, true);
    EXPECT_EQ(log->take(), (Events{"B loadView", "B viewDidLoad"}));
    EXPECT_FALSE(offscreen->isTransitioning()) << "not in a window: no animation";
    EXPECT_EQ(b->view()->superview(), offscreen->view());
}

TEST_F(NavigationControllerTest, PushBeforeTheViewLoadsShowsOnlyTheTop) {
    const auto fresh = NavigationController::create(recording("X", log));
    fresh->pushViewController(b, true);
    EXPECT_EQ(b->moves, (Events{"will parent", "did parent"}));
    EXPECT_FALSE(b->isViewLoaded());
    const auto view = fresh->view();
    EXPECT_EQ(b->view()->superview(), view);
    EXPECT_FALSE(fresh->viewControllers().front()->isViewLoaded());
}

TEST_F(NavigationControllerTest, BarHidingAndTitle) {
    const auto bar = navigation->navigationBar();
    EXPECT_FALSE(navigation->isNavigationBarHidden());
    EXPECT_FALSE(bar->isHidden());
    navigation->setNavigationBarHidden(true, true);
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    EXPECT_TRUE(bar->isHidden());
    window->layoutTree();
    EXPECT_TRUE(bar->isHidden()) << "layout keeps the bar hidden";
    navigation->setNavigationBarHidden(false, false);
    EXPECT_FALSE(bar->isHidden());

    EXPECT_EQ(bar->title(), "A");
    navigation->pushViewController(b, false);
    EXPECT_EQ(bar->title(), "B");
    b->setTitle("Photos");
    EXPECT_EQ(bar->title(), "Photos");
}

TEST_F(NavigationControllerTest, DelegateAnimatorRunsThePushUntilItCompletes) {
    const auto delegate = std::make_shared<ScriptedDelegate>();
    delegate->animator = std::make_shared<HeldAnimator>();
    navigation->setDelegate(delegate);

    navigation->pushViewController(b, true);
    EXPECT_EQ(delegate->operations, std::vector{NavigationOperation::Push});
    ASSERT_EQ(delegate->animator->runs, 1);
    const auto context = delegate->animator->context;
    EXPECT_EQ(context->containerView(), navigation->view());
    EXPECT_EQ(context->viewControllerForKey(TransitionKey::From), a);
    EXPECT_EQ(context->viewControllerForKey(TransitionKey::To), b);
    EXPECT_EQ(context->viewForKey(TransitionKey::To), b->view());
    EXPECT_EQ(context->finalFrame(*b), navigation->view()->bounds());
    EXPECT_EQ(context->initialFrame(*a), navigation->view()->bounds());
    EXPECT_TRUE(context->isAnimated());
    EXPECT_FALSE(context->isInteractive());
    EXPECT_EQ(delegate->shows, (Events{"will B"}));

    clock.advance(10);
    EXPECT_TRUE(navigation->isTransitioning()) << "the standard duration does not apply";
    EXPECT_EQ(log->take(),
              (Events{"B loadView", "B viewDidLoad", "A willDisappear", "B willAppear"}));
    EXPECT_TRUE(shows(a));

    context->completeTransition(true);
    EXPECT_EQ(log->take(), (Events{"A didDisappear", "B didAppear"}));
    EXPECT_EQ(delegate->shows, (Events{"will B", "did B"}));
    EXPECT_EQ(delegate->animator->ended, true);
    EXPECT_FALSE(shows(a));
    EXPECT_FALSE(navigation->isTransitioning());

    context->completeTransition(true);
    EXPECT_TRUE(log->events().empty()) << "completing twice does nothing";
    delegate->animator->context.reset();
}

TEST_F(NavigationControllerTest, DelegateIsNotAskedForUnanimatedChanges) {
    const auto delegate = std::make_shared<ScriptedDelegate>();
    delegate->animator = std::make_shared<HeldAnimator>();
    navigation->setDelegate(delegate);
    navigation->pushViewController(b, false);
    EXPECT_TRUE(delegate->operations.empty());
    EXPECT_EQ(delegate->shows, (Events{"will B", "did B"}));
    navigation->popViewController(true);
    EXPECT_EQ(delegate->operations, std::vector{NavigationOperation::Pop});
    delegate->animator->context->completeTransition(true);
    delegate->animator->context.reset();
}

TEST_F(NavigationControllerTest, CancelledInteractivePopPutsEverythingBack) {
    navigation->pushViewController(b, false);
    const gfx::Rect frame = b->view()->frame();
    log->take();
    const auto delegate = std::make_shared<ScriptedDelegate>();
    delegate->animator = std::make_shared<HeldAnimator>();
    const auto interaction = std::make_shared<HeldInteraction>(delegate->animator);
    delegate->interaction = interaction;
    navigation->setDelegate(delegate);

    EXPECT_EQ(navigation->popViewController(true), b);
    ASSERT_TRUE(interaction->context);
    const auto context = interaction->context;
    EXPECT_TRUE(context->isInteractive());
    EXPECT_EQ(delegate->animator->runs, 1);
    // The animator slides B away and drops its view.
    b->view()->setFrame(frame.offset(frame.width(), 0));
    b->view()->setAlpha(0.5);
    b->view()->removeFromSuperview();
    context->updateInteractiveTransition(0.4);
    EXPECT_DOUBLE_EQ(context->percentComplete(), 0.4);

    context->cancelInteractiveTransition();
    EXPECT_TRUE(context->transitionWasCancelled());
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a, b}));
    EXPECT_EQ(b->parentViewController(), navigation);
    EXPECT_TRUE(shows(b));
    EXPECT_EQ(b->view()->frame(), frame);
    EXPECT_DOUBLE_EQ(b->view()->alpha(), 1);
    EXPECT_FALSE(shows(a));
    EXPECT_EQ(log->take(), (Events{"B willDisappear", "A willAppear", "A willDisappear",
                                   "B willAppear", "A didDisappear", "B didAppear"}));
    EXPECT_EQ(delegate->animator->ended, false);
    delegate->animator->context.reset();
    interaction->context.reset();
}

TEST_F(NavigationControllerTest, FinishedInteractivePopCompletesIt) {
    navigation->pushViewController(b, false);
    const auto delegate = std::make_shared<ScriptedDelegate>();
    delegate->animator = std::make_shared<HeldAnimator>();
    const auto interaction = std::make_shared<HeldInteraction>(delegate->animator);
    delegate->interaction = interaction;
    navigation->setDelegate(delegate);

    (void)navigation->popViewController(true);
    interaction->context->finishInteractiveTransition();
    EXPECT_EQ(navigation->viewControllers(), (Controllers{a}));
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_TRUE(shows(a));
    EXPECT_FALSE(shows(b));
    delegate->animator->context.reset();
    interaction->context.reset();
}

}  // namespace
