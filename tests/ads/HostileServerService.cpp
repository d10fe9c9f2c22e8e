// Every SDK load against a server that misbehaves on purpose: an answer
// that never ends, one that announces 10 GB, one that sends a byte every two
// seconds, one that goes quiet, and a redirect with a 100 MB body. Each load
// must end within its limit, with its error where it fails, and the
// process's memory staying bounded.
//
// The loads: a page load of a "UI"-kind web view (through the app's proxy,
// which loads it with core::URLConnection), the ad fetcher, and the
// resource cache.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "AdFetcherTesting.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileManager.h"
#include "core/NetworkError.h"
#include "core/RunLoop.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"
#include "web/WebView.h"
#include "web/proxy/ProxyExchange.h"

using namespace ads;

namespace {

constexpr std::int64_t kMegabyte = 1024 * 1024;
// Real time any load may take to end once its limit is reached.
constexpr double kEndLimit = 20.0;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasuresMemory = false;  // freed memory stays in quarantine
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMeasuresMemory = false;
#else
constexpr bool kMeasuresMemory = true;
#endif
#else
constexpr bool kMeasuresMemory = true;
#endif

// The highest resident size of the process while it runs, sampled.
class ResidentMemoryWatch {
public:
    ResidentMemoryWatch() : start_(resident()), peak_(start_) {
        thread_ = std::thread([this] {
            while (!stop_) {
                std::int64_t now = resident();
                std::int64_t seen = peak_.load();
                while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~ResidentMemoryWatch() {
        stop_ = true;
        thread_.join();
    }
    ResidentMemoryWatch(const ResidentMemoryWatch&) = delete;
    ResidentMemoryWatch& operator=(const ResidentMemoryWatch&) = delete;

    [[nodiscard]] std::int64_t growth() const { return peak_.load() - start_; }

private:
    static std::int64_t resident() {
        std::ifstream statm("/proc/self/statm");
        std::int64_t size = 0;
        std::int64_t pages = 0;
        statm >> size >> pages;
        return pages * sysconf(_SC_PAGESIZE);
    }

    const std::int64_t start_;
    std::atomic<std::int64_t> peak_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// How a load ended.
struct Ending {
    bool ended = false;
    bool failed = false;
    std::string domain;
    long code = 0;
    std::string message;
};

// A load under way: what keeps it alive, and whether its bytes flow.
struct Load {
    std::shared_ptr<void> owner;
    std::function<bool()> flowing = [] { return true; };
};
// Starts one kind of load of a URL; the load fills in the ending.
using Loader = std::function<Load(const core::URL&, std::shared_ptr<Ending>)>;

class PageEnding final : public web::WebViewDelegate {
public:
    explicit PageEnding(std::shared_ptr<Ending> ending) : ending_(std::move(ending)) {}
    void didCommitLoad(web::WebView&) override { committed = true; }
    void didFinishLoad(web::WebView&) override { ending_->ended = true; }
    void didFailLoad(web::WebView&, const web::LoadError& error) override {
        *ending_ = {true, true, "core.network", error.code, error.message};
    }

    // The engine had the document's first bytes: they went through the proxy.
    bool committed = false;

private:
    std::shared_ptr<Ending> ending_;
};

Load pageLoad(const core::URL& url, std::shared_ptr<Ending> ending) {
    web::WebViewConfiguration configuration;
    configuration.kind = web::WebViewConfiguration::Kind::UI;
    auto view = web::WebView::create({0, 0, 320, 50}, configuration);
    EXPECT_TRUE(view);
    if (!view) return {};
    auto delegate = std::make_shared<PageEnding>(std::move(ending));
    view->setDelegate(delegate);
    view->loadRequest(core::URLRequest(url));
    return {std::make_shared<std::pair<std::shared_ptr<web::WebView>, std::shared_ptr<PageEnding>>>(
                std::move(view), delegate),
            [delegate] { return delegate->committed; }};
}

struct FetchEnding : adfetchertesting::FetchRecorder {
    explicit FetchEnding(std::shared_ptr<Ending> ending) : ending_(std::move(ending)) {}
    void didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) override {
        FetchRecorder::didFetchAd(fetcher, ad);
        ending_->ended = true;
    }
    void didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad,
                          const Error& failure, int status) override {
        FetchRecorder::didFailToFetchAd(fetcher, ad, failure, status);
        *ending_ = {true, true, failure.domain, failure.code, failure.message};
    }
    std::shared_ptr<Ending> ending_;
};

Load adFetch(const core::URL& url, std::shared_ptr<Ending> ending) {
    auto fetcher = std::make_shared<DZAdFetcher>();
    auto delegate = std::make_shared<FetchEnding>(ending);
    Error error;
    EXPECT_TRUE(fetcher->fetchRequestURL(core::URLRequest(url), delegate, &error)) << error.message;
    return {std::make_shared<std::pair<std::shared_ptr<DZAdFetcher>, std::shared_ptr<FetchEnding>>>(
        fetcher, delegate)};
}

class CacheEnding final : public DZResourceCacheDelegate {
public:
    explicit CacheEnding(std::shared_ptr<Ending> ending) : ending_(std::move(ending)) {}
    void resourceCacheDidSucceedCaching(const std::shared_ptr<DZResourceCache>&) override {
        ending_->ended = true;
    }
    void resourceCacheDidFailCachingWithError(const std::shared_ptr<DZResourceCache>&,
                                              const Error& failure) override {
        *ending_ = {true, true, failure.domain, failure.code, failure.message};
    }

private:
    std::shared_ptr<Ending> ending_;
};

struct CacheLoad {
    std::shared_ptr<DZResourceCache> cache;
    std::shared_ptr<CacheEnding> delegate;
};

Load cacheDownload(const core::URL& url, std::shared_ptr<Ending> ending) {
    Error error;
    auto cache = DZResourceCache::createWithCacheID(core::URLRequest(url),
                                                    "hostile " + url.absoluteString(), &error);
    EXPECT_TRUE(cache) << error.message;
    auto delegate = std::make_shared<CacheEnding>(ending);
    cache->setDelegate(delegate);
    cache->start();
    return {std::make_shared<CacheLoad>(CacheLoad{cache, delegate}),
            [cache] { return cache->cachedContentSize() > 0; }};
}

class HostileServerService : public ::testing::Test {
protected:
    static fixtures::LoopbackResponse asDocument(fixtures::LoopbackResponse response) {
        response.headers.set("Content-Type", "text/html");
        return response;
    }

    HostileServerService() {
        // As documents, which a web view shows rather than refuses.
        server_.on("GET", "/endless", [](const auto&) {
            return asDocument(fixtures::LoopbackResponse::endlessFiller());
        });
        server_.on("GET", "/ten-gigabytes", [](const auto&) {
            return asDocument(fixtures::LoopbackResponse::filler(10ULL * 1024 * 1024 * 1024));
        });
        server_.on("GET", "/trickle", [](const auto&) {
            auto response = fixtures::LoopbackResponse::bytes(std::string(1000, 't'));
            response.chunkSize = 1;
            response.chunkDelayMs = 2000;
            return response;
        });
        server_.on("GET", "/quiet", [this](const auto&) {
            return asDocument(fixtures::LoopbackResponse::text(std::string(8192, 'q')))
                .meteredBy(quiet_);
        });
        quiet_->openTo(4096);
        server_.on("GET", "/redirect", [](const auto&) {
            auto response = fixtures::LoopbackResponse::filler(100 * kMegabyte, 302);
            response.headers.set("Location", "/never");
            return response;
        });
        // Only a page load follows the redirect here.
        server_.on("GET", "/never", [](const auto&) {
            return fixtures::LoopbackResponse::text("<p>arrived</p>", 200, "text/html");
        });
    }

    void TearDown() override {
        if (kMeasuresMemory) {
            EXPECT_LT(memory_.growth(), 200 * kMegabyte)
                << "the resident size grew by " << memory_.growth() / kMegabyte << " MB";
        }
        std::cout << "[ memory   ] resident growth " << memory_.growth() / kMegabyte << " MB\n";
    }

    // Runs a load of path until it ends; no clock is advanced.
    Ending run(const Loader& loader, const std::string& path, double limit = kEndLimit) {
        auto ending = std::make_shared<Ending>();
        const Load load = loader(server_.url(path), ending);
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return ending->ended; }, limit))
            << path << " did not end";
        return *ending;
    }

    // Runs a load of the trickling answer (or another that starts at once):
    // it must end when the clock reaches limit, not before.
    Ending trickle(const Loader& loader, double limit, const std::string& path = "/trickle") {
        testsupport::ManualClockScope clock;
        auto ending = std::make_shared<Ending>();
        const Load load = loader(server_.url(path), ending);
        // The first byte comes at once; the next two seconds later.
        EXPECT_TRUE(core::RunLoop::main().runUntil(
            [&] { return !server_.requests().empty() && load.flowing(); }, kEndLimit));
        clock.advance(limit - 1);
        EXPECT_FALSE(core::RunLoop::main().runUntil([&] { return ending->ended; }, 0.3));
        clock.advance(1);
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return ending->ended; }, kEndLimit));
        return *ending;
    }

    static void expectNetworkFailure(const Ending& ending, core::NetworkError::Code code,
                                     const std::string& mentioned) {
        EXPECT_TRUE(ending.ended && ending.failed);
        EXPECT_EQ(ending.domain, "core.network");
        EXPECT_EQ(ending.code, core::NetworkError::platformCode(code)) << ending.message;
        EXPECT_NE(ending.message.find(mentioned), std::string::npos) << ending.message;
    }

    // Holds /quiet after its first 4 KB (enough for the engine to show it).
    const std::shared_ptr<fixtures::ResponseGate> quiet_ = fixtures::ResponseGate::make();
    fixtures::LoopbackServer server_;
    ResidentMemoryWatch memory_;
};

using Code = core::NetworkError::Code;

}  // namespace

// The engine shows an endless document as it comes until its web process
// goes over its memory limit (laid out, a few MB of filler are costly),
// which fails the load: a proxied page load has no size bound of its own.
// The app's own memory stays bounded, a redirect's long body included.
TEST_F(HostileServerService, PageLoadsOfEndlessDocumentsEndWithTheEngine) {
    // The engine's web process takes a while to fill its memory: seconds
    // alone, minutes on a busy machine.
    const Ending endless = run(pageLoad, "/endless", 10 * kEndLimit);
    EXPECT_TRUE(endless.ended && endless.failed);
    EXPECT_EQ(endless.code, web::LoadError::kWebProcessTerminated) << endless.message;
    // The engine follows a redirect however long its body, as it does alone.
    const Ending redirected = run(pageLoad, "/redirect");
    EXPECT_TRUE(redirected.ended);
    EXPECT_FALSE(redirected.failed) << redirected.message;
    EXPECT_EQ(server_.requestsTo("/never").size(), 1u);
}

// A proxied page load has no deadline: it ends once its server has sent
// nothing for the proxy's idle limit.
TEST_F(HostileServerService, PageLoadsEndOnceTheirServerGoesQuiet) {
    expectNetworkFailure(trickle(pageLoad, web::proxy::Exchange::kIdleSeconds, "/quiet"),
                         Code::timedOut, "no data for 1800 s");
}

// The fetcher reports SDK errors by status: 2 after a response arrived, 13
// (with -1) without one.
TEST_F(HostileServerService, AdFetchesStopAtTheResponseLimit) {
    for (const char* path : {"/endless", "/ten-gigabytes", "/redirect"}) {
        SCOPED_TRACE(path);
        const Ending ending = run(adFetch, path);
        EXPECT_TRUE(ending.ended && ending.failed);
        EXPECT_EQ(ending.domain, kDZErrorDomain);
        EXPECT_EQ(ending.code, std::string(path) == "/endless" ? kDZErrorNetworkError
                                                               : kDZErrorReceivedInvalidResponse);
    }
    EXPECT_TRUE(server_.requestsTo("/never").empty());
}

TEST_F(HostileServerService, AdFetchesEndAtTheirDeadline) {
    const Ending ending = trickle(adFetch, kDZLoadDeadline);
    EXPECT_TRUE(ending.ended && ending.failed);
    EXPECT_EQ(ending.code, kDZErrorNetworkError);
}

TEST_F(HostileServerService, CacheDownloadsStopAtTheCacheLimitAndLeaveNoFile) {
    const std::string limit = std::to_string(DZResourceCache::kDefaultMaxBytes);
    for (const char* path : {"/endless", "/ten-gigabytes"}) {
        SCOPED_TRACE(path);
        const Ending ending = run(cacheDownload, path);
        expectNetworkFailure(ending, Code::dataLengthExceedsMaximum, limit);
    }
    expectNetworkFailure(run(cacheDownload, "/redirect"), Code::dataLengthExceedsMaximum,
                         "The redirect response of");
    for (const char* path : {"/endless", "/ten-gigabytes", "/redirect"}) {
        const auto file = DZResourceCache::fileURLForCacheID(
            "hostile " + server_.url(path).absoluteString(), nullptr);
        ASSERT_TRUE(file);
        EXPECT_FALSE(core::FileManager::fileExists(*file->fileSystemPath())) << path;
    }
}

TEST_F(HostileServerService, CacheDownloadsEndWhenBytesComeTooSlowly) {
    expectNetworkFailure(trickle(cacheDownload, kDZDownloadLowSpeedTime), Code::timedOut,
                         "fewer than 1024 bytes a second for 30 s");
}
