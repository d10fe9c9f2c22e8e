// An ad page's loads through the SDK's URL protocol, against the local ad
// server: a "UI"-kind ad view's page with 20 sub-resources (10 scripts, 10
// images), from setAd to finished.
//
//   BM_AdPageWithTwentyResources/direct       no URL protocol registered
//   BM_AdPageWithTwentyResources/intercepted  the SDK's protocol records
//                                             every load and takes each one
//                                             over (its response captured)
//
// Each is the median of 20 pages; every page has URLs of its own.

#include <benchmark/benchmark.h>

#include <string>

#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "ads/web/view/DZAdView.h"
#include "core/RunLoop.h"
#include "core/URLProtocolRegistry.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"

namespace {

constexpr double kLimit = 30;
constexpr int kResources = 20;

class Delegate : public ads::DZAdViewDelegateProtocol {
public:
    void adViewDidFinishLoad(ads::DZAdView&) override { ++ends; }
    void didFailLoadWithError(ads::DZAdView&, const ads::Error&) override {
        ++ends;
        ++failures;
    }
    int ends = 0;
    int failures = 0;
};

struct Bench {
    fixtures::AdServer server;
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();
    std::shared_ptr<ads::DZAdView> adView;
    int pages = 0;

    Bench() {
        for (int i = 0; i < kResources / 2; ++i) {
            server.serve("/bench/s" + std::to_string(i) + ".js",
                         fixtures::LoopbackResponse::text(
                             "window.ran = (window.ran || 0) + 1;", 200, "text/javascript"));
            server.serve("/bench/i" + std::to_string(i) + ".png",
                         fixtures::LoopbackResponse::bytes(std::string(600, 'x'), "image/png"));
        }
        adView = ads::DZAdView::create({0, 0, 320, 50});
        adView->setDelegate(delegate);
    }

    // One page to finished; false when it failed or took too long.
    bool loadPage() {
        const std::string query = "?n=" + std::to_string(++pages);
        std::string html = "<html><head>";
        for (int i = 0; i < kResources / 2; ++i)
            html += "<script src='/bench/s" + std::to_string(i) + ".js" + query + "'></script>";
        html += "</head><body>";
        for (int i = 0; i < kResources / 2; ++i)
            html += "<img src='/bench/i" + std::to_string(i) + ".png" + query + "'>";
        html += "</body></html>";
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML(html);
        ad->setAdBaseURL(server.url("/bench/page" + query));
        ad->setAdURL(server.url("/bench/page" + query));
        // Reports malicious ads with auto-click protection: every load is
        // captured, and a benign page is never reported.
        ad->setSafeBrowsingReporter(ads::DZSafeBrowsingReporter::create(
            core::Dictionary{{"click_string", "CLK"},
                             {"report_url", server.urlString("/sb")},
                             {"protection_enabled", true}}));
        const int before = delegate->ends;
        const int failed = delegate->failures;
        adView->setAd(ad);
        return core::RunLoop::main().runUntil([&] { return delegate->ends > before; }, kLimit) &&
               delegate->failures == failed;
    }
};

Bench& bench() {
    static auto* instance = new Bench;
    return *instance;
}

void setIntercepting(bool on) {
    auto& registry = core::URLProtocolRegistry::shared();
    const auto& factory = ads::DZURLProtocol::factory();
    if (on) {
        (void)registry.registerFactory(factory);
    } else {
        registry.unregisterFactory(factory);
    }
    core::UserDefaults::standard()->setString(
        std::string(ads::DZAdURLStash::kSafeBrowsingResponseKey), on ? "1" : "0");
}

void BM_AdPageWithTwentyResources(benchmark::State& state, bool intercepted) {
    Bench& b = bench();
    setIntercepting(intercepted);
    (void)b.loadPage();  // the engine warmed up for this kind of run
    for (auto _ : state) {
        if (!b.loadPage()) state.SkipWithError("the page did not finish");
    }
    // How many of the last page's loads had their response captured: all 20
    // intercepted, none direct.
    double captured = 0;
    if (const auto collection =
            ads::DZAdURLStash::sharedInstance()->resourceCollectionForAdView(b.adView)) {
        const core::Dictionary report = collection->dictionaryRepresentation();
        for (const core::Value& entry : *report["resources"].array())
            if (!entry["response"]["firstline"].isNull() && entry["url"].stringValue().find("/bench/") != std::string::npos &&
                entry["url"].stringValue().find("/bench/page") == std::string::npos)
                ++captured;
    }
    state.counters["captured"] = captured;
    setIntercepting(false);
}
BENCHMARK_CAPTURE(BM_AdPageWithTwentyResources, direct, false)
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_AdPageWithTwentyResources, intercepted, true)
    ->Iterations(1)
    ->Repetitions(20)
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
