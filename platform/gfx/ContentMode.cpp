#include "gfx/ContentMode.h"

#include <algorithm>

namespace gfx {

namespace {

// Places `size` in `bounds`; fx and fy are 0 (min edge), 0.5 (centred) or
// 1 (max edge).
Rect place(Size size, const Rect& bounds, double fx, double fy) {
    const Rect b = bounds.standardized();
    return {b.origin.x + (b.size.width - size.width) * fx,
            b.origin.y + (b.size.height - size.height) * fy, size.width, size.height};
}

}  // namespace

Rect contentRect(ContentMode mode, Size content, const Rect& bounds) {
    const Rect b = bounds.standardized();
    if (content.isEmpty()) return {b.center(), Size{}};
    const double fit = std::min(b.width() / content.width, b.height() / content.height);
    const double fill = std::max(b.width() / content.width, b.height() / content.height);
    switch (mode) {
        case ContentMode::ScaleToFill:
            return b;
        case ContentMode::ScaleAspectFit:
            return place(content * fit, b, 0.5, 0.5);
        case ContentMode::ScaleAspectFill:
            return place(content * fill, b, 0.5, 0.5);
        case ContentMode::Center:
            return place(content, b, 0.5, 0.5);
        case ContentMode::Top:
            return place(content, b, 0.5, 0);
        case ContentMode::Bottom:
            return place(content, b, 0.5, 1);
        case ContentMode::Left:
            return place(content, b, 0, 0.5);
        case ContentMode::Right:
            return place(content, b, 1, 0.5);
        case ContentMode::TopLeft:
            return place(content, b, 0, 0);
        case ContentMode::TopRight:
            return place(content, b, 1, 0);
        case ContentMode::BottomLeft:
            return place(content, b, 0, 1);
        case ContentMode::BottomRight:
            return place(content, b, 1, 1);
    }
    return b;
}

}  // namespace gfx
