// Image::scaled and Image::blurred: the operations that resample pixels.

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "gfx/Image.h"
#include "gfx/Resampler.h"

namespace gfx {

namespace {

std::uint32_t channel(std::uint32_t pixel, int index) {
    return (pixel >> (index * 8)) & 0xFF;
}

Image::Pixels cairoResample(const Image& source, int width, int height) {
    Image::Pixels out(static_cast<size_t>(width) * height);
    cairo_surface_t* target =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(out.data()),
                                            CAIRO_FORMAT_ARGB32, width, height, width * 4);
    cairo_surface_t* surface = source.createSurface();
    cairo_t* cr = cairo_create(target);
    cairo_scale(cr, double(width) / source.pixelWidth(), double(height) / source.pixelHeight());
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    Image::releaseSurface(surface);
    cairo_surface_finish(target);
    cairo_surface_destroy(target);
    return out;
}

// One box pass over `count` pixels `step` apart, radius `k`, edges extended.
void boxLine(const std::uint32_t* in, std::uint32_t* out, int count, int step, int k) {
    const auto at = [&](int i) {
        return in[static_cast<ptrdiff_t>(std::clamp(i, 0, count - 1)) * step];
    };
    const std::uint32_t window = static_cast<std::uint32_t>(2 * k + 1);
    std::array<std::uint32_t, 4> sum{};
    for (int i = -k; i <= k; ++i) {
        for (int c = 0; c < 4; ++c) sum[c] += channel(at(i), c);
    }
    for (int i = 0; i < count; ++i) {
        std::uint32_t result = 0;
        for (int c = 0; c < 4; ++c) result |= ((sum[c] + window / 2) / window) << (c * 8);
        out[static_cast<ptrdiff_t>(i) * step] = result;
        const std::uint32_t entering = at(i + k + 1);
        const std::uint32_t leaving = at(i - k);
        for (int c = 0; c < 4; ++c) sum[c] = sum[c] + channel(entering, c) - channel(leaving, c);
    }
}

}  // namespace

std::shared_ptr<const Image> Image::scaled(Size pixelSize) const {
    const auto clampSide = [](double side) {
        return static_cast<int>(std::clamp<double>(std::lround(side), 1, kMaxDimension));
    };
    const int targetWidth = clampSide(pixelSize.width);
    const int targetHeight = clampSide(pixelSize.height);
    if (targetWidth == width_ && targetHeight == height_) return withScale(scale_);

    // Shrinking averages every source pixel in; anything else is Cairo's
    // interpolation.
    if (targetWidth <= width_ && targetHeight <= height_) {
        Pixels out(static_cast<size_t>(targetWidth) * targetHeight);
        Resampler::shrink(pixels_.data(), width_, height_, out.data(), targetWidth, targetHeight);
        return create(targetWidth, targetHeight, std::move(out), scale_);
    }
    return create(targetWidth, targetHeight, cairoResample(*this, targetWidth, targetHeight),
                  scale_);
}

std::shared_ptr<const Image> Image::blurred(double radius) const {
    if (!(radius > 0)) return withScale(scale_);
    // Three passes of a box of width w have the variance of a gaussian with
    // sigma = radius when w^2 = 4 * radius^2 + 1.
    const int k =
        std::max(1, static_cast<int>(std::lround((std::sqrt(4 * radius * radius + 1) - 1) / 2)));
    Pixels a = pixels_;
    Pixels b(a.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height_; ++y) {
            const size_t row = static_cast<size_t>(y) * width_;
            boxLine(a.data() + row, b.data() + row, width_, 1, k);
        }
        for (int x = 0; x < width_; ++x) boxLine(b.data() + x, a.data() + x, height_, width_, k);
    }
    return create(width_, height_, std::move(a), scale_);
}

}  // namespace gfx
