#include "ui/ScrollView.h"

#include <algorithm>

#include "ui/GestureRecognizer.h"
#include "ui/RefreshControl.h"

namespace ui {

// The scroll view's own pan: it catches content that decelerates (begins
// on the finger's touch-down) and leaves a first movement the scroll view
// cannot follow to a scroll view around it (see ScrollView.h).
class ScrollView::Pan final : public PanGestureRecognizer {
public:
    explicit Pan(std::weak_ptr<ScrollView*> scrollView)
        : PanGestureRecognizer([scrollView](GestureRecognizer& recognizer) {
              if (auto view = scrollView.lock()) {
                  (*view)->handlePan(static_cast<PanGestureRecognizer&>(recognizer));
              }
          }),
          scrollView_(std::move(scrollView)) {}

    void touchesBegan(const TouchSet& touches, const Event& event) override {
        const bool first = numberOfTouches() == 0;
        PanGestureRecognizer::touchesBegan(touches, event);
        if (!first || state() != GestureState::Possible) return;
        const auto view = scrollView_.lock();
        if (view && (*view)->isDecelerating()) setState(GestureState::Began);
    }

protected:
    bool canBegin() override {
        const auto view = scrollView_.lock();
        return !view || (*view)->panMayBegin(translationInView(*view));
    }

private:
    std::weak_ptr<ScrollView*> scrollView_;
};

ScrollView::ScrollView(gfx::Rect frame) : View(frame), self_(std::make_shared<ScrollView*>(this)) {
    setClipsToBounds(true);
    pan_ = std::make_shared<Pan>(self_);
    addGestureRecognizer(pan_);
}

ScrollView::~ScrollView() {
    animation_.cancel();
}

void ScrollView::setContentSize(gfx::Size size) {
    if (contentSize_ == size) return;
    contentSize_ = size;
    setNeedsLayout();
}

void ScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
}

void ScrollView::setDecelerationRate(double rate) {
    decelerationRate_ = std::clamp(rate, 0.0, 0.9999);
}

void ScrollView::setContentOffset(gfx::Point offset, bool animated) {
    stopAnimation();
    if (!animated) {
        applyOffset(offset);
        return;
    }
    if (offset == contentOffset()) return;
    animateTo(offset, kAnimationDuration, ScrollAnimation::Curve::EaseInOut, false);
}

void ScrollView::setRefreshControl(std::shared_ptr<RefreshControl> control) {
    if (refreshControl_ == control) return;
    if (refreshControl_) {
        refreshControl_->endRefreshing();
        if (refreshControl_->superview().get() == this) refreshControl_->removeFromSuperview();
    }
    refreshControl_ = std::move(control);
    if (!refreshControl_) return;
    insertSubview(refreshControl_, 0);
    setNeedsLayout();
}

void ScrollView::layoutSubviews() {
    if (!refreshControl_ || refreshControl_->superview().get() != this) return;
    refreshControl_->setFrame(
        {0, -RefreshControl::kHeight, bounds().width(), RefreshControl::kHeight});
    refreshControl_->setNeedsLayout();
}

ScrollView::Range ScrollView::offsetRange() const {
    return offsetRange(contentSize_);
}

ScrollView::Range ScrollView::offsetRange(gfx::Size contentSize) const {
    const gfx::EdgeInsets inset = adjustedContentInset();
    const gfx::Size size = bounds().size;
    Range range;
    range.min = {-inset.left, -inset.top};
    range.max = {std::max(range.min.x, contentSize.width + inset.right - size.width),
                 std::max(range.min.y, contentSize.height + inset.bottom - size.height)};
    return range;
}

bool ScrollView::scrollsHorizontally() const {
    const Range range = offsetRange();
    return range.max.x > range.min.x || alwaysBounceHorizontal_;
}

bool ScrollView::scrollsVertically() const {
    const Range range = offsetRange();
    return range.max.y > range.min.y || alwaysBounceVertical_ || refreshControl_;
}

gfx::Point ScrollView::clamped(gfx::Point offset) const {
    const Range range = offsetRange();
    if (scrollsHorizontally()) offset.x = std::clamp(offset.x, range.min.x, range.max.x);
    if (scrollsVertically()) offset.y = std::clamp(offset.y, range.min.y, range.max.y);
    return offset;
}

gfx::Point ScrollView::rubberBanded(gfx::Point raw) const {
    const Range range = offsetRange();
    const auto band = [this](double value, double min, double max) {
        if (!bounces_) return std::clamp(value, min, max);
        if (value < min) return min - (min - value) / 2;
        if (value > max) return max + (value - max) / 2;
        return value;
    };
    if (scrollsHorizontally()) raw.x = band(raw.x, range.min.x, range.max.x);
    if (scrollsVertically()) raw.y = band(raw.y, range.min.y, range.max.y);
    return raw;
}

gfx::Point ScrollView::unbanded(gfx::Point offset) const {
    if (!bounces_) return offset;
    const Range range = offsetRange();
    const auto unband = [](double value, double min, double max) {
        if (value < min) return min - (min - value) * 2;
        if (value > max) return max + (value - max) * 2;
        return value;
    };
    if (scrollsHorizontally()) offset.x = unband(offset.x, range.min.x, range.max.x);
    if (scrollsVertically()) offset.y = unband(offset.y, range.min.y, range.max.y);
    return offset;
}

void ScrollView::applyOffset(gfx::Point offset) {
    gfx::Rect b = bounds();
    if (b.origin == offset) return;
    b.origin = offset;
    setBounds(b);
    setNeedsLayout();
    notify([this](ScrollViewDelegate& d) { d.scrollViewDidScroll(*this); });
}

void ScrollView::stopAnimation() {
    animation_.cancel();
    decelerating_ = false;
    zoomBouncing_ = false;
}

void ScrollView::animateTo(gfx::Point target, double duration, ScrollAnimation::Curve curve,
                           bool deceleration) {
    const auto weak = weak_from_this();
    const auto frame = [weak](gfx::Point offset) {
        const auto view = std::static_pointer_cast<ScrollView>(weak.lock());
        if (!view) return;
        gfx::Rect b = view->bounds();
        b.origin = offset;
        view->setBounds(b);
        view->setNeedsLayout();
        view->notify([&view](ScrollViewDelegate& d) { d.scrollViewDidScroll(*view); });
    };
    const auto finish = [weak, deceleration] {
        const auto view = std::static_pointer_cast<ScrollView>(weak.lock());
        if (!view) return;
        if (deceleration) {
            view->decelerating_ = false;
            view->notify([&view](ScrollViewDelegate& d) { d.scrollViewDidEndDecelerating(*view); });
        } else {
            view->notify(
                [&view](ScrollViewDelegate& d) { d.scrollViewDidEndScrollingAnimation(*view); });
        }
    };
    animation_.start(contentOffset(), target, duration, curve, frame, finish);
}

}  // namespace ui
