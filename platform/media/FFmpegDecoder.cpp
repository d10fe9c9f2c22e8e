#include "media/FFmpegDecoder.h"

#include "media/FFmpegError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace media {

FFmpegDecoder::OpenResult FFmpegDecoder::open(const AVStream& stream, int threads) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (!codec) {
        return MediaError::make(MediaError::DecodeFailed,
                                std::string("No decoder for ") +
                                    avcodec_get_name(stream.codecpar->codec_id) + ".");
    }
    AVCodecContext* context = avcodec_alloc_context3(codec);
    AVFrame* frame = av_frame_alloc();
    if (!context || !frame) {
        avcodec_free_context(&context);
        av_frame_free(&frame);
        return MediaError::make(MediaError::Unknown, "Out of memory.");
    }
    int result = avcodec_parameters_to_context(context, stream.codecpar);
    if (result >= 0) {
        context->pkt_timebase = stream.time_base;
        context->thread_count = threads;
        context->thread_type = FF_THREAD_SLICE;
        result = avcodec_open2(context, codec, nullptr);
    }
    if (result < 0) {
        avcodec_free_context(&context);
        av_frame_free(&frame);
        return FFmpegError::make(MediaError::DecodeFailed,
                                 std::string("Cannot decode ") + codec->name, result);
    }
    return std::make_unique<FFmpegDecoder>(Private{}, context, frame);
}

FFmpegDecoder::~FFmpegDecoder() {
    avcodec_free_context(&context_);
    av_frame_free(&frame_);
}

bool FFmpegDecoder::decode(const AVPacket* packet, const FrameHandler& onFrame) {
    const int sent = avcodec_send_packet(context_, packet);
    if (sent < 0 && sent != AVERROR_EOF && sent != AVERROR(EAGAIN)) return false;
    while (true) {
        const int received = avcodec_receive_frame(context_, frame_);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
        if (received < 0) return false;
        onFrame(*frame_);
        av_frame_unref(frame_);
    }
}

void FFmpegDecoder::flush() {
    avcodec_flush_buffers(context_);
}

int FFmpegDecoder::reorderDelay() const {
    return context_->has_b_frames;
}

}  // namespace media
