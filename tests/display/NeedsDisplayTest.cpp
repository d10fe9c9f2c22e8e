#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>

#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/GradientView.h"
#include "ui/Label.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

using gfx::Rect;

// The desktop window draws only when its window's needs-display flag is
// set: every change that shows must set it, and a quiet window must not.
class NeedsDisplayTest : public testing::Test {
protected:
    void SetUp() override {
        window_->addSubview(scroll_);
        scroll_->setContentSize({375, 3000});
        scroll_->addSubview(label_);
        window_->addSubview(gradient_);
        settle();
    }

    // Lays out, then starts afresh, as a drawn frame does.
    void settle() {
        window_->layoutTree();
        window_->clearNeedsDisplay();
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ScrollView> scroll_ =
        std::make_shared<ui::ScrollView>(Rect(0, 0, 375, 667));
    std::shared_ptr<ui::Label> label_ = std::make_shared<ui::Label>(Rect(10, 10, 200, 30));
    std::shared_ptr<ui::GradientView> gradient_ =
        std::make_shared<ui::GradientView>(Rect(0, 600, 375, 67));
};

TEST_F(NeedsDisplayTest, ChangesThatShowSetTheFlag) {
    const std::function<void()> changes[] = {
        [&] {
            scroll_->setContentOffset({0, 120});
        },
        [&] { label_->setText("hello"); },
        [&] {
            label_->setCenter({50, 50});
        },
        [&] { label_->setAlpha(0.5); },
        [&] { label_->setHidden(true); },
        [&] { label_->setBackgroundColor(gfx::Color::white()); },
        [&] { label_->setTransform(gfx::AffineTransform::scaling(2, 2)); },
        [&] { scroll_->bringSubviewToFront(scroll_->subviews().front().get()); },
        [&] { label_->removeFromSuperview(); },
        [&] { gradient_->setColors({gfx::Color::white(), gfx::Color::black()}); },
        [&] { gradient_->setEndPoint({1, 1}); },
        [&] { window_->addSubview(std::make_shared<ui::View>(Rect(0, 0, 5, 5))); },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        changes[i]();
        EXPECT_TRUE(window_->needsDisplay()) << "change " << i;
        settle();
    }
}

TEST_F(NeedsDisplayTest, AQuietWindowStaysClean) {
    label_->setCenter(label_->center());
    label_->setAlpha(1);
    label_->setHidden(false);
    scroll_->setContentOffset(scroll_->contentOffset());
    label_->setText("");
    window_->layoutTree();
    EXPECT_FALSE(window_->needsDisplay());

    // Views outside the window mark nothing.
    const auto loose = std::make_shared<ui::View>(Rect(0, 0, 10, 10));
    loose->setCenter({100, 100});
    loose->addSubview(std::make_shared<ui::View>());
    EXPECT_FALSE(window_->needsDisplay());
}

TEST_F(NeedsDisplayTest, PartsMarkedAddUpUntilAWholeMark) {
    EXPECT_EQ(window_->needsDisplayRect(), std::nullopt);
    label_->setNeedsDisplayInRect({0, 0, 20, 10});
    ASSERT_TRUE(window_->needsDisplay());
    // In the window's coordinates: the label sits at (10, 10) in the scroll
    // view's content, scrolled by nothing yet.
    EXPECT_EQ(window_->needsDisplayRect(), (Rect(10, 10, 20, 10)));
    gradient_->setNeedsDisplayInRect(gradient_->bounds());
    EXPECT_EQ(window_->needsDisplayRect(), (Rect(0, 10, 375, 657)));
    label_->setNeedsDisplayInRect({});  // nothing
    EXPECT_EQ(window_->needsDisplayRect(), (Rect(0, 10, 375, 657)));

    label_->setNeedsDisplay();
    EXPECT_EQ(window_->needsDisplayRect(), std::nullopt);
    label_->setNeedsDisplayInRect({0, 0, 5, 5});
    EXPECT_EQ(window_->needsDisplayRect(), std::nullopt);  // still all of it
    settle();
    EXPECT_EQ(window_->needsDisplayRect(), std::nullopt);
    scroll_->setContentOffset({0, 5});
    settle();
    label_->setNeedsDisplayInRect({0, 0, 5, 5});
    EXPECT_EQ(window_->needsDisplayRect(), (Rect(10, 5, 5, 5)));
}
