#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gfx/Canvas.h"
#include "gfx/GeometryPrinting.h"
#include "gfx/Image.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/Control.h"
#include "ui/Pasteboard.h"
#include "ui/Renderer.h"
#include "ui/Toolbar.h"
#include "ui/Window.h"

using gfx::Rect;
using ui::BarButtonItem;
using ui::BarButtonItemStyle;
using ui::BarButtonSystemItem;
using ui::Toolbar;

namespace {

// A 10x10 opaque square, the shape an image item shows.
gfx::ImagePtr square() {
    return gfx::Image::draw({10, 10}, 1, [](gfx::Canvas& canvas) {
        canvas.fillRect({0, 0, 10, 10}, gfx::Color::black());
    });
}

std::shared_ptr<BarButtonItem> flexible() {
    return BarButtonItem::withSystemItem(BarButtonSystemItem::FlexibleSpace);
}

TEST(ToolbarTest, ItemsTakeTheirWidthsAndFlexibleSpacesShareTheRest) {
    const auto toolbar = std::make_shared<Toolbar>(Rect(0, 600, 375, 44));
    const auto back = BarButtonItem::withImage(square(), BarButtonItemStyle::Plain, {});
    back->setWidth(27);
    const auto spinnerView = std::make_shared<ui::ActivityIndicatorView>();
    const auto spinner = BarButtonItem::withCustomView(spinnerView);
    spinner->setWidth(20);
    const auto reload = BarButtonItem::withSystemItem(BarButtonSystemItem::Refresh);
    const auto done = BarButtonItem::withSystemItem(BarButtonSystemItem::Done);
    done->setStyle(BarButtonItemStyle::Done);
    toolbar->setItems({back, flexible(), spinner, flexible(), reload, done});
    toolbar->layoutIfNeeded();

    const auto& frames = toolbar->itemFrames();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[0], Rect(Toolbar::kEdgeMargin, 0, 27, 44));
    EXPECT_EQ(frames[2].width(), 20);
    EXPECT_EQ(frames[4].width(), BarButtonItem::kGlyphWidth);
    // Adjacent items are spaced; spaces are equal and fill the bar.
    EXPECT_EQ(frames[5].minX(), frames[4].minX() + frames[4].width() + Toolbar::kItemSpacing);
    EXPECT_GT(frames[5].width(), 30);
    EXPECT_DOUBLE_EQ(frames[1].width(), frames[3].width());
    EXPECT_DOUBLE_EQ(frames[5].minX() + frames[5].width(), 375 - Toolbar::kEdgeMargin);
    // Views fill their slots; a custom view keeps its size, centred.
    EXPECT_EQ(back->view()->frame(), frames[0]);
    EXPECT_EQ(spinnerView->frame().size, (gfx::Size{20, 20}));
    EXPECT_DOUBLE_EQ(spinnerView->frame().minX(), frames[2].minX());
    EXPECT_DOUBLE_EQ(spinnerView->frame().minY(), 12);
    EXPECT_EQ(flexible()->view(), nullptr);

    // New items replace the old views.
    toolbar->setItems({flexible(), done});
    EXPECT_EQ(back->view()->superview(), nullptr);
    EXPECT_EQ(spinnerView->superview(), nullptr);
    EXPECT_EQ(toolbar->subviews().size(), 1u);
    toolbar->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(toolbar->itemFrames()[1].minX() + toolbar->itemFrames()[1].width(),
                     375 - Toolbar::kEdgeMargin);

    // A bar reaching under the screen's bottom inset keeps its items above it.
    toolbar->setItems({back, spinner});
    toolbar->setFrame({0, 600, 375, 44 + 34});
    toolbar->layoutIfNeeded();
    EXPECT_EQ(back->view()->frame(), Rect(Toolbar::kEdgeMargin, 0, 27, 44));
    EXPECT_DOUBLE_EQ(spinnerView->frame().minY(), 12);
}

TEST(ToolbarTest, ATapRunsTheActionOnlyWhileEnabled) {
    std::vector<BarButtonItem*> tapped;
    const auto reload = BarButtonItem::withSystemItem(
        BarButtonSystemItem::Refresh, [&](BarButtonItem& item) { tapped.push_back(&item); });
    reload->setAccessibilityLabel("Reload");
    reload->setIsAccessibilityElement(true);
    const auto control = std::dynamic_pointer_cast<ui::Control>(reload->view());
    ASSERT_TRUE(control);
    control->sendActions(ui::ControlEvent::TouchUpInside);
    reload->setEnabled(false);
    EXPECT_FALSE(control->isEnabled());
    control->sendActions(ui::ControlEvent::TouchUpInside);
    EXPECT_FALSE(reload->sendAction());
    reload->setEnabled(true);
    EXPECT_TRUE(reload->sendAction());
    EXPECT_EQ(tapped, (std::vector<BarButtonItem*>{reload.get(), reload.get()}));
    EXPECT_EQ(reload->accessibilityLabel(), "Reload");
    EXPECT_TRUE(reload->isAccessibilityElement());
    // A view made before enabling follows the item, and one made after too.
    const auto disabled = BarButtonItem::withSystemItem(BarButtonSystemItem::Action);
    disabled->setEnabled(false);
    EXPECT_FALSE(std::dynamic_pointer_cast<ui::Control>(disabled->view())->isEnabled());
}

TEST(ToolbarTest, ImageItemsDrawInTheTintDimmedWhenDisabled) {
    const auto window = std::make_shared<ui::Window>(Rect(0, 0, 200, 44));
    const auto toolbar = std::make_shared<Toolbar>(Rect(0, 0, 200, 44));
    toolbar->setTintColor(gfx::Color::black());
    const auto enabled = BarButtonItem::withImage(square(), BarButtonItemStyle::Plain, {});
    const auto disabled = BarButtonItem::withImage(square(), BarButtonItemStyle::Plain, {});
    disabled->setEnabled(false);
    toolbar->setItems({enabled, flexible(), disabled});
    window->addSubview(toolbar);
    window->makeKeyAndVisible();
    const auto image = ui::Renderer::render(*window, 1);
    ASSERT_TRUE(image);
    const Rect left = toolbar->itemFrames()[0];
    const Rect right = toolbar->itemFrames()[2];
    const gfx::Color ink = image->pixelAt(int(left.minX() + left.width() / 2), 22);
    EXPECT_LT(ink.red, 0.05);
    const gfx::Color dim = image->pixelAt(int(right.minX() + right.width() / 2), 22);
    EXPECT_GT(dim.red, 0.5);
    EXPECT_LT(dim.red, 0.8);
    // Beside the square the bar's own colour shows.
    EXPECT_GT(image->pixelAt(int(left.minX() + 1), 22).red, 0.9);
}

TEST(PasteboardTest, HoldsTheLastStringCopied) {
    ui::Pasteboard& board = ui::Pasteboard::general();
    board.clearForTesting();
    EXPECT_EQ(board.string(), std::nullopt);
    const auto before = board.changeCount();
    board.setString("Creative ID: 1\nLine \"two\"");
    board.setString("");
    EXPECT_EQ(board.string(), "");
    EXPECT_EQ(board.changeCount(), before + 2);
    board.setString("exactly this");
    EXPECT_EQ(board.string(), "exactly this");
    board.clearForTesting();
}

}  // namespace
