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
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "Percentile.h"
#include "app/AppDelegate.h"
#include "app/services/AppConfiguration.h"
#include "app/vc/WaterfallViewController.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "fixtures/AppClock.h"
#include "fixtures/LocalServices.h"
#include "gfx/Bitmap.h"
#include "gfx/Fonts.h"
#include "ui/Application.h"
#include "ui/Renderer.h"
#include "ui/ViewAnimations.h"

namespace {

constexpr int kFrames = 200;

struct LaunchedApp {
    std::filesystem::path home;
    std::unique_ptr<fixtures::LocalServices> services;
    std::unique_ptr<fixtures::AppClock> clock;
    std::shared_ptr<app::AppDelegate> delegate;
    std::shared_ptr<app::WaterfallViewController> explore;
    bool fading = false;
};

LaunchedApp& launchedApp() {
    static LaunchedApp* launched = [] {
        auto* made = new LaunchedApp;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantor-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("bench_render_animation: cannot make a home folder");
            std::exit(1);
        }
        made->home = pattern;
        setenv("VANTOR_HOME", pattern.c_str(), 1);
        core::RunLoop::bindMainToCurrentThread();
        (void)core::Console::setSink([](std::string_view) {});
        (void)gfx::Fonts::configure(core::Bundle::main()->resourcePath());
        made->services = std::make_unique<fixtures::LocalServices>();
        app::AppConfiguration::set({made->services->photoAPIBase(), made->services->photoWebBase(),
                                    made->services->quoteURL()});
        made->clock = std::make_unique<fixtures::AppClock>();
        made->delegate = std::make_shared<app::AppDelegate>();
        ui::Application::shared().launch(made->delegate);
        made->explore = std::dynamic_pointer_cast<app::WaterfallViewController>(
            made->delegate->qzTabVc()->viewCtrls().at(0));
        const bool loaded = made->clock->waitUntil(
            [&] {
                return !made->explore->imageDataSources().empty() && !made->explore->isFetching();
            },
            10);
        made->clock->wait(1.5);
        if (!loaded) std::fprintf(stderr, "bench_render_animation: the feed did not load\n");
        return made;
    }();
    return *launched;
}

void drawFrames(benchmark::State& state, ui::Window& window) {
    const gfx::Bitmap* frame = nullptr;
    for (auto _ : state) {
        window.setNeedsDisplay();
        frame = ui::Renderer::drawFrame(window, 2.0);
        benchmark::DoNotOptimize(frame);
    }
    if (frame) {
        state.counters["width"] = frame->pixelWidth();
        state.counters["height"] = frame->pixelHeight();
    }
    state.counters["animating"] = ui::ViewAnimations::anyAnimating() ? 1 : 0;
}

void BM_StillFrame(benchmark::State& state) {
    LaunchedApp& launched = launchedApp();
    drawFrames(state, *launched.delegate->window());
}
BENCHMARK(BM_StillFrame)->Apply(benchsupport::repeatedLoads<kFrames>);

void BM_AnimatedFrame(benchmark::State& state) {
    LaunchedApp& launched = launchedApp();
    if (!launched.fading && !launched.explore->imageDataSources().empty()) {
        launched.fading = true;
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
