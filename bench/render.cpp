// Renders one full window frame of the app at 2x (750x1334 pixels on the
// default phone), the way every PNG of the tool and every desktop frame is
// drawn: the explore feed's first page with its decoded thumbnails under
// the tab bar. The app runs in a home folder of its own, made empty for the
// run, against the local photo and quote services, on the tool's manual
// clock, and is rendered once it has settled (goal: under 2 ms a frame).
// With VANTOR_BENCH_PNG set, the last frame is also written there as a PNG
// to see what was measured.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "LaunchedApp.h"
#include "app/AppDelegate.h"
#include "app/vc/WaterfallViewController.h"
#include "fixtures/AppClock.h"
#include "gfx/Bitmap.h"
#include "ui/Application.h"
#include "ui/Renderer.h"

namespace {

using benchapp::LaunchedApp;

LaunchedApp& launchedApp() {
    return benchapp::launchedApp("bench_render");
}

void BM_RenderExploreFrame(benchmark::State& state) {
    benchapp::drawFrames(state, *launchedApp().delegate->window());
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderExploreFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same frame copied out as an image, as Renderer::render hands it on.
void BM_RenderExploreImage(benchmark::State& state) {
    auto& window = *launchedApp().delegate->window();
    for (auto _ : state) {
        window.setNeedsDisplay();
        auto image = ui::Renderer::render(window, 2.0);
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_RenderExploreImage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    LaunchedApp& launched = launchedApp();
    if (const char* png = std::getenv("VANTOR_BENCH_PNG"))
        (void)ui::Renderer::writePNG(*launched.delegate->window(), png);
    ui::Application::shared().terminate();
    std::error_code ignored;
    std::filesystem::remove_all(launched.home, ignored);
    return 0;
}
