#pragma once
// Draws a window's view tree into an image at the device scale: for each
// visible view, its transform, alpha (as a group), background colour with
// corner radius, a label's shadow, its own draw(), then its subviews,
// clipped where the view clips. Views are drawn as they show at the
// current clock time: their presentation values while they animate, and a
// layer transition in flight over its old and new content. Lays the tree out first. Frames are drawn
// into a surface the window keeps while its size and the scale stay the
// same, so a frame allocates no pixel memory. Main thread only.

#include <string>

#include "gfx/Image.h"

namespace gfx {
class Bitmap;
class Canvas;
}  // namespace gfx

namespace ui {

class View;
class Window;

class Renderer {
public:
    // A copy of a frame drawn by drawFrame.
    [[nodiscard]] static gfx::ImagePtr render(Window& window);
    [[nodiscard]] static gfx::ImagePtr render(Window& window, double scale);
    // Draws a frame into the window's frame surface and answers it; it
    // holds the frame until the window's next one. nullptr when the window
    // is empty or too large.
    [[nodiscard]] static const gfx::Bitmap* drawFrame(Window& window, double scale);
    // Draws only `region` (window coordinates) again when the frame surface
    // holds the window's last frame at this size and scale, leaving the
    // rest of that frame as it is; otherwise the whole frame. `drawnPixels`
    // gets what was drawn, in the surface's pixels (the region rounded out
    // to whole pixels and cut to the surface).
    [[nodiscard]] static const gfx::Bitmap* drawFrame(Window& window, double scale,
                                                      const gfx::Rect& region,
                                                      gfx::Rect* drawnPixels);
    // Renders and writes a PNG that everyone may read (it is for people to
    // look at); false with a console line when writing fails.
    [[nodiscard]] static bool writePNG(Window& window, const std::string& path);
    // Lays the view's tree out, then draws the view (at its alpha, without
    // its own transform) and its subviews with its bounds stretched over
    // `rect` of the canvas. A hidden view draws nothing.
    static void drawViewHierarchy(View& view, gfx::Canvas& canvas, const gfx::Rect& rect);
    // Draws the view's background, content, subviews and border in its own
    // bounds' coordinates, whatever its own hidden flag, alpha and transform.
    static void drawContents(const View& view, gfx::Canvas& canvas);
};

}  // namespace ui
