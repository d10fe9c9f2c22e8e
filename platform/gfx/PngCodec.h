#pragma once
// PNG decoding through libpng (every colour type and bit depth, with
// transparency, to premultiplied ARGB32) and encoding through libpng at a
// fast setting (8-bit RGB, or straight RGBA when a pixel is translucent),
// for gfx::Image. Any thread.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gfx/Image.h"

typedef struct _cairo_surface cairo_surface_t;

namespace gfx {

class PngCodec {
public:
    [[nodiscard]] static bool matches(std::span<const std::uint8_t> bytes);
    // Ignores DecodeOptions::targetPixelSize: the caller scales.
    [[nodiscard]] static std::shared_ptr<const Image> decode(std::span<const std::uint8_t> bytes,
                                                             const Image::DecodeOptions& options,
                                                             std::string& error);
    // Empty on failure.
    [[nodiscard]] static std::vector<std::uint8_t> encode(const Image& image);
    // The pixels of an ARGB32 image surface; empty on failure.
    [[nodiscard]] static std::vector<std::uint8_t> encode(cairo_surface_t* surface);
    // Rows of premultiplied ARGB32 (alpha ignored when !hasAlpha), stride
    // bytes apart; empty on failure.
    [[nodiscard]] static std::vector<std::uint8_t> encode(const std::uint8_t* pixels, int width,
                                                          int height, size_t stride,
                                                          bool hasAlpha);
};

}  // namespace gfx
