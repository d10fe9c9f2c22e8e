// View: what of a view is on screen, and the transitions recorded on its
// layer.

#include <algorithm>

#include "core/Queue.h"
#include "ui/DeviceProfile.h"
#include "ui/View.h"
#include "ui/ViewAnimations.h"
#include "ui/Window.h"

namespace ui {

gfx::Rect View::visibleRect() const {
    if (!window_) return {};
    gfx::Rect visible = bounds_;
    for (const View* view = this; view;) {
        if (view->hidden_) return {};
        const bool isTheWindow = view == window_;
        if (view != this && (view->clipsToBounds_ || isTheWindow)) {
            visible = visible.intersection(convertRectFrom(view->bounds_, view));
        }
        if (isTheWindow) break;
        const auto superview = view->superview_.lock();
        view = superview.get();
    }
    const gfx::Rect windowFrame = window_->frame();
    const gfx::Rect screen =
        DeviceProfile::current().screenBounds().offset(-windowFrame.minX(), -windowFrame.minY());
    return visible.intersection(convertRectFrom(screen, window_));
}

void View::addTransition(const LayerTransition& transition, const std::string& key) {
    static std::uint64_t lastSerial = 0;
    const std::uint64_t serial = ++lastSerial;
    std::erase_if(transitions_, [&key](const auto& recorded) { return recorded.key == key; });
    const double begin = ViewAnimations::now();
    // What the view showed last is what the transition starts from; from
    // now on the renderer keeps that for the next one.
    transitions_.push_back({key, transition, serial, begin, lastDrawing_});
    retainsLastDrawing_ = true;
    ViewAnimations::noteMotionUntil(begin + std::max(0.0, transition.duration));
    setNeedsDisplay();
    core::Queue::main()->after(std::max(0.0, transition.duration),
                               [weak = weak_from_this(), key, serial] {
                                   const auto self = weak.lock();
                                   if (!self) return;
                                   std::erase_if(self->transitions_, [&](const auto& recorded) {
                                       return recorded.key == key && recorded.serial == serial;
                                   });
                               });
}

std::optional<LayerTransition> View::transitionForKey(const std::string& key) const {
    for (const auto& recorded : transitions_) {
        if (recorded.key == key) return recorded.transition;
    }
    return std::nullopt;
}

std::vector<std::string> View::transitionKeys() const {
    std::vector<std::string> keys;
    for (const auto& recorded : transitions_) keys.push_back(recorded.key);
    return keys;
}

void View::removeAllTransitions() {
    transitions_.clear();
    setNeedsDisplay();
}

void View::setRetainsLastDrawing(bool retains) {
    retainsLastDrawing_ = retains;
    if (!retains) lastDrawing_.reset();
}

std::optional<View::ShownTransition> View::shownTransition() const {
    if (transitions_.empty()) return std::nullopt;
    const RecordedTransition& latest = transitions_.back();
    const double duration = latest.transition.duration;
    const double elapsed = ViewAnimations::now() - latest.begin;
    if (duration <= 0 || elapsed < 0 || elapsed >= duration) return std::nullopt;
    AnimationTiming timing;
    switch (latest.transition.timing) {
    case LayerTransition::Timing::Default:
    case LayerTransition::Timing::Linear:
        timing.curve = AnimationCurve::Linear;
        break;
    case LayerTransition::Timing::EaseIn:
        timing.curve = AnimationCurve::EaseIn;
        break;
    case LayerTransition::Timing::EaseOut:
        timing.curve = AnimationCurve::EaseOut;
        break;
    case LayerTransition::Timing::EaseInEaseOut:
        timing.curve = AnimationCurve::EaseInOut;
        break;
    }
    return ShownTransition{latest.transition, timing.progress(elapsed / duration, duration),
                           latest.before};
}

}  // namespace ui
