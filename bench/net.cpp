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
// yardstick for the URL layer's own cost.
//
// BM_URLSessionVersusLibcurl/https pairs them: 500 rounds, each a request
// through a URL session data task and one through libcurl directly, in
// turns (who goes first alternates); it reports the median of each and
// their ratio, which the summary prints (goal: at most 1.0x over HTTPS).

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

struct Paired {
    double ours = 0;
    double libcurl = 0;
};
Paired paired;

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_URLSessionVersusLibcurl(benchmark::State& state, bool secure) {
    const core::URL url = secure ? server().secureURL("/ad") : server().url("/ad");
    const auto session = core::URLSession::create();
    const std::string authorities = fixtures::TestCertificates::shared().authorityFile();
    CURL* easy = curl_easy_init();
    std::string body;
    const std::string text = url.absoluteString();
    curl_easy_setopt(easy, CURLOPT_URL, text.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(easy, CURLOPT_CAINFO, authorities.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &keepBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    using Clock = std::chrono::steady_clock;
    const auto ours = [&]() -> double {
        bool ended = false;
        bool finished = false;
        const auto start = Clock::now();
        auto task = session->dataTask(
            core::URLRequest(url),
            [&](core::Data data, std::optional<core::HTTPURLResponse>,
                std::optional<core::NetworkError> error) {
                finished = !error && !data.empty();
                ended = true;
            },
            core::Queue::main());
        task->resume();
        if (!core::RunLoop::main().runUntil([&] { return ended; }, 10.0) || !finished) return -1;
        return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    };
    const auto direct = [&]() -> double {
        body.clear();
        const auto start = Clock::now();
        if (curl_easy_perform(easy) != CURLE_OK || body.empty()) return -1;
        return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    };
    std::vector<double> oursTimes, libcurlTimes;
    bool first = true;
    for (auto _ : state) {
        const double a = first ? ours() : direct();
        const double b = first ? direct() : ours();
        if (a < 0 || b < 0) {
            state.SkipWithError("a request did not finish");
            break;
        }
        oursTimes.push_back(first ? a : b);
        libcurlTimes.push_back(first ? b : a);
        first = !first;
    }
    curl_easy_cleanup(easy);
    paired = {medianOf(oursTimes), medianOf(libcurlTimes)};
    state.counters["ours_us"] = paired.ours;
    state.counters["libcurl_us"] = paired.libcurl;
    state.counters["ratio"] = paired.ours / paired.libcurl;
}
BENCHMARK_CAPTURE(BM_URLSessionVersusLibcurl, https, true)
    ->Iterations(500)
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
    if (paired.libcurl > 0) {
        std::printf("\nHTTPS GET, median of paired runs: URL session %.1f us, libcurl %.1f us, "
                    "ratio %.3fx (goal: at most 1.0x)\n",
                    paired.ours, paired.libcurl, paired.ours / paired.libcurl);
    }
    return 0;
}
