#pragma once
// The image targets' one step: decode at a small pixel limit. Any bytes
// decode or fail cleanly, within the memory limit tools/fuzz.sh sets.

#include <cstdint>
#include <span>

#include "FuzzCheck.h"
#include "gfx/Image.h"

namespace fuzz {

inline void decodeImage(const std::uint8_t* data, size_t size) {
    gfx::Image::DecodeOptions options;
    options.maxPixels = 1 << 20;
    const auto image = gfx::Image::decode(std::span(data, size), nullptr, options);
    if (image) {
        FUZZ_CHECK(std::int64_t(image->pixelWidth()) * image->pixelHeight() <= options.maxPixels);
    }
}

}  // namespace fuzz
