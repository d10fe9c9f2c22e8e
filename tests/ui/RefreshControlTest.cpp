#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/RefreshControl.h"
#include "ui/ScrollView.h"
#include "ui/TableView.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using ui::RefreshControl;
using ui::ScrollView;

namespace {

// What the scroll view looked like each time the control sent ValueChanged.
struct Sent {
    bool dragging;
    bool refreshing;
    double insetTop;
};

class RefreshControlTest : public testing::Test {
protected:
    void SetUp() override {
        scroll_->setContentSize({375, 2000});
        window_->addSubview(scroll_);
        scroll_->setRefreshControl(control_);
        control_->addAction(ui::ControlEvent::ValueChanged, [this](ui::Control&) {
            sent_.push_back(
                {scroll_->isDragging(), control_->isRefreshing(), scroll_->contentInset().top});
            if (endAtOnce_) control_->endRefreshing();
        });
        window_->layoutTree();
    }

    // Pulls the content down by `distance` finger points (after the pan's
    // first step) and lets go without a fling.
    void pull(double distance) {
        const auto touch = window_->touchDown({200, 100});
        clock_.advance(0.02);
        window_->touchMove(touch, {200, 120});  // the pan begins here
        for (int step = 1; step <= 10; ++step) {
            clock_.advance(0.02);
            window_->touchMove(touch, {200, 120 + distance * step / 10});
        }
        clock_.advance(0.3);
        window_->touchUp(touch, {200, 120 + distance});
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<ScrollView> scroll_ = std::make_shared<ScrollView>(Rect(0, 0, 375, 667));
    std::shared_ptr<RefreshControl> control_ = std::make_shared<RefreshControl>();
    std::vector<Sent> sent_;
    bool endAtOnce_ = false;
};

TEST_F(RefreshControlTest, SitsAboveTheContentBehindIt) {
    EXPECT_EQ(control_->frame(), Rect(0, -60, 375, 60));
    EXPECT_EQ(scroll_->subviews().front(), control_);
    EXPECT_EQ(control_->scrollView(), scroll_);
    EXPECT_TRUE(control_->indicator()->isHidden());

    scroll_->setContentOffset({0, -30});
    window_->layoutTree();
    EXPECT_DOUBLE_EQ(control_->pullProgress(), 0.5);
    EXPECT_FALSE(control_->indicator()->isHidden());
    EXPECT_DOUBLE_EQ(control_->indicator()->alpha(), 0.5);
}

TEST_F(RefreshControlTest, PullPastTheThresholdRefreshesOnRelease) {
    pull(180);  // rubber-banded to -90
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_FALSE(sent_[0].dragging);
    EXPECT_TRUE(sent_[0].refreshing);
    EXPECT_EQ(sent_[0].insetTop, 60);
    EXPECT_TRUE(control_->isRefreshing());

    clock_.advance(1);
    window_->layoutTree();
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, -60}));
    EXPECT_TRUE(control_->indicator()->isAnimating());
    EXPECT_FALSE(control_->indicator()->isHidden());

    // Pulling again while refreshing sends nothing more.
    pull(180);
    clock_.advance(1);
    EXPECT_EQ(sent_.size(), 1u);
    EXPECT_EQ(scroll_->contentInset().top, 60);
}

TEST_F(RefreshControlTest, ShortPullOnlyBouncesBack) {
    pull(100);  // -50: short of -60
    clock_.advance(1);
    EXPECT_TRUE(sent_.empty());
    EXPECT_FALSE(control_->isRefreshing());
    EXPECT_EQ(scroll_->contentInset().top, 0);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
}

TEST_F(RefreshControlTest, EndRefreshingGivesTheInsetBackAndScrollsUp) {
    pull(180);
    clock_.advance(1);
    control_->endRefreshing();
    EXPECT_FALSE(control_->isRefreshing());
    EXPECT_EQ(scroll_->contentInset().top, 0);
    clock_.advance(0.15);
    EXPECT_GT(scroll_->contentOffset().y, -60);
    EXPECT_LT(scroll_->contentOffset().y, 0);
    clock_.advance(0.15);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
    window_->layoutTree();
    EXPECT_FALSE(control_->indicator()->isAnimating());
    EXPECT_TRUE(control_->indicator()->isHidden());

    control_->endRefreshing();  // twice changes nothing
    EXPECT_EQ(scroll_->contentInset().top, 0);
}

TEST_F(RefreshControlTest, ActionMayEndRefreshingAtOnce) {
    endAtOnce_ = true;
    pull(180);
    clock_.advance(1);
    EXPECT_EQ(sent_.size(), 1u);
    EXPECT_EQ(scroll_->contentInset().top, 0);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
}

TEST_F(RefreshControlTest, ThresholdCountsFromTheTopInset) {
    scroll_->setContentInset({20, 0, 0, 0});
    scroll_->setContentOffset({0, -20});
    pull(110);  // -20 - 55 = -75: short of -80
    clock_.advance(1);
    EXPECT_TRUE(sent_.empty());
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, -20}));

    pull(130);  // -85
    clock_.advance(1);
    EXPECT_EQ(sent_.size(), 1u);
    EXPECT_EQ(scroll_->contentInset().top, 80);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, -80}));
    control_->endRefreshing();
    clock_.advance(1);
    EXPECT_EQ(scroll_->contentInset().top, 20);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, -20}));
}

TEST_F(RefreshControlTest, BeginRefreshingFromCodeSendsNothing) {
    control_->beginRefreshing();
    EXPECT_TRUE(control_->isRefreshing());
    EXPECT_TRUE(sent_.empty());
    EXPECT_EQ(scroll_->contentInset().top, 60);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));  // the app scrolls when it wants
    control_->endRefreshing();
    EXPECT_EQ(scroll_->contentInset().top, 0);
}

TEST_F(RefreshControlTest, EmptyListsCanBePulledToo) {
    const auto table = std::make_shared<ui::TableView>(Rect(0, 0, 375, 667));
    const auto control = std::make_shared<RefreshControl>();
    int sent = 0;
    control->addAction(ui::ControlEvent::ValueChanged, [&sent](ui::Control&) { ++sent; });
    table->setRefreshControl(control);
    window_->addSubview(table);
    window_->layoutTree();
    pull(180);
    EXPECT_EQ(sent, 1);
    clock_.advance(1);
    EXPECT_EQ(table->contentOffset(), (Point{0, -60}));

    table->setRefreshControl(nullptr);  // detaching ends refreshing
    EXPECT_EQ(table->contentInset().top, 0);
    EXPECT_EQ(control->superview(), nullptr);
}

}  // namespace
