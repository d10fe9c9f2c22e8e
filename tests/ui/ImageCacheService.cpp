#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ImageLibraryTesting.h"
#include "support/ManualClockScope.h"
#include "ui/DiskImageStore.h"

using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using imagetest::waitUntil;
using ui::CacheType;

namespace {

constexpr double kDay = 24 * 3600;

class ImageCacheService : public imagetest::ImageLibraryFixture {
protected:
    // Serves distinct, incompressible PNGs of about one size.
    core::URL serveNoise(const std::string& path, std::uint32_t seed) {
        const std::string body = imagetest::noisyPng(24, seed);
        server_.on("GET", path, [body](const LoopbackRequest&) {
            return LoopbackResponse::bytes(body, "image/png");
        });
        bodies_.push_back(body.size());
        return server_.url(path);
    }

    // Moves the wall clock only, so that nothing else fires.
    void setDay(double day) const { clock_->setWallSeconds(kStart + day * kDay); }

    static constexpr double kStart = core::ManualClock::kStartWall;
    testsupport::ManualClockScope clock_;
    std::vector<size_t> bodies_;
};

TEST_F(ImageCacheService, KeepsTheOriginalBytesUnderAHashedName) {
    const std::string red = imagetest::pngOf(gfx::Color::fromRGB(0xFF0000));
    server_.on("GET", "/photos/red.png",
               [red](const LoopbackRequest&) { return LoopbackResponse::bytes(red, "image/png"); });
    const auto url = server_.url("/photos/red.png?w=200");
    ASSERT_TRUE(retrieve(url)->image);
    EXPECT_EQ(cache().cacheType(url), CacheType::memory);
    cache().clearMemoryCache();
    EXPECT_EQ(cache().cacheType(url), CacheType::disk) << "counted while still being written";
    (void)diskSize();

    const auto files = cacheFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], ui::DiskImageStore::fileName(url.absoluteString()));
    for (const std::string part : {"photos", "red", "127.0.0.1", "png"}) {
        EXPECT_EQ(files[0].find(part), std::string::npos) << part;
    }
    const auto stored = core::FileManager::readFile(cache().cachePath(url));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored.value(), red);
}

TEST_F(ImageCacheService, EntriesNotAccessedForTheLongestAgeAreDownloadedAgain) {
    const auto url = serveNoise("/a.png", 1);
    ASSERT_EQ(retrieve(url)->cacheType, CacheType::none);
    (void)diskSize();

    cache().clearMemoryCache();
    setDay(6);
    EXPECT_EQ(retrieve(url)->cacheType, CacheType::disk);
    // Six days after that disk hit it is still fresh.
    cache().clearMemoryCache();
    setDay(12);
    EXPECT_EQ(retrieve(url)->cacheType, CacheType::disk);

    cache().clearMemoryCache();
    setDay(19.5);
    EXPECT_FALSE(cache().isCached(url));
    const auto again = retrieve(url);
    EXPECT_EQ(again->cacheType, CacheType::none);
    EXPECT_TRUE(again->image);
    EXPECT_EQ(requestsTo("/a.png"), 2u);
}

TEST_F(ImageCacheService, CleaningRemovesExpiredFiles) {
    cache().setMaxCachePeriodInSecond(2 * kDay);
    const auto old = serveNoise("/old.png", 1);
    const auto fresh = serveNoise("/fresh.png", 2);
    (void)retrieve(old);
    setDay(1.5);
    (void)retrieve(fresh);
    setDay(3);
    bool cleaned = false;
    bool onMain = false;
    cache().cleanExpiredDiskCache([&] {
        cleaned = true;
        onMain = core::RunLoop::isMainThread();
    });
    ASSERT_TRUE(waitUntil([&] { return cleaned; }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(cacheFiles(),
              std::vector<std::string>{ui::DiskImageStore::fileName(fresh.absoluteString())});
    EXPECT_EQ(diskSize(), bodies_[1]);
}

TEST_F(ImageCacheService, PastTheSizeLimitTheLeastRecentlyAccessedGo) {
    std::vector<core::URL> urls;
    for (std::uint32_t i = 0; i < 5; ++i) {
        urls.push_back(serveNoise("/" + std::to_string(i) + ".png", i + 1));
    }
    const size_t largest = *std::max_element(bodies_.begin(), bodies_.end());
    const size_t smallest = *std::min_element(bodies_.begin(), bodies_.end());
    ASSERT_LT(largest - smallest, smallest / 20);
    // Four fit; half the limit holds two.
    const std::uint64_t limit = 4 * largest + smallest / 5;
    cache().setMaxDiskCacheSize(limit);

    for (int i = 0; i < 4; ++i) {
        setDay(0.1 * (i + 1));
        (void)retrieve(urls[i]);
    }
    EXPECT_EQ(diskSize(), bodies_[0] + bodies_[1] + bodies_[2] + bodies_[3]);
    cache().clearMemoryCache();
    setDay(0.5);
    EXPECT_EQ(retrieve(urls[0])->cacheType, CacheType::disk);
    setDay(0.6);
    (void)retrieve(urls[4]);

    const std::uint64_t size = diskSize();
    EXPECT_LE(size, limit / 2);
    cache().clearMemoryCache();
    EXPECT_TRUE(cache().isCached(urls[0]));
    EXPECT_TRUE(cache().isCached(urls[4]));
    for (int i : {1, 2, 3}) EXPECT_FALSE(cache().isCached(urls[i])) << i;
    EXPECT_EQ(cacheFiles().size(), 2u);
}

TEST_F(ImageCacheService, ClearingTheDiskEmptiesTheFolder) {
    const auto a = serveNoise("/a.png", 1);
    const auto b = serveNoise("/b.png", 2);
    (void)retrieve(a);
    (void)retrieve(b);
    EXPECT_EQ(diskSize(), bodies_[0] + bodies_[1]);
    EXPECT_EQ(cacheFiles().size(), 2u);

    bool cleared = false;
    bool onMain = false;
    cache().clearDiskCache([&] {
        cleared = true;
        onMain = core::RunLoop::isMainThread();
    });
    ASSERT_TRUE(waitUntil([&] { return cleared; }));
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(cacheFiles().empty());
    EXPECT_EQ(cache().cacheType(a), CacheType::memory) << "memory is cleared on its own";
    cache().clearMemoryCache();
    EXPECT_EQ(cache().cacheType(a), CacheType::none);
    EXPECT_EQ(retrieve(a)->cacheType, CacheType::none);
    EXPECT_EQ(requestsTo("/a.png"), 2u);
}

}  // namespace
