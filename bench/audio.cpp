// The CPU cost of a video's sound: the 10 s fixture clip of 48 kHz stereo
// AAC (tone-1000.mp4) played by a player of the FFmpeg engine into the
// audio output's capture sink (demuxing, decoding, resampling to the
// output's format, queueing on the item's time line and mixing), against a
// bare FFmpeg loop that reads, decodes and resamples the same clip to the
// same format as fast as it can, in the same run. Both report the process's
// CPU time for the clip (the median of five runs), as a share of one core
// over the clip's 10 s; the summary prints the ratio (goal: at most 1.2).
// The player's side includes what driving it costs here: the manual clock
// moved in 0.1 s steps, the main run loop waiting for the engine's thread.
// Run with --benchmark_enable_random_interleaving=true on a busy machine.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "core/URL.h"
#include "fixtures/FixtureVideos.h"
#include "media/AudioCapture.h"
#include "media/AudioOutput.h"
#include "media/Engine.h"
#include "media/FFmpegEngine.h"
#include "media/Player.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr double kClipSeconds = 10;
constexpr double kStep = 0.1;

std::string clipPath() {
    return fixtures::FixtureVideos::path(fixtures::FixtureVideos::kTone1000);
}

// Frames out; -1 when the clip cannot be read.
long bareDecodeAndResample() {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, clipPath().c_str(), nullptr, nullptr) < 0) return -1;
    long frames = -1;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<float> out;
    const auto convert = [&](const AVFrame* in) {
        const int room = swr_get_out_samples(resampler, in ? in->nb_samples : 0);
        out.resize(static_cast<size_t>(std::max(room, 0)) * 2);
        auto* data = reinterpret_cast<std::uint8_t*>(out.data());
        const int made = swr_convert(resampler, &data, room,
                                     in ? const_cast<const std::uint8_t**>(in->extended_data) : nullptr,
                                     in ? in->nb_samples : 0);
        if (made > 0) frames += made;
    };
    const auto drain = [&] {
        while (avcodec_receive_frame(codec, frame) >= 0) {
            convert(frame);
            av_frame_unref(frame);
        }
    };
    do {
        if (avformat_find_stream_info(format, nullptr) < 0) break;
        const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (index < 0) break;
        const AVStream* stream = format->streams[index];
        codec = avcodec_alloc_context3(avcodec_find_decoder(stream->codecpar->codec_id));
        if (!codec || avcodec_parameters_to_context(codec, stream->codecpar) < 0 ||
            avcodec_open2(codec, nullptr, nullptr) < 0)
            break;
        AVChannelLayout stereo{};
        av_channel_layout_default(&stereo, 2);
        if (swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_FLT, 48000, &codec->ch_layout,
                                codec->sample_fmt, codec->sample_rate, 0, nullptr) < 0 ||
            swr_init(resampler) < 0)
            break;
        frames = 0;
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0) drain();
            av_packet_unref(packet);
        }
        avcodec_send_packet(codec, nullptr);
        drain();
        convert(nullptr);
    } while (false);
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&resampler);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return frames;
}

void BM_BareDecodeAndResample(benchmark::State& state) {
    for (auto _ : state) {
        if (bareDecodeAndResample() < static_cast<long>(kClipSeconds * 48000) - 2048)
            state.SkipWithError("the clip cannot be read");
    }
}
BENCHMARK(BM_BareDecodeAndResample)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Repetitions(5);

// The clip played to its end on a manual clock, in steps of 0.1 s, each
// pulled from the capture once the engine has it; false unless every step
// but the last was heard.
bool playToEnd(core::ManualClock& clock, media::AudioCapture& capture) {
    auto& loop = core::RunLoop::main();
    const auto player = media::Player::create(
        media::PlayerItem::create(core::URL::fileURL(clipPath())));
    if (!loop.runUntil([&] { return player->status() != media::Player::Status::unknown; }, 10) ||
        player->status() != media::Player::Status::readyToPlay)
        return false;
    player->play();
    if (!loop.runUntil([&] { return capture.isOpen(); }, 10)) return false;
    const auto stepFrames = static_cast<size_t>(kStep * media::kAudioSampleRate);
    const auto due = [&] {
        const double next = clock.monotonicSeconds() + kStep;
        const bool moves =
            player->timeControlStatus() == media::Player::TimeControlStatus::playing;
        return (moves || player->rate() == 0) &&
               media::AudioOutput::shared().isBufferedUntil(next);
    };
    int heard = 0;
    std::vector<float> samples(stepFrames * media::kAudioChannels);
    for (int step = 0; player->rate() > 0; ++step) {
        if (step > 2 * kClipSeconds / kStep || !loop.runUntil(due, 10)) return false;
        capture.render(samples.data(), stepFrames);
        heard += samples[stepFrames] != 0 ? 1 : 0;
        clock.advance(kStep);
    }
    return heard >= static_cast<int>(kClipSeconds / kStep) - 1;
}

void BM_PlayerSound(benchmark::State& state) {
    const auto clock = std::make_shared<core::ManualClock>();
    const auto previousClock = core::Clock::current();
    core::Clock::install(clock);
    const auto previousEngine = media::Engine::install(media::FFmpegEngine::create());
    {
        media::AudioCapture capture;
        for (auto _ : state) {
            if (!playToEnd(*clock, capture)) state.SkipWithError("the clip was not heard to its end");
        }
    }
    media::Engine::install(previousEngine);
    core::Clock::install(previousClock);
}
BENCHMARK(BM_PlayerSound)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Repetitions(5);

// Keeps the process CPU time per clip of each run so main() can print the
// shares of a core and the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const double seconds = run.GetAdjustedCPUTime() / 1e3;  // reported in ms
            if (run.benchmark_name().find("Bare") != std::string::npos) bare_.push_back(seconds);
            if (run.benchmark_name().find("Player") != std::string::npos)
                player_.push_back(seconds);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatio() const {
        if (bare_.empty() || player_.empty()) return;
        const double bare = median(bare_), player = median(player_);
        std::printf(
            "audio: 48 kHz stereo through the player takes %.3f%% of a core (%.1f ms of CPU for "
            "%.0f s), the bare FFmpeg loop %.3f%% (%.1f ms): %.2fx (goal: at most 1.2x)\n",
            100 * player / kClipSeconds, player * 1e3, kClipSeconds, 100 * bare / kClipSeconds,
            bare * 1e3, player / bare);
    }

private:
    static double median(std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }

    std::vector<double> bare_, player_;
};

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio();
    benchmark::Shutdown();
    return 0;
}
