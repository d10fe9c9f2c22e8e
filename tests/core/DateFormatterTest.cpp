#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/DateFormatter.h"

using core::DateFormatter;

TEST(DateFormatter, ReadsAndWritesInItsLocaleAndZone) {
    const auto gmt = DateFormatter::create("EEE, dd MMM yyyy HH:mm:ss z", "en_US", "GMT");
    ASSERT_TRUE(gmt);
    EXPECT_EQ(gmt->string(core::Date{784111777}), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(gmt->date("Sun, 06 Nov 1994 08:49:37 GMT"), core::Date{784111777});

    const auto shanghai = DateFormatter::create("yyyy-MM-dd HH:mm", "en_US", "Asia/Shanghai");
    ASSERT_TRUE(shanghai);
    EXPECT_EQ(shanghai->string(core::Date{0}), "1970-01-01 08:00");
    EXPECT_EQ(shanghai->date("1970-01-01 08:00"), core::Date{0});
}

TEST(DateFormatter, ReadingIsStrict) {
    const auto formatter = DateFormatter::create("yyyy-MM-dd", "en_US", "GMT");
    ASSERT_TRUE(formatter);
    EXPECT_FALSE(formatter->date("2024-02-30"));
    EXPECT_FALSE(formatter->date("2024-02-03 extra"));
    EXPECT_FALSE(formatter->date(""));
    EXPECT_FALSE(formatter->date("2024-2-3x"));
    EXPECT_EQ(formatter->date("2024-02-03"), core::Date{1706918400});
}

TEST(DateFormatter, RefusesUnknownTimeZones) {
    EXPECT_FALSE(DateFormatter::create("yyyy", "en_US", "Mars/Olympus"));
}

TEST(DateFormatter, ServesSeveralThreadsAtOnce) {
    const auto formatter = DateFormatter::create("EEE, dd MMM yyyy HH:mm:ss z", "en_US", "GMT");
    ASSERT_TRUE(formatter);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                const core::Date date{784111777.0 + t * 86400 + i};
                if (formatter->date(formatter->string(date)) != date) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}
