// One banner slot's load cycle against the local ad server over HTTPS
// (loopback), on the real clock.
//
//   BM_AdCycleColdFirstAd   from process start (the program's first static
//                           initializer) to the first ad's web view having
//                           finished: ad server, display, core page, ad
//                           URL, fetch and render, all cold; one run (the
//                           time the local ad server took to start is
//                           given as fixtures_ms)
//   BM_AdCycleWarm          loadRequest to the ad's web view finished with
//                           the core page already loaded and the slot
//                           reused, as a banner's refresh runs: median and
//                           p95 over 50 loads

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "Percentile.h"
#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZServerHosts.h"
#include "core/RunLoop.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/AdServer.h"
#include "fixtures/TestCertificates.h"
#include "LocalAdServer.h"

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point processStart = Clock::now();
constexpr double kLimit = 30;

fixtures::AdServer& server() { return benchsupport::localAdServer(); }

class Owner : public ads::DZSlotDelegate, public ads::DZSlotAdLoadDelegate {
public:
    ads::DZSlotDelegateKind slotDelegateKind() const override {
        return ads::DZSlotDelegateKind::banner;
    }
    std::optional<std::vector<ads::DZBoxedValue>> validAdSizes() const override {
        return std::vector<ads::DZBoxedValue>{ads::DZAdSizeBoxedValue(ads::kDZAdSizeBanner)};
    }
    void slotFinishedLoadingAdContent(ads::DZSlot&) override { ++finished; }
    void didFailToLoadAdContentWithError(ads::DZSlot&, const ads::Error&) override { ++failed; }

    int finished = 0;
    int failed = 0;
};

struct Banner {
    std::shared_ptr<Owner> owner = std::make_shared<Owner>();
    std::shared_ptr<ads::DZSlot> slot;
    std::shared_ptr<ads::DZSDKCoreController> controller = ads::DZSDKCoreController::create();

    Banner() {
        slot = ads::DZSlot::create({0, 0, 320, 50});
        if (!slot) return;
        slot->setAdType(ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeBanner), false);
        slot->setAdUnitID("bench/banner");
        slot->setSlotDelegate(owner);
        slot->setAdLoadDelegate(owner);
        slot->setSDKCoreController(controller);
    }
    // One load to its end; false when it failed or did not end in time.
    bool load() {
        const int before = owner->finished + owner->failed;
        slot->loadRequest(std::make_shared<ads::DZRequest>());
        const bool ended = core::RunLoop::main().runUntil(
            [&] { return owner->finished + owner->failed > before; }, kLimit);
        return ended && owner->failed == 0;
    }
};

void BM_AdCycleColdFirstAd(benchmark::State& state) {
    // The local ad server and its test authority are not part of the SDK's
    // cost; their share is reported beside the total.
    const auto serverStart = Clock::now();
    (void)server();
    state.counters["fixtures_ms"] =
        std::chrono::duration<double, std::milli>(Clock::now() - serverStart).count();
    for (auto _ : state) {
        Banner banner;
        if (!banner.slot || !banner.load()) {
            state.SkipWithError("the first ad did not load");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - processStart).count());
    }
}
BENCHMARK(BM_AdCycleColdFirstAd)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_AdCycleWarm(benchmark::State& state) {
    (void)server();
    static Banner* banner = [] {
        auto* made = new Banner;
        // The first load brings the core page in.
        return made->slot && made->load() ? made : nullptr;
    }();
    if (!banner) {
        state.SkipWithError("the core page or the first ad did not load");
        return;
    }
    for (auto _ : state) {
        if (!banner->load()) state.SkipWithError("a load failed");
    }
}
BENCHMARK(BM_AdCycleWarm)->Apply(benchsupport::repeatedLoads<50>);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
