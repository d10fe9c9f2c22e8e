#pragma once
// Turns decoded frames into NV12 pixel buffers with swscale, in video
// range, tagged from the frame's colour space: BT.709 as itu709, BT.470BG
// and SMPTE 170M as itu601, anything else untagged. One thread at a time.

#include <memory>

#include "media/PixelBuffer.h"

struct AVFrame;
struct SwsContext;

namespace media {

class FFmpegFrameConverter {
public:
    FFmpegFrameConverter() = default;
    ~FFmpegFrameConverter();
    FFmpegFrameConverter(const FFmpegFrameConverter&) = delete;
    FFmpegFrameConverter& operator=(const FFmpegFrameConverter&) = delete;

    // nullptr when the frame cannot be converted.
    [[nodiscard]] std::shared_ptr<PixelBuffer> convert(const AVFrame& frame);

    [[nodiscard]] static ColorMatrix matrixOf(int avColorSpace);

private:
    SwsContext* context_ = nullptr;
};

}  // namespace media
