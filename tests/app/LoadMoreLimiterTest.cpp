#include <gtest/gtest.h>

#include "app/utils/LoadMoreLimiter.h"

namespace {

TEST(LoadMoreLimiterTest, EmptyPagesChainUntilTheThirdInARowThenStopUntilARefresh) {
    app::LoadMoreLimiter limiter;
    EXPECT_TRUE(limiter.allowsLoadMore());
    EXPECT_TRUE(limiter.shouldRequestAfterPage(false));
    EXPECT_TRUE(limiter.shouldRequestAfterPage(false));
    EXPECT_TRUE(limiter.allowsLoadMore());
    EXPECT_FALSE(limiter.shouldRequestAfterPage(false));
    EXPECT_FALSE(limiter.allowsLoadMore());

    limiter.refreshStarted();
    EXPECT_TRUE(limiter.allowsLoadMore());
    EXPECT_EQ(limiter.consecutiveEmptyPages(), 0);
}

TEST(LoadMoreLimiterTest, APageWithNewItemsEndsTheChainAndResetsTheCount) {
    app::LoadMoreLimiter limiter;
    EXPECT_TRUE(limiter.shouldRequestAfterPage(false));
    EXPECT_TRUE(limiter.shouldRequestAfterPage(false));
    EXPECT_FALSE(limiter.shouldRequestAfterPage(true));
    EXPECT_EQ(limiter.consecutiveEmptyPages(), 0);
    EXPECT_TRUE(limiter.shouldRequestAfterPage(false));
    EXPECT_TRUE(limiter.shouldRequestAfterPage(false));
    EXPECT_TRUE(limiter.allowsLoadMore());
}

TEST(LoadMoreLimiterTest, AFailedLoadMoreStopsAtOnceUntilARefresh) {
    app::LoadMoreLimiter limiter;
    limiter.loadMoreFailed();
    EXPECT_FALSE(limiter.allowsLoadMore());
    limiter.refreshStarted();
    EXPECT_TRUE(limiter.allowsLoadMore());
}

}  // namespace
