// Sequential small GETs on loopback through DZURLConnection, the ad fetcher's
// transport: 1,000 requests over plain HTTP and 1,000 over HTTPS (the local
// ad server's TLS port, its test authority trusted through VANTOR_CA_FILE).
// The reported time is the time per request, start to finish callback. The
// local server takes one request per connection, so every HTTPS request
// includes a TLS handshake: a full one, unless the client resumes the
// session of the one before.
//
// BM_LibcurlGET does the same with libcurl used directly, one easy handle
// reused for every request, against the same server in the same run: the
// yardstick for the URL layer's own cost (the goal is within 1.05x of it
// over HTTPS).

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "ads/web/net/DZURLConnection.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/URLSession.h"
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

// The same through a core::URLSession data task, without the SDK's
// connection on top.
void BM_URLSessionGET(benchmark::State& state, bool secure) {
    const core::URL url = secure ? server().secureURL("/ad") : server().url("/ad");
    const auto session = core::URLSession::create();
    for (auto _ : state) {
        bool ended = false;
        bool finished = false;
        auto task = session->dataTask(
            core::URLRequest(url),
            [&](core::Data body, std::optional<core::HTTPURLResponse>,
                std::optional<core::NetworkError> error) {
                finished = !error && !body.empty();
                ended = true;
            },
            core::Queue::main());
        task->resume();
        if (!core::RunLoop::main().runUntil([&] { return ended; }, 10.0) || !finished) {
            state.SkipWithError("a request did not finish");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_URLSessionGET, http, false)
    ->Iterations(kRequests)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_URLSessionGET, https, true)
    ->Iterations(kRequests)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

size_t keepBody(char* bytes, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(bytes, size * count);
    return size * count;
}

void BM_LibcurlGET(benchmark::State& state, bool secure) {
    const std::string url =
        (secure ? server().secureURL("/ad") : server().url("/ad")).absoluteString();
    const std::string authorities = fixtures::TestCertificates::shared().authorityFile();
    CURL* easy = curl_easy_init();
    std::string body;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(easy, CURLOPT_CAINFO, authorities.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &keepBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    for (auto _ : state) {
        body.clear();
        if (curl_easy_perform(easy) != CURLE_OK || body.empty()) {
            state.SkipWithError("a request did not finish");
            break;
        }
    }
    curl_easy_cleanup(easy);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_LibcurlGET, http, false)
    ->Iterations(kRequests)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_LibcurlGET, https, true)
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
