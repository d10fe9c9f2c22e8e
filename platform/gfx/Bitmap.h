#pragma once
// A mutable, initially transparent pixel buffer of a size in points at a
// scale, with a Canvas drawing into it in points. The window renderer draws
// into one and takes an Image of the result. One thread at a time.

#include <memory>

#include "gfx/Canvas.h"
#include "gfx/Image.h"

namespace gfx {

class Bitmap {
    struct Token {};

public:
    // The pixel size is points * scale rounded up; nullptr when it is empty
    // or larger than Image::kMaxDimension on a side.
    [[nodiscard]] static std::shared_ptr<Bitmap> create(Size points, double scale);

    Bitmap(Token, int width, int height, double scale);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    [[nodiscard]] Canvas& canvas() { return *canvas_; }
    [[nodiscard]] int pixelWidth() const { return width_; }
    [[nodiscard]] int pixelHeight() const { return height_; }
    [[nodiscard]] double scale() const { return scale_; }
    // A snapshot of the pixels drawn so far.
    [[nodiscard]] std::shared_ptr<const Image> makeImage() const;

private:
    int width_;
    int height_;
    double scale_;
    Image::Pixels pixels_;
    cairo_surface_t* surface_;
    std::unique_ptr<Canvas> canvas_;
};

}  // namespace gfx
