#pragma once
// The FFmpeg engine's sound for one item: turns the decoded frames of its
// audio stream into the output's format with libswresample (any rate,
// sample format and channel layout in; mono is heard at full level on both
// sides) and hands them to the item's AudioStream with their item times.
//
// The item's engine thread only.

#include <cstdint>
#include <memory>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/rational.h>
}

#include "media/AudioStream.h"

struct AVFrame;
struct SwrContext;

namespace media {

class FFmpegAudio {
public:
    // origin: the container's first instant (item time 0), in seconds.
    FFmpegAudio(std::shared_ptr<AudioStream> stream, AVRational timeBase, double origin);
    ~FFmpegAudio();
    FFmpegAudio(const FFmpegAudio&) = delete;
    FFmpegAudio& operator=(const FFmpegAudio&) = delete;

    void deliver(const AVFrame& frame, std::uint64_t epoch);
    // The input ended: what the resampler still holds, then the end.
    void drain(std::uint64_t epoch);
    // Forgets what the resampler holds (a seek).
    void reset();

private:
    [[nodiscard]] bool configure(const AVFrame& frame);
    void convert(const std::uint8_t** input, int count, double time, std::uint64_t epoch);

    const std::shared_ptr<AudioStream> stream_;
    const AVRational timeBase_;
    const double origin_;
    SwrContext* resampler_ = nullptr;
    int inputRate_ = 0;
    int inputFormat_ = -1;
    AVChannelLayout inputLayout_{};
    // Item time just after the last frame delivered.
    double nextTime_ = 0;
};

}  // namespace media
