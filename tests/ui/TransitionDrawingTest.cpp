// The platform's own transitions and interactive ones, drawn at their
// middle on the test clock.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "RecordingController.h"
#include "core/RunLoop.h"
#include "gfx/Image.h"
#include "support/ManualClockScope.h"
#include "ui/AlertBoxView.h"
#include "ui/AlertController.h"
#include "ui/AlertView.h"
#include "ui/NavigationController.h"
#include "ui/PercentDrivenInteractiveTransition.h"
#include "ui/PresentationController.h"
#include "ui/Renderer.h"
#include "ui/StandardTransitions.h"
#include "ui/TransitionContext.h"
#include "ui/TransitioningDelegate.h"

using gfx::Color;
using testsupport::recording;
using testsupport::VisibleWindow;

namespace {

enum class Shows { Red, Blue, Other };

Shows at(const gfx::ImagePtr& image, double x, double y) {
    const Color c = image->pixelAt(int(x), int(y));
    if (c.red > 0.95 && c.green < 0.05 && c.blue < 0.05) return Shows::Red;
    if (c.blue > 0.95 && c.green < 0.05 && c.red < 0.05) return Shows::Blue;
    return Shows::Other;
}

class TransitionDrawingTest : public testing::Test {
protected:
    void SetUp() override {
        root->view()->setBackgroundColor(Color::fromRGB(0xFF0000));
        next->view()->setBackgroundColor(Color::fromRGB(0x0000FF));
    }
    void advance(double seconds) {
        clock.advance(seconds);
        core::RunLoop::main().runOnce();
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<testsupport::EventLog> log = std::make_shared<testsupport::EventLog>();
    std::shared_ptr<testsupport::RecordingController> root = recording("R", log);
    std::shared_ptr<testsupport::RecordingController> next = recording("N", log);
};

TEST_F(TransitionDrawingTest, ANavigationPushAndPopSlideSideways) {
    const auto navigation = ui::NavigationController::create(root);
    navigation->setNavigationBarHidden(true, false);
    VisibleWindow shown(navigation);
    auto& window = shown;
    const auto render = [&] { return ui::Renderer::render(*window, 1); };
    const double w = window->bounds().width();
    const double y = window->bounds().height() / 2;

    navigation->pushViewController(next, true);
    advance(ui::NavigationController::kTransitionDuration / 2);
    auto image = render();
    EXPECT_EQ(at(image, w / 4, y), Shows::Red) << "the old view, moved a little aside";
    EXPECT_EQ(at(image, w * 3 / 4, y), Shows::Blue) << "the new one, half in";
    EXPECT_EQ(next->view()->frame(), window->bounds()) << "the model is at its end";
    advance(ui::NavigationController::kTransitionDuration / 2);
    EXPECT_EQ(at(render(), w / 4, y), Shows::Blue);

    navigation->popViewController(true);
    advance(ui::NavigationController::kTransitionDuration / 2);
    image = render();
    EXPECT_EQ(at(image, w / 4, y), Shows::Red) << "the view below comes back";
    EXPECT_EQ(at(image, w * 3 / 4, y), Shows::Blue) << "the popped one, half out";
    advance(ui::NavigationController::kTransitionDuration / 2);
    EXPECT_EQ(at(render(), w * 3 / 4, y), Shows::Red);
}

TEST_F(TransitionDrawingTest, AModalSlidesUpAndItsDismissalDown) {
    VisibleWindow shown(root);
    auto& window = shown;
    const auto render = [&] { return ui::Renderer::render(*window, 1); };
    const double x = window->bounds().width() / 2;
    const double h = window->bounds().height();
    constexpr double kHalf = ui::PresentationController::kTransitionDuration / 2;

    root->presentViewController(next, true);
    advance(kHalf);
    auto image = render();
    EXPECT_EQ(at(image, x, h / 4), Shows::Red);
    EXPECT_EQ(at(image, x, h * 3 / 4), Shows::Blue);
    advance(kHalf);
    EXPECT_EQ(at(render(), x, h / 4), Shows::Blue);

    root->dismissViewController(true);
    advance(kHalf);
    image = render();
    EXPECT_EQ(at(image, x, h / 4), Shows::Red);
    EXPECT_EQ(at(image, x, h * 3 / 4), Shows::Blue);
    advance(kHalf);
    EXPECT_EQ(at(render(), x, h * 3 / 4), Shows::Red);
}

TEST_F(TransitionDrawingTest, AnAlertFadesAndShrinksInAndAnActionSheetSlidesUp) {
    VisibleWindow shown(root);
    auto& window = shown;
    const auto render = [&] { return ui::Renderer::render(*window, 1); };
    constexpr double kHalf = ui::PresentationController::kTransitionDuration / 2;
    // The red backdrop under the 40% black dimming, at a corner no box covers.
    const auto dimmedRed = [&] { return render()->pixelAt(2, 2).red; };

    const auto alert = ui::AlertController::create("Title", "Message");
    alert->addAction({"OK", ui::AlertActionStyle::Default, {}});
    root->presentViewController(alert, true);
    const auto alertView = std::dynamic_pointer_cast<ui::AlertView>(alert->view());
    ASSERT_TRUE(alertView);
    advance(kHalf);
    EXPECT_NEAR(dimmedRed(), 1 - 0.4 * alertView->presentationAlpha(), 0.01);
    EXPECT_GT(alertView->presentationAlpha(), 0.3);
    EXPECT_LT(alertView->presentationAlpha(), 0.7);
    const double scale = alertView->box()->presentationTransform().a;
    EXPECT_GT(scale, 1.01) << "still larger than its size";
    EXPECT_LT(scale, ui::standard::kAlertStartScale);
    advance(kHalf);
    EXPECT_NEAR(dimmedRed(), 0.6, 0.01);
    EXPECT_DOUBLE_EQ(alertView->box()->presentationTransform().a, 1);
    root->dismissViewController(false);
    core::RunLoop::main().runOnce();

    const auto sheet = ui::AlertController::create("Title", "Message",
                                                   ui::AlertControllerStyle::ActionSheet);
    sheet->addAction({"OK", ui::AlertActionStyle::Default, {}});
    root->presentViewController(sheet, true);
    const auto sheetView = std::dynamic_pointer_cast<ui::AlertView>(sheet->view());
    ASSERT_TRUE(sheetView);
    window->layoutTree();
    const double restingY = sheetView->box()->center().y;
    advance(kHalf);
    const double movingY = sheetView->box()->presentationCenter().y;
    EXPECT_GT(movingY, restingY + 20) << "on its way up from below";
    advance(kHalf);
    EXPECT_DOUBLE_EQ(sheetView->box()->presentationCenter().y, restingY);
}

// A slide-back: the dismissed view moves right by the screen's width, at
// a steady pace, and ends the transition the way it went.
class SlideBack : public ui::AnimatedTransitioning {
public:
    double transitionDuration(ui::TransitionContext&) override { return 0.3; }
    void animateTransition(ui::TransitionContext& context) override {
        const auto view = context.viewForKey(ui::TransitionKey::From);
        const double width = view->bounds().width();
        ui::View::animate(
            0.3, [&] { view->setTransform(gfx::AffineTransform::translation(width, 0)); },
            [context = context.shared_from_this()](bool) {
                context->completeTransition(!context->transitionWasCancelled());
            },
            {.curve = ui::AnimationCurve::Linear});
    }
};

class SlideBackDelegate : public ui::TransitioningDelegate {
public:
    std::shared_ptr<ui::AnimatedTransitioning>
    animationControllerForDismissed(const std::shared_ptr<ui::ViewController>&) override {
        return std::make_shared<SlideBack>();
    }
    std::shared_ptr<ui::InteractiveTransitioning>
    interactionControllerForDismissal(const std::shared_ptr<ui::AnimatedTransitioning>&) override {
        return interaction;
    }
    std::shared_ptr<ui::PercentDrivenInteractiveTransition> interaction =
        std::make_shared<ui::PercentDrivenInteractiveTransition>();
};

TEST_F(TransitionDrawingTest, ASlideBackFollowsTheFingerAndACancelledOneSpringsBack) {
    VisibleWindow shown(root);
    auto& window = shown;
    const auto render = [&] { return ui::Renderer::render(*window, 1); };
    const double w = window->bounds().width();
    const double y = window->bounds().height() / 2;
    const auto delegate = std::make_shared<SlideBackDelegate>();
    root->presentViewController(next, false);
    next->setTransitioningDelegate(delegate);
    auto& interaction = *delegate->interaction;

    next->dismissViewController(true);
    interaction.update(0.4);
    advance(2);  // held where the finger is, however long it stays
    auto image = render();
    EXPECT_NEAR(next->view()->presentationTransform().tx, 0.4 * w, 1e-6);
    EXPECT_EQ(at(image, 0.38 * w, y), Shows::Red) << "uncovered";
    EXPECT_EQ(at(image, 0.42 * w, y), Shows::Blue);

    interaction.update(0.2);
    EXPECT_NEAR(next->view()->presentationTransform().tx, 0.2 * w, 1e-6) << "and back";
    interaction.cancel();
    EXPECT_TRUE(next->view()->transform().isIdentity()) << "the model is back at once";
    const double start = next->view()->presentationTransform().tx;
    EXPECT_NEAR(start, 0.2 * w, 1e-6) << "drawn from where it was";
    advance(0.03);
    const double moving = next->view()->presentationTransform().tx;
    EXPECT_LT(moving, start);
    EXPECT_GT(moving, 0.001);
    advance(0.03);
    EXPECT_DOUBLE_EQ(next->view()->presentationTransform().tx, 0);
    EXPECT_EQ(root->presentedViewController(), next);

    // Finished, it runs on from the finger to the end.
    next->dismissViewController(true);
    interaction.update(0.5);
    interaction.finish();
    advance(0.075);
    EXPECT_NEAR(next->view()->presentationTransform().tx, 0.75 * w, 1e-6);
    advance(0.075);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(at(render(), w / 2, y), Shows::Red);
}

}  // namespace
