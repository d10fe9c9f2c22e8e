#include <gtest/gtest.h>

#include "ads/foundation/DZHashing.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileManager.h"
#include "core/NotificationCenter.h"
#include "core/RunLoop.h"
#include "core/URLProtocolRegistry.h"
#include "fixtures/AdServer.h"
#include "support/ManualClockScope.h"

using namespace ads;

namespace {

constexpr double kNetworkLimit = 10.0;

// What a cache told its delegate, in order.
class RecordingDelegate final : public DZResourceCacheDelegate {
public:
    void resourceCacheDidStartCaching(const std::shared_ptr<DZResourceCache>&) override {
        events.push_back("start");
    }
    void resourceCacheDidReceiveResponse(const std::shared_ptr<DZResourceCache>&) override {
        events.push_back("response");
    }
    void resourceCacheDidReceiveData(const std::shared_ptr<DZResourceCache>&) override {
        events.push_back("data");
    }
    void resourceCacheDidSucceedCaching(const std::shared_ptr<DZResourceCache>&) override {
        events.push_back("succeed");
        ended = true;
    }
    void resourceCacheDidFailCachingWithError(const std::shared_ptr<DZResourceCache>&,
                                              const Error& failure) override {
        events.push_back("fail");
        error = failure;
        ended = true;
    }

    std::vector<std::string> events;
    std::optional<Error> error;
    bool ended = false;
};

std::string text(const std::optional<core::Data>& data) {
    return data ? std::string(data->begin(), data->end()) : "<none>";
}

// Answers requests to negative.test with a Content-Length of -5, which no
// server reached through libcurl can.
class NegativeLengthProtocol final : public core::URLProtocol {
public:
    using URLProtocol::URLProtocol;
    void startLoading() override {
        client()->didReceiveResponse(
            core::HTTPURLResponse(request().url(), 200, {{"Content-Length", "-5"}}),
            core::CachedURLResponse::StoragePolicy::notAllowed);
        client()->didLoadData(core::Data{'n', 'e', 'g'});
        client()->didFinishLoading();
    }
    void stopLoading() override {}
};

class NegativeLengthFactory final : public core::URLProtocolFactory {
public:
    [[nodiscard]] bool canInit(const core::URLRequest& request) const override {
        return request.url().host() == "negative.test";
    }
    [[nodiscard]] std::shared_ptr<core::URLProtocol>
    make(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client) const override {
        return std::make_shared<NegativeLengthProtocol>(std::move(request), std::move(client));
    }
};

class DZResourceCacheService : public ::testing::Test {
protected:
    // A cache downloading path into a fresh file, with the recording delegate.
    std::shared_ptr<DZResourceCache> cacheFor(const std::string& path) {
        Error error;
        auto cache = DZResourceCache::createWithCacheID(core::URLRequest(server_.url(path)),
                                                        "resource-" + path, &error);
        EXPECT_TRUE(cache) << error.message;
        cache->setDelegate(delegate_);
        return cache;
    }
    bool runToEnd() {
        return core::RunLoop::main().runUntil([&] { return delegate_->ended; }, kNetworkLimit);
    }
    static bool fileExists(const std::shared_ptr<DZResourceCache>& cache) {
        return core::FileManager::fileExists(*cache->fileURL().fileSystemPath());
    }

    fixtures::AdServer server_;
    std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
};

}  // namespace

TEST_F(DZResourceCacheService, DownloadsIntoTheFileNamedByTheCacheID) {
    server_.serve("/video", fixtures::LoopbackResponse::bytes(std::string(3000, 'v'), "video/mp4"));
    const auto cache = cacheFor("/video");
    const auto again = DZResourceCache::createWithCacheID(core::URLRequest(server_.url("/video")),
                                                          "resource-/video", nullptr);
    EXPECT_EQ(cache->fileURL(), again->fileURL());
    EXPECT_EQ(cache->fileURL().lastPathComponent(), DZStringHashHex("resource-/video") + ".gcache");
    int updates = 0;
    const auto token = core::NotificationCenter::defaultCenter().addObserver(
        std::string(kDZResourceCacheDidUpdateCacheNotification), cache.get(), nullptr,
        [&](const core::Notification&) { ++updates; });

    cache->start();
    cache->start();
    ASSERT_TRUE(runToEnd());
    core::NotificationCenter::defaultCenter().removeObserver(token);

    ASSERT_GE(delegate_->events.size(), 2u);
    EXPECT_EQ(delegate_->events.front(), "start");
    EXPECT_EQ(delegate_->events[1], "response");
    EXPECT_EQ(delegate_->events.back(), "succeed");
    const auto chunks = std::count(delegate_->events.begin(), delegate_->events.end(), "data");
    EXPECT_EQ(updates, chunks + 2);  // every chunk, the response and the end
    EXPECT_TRUE(cache->completed());
    EXPECT_TRUE(cache->valid());
    EXPECT_EQ(cache->cachedContentSize(), 3000);
    EXPECT_EQ(cache->contentType(), "video/mp4");
    EXPECT_EQ(cache->contentLength(), 3000);
    EXPECT_EQ(cache->networkSpeedInBytesPerSecond(), -1.0);
    EXPECT_EQ(server_.requestsTo("/video").size(), 1u);

    cache->cancelWithError(DZErrorWithCodeDescription(kDZErrorInternalError, "late"));
    EXPECT_TRUE(cache->valid());
    EXPECT_TRUE(fileExists(cache));
}

TEST_F(DZResourceCacheService, LengthFromContentRangeWhenNoContentLength) {
    auto answer = fixtures::LoopbackResponse::bytes(std::string(100, 'r'));
    answer.status = 206;
    answer.unsized = true;
    answer.headers.set("Content-Range", "Bytes  100-199/1000");
    server_.serve("/part", answer);
    const auto cache = cacheFor("/part");
    cache->start();
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(cache->responseHeadersReceived());
    EXPECT_EQ(cache->contentLength(), 100);
    EXPECT_FALSE(cache->responseHeaders().contains("Content-Length"));
    EXPECT_EQ(cache->responseHeaders()["Content-Range"].stringValue(), "Bytes  100-199/1000");
}

TEST_F(DZResourceCacheService, LengthsOutOfRangeCountAsUnknown) {
    for (const char* range :
         {"bytes 0-9223372036854775807/*", "bytes 0-99999999999999999999/*", "bytes 5-4/10"}) {
        SCOPED_TRACE(range);
        delegate_ = std::make_shared<RecordingDelegate>();
        auto answer = fixtures::LoopbackResponse::bytes("part");
        answer.status = 206;
        answer.unsized = true;
        answer.headers.set("Content-Range", range);
        const std::string path = "/range" + std::to_string(server_.requests().size());
        server_.serve(path, answer);
        const auto cache = cacheFor(path);
        cache->start();
        ASSERT_TRUE(runToEnd());
        ASSERT_FALSE(delegate_->events.empty());
        EXPECT_EQ(delegate_->events.back(), "succeed");
        EXPECT_EQ(cache->contentLength(), 0);
        EXPECT_EQ(cache->cachedContentSize(), 4);
    }
}

TEST_F(DZResourceCacheService, NegativeContentLengthCountsAsUnknown) {
    const auto factory = std::make_shared<NegativeLengthFactory>();
    core::URLProtocolRegistry::shared().registerFactory(factory);
    const auto cache = DZResourceCache::createWithCacheID(
        core::URLRequest(*core::URL::create("http://negative.test/video")), "negative", nullptr);
    cache->setDelegate(delegate_);
    cache->start();
    const bool ended = runToEnd();
    core::URLProtocolRegistry::shared().unregisterFactory(factory);
    ASSERT_TRUE(ended);
    ASSERT_FALSE(delegate_->events.empty());
    EXPECT_EQ(delegate_->events.back(), "succeed");
    EXPECT_EQ(cache->contentLength(), 0);
    EXPECT_EQ(cache->cachedContentSize(), 3);
}

TEST_F(DZResourceCacheService, RefusesWhatTheDiskCannotHold) {
    // A byte limit beyond any disk: only the free space can refuse it.
    server_.serve("/exabyte", fixtures::LoopbackResponse::filler(1ULL << 60));
    const auto cache = cacheFor("/exabyte");
    cache->setMaxBytes(INT64_MAX);
    cache->start();
    ASSERT_TRUE(runToEnd());
    ASSERT_TRUE(delegate_->error);
    EXPECT_EQ(delegate_->error->code, kDZErrorInternalError);
    EXPECT_NE(delegate_->error->message.find("Not enough free space to cache 1152921504606846976"),
              std::string::npos)
        << delegate_->error->message;
    EXPECT_FALSE(fileExists(cache));
    EXPECT_EQ(cache->cachedContentSize(), 0);
}

TEST_F(DZResourceCacheService, StatusDecidesValidity) {
    struct Case {
        int status;
        bool valid;
    };
    for (const Case c : {Case{404, false}, Case{500, false}, Case{304, true}}) {
        SCOPED_TRACE(c.status);
        delegate_ = std::make_shared<RecordingDelegate>();
        const std::string path = "/status" + std::to_string(c.status);
        server_.serve(path, fixtures::LoopbackResponse::text("body", c.status));
        const auto cache = cacheFor(path);
        cache->start();
        ASSERT_TRUE(runToEnd());
        EXPECT_EQ(cache->valid(), c.valid);
        EXPECT_TRUE(cache->completed());
        EXPECT_EQ(fileExists(cache), c.valid);
        if (c.valid) continue;
        ASSERT_TRUE(delegate_->error);
        EXPECT_EQ(delegate_->error->code, kDZErrorNetworkError);
        EXPECT_EQ(delegate_->error->message, "Invalid response received.");
        EXPECT_EQ(std::count(delegate_->events.begin(), delegate_->events.end(), "response"), 0);
        EXPECT_FALSE(DZResourceCacheCanServeRange(cache, 0, 0, 100));
    }
}

TEST_F(DZResourceCacheService, StopsSuccessfullyAtTheByteLimit) {
    auto answer = fixtures::LoopbackResponse::bytes(std::string(3000, 'x'));
    answer.chunkSize = 600;
    auto gate = std::make_shared<fixtures::ResponseGate>();
    answer.meteredBy(gate);
    server_.serve("/big", answer);
    const auto cache = cacheFor("/big");
    cache->setMaxBytes(1000);
    cache->start();
    gate->openTo(600);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return cache->cachedContentSize() == 600; },
                                               kNetworkLimit));
    EXPECT_FALSE(cache->completed());
    gate->openTo(1200);
    ASSERT_TRUE(runToEnd());
    gate->release();
    ASSERT_FALSE(delegate_->events.empty());
    EXPECT_EQ(delegate_->events.back(), "succeed");
    EXPECT_EQ(cache->cachedContentSize(), 1200);
    EXPECT_TRUE(cache->valid());
    EXPECT_EQ(core::FileManager::fileSize(*cache->fileURL().fileSystemPath()).value(), 1200u);
}

TEST_F(DZResourceCacheService, ReadersStreamTheFileWhileItGrows) {
    std::string body;
    for (int i = 0; i < 2000; ++i) body.push_back(static_cast<char>('a' + i % 26));
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server_.serve("/stream", fixtures::LoopbackResponse::bytes(body).meteredBy(gate));
    const auto cache = cacheFor("/stream");
    cache->start();
    gate->openTo(500);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return cache->cachedContentSize() == 500; },
                                               kNetworkLimit));

    Error error;
    EXPECT_EQ(text(cache->dataWithRange(100, 10, &error)), body.substr(100, 10));
    // Never past what the file holds, however much is asked for.
    EXPECT_EQ(text(cache->dataWithRange(490, UINT64_MAX, &error)), body.substr(490, 10));
    EXPECT_EQ(text(cache->dataWithRange(500, 1, &error)), "<none>");
    EXPECT_EQ(text(cache->dataWithRange(0, 0, &error)), "<none>");
    EXPECT_TRUE(error.domain.empty());

    gate->openTo(2000);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(text(cache->dataWithRange(1500, 600, &error)), body.substr(1500));
    EXPECT_TRUE(error.domain.empty());
}

TEST_F(DZResourceCacheService, CancelDeletesThePartialFile) {
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server_.serve("/held",
                  fixtures::LoopbackResponse::bytes(std::string(1000, 'h')).meteredBy(gate));
    const auto cache = cacheFor("/held");
    cache->start();
    gate->openTo(100);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return cache->cachedContentSize() == 100; },
                                               kNetworkLimit));
    cache->cancelWithError(DZErrorWithCodeDescription(kDZErrorInternalError, "stop"));
    ASSERT_TRUE(runToEnd());
    gate->release();
    ASSERT_TRUE(delegate_->error);
    EXPECT_EQ(delegate_->error->message, "stop");
    EXPECT_FALSE(cache->valid());
    EXPECT_FALSE(fileExists(cache));
}

TEST_F(DZResourceCacheService, ServeRangeWeighsTheWaitAgainstTheSpeed) {
    testsupport::ManualClockScope clock;
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server_.serve("/slow",
                  fixtures::LoopbackResponse::bytes(std::string(5000, 's')).meteredBy(gate));
    const auto cache = cacheFor("/slow");
    EXPECT_FALSE(DZResourceCacheCanServeRange(cache, 0, 0, 100));  // not started
    cache->start();
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return cache->started(); }, kNetworkLimit));
    // Started with nothing measured yet: the byte may come at any time.
    EXPECT_TRUE(DZResourceCacheCanServeRange(cache, 0, 4000, 0));
    gate->openTo(1000);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return cache->cachedContentSize() == 1000; },
                                               kNetworkLimit));
    clock.advance(1.0);
    EXPECT_DOUBLE_EQ(cache->networkSpeedInBytesPerSecond(), 1000.0);

    // The cache covers bytes 200..1199 of the resource.
    EXPECT_TRUE(DZResourceCacheCanServeRange(cache, 200, 1199, 0));
    EXPECT_FALSE(DZResourceCacheCanServeRange(cache, 200, 199, 100));
    EXPECT_FALSE(DZResourceCacheCanServeRange(cache, 200, 1200, 0.0009));
    EXPECT_TRUE(DZResourceCacheCanServeRange(cache, 200, 1200, 0.001));
    EXPECT_FALSE(DZResourceCacheCanServeRange(cache, 200, 2199, 0.999));
    EXPECT_TRUE(DZResourceCacheCanServeRange(cache, 200, 2199, 1.0));
    EXPECT_FALSE(DZResourceCacheCanServeRange(nullptr, 0, 0, 100));

    // Offsets near the end of the int64 range: nothing wraps around.
    constexpr std::int64_t kLast = INT64_MAX;
    EXPECT_FALSE(DZResourceCacheCanServeRange(cache, 200, kLast, 100));
    EXPECT_FALSE(DZResourceCacheCanServeRange(cache, kLast - 100, kLast, 100));

    gate->release();
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(DZResourceCacheCanServeRange(cache, 0, 5000, 100));  // will never arrive
    EXPECT_TRUE(DZResourceCacheCanServeRange(cache, 0, 4999, 0));
    EXPECT_FALSE(DZResourceCacheCanServeRange(cache, kLast - 10, kLast, 0));
}

TEST(DZResourceCache, WrapsACompleteFile) {
    const auto folder = core::FileManager::folderPath(core::Folder::Temporary);
    ASSERT_TRUE(core::FileManager::createDirectory(folder, true));
    const std::string path = folder + "/wrapped.bin";
    ASSERT_TRUE(core::FileManager::writeAtomically(path, std::string_view("0123456789")));
    auto cache = DZResourceCache::create(core::URLRequest(*core::URL::create("https://a.test/v")),
                                         core::URL::fileURL(path), "video/mp4", 10, true);
    EXPECT_TRUE(cache->started() && cache->completed() && cache->responseHeadersReceived());
    EXPECT_EQ(cache->cachedContentSize(), 10);
    EXPECT_EQ(text(cache->dataWithRange(8, 5, nullptr)), "89");
    cache->start();  // already complete: no download
    EXPECT_EQ(cache->cachedContentSize(), 10);
    cache.reset();
    EXPECT_FALSE(core::FileManager::fileExists(path));

    const auto missing = DZResourceCache::create(
        core::URLRequest(*core::URL::create("https://a.test/v")),
        core::URL::fileURL(folder + "/missing.bin"), std::nullopt, 0, false);
    EXPECT_EQ(missing->cachedContentSize(), 0);
    EXPECT_FALSE(DZResourceCache::createWithCacheID(
        core::URLRequest(*core::URL::create("https://a.test/v")), "", nullptr));
}
