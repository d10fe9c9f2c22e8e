#include "media/PixelBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gfx/Image.h"

namespace media {

namespace {

constexpr int kMaxSide = 16384;

std::size_t aligned(std::size_t bytes) {
    return (bytes + PixelBuffer::kRowAlignment - 1) / PixelBuffer::kRowAlignment *
           PixelBuffer::kRowAlignment;
}

// Luma weights (Kr, Kb) of the two matrices; untagged frames are shown as 601.
struct Weights {
    double kr;
    double kb;
};

Weights weights(ColorMatrix matrix) {
    if (matrix == ColorMatrix::itu709) return {0.2126, 0.0722};
    return {0.299, 0.114};
}

std::uint8_t clamp8(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

PixelBuffer::PixelBuffer(Private, int width, int height, ColorMatrix matrix)
    : width_(width), height_(height), matrix_(matrix) {
    lumaStride_ = aligned(static_cast<std::size_t>(width));
    chromaStride_ = aligned(static_cast<std::size_t>(chromaWidth()) * 2);
    const std::size_t size = lumaStride_ * height_ + chromaStride_ * chromaHeight();
    bytes_ = static_cast<std::uint8_t*>(std::aligned_alloc(kRowAlignment, aligned(size)));
    if (!bytes_) return;
    std::memset(bytes_, 16, lumaStride_ * height_);
    std::memset(bytes_ + lumaStride_ * height_, 128, chromaStride_ * chromaHeight());
}

PixelBuffer::~PixelBuffer() {
    std::free(bytes_);
}

std::shared_ptr<PixelBuffer> PixelBuffer::create(int width, int height, ColorMatrix matrix) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    auto buffer = std::make_shared<PixelBuffer>(Private{}, width, height, matrix);
    return buffer->bytes_ ? buffer : nullptr;
}

std::shared_ptr<PixelBuffer>
PixelBuffer::filled(int width, int height, std::array<std::uint8_t, 3> rgb, ColorMatrix matrix) {
    auto buffer = create(width, height, matrix);
    if (!buffer) return nullptr;
    const auto [y, cb, cr] = toYCbCr(rgb, matrix);
    std::memset(buffer->mutableBaseAddress(0), y, buffer->lumaStride_ * height);
    std::uint8_t* chroma = buffer->mutableBaseAddress(1);
    for (int row = 0; row < buffer->chromaHeight(); ++row) {
        std::uint8_t* line = chroma + row * buffer->chromaStride_;
        for (int pair = 0; pair < buffer->chromaWidth(); ++pair) {
            line[pair * 2] = cb;
            line[pair * 2 + 1] = cr;
        }
    }
    return buffer;
}

const std::uint8_t* PixelBuffer::baseAddress(int plane) const {
    return plane == 0 ? bytes_ : bytes_ + lumaStride_ * height_;
}

std::uint8_t* PixelBuffer::mutableBaseAddress(int plane) {
    return plane == 0 ? bytes_ : bytes_ + lumaStride_ * height_;
}

std::array<std::uint8_t, 3> PixelBuffer::yCbCrAt(int x, int y) const {
    x = std::clamp(x, 0, width_ - 1);
    y = std::clamp(y, 0, height_ - 1);
    const std::uint8_t* pair = baseAddress(1) + (y / 2) * chromaStride_ + (x / 2) * 2;
    return {baseAddress(0)[y * lumaStride_ + x], pair[0], pair[1]};
}

std::array<std::uint8_t, 3> PixelBuffer::rgbAt(int x, int y) const {
    return toRGB(yCbCrAt(x, y), matrix_);
}

std::array<std::uint8_t, 3> PixelBuffer::toRGB(std::array<std::uint8_t, 3> yCbCr,
                                               ColorMatrix matrix) {
    const auto [kr, kb] = weights(matrix);
    const double kg = 1 - kr - kb;
    const double y = (yCbCr[0] - 16) * 255.0 / 219.0;
    const double pb = (yCbCr[1] - 128) * 255.0 / 224.0;
    const double pr = (yCbCr[2] - 128) * 255.0 / 224.0;
    const double r = y + 2 * (1 - kr) * pr;
    const double b = y + 2 * (1 - kb) * pb;
    const double g = (y - kr * r - kb * b) / kg;
    return {clamp8(r), clamp8(g), clamp8(b)};
}

std::array<std::uint8_t, 3> PixelBuffer::toYCbCr(std::array<std::uint8_t, 3> rgb,
                                                 ColorMatrix matrix) {
    const auto [kr, kb] = weights(matrix);
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    const double y = kr * r + (1 - kr - kb) * g + kb * b;
    const double pb = (b - y) / (2 * (1 - kb));
    const double pr = (r - y) / (2 * (1 - kr));
    return {clamp8(16 + y * 219.0 / 255.0), clamp8(128 + pb * 224.0 / 255.0),
            clamp8(128 + pr * 224.0 / 255.0)};
}

std::shared_ptr<const gfx::Image> PixelBuffer::toImage(double scale) const {
    // toRGB() with its terms gathered into one linear step per pixel.
    const auto [kr, kb] = weights(matrix_);
    const double kg = 1 - kr - kb;
    const double lumaScale = 255.0 / 219.0;
    const double chromaScale = 255.0 / 224.0;
    const double crToR = 2 * (1 - kr) * chromaScale;
    const double cbToB = 2 * (1 - kb) * chromaScale;
    const double crToG = 2 * kr * (1 - kr) / kg * chromaScale;
    const double cbToG = 2 * kb * (1 - kb) / kg * chromaScale;
    gfx::Image::Pixels pixels(static_cast<std::size_t>(width_) * height_);
    for (int row = 0; row < height_; ++row) {
        const std::uint8_t* luma = baseAddress(0) + row * lumaStride_;
        const std::uint8_t* chroma = baseAddress(1) + (row / 2) * chromaStride_;
        std::uint32_t* out = &pixels[static_cast<std::size_t>(row) * width_];
        for (int x = 0; x < width_; ++x) {
            const double y = (luma[x] - 16) * lumaScale;
            const double cb = chroma[(x / 2) * 2] - 128;
            const double cr = chroma[(x / 2) * 2 + 1] - 128;
            const std::uint32_t r = clamp8(y + crToR * cr);
            const std::uint32_t g = clamp8(y - crToG * cr - cbToG * cb);
            const std::uint32_t b = clamp8(y + cbToB * cb);
            out[x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    }
    return gfx::Image::create(width_, height_, std::move(pixels), scale);
}

}  // namespace media
