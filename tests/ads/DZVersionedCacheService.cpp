#include <gtest/gtest.h>

#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHashing.h"
#include "ads/web/cache/DZResourceCache.h"
#include "ads/web/cache/DZVersionedCache.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
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
    EXPECT_EQ(notFound->code, kDZErrorNetworkError);
    EXPECT_EQ(notFound->message, "Invalid response received.");
    EXPECT_EQ(notFound->httpStatus, 404);
    // No partial file of the failed version is left.
    const auto failedFile = DZResourceCache::fileURLForCacheID(cache->cacheID() + ".2", nullptr);
    EXPECT_FALSE(core::FileManager::fileExists(*failedFile->fileSystemPath()));

    const auto notHTTP = update(*cache, *core::URL::create("file:///etc/hostname"), "3");
    ASSERT_TRUE(notHTTP);
    EXPECT_EQ(notHTTP->code, kDZErrorInternalError);

    EXPECT_EQ(text(cache->cacheData()), "kept");
    EXPECT_EQ(cache->version(), "1");
    EXPECT_EQ(text(DZVersionedCache::create(kCacheID)->cacheData()), "kept");
}

TEST_F(DZVersionedCacheService, ANewVersionReplacesRecordFileAndData) {
    server_.serve("/file", fixtures::LoopbackResponse::text("one"));
    const auto cache = DZVersionedCache::create(kCacheID);
    EXPECT_EQ(cache->cacheID(), DZStringHashHex(kCacheID));
    EXPECT_EQ(cache->userDefaultsKey(), "/dozuza/ads/versioned-cache:" + cache->cacheID());
    EXPECT_FALSE(update(*cache, server_.url("/file"), "1"));
    const auto first = *cache->cacheURL();
    EXPECT_EQ(first, DZResourceCache::fileURLForCacheID(cache->cacheID() + ".1", nullptr));

    server_.serve("/file", fixtures::LoopbackResponse::text("two"));
    EXPECT_FALSE(update(*cache, server_.url("/file"), "2"));
    const auto second = *cache->cacheURL();
    EXPECT_NE(second, first);
    EXPECT_FALSE(core::FileManager::fileExists(*first.fileSystemPath()));
    EXPECT_EQ(core::FileManager::readFile(*second.fileSystemPath()).value(), "two");
    EXPECT_EQ(text(cache->cacheData()), "two");
    const auto record = core::UserDefaults::standard()->dictionaryForKey(cache->userDefaultsKey());
    ASSERT_TRUE(record);
    EXPECT_EQ((*record)["url"].stringValue(), second.absoluteString());
    EXPECT_EQ((*record)["version"].stringValue(), "2");

    // A record whose file is gone gives an empty cache, and the next
    // update downloads again.
    ASSERT_TRUE(core::FileManager::removeItem(*second.fileSystemPath()));
    const auto reopened = DZVersionedCache::create(kCacheID);
    EXPECT_FALSE(reopened->cacheData());
    EXPECT_FALSE(reopened->version());
    EXPECT_FALSE(update(*reopened, server_.url("/file"), "2"));
    EXPECT_EQ(text(reopened->cacheData()), "two");
}

TEST_F(DZVersionedCacheService, TakesOverTheEarlierStoreOnce) {
    const auto folder = DZCacheDirectoryPath("versioned", nullptr);
    ASSERT_TRUE(folder);
    const std::string earlier =
        *folder->fileSystemPath() + "/" + *DZMD5HexString(kCacheID) + ".gcache";
    ASSERT_TRUE(core::FileManager::writeAtomically(earlier, std::string_view("3\n1.5script")));

    const auto cache = DZVersionedCache::create(kCacheID);
    EXPECT_EQ(cache->version(), "1.5");
    EXPECT_EQ(text(cache->cacheData()), "script");
    EXPECT_FALSE(core::FileManager::fileExists(earlier));
    EXPECT_FALSE(core::FileManager::fileExists(*folder->fileSystemPath()));

    // From now on the new store holds it, and the same version downloads nothing.
    const auto reopened = DZVersionedCache::create(kCacheID);
    EXPECT_EQ(reopened->version(), "1.5");
    EXPECT_EQ(text(reopened->cacheData()), "script");
    const auto same = update(*reopened, server_.url("/file"), "1.5");
    ASSERT_TRUE(same);
    EXPECT_EQ(same->message, "Cache version hasn't changed.");

    // A damaged earlier store is not taken over.
    DZVersionedCache::removeStoredCache(kCacheID);
    ASSERT_TRUE(DZCacheDirectoryPath("versioned", nullptr));
    ASSERT_TRUE(core::FileManager::writeAtomically(earlier, std::string_view("9\nshort")));
    EXPECT_FALSE(DZVersionedCache::create(kCacheID)->version());
}

TEST_F(DZVersionedCacheService, RefusesFilesTooLargeToHoldInMemory) {
    constexpr auto kLimit = static_cast<size_t>(DZVersionedCache::kMaximumFileBytes);
    server_.serve("/at-limit", fixtures::LoopbackResponse::bytes(std::string(kLimit, 'a')));
    server_.serve("/over-limit", fixtures::LoopbackResponse::bytes(std::string(kLimit + 1, 'o')));
    auto cache = DZVersionedCache::create(kCacheID);
    EXPECT_FALSE(update(*cache, server_.url("/at-limit"), "1"));
    ASSERT_TRUE(cache->cacheData());
    EXPECT_EQ(cache->cacheData()->size(), kLimit);

    const auto refused = update(*cache, server_.url("/over-limit"), "2");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, "Downloaded file is too large.");
    EXPECT_EQ(cache->version(), "1");
    ASSERT_TRUE(cache->cacheData());
    EXPECT_EQ(cache->cacheData()->size(), kLimit);
    const auto refusedFile = DZResourceCache::fileURLForCacheID(cache->cacheID() + ".2", nullptr);
    EXPECT_FALSE(core::FileManager::fileExists(*refusedFile->fileSystemPath()));

    // A stored file that grew past the limit is not read at the next launch.
    const auto stored = cache->cacheURL()->fileSystemPath();
    ASSERT_TRUE(core::FileManager::writeAtomically(*stored, std::string(kLimit + 1, 'g')));
    cache = DZVersionedCache::create(kCacheID);
    EXPECT_FALSE(cache->cacheData());
    EXPECT_FALSE(update(*cache, server_.url("/at-limit"), "1"));
    ASSERT_TRUE(cache->cacheData());
    EXPECT_EQ(cache->cacheData()->size(), kLimit);
}
