#pragma once
// How an animation's value moves from its start to its end over its
// duration: one of the four curves (ease in and out unless asked
// otherwise), or a damped spring. A spring's damping ratio is 1 for no
// overshoot and smaller for more; its initial velocity is in whole
// distances per second (1: at the start it moves as fast as covering the
// whole distance in a second). The spring settles within the duration, and
// the last moment lands on the end exactly.

#include <optional>

namespace ui {

enum class AnimationCurve { EaseInOut, EaseIn, EaseOut, Linear };

struct AnimationTiming {
    AnimationCurve curve = AnimationCurve::EaseInOut;
    std::optional<double> springDamping;
    double springVelocity = 0;

    [[nodiscard]] static AnimationTiming spring(double damping, double velocity) {
        return {AnimationCurve::EaseInOut, damping, velocity};
    }

    // How far along (0 at the start, 1 at the end; a spring may pass 1) an
    // animation of `duration` seconds is at `fraction` of it.
    [[nodiscard]] double progress(double fraction, double duration) const;

    friend bool operator==(const AnimationTiming&, const AnimationTiming&) = default;
};

}  // namespace ui
