// The SDK core page from the local ad server over HTTPS.
//
//   BM_CorePageLoad         a new controller's page from the first refresh
//                           to loaded (state 3), the constants asked for
//   BM_CorePageRoundTrip    a loaded page's command round trip: an exported
//                           command sent and its "result" answer back
//                           (median of 50)

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZServerHosts.h"
#include "core/RunLoop.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/AdServer.h"
#include "fixtures/TestCertificates.h"
#include "LocalAdServer.h"

namespace {

constexpr double kLimit = 30;

fixtures::AdServer& server() { return benchsupport::localAdServer(); }

bool loaded(const ads::DZSDKCoreController& controller) {
    return core::RunLoop::main().runUntil(
        [&] {
            return controller.activeSDKCoreWebView()->state() == ads::DZSDKCoreWebView::kLoaded;
        },
        kLimit);
}

void BM_CorePageLoad(benchmark::State& state) {
    (void)server();
    for (auto _ : state) {
        const auto controller = ads::DZSDKCoreController::create();
        controller->refreshActiveWebViewSDKCore();
        if (!loaded(*controller)) state.SkipWithError("the core page did not load");
    }
}
BENCHMARK(BM_CorePageLoad)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CorePageRoundTrip(benchmark::State& state) {
    (void)server();
    static const auto controller = [] {
        auto made = ads::DZSDKCoreController::create();
        made->refreshActiveWebViewSDKCore();
        return loaded(*made) ? made : nullptr;
    }();
    if (!controller) {
        state.SkipWithError("the core page did not load");
        return;
    }
    for (auto _ : state) {
        const auto answered = std::make_shared<bool>(false);
        controller->executeExportedJavaScriptCommand(
            "DUZO_GCache", core::Value("ping"),
            [answered](const core::Value&, const std::optional<ads::Error>&) { *answered = true; });
        if (!core::RunLoop::main().runUntil([&] { return *answered; }, kLimit))
            state.SkipWithError("no answer");
    }
}
BENCHMARK(BM_CorePageRoundTrip)
    ->Iterations(1)
    ->Repetitions(50)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
