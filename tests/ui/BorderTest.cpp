#include <gtest/gtest.h>

#include <memory>

#include "gfx/Image.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

using gfx::Color;
using gfx::Rect;

namespace {

class BorderTest : public testing::Test {
protected:
    void SetUp() override {
        window_->setBackgroundColor(Color::white());
        view_->setBackgroundColor(Color::fromRGB(0x00FF00));
        window_->addSubview(view_);
    }

    // One channel of a pixel of a render at scale 1, in 0...255.
    static double red(const gfx::ImagePtr& image, int x, int y) {
        return image->pixelAt(x, y).red * 255;
    }
    static double green(const gfx::ImagePtr& image, int x, int y) {
        return image->pixelAt(x, y).green * 255;
    }

    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 60, 60));
    std::shared_ptr<ui::View> view_ = std::make_shared<ui::View>(Rect(10, 10, 40, 40));
};

TEST_F(BorderTest, ColourDefaultsToBlackOnceAWidthIsSet) {
    EXPECT_EQ(view_->borderColor(), std::nullopt);
    view_->setBorderWidth(2);
    EXPECT_EQ(view_->borderColor(), Color::black());
    view_->setBorderColor(Color::white());
    EXPECT_EQ(view_->borderColor(), Color::white());
    view_->setBorderWidth(-3);
    EXPECT_EQ(view_->borderWidth(), 0);
}

TEST_F(BorderTest, DrawnInsideTheBoundsAboveSubviews) {
    view_->setBorderWidth(4);
    view_->setBorderColor(Color::fromRGB(0xFF0000));
    // A subview covering the whole view stays under the border.
    auto cover = std::make_shared<ui::View>(Rect(0, 0, 40, 40));
    cover->setBackgroundColor(Color::fromRGB(0x0000FF));
    view_->addSubview(cover);

    const auto image = ui::Renderer::render(*window_, 1);
    ASSERT_TRUE(image);
    // Inside the frame's edge, 4 points deep: red.
    for (const auto& [x, y] : {std::pair{10, 30}, {13, 30}, {49, 30}, {30, 10}, {30, 46}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_GT(red(image, x, y), 250);
    }
    // Outside the frame: the window's white, untouched by the stroke.
    EXPECT_GT(green(image, 9, 30), 250);
    EXPECT_GT(green(image, 50, 30), 250);
    // Past the border: the subview's blue.
    EXPECT_LT(red(image, 14, 30), 5);
    EXPECT_GT(image->pixelAt(30, 30).blue * 255, 250);
}

TEST_F(BorderTest, FollowsTheCornerRadius) {
    view_->setCornerRadius(20);
    view_->setBorderWidth(2);
    view_->setBorderColor(Color::fromRGB(0xFF0000));
    const auto image = ui::Renderer::render(*window_, 1);
    ASSERT_TRUE(image);
    // The square's corner is outside the rounded border: white, not red.
    EXPECT_GT(green(image, 11, 11), 250);
    // The left edge at mid height is on the border.
    EXPECT_GT(red(image, 11, 30), 240);
    EXPECT_LT(green(image, 11, 30), 15);
}

}  // namespace
