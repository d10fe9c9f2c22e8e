// The public banner view from loadRequest to its delegate's
// adViewDidReceiveAd against the local ad server over HTTPS (loopback), on
// the real clock, with the core page and the web process warm (a first load
// is made before measuring): median and p95 over 30 loads, in milliseconds.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Percentile.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "core/RunLoop.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/AdServer.h"
#include "fixtures/TestCertificates.h"
#include "ui/ViewController.h"

namespace {

constexpr double kLimit = 30;

fixtures::AdServer& server() {
    static auto* instance = [] {
        auto* made = new fixtures::AdServer;
        setenv(core::kTrustedCertificatesFileVariable,
               fixtures::TestCertificates::shared().authorityFile().c_str(), 1);
        ads::DZServerHosts::setAdServerHost("127.0.0.1:" +
                                            std::to_string(made->server().securePort()));
        return made;
    }();
    return *instance;
}

class Delegate : public ads::DZBannerViewDelegate {
public:
    void adViewDidReceiveAd(ads::DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(ads::DZBannerView&, const ads::DZRequestError&) override {
        ++failed;
    }
    int received = 0;
    int failed = 0;
};

struct Banner {
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();
    std::shared_ptr<ui::ViewController> controller = std::make_shared<ui::ViewController>();
    std::shared_ptr<ads::DZSDKCoreController> core = ads::DZSDKCoreController::create();
    std::shared_ptr<ads::DZBannerView> view =
        ads::DZBannerView::createWithAdSize(ads::kDZAdSizeBanner);

    Banner() {
        if (!view) return;
        view->setDelegate(delegate);
        view->setRootViewController(controller);
        view->setAdUnitID("bench/banner");
        view->slot()->setSDKCoreController(core);
    }
    // One load to its end; false when it failed or did not end in time.
    bool load() {
        const int before = delegate->received + delegate->failed;
        view->loadRequest(std::make_shared<ads::DZRequest>());
        const bool ended = core::RunLoop::main().runUntil(
            [&] { return delegate->received + delegate->failed > before; }, kLimit);
        return ended && delegate->failed == 0;
    }
};

void BM_BannerLoadToReceivedAd(benchmark::State& state) {
    (void)server();
    static Banner* banner = [] {
        auto* made = new Banner;
        return made->view && made->load() ? made : nullptr;
    }();
    if (!banner) {
        state.SkipWithError("the core page or the first ad did not load");
        return;
    }
    for (auto _ : state) {
        if (!banner->load()) state.SkipWithError("a load failed");
    }
}
BENCHMARK(BM_BannerLoadToReceivedAd)->Apply(benchsupport::repeatedLoads<30>);

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
