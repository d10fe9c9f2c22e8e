#include "VectorPen.h"

#include <cairo.h>

namespace tools {

VectorPen::VectorPen(gfx::Canvas& canvas) : cr_(canvas.native()) {
    cairo_new_path(cr_);
}

VectorPen& VectorPen::moveTo(gfx::Point point) {
    cairo_move_to(cr_, point.x, point.y);
    return *this;
}

VectorPen& VectorPen::lineTo(gfx::Point point) {
    cairo_line_to(cr_, point.x, point.y);
    return *this;
}

VectorPen& VectorPen::curveTo(gfx::Point control1, gfx::Point control2, gfx::Point end) {
    cairo_curve_to(cr_, control1.x, control1.y, control2.x, control2.y, end.x, end.y);
    return *this;
}

VectorPen& VectorPen::arc(gfx::Point centre, double radius, double startAngle, double endAngle) {
    cairo_arc(cr_, centre.x, centre.y, radius, startAngle, endAngle);
    return *this;
}

VectorPen& VectorPen::rect(const gfx::Rect& rect) {
    const gfx::Rect r = rect.standardized();
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    return *this;
}

VectorPen& VectorPen::close() {
    cairo_close_path(cr_);
    return *this;
}

void VectorPen::fill(const gfx::Color& color) {
    cairo_save(cr_);
    cairo_set_source_rgba(cr_, color.red, color.green, color.blue, color.alpha);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void VectorPen::stroke(const gfx::Color& color, double width) {
    cairo_save(cr_);
    cairo_set_source_rgba(cr_, color.red, color.green, color.blue, color.alpha);
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr_);
    cairo_restore(cr_);
}

}  // namespace tools
