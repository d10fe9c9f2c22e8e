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
#include <cstdlib>
#include <filesystem>
#include <memory>

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

namespace {

struct LaunchedApp {
    std::filesystem::path home;
    std::unique_ptr<fixtures::LocalServices> services;
    std::unique_ptr<fixtures::AppClock> clock;
    std::shared_ptr<app::AppDelegate> delegate;
};

LaunchedApp& launchedApp() {
    static LaunchedApp* launched = [] {
        auto* made = new LaunchedApp;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantor-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("bench_render: cannot make a home folder");
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
        const auto explore = std::dynamic_pointer_cast<app::WaterfallViewController>(
            made->delegate->qzTabVc()->viewCtrls().at(0));
        const bool loaded = made->clock->waitUntil(
            [&] { return !explore->imageDataSources().empty() && !explore->isFetching(); }, 10);
        made->clock->wait(1.5);
        if (!loaded) std::fprintf(stderr, "bench_render: the feed did not load\n");
        return made;
    }();
    return *launched;
}

void BM_RenderExploreFrame(benchmark::State& state) {
    auto& window = *launchedApp().delegate->window();
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
