#include <gtest/gtest.h>

#include <memory>

#include "gfx/Image.h"
#include "ui/Renderer.h"
#include "ui/VisualEffectView.h"
#include "ui/Window.h"

using gfx::Color;
using gfx::Rect;

namespace {

// A window whose left half is black and right half white: a sharp edge at
// x = 100.
class VisualEffectViewTest : public testing::Test {
protected:
    void SetUp() override {
        window_->setBackgroundColor(Color::white());
        auto black = std::make_shared<ui::View>(Rect(0, 0, 100, 100));
        black->setBackgroundColor(Color::black());
        window_->addSubview(black);
    }

    [[nodiscard]] gfx::ImagePtr render() const { return ui::Renderer::render(*window_, 2); }
    // Brightness at a point (in points) of a render at scale 2.
    static double level(const gfx::ImagePtr& image, double x, double y) {
        return image->pixelAt(int(x * 2), int(y * 2)).red;
    }
    std::shared_ptr<ui::VisualEffectView> addBlur(ui::BlurEffectStyle style) {
        auto blur = std::make_shared<ui::VisualEffectView>(style);
        blur->setFrame(Rect(40, 0, 120, 100));
        window_->addSubview(blur);
        return blur;
    }

    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 200, 100));
};

TEST_F(VisualEffectViewTest, BlursTheEdgeBeneathAndTints) {
    const auto sharp = render();
    addBlur(ui::BlurEffectStyle::Light);
    const auto blurred = render();
    ASSERT_TRUE(sharp && blurred);

    // Sharp: 4 points either side of the edge are black and white.
    EXPECT_LT(level(sharp, 96, 50), 0.01);
    EXPECT_GT(level(sharp, 104, 50), 0.99);
    // Blurred: both sides meet in the middle, the white tint lifting the dark side.
    EXPECT_GT(level(blurred, 96, 50), 0.35);
    EXPECT_LT(level(blurred, 104, 50), 0.85);
    EXPECT_LT(level(blurred, 96, 50), level(blurred, 104, 50));
    // Outside the view nothing changed.
    EXPECT_LT(level(blurred, 20, 50), 0.01);
    EXPECT_GT(level(blurred, 180, 50), 0.99);
    // Opaque.
    EXPECT_NEAR(blurred->pixelAt(200, 100).alpha, 1, 1e-9);
}

TEST_F(VisualEffectViewTest, AlphaFadesTheEffect) {
    const auto sharp = render();
    const auto blur = addBlur(ui::BlurEffectStyle::Light);
    const auto full = render();
    blur->setAlpha(0.5);
    const auto half = render();
    ASSERT_TRUE(sharp && full && half);
    for (const double x : {96.0, 104.0, 60.0}) {
        SCOPED_TRACE(x);
        const double expected = (level(sharp, x, 50) + level(full, x, 50)) / 2;
        EXPECT_NEAR(level(half, x, 50), expected, 0.02);
    }
}

TEST_F(VisualEffectViewTest, DarkStyleDarkensAndContentDrawsAbove) {
    const auto blur = addBlur(ui::BlurEffectStyle::Dark);
    auto badge = std::make_shared<ui::View>(Rect(100, 40, 20, 20));
    badge->setBackgroundColor(Color::fromRGB(0xFF0000));
    blur->contentView()->addSubview(badge);
    const auto image = render();
    ASSERT_TRUE(image);
    EXPECT_EQ(blur->contentView()->frame(), Rect(0, 0, 120, 100));
    // Far into the white side, still darkened.
    EXPECT_LT(level(image, 150, 10), 0.5);
    const Color red = image->pixelAt(int(150 * 2), int(50 * 2));
    EXPECT_GT(red.red, 0.99);
    EXPECT_LT(red.green, 0.01);
}

TEST_F(VisualEffectViewTest, BackdropIsTakenInsideAnAncestorsLayer) {
    // The black square and the blur inside a translucent container: the
    // blur still sees the square beneath it within the container's layer.
    auto container = std::make_shared<ui::View>(Rect(0, 0, 200, 100));
    container->setAlpha(0.99);
    auto black = std::make_shared<ui::View>(Rect(0, 0, 100, 100));
    black->setBackgroundColor(Color::black());
    container->addSubview(black);
    auto blur = std::make_shared<ui::VisualEffectView>(ui::BlurEffectStyle::Light);
    blur->setFrame(Rect(40, 0, 120, 100));
    container->addSubview(blur);
    window_->addSubview(container);
    const auto image = render();
    ASSERT_TRUE(image);
    EXPECT_GT(level(image, 96, 50), 0.35);
    EXPECT_LT(level(image, 104, 50), 0.85);
}

}  // namespace
