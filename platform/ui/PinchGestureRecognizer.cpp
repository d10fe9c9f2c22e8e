#include <algorithm>
#include <cmath>

#include "ui/GestureRecognizer.h"
#include "ui/View.h"

namespace ui {

double PinchGestureRecognizer::distance() const {
    const TouchSet& all = touches();
    if (all.size() < 2) return 0;
    const gfx::Point a = all[0]->locationInView(nullptr);
    const gfx::Point b = all[1]->locationInView(nullptr);
    return std::hypot(b.x - a.x, b.y - a.y);
}

gfx::Point PinchGestureRecognizer::startLocationInView(const View* view) const {
    return view ? view->convertPointFrom(startCentroid_, nullptr) : startCentroid_;
}

void PinchGestureRecognizer::setScale(double scale) {
    // Rebases the start distance, so the scale continues from this value.
    const double current = distance();
    if (current > 0 && scale > 0) startDistance_ = current / scale;
    scale_ = scale;
    velocity_ = 0;
}

void PinchGestureRecognizer::touchesBegan(const TouchSet& touches, const Event& event) {
    const size_t before = numberOfTouches();
    GestureRecognizer::touchesBegan(touches, event);
    if (before < 2 && numberOfTouches() >= 2 && state() == GestureState::Possible) {
        startDistance_ = distance();
        startCentroid_ = centroid();
        scale_ = 1;
        velocity_ = 0;
        lastTime_ = now();
    }
}

void PinchGestureRecognizer::touchesMoved(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    if (numberOfTouches() < 2 || startDistance_ <= 0) return;
    const double current = distance();
    const double scale = current / startDistance_;
    const double time = now();
    if (time > lastTime_) {
        velocity_ = (scale - scale_) / (time - lastTime_);
        lastTime_ = time;
    }
    scale_ = scale;
    const GestureState state = this->state();
    if (state == GestureState::Possible) {
        const double threshold = std::min(kBeginFraction * startDistance_, kBeginDistance);
        if (std::abs(current - startDistance_) >= threshold) setState(GestureState::Began);
    } else if (state == GestureState::Began || state == GestureState::Changed) {
        setState(GestureState::Changed);
    }
}

void PinchGestureRecognizer::touchesEnded(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    const GestureState state = this->state();
    if (state == GestureState::Began || state == GestureState::Changed) {
        if (numberOfTouches() < 2) setState(GestureState::Ended);
    } else if (state == GestureState::Possible && numberOfTouches() == 0) {
        setState(GestureState::Failed);
    }
}

void PinchGestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    const GestureState state = this->state();
    if (state == GestureState::Began || state == GestureState::Changed) {
        setState(GestureState::Cancelled);
    } else if (state == GestureState::Possible && numberOfTouches() == 0) {
        setState(GestureState::Failed);
    }
}

void PinchGestureRecognizer::reset() {
    GestureRecognizer::reset();
    startDistance_ = 0;
    startCentroid_ = {};
    scale_ = 1;
    velocity_ = 0;
    lastTime_ = 0;
}

}  // namespace ui
