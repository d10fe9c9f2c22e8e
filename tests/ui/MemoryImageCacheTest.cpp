#include <gtest/gtest.h>

#include "ImageLibraryTesting.h"
#include "ui/MemoryImageCache.h"

using imagetest::solidImage;
using ui::MemoryImageCache;

namespace {

const gfx::Color kRed = gfx::Color::fromRGB(0xFF0000);
// An 8 x 8 image costs 256 bytes.
constexpr std::uint64_t kCost = 256;

TEST(MemoryImageCacheTest, CostIsPixelBytes) {
    EXPECT_EQ(MemoryImageCache::cost(*solidImage(kRed, 8)), kCost);
    EXPECT_EQ(MemoryImageCache::cost(*gfx::Image::create(3, 5, gfx::Image::Pixels(15, 0))), 60u);
}

TEST(MemoryImageCacheTest, DropsTheLeastRecentlyUsedPastTheLimit) {
    MemoryImageCache cache(3 * kCost);
    cache.insert("a", solidImage(kRed));
    cache.insert("b", solidImage(kRed));
    cache.insert("c", solidImage(kRed));
    ASSERT_TRUE(cache.image("a"));  // a is now the most recent, b the least
    cache.insert("d", solidImage(kRed));
    EXPECT_TRUE(cache.contains("a"));
    EXPECT_FALSE(cache.contains("b"));
    EXPECT_TRUE(cache.contains("c"));
    EXPECT_TRUE(cache.contains("d"));
    EXPECT_EQ(cache.totalCost(), 3 * kCost);
}

TEST(MemoryImageCacheTest, ReplacingAKeyCountsOnlyTheNewImage) {
    MemoryImageCache cache(10 * kCost);
    const auto first = solidImage(kRed, 8);
    const auto second = solidImage(kRed, 16);
    cache.insert("a", first);
    cache.insert("a", second);
    EXPECT_EQ(cache.image("a"), second);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.totalCost(), 4 * kCost);
}

TEST(MemoryImageCacheTest, AnImageOverTheLimitIsNotKept) {
    MemoryImageCache cache(kCost);
    cache.insert("small", solidImage(kRed, 8));
    cache.insert("big", solidImage(kRed, 9));
    EXPECT_FALSE(cache.contains("big"));
    EXPECT_TRUE(cache.contains("small"));
}

TEST(MemoryImageCacheTest, LoweringTheLimitTrimsAtOnce) {
    MemoryImageCache cache(4 * kCost);
    for (const char* key : {"a", "b", "c", "d"}) cache.insert(key, solidImage(kRed));
    cache.setMaxCost(2 * kCost);
    EXPECT_EQ(cache.count(), 2u);
    EXPECT_TRUE(cache.contains("c"));
    EXPECT_TRUE(cache.contains("d"));
    cache.removeAll();
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.totalCost(), 0u);
    EXPECT_FALSE(cache.image("c"));
}

}  // namespace
