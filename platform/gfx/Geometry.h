#pragma once
// Geometry values of the drawing model: points, sizes, rectangles, edge
// insets and affine transforms. Units are points unless a function says
// pixels; y grows downwards. All are plain values, safe to share between
// threads.

#include <optional>

namespace gfx {

struct Point {
    double x = 0;
    double y = 0;

    friend Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
    friend Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;

    // True when either side is zero or negative.
    [[nodiscard]] bool isEmpty() const { return width <= 0 || height <= 0; }
    friend Size operator*(Size s, double factor) { return {s.width * factor, s.height * factor}; }
    friend bool operator==(const Size&, const Size&) = default;
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

// An origin and a size. Functions treat a rect with a negative size as its
// standardized equivalent; an empty rect has no area and takes part in no
// intersection or union.
struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point o, Size s) : origin(o), size(s) {}
    Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

    [[nodiscard]] double minX() const;
    [[nodiscard]] double midX() const;
    [[nodiscard]] double maxX() const;
    [[nodiscard]] double minY() const;
    [[nodiscard]] double midY() const;
    [[nodiscard]] double maxY() const;
    [[nodiscard]] double width() const;
    [[nodiscard]] double height() const;
    [[nodiscard]] Point center() const { return {midX(), midY()}; }

    [[nodiscard]] bool isEmpty() const { return size.isEmpty(); }
    [[nodiscard]] Rect standardized() const;

    // Half-open: the minimum edges are inside, the maximum edges are not.
    [[nodiscard]] bool contains(Point p) const;
    [[nodiscard]] bool contains(const Rect& other) const;
    [[nodiscard]] bool intersects(const Rect& other) const;
    // Rect() when the two do not overlap.
    [[nodiscard]] Rect intersection(const Rect& other) const;
    // The smallest rect containing both; an empty operand is ignored.
    [[nodiscard]] Rect united(const Rect& other) const;
    [[nodiscard]] Rect inset(double dx, double dy) const;
    [[nodiscard]] Rect inset(const EdgeInsets& insets) const;
    [[nodiscard]] Rect offset(double dx, double dy) const;
    // The smallest rect with integral edges containing this one.
    [[nodiscard]] Rect integral() const;

    friend bool operator==(const Rect&, const Rect&) = default;
};

// Maps (x, y) to (a*x + c*y + tx, b*x + d*y + ty).
struct AffineTransform {
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double tx = 0;
    double ty = 0;

    [[nodiscard]] static AffineTransform identity() { return {}; }
    [[nodiscard]] static AffineTransform translation(double dx, double dy);
    [[nodiscard]] static AffineTransform scaling(double sx, double sy);
    // Positive angles (radians) turn the x axis towards the y axis.
    [[nodiscard]] static AffineTransform rotation(double radians);

    // The transform that applies *this, then `then`.
    [[nodiscard]] AffineTransform concat(const AffineTransform& then) const;
    // Translates (scales, rotates) the coordinate space before *this.
    [[nodiscard]] AffineTransform translated(double dx, double dy) const;
    [[nodiscard]] AffineTransform scaled(double sx, double sy) const;
    [[nodiscard]] AffineTransform rotated(double radians) const;
    // nullopt when the transform is singular.
    [[nodiscard]] std::optional<AffineTransform> inverted() const;

    [[nodiscard]] bool isIdentity() const { return *this == AffineTransform{}; }
    [[nodiscard]] Point apply(Point p) const;
    // The bounding box of the transformed corners.
    [[nodiscard]] Rect apply(const Rect& r) const;

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

}  // namespace gfx
