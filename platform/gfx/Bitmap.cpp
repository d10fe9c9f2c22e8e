#include "gfx/Bitmap.h"

#include <cairo.h>

#include <cmath>
#include <cstring>

#include "gfx/PngCodec.h"

namespace gfx {

namespace {
Size pixelSizeOf(Size points, double scale) {
    return {std::ceil(points.width * scale - 1e-9), std::ceil(points.height * scale - 1e-9)};
}
}  // namespace

std::shared_ptr<Bitmap> Bitmap::create(Size points, double scale) {
    if (!std::isfinite(scale) || scale <= 0 || points.isEmpty()) return nullptr;
    const Size pixels = pixelSizeOf(points, scale);
    if (!(pixels.width <= Image::kMaxDimension && pixels.height <= Image::kMaxDimension))
        return nullptr;
    return std::make_shared<Bitmap>(Token{}, static_cast<int>(pixels.width),
                                    static_cast<int>(pixels.height), scale);
}

bool Bitmap::matches(Size points, double scale) const {
    const Size pixels = pixelSizeOf(points, scale);
    return scale == scale_ && pixels.width == width_ && pixels.height == height_;
}

Bitmap::Bitmap(Token, int width, int height, double scale)
    : width_(width), height_(height), scale_(scale), pixels_(static_cast<size_t>(width) * height),
      surface_(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels_.data()),
                                                   CAIRO_FORMAT_ARGB32, width, height, width * 4)) {
    makeCanvas();
}

void Bitmap::makeCanvas() {
    cairo_t* cr = cairo_create(surface_);
    cairo_scale(cr, scale_, scale_);
    canvas_ = std::make_unique<Canvas>(cr);
    cairo_destroy(cr);
}

std::span<const std::uint32_t> Bitmap::pixels() const {
    cairo_surface_flush(surface_);
    return pixels_;
}

void Bitmap::clear() {
    canvas_.reset();
    cairo_surface_flush(surface_);
    std::memset(pixels_.data(), 0, pixels_.size() * sizeof(pixels_[0]));
    cairo_surface_mark_dirty(surface_);
    makeCanvas();
}

void Bitmap::resetCanvas() {
    canvas_.reset();
    makeCanvas();
}

Bitmap::~Bitmap() {
    canvas_.reset();
    cairo_surface_finish(surface_);
    cairo_surface_destroy(surface_);
}

std::shared_ptr<const Image> Bitmap::makeImage() const {
    cairo_surface_flush(surface_);
    return Image::create(width_, height_, pixels_, scale_);
}

std::vector<std::uint8_t> Bitmap::encodePng() const {
    return PngCodec::encode(surface_);
}

}  // namespace gfx
