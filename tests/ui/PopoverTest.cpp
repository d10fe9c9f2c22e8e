// Popovers on the pad idiom: where place() puts the box and its arrow, and
// an action sheet drawn as a popover next to its anchor (a phone keeps the
// sheet at the bottom over the dimmed screen).

#include <gtest/gtest.h>

#include <memory>

#include "DeviceProfileScope.h"
#include "RecordingController.h"
#include "support/ManualClockScope.h"
#include "ui/AlertBoxView.h"
#include "ui/AlertController.h"
#include "ui/AlertView.h"
#include "ui/Button.h"
#include "ui/PopoverArrowView.h"
#include "ui/PopoverPresentationController.h"
#include "ui/Renderer.h"

using ui::PopoverArrowDirection;
using ui::PopoverPresentationController;

namespace {

const gfx::Rect kArea{0, 0, 768, 1024};
constexpr double kLength = PopoverPresentationController::kArrowLength;
constexpr double kMargin = PopoverPresentationController::kMargin;

TEST(PopoverPlacementTest, BelowWhenItFitsElseAboveElseBeside) {
    // A button near the top: below it, the arrow up at its bottom edge.
    const auto below = PopoverPresentationController::place({100, 60, 40, 40}, {300, 200}, kArea);
    EXPECT_EQ(below.direction, PopoverArrowDirection::Up);
    EXPECT_EQ(below.tip, (gfx::Point{120, 100}));
    EXPECT_EQ(below.box.minY(), 100 + kLength);
    EXPECT_EQ(below.box.size, (gfx::Size{300, 200}));
    EXPECT_EQ(below.box.minX(), kMargin) << "kept inside the area";
    EXPECT_EQ(below.arrow, gfx::Rect(120 - 13, 100, 26, kLength));

    // A bar button at the bottom: above it, the arrow down at its top edge.
    const auto above = PopoverPresentationController::place({600, 970, 50, 44}, {300, 200}, kArea);
    EXPECT_EQ(above.direction, PopoverArrowDirection::Down);
    EXPECT_EQ(above.tip, (gfx::Point{625, 970}));
    EXPECT_EQ(above.box.maxY(), 970 - kLength);
    EXPECT_EQ(above.box.maxX(), 768 - kMargin) << "centred on the anchor, moved in";
    EXPECT_EQ(above.arrow.maxY(), 970);

    // In a corner the arrow goes as near the anchor as the box's corner allows.
    const auto corner = PopoverPresentationController::place({740, 980, 20, 30}, {300, 200}, kArea);
    EXPECT_EQ(corner.box.maxX(), 768 - kMargin);
    EXPECT_EQ(corner.tip, (gfx::Point{758 - 14 - 13, 980}));
    EXPECT_EQ(corner.arrow.maxX(), corner.box.maxX() - 14);

    // A tall popover next to a tall anchor: beside it, on the roomier side.
    const auto beside = PopoverPresentationController::place({100, 300, 40, 500}, {300, 600}, kArea);
    EXPECT_EQ(beside.direction, PopoverArrowDirection::Left);
    EXPECT_EQ(beside.box.minX(), 140 + kLength);
    EXPECT_EQ(beside.tip, (gfx::Point{140, 550}));
    EXPECT_GE(beside.box.minY(), kMargin);
    EXPECT_LE(beside.box.maxY(), 1024 - kMargin);

    // Nowhere large enough: cut to the larger room, below or above.
    const auto cut = PopoverPresentationController::place({0, 400, 768, 100}, {300, 900}, kArea);
    EXPECT_EQ(cut.direction, PopoverArrowDirection::Up);
    EXPECT_EQ(cut.box.maxY(), 1024 - kMargin);
    EXPECT_EQ(cut.box.minY(), 500 + kLength);
}

class PopoverSheetTest : public testing::Test {
protected:
    // An action sheet anchored at a button in the bottom right of a blue
    // screen, presented and drawn.
    gfx::ImagePtr presentSheet(const std::string& device) {
        const testsupport::DeviceProfileScope scope(device);
        EXPECT_TRUE(scope.selected());
        root_ = std::make_shared<ui::ViewController>();
        window_ = std::make_unique<testsupport::VisibleWindow>(root_);
        root_->view()->setBackgroundColor(gfx::Color{0, 0, 1, 1});
        const gfx::Rect screen = (*window_)->bounds();
        button_ = ui::Button::create(ui::ButtonType::System);
        button_->setFrame({screen.maxX() - 80, screen.maxY() - 60, 50, 44});
        root_->view()->addSubview(button_);
        sheet_ = ui::AlertController::create("Tip", "Which size?",
                                             ui::AlertControllerStyle::ActionSheet);
        sheet_->addAction({"Visible area", ui::AlertActionStyle::Default, nullptr});
        sheet_->addAction({"Original", ui::AlertActionStyle::Default, nullptr});
        sheet_->addAction({"Cancel", ui::AlertActionStyle::Cancel, nullptr});
        if (const auto popover = sheet_->popoverPresentationController()) {
            popover->setSourceView(button_);
            popover->setSourceRect(button_->bounds());
        }
        root_->presentViewController(sheet_, false);
        (*window_)->layoutTree();
        auto picture = ui::Renderer::render(**window_, 1);
        window_.reset();
        return picture;
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::ViewController> root_;
    std::unique_ptr<testsupport::VisibleWindow> window_;
    std::shared_ptr<ui::Button> button_;
    std::shared_ptr<ui::AlertController> sheet_;
};

bool isBlue(const gfx::Color& c) {
    return c.blue > 0.95 && c.red < 0.05 && c.green < 0.05;
}
bool isBox(const gfx::Color& c) {
    return c.red > 0.9 && c.green > 0.9 && c.blue > 0.9;
}

TEST_F(PopoverSheetTest, OnThePadTheSheetIsAPopoverPointingAtItsButton) {
    const auto picture = presentSheet("pad");
    ASSERT_TRUE(picture);
    const gfx::Rect anchor = button_->frame();
    const auto view = sheet_->alertView();
    const gfx::Rect box = view->box()->frame();
    ASSERT_TRUE(view->arrow());
    EXPECT_EQ(view->arrow()->direction(), PopoverArrowDirection::Down);
    EXPECT_EQ(box.width(), ui::AlertView::kPopoverWidth);
    EXPECT_EQ(box.maxY(), anchor.minY() - kLength) << "right above the button";

    // The arrow: box-coloured just above the button's middle, narrowing to
    // its point; the screen around is not dimmed.
    const int x = int(anchor.midX());
    EXPECT_TRUE(isBox(picture->pixelAt(x, int(anchor.minY() - kLength + 2))));
    EXPECT_TRUE(isBox(picture->pixelAt(x, int(anchor.minY() - 3))));
    EXPECT_TRUE(isBlue(picture->pixelAt(x - 11, int(anchor.minY() - 3)))) << "beside the point";
    EXPECT_TRUE(isBox(picture->pixelAt(int(box.midX()), int(box.midY()))));
    EXPECT_TRUE(isBlue(picture->pixelAt(20, 20))) << "the screen is not dimmed";
    EXPECT_TRUE(isBlue(picture->pixelAt(int(box.minX() - 5), int(box.midY()))));
}

TEST_F(PopoverSheetTest, OnAPhoneTheSheetStaysAtTheBottomOverTheDimmedScreen) {
    const auto picture = presentSheet("phone");
    ASSERT_TRUE(picture);
    EXPECT_EQ(sheet_->popoverPresentationController(), nullptr);
    EXPECT_EQ(sheet_->alertView()->arrow(), nullptr);
    const gfx::Rect box = sheet_->alertView()->box()->frame();
    EXPECT_EQ(box.maxY(), 667 - 8);
    const gfx::Color corner = picture->pixelAt(20, 20);
    EXPECT_NEAR(corner.blue, 0.6, 0.02) << "dimmed";
}

}  // namespace
