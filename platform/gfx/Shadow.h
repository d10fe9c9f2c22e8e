#pragma once
// A drop shadow: the shape it follows, filled with `color`, moved by
// `offset` (points, y down) and blurred by `blurRadius` (points; the blur's
// standard deviation is half of it, 0 gives a sharp copy). A plain value.

#include "gfx/Color.h"
#include "gfx/Geometry.h"

namespace gfx {

struct Shadow {
    Color color{0, 0, 0, 1.0 / 3};
    Size offset;
    double blurRadius = 0;

    friend bool operator==(const Shadow&, const Shadow&) = default;
};

}  // namespace gfx
