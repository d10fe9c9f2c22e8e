// Turning a full-size photo into a feed thumbnail: a 4000x6000 JPEG scaled
// to a 375-point-wide thumbnail at 2x (750x1125 pixels), once by decoding
// everything and scaling, once by libjpeg-turbo's scaled decode. Both run in
// the same process on the same bytes; the summary prints the ratio.

#include <benchmark/benchmark.h>

#include <cstdio>

#include "gfx/Canvas.h"
#include "gfx/LinearGradient.h"
#include "gfx/Image.h"

namespace {

const gfx::Size kThumbnail{750, 1125};

const std::vector<std::uint8_t>& photoBytes() {
    static const std::vector<std::uint8_t> bytes = [] {
        // A photo-like picture: gradients and shapes, so the JPEG has real
        // detail to decode.
        auto image = gfx::Image::draw({4000, 6000}, 1, [](gfx::Canvas& canvas) {
            canvas.fillLinearGradient(
                gfx::Rect(0, 0, 4000, 6000),
                gfx::LinearGradient{{0, 0}, {4000, 6000},
                                    {{0, gfx::Color::fromRGB(0x1d3557)}, {1, gfx::Color::fromRGB(0xe9c46a)}}});
            for (int i = 0; i < 60; ++i) {
                const double x = (i * 677) % 4000, y = (i * 1013) % 6000;
                canvas.fillEllipse(gfx::Rect(x, y, 300 + i * 7, 200 + i * 5),
                                   gfx::Color::fromRGB(0x2a9d8f + i * 0x030201, 0.6));
            }
        });
        return image->encodeJpeg(0.85);
    }();
    return bytes;
}

double gFullNs = 0, gScaledNs = 0;

void BM_FullDecodeThenScale(benchmark::State& state) {
    const auto& bytes = photoBytes();
    for (auto _ : state) {
        auto full = gfx::Image::decode(bytes);
        auto thumbnail = full->scaled(kThumbnail);
        benchmark::DoNotOptimize(thumbnail);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_FullDecodeThenScale)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScaledDecode(benchmark::State& state) {
    const auto& bytes = photoBytes();
    gfx::Image::DecodeOptions options;
    options.targetPixelSize = kThumbnail;
    options.scale = 2;
    for (auto _ : state) {
        auto thumbnail = gfx::Image::decode(bytes, nullptr, options);
        benchmark::DoNotOptimize(thumbnail);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ScaledDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the per-iteration times so main() can print the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const double ns = run.GetAdjustedRealTime() * 1e6;  // reported in ms
            if (run.benchmark_name().find("FullDecode") != std::string::npos) gFullNs = ns;
            if (run.benchmark_name().find("ScaledDecode") != std::string::npos) gScaledNs = ns;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (gFullNs > 0 && gScaledNs > 0)
        std::printf("full decode + scale / scaled decode: %.2fx (%.1f ms vs %.1f ms)\n",
                    gFullNs / gScaledNs, gFullNs / 1e6, gScaledNs / 1e6);
    benchmark::Shutdown();
    return 0;
}
