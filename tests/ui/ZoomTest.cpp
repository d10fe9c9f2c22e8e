#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/ManualClockScope.h"
#include "ui/GestureRecognizer.h"
#include "ui/ScrollView.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using gfx::Size;
using ui::ScrollView;

namespace {

class ZoomRecorder : public ui::ScrollViewDelegate {
public:
    std::shared_ptr<ui::View> zoomed;
    std::vector<double> zooms;
    std::vector<double> endedAt;
    ui::View* endedView = nullptr;

    std::shared_ptr<ui::View> viewForZooming(ScrollView&) override { return zoomed; }
    void scrollViewDidZoom(ScrollView& view) override { zooms.push_back(view.zoomScale()); }
    void scrollViewDidEndZooming(ScrollView&, ui::View* view, double scale) override {
        endedView = view;
        endedAt.push_back(scale);
    }
};

class ZoomTest : public testing::Test {
protected:
    void SetUp() override {
        window_->addSubview(scroll_);
        scroll_->addSubview(image_);
        scroll_->setContentSize({750, 667});
        recorder_->zoomed = image_;
        scroll_->setDelegate(recorder_);
        scroll_->setMaximumZoomScale(10);
    }

    // The point of the zoomed view shown at a point of the scroll view's frame.
    Point contentPointAt(Point onScreen) const {
        return image_->convertPointFrom(onScreen + scroll_->contentOffset(), scroll_.get());
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<ScrollView> scroll_ = std::make_shared<ScrollView>(Rect(0, 0, 375, 667));
    std::shared_ptr<ui::View> image_ = std::make_shared<ui::View>(Rect(0, 0, 750, 667));
    std::shared_ptr<ZoomRecorder> recorder_ = std::make_shared<ZoomRecorder>();
};

TEST_F(ZoomTest, LimitsAndRecognizer) {
    ScrollView plain;
    EXPECT_EQ(plain.minimumZoomScale(), 1);
    EXPECT_EQ(plain.maximumZoomScale(), 1);
    EXPECT_EQ(plain.pinchGestureRecognizer(), nullptr);

    ASSERT_NE(scroll_->pinchGestureRecognizer(), nullptr);
    const auto& recognizers = scroll_->gestureRecognizers();
    EXPECT_NE(std::find(recognizers.begin(), recognizers.end(),
                        std::static_pointer_cast<ui::GestureRecognizer>(
                            scroll_->pinchGestureRecognizer())),
              recognizers.end());

    scroll_->setZoomScale(20);
    EXPECT_EQ(scroll_->zoomScale(), 10);
    scroll_->setZoomScale(0.2);
    EXPECT_EQ(scroll_->zoomScale(), 1);

    scroll_->setMaximumZoomScale(1);
    EXPECT_FALSE(scroll_->pinchGestureRecognizer()->isEnabled());
}

TEST_F(ZoomTest, WithoutViewForZoomingNothingChanges) {
    recorder_->zoomed = nullptr;
    scroll_->setZoomScale(3);
    EXPECT_EQ(scroll_->zoomScale(), 1);
    EXPECT_EQ(scroll_->contentSize(), (Size{750, 667}));
    EXPECT_TRUE(recorder_->zooms.empty());
}

TEST_F(ZoomTest, SetZoomScaleScalesFrameAndContentAndKeepsTheVisibleCentre) {
    scroll_->setContentOffset({100, 0});
    const Point centreBefore = contentPointAt({187.5, 333.5});

    scroll_->setZoomScale(2);
    EXPECT_EQ(scroll_->zoomScale(), 2);
    EXPECT_EQ(image_->bounds().size, (Size{750, 667}));
    EXPECT_EQ(image_->frame(), Rect(0, 0, 1500, 1334));
    EXPECT_EQ(scroll_->contentSize(), (Size{1500, 1334}));
    const Point centreAfter = contentPointAt({187.5, 333.5});
    EXPECT_NEAR(centreAfter.x, centreBefore.x, 1e-9);
    EXPECT_NEAR(centreAfter.y, centreBefore.y, 1e-9);
    EXPECT_EQ(recorder_->zooms, std::vector<double>{2});
    EXPECT_TRUE(recorder_->endedAt.empty());

    // Back to 1 near an edge: the offset stays inside the content.
    scroll_->setContentOffset({1100, 600});
    scroll_->setZoomScale(1);
    EXPECT_EQ(scroll_->contentSize(), (Size{750, 667}));
    EXPECT_EQ(scroll_->contentOffset(), (Point{375, 0}));
}

TEST_F(ZoomTest, AnimatedZoomRunsOnTheClockAndEndsOnce) {
    scroll_->setZoomScale(4, true);
    EXPECT_EQ(scroll_->zoomScale(), 1);
    clock_.advance(0.15);
    EXPECT_GT(scroll_->zoomScale(), 1);
    EXPECT_LT(scroll_->zoomScale(), 4);
    EXPECT_TRUE(recorder_->endedAt.empty());
    clock_.advance(0.2);
    EXPECT_EQ(scroll_->zoomScale(), 4);
    EXPECT_EQ(scroll_->contentSize(), (Size{3000, 2668}));
    EXPECT_GT(recorder_->zooms.size(), 5u);
    EXPECT_EQ(recorder_->endedAt, std::vector<double>{4});
    EXPECT_EQ(recorder_->endedView, image_.get());
}

TEST_F(ZoomTest, ZoomToRectFillsTheBoundsWithTheRect) {
    scroll_->zoomToRect(Rect(100, 100, 75, 133.4), false);
    EXPECT_NEAR(scroll_->zoomScale(), 5, 1e-9);
    const Point centre = contentPointAt({187.5, 333.5});
    EXPECT_NEAR(centre.x, 137.5, 1e-6);
    EXPECT_NEAR(centre.y, 166.7, 1e-6);

    // Smaller than the maximum allows: clamped to 10.
    scroll_->zoomToRect(Rect(10, 10, 5, 5), false);
    EXPECT_EQ(scroll_->zoomScale(), 10);
}

TEST_F(ZoomTest, PinchZoomsAboutTheFingers) {
    const Point centre{200, 300};
    const Point before = contentPointAt(centre);
    ui::TouchInjector(*window_).pinch(centre, 100, 2.0);

    EXPECT_NEAR(scroll_->zoomScale(), 2, 0.01);
    EXPECT_FALSE(scroll_->isZooming());
    EXPECT_GT(recorder_->zooms.size(), 3u);
    ASSERT_EQ(recorder_->endedAt.size(), 1u);
    EXPECT_NEAR(recorder_->endedAt[0], 2, 0.01);
    EXPECT_NEAR(scroll_->contentSize().width, 1500, 10);
    const Point after = contentPointAt(centre);
    EXPECT_NEAR(after.x, before.x, 0.5);
    EXPECT_NEAR(after.y, before.y, 0.5);

    // Zoomed content pans like any larger content, now also vertically.
    const Point offset = scroll_->contentOffset();
    ui::TouchInjector(*window_).drag({300, 400}, {200, 300});
    EXPECT_GT(scroll_->contentOffset().x, offset.x + 50);
    EXPECT_GT(scroll_->contentOffset().y, offset.y + 50);
    EXPECT_NEAR(scroll_->zoomScale(), 2, 0.01);
}

TEST_F(ZoomTest, PinchPastTheMaximumBouncesBackToIt) {
    scroll_->setMaximumZoomScale(3);
    ui::TouchInjector(*window_).pinch({187.5, 333.5}, 50, 6.0);
    EXPECT_GT(scroll_->zoomScale(), 3);
    EXPECT_TRUE(scroll_->isZoomBouncing());
    EXPECT_TRUE(recorder_->endedAt.empty());

    clock_.advance(ScrollView::kAnimationDuration + 0.05);
    EXPECT_EQ(scroll_->zoomScale(), 3);
    EXPECT_FALSE(scroll_->isZoomBouncing());
    EXPECT_EQ(recorder_->endedAt, std::vector<double>{3});
    EXPECT_EQ(scroll_->contentSize(), (Size{2250, 2001}));
    const Point offset = scroll_->contentOffset();
    EXPECT_GE(offset.x, 0);
    EXPECT_LE(offset.x, 2250 - 375);
    EXPECT_GE(offset.y, 0);
    EXPECT_LE(offset.y, 2001 - 667);
}

TEST_F(ZoomTest, PinchBelowTheMinimumBouncesBackToIt) {
    scroll_->setZoomScale(2);
    recorder_->zooms.clear();
    ui::TouchInjector(*window_).pinch({187.5, 333.5}, 200, 0.2);
    EXPECT_LT(scroll_->zoomScale(), 1);
    clock_.advance(1);
    EXPECT_EQ(scroll_->zoomScale(), 1);
    EXPECT_EQ(scroll_->contentSize(), (Size{750, 667}));
    EXPECT_EQ(recorder_->endedAt, std::vector<double>{1});
}

TEST_F(ZoomTest, PinchRecognizerThresholdAndScale) {
    const auto pinch = scroll_->pinchGestureRecognizer();
    std::vector<ui::GestureState> states;
    pinch->addAction([&states](ui::GestureRecognizer& r) { states.push_back(r.state()); });
    const auto a = window_->touchDown({100, 300});
    const auto b = window_->touchDown({300, 300});
    // 4 points of 200 is under both 5% and 10 points.
    window_->touchMove(b, {304, 300});
    EXPECT_EQ(pinch->state(), ui::GestureState::Possible);
    clock_.advance(0.1);
    window_->touchMove(b, {310, 300});
    EXPECT_EQ(pinch->state(), ui::GestureState::Began);
    EXPECT_NEAR(pinch->scale(), 1.05, 1e-9);
    EXPECT_NEAR(pinch->velocity(), 0.3, 1e-6);
    EXPECT_EQ(pinch->locationInView(nullptr), (Point{205, 300}));
    EXPECT_EQ(pinch->startLocationInView(nullptr), (Point{200, 300}));
    window_->touchUp(a, {100, 300});
    EXPECT_EQ(states.back(), ui::GestureState::Ended);
    window_->touchUp(b, {310, 300});
    EXPECT_EQ(pinch->state(), ui::GestureState::Possible);
}

TEST_F(ZoomTest, OneFingerDragDoesNotZoom) {
    ui::TouchInjector(*window_).drag({300, 300}, {200, 300});
    EXPECT_EQ(scroll_->zoomScale(), 1);
    EXPECT_TRUE(recorder_->zooms.empty());
    EXPECT_GT(scroll_->contentOffset().x, 50);
    EXPECT_EQ(scroll_->contentOffset().y, 0);
}

}  // namespace
