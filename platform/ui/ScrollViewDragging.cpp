// ScrollView: following the finger, and coming to rest after it lifts.

#include <algorithm>
#include <cmath>

#include "ui/GestureRecognizer.h"
#include "ui/RefreshControl.h"
#include "ui/ScrollView.h"

namespace ui {

bool ScrollView::panMayBegin(gfx::Point translation) const {
    const double sideways = std::abs(translation.x);
    const double upright = std::abs(translation.y);
    if (sideways > upright && !scrollsHorizontally()) return !enclosingScrollViewScrolls(true);
    if (upright > sideways && !scrollsVertically()) return !enclosingScrollViewScrolls(false);
    return true;
}

bool ScrollView::enclosingScrollViewScrolls(bool horizontally) const {
    for (auto view = superview(); view; view = view->superview()) {
        const auto* outer = dynamic_cast<const ScrollView*>(view.get());
        if (!outer || !outer->scrollEnabled_ || !outer->pan_->isEnabled()) continue;
        if (horizontally ? outer->scrollsHorizontally() : outer->scrollsVertically()) return true;
    }
    return false;
}

void ScrollView::handlePan(PanGestureRecognizer& pan) {
    const auto keepAlive = shared_from_this();
    switch (pan.state()) {
        case GestureState::Began:
            beginDrag(pan);
            break;
        case GestureState::Changed:
            moveDrag(pan);
            break;
        case GestureState::Ended: {
            // The inset grows before the content comes to rest; the action
            // runs last, so that it may end refreshing at once.
            const auto refresh = pulledPastRefreshThreshold() ? refreshControl_ : nullptr;
            if (refresh) refresh->beginRefreshing();
            endDrag(pan, false);
            if (refresh) refresh->sendActions(ControlEvent::ValueChanged);
            break;
        }
        case GestureState::Cancelled:
            endDrag(pan, true);
            break;
        default:
            break;
    }
}

void ScrollView::beginDrag(PanGestureRecognizer& pan) {
    stopAnimation();
    tracking_ = true;
    dragging_ = true;
    notify([this](ScrollViewDelegate& d) { d.scrollViewWillBeginDragging(*this); });
    dragStartOffset_ = unbanded(contentOffset());
    dragStartTranslation_ = pan.translationInView(this);
}

void ScrollView::moveDrag(PanGestureRecognizer& pan) {
    if (!dragging_) return;
    const gfx::Point translation = pan.translationInView(this);
    gfx::Point raw = contentOffset();
    if (scrollsHorizontally()) {
        raw.x = dragStartOffset_.x - (translation.x - dragStartTranslation_.x);
    }
    if (scrollsVertically()) raw.y = dragStartOffset_.y - (translation.y - dragStartTranslation_.y);
    applyOffset(rubberBanded(raw));
}

void ScrollView::endDrag(PanGestureRecognizer& pan, bool cancelled) {
    if (!dragging_) return;
    const gfx::Point current = contentOffset();
    gfx::Point velocity;  // of the content offset, points per second
    gfx::Point target = clamped(current);
    if (!cancelled) {
        const gfx::Point finger = pan.velocityInView(this);
        if (scrollsHorizontally()) velocity.x = -finger.x;
        if (scrollsVertically()) velocity.y = -finger.y;
        target = restingOffset(current, velocity);
        const gfx::Point perMillisecond{velocity.x / 1000, velocity.y / 1000};
        notify([&](ScrollViewDelegate& d) {
            d.scrollViewWillEndDragging(*this, perMillisecond, target);
        });
        target = clamped(target);
    }
    tracking_ = false;
    dragging_ = false;
    const bool willDecelerate = !(target == current);
    decelerating_ = willDecelerate;
    notify([&](ScrollViewDelegate& d) { d.scrollViewDidEndDragging(*this, willDecelerate); });
    if (!decelerating_) return;
    notify([this](ScrollViewDelegate& d) { d.scrollViewWillBeginDecelerating(*this); });
    // The delegate may have moved the content meanwhile, which stops this.
    if (!decelerating_) return;
    const bool snap = pagingEnabled_ || cancelled || !(clamped(current) == current);
    const double duration =
        snap ? kAnimationDuration : decelerationDuration(contentOffset(), target, velocity);
    animateTo(target, duration, ScrollAnimation::Curve::EaseOut, true);
}

bool ScrollView::pulledPastRefreshThreshold() const {
    if (!refreshControl_ || !dragging_) return false;
    if (!refreshControl_->isEnabled() || refreshControl_->isRefreshing()) return false;
    return contentOffset().y < -contentInset_.top - RefreshControl::kHeight;
}

gfx::Point ScrollView::restingOffset(gfx::Point offset, gfx::Point velocity) const {
    const Range range = offsetRange();
    gfx::Point target = offset;
    if (pagingEnabled_) {
        const gfx::Size page = bounds().size;
        if (scrollsHorizontally()) {
            target.x = pagedOffset(offset.x, velocity.x, page.width, dragStartOffset_.x,
                                   range.min.x, range.max.x);
        }
        if (scrollsVertically()) {
            target.y = pagedOffset(offset.y, velocity.y, page.height, dragStartOffset_.y,
                                   range.min.y, range.max.y);
        }
        return target;
    }
    // Velocity decays by the rate every millisecond: the distance still to
    // go is v * rate / (1 - rate) with v in points per millisecond.
    const double projection = decelerationRate_ / (1 - decelerationRate_) / 1000;
    if (scrollsHorizontally()) target.x += velocity.x * projection;
    if (scrollsVertically()) target.y += velocity.y * projection;
    return clamped(target);
}

double ScrollView::pagedOffset(double offset, double velocity, double pageSize, double startOffset,
                               double min, double max) const {
    if (pageSize <= 0) return std::clamp(offset, min, max);
    const double position = offset / pageSize;
    double page = std::round(position);
    if (std::abs(velocity) > kPagingFlingVelocity) {
        const double startPage = std::round(startOffset / pageSize);
        page = velocity > 0 ? std::floor(position) + 1 : std::ceil(position) - 1;
        page = std::clamp(page, startPage - 1, startPage + 1);
    }
    return std::clamp(page * pageSize, min, max);
}

double ScrollView::decelerationDuration(gfx::Point from, gfx::Point to, gfx::Point velocity) const {
    const double distance = std::hypot(to.x - from.x, to.y - from.y);
    const double speed = std::hypot(velocity.x, velocity.y);
    if (speed < 1) return kAnimationDuration;
    // An ease-out cubic starts at three times its average speed: match the
    // finger's speed at release.
    return std::clamp(3 * distance / speed, kAnimationDuration, kMaximumDecelerationDuration);
}

}  // namespace ui
