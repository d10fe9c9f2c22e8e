#include "ui/Control.h"

#include "ui/Touch.h"

namespace ui {

void Control::addAction(ControlEvent event, Action action) {
    if (action) actions_.emplace_back(event, std::move(action));
}

void Control::removeAllActions() {
    actions_.clear();
}

void Control::sendActions(ControlEvent event) {
    const auto keep = weak_from_this().lock();
    const auto actions = actions_;
    for (const auto& [registered, action] : actions) {
        if (registered == event) action(*this);
    }
}

void Control::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled) {
        tracking_ = false;
        setHighlighted(false);
    }
    setNeedsDisplay();
}

void Control::setSelected(bool selected) {
    selected_ = selected;
    setNeedsDisplay();
}

void Control::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

unsigned Control::state() const {
    unsigned state = static_cast<unsigned>(ControlState::Normal);
    if (highlighted_) state |= static_cast<unsigned>(ControlState::Highlighted);
    if (!enabled_) state |= static_cast<unsigned>(ControlState::Disabled);
    if (selected_) state |= static_cast<unsigned>(ControlState::Selected);
    return state;
}

bool Control::isTouchInside(const TouchSet& touches) const {
    if (touches.empty()) return false;
    const gfx::Point point = touches.front()->locationInView(this);
    return bounds().inset(-kTouchSlop, -kTouchSlop).contains(point);
}

void Control::touchesBegan(const TouchSet&, const Event&) {
    if (!enabled_ || tracking_) return;
    tracking_ = true;
    setHighlighted(true);
    sendActions(ControlEvent::TouchDown);
}

void Control::touchesMoved(const TouchSet& touches, const Event&) {
    if (!enabled_ || !tracking_) return;
    const bool inside = isTouchInside(touches);
    if (inside != highlighted_) setHighlighted(inside);
}

void Control::touchesEnded(const TouchSet& touches, const Event&) {
    if (!enabled_ || !tracking_) return;
    tracking_ = false;
    setHighlighted(false);
    sendActions(isTouchInside(touches) ? ControlEvent::TouchUpInside
                                       : ControlEvent::TouchUpOutside);
}

void Control::touchesCancelled(const TouchSet&, const Event&) {
    if (!enabled_ || !tracking_) return;
    tracking_ = false;
    setHighlighted(false);
    sendActions(ControlEvent::TouchCancel);
}

}  // namespace ui
