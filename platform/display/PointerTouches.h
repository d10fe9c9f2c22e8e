#pragma once
// Turns the mouse into one finger: a press puts a touch down in the window,
// moves while the button is held move it, the release lifts it. Delivered
// live on the current clock through the window's touch delivery, so the
// window's recognizers tell a quick press (a tap) from a press and move (a
// drag) and a release while moving (a fling) as they do for injected
// touches. Main thread only.

#include <memory>

#include "gfx/Geometry.h"

namespace ui {
class Touch;
class Window;
}  // namespace ui

namespace display {

class PointerTouches {
public:
    // A press while a touch is down lifts that touch first (at its last
    // place) rather than leaving it down for ever.
    void press(ui::Window& window, gfx::Point location);
    // Ignored while no touch is down (the pointer merely hovering).
    void move(gfx::Point location);
    void release(gfx::Point location);
    // Cancels a touch that is down (the window lost the pointer's button).
    void cancel();

    [[nodiscard]] bool isTouching() const { return touch_ != nullptr; }

private:
    std::weak_ptr<ui::Window> window_;
    std::shared_ptr<ui::Touch> touch_;
    gfx::Point last_;
};

}  // namespace display
