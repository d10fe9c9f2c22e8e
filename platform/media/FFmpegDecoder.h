#pragma once
// Decodes the packets of one stream with libavcodec. One thread at a time.

#include <functional>
#include <memory>
#include <variant>

#include "media/MediaError.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace media {

class FFmpegDecoder {
public:
    using OpenResult = std::variant<std::unique_ptr<FFmpegDecoder>, MediaError>;
    using FrameHandler = std::function<void(const AVFrame&)>;

    // threads: decoder threads, 0 for as many as the machine has.
    [[nodiscard]] static OpenResult open(const AVStream& stream, int threads);
    ~FFmpegDecoder();
    FFmpegDecoder(const FFmpegDecoder&) = delete;
    FFmpegDecoder& operator=(const FFmpegDecoder&) = delete;

    // Decodes a packet (nullptr drains the decoder) and hands out each
    // frame that became ready; false when the packet could not be decoded.
    bool decode(const AVPacket* packet, const FrameHandler& onFrame);
    // Forgets everything sent so far (a seek).
    void flush();
    // Frames the decoder holds back to put them in presentation order.
    [[nodiscard]] int reorderDelay() const;

private:
    struct Private {};

public:
    FFmpegDecoder(Private, AVCodecContext* context, AVFrame* frame)
        : context_(context), frame_(frame) {}

private:
    AVCodecContext* context_;
    AVFrame* frame_;
};

}  // namespace media
