#include <cmath>

#include "ui/GestureRecognizer.h"
#include "ui/View.h"

namespace ui {

namespace {

constexpr double kBeginDistance = 10;
// A finger lifted after resting this long has no velocity.
constexpr double kRestInterval = 0.1;

// A vector in window coordinates, in the view's (and back).
gfx::Point vectorInView(gfx::Point vector, const View* view) {
    if (!view) return vector;
    return view->convertPointFrom(vector, nullptr) - view->convertPointFrom({}, nullptr);
}

gfx::Point vectorInWindow(gfx::Point vector, const View* view) {
    if (!view) return vector;
    return view->convertPointTo(vector, nullptr) - view->convertPointTo({}, nullptr);
}

}  // namespace

gfx::Point PanGestureRecognizer::translationInView(const View* view) const {
    return vectorInView(current_ - start_, view);
}

void PanGestureRecognizer::setTranslation(gfx::Point translation, const View* view) {
    start_ = current_ - vectorInWindow(translation, view);
}

gfx::Point PanGestureRecognizer::velocityInView(const View* view) const {
    return vectorInView(velocity_, view);
}

void PanGestureRecognizer::shiftStart(gfx::Point centroidBefore) {
    const gfx::Point delta = centroid() - centroidBefore;
    start_ = start_ + delta;
    last_ = last_ + delta;
    current_ = centroid();
}

void PanGestureRecognizer::noteMove(gfx::Point position) {
    const double time = now();
    const double elapsed = time - lastTime_;
    current_ = position;
    // A sample without motion, such as a live mouse button released where
    // it last moved, keeps the velocity; touchesEnded drops it after a rest.
    if (elapsed <= 0 || position == last_) return;
    velocity_ = {(position.x - last_.x) / elapsed, (position.y - last_.y) / elapsed};
    last_ = position;
    lastTime_ = time;
}

void PanGestureRecognizer::touchesBegan(const TouchSet& touches, const Event& event) {
    const bool first = numberOfTouches() == 0;
    const gfx::Point before = centroid();
    GestureRecognizer::touchesBegan(touches, event);
    if (first) {
        start_ = last_ = current_ = centroid();
        velocity_ = {};
        lastTime_ = now();
    } else {
        shiftStart(before);
    }
}

void PanGestureRecognizer::touchesMoved(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    noteMove(centroid());
    const GestureState current = state();
    if (current == GestureState::Possible) {
        const gfx::Point moved = current_ - start_;
        if (std::hypot(moved.x, moved.y) >= kBeginDistance) setState(GestureState::Began);
    } else if (current == GestureState::Began || current == GestureState::Changed) {
        setState(GestureState::Changed);
    }
}

void PanGestureRecognizer::touchesEnded(const TouchSet& touches, const Event& event) {
    const bool rested = now() - lastTime_ > kRestInterval;
    noteMove(centroid());
    if (rested) velocity_ = {};
    const gfx::Point before = centroid();
    GestureRecognizer::touchesEnded(touches, event);
    if (numberOfTouches() > 0) {
        shiftStart(before);
        return;
    }
    const GestureState current = state();
    if (current == GestureState::Began || current == GestureState::Changed) {
        setState(GestureState::Ended);
    } else if (current == GestureState::Possible) {
        setState(GestureState::Failed);
    }
}

void PanGestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    const GestureState current = state();
    if (current == GestureState::Began || current == GestureState::Changed) {
        setState(GestureState::Cancelled);
    } else if (current == GestureState::Possible) {
        setState(GestureState::Failed);
    }
}

void PanGestureRecognizer::reset() {
    GestureRecognizer::reset();
    start_ = last_ = current_ = velocity_ = {};
    lastTime_ = 0;
}

}  // namespace ui
