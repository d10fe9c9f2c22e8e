#pragma once
// A view whose bounds origin is the content offset: its subviews are the
// content, moved by dragging (an internal pan recognizer), by flings that
// decelerate or snap to pages, and by setContentOffset, animated or not.
// The delegate hears every step.
//
// Dragging: the content follows the finger from the moment the pan begins
// (the pan's 10-point start threshold is not applied to the content), only
// along the axes that scroll; past an edge it moves half the finger's
// distance when bounces() is on and stops at the edge otherwise. On lift
// the content decelerates to rest (or to the nearest page when paging),
// within the valid offsets: x in [-inset.left, contentWidth + inset.right
// - boundsWidth], never above its minimum; y likewise.
//
// Nested scroll views share a drag by its first movement: when the pan is
// about to begin (the finger has moved 10 points), a scroll view that cannot
// scroll along the movement's main axis (mostly horizontal or mostly
// vertical) does not begin if a scroll view around it can, so the outer one
// takes the whole drag; one that scrolls both ways takes every direction,
// and one with no scroll view around it to give the drag to keeps it.
//
// A finger that comes down while the content decelerates catches it: the
// pan begins at once, the content stops under the finger and follows it
// from there, and that touch reaches nothing inside (no tap, no selection).
//
// A refresh control sits just above the content. Releasing a drag that
// pulled the content more than its height past the top begins refreshing,
// and the control sends ValueChanged once the drag has ended.
//
// Zooming scales the delegate's viewForZooming by a transform about its
// centre, keeping its frame's origin: its frame becomes its bounds size times
// the zoom scale and the content size follows the frame. A pinch keeps the
// point under the fingers there; past the limits it stretches with
// resistance and springs back to the limit on release.
//
// Animations run on timers of the main run loop at 60 frames per second on
// the current clock. Made with std::make_shared like every view. Main
// thread only.

#include <memory>

#include "gfx/Geometry.h"
#include "ui/ScrollAnimation.h"
#include "ui/ScrollViewDelegate.h"
#include "ui/View.h"

namespace ui {

class GestureRecognizer;
class PanGestureRecognizer;
class PinchGestureRecognizer;
class RefreshControl;

enum class ContentInsetAdjustmentBehavior { Automatic, Never };

class ScrollView : public View {
public:
    // Deceleration rates: the fraction of velocity kept per millisecond.
    static constexpr double kDecelerationRateNormal = 0.998;
    static constexpr double kDecelerationRateFast = 0.99;
    // Content velocity (points per second) above which a paging drag moves
    // to the next page in the fling's direction.
    static constexpr double kPagingFlingVelocity = 300;
    static constexpr double kAnimationDuration = 0.3;
    static constexpr double kMaximumDecelerationDuration = 2;

    explicit ScrollView(gfx::Rect frame = {});
    ~ScrollView() override;

    [[nodiscard]] gfx::Size contentSize() const { return contentSize_; }
    void setContentSize(gfx::Size size);
    [[nodiscard]] gfx::Point contentOffset() const { return bounds().origin; }
    // Any offset is accepted (no clamping). Not animated: moves at once and
    // reports didScroll if the offset changed. Animated: 0.3 s ease-in-out,
    // didScroll every frame, then didEndScrollingAnimation; nothing at all
    // when already there. Either way a running animation or deceleration
    // stops first, without its end callback.
    void setContentOffset(gfx::Point offset, bool animated = false);

    [[nodiscard]] gfx::EdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(const gfx::EdgeInsets& inset) { contentInset_ = inset; }
    // The content inset: nothing is added automatically.
    [[nodiscard]] gfx::EdgeInsets adjustedContentInset() const { return contentInset_; }
    [[nodiscard]] ContentInsetAdjustmentBehavior contentInsetAdjustmentBehavior() const {
        return insetAdjustment_;
    }
    void setContentInsetAdjustmentBehavior(ContentInsetAdjustmentBehavior behavior) {
        insetAdjustment_ = behavior;
    }

    [[nodiscard]] bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
    [[nodiscard]] bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    [[nodiscard]] bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    [[nodiscard]] bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool bounce) { alwaysBounceVertical_ = bounce; }
    [[nodiscard]] bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool bounce) { alwaysBounceHorizontal_ = bounce; }
    // Recorded only: no indicators are drawn and nothing scrolls to top.
    [[nodiscard]] bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontal_ = shows; }
    [[nodiscard]] bool showsVerticalScrollIndicator() const { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool shows) { showsVertical_ = shows; }
    [[nodiscard]] bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool scrolls) { scrollsToTop_ = scrolls; }
    [[nodiscard]] double decelerationRate() const { return decelerationRate_; }
    void setDecelerationRate(double rate);

    // Tracking: a finger moves the content (from the pan's start to its end).
    // Dragging: the same, as the delegate sees it. Decelerating: moving on
    // its own after the finger lifted.
    [[nodiscard]] bool isTracking() const { return tracking_; }
    [[nodiscard]] bool isDragging() const { return dragging_; }
    [[nodiscard]] bool isDecelerating() const { return decelerating_; }

    [[nodiscard]] std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<ScrollViewDelegate>& delegate) { delegate_ = delegate; }

    [[nodiscard]] std::shared_ptr<PanGestureRecognizer> panGestureRecognizer() const {
        return pan_;
    }

    // Pull to refresh. The control becomes the backmost subview; with one
    // the content always bounces vertically.
    [[nodiscard]] const std::shared_ptr<RefreshControl>& refreshControl() const {
        return refreshControl_;
    }
    void setRefreshControl(std::shared_ptr<RefreshControl> control);

    // Zooming (ScrollViewZooming.cpp). The limits default to 1; a pinch
    // recognizer is added once the maximum exceeds the minimum.
    [[nodiscard]] double minimumZoomScale() const { return minimumZoomScale_; }
    void setMinimumZoomScale(double scale);
    [[nodiscard]] double maximumZoomScale() const { return maximumZoomScale_; }
    void setMaximumZoomScale(double scale);
    [[nodiscard]] double zoomScale() const { return zoomScale_; }
    // Clamped to the limits; keeps the visible centre where the content
    // allows. Animated: 0.3 s, didZoom every frame, then didEndZooming.
    // Nothing happens without a view for zooming.
    void setZoomScale(double scale, bool animated = false);
    // Zooms so that `rect`, in the zoomed view's own coordinates, fills the
    // bounds as far as the limits allow, centred.
    void zoomToRect(const gfx::Rect& rect, bool animated);
    // While a pinch is changing the scale.
    [[nodiscard]] bool isZooming() const { return zooming_; }
    // While the scale springs back after a pinch past a limit.
    [[nodiscard]] bool isZoomBouncing() const { return zoomBouncing_; }
    [[nodiscard]] const std::shared_ptr<PinchGestureRecognizer>& pinchGestureRecognizer() const {
        return pinch_;
    }

    // Keeps the refresh control above the content, as wide as the bounds.
    // Subclasses that lay out call this first.
    void layoutSubviews() override;

private:
    struct Range {
        gfx::Point min;
        gfx::Point max;
    };
    [[nodiscard]] Range offsetRange() const;
    [[nodiscard]] Range offsetRange(gfx::Size contentSize) const;
    [[nodiscard]] bool scrollsHorizontally() const;
    [[nodiscard]] bool scrollsVertically() const;
    [[nodiscard]] gfx::Point clamped(gfx::Point offset) const;
    [[nodiscard]] gfx::Point rubberBanded(gfx::Point raw) const;
    [[nodiscard]] gfx::Point unbanded(gfx::Point offset) const;

    // Moves the bounds origin; didScroll when it changed.
    void applyOffset(gfx::Point offset);
    void stopAnimation();
    void animateTo(gfx::Point target, double duration, ScrollAnimation::Curve curve,
                   bool deceleration);
    template <typename Call>
    void notify(Call&& call) {
        if (auto d = delegate_.lock()) call(*d);
    }

    // Zooming (ScrollViewZooming.cpp).
    void updatePinchRecognizer();
    void handlePinch(PinchGestureRecognizer& pinch);
    [[nodiscard]] std::shared_ptr<View> zoomedView();
    // Scales the zoomed view and the content size; didZoom when it changed.
    void applyZoom(View& view, double scale);
    // The content offset that puts `point` (zoomed view coordinates) at
    // `position` (relative to the bounds' origin) at `scale`.
    [[nodiscard]] gfx::Point offsetPlacing(const View& view, gfx::Point point, gfx::Point position,
                                           double scale) const;
    [[nodiscard]] gfx::Point clampedForContent(gfx::Point offset, gfx::Size contentSize) const;
    // Zooms to scale (already clamped) with `point` (zoomed view coordinates)
    // at the middle of the bounds, as far as the content allows.
    void zoomCentring(View& view, gfx::Point point, double scale, bool animated);
    [[nodiscard]] double rubberBandedScale(double scale) const;
    // Moves scale and offset together; didEndZooming at the end.
    void animateZoom(double scale, gfx::Point offset, ScrollAnimation::Curve curve, bool bounce);

    // Dragging (ScrollViewDragging.cpp; the pan recognizer in ScrollView.cpp).
    class Pan;
    // Whether the pan may begin for a first movement of `translation` (in
    // this view's coordinates).
    [[nodiscard]] bool panMayBegin(gfx::Point translation) const;
    // Whether a scroll view around this one would take a drag along the axis.
    [[nodiscard]] bool enclosingScrollViewScrolls(bool horizontally) const;
    void handlePan(PanGestureRecognizer& pan);
    void beginDrag(PanGestureRecognizer& pan);
    void moveDrag(PanGestureRecognizer& pan);
    void endDrag(PanGestureRecognizer& pan, bool cancelled);
    // Whether releasing now should begin refreshing.
    [[nodiscard]] bool pulledPastRefreshThreshold() const;
    [[nodiscard]] gfx::Point restingOffset(gfx::Point offset, gfx::Point velocity) const;
    [[nodiscard]] double pagedOffset(double offset, double velocity, double pageSize,
                                     double startOffset, double min, double max) const;
    [[nodiscard]] double decelerationDuration(gfx::Point from, gfx::Point to,
                                              gfx::Point velocity) const;

    gfx::Size contentSize_;
    gfx::EdgeInsets contentInset_;
    ContentInsetAdjustmentBehavior insetAdjustment_ = ContentInsetAdjustmentBehavior::Automatic;
    bool pagingEnabled_ = false;
    bool scrollEnabled_ = true;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool alwaysBounceHorizontal_ = false;
    bool showsHorizontal_ = true;
    bool showsVertical_ = true;
    bool scrollsToTop_ = true;
    double decelerationRate_ = kDecelerationRateNormal;

    double minimumZoomScale_ = 1;
    double maximumZoomScale_ = 1;
    double zoomScale_ = 1;
    bool zooming_ = false;
    bool zoomBouncing_ = false;
    double pinchStartScale_ = 1;
    gfx::Point pinchAnchor_;  // zoomed view coordinates

    bool tracking_ = false;
    bool dragging_ = false;
    bool decelerating_ = false;
    gfx::Point dragStartOffset_;  // un-rubber-banded
    gfx::Point dragStartTranslation_;

    std::weak_ptr<ScrollViewDelegate> delegate_;
    std::shared_ptr<PanGestureRecognizer> pan_;
    std::shared_ptr<PinchGestureRecognizer> pinch_;
    std::shared_ptr<RefreshControl> refreshControl_;
    // The pan's action reaches this view through it; gone with the view.
    std::shared_ptr<ScrollView*> self_;
    ScrollAnimation animation_;
};

}  // namespace ui
