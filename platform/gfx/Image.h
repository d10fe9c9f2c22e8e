#pragma once
// gfx::Image is an immutable bitmap: premultiplied 32-bit ARGB pixels (the
// native-endian layout Cairo calls ARGB32) with a scale, so that its size in
// points is its pixel size divided by the scale. Images are shared as
// std::shared_ptr<const Image> and may be used from any thread; every
// operation returns a new image.
//
// Decoding accepts JPEG and PNG, recognised by their leading bytes. Anything
// else, and truncated or corrupt data, gives nullptr and an error message.
// Images larger than DecodeOptions::maxPixels are refused from their header,
// before any pixel memory is allocated.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace gfx {

class Canvas;

struct ImageDecodeOptions {
    // When not empty, the decoded image has exactly this pixel size
    // (rounded). JPEGs are decoded at the smallest of libjpeg's scaling
    // factors still at least this large, then scaled the rest.
    Size targetPixelSize;
    // When not empty (and targetPixelSize is), the image is shrunk, keeping
    // its aspect ratio, to about the smallest size that still covers this
    // one on both sides: what a view of that many pixels needs to draw it
    // sharp in any content mode. It is never enlarged, and an image less
    // than kCoverSlack times that area is left as decoded. JPEGs are decoded
    // at the smallest of libjpeg's scaling factors that still covers it.
    Size coverPixelSize;
    double scale = 1;
    // Checked against the pixel size in the file's header.
    std::int64_t maxPixels = 50'000'000;

    static constexpr double kCoverSlack = 1.5;

    // The pixel size these options want of a width x height image: the
    // target, the covering size, or the image's own.
    [[nodiscard]] Size wantedSize(int width, int height) const;
    // Whether an image of width x height should still be scaled to
    // wantedSize().
    [[nodiscard]] bool wantsScaling(int width, int height) const;
};

class Image {
    struct Token {};

public:
    using Pixels = std::vector<std::uint32_t>;

    using DecodeOptions = ImageDecodeOptions;
    // Cairo's image surfaces cannot be larger than this on either side.
    static constexpr int kMaxDimension = 32767;

    [[nodiscard]] static std::shared_ptr<const Image> decode(std::span<const std::uint8_t> bytes,
                                                             std::string* error = nullptr,
                                                             const DecodeOptions& options = {});
    // `pixels` holds width * height premultiplied ARGB32 values, row by row.
    // nullptr when the sizes do not match or are out of range.
    [[nodiscard]] static std::shared_ptr<const Image> create(int width, int height, Pixels pixels,
                                                             double scale = 1);
    // The pixels of an image that `image` alone holds (no other shared or
    // weak pointer to it, on any thread), taken out for a new image, so
    // that a picture replaced often reuses its memory; what they show stays.
    // Empty, leaving image as it was, when anyone else holds it.
    [[nodiscard]] static Pixels reclaimPixels(std::shared_ptr<const Image>& image);
    // Draws `body` into a new transparent image of `points` at `scale`; the
    // canvas's units are points. nullptr when the size is out of range.
    [[nodiscard]] static std::shared_ptr<const Image>
    draw(Size points, double scale, const std::function<void(Canvas&)>& body);

    Image(Token, int width, int height, Pixels pixels, double scale);

    [[nodiscard]] int pixelWidth() const { return width_; }
    [[nodiscard]] int pixelHeight() const { return height_; }
    [[nodiscard]] Size pixelSize() const { return {double(width_), double(height_)}; }
    [[nodiscard]] double scale() const { return scale_; }
    // The size in points.
    [[nodiscard]] Size size() const { return {width_ / scale_, height_ / scale_}; }
    [[nodiscard]] std::span<const std::uint32_t> pixels() const { return pixels_; }
    // The un-premultiplied colour of one pixel; clear outside the image.
    [[nodiscard]] Color pixelAt(int x, int y) const;

    // A copy resampled to `pixelSize` (rounded, at least 1x1), same scale.
    [[nodiscard]] std::shared_ptr<const Image> scaled(Size pixelSize) const;
    // The part inside `pixelRect` (made integral and clamped to the image);
    // nullptr when nothing of the image is inside.
    [[nodiscard]] std::shared_ptr<const Image> cropped(const Rect& pixelRect) const;
    // A gaussian-like blur (three box passes) with `radius` pixels of
    // standard deviation; edges are extended, not faded to transparent.
    [[nodiscard]] std::shared_ptr<const Image> blurred(double radius) const;
    [[nodiscard]] std::shared_ptr<const Image> withScale(double scale) const;

    // Empty on failure.
    [[nodiscard]] std::vector<std::uint8_t> encodePng() const;
    // `quality` in 0...1. JPEG has no alpha: translucent pixels come out as
    // if drawn over black.
    [[nodiscard]] std::vector<std::uint8_t> encodeJpeg(double quality) const;

    // A Cairo surface over this image's pixels, for drawing it as a source.
    // Release it with releaseSurface() while the image is still alive.
    [[nodiscard]] cairo_surface_t* createSurface() const;
    static void releaseSurface(cairo_surface_t* surface);

private:
    int width_;
    int height_;
    Pixels pixels_;
    double scale_;
};

using ImagePtr = std::shared_ptr<const Image>;

}  // namespace gfx
