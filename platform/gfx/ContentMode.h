#pragma once
// How content of one size (an image) is placed in a rect of another.

#include "gfx/Geometry.h"

namespace gfx {

enum class ContentMode {
    ScaleToFill,      // stretched to the rect
    ScaleAspectFit,   // scaled to fit inside, centred, aspect kept
    ScaleAspectFill,  // scaled to cover, centred, aspect kept (overflows)
    Center,           // unscaled, centred
    Top,
    Bottom,
    Left,
    Right,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// Where content of `content` size lands for `bounds`; may extend beyond
// `bounds` (ScaleAspectFill, and the unscaled modes for large content).
[[nodiscard]] Rect contentRect(ContentMode mode, Size content, const Rect& bounds);

}  // namespace gfx
