#include <gtest/gtest.h>

#include <memory>

#include "gfx/Image.h"
#include "ui/GradientView.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

using gfx::Color;
using gfx::Rect;

namespace {

class GradientViewTest : public testing::Test {
protected:
    void SetUp() override {
        window_->setBackgroundColor(Color::white());
        window_->addSubview(gradient_);
    }
    [[nodiscard]] gfx::ImagePtr render() const { return ui::Renderer::render(*window_, 1); }

    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 100, 100));
    std::shared_ptr<ui::GradientView> gradient_ =
        std::make_shared<ui::GradientView>(Rect(0, 0, 100, 100));
};

TEST_F(GradientViewTest, TakesNoTouches) {
    EXPECT_FALSE(gradient_->isUserInteractionEnabled());
    EXPECT_EQ(window_->hitTest({50, 50}).get(), window_.get());
}

TEST_F(GradientViewTest, TopToBottomByDefault) {
    gradient_->setColors({Color::black(), Color::white()});
    const auto image = render();
    ASSERT_TRUE(image);
    EXPECT_LT(image->pixelAt(50, 0).red, 0.02);
    EXPECT_GT(image->pixelAt(50, 99).red, 0.98);
    EXPECT_NEAR(image->pixelAt(50, 50).red, 0.5, 0.02);
    // Constant along a row.
    EXPECT_NEAR(image->pixelAt(0, 30).red, image->pixelAt(99, 30).red, 0.01);
}

TEST_F(GradientViewTest, TranslucentBlackFadingToClearOverWhite) {
    // The dark edge of a bar: black at 0.3 down to clear at 95%.
    gradient_->setColors({Color{0, 0, 0, 0.3}, Color::clear()});
    gradient_->setLocations({0, 0.95});
    const auto image = render();
    ASSERT_TRUE(image);
    EXPECT_NEAR(image->pixelAt(50, 0).red, 0.7, 0.02);
    EXPECT_GT(image->pixelAt(50, 97).red, 0.99);
    EXPECT_LT(image->pixelAt(50, 40).red, image->pixelAt(50, 60).red);
}

TEST_F(GradientViewTest, UnitPointsSetTheDirection) {
    gradient_->setColors({Color::black(), Color::white()});
    gradient_->setStartPoint({1, 0.5});
    gradient_->setEndPoint({0, 0.5});
    const auto image = render();
    ASSERT_TRUE(image);
    EXPECT_LT(image->pixelAt(99, 50).red, 0.02);
    EXPECT_GT(image->pixelAt(0, 50).red, 0.98);

    // Points follow the bounds, not the window.
    gradient_->setFrame(Rect(50, 0, 50, 100));
    const gfx::LinearGradient g = gradient_->gradient();
    EXPECT_EQ(g.start, (gfx::Point{50, 50}));
    EXPECT_EQ(g.end, (gfx::Point{0, 50}));
}

TEST_F(GradientViewTest, LocationsNotMatchingTheColoursAreSpreadEvenly) {
    gradient_->setColors({Color::black(), Color::white(), Color::black()});
    gradient_->setLocations({0, 1});
    const auto g = gradient_->gradient();
    ASSERT_EQ(g.stops.size(), 3u);
    EXPECT_EQ(g.stops[1].location, 0.5);
    const auto image = render();
    EXPECT_GT(image->pixelAt(50, 50).red, 0.98);
}

}  // namespace
