#include "core/Cache.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

TEST(CacheTest, TheLeastRecentlyUsedEntryGoesAtTheLimit) {
    core::Cache<std::string, int> cache(3);
    cache.setObject("a", 1);
    cache.setObject("b", 2);
    cache.setObject("c", 3);
    ASSERT_EQ(cache.object("a"), 1);  // "b" is now the oldest use
    cache.setObject("c", 30);         // replacing counts as a use
    cache.setObject("d", 4);

    EXPECT_EQ(cache.count(), 3u);
    EXPECT_FALSE(cache.object("b"));
    EXPECT_EQ(cache.object("a"), 1);
    EXPECT_EQ(cache.object("c"), 30);
    EXPECT_EQ(cache.object("d"), 4);

    cache.setCountLimit(1);  // keeps "d", read last
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.object("d"), 4);

    cache.removeObject("d");
    cache.removeObject("absent");
    EXPECT_EQ(cache.count(), 0u);
}

TEST(CacheTest, WithoutALimitNothingIsEvictedAndRemoveAllEmptiesIt) {
    core::Cache<int, int> cache;
    for (int i = 0; i < 1000; ++i) cache.setObject(i, i);
    EXPECT_EQ(cache.count(), 1000u);
    cache.removeAllObjects();
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_FALSE(cache.object(5));
}

TEST(CacheTest, ConcurrentUseKeepsTheLimit) {
    core::Cache<int, int> cache(25);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < 2000; ++i) {
                cache.setObject(t * 10000 + i, i);
                (void)cache.object(t * 10000 + i / 2);
                if (i % 7 == 0) cache.removeObject(t * 10000 + i - 3);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_LE(cache.count(), 25u);
}

}  // namespace
