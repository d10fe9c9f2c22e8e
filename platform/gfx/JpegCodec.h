#pragma once
// JPEG decoding and encoding through libturbojpeg, for gfx::Image. Any
// thread; every call uses its own libturbojpeg handle.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gfx/Image.h"

namespace gfx {

class JpegCodec {
public:
    [[nodiscard]] static bool matches(std::span<const std::uint8_t> bytes);
    // Warnings count as errors: a truncated or damaged file is refused
    // rather than shown half grey. CMYK files are not supported.
    [[nodiscard]] static std::shared_ptr<const Image> decode(std::span<const std::uint8_t> bytes,
                                                             const Image::DecodeOptions& options,
                                                             std::string& error);
    // The size libturbojpeg decodes a width x height JPEG at for `target`:
    // the smallest of its scaling factors (at most 1) that is at least as
    // large as the target on both sides; the full size when none is.
    [[nodiscard]] static Size decodeSize(int width, int height, Size target);
    // Empty on failure.
    [[nodiscard]] static std::vector<std::uint8_t> encode(const Image& image, double quality);
};

}  // namespace gfx
