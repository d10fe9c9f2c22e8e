// A window frame with an animation in flight against a still one, at 2x
// (750x1334 pixels on the default phone), each frame timed on its own and
// reported as the median and p95 of the runs. The still frame is the
// explore feed settled; the animated one is the feed halfway through the
// viewer's push, a cross-fade of the two full-screen views drawn from
// their presentation values (goal: well inside the 16 ms of a frame at
// 60 per second). The app runs as in bench_render: a home folder of its own,
// the local services, the tool's manual clock, which stands still while
// frames are measured.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "LaunchedApp.h"
#include "Percentile.h"
#include "app/AppDelegate.h"
#include "app/vc/WaterfallViewController.h"
#include "fixtures/AppClock.h"
#include "gfx/Bitmap.h"
#include "ui/Application.h"
#include "ui/Renderer.h"
#include "ui/ViewAnimations.h"

namespace {

constexpr int kFrames = 200;

using benchapp::LaunchedApp;

LaunchedApp& launchedApp() {
    return benchapp::launchedApp("bench_render_animation");
}

void drawFrames(benchmark::State& state, ui::Window& window) {
    benchapp::drawFrames(state, window);
    state.counters["animating"] = ui::ViewAnimations::anyAnimating() ? 1 : 0;
}

void BM_StillFrame(benchmark::State& state) {
    LaunchedApp& launched = launchedApp();
    drawFrames(state, *launched.delegate->window());
}
BENCHMARK(BM_StillFrame)->Apply(benchsupport::repeatedLoads<kFrames>);

void BM_AnimatedFrame(benchmark::State& state) {
    LaunchedApp& launched = launchedApp();
    static bool fading = false;
    if (!fading && !launched.explore->imageDataSources().empty()) {
        fading = true;
        launched.explore->openPhoto(0);
        launched.clock->advance(0.25);
    }
    if (!ui::ViewAnimations::anyAnimating()) state.SkipWithError("nothing is animating");
    drawFrames(state, *launched.delegate->window());
}
BENCHMARK(BM_AnimatedFrame)->Apply(benchsupport::repeatedLoads<kFrames>);

// The viewer once its fade-in has ended: what the animated frame draws
// apart from the blend.
void BM_StillViewerFrame(benchmark::State& state) {
    LaunchedApp& launched = launchedApp();
    if (ui::ViewAnimations::anyAnimating()) launched.clock->advance(0.5);
    drawFrames(state, *launched.delegate->window());
}
BENCHMARK(BM_StillViewerFrame)->Apply(benchsupport::repeatedLoads<kFrames>);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    LaunchedApp& launched = launchedApp();
    ui::Application::shared().terminate();
    std::error_code ignored;
    std::filesystem::remove_all(launched.home, ignored);
    return 0;
}
