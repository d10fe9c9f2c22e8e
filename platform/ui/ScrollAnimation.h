#pragma once
// Moves a point from one value to another in frames at 60 per second, driven
// by a repeating timer on the main run loop, so that a manual clock advanced
// by the duration runs every frame. A scroll view uses one for animated
// offsets and for deceleration. The last frame lands exactly on the target.
// Main thread only.

#include <functional>
#include <memory>

#include "gfx/Geometry.h"

namespace ui {

class ScrollAnimation {
public:
    enum class Curve { EaseInOut, EaseOut };
    using Frame = std::function<void(gfx::Point)>;
    using Finish = std::function<void()>;

    static constexpr double kFramesPerSecond = 60;

    ScrollAnimation() = default;
    ~ScrollAnimation();
    ScrollAnimation(const ScrollAnimation&) = delete;
    ScrollAnimation& operator=(const ScrollAnimation&) = delete;

    // Replaces (cancels) a running animation. `frame` gets each frame's
    // point; `finish` runs after the last frame unless cancelled meanwhile.
    void start(gfx::Point from, gfx::Point to, double duration, Curve curve, Frame frame,
               Finish finish);
    // Stops without calling `finish`; safe from inside a frame callback.
    void cancel();
    [[nodiscard]] bool isRunning() const { return run_ != nullptr; }

    [[nodiscard]] static double progress(Curve curve, double t);

private:
    struct Run;
    static void step(const std::shared_ptr<Run>& run);

    std::shared_ptr<Run> run_;
};

}  // namespace ui
