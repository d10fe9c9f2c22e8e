#pragma once
// A linear gradient between two points, with colour stops at locations in
// 0...1 along the line. Before the first stop and after the last the end
// colours continue.

#include <vector>

#include "gfx/Color.h"
#include "gfx/Geometry.h"

namespace gfx {

struct GradientStop {
    double location = 0;
    Color color;

    friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

struct LinearGradient {
    Point start;
    Point end;
    std::vector<GradientStop> stops;

    friend bool operator==(const LinearGradient&, const LinearGradient&) = default;
};

}  // namespace gfx
