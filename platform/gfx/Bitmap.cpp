#include "gfx/Bitmap.h"

#include <cairo.h>

#include <cmath>

namespace gfx {

std::shared_ptr<Bitmap> Bitmap::create(Size points, double scale) {
    if (!std::isfinite(scale) || scale <= 0 || points.isEmpty()) return nullptr;
    const double width = std::ceil(points.width * scale - 1e-9);
    const double height = std::ceil(points.height * scale - 1e-9);
    if (!(width <= Image::kMaxDimension && height <= Image::kMaxDimension)) return nullptr;
    return std::make_shared<Bitmap>(Token{}, static_cast<int>(width), static_cast<int>(height),
                                    scale);
}

Bitmap::Bitmap(Token, int width, int height, double scale)
    : width_(width),
      height_(height),
      scale_(scale),
      pixels_(static_cast<size_t>(width) * height),
      surface_(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels_.data()),
                                                   CAIRO_FORMAT_ARGB32, width, height, width * 4)) {
    cairo_t* cr = cairo_create(surface_);
    cairo_scale(cr, scale, scale);
    canvas_ = std::make_unique<Canvas>(cr);
    cairo_destroy(cr);
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

}  // namespace gfx
