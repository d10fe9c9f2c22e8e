#include "ads/foundation/DZWiggleGestureRecognizer.h"

#include <cmath>

#include "ui/Touch.h"

namespace ads {

void DZWiggleGestureRecognizer::reset() {
    ui::GestureRecognizer::reset();
    gestureState_ = 0;
    distanceMoved_ = 0;
}

bool DZWiggleGestureRecognizer::isMovementInYAxis(gfx::Point current, gfx::Point previous) {
    return std::fabs(current.y - previous.y) > kMaximumVerticalStep;
}

void DZWiggleGestureRecognizer::failAndReset() {
    if (state() == ui::GestureState::Possible) setState(ui::GestureState::Failed);
    gestureState_ = 0;
}

void DZWiggleGestureRecognizer::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
    ui::GestureRecognizer::touchesBegan(touches, event);
    if (touches.size() > 1 || numberOfTouches() > 1) failAndReset();
}

bool DZWiggleGestureRecognizer::advance(double dx, bool right, bool left) {
    // Legs 1 and 3 go right, 2 and 4 left; a step without horizontal
    // movement continues the current leg.
    const bool goingRight = gestureState_ == 1 || gestureState_ == 3;
    const bool reversal = goingRight ? left : right;
    switch (gestureState_) {
    case 0:
        if (left) return false;
        distanceMoved_ += dx;
        gestureState_ = 1;
        return true;
    case 1:
    case 2:
    case 3:
        if (!reversal) {
            distanceMoved_ += dx;
            return true;
        }
        if (distanceMoved_ < kMinimumLegLength) return false;
        distanceMoved_ = dx;
        ++gestureState_;
        return true;
    default:
        if (reversal) return false;
        distanceMoved_ += dx;
        return true;
    }
}

void DZWiggleGestureRecognizer::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
    ui::GestureRecognizer::touchesMoved(touches, event);
    if (state() == ui::GestureState::Failed || touches.empty()) return;
    const auto& touch = touches.front();
    const gfx::Point current = touch->locationInView(view());
    const gfx::Point previous = touch->previousLocationInView(view());
    if (isMovementInYAxis(current, previous)) {
        failAndReset();
        return;
    }
    const double dx = std::fabs(current.x - previous.x);
    if (!advance(dx, current.x > previous.x, current.x < previous.x)) failAndReset();
}

void DZWiggleGestureRecognizer::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
    ui::GestureRecognizer::touchesEnded(touches, event);
    if (state() == ui::GestureState::Possible && gestureState_ == 4) {
        setState(ui::GestureState::Recognized);
    } else {
        failAndReset();
    }
}

void DZWiggleGestureRecognizer::touchesCancelled(const ui::TouchSet& touches,
                                                 const ui::Event& event) {
    ui::GestureRecognizer::touchesCancelled(touches, event);
    failAndReset();
}

}  // namespace ads
