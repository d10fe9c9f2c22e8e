#pragma once
// Canvas draws onto a Cairo context: shapes, gradients, images and text,
// with a transform and a clip kept on a save/restore stack. Units are those
// of the context's user space, points for a Bitmap's canvas. One thread at a
// time.

#include <vector>

#include "gfx/Color.h"
#include "gfx/ContentMode.h"
#include "gfx/Geometry.h"
#include "gfx/LinearGradient.h"

typedef struct _cairo cairo_t;

namespace gfx {

class Image;
class TextLayout;

class Canvas {
public:
    // Keeps its own reference to `cr`.
    explicit Canvas(cairo_t* cr);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Transform and clip; restore() without a matching save() is ignored. A
    // singular transform hides everything drawn until the next restore().
    void save();
    void restore();
    void translate(double dx, double dy);
    void scale(double sx, double sy);
    void rotate(double radians);
    void concat(const AffineTransform& transform);
    // User space to device pixels.
    [[nodiscard]] AffineTransform transform() const;
    void clipToRect(const Rect& rect);
    void clipToRoundedRect(const Rect& rect, double radius);
    // The clip's bounding box in user space.
    [[nodiscard]] Rect clipBounds() const;

    // Radii are clamped to half the shorter side. Strokes are centred on the
    // outline.
    void fillRect(const Rect& rect, const Color& color);
    void fillRoundedRect(const Rect& rect, double radius, const Color& color);
    void fillEllipse(const Rect& rect, const Color& color);
    void strokeRect(const Rect& rect, const Color& color, double width);
    void strokeRoundedRect(const Rect& rect, double radius, const Color& color, double width);
    void strokeLine(Point from, Point to, const Color& color, double width);
    void fillLinearGradient(const Rect& rect, const LinearGradient& gradient);

    // Everything drawn between the two calls is composited as one layer
    // with `alpha`. Layers nest; each begin needs its end.
    void beginTransparencyLayer();
    void endTransparencyLayer(double alpha);

    // How a stretched image is sampled: smooth weighs every pixel a target
    // pixel covers (for photos shrunk far); fast interpolates between
    // neighbours, several times cheaper when shrinking, for a picture drawn
    // again every frame at a scale close to its own.
    enum class Sampling { smooth, fast };
    // Stretches the image over `rect`.
    void drawImage(const Image& image, const Rect& rect, double alpha = 1,
                   Sampling sampling = Sampling::smooth);
    // Places the image by `mode`; with `clip`, nothing lands outside `rect`.
    void drawImage(const Image& image, const Rect& rect, ContentMode mode, bool clip,
                   double alpha = 1);
    // The layout's top left corner at `origin`.
    void drawText(const TextLayout& layout, Point origin);
    // Fills `rect` with `color` where the mask, stretched over `rect`, is
    // opaque (its alpha channel only).
    void fillWithMask(const Image& mask, const Rect& rect, const Color& color);

    [[nodiscard]] cairo_t* native() const { return cr_; }

private:
    void setColor(const Color& color);
    void roundedRectPath(const Rect& rect, double radius);

    cairo_t* cr_;
    // Open saves of the innermost layer, and those of the layers around it.
    int saveDepth_ = 0;
    std::vector<int> outerSaveDepths_;
};

}  // namespace gfx
