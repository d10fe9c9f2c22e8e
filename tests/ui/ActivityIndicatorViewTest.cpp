#include <gtest/gtest.h>

#include <memory>

#include "gfx/GeometryPrinting.h"
#include "gfx/Image.h"
#include "support/ManualClockScope.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

using gfx::Rect;
using ui::ActivityIndicatorView;
using ui::ActivityIndicatorViewStyle;

namespace {

TEST(ActivityIndicatorViewTest, HiddenWheneverStoppedUnlessToldOtherwise) {
    const auto spinner = std::make_shared<ActivityIndicatorView>();
    EXPECT_TRUE(spinner->isHidden());
    EXPECT_FALSE(spinner->isAnimating());
    spinner->startAnimating();
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_TRUE(spinner->isAnimating());
    spinner->stopAnimating();
    EXPECT_TRUE(spinner->isHidden());

    spinner->setHidesWhenStopped(false);
    EXPECT_FALSE(spinner->isHidden());
    spinner->startAnimating();
    spinner->stopAnimating();
    EXPECT_FALSE(spinner->isHidden());
    spinner->setHidesWhenStopped(true);
    EXPECT_TRUE(spinner->isHidden());
}

TEST(ActivityIndicatorViewTest, StylesSetSizeAndColour) {
    const auto spinner = std::make_shared<ActivityIndicatorView>();
    EXPECT_EQ(spinner->frame(), Rect(0, 0, 20, 20));
    EXPECT_EQ(spinner->color(), gfx::Color::white());
    spinner->setCenter({100, 100});
    spinner->setStyle(ActivityIndicatorViewStyle::WhiteLarge);
    EXPECT_EQ(spinner->frame(), Rect(81.5, 81.5, 37, 37));
    EXPECT_EQ(spinner->intrinsicContentSize(), (gfx::Size{37, 37}));

    const auto gray = std::make_shared<ActivityIndicatorView>(ActivityIndicatorViewStyle::Gray);
    EXPECT_NE(gray->color(), gfx::Color::white());
    gray->setColor(gfx::Color{1, 0, 0, 1});
    EXPECT_EQ(gray->color(), (gfx::Color{1, 0, 0, 1}));
}

TEST(ActivityIndicatorViewTest, TurnsWithTheClockOnlyWhileAnimating) {
    testsupport::ManualClockScope clock;
    const auto spinner = std::make_shared<ActivityIndicatorView>();
    clock.advance(0.3);
    EXPECT_EQ(spinner->leadingSpoke(), 0);
    spinner->startAnimating();
    EXPECT_EQ(spinner->leadingSpoke(), 0);
    clock.advance(0.26);
    EXPECT_EQ(spinner->leadingSpoke(), 3);
    clock.advance(1);  // a whole turn
    EXPECT_EQ(spinner->leadingSpoke(), 3);
    spinner->stopAnimating();
    EXPECT_EQ(spinner->leadingSpoke(), 0);
}

// The brightest pixel of a square of the image, as the sum of its channels.
double brightest(const gfx::ImagePtr& image, const Rect& square) {
    double best = 0;
    for (int y = int(square.minY()); y < int(square.maxY()); ++y) {
        for (int x = int(square.minX()); x < int(square.maxX()); ++x) {
            const gfx::Color c = image->pixelAt(x, y);
            best = std::max(best, c.red + c.green + c.blue);
        }
    }
    return best;
}

TEST(ActivityIndicatorViewTest, DrawsSpokesOnlyWhileShown) {
    const auto window = std::make_shared<ui::Window>(Rect(0, 0, 60, 60));
    window->setBackgroundColor(gfx::Color::black());
    const auto spinner = std::make_shared<ActivityIndicatorView>();
    spinner->setCenter({30, 30});
    window->addSubview(spinner);
    const Rect area(20, 20, 20, 20);

    EXPECT_EQ(brightest(ui::Renderer::render(*window, 1), area), 0);
    spinner->startAnimating();
    EXPECT_GT(brightest(ui::Renderer::render(*window, 1), area), 2);
    // The centre stays empty: spokes start away from it.
    EXPECT_EQ(brightest(ui::Renderer::render(*window, 1), Rect(29, 29, 2, 2)), 0);
}

}  // namespace
