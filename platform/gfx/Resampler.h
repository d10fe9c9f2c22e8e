#pragma once
// Shrinks premultiplied ARGB32 pixels by area averaging: each result pixel
// is the mean of the source area it covers, partly covered pixels weighted
// by their share, so every source pixel counts whatever the factor. Two
// separable passes in 8-bit fixed point over one source row at a time; the
// row buffers are the calling thread's own and reused from call to call.
// Any thread.

#include <cstdint>

namespace gfx {

class Resampler {
public:
    // dstWidth <= srcWidth and dstHeight <= srcHeight, all positive; `dst`
    // holds dstWidth * dstHeight pixels.
    static void shrink(const std::uint32_t* src, int srcWidth, int srcHeight, std::uint32_t* dst,
                       int dstWidth, int dstHeight);
};

}  // namespace gfx
