#include "gfx/Geometry.h"

#include <algorithm>
#include <cmath>

namespace gfx {

double Rect::minX() const {
    return std::min(origin.x, origin.x + size.width);
}
double Rect::maxX() const {
    return std::max(origin.x, origin.x + size.width);
}
double Rect::midX() const {
    return origin.x + size.width / 2;
}
double Rect::minY() const {
    return std::min(origin.y, origin.y + size.height);
}
double Rect::maxY() const {
    return std::max(origin.y, origin.y + size.height);
}
double Rect::midY() const {
    return origin.y + size.height / 2;
}
double Rect::width() const {
    return std::abs(size.width);
}
double Rect::height() const {
    return std::abs(size.height);
}

Rect Rect::standardized() const {
    return {minX(), minY(), width(), height()};
}

bool Rect::contains(Point p) const {
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& other) const {
    if (isEmpty() || other.isEmpty()) return false;
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() &&
           other.maxY() <= maxY();
}

bool Rect::intersects(const Rect& other) const {
    return !intersection(other).isEmpty();
}

Rect Rect::intersection(const Rect& other) const {
    if (isEmpty() || other.isEmpty()) return {};
    const double x0 = std::max(minX(), other.minX());
    const double y0 = std::max(minY(), other.minY());
    const double x1 = std::min(maxX(), other.maxX());
    const double y1 = std::min(maxY(), other.maxY());
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::united(const Rect& other) const {
    if (other.isEmpty()) return isEmpty() ? Rect{} : standardized();
    if (isEmpty()) return other.standardized();
    const double x0 = std::min(minX(), other.minX());
    const double y0 = std::min(minY(), other.minY());
    const double x1 = std::max(maxX(), other.maxX());
    const double y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::inset(double dx, double dy) const {
    const Rect r = standardized();
    return {r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy};
}

Rect Rect::inset(const EdgeInsets& insets) const {
    const Rect r = standardized();
    return {r.origin.x + insets.left, r.origin.y + insets.top,
            r.size.width - insets.left - insets.right, r.size.height - insets.top - insets.bottom};
}

Rect Rect::offset(double dx, double dy) const {
    return {origin.x + dx, origin.y + dy, size.width, size.height};
}

Rect Rect::integral() const {
    if (isEmpty()) return {std::floor(minX()), std::floor(minY()), 0, 0};
    const double x0 = std::floor(minX());
    const double y0 = std::floor(minY());
    return {x0, y0, std::ceil(maxX()) - x0, std::ceil(maxY()) - y0};
}

AffineTransform AffineTransform::translation(double dx, double dy) {
    return {1, 0, 0, 1, dx, dy};
}

AffineTransform AffineTransform::scaling(double sx, double sy) {
    return {sx, 0, 0, sy, 0, 0};
}

AffineTransform AffineTransform::rotation(double radians) {
    const double cs = std::cos(radians);
    const double sn = std::sin(radians);
    return {cs, sn, -sn, cs, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& then) const {
    const AffineTransform& t = then;
    return {a * t.a + b * t.c, a * t.b + b * t.d,          c * t.a + d * t.c,
            c * t.b + d * t.d, tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
}

AffineTransform AffineTransform::translated(double dx, double dy) const {
    return translation(dx, dy).concat(*this);
}

AffineTransform AffineTransform::scaled(double sx, double sy) const {
    return scaling(sx, sy).concat(*this);
}

AffineTransform AffineTransform::rotated(double radians) const {
    return rotation(radians).concat(*this);
}

std::optional<AffineTransform> AffineTransform::inverted() const {
    const double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    return AffineTransform{
        d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
}

Point AffineTransform::apply(Point p) const {
    return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}

Rect AffineTransform::apply(const Rect& r) const {
    const Point corners[] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                             apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
    double x0 = corners[0].x, x1 = corners[0].x, y0 = corners[0].y, y1 = corners[0].y;
    for (const Point& p : corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace gfx
