#pragma once
// One decoded video frame as the video output hands it out: NV12 (a plane
// of 8-bit luma, then a plane of interleaved Cb/Cr pairs at half width and
// half height, rounded up), video range (luma 16-235, chroma 16-240), tagged
// with the matrix that turns it back into RGB. The engine fills a buffer
// once; after that it is shared read-only, safe from any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace gfx {
class Image;
}

namespace media {

enum class ColorMatrix {
    // The stream did not say; shown as itu601.
    untagged,
    itu601,
    itu709,
};

class PixelBuffer {
public:
    // Rows of both planes start at multiples of kRowAlignment bytes.
    static constexpr std::size_t kRowAlignment = 64;

    // A buffer of black frames (luma 16, chroma 128); nullptr for sizes that
    // are not positive or absurdly large.
    [[nodiscard]] static std::shared_ptr<PixelBuffer> create(int width, int height,
                                                             ColorMatrix matrix);
    // A frame of one colour, given as 8-bit RGB, converted with matrix.
    [[nodiscard]] static std::shared_ptr<PixelBuffer>
    filled(int width, int height, std::array<std::uint8_t, 3> rgb, ColorMatrix matrix);

    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    ~PixelBuffer();

    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] ColorMatrix colorMatrix() const { return matrix_; }
    // Plane 0: luma, height() rows; plane 1: Cb/Cr pairs, chromaHeight() rows
    // of chromaWidth() pairs.
    [[nodiscard]] int chromaWidth() const { return (width_ + 1) / 2; }
    [[nodiscard]] int chromaHeight() const { return (height_ + 1) / 2; }
    [[nodiscard]] std::size_t bytesPerRow(int plane) const {
        return plane == 0 ? lumaStride_ : chromaStride_;
    }
    [[nodiscard]] const std::uint8_t* baseAddress(int plane) const;
    [[nodiscard]] std::uint8_t* mutableBaseAddress(int plane);

    // The pixel at (x, y) as (Y, Cb, Cr).
    [[nodiscard]] std::array<std::uint8_t, 3> yCbCrAt(int x, int y) const;
    // The pixel at (x, y) as 8-bit RGB, converted with the buffer's matrix.
    [[nodiscard]] std::array<std::uint8_t, 3> rgbAt(int x, int y) const;

    // The frame as an opaque image of its pixel size at the given scale,
    // converted with the buffer's matrix as rgbAt() converts each pixel.
    [[nodiscard]] std::shared_ptr<const gfx::Image> toImage(double scale = 1) const;

    // Video-range conversions between 8-bit RGB and (Y, Cb, Cr).
    [[nodiscard]] static std::array<std::uint8_t, 3> toRGB(std::array<std::uint8_t, 3> yCbCr,
                                                           ColorMatrix matrix);
    [[nodiscard]] static std::array<std::uint8_t, 3> toYCbCr(std::array<std::uint8_t, 3> rgb,
                                                             ColorMatrix matrix);

private:
    struct Private {};

public:
    PixelBuffer(Private, int width, int height, ColorMatrix matrix);

private:
    const int width_;
    const int height_;
    const ColorMatrix matrix_;
    std::size_t lumaStride_ = 0;
    std::size_t chromaStride_ = 0;
    std::uint8_t* bytes_ = nullptr;
};

}  // namespace media
