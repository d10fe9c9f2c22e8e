#include <cmath>

#include "ui/GestureRecognizer.h"

namespace ui {

namespace {

constexpr double kAllowedMovement = 10;
// Taps of one multi-tap gesture follow each other this closely.
constexpr double kTapInterval = 0.35;
constexpr double kTapDistance = 40;

double distance(gfx::Point a, gfx::Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

}  // namespace

void TapGestureRecognizer::touchesBegan(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != GestureState::Possible) return;
    start_ = centroid();
    if (taps_ > 0 && (now() - lastTapEnd_ > kTapInterval ||
                      distance(start_, firstTapLocation_) > kTapDistance)) {
        taps_ = 0;
    }
    if (taps_ == 0) firstTapLocation_ = start_;
}

void TapGestureRecognizer::touchesMoved(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    if (state() == GestureState::Possible && distance(centroid(), start_) > kAllowedMovement) {
        setState(GestureState::Failed);
    }
}

void TapGestureRecognizer::touchesEnded(const TouchSet& touches, const Event& event) {
    const gfx::Point end = centroid();
    GestureRecognizer::touchesEnded(touches, event);
    if (state() != GestureState::Possible) return;
    if (distance(end, start_) > kAllowedMovement) {
        setState(GestureState::Failed);
        return;
    }
    if (numberOfTouches() > 0) return;
    if (++taps_ >= numberOfTapsRequired) {
        setState(GestureState::Recognized);
    } else {
        lastTapEnd_ = now();
    }
}

void TapGestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    if (state() == GestureState::Possible) setState(GestureState::Failed);
}

void TapGestureRecognizer::reset() {
    GestureRecognizer::reset();
    taps_ = 0;
}

}  // namespace ui
