#include "display/PointerTouches.h"

#include <utility>

#include "ui/Window.h"

namespace display {

void PointerTouches::press(ui::Window& window, gfx::Point location) {
    if (touch_) release(last_);
    window_ = std::static_pointer_cast<ui::Window>(window.shared_from_this());
    touch_ = window.touchDown(location);
    last_ = location;
}

void PointerTouches::move(gfx::Point location) {
    const auto window = window_.lock();
    if (!touch_ || !window || location == last_) return;
    last_ = location;
    window->touchMove(touch_, location);
}

void PointerTouches::release(gfx::Point location) {
    const auto touch = std::exchange(touch_, nullptr);
    const auto window = window_.lock();
    if (touch && window) window->touchUp(touch, location);
}

void PointerTouches::cancel() {
    const auto touch = std::exchange(touch_, nullptr);
    const auto window = window_.lock();
    if (touch && window) window->touchCancel(touch);
}

}  // namespace display
