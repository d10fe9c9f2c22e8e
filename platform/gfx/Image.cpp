#include "gfx/Image.h"

#include <cairo.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "gfx/Bitmap.h"
#include "gfx/JpegCodec.h"
#include "gfx/PngCodec.h"

namespace gfx {

static_assert(std::endian::native == std::endian::little,
              "pixel byte order assumes a little-endian machine");

namespace {
double validScale(double scale) {
    return std::isfinite(scale) && scale > 0 ? scale : 1;
}

void setError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}
}  // namespace

Image::Image(Token, int width, int height, Pixels pixels, double scale)
    : width_(width), height_(height), pixels_(std::move(pixels)), scale_(validScale(scale)) {}

std::shared_ptr<const Image> Image::decode(std::span<const std::uint8_t> bytes, std::string* error,
                                           const DecodeOptions& options) {
    std::string message;
    std::shared_ptr<const Image> image;
    if (JpegCodec::matches(bytes)) {
        image = JpegCodec::decode(bytes, options, message);
    } else if (PngCodec::matches(bytes)) {
        image = PngCodec::decode(bytes, options, message);
    } else {
        message = bytes.empty() ? "no image data" : "not a JPEG or PNG image";
    }
    if (!image) {
        setError(error, std::move(message));
        return nullptr;
    }
    if (options.wantsScaling(image->pixelWidth(), image->pixelHeight())) {
        image = image->scaled(options.wantedSize(image->pixelWidth(), image->pixelHeight()));
    }
    return image;
}

Size ImageDecodeOptions::wantedSize(int width, int height) const {
    if (!targetPixelSize.isEmpty())
        return {double(std::lround(targetPixelSize.width)),
                double(std::lround(targetPixelSize.height))};
    if (coverPixelSize.isEmpty() || width <= 0 || height <= 0)
        return {double(width), double(height)};
    const double factor = std::max(coverPixelSize.width / width, coverPixelSize.height / height);
    if (factor >= 1) return {double(width), double(height)};
    // At least the box on its covering side, whatever the rounding.
    const double w = std::max(std::round(width * factor), std::ceil(coverPixelSize.width - 1e-9));
    const double h = std::max(std::round(height * factor), std::ceil(coverPixelSize.height - 1e-9));
    return {std::clamp(w, 1.0, double(width)), std::clamp(h, 1.0, double(height))};
}

bool ImageDecodeOptions::wantsScaling(int width, int height) const {
    const Size wanted = wantedSize(width, height);
    if (wanted.width == width && wanted.height == height) return false;
    if (!targetPixelSize.isEmpty()) return true;
    return double(width) * height > kCoverSlack * wanted.width * wanted.height;
}

std::shared_ptr<const Image> Image::create(int width, int height, Pixels pixels, double scale) {
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) {
        return nullptr;
    }
    if (pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) return nullptr;
    // Made mutable so that reclaimPixels may take the pixels back.
    return std::make_shared<Image>(Token{}, width, height, std::move(pixels), scale);
}

Image::Pixels Image::reclaimPixels(std::shared_ptr<const Image>& image) {
    if (!image || image.use_count() != 1) return {};
    Pixels pixels = std::move(const_cast<Image&>(*image).pixels_);
    image.reset();
    return pixels;
}

std::shared_ptr<const Image> Image::draw(Size points, double scale,
                                         const std::function<void(Canvas&)>& body) {
    const auto bitmap = Bitmap::create(points, scale);
    if (!bitmap) return nullptr;
    body(bitmap->canvas());
    return bitmap->makeImage();
}

Color Image::pixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return Color::clear();
    return Color::fromPremultipliedARGB(pixels_[static_cast<size_t>(y) * width_ + x]);
}

std::shared_ptr<const Image> Image::cropped(const Rect& pixelRect) const {
    const Rect bounds{0, 0, double(width_), double(height_)};
    const Rect area = pixelRect.integral().intersection(bounds);
    if (area.isEmpty()) return nullptr;
    const int x0 = static_cast<int>(area.minX());
    const int y0 = static_cast<int>(area.minY());
    const int w = static_cast<int>(area.width());
    const int h = static_cast<int>(area.height());
    Pixels out(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y0 + y) * width_ + x0;
        std::copy(row, row + w, out.begin() + static_cast<std::ptrdiff_t>(y) * w);
    }
    return create(w, h, std::move(out), scale_);
}

std::shared_ptr<const Image> Image::withScale(double scale) const {
    return create(width_, height_, pixels_, scale);
}

std::vector<std::uint8_t> Image::encodePng() const {
    return PngCodec::encode(*this);
}

std::vector<std::uint8_t> Image::encodeJpeg(double quality) const {
    return JpegCodec::encode(*this, quality);
}

cairo_surface_t* Image::createSurface() const {
    // Cairo only reads from a source surface; the const_cast never leads to
    // a write.
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels_.data()));
    return cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, width_, height_,
                                               width_ * 4);
}

void Image::releaseSurface(cairo_surface_t* surface) {
    // Finishing detaches the surface from the pixels even if Cairo still
    // holds a reference somewhere.
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
}

}  // namespace gfx
