// How long one huge page message holds the main thread: a 1 ms repeating
// timer on the main run loop records the longest gap between its fires
// while a page sends the message and the app handles it (2 s window).
//
//   BM_AdMessage10MB      an ad page sends a 10 MB dmsg URL (a hidden iframe)
//   BM_AdMessage10MBByWindowOpen, ...ByLocation, ...ByLink
//                         the same message by window.open(), by a location
//                         change and by a link the page clicks: the ad view
//                         refuses it by its length
//   BM_WKLocation10MB     a page of a "WK"-kind web view of its own (no
//                         delegate, no bound) changes its location to a
//                         10 MB http URL: the engine's own cost, the page
//                         loaded anew for each iteration
//   BM_CoreAnswer12MB     the SDK core page sends a 12 MB "loadAd" answer
//                         for a request nobody made
//   BM_CorePage12MB       a new controller loads a core page of 12 MB (its
//                         default web view kind, "UI": through the app's
//                         proxy), from the refresh until it has loaded
//
// Counters: worst_gap_ms (the longest gap, worst of the iterations), and
// baseline_gap_ms (the same window with no message, for comparison).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "LocalAdServer.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZWebView.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "fixtures/AdServer.h"
#include "fixtures/LoopbackServer.h"
#include "web/WebView.h"

namespace {

constexpr double kLimit = 30;
constexpr double kWindow = 2;

// The longest gap between 1 ms ticks of the main run loop over the window,
// in milliseconds, after start runs.
double worstGap(const std::function<void()>& start) {
    using Clock = std::chrono::steady_clock;
    auto last = Clock::now();
    double worst = 0;
    const auto timer = core::Timer::schedule(core::RunLoop::main(), 0.001, true, [&](core::Timer&) {
        const auto now = Clock::now();
        worst = std::max(worst, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });
    start();
    last = Clock::now();
    (void)core::RunLoop::main().runUntil([] { return false; }, kWindow);
    timer->invalidate();
    return worst;
}

void report(benchmark::State& state, double worst, double baseline) {
    state.counters["worst_gap_ms"] = worst;
    state.counters["baseline_gap_ms"] = baseline;
}

// An ad page whose sendBig(n) sends a dmsg URL of about n bytes the way
// send (a statement on the URL u) sends it.
void adMessage10MB(benchmark::State& state, const std::string& send) {
    auto& server = benchsupport::localAdServer();
    const auto adView = ads::DZAdView::create({0, 0, 320, 50});
    const auto delegate = std::make_shared<ads::DZAdViewDelegate>();
    adView->setDelegate(delegate);
    auto ad = std::make_shared<ads::DZAd>();
    ad->setAdHTML("<html><body><script>window.sendBig = function (n) {"
                  " var u = 'dmsg://x/big?d=' + 'a'.repeat(n); " +
                  send + " };</script></body></html>");
    ad->setAdBaseURL(server.server().url("/bench/stall"));
    adView->setAd(ad);
    if (!core::RunLoop::main().runUntil([&] { return delegate->hasLoadedAtLeastOnce(); }, kLimit)) {
        state.SkipWithError("the ad page did not load");
        return;
    }
    const double baseline = worstGap([] {});
    double worst = 0;
    for (auto _ : state) {
        worst = std::max(worst, worstGap([&] {
                             adView->webView()->evaluateJavaScriptFromString("sendBig(10e6)");
                         }));
    }
    report(state, worst, baseline);
}

void BM_AdMessage10MB(benchmark::State& state) {
    adMessage10MB(state, "var f = document.createElement('iframe'); f.style.display = 'none';"
                         " f.src = u; document.body.appendChild(f);");
}
BENCHMARK(BM_AdMessage10MB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AdMessage10MBByWindowOpen(benchmark::State& state) {
    adMessage10MB(state, "window.open(u);");
}
BENCHMARK(BM_AdMessage10MBByWindowOpen)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_AdMessage10MBByLocation(benchmark::State& state) {
    adMessage10MB(state, "location.href = u;");
}
BENCHMARK(BM_AdMessage10MBByLocation)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AdMessage10MBByLink(benchmark::State& state) {
    adMessage10MB(state, "var a = document.createElement('a'); a.href = u;"
                         " document.body.appendChild(a); a.click();");
}
BENCHMARK(BM_AdMessage10MBByLink)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WKLocation10MB(benchmark::State& state) {
    fixtures::LoopbackServer server;
    server.on("GET", "/bench/page", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text(
            "<script>window.go = function (n) {"
            " location.href = '/bench/far?d=' + 'a'.repeat(n); };</script>",
            200, "text/html");
    });
    const auto view = web::WebView::create({0, 0, 320, 240});
    if (!view) {
        state.SkipWithError("no web view");
        return;
    }
    const auto load = [&] {
        view->loadRequest(core::URLRequest(server.url("/bench/page")));
        return core::RunLoop::main().runUntil([&] { return !view->isLoading(); }, kLimit);
    };
    if (!load()) {
        state.SkipWithError("the page did not load");
        return;
    }
    const double baseline = worstGap([] {});
    double worst = 0;
    for (auto _ : state) {
        worst = std::max(worst, worstGap([&] { view->evaluateJavaScript("go(10e6)"); }));
        state.PauseTiming();
        if (!load()) state.SkipWithError("the page did not load again");
        state.ResumeTiming();
    }
    report(state, worst, baseline);
}
BENCHMARK(BM_WKLocation10MB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CoreAnswer12MB(benchmark::State& state) {
    (void)benchsupport::localAdServer();
    const auto controller = ads::DZSDKCoreController::create();
    controller->refreshActiveWebViewSDKCore();
    if (!core::RunLoop::main().runUntil(
            [&] {
                return controller->activeSDKCoreWebView()->state() ==
                       ads::DZSDKCoreWebView::kLoaded;
            },
            kLimit)) {
        state.SkipWithError("the core page did not load");
        return;
    }
    // An ad of markup-like text whose encoded answer is about 12 MB.
    const std::string script =
        "(function () { var unit = '<div class=\"ad\" style=\"width:320px\">tap here</div>\\n';"
        " var html = unit.repeat(Math.ceil(7.2e6 / unit.length));"
        " DUZO_send('loadAd', {request_id: 'bench-nobody',"
        " fetched_ad: JSON.stringify({ad_html: html, ad_type: 'html'})}); })()";
    const double baseline = worstGap([] {});
    double worst = 0;
    for (auto _ : state) {
        worst = std::max(worst, worstGap([&] {
                             controller->activeSDKCoreWebView()
                                 ->adView()
                                 ->webView()
                                 ->evaluateJavaScriptFromString(script);
                         }));
    }
    report(state, worst, baseline);
}
BENCHMARK(BM_CoreAnswer12MB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CorePage12MB(benchmark::State& state) {
    auto& server = benchsupport::localAdServer();
    const fixtures::CorePageOptions before = server.corePage();
    fixtures::CorePageOptions large = before;
    large.paddingBytes = 12 * 1024 * 1024;
    server.setCorePage(large);
    const double baseline = worstGap([] {});
    double worst = 0;
    for (auto _ : state) {
        using Clock = std::chrono::steady_clock;
        const auto controller = ads::DZSDKCoreController::create();
        auto last = Clock::now();
        double gap = 0;
        const auto timer =
            core::Timer::schedule(core::RunLoop::main(), 0.001, true, [&](core::Timer&) {
                const auto now = Clock::now();
                gap = std::max(gap, std::chrono::duration<double, std::milli>(now - last).count());
                last = now;
            });
        last = Clock::now();
        controller->refreshActiveWebViewSDKCore();
        const bool loaded = core::RunLoop::main().runUntil(
            [&] {
                return controller->activeSDKCoreWebView()->state() ==
                       ads::DZSDKCoreWebView::kLoaded;
            },
            kLimit);
        timer->invalidate();
        if (!loaded) {
            state.SkipWithError("the core page did not load");
            break;
        }
        worst = std::max(worst, gap);
    }
    server.setCorePage(before);
    report(state, worst, baseline);
}
BENCHMARK(BM_CorePage12MB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
