// Drawing a view tree into a rectangle of another canvas (the viewer paints
// its quote label into the saved image this way), and the popover anchor of
// action sheets on the pad idiom.

#include <gtest/gtest.h>

#include <memory>

#include "DeviceProfileScope.h"
#include "gfx/Bitmap.h"
#include "ui/AlertController.h"
#include "ui/DeviceProfile.h"
#include "ui/PopoverPresentationController.h"
#include "ui/Renderer.h"
#include "ui/View.h"

namespace {

const gfx::Color kRed{1, 0, 0, 1};
const gfx::Color kBlue{0, 0, 1, 1};

// A 100x50 red view with a blue right half, placed somewhere irrelevant.
std::shared_ptr<ui::View> halves() {
    auto view = std::make_shared<ui::View>(gfx::Rect(500, 500, 100, 50));
    view->setBackgroundColor(kRed);
    auto right = std::make_shared<ui::View>(gfx::Rect(50, 0, 50, 50));
    right->setBackgroundColor(kBlue);
    view->addSubview(right);
    return view;
}

TEST(ViewHierarchyDrawingTest, TheViewsBoundsAreStretchedOverTheRectangle) {
    const auto bitmap = gfx::Bitmap::create({300, 200}, 1);
    ASSERT_TRUE(bitmap);
    const auto view = halves();
    ui::Renderer::drawViewHierarchy(*view, bitmap->canvas(), {10, 20, 200, 100});
    const auto image = bitmap->makeImage();
    EXPECT_EQ(image->pixelAt(12, 22), kRed);
    EXPECT_EQ(image->pixelAt(108, 118), kRed);
    EXPECT_EQ(image->pixelAt(112, 22), kBlue);
    EXPECT_EQ(image->pixelAt(208, 118), kBlue);
    EXPECT_EQ(image->pixelAt(8, 60).alpha, 0.0);
    EXPECT_EQ(image->pixelAt(212, 60).alpha, 0.0);
    EXPECT_EQ(image->pixelAt(100, 122).alpha, 0.0);
}

TEST(ViewHierarchyDrawingTest, AHiddenViewDrawsNothingAndATranslucentOneIsBlended) {
    const auto bitmap = gfx::Bitmap::create({100, 50}, 1);
    const auto view = halves();
    view->setHidden(true);
    ui::Renderer::drawViewHierarchy(*view, bitmap->canvas(), {0, 0, 100, 50});
    EXPECT_EQ(bitmap->makeImage()->pixelAt(25, 25).alpha, 0.0);

    view->setHidden(false);
    view->setAlpha(0.5);
    ui::Renderer::drawViewHierarchy(*view, bitmap->canvas(), {0, 0, 100, 50});
    EXPECT_NEAR(bitmap->makeImage()->pixelAt(25, 25).alpha, 0.5, 0.01);
    EXPECT_NEAR(bitmap->makeImage()->pixelAt(75, 25).blue, 1.0, 0.01);
}

TEST(PopoverAnchorTest, OnlyActionSheetsOnThePadIdiomHaveOne) {
    const auto phoneSheet =
        ui::AlertController::create("t", "m", ui::AlertControllerStyle::ActionSheet);
    EXPECT_EQ(phoneSheet->popoverPresentationController(), nullptr);

    const testsupport::DeviceProfileScope device("pad");
    ASSERT_TRUE(device.selected());
    ASSERT_EQ(ui::DeviceProfile::current().idiom, ui::UserInterfaceIdiom::Pad);
    EXPECT_EQ(ui::AlertController::create("t")->popoverPresentationController(), nullptr);
    const auto sheet = ui::AlertController::create("t", "m", ui::AlertControllerStyle::ActionSheet);
    const auto popover = sheet->popoverPresentationController();
    ASSERT_TRUE(popover);
    EXPECT_EQ(sheet->popoverPresentationController(), popover);

    auto sender = std::make_shared<ui::View>(gfx::Rect(0, 0, 60, 50));
    popover->setSourceView(sender);
    popover->setSourceRect(sender->bounds());
    EXPECT_EQ(popover->sourceView(), sender);
    EXPECT_EQ(popover->sourceRect(), gfx::Rect(0, 0, 60, 50));
    EXPECT_EQ(popover->anchorInWindow(), std::nullopt) << "not in a window";
    sender.reset();
    EXPECT_EQ(popover->sourceView(), nullptr) << "held weakly";
}

}  // namespace
