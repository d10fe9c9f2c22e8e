#include "media/FFmpegFrameConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace media {

namespace {

bool isFullRange(const AVFrame& frame) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    return frame.color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P ||
           format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P;
}

}  // namespace

FFmpegFrameConverter::~FFmpegFrameConverter() {
    sws_freeContext(context_);
}

ColorMatrix FFmpegFrameConverter::matrixOf(int avColorSpace) {
    switch (avColorSpace) {
    case AVCOL_SPC_BT709:
        return ColorMatrix::itu709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return ColorMatrix::itu601;
    default:
        return ColorMatrix::untagged;
    }
}

std::shared_ptr<PixelBuffer> FFmpegFrameConverter::convert(const AVFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0) return nullptr;
    const auto format = static_cast<AVPixelFormat>(frame.format);
    if (!av_pix_fmt_desc_get(format)) return nullptr;
    auto buffer = PixelBuffer::create(frame.width, frame.height, matrixOf(frame.colorspace));
    if (!buffer) return nullptr;
    context_ =
        sws_getCachedContext(context_, frame.width, frame.height, format, frame.width, frame.height,
                             AV_PIX_FMT_NV12, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!context_) return nullptr;
    const int* coefficients = sws_getCoefficients(
        buffer->colorMatrix() == ColorMatrix::itu709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    // Only the range changes: both sides keep the frame's own matrix.
    sws_setColorspaceDetails(context_, coefficients, isFullRange(frame) ? 1 : 0, coefficients, 0, 0,
                             1 << 16, 1 << 16);
    std::uint8_t* planes[4] = {buffer->mutableBaseAddress(0), buffer->mutableBaseAddress(1),
                               nullptr, nullptr};
    const int strides[4] = {static_cast<int>(buffer->bytesPerRow(0)),
                            static_cast<int>(buffer->bytesPerRow(1)), 0, 0};
    const int rows =
        sws_scale(context_, frame.data, frame.linesize, 0, frame.height, planes, strides);
    if (rows <= 0) return nullptr;
    return buffer;
}

}  // namespace media
