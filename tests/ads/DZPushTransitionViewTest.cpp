// The push transition view on the manual clock: one view never moves,
// three cycle at animation-plus-presentation steps, and a change of a
// duration starts the wait again.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "ads/native/DZPushTransitionView.h"
#include "support/ManualClockScope.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace {

using ads::DZPushTransitionView;

class DZPushTransitionViewTest : public testing::Test {
protected:
    // Advances the clock and runs what became due.
    void advance(double seconds) {
        clock.advance(seconds);
        ASSERT_TRUE(adwebtesting::drainMainQueue());
    }
    [[nodiscard]] std::shared_ptr<ui::View> shown() const {
        const auto& shownViews = view->clippingView()->subviews();
        return shownViews.size() == 1 ? shownViews[0] : nullptr;
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<DZPushTransitionView> view = DZPushTransitionView::create({0, 0, 20, 10});
    std::shared_ptr<ui::View> a = std::make_shared<ui::View>(gfx::Rect{0, 0, 8, 6});
    std::shared_ptr<ui::View> b = std::make_shared<ui::View>(gfx::Rect{0, 0, 8, 6});
    std::shared_ptr<ui::View> c = std::make_shared<ui::View>(gfx::Rect{0, 0, 8, 6});
};

TEST_F(DZPushTransitionViewTest, OneViewShowsAndNeverMoves) {
    view->setViews({a});
    EXPECT_EQ(shown(), a);
    advance(30);
    EXPECT_EQ(shown(), a);
    EXPECT_FALSE(view->clippingView()->transitionForKey(DZPushTransitionView::kTransitionKey));
}

TEST_F(DZPushTransitionViewTest, ThreeViewsCycleEveryFiveSeconds) {
    view->setViews({a, b, c});
    EXPECT_EQ(shown(), a);
    advance(4.9);
    EXPECT_EQ(shown(), a);
    advance(0.1);
    EXPECT_EQ(shown(), b);
    const auto transition = view->clippingView()->transitionForKey(DZPushTransitionView::kTransitionKey);
    ASSERT_TRUE(transition);
    EXPECT_EQ(transition->type, ui::LayerTransition::Type::Push);
    EXPECT_EQ(transition->subtype, ui::LayerTransition::Subtype::FromTop);
    EXPECT_EQ(transition->duration, 1.0);
    EXPECT_EQ(transition->timing, ui::LayerTransition::Timing::EaseInEaseOut);
    advance(5);
    EXPECT_EQ(shown(), c);
    advance(5);
    EXPECT_EQ(shown(), a);
    EXPECT_EQ(view->currentViewIndex(), 0u);
}

TEST_F(DZPushTransitionViewTest, ADurationChangeRestartsTheWait) {
    view->setViews({a, b, c});
    advance(3);
    const auto group = view->animationGroupIdentifier();
    view->setPresentationDuration(2);
    EXPECT_EQ(view->animationGroupIdentifier(), group + 1);
    advance(2.5);
    EXPECT_EQ(shown(), a) << "the step scheduled first was dropped";
    advance(0.5);
    EXPECT_EQ(shown(), b) << "a full 1 + 2 s after the change";
    advance(3);
    EXPECT_EQ(shown(), c);
}

// Drawn: the first push already shows the view it replaces leaving as the
// next comes in, though no transition had been drawn in the view before.
TEST_F(DZPushTransitionViewTest, TheFirstPushDrawsBothViewsHalfway) {
    ui::Window window({0, 0, 20, 10});
    window.addSubview(view);
    a->setFrame({0, 0, 20, 10});
    b->setFrame({0, 0, 20, 10});
    a->setBackgroundColor(gfx::Color::fromRGB(0xFF0000));
    b->setBackgroundColor(gfx::Color::fromRGB(0x0000FF));
    view->setViews({a, b});
    ASSERT_TRUE(ui::Renderer::render(window, 1));
    advance(5.5);  // halfway through the one-second push
    const auto picture = ui::Renderer::render(window, 1);
    ASSERT_TRUE(picture);
    int red = 0;
    int blue = 0;
    for (int y = 0; y < 10; ++y) {
        const gfx::Color pixel = picture->pixelAt(10, y);
        if (pixel.red > 0.9 && pixel.blue < 0.1) ++red;
        if (pixel.blue > 0.9 && pixel.red < 0.1) ++blue;
    }
    EXPECT_GE(red, 3) << "the first view, leaving";
    EXPECT_GE(blue, 3) << "the second, coming in";
}

}  // namespace
