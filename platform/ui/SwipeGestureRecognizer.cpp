#include <algorithm>
#include <cmath>

#include "ui/GestureRecognizer.h"

namespace ui {

void SwipeGestureRecognizer::touchesBegan(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != GestureState::Possible) return;
    if (numberOfTouches() > 1) {
        setState(GestureState::Failed);
        return;
    }
    start_ = centroid();
    startTime_ = now();
}

void SwipeGestureRecognizer::touchesMoved(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    evaluate(false);
}

void SwipeGestureRecognizer::touchesEnded(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    evaluate(true);
}

void SwipeGestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    if (state() == GestureState::Possible) setState(GestureState::Failed);
}

void SwipeGestureRecognizer::evaluate(bool ended) {
    if (state() != GestureState::Possible) return;
    const gfx::Point position = centroid();
    const double dx = position.x - start_.x;
    const double dy = position.y - start_.y;
    const bool inTime = now() - startTime_ <= kMaximumDuration;
    bool stillPossible = false;
    for (const unsigned bit : {kRight, kLeft, kUp, kDown}) {
        if ((direction & bit) == 0) continue;
        const bool horizontal = bit == kRight || bit == kLeft;
        const double along =
            (bit == kRight || bit == kDown) ? (horizontal ? dx : dy) : -(horizontal ? dx : dy);
        const double aside = std::abs(horizontal ? dy : dx);
        if (inTime && along >= kMinimumDistance && aside <= along / 2) {
            setState(GestureState::Recognized);
            return;
        }
        if (along >= -kSlack && aside <= std::max(kSlack, along / 2)) stillPossible = true;
    }
    if (ended || !inTime || !stillPossible) setState(GestureState::Failed);
}

}  // namespace ui
