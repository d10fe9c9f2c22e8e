#include "ui/TouchInjector.h"

#include <algorithm>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "ui/Window.h"

namespace ui {

namespace {

// A finger rests this long before a tap lifts, and after a drag.
constexpr double kTapDuration = 0.05;
constexpr double kRest = 0.15;

// Lets main-queue work triggered by the last touch run.
void settle() {
    core::RunLoop::main().runOnce();
}

gfx::Point lerp(gfx::Point from, gfx::Point to, double t) {
    return {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t};
}

}  // namespace

void TouchInjector::step(double seconds) {
    if (seconds <= 0) return;
    const auto clock = core::Clock::current();
    if (auto* manual = dynamic_cast<core::ManualClock*>(clock.get())) {
        manual->advance(seconds);
    } else {
        (void)core::RunLoop::main().runUntil([] { return false; }, seconds);
    }
}

void TouchInjector::tap(gfx::Point location) {
    const auto touch = window_.touchDown(location);
    settle();
    step(kTapDuration);
    window_.touchUp(touch, location);
    settle();
}

void TouchInjector::drag(gfx::Point from, gfx::Point to, double duration, int steps) {
    stroke(from, to, duration, steps, kRest);
}

void TouchInjector::fling(gfx::Point from, gfx::Point to, double duration, int steps) {
    stroke(from, to, duration, steps, 0);
}

void TouchInjector::stroke(gfx::Point from, gfx::Point to, double duration, int steps,
                           double restBeforeLift) {
    steps = std::max(1, steps);
    const auto touch = window_.touchDown(from);
    settle();
    for (int i = 1; i <= steps; ++i) {
        step(duration / steps);
        window_.touchMove(touch, lerp(from, to, double(i) / steps));
        settle();
    }
    if (restBeforeLift > 0) step(restBeforeLift);
    window_.touchUp(touch, to);
    settle();
}

void TouchInjector::pinch(gfx::Point center, double startDistance, double scale, double duration,
                          int steps) {
    steps = std::max(1, steps);
    const auto fingers = [center](double distance) {
        return std::pair<gfx::Point, gfx::Point>{{center.x - distance / 2, center.y},
                                                 {center.x + distance / 2, center.y}};
    };
    const auto [firstStart, secondStart] = fingers(startDistance);
    const auto first = window_.touchDown(firstStart);
    const auto second = window_.touchDown(secondStart);
    settle();
    for (int i = 1; i <= steps; ++i) {
        step(duration / steps);
        const double t = double(i) / steps;
        const auto [a, b] = fingers(startDistance * (1 + (scale - 1) * t));
        window_.touchMove(first, a);
        window_.touchMove(second, b);
        settle();
    }
    const auto [firstEnd, secondEnd] = fingers(startDistance * scale);
    window_.touchUp(first, firstEnd);
    window_.touchUp(second, secondEnd);
    settle();
}

}  // namespace ui
