#pragma once
// The size of the desktop window that shows a device screen: the screen's
// points at the device scale, shrunk as a whole when that would not fit the
// space the desktop offers, never enlarged. Any thread.

#include "gfx/Geometry.h"

namespace display {

struct WindowFit {
    int pixelWidth = 1;
    int pixelHeight = 1;
    // Window pixels per device point: the device scale, or less when shrunk.
    double pixelsPerPoint = 1;

    // `available` is the usable desktop area in pixels; an empty one means
    // no limit. A non-positive or non-finite scale counts as 1.
    [[nodiscard]] static WindowFit fit(gfx::Size points, double scale, gfx::Size available);

    [[nodiscard]] gfx::Point pointAt(double pixelX, double pixelY) const {
        return {pixelX / pixelsPerPoint, pixelY / pixelsPerPoint};
    }
};

}  // namespace display
