// Sequential small GETs on loopback through DZURLConnection, the ad fetcher's
// transport: 1,000 requests over plain HTTP and 1,000 over HTTPS (the local
// ad server's TLS port, its test authority trusted through VANTOR_CA_FILE).
// The reported time is the time per request, start to finish callback. The
// local server takes one request per connection, so every HTTPS request
// includes a full TLS handshake.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "ads/web/net/DZURLConnection.h"
#include "core/RunLoop.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/AdServer.h"
#include "fixtures/TestCertificates.h"

namespace {

constexpr int kRequests = 1000;

fixtures::AdServer& server() {
    static auto* const adServer = [] {
        auto* created = new fixtures::AdServer();
        created->serve("/ad", fixtures::LoopbackResponse::text("<div>a small ad</div>", 200,
                                                               "text/html; charset=utf-8"));
        return created;
    }();
    return *adServer;
}

struct Outcome : ads::DZURLConnectionDelegate {
    bool ended = false;
    bool finished = false;

    std::optional<ads::Error> shouldRedirectToURL(ads::DZURLConnection&,
                                                  const core::URL&) override {
        return std::nullopt;
    }
    void willPerformRedirect(ads::DZURLConnection&, const ads::DZURLConnectionRedirect&) override {}
    bool loadShouldUseCacheForResponse(ads::DZURLConnection&,
                                       const core::HTTPURLResponse&) override {
        return false;
    }
    void loadDidReceiveCachedResponse(ads::DZURLConnection&,
                                      const core::HTTPURLResponse&) override {}
    void loadDidFinish(ads::DZURLConnection&, const std::optional<std::string>& text,
                       const std::optional<core::URL>&) override {
        finished = text.has_value();
        ended = true;
    }
    void loadDidFail(ads::DZURLConnection&, const std::optional<ads::Error>&, int) override {
        ended = true;
    }
};

void BM_DZURLConnectionGET(benchmark::State& state, bool secure) {
    const core::URL url = secure ? server().secureURL("/ad") : server().url("/ad");
    for (auto _ : state) {
        auto connection = std::make_shared<ads::DZURLConnection>();
        auto outcome = std::make_shared<Outcome>();
        if (!connection->startWithRequestURL(core::URLRequest(url), outcome, nullptr) ||
            !core::RunLoop::main().runUntil([&] { return outcome->ended; }, 10.0) ||
            !outcome->finished) {
            state.SkipWithError("a request did not finish");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_DZURLConnectionGET, http, false)
    ->Iterations(kRequests)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_DZURLConnectionGET, https, true)
    ->Iterations(kRequests)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    core::RunLoop::bindMainToCurrentThread();
    setenv(core::kTrustedCertificatesFileVariable,
           fixtures::TestCertificates::shared().authorityFile().c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
