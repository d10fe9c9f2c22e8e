#pragma once
// View and screen geometry as ad pages and request signals need it: rects
// and sizes as dictionaries, rects turned for the status-bar orientation of
// systems before 8.0, and the part of a view that is really on screen.
//
// Threading: the dictionary and conversion functions are pure; the view
// functions run on the main thread.

#include "core/Value.h"
#include "gfx/Geometry.h"
#include "ui/View.h"

namespace ads {

// {"x", "y", "width", "height"}, each a double.
[[nodiscard]] core::Dictionary DZDictionaryWithRect(const gfx::Rect& rect);
// {"top", "bottom", "left", "right"}: the minimum and maximum y, the
// minimum and maximum x, each a double.
[[nodiscard]] core::Dictionary DZDictionaryWithRectEdges(const gfx::Rect& rect);
// {"width", "height"}.
[[nodiscard]] core::Dictionary DZDictionaryWithSize(const gfx::Size& size);

// Before 8.0, a rect in portrait screen coordinates seen from the given
// interface orientation (2 upside down, 3 and 4 landscape); unchanged from
// 8.0 on and for other orientations.
[[nodiscard]] gfx::Rect DZRectInOrientedCoordinates(long orientation, const gfx::Rect& rect,
                                                    const gfx::Rect& screenBounds);
// The same for the device's current orientation and screen.
[[nodiscard]] gfx::Rect DZOrientedScreenBounds(const gfx::Rect& rect);

// The part of the view visible in its window, in window coordinates: the
// zero rect unless the app is active, the window shown, no view on the way
// up hidden and something left after clipping by the view and every
// clipping ancestor.
[[nodiscard]] gfx::Rect DZVisibleFrameOfView(const ui::View* view);
// That part in the view's own coordinates; the zero rect when nothing shows.
[[nodiscard]] gfx::Rect DZFrameInWindow(const ui::View* view);

}  // namespace ads
