// Turning a downloaded photo into a feed thumbnail, on a photo-like
// 6000x4000 JPEG of about 6 MB at quality 85 made at build time: the
// thumbnail an explore cell asks for (187.5 points wide at 2x: a box of 375
// pixels, about 375x250) once by decoding everything and shrinking, once the
// way the image library does it (libjpeg-turbo's scaled decode into a
// reused buffer, then the last shrink). Both run in the same process on the
// same bytes; the summary prints the ratio (goal: at least 4x).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/FileManager.h"
#include "gfx/Image.h"
#include "ui/ImageDownloader.h"

namespace {

const gfx::Size kCellBox{375, 250};

const std::vector<std::uint8_t>& photoBytes() {
    static const std::vector<std::uint8_t> bytes = [] {
        const auto read = core::FileManager::readFile(VANTOR_BENCH_PHOTO);
        if (!read) {
            std::fprintf(stderr, "bench_images: cannot read %s\n", VANTOR_BENCH_PHOTO);
            std::exit(1);
        }
        const std::string& text = read.value();
        return std::vector<std::uint8_t>(text.begin(), text.end());
    }();
    return bytes;
}

void BM_FullDecodeThenShrink(benchmark::State& state) {
    const auto& bytes = photoBytes();
    gfx::ImagePtr thumbnail;
    for (auto _ : state) {
        auto full = gfx::Image::decode(bytes);
        const gfx::ImageDecodeOptions cover = ui::ImageDownloader::decodeOptions(kCellBox);
        thumbnail = full->scaled(cover.wantedSize(full->pixelWidth(), full->pixelHeight()));
        benchmark::DoNotOptimize(thumbnail);
    }
    state.counters["width"] = thumbnail->pixelWidth();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_FullDecodeThenShrink)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ThumbnailDecode(benchmark::State& state) {
    const auto& bytes = photoBytes();
    const gfx::ImageDecodeOptions options = ui::ImageDownloader::decodeOptions(kCellBox);
    gfx::ImagePtr thumbnail;
    for (auto _ : state) {
        thumbnail = gfx::Image::decode(bytes, nullptr, options);
        benchmark::DoNotOptimize(thumbnail);
    }
    state.counters["width"] = thumbnail->pixelWidth();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ThumbnailDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the CPU time per iteration of each run (the median of repetitions)
// so main() can print the ratio; CPU time, as other work on the machine
// stretches wall time unevenly between the two.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const double ns = run.GetAdjustedCPUTime() * 1e6;  // reported in ms
            if (run.benchmark_name().find("FullDecode") != std::string::npos) full_.push_back(ns);
            if (run.benchmark_name().find("Thumbnail") != std::string::npos)
                thumbnail_.push_back(ns);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatio() {
        if (full_.empty() || thumbnail_.empty()) return;
        const double full = median(full_), thumbnail = median(thumbnail_);
        std::printf(
            "thumbnail: %.2fx faster than full decode + shrink by CPU time (%.1f ms vs %.1f "
            "ms; goal 4x)\n",
            full / thumbnail, thumbnail / 1e6, full / 1e6);
    }

private:
    static double median(std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }

    std::vector<double> full_, thumbnail_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("photo: %s, %zu bytes\n", VANTOR_BENCH_PHOTO, photoBytes().size());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio();
    benchmark::Shutdown();
    return 0;
}
