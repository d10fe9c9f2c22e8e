#pragma once
// The app of the render benchmarks: launched once per process in a fresh
// home on the local services, on the test clock, its explore feed's first
// page loaded and settled.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

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

namespace benchapp {

struct LaunchedApp {
    std::filesystem::path home;
    std::unique_ptr<fixtures::LocalServices> services;
    std::unique_ptr<fixtures::AppClock> clock;
    std::shared_ptr<app::AppDelegate> delegate;
    std::shared_ptr<app::WaterfallViewController> explore;
};

// program names the benchmark in what it prints.
inline LaunchedApp& launchedApp(const char* program) {
    static LaunchedApp* launched = [program] {
        auto* made = new LaunchedApp;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantor-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::fprintf(stderr, "%s: cannot make a home folder\n", program);
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
        const auto& explore = made->explore;
        const bool loaded = made->clock->waitUntil(
            [&] { return !explore->imageDataSources().empty() && !explore->isFetching(); }, 10);
        made->clock->wait(1.5);
        if (!loaded) std::fprintf(stderr, "%s: the feed did not load\n", program);
        return made;
    }();
    return *launched;
}

// Draws the window anew at scale 2 once per iteration; the counters say the
// frame's size in pixels.
inline void drawFrames(benchmark::State& state, ui::Window& window) {
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
}

}  // namespace benchapp
