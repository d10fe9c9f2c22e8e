#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/GestureRecognizer.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using ui::ScrollView;

namespace {

// Records what the delegate hears; didScroll offsets apart from the rest.
class Recorder : public ui::ScrollViewDelegate {
public:
    std::vector<std::string> events;
    std::vector<Point> scrolled;
    Point velocity;
    Point proposedTarget;
    std::optional<Point> replacementTarget;
    bool stopWhereReleased = false;

    void scrollViewDidScroll(ScrollView& view) override {
        scrolled.push_back(view.contentOffset());
    }
    void scrollViewWillBeginDragging(ScrollView& view) override {
        events.push_back(view.isDragging() ? "willBeginDragging" : "willBeginDragging?");
    }
    void scrollViewWillEndDragging(ScrollView& view, Point v, Point& target) override {
        events.push_back("willEndDragging");
        velocity = v;
        proposedTarget = target;
        if (replacementTarget) target = *replacementTarget;
        if (stopWhereReleased) target = view.contentOffset();
    }
    void scrollViewDidEndDragging(ScrollView&, bool willDecelerate) override {
        events.push_back(willDecelerate ? "didEndDragging decelerate" : "didEndDragging");
    }
    void scrollViewWillBeginDecelerating(ScrollView&) override {
        events.push_back("willBeginDecelerating");
    }
    void scrollViewDidEndDecelerating(ScrollView&) override {
        events.push_back("didEndDecelerating");
    }
    void scrollViewDidEndScrollingAnimation(ScrollView&) override {
        events.push_back("didEndScrollingAnimation");
    }
};

class ScrollViewTest : public testing::Test {
protected:
    void SetUp() override {
        window_->addSubview(scroll_);
        scroll_->setContentSize({375, 2000});
        scroll_->setDelegate(recorder_);
    }

    // A finger moving from `from` to `to` in equal steps, `stepSeconds`
    // apart. A fling lifts while moving; otherwise the finger rests first,
    // so it lifts without velocity.
    void drag(Point from, Point to, int steps, double stepSeconds, bool fling = false) {
        const auto touch = window_->touchDown(from);
        for (int i = 1; i <= steps; ++i) {
            clock_.advance(stepSeconds);
            const double f = static_cast<double>(i) / steps;
            window_->touchMove(touch, {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f});
        }
        if (!fling) clock_.advance(0.2);
        window_->touchUp(touch, to);
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<ScrollView> scroll_ = std::make_shared<ScrollView>(Rect(0, 0, 375, 667));
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

using Events = std::vector<std::string>;

TEST_F(ScrollViewTest, AnimatedOffsetReportsEveryFrameAndLandsExactly) {
    scroll_->setContentOffset({0, 300}, true);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
    EXPECT_TRUE(recorder_->scrolled.empty());

    clock_.advance(0.15);
    // Half way through an ease-in-out is half the distance.
    EXPECT_NEAR(scroll_->contentOffset().y, 150, 0.01);
    EXPECT_TRUE(recorder_->events.empty());

    clock_.advance(0.15);
    ASSERT_EQ(recorder_->scrolled.size(), 18u);
    for (size_t i = 1; i < recorder_->scrolled.size(); ++i) {
        EXPECT_GT(recorder_->scrolled[i].y, recorder_->scrolled[i - 1].y);
    }
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 300}));
    EXPECT_EQ(recorder_->events, Events{"didEndScrollingAnimation"});

    clock_.advance(1);
    EXPECT_EQ(recorder_->scrolled.size(), 18u);
}

TEST_F(ScrollViewTest, NewOffsetCancelsRunningAnimation) {
    scroll_->setContentOffset({0, 300}, true);
    clock_.advance(0.1);
    scroll_->setContentOffset({0, 100}, true);
    clock_.advance(1);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 100}));
    EXPECT_EQ(recorder_->events, Events{"didEndScrollingAnimation"});

    scroll_->setContentOffset({0, 400}, true);
    clock_.advance(0.1);
    recorder_->scrolled.clear();
    scroll_->setContentOffset({0, 50});
    clock_.advance(1);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 50}));
    EXPECT_EQ(recorder_->scrolled, std::vector<Point>{(Point{0, 50})});
    EXPECT_EQ(recorder_->events.size(), 1u);
}

TEST_F(ScrollViewTest, UnchangedOffsetReportsNothing) {
    scroll_->setContentOffset({0, 40});
    scroll_->setContentOffset({0, 40});
    EXPECT_EQ(recorder_->scrolled.size(), 1u);
    scroll_->setContentOffset({0, 40}, true);
    clock_.advance(1);
    EXPECT_EQ(recorder_->scrolled.size(), 1u);
    EXPECT_TRUE(recorder_->events.empty());
}

TEST_F(ScrollViewTest, DragMovesContentWithTheFingerOnceThePanBegins) {
    const auto touch = window_->touchDown({200, 500});
    clock_.advance(0.05);
    window_->touchMove(touch, {203, 488});  // the pan begins here
    EXPECT_TRUE(scroll_->isDragging());
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
    clock_.advance(0.05);
    window_->touchMove(touch, {220, 400});
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 88}));  // no horizontal scrolling
    clock_.advance(0.05);
    window_->touchMove(touch, {220, 300});
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 188}));
    clock_.advance(0.3);
    window_->touchUp(touch, {220, 300});

    EXPECT_FALSE(scroll_->isDragging());
    EXPECT_FALSE(scroll_->isDecelerating());
    EXPECT_EQ(recorder_->scrolled.size(), 2u);
    EXPECT_EQ(recorder_->events,
              (Events{"willBeginDragging", "willEndDragging", "didEndDragging"}));
    clock_.advance(2);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 188}));
}

TEST_F(ScrollViewTest, DragPastTheEdgeRubberBandsThenSnapsBack) {
    const auto touch = window_->touchDown({200, 300});
    clock_.advance(0.05);
    window_->touchMove(touch, {200, 320});
    clock_.advance(0.05);
    window_->touchMove(touch, {200, 420});
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, -50}));  // half of 100
    clock_.advance(0.3);
    window_->touchUp(touch, {200, 420});

    EXPECT_TRUE(scroll_->isDecelerating());
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
    EXPECT_FALSE(scroll_->isDecelerating());
    EXPECT_EQ(recorder_->events,
              (Events{"willBeginDragging", "willEndDragging", "didEndDragging decelerate",
                      "willBeginDecelerating", "didEndDecelerating"}));
}

TEST_F(ScrollViewTest, WithoutBouncesTheEdgeStopsTheContent) {
    scroll_->setBounces(false);
    drag({200, 300}, {200, 500}, 10, 0.02);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
    EXPECT_FALSE(scroll_->isDecelerating());
}

TEST_F(ScrollViewTest, ContentThatFitsOnlyMovesWithAlwaysBounce) {
    scroll_->setContentSize({375, 300});
    drag({200, 500}, {200, 300}, 10, 0.02);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
    EXPECT_TRUE(recorder_->scrolled.empty());

    scroll_->setAlwaysBounceVertical(true);
    drag({200, 500}, {200, 300}, 10, 0.02);
    EXPECT_TRUE(scroll_->isDecelerating());
    EXPECT_GT(recorder_->scrolled.size(), 1u);
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
}

TEST_F(ScrollViewTest, FlingsComeToRestWithinTheInsets) {
    scroll_->setContentSize({375, 1000});
    scroll_->setContentInset({64, 0, 49, 0});
    drag({200, 600}, {200, 300}, 3, 0.01, true);  // 10000 points per second upwards
    EXPECT_NEAR(recorder_->velocity.y, 10, 0.01);
    EXPECT_EQ(recorder_->proposedTarget, (Point{0, 1000 + 49 - 667}));
    clock_.advance(2);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 382}));
    ASSERT_FALSE(recorder_->events.empty());
    EXPECT_EQ(recorder_->events.back(), "didEndDecelerating");

    drag({200, 100}, {200, 400}, 3, 0.01, true);
    EXPECT_LT(recorder_->velocity.y, 0);
    clock_.advance(2);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, -64}));
}

TEST_F(ScrollViewTest, SlowFlingDeceleratesByTheRate) {
    // 500 points per second upwards: 500 * 0.998 / 0.002 / 1000 = 249.5 more.
    drag({200, 600}, {200, 560}, 4, 0.02, true);
    const double released = scroll_->contentOffset().y;
    EXPECT_NEAR(recorder_->proposedTarget.y, released + 249.5, 0.01);
    clock_.advance(0.5);
    EXPECT_TRUE(scroll_->isDecelerating());
    EXPECT_GT(scroll_->contentOffset().y, released);
    clock_.advance(2);
    EXPECT_NEAR(scroll_->contentOffset().y, released + 249.5, 1e-9);

    scroll_->setDecelerationRate(ScrollView::kDecelerationRateFast);
    drag({200, 600}, {200, 560}, 4, 0.02, true);
    EXPECT_NEAR(recorder_->proposedTarget.y - scroll_->contentOffset().y, 49.5, 0.01);
}

TEST_F(ScrollViewTest, DelegateMayMoveTheTarget) {
    recorder_->replacementTarget = Point{0, 123};
    drag({200, 600}, {200, 300}, 3, 0.01, true);
    clock_.advance(2);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 123}));

    // A target where the content already is: no deceleration at all.
    recorder_->replacementTarget = std::nullopt;
    recorder_->stopWhereReleased = true;
    recorder_->events.clear();
    drag({200, 600}, {200, 300}, 3, 0.01, true);
    EXPECT_EQ(recorder_->events,
              (Events{"willBeginDragging", "willEndDragging", "didEndDragging"}));
}

TEST_F(ScrollViewTest, CancelledDragSnapsBack) {
    const auto touch = window_->touchDown({200, 300});
    clock_.advance(0.05);
    window_->touchMove(touch, {200, 320});
    clock_.advance(0.05);
    window_->touchMove(touch, {200, 420});
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, -50}));
    window_->touchCancel(touch);
    EXPECT_FALSE(scroll_->isDragging());
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
}

TEST_F(ScrollViewTest, DraggingStopsDeceleration) {
    drag({200, 600}, {200, 300}, 3, 0.01, true);
    clock_.advance(0.1);
    ASSERT_TRUE(scroll_->isDecelerating());
    const auto touch = window_->touchDown({200, 300});
    window_->touchMove(touch, {200, 285});
    EXPECT_FALSE(scroll_->isDecelerating());
    const Point held = scroll_->contentOffset();
    clock_.advance(2);
    EXPECT_EQ(scroll_->contentOffset(), held);
    window_->touchUp(touch, {200, 285});
}

TEST_F(ScrollViewTest, DisabledScrollingIgnoresDrags) {
    scroll_->setScrollEnabled(false);
    drag({200, 500}, {200, 300}, 10, 0.02);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
    EXPECT_TRUE(recorder_->events.empty());
}

TEST_F(ScrollViewTest, GoingAwayMidAnimationIsQuiet) {
    scroll_->setContentOffset({0, 300}, true);
    clock_.advance(0.1);
    const size_t frames = recorder_->scrolled.size();
    scroll_->removeFromSuperview();
    scroll_.reset();
    clock_.advance(1);
    EXPECT_EQ(recorder_->scrolled.size(), frames);
    EXPECT_TRUE(recorder_->events.empty());
}

class PagingScrollViewTest : public ScrollViewTest {
protected:
    void SetUp() override {
        ScrollViewTest::SetUp();
        scroll_->setContentSize({375 * 4, 667});
        scroll_->setPagingEnabled(true);
    }
};

TEST_F(PagingScrollViewTest, FlingMovesToTheNextPage) {
    drag({300, 300}, {200, 300}, 5, 0.02, true);  // 1000 points per second
    EXPECT_EQ(recorder_->proposedTarget, (Point{375, 0}));
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{375, 0}));
    ASSERT_FALSE(recorder_->events.empty());
    EXPECT_EQ(recorder_->events.back(), "didEndDecelerating");

    drag({100, 300}, {200, 300}, 5, 0.02, true);
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
}

TEST_F(PagingScrollViewTest, SlowShortDragSnapsBackAndLongOneTurnsThePage) {
    drag({300, 300}, {200, 300}, 10, 0.05);
    EXPECT_EQ(recorder_->proposedTarget, (Point{0, 0}));
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));

    drag({300, 300}, {50, 300}, 10, 0.05);
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{375, 0}));
}

TEST_F(PagingScrollViewTest, FlingTurnsOnePageAtMost) {
    window_->setFrame(Rect(0, 0, 1200, 667));
    scroll_->setFrame(Rect(900, 0, 300, 667));
    scroll_->setContentSize({300 * 5, 667});
    drag({1100, 300}, {100, 300}, 5, 0.02, true);  // past three pages
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{300, 0}));
}

TEST_F(ScrollViewTest, TapReachesAButtonInsideAndDragScrollsInstead) {
    const auto button = ui::Button::create();
    button->setFrame(Rect(100, 100, 150, 44));
    scroll_->addSubview(button);
    int taps = 0;
    button->addAction(ui::ControlEvent::TouchUpInside, [&taps](ui::Control&) { ++taps; });

    const auto touch = window_->touchDown({175, 122});
    clock_.advance(0.05);
    window_->touchMove(touch, {178, 120});
    window_->touchUp(touch, {178, 120});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));

    drag({175, 122}, {175, 22}, 10, 0.02);
    EXPECT_EQ(taps, 1);
    EXPECT_GT(scroll_->contentOffset().y, 80);
    EXPECT_FALSE(button->isHighlighted());
}

// A touch on content that is still decelerating catches it: the content
// stops, and the touch taps nothing inside.
TEST_F(ScrollViewTest, ATouchOnDeceleratingContentOnlyStopsIt) {
    const auto button = ui::Button::create();
    button->setFrame(Rect(0, 0, 375, 2000));
    scroll_->addSubview(button);
    int taps = 0;
    button->addAction(ui::ControlEvent::TouchUpInside, [&taps](ui::Control&) { ++taps; });

    drag({200, 600}, {200, 400}, 4, 0.01, true);
    clock_.advance(0.1);
    ASSERT_TRUE(scroll_->isDecelerating());
    const auto touch = window_->touchDown({200, 300});
    EXPECT_FALSE(scroll_->isDecelerating());
    EXPECT_FALSE(button->isHighlighted());
    const Point caught = scroll_->contentOffset();
    clock_.advance(0.05);
    window_->touchUp(touch, {200, 300});
    clock_.advance(2);
    EXPECT_EQ(scroll_->contentOffset(), caught);
    EXPECT_EQ(taps, 0);
    ASSERT_FALSE(recorder_->events.empty());
    EXPECT_EQ(recorder_->events.back(), "didEndDragging");

    // At rest the same touch is a tap.
    window_->touchUp(window_->touchDown({200, 300}), {200, 300});
    EXPECT_EQ(taps, 1);
}

TEST_F(PagingScrollViewTest, ACaughtPageComesToRestOnTheNearestPage) {
    drag({300, 300}, {200, 300}, 5, 0.02, true);  // a fling towards the next page
    clock_.advance(0.02);
    ASSERT_TRUE(scroll_->isDecelerating());
    ASSERT_LT(scroll_->contentOffset().x, 375 / 2.0);
    window_->touchUp(window_->touchDown({200, 300}), {200, 300});
    clock_.advance(0.3);
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
}

// The inner scroll view of ScrollViewTest inside a paging one that scrolls
// only horizontally, as a page of a tab container.
class NestedScrollViewTest : public ScrollViewTest {
protected:
    void SetUp() override {
        ScrollViewTest::SetUp();
        outer_->setPagingEnabled(true);
        outer_->setContentSize({375 * 3, 0});
        window_->addSubview(outer_);
        outer_->addSubview(scroll_);
        button_->setFrame(Rect(0, 200, 375, 200));
        scroll_->addSubview(button_);
        button_->addAction(ui::ControlEvent::TouchUpInside, [this](ui::Control&) { ++taps_; });
    }

    std::shared_ptr<ScrollView> outer_ = std::make_shared<ScrollView>(Rect(0, 0, 375, 667));
    std::shared_ptr<ui::Button> button_ = ui::Button::create();
    int taps_ = 0;
};

TEST_F(NestedScrollViewTest, TheFirstMovementDecidesWhichScrollViewTakesTheDrag) {
    // Mostly sideways, over a button: the outer pages, the inner sees nothing.
    drag({300, 300}, {50, 260}, 10, 0.05);
    clock_.advance(0.3);
    EXPECT_EQ(outer_->contentOffset(), (Point{375, 0}));
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 0}));
    EXPECT_TRUE(recorder_->events.empty());
    EXPECT_EQ(taps_, 0);

    // Upright first, sideways afterwards: the inner keeps the whole drag.
    outer_->setContentOffset({0, 0});
    const auto touch = window_->touchDown({200, 500});
    for (const Point to : {Point{195, 480}, Point{100, 470}, Point{0, 400}}) {
        clock_.advance(0.05);
        window_->touchMove(touch, to);
    }
    clock_.advance(0.2);
    window_->touchUp(touch, {0, 400});
    EXPECT_EQ(scroll_->contentOffset(), (Point{0, 80}));  // from where the pan began
    EXPECT_EQ(outer_->contentOffset(), (Point{0, 0}));

    // An inner scroll view that scrolls both ways takes every direction.
    scroll_->setContentSize({800, 2000});
    drag({300, 300}, {100, 300}, 10, 0.05);
    EXPECT_EQ(scroll_->contentOffset(), (Point{180, 80}));
    EXPECT_EQ(outer_->contentOffset(), (Point{0, 0}));
}

TEST_F(NestedScrollViewTest, AnUprightDragOnARowThatScrollsSidewaysGoesToTheListAround) {
    outer_->setPagingEnabled(false);
    outer_->setContentSize({375, 2000});
    scroll_->setContentSize({800, 667});
    drag({200, 500}, {190, 300}, 10, 0.05);
    EXPECT_EQ(outer_->contentOffset(), (Point{0, 180}));
    EXPECT_TRUE(recorder_->events.empty());
}

TEST_F(NestedScrollViewTest, ASidewaysDragStaysWithTheInnerWhenNothingAroundItScrollsThatWay) {
    outer_->setScrollEnabled(false);
    drag({300, 300}, {50, 300}, 10, 0.05);
    EXPECT_EQ(recorder_->events,
              (Events{"willBeginDragging", "willEndDragging", "didEndDragging"}));
    EXPECT_EQ(taps_, 0);  // the inner's pan still cancels the button
}

}  // namespace
