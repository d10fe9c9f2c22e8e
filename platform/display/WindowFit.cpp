#include "display/WindowFit.h"

#include <algorithm>
#include <cmath>

namespace display {

WindowFit WindowFit::fit(gfx::Size points, double scale, gfx::Size available) {
    if (!std::isfinite(scale) || scale <= 0) scale = 1;
    const double width = std::max(1.0, points.width);
    const double height = std::max(1.0, points.height);
    double shrink = 1;
    if (available.width > 0 && available.height > 0) {
        shrink =
            std::min({1.0, available.width / (width * scale), available.height / (height * scale)});
    }
    WindowFit result;
    result.pixelsPerPoint = scale * shrink;
    // The renderer's bitmap rounds up; so does the window, to show all of it.
    result.pixelWidth = std::max(1, int(std::ceil(width * result.pixelsPerPoint - 1e-9)));
    result.pixelHeight = std::max(1, int(std::ceil(height * result.pixelsPerPoint - 1e-9)));
    return result;
}

}  // namespace display
