#pragma once
// Higher-level touches for tests, the tool's scripted touches and the
// desktop window: a tap, a drag along a path over time, and a fling (a drag
// released while moving). Time advances on the current clock: with a manual
// clock each step advances it, so scroll views see real velocities.

#include "gfx/Geometry.h"

namespace ui {

class Window;

class TouchInjector {
public:
    explicit TouchInjector(Window& window) : window_(window) {}

    void tap(gfx::Point location);
    // Moves from `from` to `to` in `steps` moves over `duration` seconds and
    // lifts the finger after holding still (no fling).
    void drag(gfx::Point from, gfx::Point to, double duration = 0.5, int steps = 10);
    // Like drag, but lifts the finger while still moving.
    void fling(gfx::Point from, gfx::Point to, double duration = 0.1, int steps = 5);
    // Two fingers moving apart (scale > 1) or together around a centre.
    void pinch(gfx::Point center, double startDistance, double scale, double duration = 0.3,
               int steps = 10);

private:
    void step(double seconds);
    // Down at from, steps moves to `to` over duration, an optional rest,
    // then up: a drag rests, a fling lifts while moving.
    void stroke(gfx::Point from, gfx::Point to, double duration, int steps,
                double restBeforeLift);
    Window& window_;
};

}  // namespace ui
