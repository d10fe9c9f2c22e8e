#include "media/FFmpegAudio.h"

#include <algorithm>

#include "media/AudioDevice.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

namespace media {

FFmpegAudio::FFmpegAudio(std::shared_ptr<AudioStream> stream, AVRational timeBase, double origin)
    : stream_(std::move(stream)), timeBase_(timeBase), origin_(origin) {}

FFmpegAudio::~FFmpegAudio() {
    swr_free(&resampler_);
    av_channel_layout_uninit(&inputLayout_);
}

bool FFmpegAudio::configure(const AVFrame& frame) {
    AVChannelLayout layout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame.ch_layout.nb_channels <= 0) {
        av_channel_layout_default(&layout, std::max(frame.ch_layout.nb_channels, 1));
    } else if (av_channel_layout_copy(&layout, &frame.ch_layout) < 0) {
        return false;
    }
    if (resampler_ && frame.sample_rate == inputRate_ && frame.format == inputFormat_ &&
        av_channel_layout_compare(&layout, &inputLayout_) == 0) {
        av_channel_layout_uninit(&layout);
        return true;
    }
    swr_free(&resampler_);
    av_channel_layout_uninit(&inputLayout_);
    inputLayout_ = layout;
    inputRate_ = frame.sample_rate;
    inputFormat_ = frame.format;
    AVChannelLayout stereo{};
    av_channel_layout_default(&stereo, kAudioChannels);
    if (swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_FLT, kAudioSampleRate,
                            &inputLayout_, static_cast<AVSampleFormat>(inputFormat_), inputRate_,
                            0, nullptr) < 0) {
        swr_free(&resampler_);
        return false;
    }
    // A mono track goes to both sides whole (libswresample would lower it by
    // 3 dB).
    if (inputLayout_.nb_channels == 1) {
        const double both[kAudioChannels] = {1.0, 1.0};
        (void)swr_set_matrix(resampler_, both, 1);
    }
    if (swr_init(resampler_) < 0) {
        swr_free(&resampler_);
        return false;
    }
    return true;
}

void FFmpegAudio::deliver(const AVFrame& frame, std::uint64_t epoch) {
    if (frame.nb_samples <= 0 || frame.sample_rate <= 0 || !configure(frame)) return;
    double time = nextTime_;
    if (frame.best_effort_timestamp != AV_NOPTS_VALUE)
        time = static_cast<double>(frame.best_effort_timestamp) * av_q2d(timeBase_) - origin_;
    nextTime_ = time + static_cast<double>(frame.nb_samples) / frame.sample_rate;
    convert(const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples, time, epoch);
}

void FFmpegAudio::drain(std::uint64_t epoch) {
    if (resampler_) convert(nullptr, 0, nextTime_, epoch);
    stream_->endInput(epoch);
}

void FFmpegAudio::reset() {
    // A fresh resampler comes with the next frame.
    swr_free(&resampler_);
    nextTime_ = 0;
}

void FFmpegAudio::convert(const std::uint8_t** input, int count, double time,
                          std::uint64_t epoch) {
    // What the resampler still holds from before comes out first.
    const auto held = static_cast<double>(swr_get_delay(resampler_, kAudioSampleRate));
    const int room = swr_get_out_samples(resampler_, count);
    if (room <= 0) return;
    bool first = true;
    // Straight into the stream's queue; where it wraps, what the resampler
    // kept back comes with the next call, without new input (a null input
    // would end it instead, as draining does on purpose).
    stream_->write(static_cast<std::size_t>(room), time - held / kAudioSampleRate, epoch,
                   [&](float* destination, std::size_t space) -> std::size_t {
                       auto* out = reinterpret_cast<std::uint8_t*>(destination);
                       const int made = swr_convert(resampler_, &out, static_cast<int>(space),
                                                    input, first ? count : 0);
                       first = false;
                       return made > 0 ? static_cast<std::size_t>(made) : 0;
                   });
}

}  // namespace media
