#include "ui/GestureRecognizer.h"

#include <algorithm>

#include "core/Clock.h"
#include "ui/View.h"

namespace ui {

GestureRecognizer::GestureRecognizer(Action action) {
    if (action) actions_.push_back(std::move(action));
}

void GestureRecognizer::addAction(Action action) {
    if (action) actions_.push_back(std::move(action));
}

gfx::Point GestureRecognizer::centroid() const {
    if (touches_.empty()) return lastCentroid_;
    gfx::Point sum;
    for (const auto& touch : touches_) sum = sum + touch->locationInView(nullptr);
    const auto count = static_cast<double>(touches_.size());
    return {sum.x / count, sum.y / count};
}

void GestureRecognizer::noteCentroid() {
    if (!touches_.empty()) lastCentroid_ = centroid();
}

double GestureRecognizer::now() {
    return core::Clock::current()->monotonicSeconds();
}

gfx::Point GestureRecognizer::locationInView(const View* view) const {
    const gfx::Point point = centroid();
    return view ? view->convertPointFrom(point, nullptr) : point;
}

void GestureRecognizer::touchesBegan(const TouchSet& touches, const Event&) {
    for (const auto& touch : touches) {
        if (std::find(touches_.begin(), touches_.end(), touch) == touches_.end()) {
            touches_.push_back(touch);
        }
    }
    noteCentroid();
}

void GestureRecognizer::touchesMoved(const TouchSet&, const Event&) {
    noteCentroid();
}

void GestureRecognizer::touchesEnded(const TouchSet& touches, const Event&) {
    noteCentroid();
    for (const auto& touch : touches) std::erase(touches_, touch);
}

void GestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
}

void GestureRecognizer::reset() {
    state_ = GestureState::Possible;
    touches_.clear();
}

bool GestureRecognizer::recognizesSimultaneouslyWith(const GestureRecognizer& other) const {
    if (simultaneous_ && simultaneous_(other)) return true;
    const auto delegate = delegate_.lock();
    return delegate && delegate->shouldRecognizeSimultaneouslyWithGestureRecognizer(*this, other);
}

void GestureRecognizer::fail() {
    if (state_ == GestureState::Possible) setState(GestureState::Failed);
}

void GestureRecognizer::setState(GestureState state) {
    const bool starting = state == GestureState::Began || state == GestureState::Recognized;
    if (state_ == GestureState::Possible && starting) {
        const auto delegate = delegate_.lock();
        if (!canBegin() || (shouldBegin_ && !shouldBegin_(*this)) ||
            (delegate && !delegate->gestureRecognizerShouldBegin(*this))) {
            state = GestureState::Failed;
        }
    }
    state_ = state;
    if (state == GestureState::Possible || state == GestureState::Failed) return;
    const auto keep = weak_from_this().lock();
    const auto actions = actions_;
    for (const auto& action : actions) action(*this);
}

}  // namespace ui
