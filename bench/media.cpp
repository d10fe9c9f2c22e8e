// Decoding the 1080p30 fixture clip (5 s, H.264) and converting every frame
// to NV12, as the FFmpeg engine does for a playing item; and turning an NV12
// frame into the image the flat in-ad video view draws, which it does on the
// main thread for each new frame. Both report frames per second and the
// ratio to real time (1 = just fast enough for 30 fps).

#include <benchmark/benchmark.h>

#include <memory>

#include "core/URL.h"
#include "fixtures/FixtureVideos.h"
#include "gfx/Image.h"
#include "media/FFmpegDecoder.h"
#include "media/FFmpegFrameConverter.h"
#include "media/FFmpegSource.h"
#include "media/PixelBuffer.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr double kClipFramesPerSecond = 30;

// Frames decoded and converted; -1 when the clip cannot be read.
long decodeClip(const media::FFmpegOptions& options) {
    const auto url =
        core::URL::fileURL(fixtures::FixtureVideos::path(fixtures::FixtureVideos::k1080p30));
    auto opened = media::FFmpegSource::open(url, nullptr, options,
                                            std::make_shared<media::FFmpegInterrupt>());
    auto* source = std::get_if<std::unique_ptr<media::FFmpegSource>>(&opened);
    if (!source) return -1;
    const int stream = (*source)->videoStream();
    auto decoderResult =
        media::FFmpegDecoder::open(*(*source)->context()->streams[stream], options.decoderThreads);
    auto* decoder = std::get_if<std::unique_ptr<media::FFmpegDecoder>>(&decoderResult);
    if (!decoder) return -1;
    media::FFmpegFrameConverter converter;
    long frames = 0;
    const auto convert = [&](const AVFrame& frame) {
        if (converter.convert(frame)) ++frames;
    };
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame((*source)->context(), packet) >= 0) {
        if (packet->stream_index == stream) (void)(*decoder)->decode(packet, convert);
        av_packet_unref(packet);
    }
    (void)(*decoder)->decode(nullptr, convert);
    av_packet_free(&packet);
    return frames;
}

void BM_Decode1080p30ToNV12(benchmark::State& state) {
    media::FFmpegOptions options;
    options.decoderThreads = static_cast<int>(state.range(0));
    long total = 0;
    for (auto _ : state) {
        const long frames = decodeClip(options);
        if (frames <= 0) {
            state.SkipWithError("the 1080p30 fixture clip cannot be decoded");
            return;
        }
        total += frames;
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
    state.counters["x_real_time"] = benchmark::Counter(
        static_cast<double>(total) / kClipFramesPerSecond, benchmark::Counter::kIsRate);
}
// 1 decoder thread (slice threads only help clips cut into slices), and as many as the machine has.
BENCHMARK(BM_Decode1080p30ToNV12)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// Frames of 16:9 at the given height.
void BM_NV12FrameToImage(benchmark::State& state) {
    const int height = static_cast<int>(state.range(0));
    const auto frame = media::PixelBuffer::filled(height * 16 / 9, height, {200, 40, 90},
                                                  media::ColorMatrix::itu709);
    for (auto _ : state) benchmark::DoNotOptimize(frame->toImage());
    const auto frames = static_cast<double>(state.iterations());
    state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["x_real_time"] =
        benchmark::Counter(frames / kClipFramesPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NV12FrameToImage)->Arg(360)->Arg(720)->Arg(1080)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
