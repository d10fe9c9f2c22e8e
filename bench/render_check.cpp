// The HTML mediation adapter's rendered check, which runs five times a
// second while a creative has shown nothing.
//
//   BM_RenderCheck/transparent  one check of a 320x50 web view whose page
//   BM_RenderCheck/painted      paints nothing, or paints all of it: a
//                               fresh snapshot of the page, drawn at one
//                               pixel per point, every pixel compared with
//                               the background colour; load to answer
//   BM_RenderCheckPixels        the comparison alone over 320x50 pixels

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "ads/mediation/adapters/DZMWebViewRenderedChecker.h"
#include "core/RunLoop.h"
#include "gfx/Image.h"
#include "web/WebView.h"

namespace {

constexpr double kLimit = 30;

class Answers : public ads::DZMWebViewRenderedCheckerDelegate, public web::WebViewDelegate {
public:
    void webViewIsRendered(web::WebView&, bool isRendered) override {
        ++answers;
        rendered = isRendered;
    }
    void didFinishLoad(web::WebView&) override { ++loads; }
    void didFailLoad(web::WebView&, const web::LoadError&) override { ++loads; }
    int answers = 0;
    int loads = 0;
    bool rendered = false;
};

void BM_RenderCheck(benchmark::State& state, bool painted) {
    web::WebViewConfiguration configuration;
    configuration.kind = web::WebViewConfiguration::Kind::UI;
    std::string error;
    const auto view = web::WebView::create({0, 0, 320, 50}, configuration, &error);
    if (!view) {
        state.SkipWithError(error.c_str());
        return;
    }
    view->setBackgroundColor(gfx::Color::clear());
    view->setDrawsBackground(false);
    const auto answers = std::make_shared<Answers>();
    view->setDelegate(answers);
    view->loadHTMLString(painted ? "<body style='margin:0;background:#2a6f97'></body>"
                                 : "<body style='margin:0;background:transparent'></body>",
                         core::URL::create("https://mediation.test/"));
    auto& loop = core::RunLoop::main();
    if (!loop.runUntil(
            [&] { return answers->loads > 0 && web::WebView::pendingSnapshotCount() == 0; },
            kLimit)) {
        state.SkipWithError("the page did not load");
        return;
    }
    const auto checker = ads::DZMWebViewRenderedChecker::create(view, answers);
    for (auto _ : state) {
        const int before = answers->answers;
        checker->checkIsContentRenderedInWebView();
        if (!loop.runUntil([&] { return answers->answers > before; }, kLimit)) {
            state.SkipWithError("no answer");
            return;
        }
    }
    if (answers->rendered != painted) state.SkipWithError("wrong answer");
}
BENCHMARK_CAPTURE(BM_RenderCheck, transparent, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderCheck, painted, true)->Unit(benchmark::kMillisecond);

void BM_RenderCheckPixels(benchmark::State& state) {
    const auto image = gfx::Image::create(
        320, 50, gfx::Image::Pixels(320 * 50, gfx::Color::clear().premultipliedARGB()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ads::DZMWebViewRenderedChecker::percentOfImage(image.get(), gfx::Color::clear()));
    }
}
BENCHMARK(BM_RenderCheckPixels)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
