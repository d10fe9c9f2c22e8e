#include "ui/AnimationTiming.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// The cubic Bezier from (0,0) to (1,1) through control points (x1,y1) and
// (x2,y2), answered for x.
double bezier(double x1, double y1, double x2, double y2, double x) {
    const auto at = [](double p1, double p2, double t) {
        const double u = 1 - t;
        return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
    };
    // x(t) rises monotonically for these curves: bisection is exact enough.
    double low = 0;
    double high = 1;
    for (int i = 0; i < 40; ++i) {
        const double mid = (low + high) / 2;
        if (at(x1, x2, mid) < x) {
            low = mid;
        } else {
            high = mid;
        }
    }
    return at(y1, y2, (low + high) / 2);
}

// A damped oscillator from 0 to 1 whose swing has shrunk to a thousandth by
// the end of the duration.
double springAt(double damping, double velocity, double fraction, double duration) {
    const double zeta = std::max(0.05, damping);
    const double seconds = fraction * duration;
    const double omega = std::log(1000.0) / (zeta * std::max(duration, 1e-3));
    const double decay = std::exp(-zeta * omega * seconds);
    if (zeta < 1) {
        const double damped = omega * std::sqrt(1 - zeta * zeta);
        const double b = (zeta * omega - velocity) / damped;
        return 1 - decay * (std::cos(damped * seconds) + b * std::sin(damped * seconds));
    }
    // Critically damped (more damping settles no differently here).
    return 1 - decay * (1 + (omega - velocity) * seconds);
}

}  // namespace

double AnimationTiming::progress(double fraction, double duration) const {
    if (fraction <= 0) return 0;
    if (fraction >= 1) return 1;
    if (springDamping) return springAt(*springDamping, springVelocity, fraction, duration);
    switch (curve) {
    case AnimationCurve::Linear:
        return fraction;
    case AnimationCurve::EaseIn:
        return bezier(0.42, 0, 1, 1, fraction);
    case AnimationCurve::EaseOut:
        return bezier(0, 0, 0.58, 1, fraction);
    case AnimationCurve::EaseInOut:
        return bezier(0.42, 0, 0.58, 1, fraction);
    }
    return fraction;
}

}  // namespace ui
