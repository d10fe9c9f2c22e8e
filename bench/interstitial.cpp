// An interstitial from loadRequest to its delegate's interstitialDidReceiveAd
// against the local ad server (loopback HTTP, the ad URL given directly so no
// core page is involved), on the real clock with the web process warm:
// taken from a loaded pre-load pool entry, and fetched and rendered from the
// network. Median and p95 over 30 loads, in milliseconds.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Percentile.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/presentation/interstitial/DZInterstitialDelegate.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCache.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCacheEntry.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPool.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "fixtures/InterstitialScenarios.h"

namespace {

constexpr double kLimit = 30;
constexpr const char* kPath = "/mads/interstitial";
constexpr const char* kUnit = "bench/interstitial";

fixtures::AdServer& server() {
    static auto* instance = [] {
        auto* made = new fixtures::AdServer;
        made->serve(kPath, fixtures::InterstitialScenarios::response(
                               *made, fixtures::InterstitialCreative::html));
        // Slots refresh stale app settings through the shared core page;
        // these loads need none.
        ads::DZApplication::setScriptBuilderReceiverForTesting([](auto) {});
        return made;
    }();
    return *instance;
}

std::shared_ptr<ads::DZRequest> request() {
    auto made = std::make_shared<ads::DZRequest>();
    made->registerAdNetworkExtras(std::make_shared<ads::DZExtras>(
        core::Dictionary{{"_requestUrl", server().urlString(kPath)}}));
    return made;
}

class Delegate : public ads::DZInterstitialDelegate {
public:
    void interstitialDidReceiveAd(ads::DZInterstitial&) override { ++received; }
    void didFailToReceiveAdWithError(ads::DZInterstitial&, const ads::DZRequestError&) override {
        ++failed;
    }
    int received = 0;
    int failed = 0;
};

// One load of a new interstitial to its end; false when it failed or did
// not end in time.
bool loadOnce(const std::shared_ptr<Delegate>& delegate) {
    const auto interstitial = ads::DZInterstitial::create(kUnit);
    interstitial->setDelegate(delegate);
    const int before = delegate->received + delegate->failed;
    const int failedBefore = delegate->failed;
    interstitial->loadRequest(request());
    const bool ended = core::RunLoop::main().runUntil(
        [&] { return delegate->received + delegate->failed > before; }, kLimit);
    return ended && delegate->failed == failedBefore;
}

void setPool(bool enabled) {
    const auto defaults = core::UserDefaults::standard();
    if (enabled) {
        defaults->setString(std::string(ads::DZInterstitialCache::kEnabledKey), "YES");
        defaults->setInteger(std::string(ads::DZInterstitialPool::kMaxPoolDepthKey), 1);
    } else {
        defaults->removeObjectForKey(ads::DZInterstitialCache::kEnabledKey);
        defaults->removeObjectForKey(ads::DZInterstitialPool::kMaxPoolDepthKey);
    }
}

void BM_InterstitialFromTheNetwork(benchmark::State& state) {
    setPool(false);
    static const auto delegate = std::make_shared<Delegate>();
    static const bool warm = loadOnce(delegate);
    if (!warm) {
        state.SkipWithError("the first interstitial did not load");
        return;
    }
    for (auto _ : state) {
        if (!loadOnce(delegate)) state.SkipWithError("a load failed");
    }
}

void BM_InterstitialFromALoadedPoolEntry(benchmark::State& state) {
    setPool(true);
    static const auto cache = [] {
        auto made = ads::DZInterstitialCache::create();
        ads::DZInterstitial::setCacheForTesting(made);
        made->loadRequest(request(), kUnit);
        made->waitForQueue();
        made->waitForQueue();
        return made;
    }();
    static const auto delegate = std::make_shared<Delegate>();
    const auto pool = cache->poolForKey(ads::DZInterstitialCache::requestKey(request(), kUnit));
    if (!pool) {
        state.SkipWithError("no pool");
        return;
    }
    const auto loaded = [&] {
        const auto entries = pool->entries();
        return !entries.empty() && entries.front()->loaded();
    };
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = core::RunLoop::main().runUntil(loaded, kLimit);
        state.ResumeTiming();
        if (!ready || !loadOnce(delegate)) state.SkipWithError("no loaded entry or a load failed");
    }
}

BENCHMARK(BM_InterstitialFromTheNetwork)->Apply(benchsupport::repeatedLoads<30>);
BENCHMARK(BM_InterstitialFromALoadedPoolEntry)->Apply(benchsupport::repeatedLoads<30>);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // Leave the pool switched off and nothing saved for the next launch.
    setPool(false);
    core::UserDefaults::standard()->removeObjectForKey(ads::DZInterstitialCache::kSavedRequestsKey);
    return 0;
}
