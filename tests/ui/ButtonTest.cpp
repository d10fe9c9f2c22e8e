#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "gfx/Bitmap.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Window.h"

using gfx::Color;
using gfx::Rect;
using ui::Button;
using ui::ButtonType;
using ui::ControlState;

namespace {

gfx::ImagePtr solidImage(int pixels, double scale, const Color& color) {
    return gfx::Image::create(
        pixels, pixels, gfx::Image::Pixels(pixels * pixels, color.premultipliedARGB()), scale);
}

TEST(ButtonTest, ContentFallsBackToNormal) {
    const auto button = Button::create();
    button->setTitle("Save");
    button->setTitle("Saved", ControlState::Selected);
    button->setTitleColor(Color::black());
    button->setTitleColor(Color::fromRGB(0xFF0000), ControlState::Highlighted);

    EXPECT_EQ(button->titleForState(ControlState::Highlighted), "Save");
    EXPECT_EQ(button->titleForState(ControlState::Disabled), "Save");
    EXPECT_EQ(button->titleColorForState(ControlState::Selected), Color::black());

    button->setHighlighted(true);
    EXPECT_EQ(button->titleLabel()->text(), "Save");
    EXPECT_EQ(button->titleLabel()->textColor(), Color::fromRGB(0xFF0000));
    button->setHighlighted(false);
    EXPECT_EQ(button->titleLabel()->textColor(), Color::black());
    button->setSelected(true);
    EXPECT_EQ(button->currentTitle(), "Saved");
    EXPECT_EQ(button->titleLabel()->text(), "Saved");
    button->setSelected(false);
    button->setEnabled(false);
    EXPECT_EQ(button->titleLabel()->text(), "Save");

    const auto image = solidImage(4, 2, Color::white());
    button->setImage(image);
    button->setImage(nullptr, ControlState::Disabled);
    EXPECT_EQ(button->imageView()->image(), image);
}

TEST(ButtonTest, DefaultTitleColourDependsOnTheType) {
    EXPECT_EQ(Button::create(ButtonType::System)->currentTitleColor(), Button::kSystemTintColor);
    EXPECT_EQ(Button::create(ButtonType::Custom)->currentTitleColor(), Color::white());
}

TEST(ButtonTest, ImageAndTitleSitSideBySideCentred) {
    const auto button = Button::create();
    button->setFrame(Rect(0, 0, 200, 44));
    button->setImage(solidImage(40, 2, Color::white()));
    button->setTitle("Share");
    button->layoutIfNeeded();
    const Rect image = button->imageView()->frame();
    const Rect title = button->titleLabel()->frame();
    EXPECT_EQ(image.size, (gfx::Size{20, 20}));
    EXPECT_GT(title.width(), 20);
    EXPECT_EQ(image.maxX(), title.minX());
    EXPECT_NEAR((image.minX() + title.maxX()) / 2, 100, 1e-9);
    EXPECT_NEAR(image.midY(), 22, 1e-9);
    EXPECT_NEAR(title.midY(), 22, 1e-9);

    button->setTitleEdgeInsets({0, 10, 0, 0});
    button->setContentEdgeInsets({0, 0, 0, 40});
    button->layoutIfNeeded();
    EXPECT_NEAR(button->imageView()->frame().minX(), image.minX() - 20, 1e-9);
    EXPECT_NEAR(button->titleLabel()->frame().minX(), title.minX() - 20 + 5, 1e-9);

    const gfx::Size fits = button->sizeThatFits({});
    EXPECT_EQ(fits.width, 20 + title.width() + 40);
    EXPECT_EQ(fits.height, std::max(20.0, title.height()));
}

TEST(ButtonTest, NewTitleFontRelaysTheButtonOut) {
    const auto button = Button::create();
    button->setFrame(Rect(0, 0, 200, 44));
    button->setTitle("Share");
    button->layoutIfNeeded();
    const double width = button->titleLabel()->frame().width();
    button->titleLabel()->setFont(gfx::Font::system(30));
    button->layoutIfNeeded();
    EXPECT_GT(button->titleLabel()->frame().width(), width * 1.5);
}

TEST(ButtonTest, DrawsTheBackgroundImageOfTheState) {
    const auto button = Button::create();
    button->setFrame(Rect(0, 0, 20, 20));
    button->setBackgroundImage(solidImage(2, 1, Color::fromRGB(0x00FF00)));
    button->setBackgroundImage(solidImage(2, 1, Color::fromRGB(0x0000FF)),
                               ControlState::Highlighted);
    const auto pixelAt = [&button](int x, int y) {
        const auto bitmap = gfx::Bitmap::create({20, 20}, 1);
        button->draw(bitmap->canvas(), button->bounds());
        return bitmap->makeImage()->pixelAt(x, y);
    };
    EXPECT_EQ(pixelAt(15, 15), Color::fromRGB(0x00FF00));
    button->setHighlighted(true);
    EXPECT_EQ(pixelAt(3, 3), Color::fromRGB(0x0000FF));
}

TEST(ButtonTest, TouchUpInsideSendsTheAction) {
    testsupport::ManualClockScope clock;
    const auto window = std::make_shared<ui::Window>(Rect(0, 0, 320, 480));
    const auto button = Button::create(ButtonType::System);
    button->setFrame(Rect(10, 10, 100, 40));
    button->setTitle("Go");
    button->setTitle("Going", ControlState::Highlighted);
    window->addSubview(button);
    int sent = 0;
    button->addAction(ui::ControlEvent::TouchUpInside, [&sent](ui::Control&) { ++sent; });

    auto touch = window->touchDown({30, 30});
    EXPECT_EQ(button->titleLabel()->text(), "Going");
    window->touchUp(touch, {30, 30});
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(button->titleLabel()->text(), "Go");

    touch = window->touchDown({30, 30});
    window->touchMove(touch, {300, 400});
    window->touchUp(touch, {300, 400});
    EXPECT_EQ(sent, 1);

    button->setEnabled(false);
    touch = window->touchDown({30, 30});
    window->touchUp(touch, {30, 30});
    EXPECT_EQ(sent, 1);
}

}  // namespace
