#include <gtest/gtest.h>

#include "ads/web/cache/DZVersionedCache.h"
#include "core/RunLoop.h"
#include "fixtures/AdServer.h"

using namespace ads;

namespace {

constexpr const char* kCacheID = "versioned_cache_test";

class DZVersionedCacheService : public ::testing::Test {
protected:
    void SetUp() override { DZVersionedCache::removeStoredCache(kCacheID); }
    void TearDown() override { DZVersionedCache::removeStoredCache(kCacheID); }

    // Runs the update and waits for its block; checks it did not run inline.
    static std::optional<Error> update(DZVersionedCache& cache, const core::URL& url,
                                       const std::string& version) {
        bool called = false;
        std::optional<Error> result;
        cache.updateWithURL(url, version, [&](std::optional<Error> error) {
            EXPECT_TRUE(core::RunLoop::isMainThread());
            result = std::move(error);
            called = true;
        });
        EXPECT_FALSE(called);
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return called; }, 10.0));
        return result;
    }

    static std::string text(const std::optional<core::Data>& data) {
        return data ? std::string(data->begin(), data->end()) : "<none>";
    }

    fixtures::AdServer server_;
};

}  // namespace

TEST_F(DZVersionedCacheService, KeepsOneDownloadPerVersionAcrossLaunches) {
    server_.serve("/file", fixtures::LoopbackResponse::text("first"));
    auto cache = DZVersionedCache::create(kCacheID);
    ASSERT_TRUE(cache);
    EXPECT_FALSE(cache->cacheData());
    EXPECT_FALSE(update(*cache, server_.url("/file"), "1"));
    EXPECT_EQ(text(cache->cacheData()), "first");

    const auto unchanged = update(*cache, server_.url("/file"), "1");
    ASSERT_TRUE(unchanged);
    EXPECT_EQ(unchanged->code, kDZErrorInternalError);
    EXPECT_EQ(unchanged->message, "Cache version hasn't changed.");
    EXPECT_EQ(server_.requestsTo("/file").size(), 1u);

    cache = DZVersionedCache::create(kCacheID);
    EXPECT_EQ(text(cache->cacheData()), "first");
    EXPECT_EQ(cache->version(), "1");
    EXPECT_TRUE(update(*cache, server_.url("/file"), "1"));

    server_.serve("/file", fixtures::LoopbackResponse::text("second"));
    EXPECT_FALSE(update(*cache, server_.url("/file"), "2"));
    EXPECT_EQ(text(DZVersionedCache::create(kCacheID)->cacheData()), "second");
    EXPECT_EQ(server_.requestsTo("/file").size(), 2u);
    EXPECT_FALSE(DZVersionedCache::create(""));
}

TEST_F(DZVersionedCacheService, OneUpdateAtATime) {
    server_.serve("/slow", fixtures::LoopbackResponse::text("slow").after(200));
    const auto cache = DZVersionedCache::create(kCacheID);
    int finished = 0;
    std::optional<Error> second;
    cache->updateWithURL(server_.url("/slow"), "1", [&](std::optional<Error>) { ++finished; });
    cache->updateWithURL(server_.url("/slow"), "2", [&](std::optional<Error> error) {
        second = std::move(error);
        ++finished;
    });
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return finished == 2; }, 10.0));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->message, "A cache update is already on progress.");
    EXPECT_EQ(cache->version(), "1");
}

TEST_F(DZVersionedCacheService, FailedDownloadsKeepWhatWasStored) {
    server_.serve("/file", fixtures::LoopbackResponse::text("kept"));
    const auto cache = DZVersionedCache::create(kCacheID);
    EXPECT_FALSE(update(*cache, server_.url("/file"), "1"));

    server_.serve("/file", fixtures::LoopbackResponse::text("missing", 404));
    const auto notFound = update(*cache, server_.url("/file"), "2");
    ASSERT_TRUE(notFound);
    EXPECT_EQ(notFound->code, kDZErrorInternalError);
    EXPECT_EQ(notFound->httpStatus, 404);

    const auto notHTTP = update(*cache, *core::URL::create("file:///etc/hostname"), "3");
    ASSERT_TRUE(notHTTP);
    EXPECT_EQ(notHTTP->code, kDZErrorInternalError);

    EXPECT_EQ(text(cache->cacheData()), "kept");
    EXPECT_EQ(cache->version(), "1");
}
