#pragma once
// A mutable, initially transparent pixel buffer of a size in points at a
// scale, with a Canvas drawing into it in points. The window renderer keeps
// one per window and draws every frame into it after clear(). One thread at
// a time.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

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
    // Whether create(points, scale) would make a bitmap of this one's size.
    [[nodiscard]] bool matches(Size points, double scale) const;
    // Premultiplied ARGB32, row by row, as drawn so far.
    [[nodiscard]] std::span<const std::uint32_t> pixels() const;
    // Transparent again, with a fresh canvas (no transform or clip left
    // over); the pixel memory stays.
    void clear();
    // A fresh canvas over the pixels as they are, for a drawing that covers
    // them all.
    void resetCanvas();
    // A snapshot of the pixels drawn so far.
    [[nodiscard]] std::shared_ptr<const Image> makeImage() const;
    // Empty on failure.
    [[nodiscard]] std::vector<std::uint8_t> encodePng() const;

private:
    void makeCanvas();

    int width_;
    int height_;
    double scale_;
    Image::Pixels pixels_;
    cairo_surface_t* surface_;
    std::unique_ptr<Canvas> canvas_;
};

}  // namespace gfx
