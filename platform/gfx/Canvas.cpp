#include "gfx/Canvas.h"

#include <cairo.h>

#include <algorithm>
#include <numbers>

#include "gfx/Image.h"
#include "gfx/TextLayout.h"

namespace gfx {

namespace {
constexpr double kPi = std::numbers::pi;
}

Canvas::Canvas(cairo_t* cr) : cr_(cairo_reference(cr)) {}

Canvas::~Canvas() {
    cairo_destroy(cr_);
}

void Canvas::save() {
    cairo_save(cr_);
    ++saveDepth_;
}

void Canvas::restore() {
    if (saveDepth_ == 0) return;
    cairo_restore(cr_);
    --saveDepth_;
}

void Canvas::translate(double dx, double dy) {
    cairo_translate(cr_, dx, dy);
}

void Canvas::scale(double sx, double sy) {
    concat(AffineTransform::scaling(sx, sy));
}

void Canvas::rotate(double radians) {
    cairo_rotate(cr_, radians);
}

void Canvas::concat(const AffineTransform& t) {
    if (!t.inverted()) {
        // Cairo would enter a permanent error state; everything drawn in a
        // collapsed space is invisible, so clip it all away instead.
        cairo_new_path(cr_);
        cairo_rectangle(cr_, 0, 0, 0, 0);
        cairo_clip(cr_);
        return;
    }
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(cr_, &m);
}

AffineTransform Canvas::transform() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void Canvas::clipToRect(const Rect& rect) {
    const Rect r = rect.standardized();
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    cairo_clip(cr_);
}

void Canvas::clipToRoundedRect(const Rect& rect, double radius) {
    roundedRectPath(rect, radius);
    cairo_clip(cr_);
}

Rect Canvas::clipBounds() const {
    double x0, y0, x1, y1;
    cairo_clip_extents(cr_, &x0, &y0, &x1, &y1);
    return {x0, y0, x1 - x0, y1 - y0};
}

void Canvas::fillRect(const Rect& rect, const Color& color) {
    const Rect r = rect.standardized();
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    setColor(color);
    cairo_fill(cr_);
}

void Canvas::fillRoundedRect(const Rect& rect, double radius, const Color& color) {
    roundedRectPath(rect, radius);
    setColor(color);
    cairo_fill(cr_);
}

void Canvas::fillEllipse(const Rect& rect, const Color& color) {
    const Rect r = rect.standardized();
    if (r.isEmpty()) return;
    cairo_save(cr_);
    cairo_translate(cr_, r.midX(), r.midY());
    cairo_scale(cr_, r.width() / 2, r.height() / 2);
    cairo_new_path(cr_);
    cairo_arc(cr_, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr_);
    setColor(color);
    cairo_fill(cr_);
}

void Canvas::strokeRect(const Rect& rect, const Color& color, double width) {
    const Rect r = rect.standardized();
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    setColor(color);
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
}

void Canvas::strokeRoundedRect(const Rect& rect, double radius, const Color& color, double width) {
    roundedRectPath(rect, radius);
    setColor(color);
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
}

void Canvas::strokeLine(Point from, Point to, const Color& color, double width) {
    cairo_move_to(cr_, from.x, from.y);
    cairo_line_to(cr_, to.x, to.y);
    setColor(color);
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
}

void Canvas::fillLinearGradient(const Rect& rect, const LinearGradient& gradient) {
    const Rect r = rect.standardized();
    cairo_pattern_t* pattern = cairo_pattern_create_linear(gradient.start.x, gradient.start.y,
                                                           gradient.end.x, gradient.end.y);
    for (const GradientStop& stop : gradient.stops) {
        const Color& c = stop.color;
        cairo_pattern_add_color_stop_rgba(pattern, std::clamp(stop.location, 0.0, 1.0), c.red,
                                          c.green, c.blue, c.alpha);
    }
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    cairo_set_source(cr_, pattern);
    cairo_fill(cr_);
    cairo_pattern_destroy(pattern);
}

void Canvas::beginTransparencyLayer() {
    cairo_push_group(cr_);
    outerSaveDepths_.push_back(saveDepth_);
    saveDepth_ = 0;
}

void Canvas::endTransparencyLayer(double alpha) {
    if (outerSaveDepths_.empty()) return;
    while (saveDepth_ > 0) restore();
    saveDepth_ = outerSaveDepths_.back();
    outerSaveDepths_.pop_back();
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, std::clamp(alpha, 0.0, 1.0));
}

void Canvas::drawImage(const Image& image, const Rect& rect, double alpha, Sampling sampling) {
    const Rect r = rect.standardized();
    if (r.isEmpty() || alpha <= 0) return;
    cairo_surface_t* surface = image.createSurface();
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, image.pixelWidth() / r.width(), image.pixelHeight() / r.height());
    cairo_matrix_translate(&m, -r.minX(), -r.minY());
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_filter(pattern,
                             sampling == Sampling::fast ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);

    cairo_save(cr_);
    cairo_set_source(cr_, pattern);
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    if (alpha >= 1) {
        cairo_fill(cr_);
    } else {
        cairo_clip(cr_);
        cairo_paint_with_alpha(cr_, alpha);
    }
    cairo_restore(cr_);
    cairo_pattern_destroy(pattern);
    Image::releaseSurface(surface);
}

void Canvas::drawImage(const Image& image, const Rect& rect, ContentMode mode, bool clip,
                       double alpha) {
    const Rect target = contentRect(mode, image.size(), rect);
    if (!clip || rect.standardized().contains(target)) {
        drawImage(image, target, alpha);
        return;
    }
    cairo_save(cr_);
    clipToRect(rect);
    drawImage(image, target, alpha);
    cairo_restore(cr_);
}

void Canvas::drawText(const TextLayout& layout, Point origin) {
    layout.draw(cr_, origin);
}

void Canvas::fillWithMask(const Image& mask, const Rect& rect, const Color& color) {
    const Rect r = rect.standardized();
    if (r.isEmpty() || color.alpha <= 0) return;
    cairo_surface_t* surface = mask.createSurface();
    cairo_save(cr_);
    cairo_translate(cr_, r.minX(), r.minY());
    cairo_scale(cr_, r.width() / mask.pixelWidth(), r.height() / mask.pixelHeight());
    setColor(color);
    cairo_mask_surface(cr_, surface, 0, 0);
    cairo_restore(cr_);
    Image::releaseSurface(surface);
}

void Canvas::setColor(const Color& c) {
    cairo_set_source_rgba(cr_, c.red, c.green, c.blue, c.alpha);
}

void Canvas::roundedRectPath(const Rect& rect, double radius) {
    const Rect r = rect.standardized();
    const double rad = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    cairo_new_path(cr_);
    if (rad <= 0) {
        cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
        return;
    }
    cairo_arc(cr_, r.maxX() - rad, r.minY() + rad, rad, -kPi / 2, 0);
    cairo_arc(cr_, r.maxX() - rad, r.maxY() - rad, rad, 0, kPi / 2);
    cairo_arc(cr_, r.minX() + rad, r.maxY() - rad, rad, kPi / 2, kPi);
    cairo_arc(cr_, r.minX() + rad, r.minY() + rad, rad, kPi, 3 * kPi / 2);
    cairo_close_path(cr_);
}

}  // namespace gfx
