#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/QZKit/InteractiveTransition.h"
#include "app/QZKit/PresentTransition.h"
#include "app/QZKit/QZSlideBackViewController.h"
#include "core/Console.h"
#include "core/NotificationCenter.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/AnimationTiming.h"
#include "ui/Application.h"
#include "ui/Button.h"
#include "ui/GestureRecognizer.h"
#include "ui/Label.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using app::GestureDirection;
using app::InteractiveTransition;
using app::PresentTransition;
using app::QZSlideBackViewController;
using app::TransitionType;
using gfx::AffineTransform;
using gfx::Rect;

namespace {

AffineTransform shift(double dx, double dy) {
    return AffineTransform::translation(dx, dy);
}

// A window showing a plain root screen, on a manual clock; present() slides
// a QZSlideBackViewController in over it.
class SlideBackTest : public testing::Test {
protected:
    ~SlideBackTest() override { ui::Application::shared().resetForTesting(); }

    void present(Rect windowFrame = {}) {
        window = std::make_shared<ui::Window>(windowFrame);
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        root->presentViewController(slide, true);
        w = window->bounds().width();
        h = window->bounds().height();
    }
    void advance(double seconds) {
        clock.advance(seconds);
        core::RunLoop::main().runOnce();
    }
    [[nodiscard]] bool presented() const { return root->presentedViewController() == slide; }
    [[nodiscard]] std::shared_ptr<ui::View> snapshot() const {
        const auto& views = window->subviews();
        return views.size() == 3 ? views[1] : nullptr;
    }
    void tapBack() {
        const Rect button =
            slide->backButton()->convertRectTo(slide->backButton()->bounds(), nullptr);
        ui::TouchInjector(*window).tap(button.center());
    }
    void panRight(double distance) {
        ui::TouchInjector(*window).drag({0, h / 2}, {distance, h / 2});
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
    std::shared_ptr<QZSlideBackViewController> slide =
        std::make_shared<QZSlideBackViewController>("Kit");
    std::shared_ptr<ui::Window> window;
    double w = 0;
    double h = 0;
};

TEST_F(SlideBackTest, PresentingSlidesTheScreenInFromOneWidthToTheRight) {
    present();
    const auto view = slide->view();
    ASSERT_EQ(window->subviews().size(), 3u);
    EXPECT_EQ(window->subviews()[0], root->view());
    EXPECT_EQ(window->subviews()[2], view);
    EXPECT_TRUE(root->view()->isHidden());
    EXPECT_EQ(view->transform(), shift(-w, 0));
    EXPECT_EQ(view->center(), (gfx::Point{w * 1.5, h / 2})) << "frame (w, 0, w, h) before the move";
    EXPECT_EQ(view->frame(), window->bounds());
    const auto snap = snapshot();
    ASSERT_TRUE(snap);
    EXPECT_EQ(snap->transform(), shift(-w / 2, 0));
    EXPECT_EQ(snap->frame(), Rect(-w / 2, 0, w, h));

    advance(0.29);
    EXPECT_FALSE(slide->isAppeared());
    advance(0.01);
    EXPECT_TRUE(slide->isAppeared());
    EXPECT_EQ(snapshot(), snap) << "the snapshot stays beneath the presented screen";
}

TEST_F(SlideBackTest, TheScreenHasItsBarAndIsItsOwnTransitioningDelegate) {
    present();
    advance(0.3);
    window->layoutTree();
    EXPECT_EQ(slide->view()->backgroundColor(), gfx::Color::white());
    EXPECT_EQ(slide->navBar()->frame(), Rect(0, 0, w, 64));
    EXPECT_EQ(slide->navTitle()->text(), "Kit");
    EXPECT_EQ(slide->navTitle()->frame().size, (gfx::Size{w, 64}));
    EXPECT_EQ(slide->backButton()->frame(), Rect(15, 0, 64, 64));
    EXPECT_EQ(slide->backButton()->titleForState(ui::ControlState::Normal), "back");
    EXPECT_EQ(slide->transitioningDelegate().get(),
              static_cast<ui::TransitioningDelegate*>(slide.get()));
    EXPECT_EQ(slide->interactiveTransition()->vc(), slide);

    slide->setTitleLable("Neu");
    core::NotificationCenter::defaultCenter().post(
        QZSlideBackViewController::kLanguageChangedNotification);
    EXPECT_EQ(slide->navTitle()->text(), "Neu");
}

TEST_F(SlideBackTest, TheBackButtonDismissesWithoutInteraction) {
    present();
    advance(0.3);
    const auto snap = snapshot();
    tapBack();
    EXPECT_FALSE(slide->interactiveTransition()->isInteracting());
    EXPECT_EQ(slide->view()->transform(), shift(w, 0)) << "leaving two widths right";
    EXPECT_EQ(slide->view()->frame(), Rect(2 * w, 0, w, h));
    EXPECT_TRUE(snap->transform().isIdentity());
    EXPECT_EQ(snap->frame(), window->bounds());

    advance(0.3);
    EXPECT_FALSE(presented());
    EXPECT_FALSE(root->view()->isHidden());
    EXPECT_EQ(window->subviews(), std::vector{root->view()}) << "snapshot and screen removed";
    // The screen beneath takes touches again.
    EXPECT_EQ(window->hitTest({w / 2, h / 2}), root->view());
}

TEST_F(SlideBackTest, APanOfTheFullWidthFinishesTheDismissal) {
    present();
    advance(0.3);
    const core::Console::Capture console;
    panRight(w);
    EXPECT_TRUE(console.contains("percent:0.5"));
    EXPECT_TRUE(console.contains("finish"));
    EXPECT_FALSE(slide->interactiveTransition()->interaction());
    EXPECT_TRUE(presented()) << "the rest of the slide still runs";
    advance(0.15);
    EXPECT_FALSE(presented());
    EXPECT_EQ(window->subviews(), std::vector{root->view()});
    EXPECT_TRUE(root->isAppeared());
}

TEST_F(SlideBackTest, ShortPansCancelAndPutTheScreenBack) {
    present();
    advance(0.3);
    const auto snap = snapshot();
    {
        const core::Console::Capture console;
        panRight(0.4 * w);
        const double expected = 0.4 / 1.4;
        EXPECT_NEAR(slide->interactiveTransition()->percentComplete(), expected, 0.005);
        EXPECT_TRUE(console.contains("cancel"));
        EXPECT_FALSE(console.contains("finish"));
    }
    EXPECT_EQ(slide->view()->transform(), shift(-w, 0)) << "back in place at once";
    EXPECT_EQ(snap->transform(), shift(-w / 2, 0));
    advance(1);
    EXPECT_TRUE(presented());
    EXPECT_TRUE(slide->isAppeared());
    EXPECT_TRUE(root->view()->isHidden());
    EXPECT_EQ(slide->view()->frame(), window->bounds());
    EXPECT_EQ(snapshot(), snap);

    // The screen still leaves through its back button.
    tapBack();
    advance(0.3);
    EXPECT_FALSE(presented());
}

TEST_F(SlideBackTest, AProgressOfExactlyThreeTenthsCancels) {
    present(Rect(0, 0, 700, 800));
    advance(0.3);
    ASSERT_EQ(InteractiveTransition::progress(GestureDirection::Left, {300, 0}, {700, 800}), 0.3);
    const core::Console::Capture console;
    panRight(300);
    EXPECT_TRUE(console.contains("percent:0.3"));
    EXPECT_TRUE(console.contains("cancel"));
    advance(1);
    EXPECT_TRUE(presented());

    panRight(301);
    advance(1);
    EXPECT_FALSE(presented()) << "just past three tenths finishes";
}

TEST_F(SlideBackTest, ACancelledPanCancelsTheDismissal) {
    present();
    advance(0.3);
    const auto touch = window->touchDown({10, h / 2});
    window->touchMove(touch, {60, h / 2});
    window->touchMove(touch, {200, h / 2});
    EXPECT_TRUE(slide->interactiveTransition()->interaction());
    EXPECT_TRUE(slide->interactiveTransition()->isInteracting());
    window->touchCancel(touch);
    EXPECT_FALSE(slide->interactiveTransition()->interaction());
    EXPECT_FALSE(slide->interactiveTransition()->isInteracting());
    advance(1);
    EXPECT_TRUE(presented());
    EXPECT_TRUE(slide->isAppeared());

    tapBack();
    advance(0.3);
    EXPECT_FALSE(presented()) << "no dismissal was left hanging";
}

TEST_F(SlideBackTest, TheScreenIsDrawnWhereTheFingerHoldsItAndSpringsBackWhenLetGo) {
    present();
    advance(0.3);
    const auto view = slide->view();
    const double from = view->transform().tx;
    const auto touch = window->touchDown({10, h / 2});
    window->touchMove(touch, {10 + 0.2 * w, h / 2});
    window->touchMove(touch, {10 + 0.4 * w, h / 2});
    advance(1);  // the finger rests
    const double to = view->transform().tx;
    const double percent = slide->interactiveTransition()->percentComplete();
    ASSERT_GT(percent, 0.2);
    const double held = from + (to - from) * ui::AnimationTiming{}.progress(percent, 0.3);
    EXPECT_NEAR(view->presentationTransform().tx, held, 0.5);
    EXPECT_GT(std::abs(held - from), 0.1 * w) << "moved with the finger";

    window->touchUp(touch, {10 + 0.4 * w, h / 2});  // short of three tenths: cancelled
    EXPECT_DOUBLE_EQ(view->transform().tx, from) << "the model is back at once";
    EXPECT_NEAR(view->presentationTransform().tx, held, 0.5) << "drawn from the finger";
    advance(0.03);
    const double between = view->presentationTransform().tx;
    EXPECT_LT(std::abs(between - from), std::abs(held - from));
    EXPECT_GT(std::abs(between - from), 0.5);
    advance(1);
    EXPECT_DOUBLE_EQ(view->presentationTransform().tx, from);
    EXPECT_TRUE(presented());
}

// A pan whose state a test sets; actions run for Began, Changed, Ended and
// Cancelled only, so a failure is reported by calling the handler.
class ScriptedPan : public ui::PanGestureRecognizer {
public:
    using ui::PanGestureRecognizer::PanGestureRecognizer;
    using ui::PanGestureRecognizer::setState;
};

TEST_F(SlideBackTest, AFailedPanCancelsTheDismissal) {
    present();
    advance(0.3);
    const auto transition = slide->interactiveTransition();
    const auto pan = std::make_shared<ScriptedPan>([transition](ui::GestureRecognizer& recognizer) {
        transition->handleGestureWithPan(recognizer);
    });
    slide->view()->addGestureRecognizer(pan);
    pan->setState(ui::GestureState::Began);
    EXPECT_TRUE(transition->isInteracting());
    pan->setState(ui::GestureState::Failed);
    transition->handleGestureWithPan(*pan);
    EXPECT_FALSE(transition->isInteracting());
    advance(1);
    EXPECT_TRUE(presented());
}

TEST(InteractiveTransitionProgressTest, ProgressIsDampedAndAlwaysWithinZeroAndOne) {
    const gfx::Size size{375, 667};
    const auto progress = [&](GestureDirection direction, double x, double y) {
        return InteractiveTransition::progress(direction, {x, y}, size);
    };
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Left, 375, 0), 0.5);
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Down, 0, 667), 0.5);
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Up, 0, 667), 0.5);
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Right, -125, 0), 0.5);
    // Right: a pan of one full width or more to the left is complete, not
    // a division by zero.
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Right, -375, 0), 1);
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Right, -300, 0), 1);
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Right, -800, 0), 1);
    // Against the direction there is no progress.
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Left, -375, 0), 0);
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Left, -100, 0), 0);
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Right, 100, 0), 0);
    EXPECT_DOUBLE_EQ(progress(GestureDirection::Down, 0, -1000), 0);
}

TEST(InteractiveTransitionProgressTest, ARightPanOfAFullWidthLogsAFiniteProgress) {
    const testsupport::ManualClockScope clock;
    const auto window = std::make_shared<ui::Window>(Rect(0, 0, 300, 400));
    const auto transition =
        std::make_shared<InteractiveTransition>(TransitionType::Present, GestureDirection::Right);
    window->addGestureRecognizer(std::make_shared<ui::PanGestureRecognizer>(
        [transition](ui::GestureRecognizer& pan) { transition->handleGestureWithPan(pan); }));
    const core::Console::Capture console;
    ui::TouchInjector(*window).drag({299, 200}, {-1, 200});
    EXPECT_TRUE(console.contains("percent:1"));
    for (const auto& line : console.lines()) {
        EXPECT_EQ(line.find("inf"), std::string::npos) << line;
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
    }
    EXPECT_FALSE(transition->interaction());
}

TEST_F(SlideBackTest, TheScreenIsFreedAfterItsDismissal) {
    present();
    advance(0.3);
    panRight(w);
    advance(0.3);
    ASSERT_FALSE(presented());
    std::weak_ptr<QZSlideBackViewController> weak = slide;
    slide.reset();
    EXPECT_TRUE(weak.expired()) << "after a pan";

    slide = std::make_shared<QZSlideBackViewController>();
    root->presentViewController(slide, true);
    advance(0.3);
    tapBack();
    advance(0.3);
    weak = slide;
    slide.reset();
    EXPECT_TRUE(weak.expired()) << "after the back button";
}

// The mirror geometry of the directions the screen itself does not use.
TEST_F(SlideBackTest, EachDirectionSlidesInFromItsOppositeSide) {
    class Fixed : public ui::TransitioningDelegate {
    public:
        explicit Fixed(GestureDirection direction)
            : animator(std::make_shared<PresentTransition>(TransitionType::Present, direction)) {}
        std::shared_ptr<ui::AnimatedTransitioning>
        animationControllerForPresented(const std::shared_ptr<ui::ViewController>&,
                                        const std::shared_ptr<ui::ViewController>&,
                                        const std::shared_ptr<ui::ViewController>&) override {
            animator->setTransitionType(TransitionType::Present);
            return animator;
        }
        std::shared_ptr<ui::AnimatedTransitioning>
        animationControllerForDismissed(const std::shared_ptr<ui::ViewController>&) override {
            animator->setTransitionType(TransitionType::Dismiss);
            return animator;
        }
        std::shared_ptr<PresentTransition> animator;
    };
    window = std::make_shared<ui::Window>(Rect(0, 0, 200, 400));
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    struct Case {
        GestureDirection direction;
        gfx::Point start;
        AffineTransform presented;
        AffineTransform snapshot;
    };
    for (const Case& c : {Case{GestureDirection::Left, {200, 0}, shift(-200, 0), shift(-100, 0)},
                          Case{GestureDirection::Right, {-200, 0}, shift(200, 0), shift(100, 0)},
                          Case{GestureDirection::Down, {0, 400}, shift(0, -400), shift(0, -200)},
                          Case{GestureDirection::Up, {0, -400}, shift(0, 400), shift(0, 200)}}) {
        SCOPED_TRACE(std::string(app::gestureDirectionName(c.direction)));
        const auto delegate = std::make_shared<Fixed>(c.direction);
        const auto modal = std::make_shared<ui::ViewController>();
        modal->setTransitioningDelegate(delegate);
        root->presentViewController(modal, true);
        const auto view = modal->view();
        EXPECT_EQ(view->transform(), c.presented);
        EXPECT_EQ(view->center(), (gfx::Point{100 + c.start.x, 200 + c.start.y}));
        ASSERT_EQ(window->subviews().size(), 3u);
        EXPECT_EQ(window->subviews()[1]->transform(), c.snapshot);
        advance(0.3);
        root->dismissViewController(true);
        EXPECT_EQ(view->transform(),
                  AffineTransform::translation(-c.presented.tx, -c.presented.ty));
        advance(0.3);
        EXPECT_EQ(root->presentedViewController(), nullptr);
        EXPECT_EQ(window->subviews().size(), 1u);
    }
}

}  // namespace
