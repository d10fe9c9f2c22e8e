#pragma once
// VectorPen builds a path on a gfx::Canvas and fills or strokes it: the
// curves, arcs and round-capped strokes the bundle's glyphs need beyond the
// canvas's own shapes. Coordinates are the canvas's units (points); the
// canvas's transform and clip apply. One thread at a time, like the canvas.

#include "gfx/Canvas.h"

namespace tools {

class VectorPen {
public:
    // Starts an empty path on canvas, which must outlive the pen.
    explicit VectorPen(gfx::Canvas& canvas);

    VectorPen& moveTo(gfx::Point point);
    VectorPen& lineTo(gfx::Point point);
    VectorPen& curveTo(gfx::Point control1, gfx::Point control2, gfx::Point end);
    // From startAngle to endAngle (radians, growing from the x axis towards
    // the y axis), joined by a line to the current point when there is one.
    VectorPen& arc(gfx::Point centre, double radius, double startAngle, double endAngle);
    VectorPen& rect(const gfx::Rect& rect);
    VectorPen& close();

    // Both use up the path. Overlapping parts of one path are filled once.
    void fill(const gfx::Color& color);
    // Round caps and joins.
    void stroke(const gfx::Color& color, double width);

private:
    cairo_t* cr_;
};

}  // namespace tools
