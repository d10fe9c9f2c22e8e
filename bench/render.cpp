// Renders one full window frame of the app's tab container at 2x, the way
// every PNG of the tool and every desktop frame is drawn.

#include <benchmark/benchmark.h>

#include "app/AppDelegate.h"
#include "core/Bundle.h"
#include "core/RunLoop.h"
#include "gfx/Fonts.h"
#include "ui/Renderer.h"

namespace {

std::shared_ptr<app::AppDelegate> launchedApp() {
    static std::shared_ptr<app::AppDelegate> delegate = [] {
        core::RunLoop::bindMainToCurrentThread();
        (void)gfx::Fonts::configure(core::Bundle::main()->resourcePath());
        auto made = std::make_shared<app::AppDelegate>();
        ui::Application::shared().launch(made);
        (void)core::RunLoop::main().runUntil([] { return false; }, 0.6);
        return made;
    }();
    return delegate;
}

void BM_RenderTabContainerFrame(benchmark::State& state) {
    auto window = launchedApp()->window();
    for (auto _ : state) {
        window->setNeedsDisplay();
        auto image = ui::Renderer::render(*window, 2.0);
        benchmark::DoNotOptimize(image);
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderTabContainerFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
