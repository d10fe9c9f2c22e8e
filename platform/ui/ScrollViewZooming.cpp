// ScrollView: zooming the delegate's view by pinching and by setZoomScale.

#include <algorithm>
#include <cmath>

#include "ui/GestureRecognizer.h"
#include "ui/ScrollView.h"

namespace ui {

namespace {

// Past a limit the scale grows by the square root of what the fingers ask.
constexpr double kZoomResistance = 0.5;

gfx::Point lerp(gfx::Point from, gfx::Point to, double t) {
    return {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t};
}

}  // namespace

void ScrollView::setMinimumZoomScale(double scale) {
    minimumZoomScale_ = std::max(scale, 1e-3);
    updatePinchRecognizer();
}

void ScrollView::setMaximumZoomScale(double scale) {
    maximumZoomScale_ = std::max(scale, 1e-3);
    updatePinchRecognizer();
}

void ScrollView::updatePinchRecognizer() {
    const bool zooms = maximumZoomScale_ > minimumZoomScale_;
    if (zooms && !pinch_) {
        pinch_ = std::make_shared<PinchGestureRecognizer>(
            [self = std::weak_ptr<ScrollView*>(self_)](GestureRecognizer& recognizer) {
                if (auto view = self.lock()) {
                    (*view)->handlePinch(static_cast<PinchGestureRecognizer&>(recognizer));
                }
            });
        addGestureRecognizer(pinch_);
    }
    if (pinch_) pinch_->setEnabled(zooms);
}

std::shared_ptr<View> ScrollView::zoomedView() {
    const auto d = delegate_.lock();
    if (!d) return nullptr;
    auto view = d->viewForZooming(*this);
    if (!view || view->superview().get() != this) return nullptr;
    return view;
}

void ScrollView::applyZoom(View& view, double scale) {
    const gfx::Point origin = view.frame().origin;
    const gfx::Size size = view.bounds().size;
    view.setTransform(gfx::AffineTransform::scaling(scale, scale));
    view.setCenter({origin.x + size.width * scale / 2, origin.y + size.height * scale / 2});
    setContentSize(view.frame().size);
    if (zoomScale_ == scale) return;
    zoomScale_ = scale;
    notify([this](ScrollViewDelegate& d) { d.scrollViewDidZoom(*this); });
}

gfx::Point ScrollView::offsetPlacing(const View& view, gfx::Point point, gfx::Point position,
                                     double scale) const {
    const gfx::Point origin = view.frame().origin;
    const gfx::Point boundsOrigin = view.bounds().origin;
    return {origin.x + (point.x - boundsOrigin.x) * scale - position.x,
            origin.y + (point.y - boundsOrigin.y) * scale - position.y};
}

gfx::Point ScrollView::clampedForContent(gfx::Point offset, gfx::Size contentSize) const {
    const Range range = offsetRange(contentSize);
    return {std::clamp(offset.x, range.min.x, range.max.x),
            std::clamp(offset.y, range.min.y, range.max.y)};
}

double ScrollView::rubberBandedScale(double scale) const {
    if (scale > maximumZoomScale_) {
        return maximumZoomScale_ * std::pow(scale / maximumZoomScale_, kZoomResistance);
    }
    if (scale < minimumZoomScale_) {
        return minimumZoomScale_ * std::pow(scale / minimumZoomScale_, kZoomResistance);
    }
    return scale;
}

void ScrollView::setZoomScale(double scale, bool animated) {
    const auto view = zoomedView();
    if (!view) return;
    scale = std::clamp(scale, minimumZoomScale_, std::max(minimumZoomScale_, maximumZoomScale_));
    zoomCentring(*view, view->convertPointFrom(bounds().center(), this), scale, animated);
}

void ScrollView::zoomToRect(const gfx::Rect& rect, bool animated) {
    const auto view = zoomedView();
    const gfx::Rect r = rect.standardized();
    if (!view || r.width() <= 0 || r.height() <= 0) return;
    const double fit = std::min(bounds().width() / r.width(), bounds().height() / r.height());
    const double scale =
        std::clamp(fit, minimumZoomScale_, std::max(minimumZoomScale_, maximumZoomScale_));
    zoomCentring(*view, r.center(), scale, animated);
}

void ScrollView::zoomCentring(View& view, gfx::Point point, double scale, bool animated) {
    const gfx::Point half{bounds().width() / 2, bounds().height() / 2};
    const gfx::Size unscaled = view.bounds().size;
    const gfx::Point offset = clampedForContent(offsetPlacing(view, point, half, scale),
                                                {unscaled.width * scale, unscaled.height * scale});
    stopAnimation();
    if (animated) {
        animateZoom(scale, offset, ScrollAnimation::Curve::EaseInOut, false);
        return;
    }
    applyZoom(view, scale);
    applyOffset(offset);
}

void ScrollView::animateZoom(double scale, gfx::Point offset, ScrollAnimation::Curve curve,
                             bool bounce) {
    const auto weak = weak_from_this();
    const double fromScale = zoomScale_;
    const gfx::Point fromOffset = contentOffset();
    zoomBouncing_ = bounce;
    // The animated point's x runs from 0 to 1 along the curve.
    const auto frame = [weak, fromScale, fromOffset, scale, offset](gfx::Point progress) {
        const auto self = std::static_pointer_cast<ScrollView>(weak.lock());
        if (!self) return;
        const auto view = self->zoomedView();
        if (!view) return;
        const double t = progress.x;
        self->applyZoom(*view, fromScale + (scale - fromScale) * t);
        self->applyOffset(t >= 1 ? offset : lerp(fromOffset, offset, t));
    };
    const auto finish = [weak] {
        const auto self = std::static_pointer_cast<ScrollView>(weak.lock());
        if (!self) return;
        self->zoomBouncing_ = false;
        const auto view = self->zoomedView();
        const double current = self->zoomScale_;
        self->notify(
            [&](ScrollViewDelegate& d) { d.scrollViewDidEndZooming(*self, view.get(), current); });
    };
    animation_.start({0, 0}, {1, 0}, kAnimationDuration, curve, frame, finish);
}

void ScrollView::handlePinch(PinchGestureRecognizer& pinch) {
    const auto keepAlive = shared_from_this();
    const auto view = zoomedView();
    if (!view) return;
    switch (pinch.state()) {
        case GestureState::Began:
            stopAnimation();
            zooming_ = true;
            pinchStartScale_ = zoomScale_;
            pinchAnchor_ = view->convertPointFrom(pinch.startLocationInView(nullptr), nullptr);
            [[fallthrough]];
        case GestureState::Changed: {
            if (!zooming_) return;
            const double scale = rubberBandedScale(pinchStartScale_ * pinch.scale());
            const gfx::Point finger = convertPointFrom(pinch.locationInView(nullptr), nullptr);
            const gfx::Point position = finger - bounds().origin;
            applyZoom(*view, scale);
            applyOffset(offsetPlacing(*view, pinchAnchor_, position, scale));
            break;
        }
        case GestureState::Ended:
        case GestureState::Cancelled: {
            if (!zooming_) return;
            zooming_ = false;
            const double scale = std::clamp(zoomScale_, minimumZoomScale_,
                                            std::max(minimumZoomScale_, maximumZoomScale_));
            // Where the anchor is on screen now stays put while springing back.
            const gfx::Point position =
                offsetPlacing(*view, pinchAnchor_, {}, zoomScale_) - contentOffset();
            const gfx::Size unscaled = view->bounds().size;
            const gfx::Point offset =
                clampedForContent(offsetPlacing(*view, pinchAnchor_, position, scale),
                                  {unscaled.width * scale, unscaled.height * scale});
            if (scale == zoomScale_ && offset == contentOffset()) {
                notify([&](ScrollViewDelegate& d) {
                    d.scrollViewDidEndZooming(*this, view.get(), zoomScale_);
                });
                return;
            }
            animateZoom(scale, offset, ScrollAnimation::Curve::EaseOut, true);
            break;
        }
        default:
            break;
    }
}

}  // namespace ui
