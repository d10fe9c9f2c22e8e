// The explore feed inside the launched app, against the local photo service,
// driven by touches on a manual clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "AppHarness.h"
#include "app/services/LocalizableHelper.h"
#include "app/services/UnsplashService.h"
#include "app/vc/SearchViewController.h"
#include "app/vc/WaterfallViewController.h"
#include "core/Console.h"
#include "fixtures/PhotoDocument.h"
#include "ui/AlertController.h"
#include "ui/NavigationController.h"

namespace {

using app::WaterfallViewController;

constexpr size_t kPageOnePhotos = 14;  // 15 entries, one without a small URL

class WaterfallScenario : public testing::Test {
protected:
    [[nodiscard]] std::shared_ptr<WaterfallViewController> explore() const {
        return std::dynamic_pointer_cast<WaterfallViewController>(harness.tabs().viewCtrls().at(0));
    }
    [[nodiscard]] std::shared_ptr<ui::NavigationController> navigation() const {
        return std::dynamic_pointer_cast<ui::NavigationController>(
            harness.window().rootViewController());
    }
    void launchAndLoad() {
        harness.launch();
        waitUntilIdle();
    }
    // Waits for the running fetch and the chain it may start, then lets the
    // delayed scroll run.
    void waitUntilIdle() {
        ASSERT_TRUE(harness.waitFor([this] { return !explore()->isFetching(); }));
        settle(1.0);
    }
    // The window lays out when it renders or takes a touch; the feed's
    // cells (and their thumbnail loads) come with that pass.
    void settle(double seconds) {
        harness.settle(seconds);
        harness.window().layoutIfNeeded();
    }

    // The id of a pool photo from its small URL ".../images/<id>/small.jpg".
    [[nodiscard]] static std::string idOf(const app::PhotosObject& photo) {
        const auto start = photo.smallUrl.find("/images/") + 8;
        return photo.smallUrl.substr(start, photo.smallUrl.find('/', start) - start);
    }
    [[nodiscard]] std::vector<std::string> shownIds() const {
        std::vector<std::string> ids;
        for (const auto& photo : explore()->imageDataSources()) ids.push_back(idOf(*photo));
        return ids;
    }
    [[nodiscard]] std::vector<std::string> poolIds(std::initializer_list<size_t> indices) {
        const auto all = harness.photos().photoIds();
        std::vector<std::string> ids;
        for (const size_t index : indices) ids.push_back(all.at(index));
        return ids;
    }
    // Page 1 as a refresh shows it: the last entry first, the entry
    // without a small URL (3) skipped, photo 0 listed twice by the page.
    [[nodiscard]] std::vector<std::string> refreshedPageOne() {
        return poolIds({13, 12, 11, 10, 9, 8, 7, 0, 6, 5, 4, 2, 1, 0});
    }
    [[nodiscard]] std::vector<std::string> storedSmallURLs() const {
        std::vector<std::string> urls;
        const core::Value stored =
            core::UserDefaults::standard()->objectForKey("DISCOVERY_HISTORY");
        if (const core::Array* records = stored.array())
            for (const auto& record : *records) urls.push_back(*record["small"].string());
        return urls;
    }
    [[nodiscard]] std::vector<std::string> shownSmallURLs(size_t count) const {
        std::vector<std::string> urls;
        const auto& photos = explore()->imageDataSources();
        for (size_t i = 0; i < count && i < photos.size(); ++i) urls.push_back(photos[i]->smallUrl);
        return urls;
    }
    [[nodiscard]] std::vector<std::string> requestedPages() const {
        std::vector<std::string> pages;
        for (const auto& request : harness.photos().requestsTo("/photos"))
            pages.push_back(request.queryValue("page").value_or("?"));
        return pages;
    }
    [[nodiscard]] std::shared_ptr<app::PhotosObject> poolPhoto(size_t index) {
        const auto& photo = harness.photos().pool().photos().at(index);
        return app::PhotosObject::fromJSON(
            fixtures::PhotoDocument::photo(photo, harness.photos().apiBase()));
    }

    // A quick upward swipe on the feed: it comes to rest at the bottom.
    void flingToBottom() {
        harness.touches().fling({150, 480}, {150, 60});
        settle(2.5);
    }
    void pullToRefresh() { harness.touches().drag({150, 120}, {150, 520}, 0.5, 10); }

    mutable testsupport::AppHarness harness;
};

TEST_F(WaterfallScenario, FirstPageFillsTwoColumnsNewestLastAndIsStored) {
    launchAndLoad();
    const auto feed = explore();
    ASSERT_EQ(requestedPages(), std::vector<std::string>{"1"});
    const auto request = harness.photos().requestsTo("/photos").front();
    EXPECT_EQ(request.queryValue("per_page"), "15");
    EXPECT_EQ(request.header("Authorization"),
              std::string("Bearer ") + app::kPhotoServiceAccessToken);
    EXPECT_EQ(request.header("Accept"), "application/json");

    EXPECT_EQ(shownIds(), refreshedPageOne());
    EXPECT_EQ(storedSmallURLs(), shownSmallURLs(kPageOnePhotos));
    EXPECT_EQ(feed->currentPageIndex(), 1);
    EXPECT_FALSE(feed->refreshController()->isRefreshing());
    EXPECT_TRUE(feed->loadingTips()->isHidden());

    // Two 185-point columns whose first photos start at 7.5; every photo
    // goes into the column that was shortest (the left one among equals).
    const auto& layout = *feed->waterLayout();
    ASSERT_EQ(layout.width(), 185);
    ASSERT_EQ(layout.layoutAttributes()->size(), kPageOnePhotos);
    std::vector<double> heights{5, 5};
    std::vector<int> firstInColumn{-1, -1};
    for (const auto& attributes : *layout.layoutAttributes()) {
        const gfx::Rect frame = attributes.frame();
        ASSERT_TRUE(std::isfinite(frame.minY()) && std::isfinite(frame.height()));
        const size_t shortest = heights[1] < heights[0] ? 1 : 0;
        EXPECT_EQ(frame.minX(), shortest == 0 ? 2.5 : 192.5);
        EXPECT_EQ(frame.width(), 185);
        EXPECT_DOUBLE_EQ(frame.minY(), heights[shortest] + 2.5);
        if (firstInColumn[shortest] < 0) firstInColumn[shortest] = attributes.indexPath().item;
        heights[shortest] += frame.height() + 5;
    }
    EXPECT_EQ(layout.layoutAttributes()->at(firstInColumn[0]).frame().minY(), 7.5);
    EXPECT_EQ(layout.layoutAttributes()->at(firstInColumn[1]).frame().minY(), 7.5);
    // The photo declared with a width of 0 (pool index 11, shown third) is
    // square.
    EXPECT_EQ(layout.layoutAttributes()->at(2).frame().size, (gfx::Size{185, 185}));

    // Cells exist for what is on screen only.
    const auto visible = feed->collectionView()->indexPathsForVisibleItems();
    EXPECT_FALSE(visible.empty());
    EXPECT_LT(visible.size(), kPageOnePhotos);
}

TEST_F(WaterfallScenario, StoredFirstPageShowsBeforeTheRefreshPutsNewPhotosOnTop) {
    app::writeHistory("DISCOVERY_HISTORY", {poolPhoto(20), poolPhoto(21), poolPhoto(22)}, {},
                      false);
    const auto answer = fixtures::ResponseGate::make();
    harness.photos().failNext("/photos", fixtures::PhotoFailure::held(answer));
    core::Console::Capture console;
    harness.launch();

    // Restored in stored order while the refresh is still on its way.
    EXPECT_TRUE(explore()->isFetching());
    EXPECT_EQ(shownIds(), poolIds({20, 21, 22}));
    const auto lines = console.lines();
    const auto restored = std::find(lines.begin(), lines.end(), "加载历史urls");
    const auto requested = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("request -->>> ");
    });
    EXPECT_LT(restored, requested);

    // A pull while that request runs changes nothing.
    pullToRefresh();
    answer->release();
    waitUntilIdle();
    EXPECT_EQ(requestedPages(), std::vector<std::string>{"1"});

    std::vector<std::string> expected = refreshedPageOne();
    for (const auto& id : poolIds({20, 21, 22})) expected.push_back(id);
    EXPECT_EQ(shownIds(), expected);
    // The new photos, then the photos shown before, up to 15.
    EXPECT_EQ(storedSmallURLs(), shownSmallURLs(15));
}

TEST_F(WaterfallScenario, NextLaunchRestoresTheStoredPageAndFindsNothingNew) {
    launchAndLoad();
    const std::vector<std::string> stored = storedSmallURLs();
    ASSERT_EQ(stored.size(), kPageOnePhotos);

    ui::Application::shared().resetForTesting();
    const auto answer = fixtures::ResponseGate::make();
    harness.photos().failNext("/photos", fixtures::PhotoFailure::held(answer));
    harness.launch();
    EXPECT_TRUE(explore()->isFetching());
    EXPECT_EQ(shownSmallURLs(100), stored);

    answer->release();
    waitUntilIdle();
    EXPECT_EQ(shownSmallURLs(100), stored);
    EXPECT_EQ(storedSmallURLs(), stored);
}

TEST_F(WaterfallScenario, FirstLoadMoreAsksForPageOneAgainThenPageTwo) {
    launchAndLoad();
    const auto feed = explore();
    flingToBottom();
    waitUntilIdle();

    // Page 1 again brings nothing new, so page 2 follows at once.
    EXPECT_EQ(requestedPages(), (std::vector<std::string>{"1", "1", "2"}));
    EXPECT_EQ(feed->currentPageIndex(), 3);
    // Page 2 starts two entries early: pool photos 12 and 13 are skipped.
    std::vector<std::string> expected = refreshedPageOne();
    for (size_t i = 14; i <= 26; ++i) expected.push_back(harness.photos().photoIds().at(i));
    EXPECT_EQ(shownIds(), expected);
    // Load-more pages store nothing.
    EXPECT_EQ(storedSmallURLs(), shownSmallURLs(kPageOnePhotos));
    EXPECT_FALSE(feed->moreView()->superview());
    EXPECT_EQ(feed->loadMoreLimiter().consecutiveEmptyPages(), 0);

    flingToBottom();
    waitUntilIdle();
    EXPECT_EQ(requestedPages(), (std::vector<std::string>{"1", "1", "2", "3"}));
}

TEST_F(WaterfallScenario, LoadingMoreNeedsTheScrollToRestWithin35PointsOfTheBottom) {
    launchAndLoad();
    const auto feed = explore();
    ui::CollectionView& collection = *feed->collectionView();
    const double bottom = collection.contentSize().height - collection.frame().height();
    ASSERT_GT(bottom, 100);

    collection.setContentOffset({0, bottom - 35});
    feed->scrollViewDidEndDecelerating(collection);
    EXPECT_FALSE(feed->isFetching());
    collection.setContentOffset({0, bottom + 40});
    feed->scrollViewDidEndDecelerating(collection);
    EXPECT_FALSE(feed->isFetching());
    EXPECT_EQ(requestedPages().size(), 1u);

    collection.setContentOffset({0, bottom - 34.5});
    feed->scrollViewDidEndDecelerating(collection);
    EXPECT_TRUE(feed->isFetching());
    EXPECT_EQ(feed->moreView()->superview(), feed->view());
    EXPECT_EQ(feed->moreView()->frame(), gfx::Rect(0, 667 - 64, 375, 64));
    waitUntilIdle();
    EXPECT_EQ(requestedPages(), (std::vector<std::string>{"1", "1", "2"}));
}

TEST_F(WaterfallScenario, EmptyPagesStopLoadingMoreAfterThreeUntilTheNextRefresh) {
    launchAndLoad();
    const auto feed = explore();
    harness.photos().setFailure("/photos", fixtures::PhotoFailure::emptyPage());

    flingToBottom();
    waitUntilIdle();
    EXPECT_EQ(requestedPages(), (std::vector<std::string>{"1", "1", "2", "3"}));
    EXPECT_FALSE(feed->loadMoreLimiter().allowsLoadMore());
    EXPECT_EQ(feed->imageDataSources().size(), kPageOnePhotos);

    flingToBottom();
    waitUntilIdle();
    EXPECT_EQ(requestedPages().size(), 4u);
    EXPECT_FALSE(feed->moreView()->superview());

    settle(1.0);
    feed->collectionView()->setContentOffset({0, 0});
    pullToRefresh();
    waitUntilIdle();
    ASSERT_EQ(requestedPages().size(), 5u);
    EXPECT_TRUE(feed->loadMoreLimiter().allowsLoadMore());

    harness.photos().clearFailures();
    flingToBottom();
    waitUntilIdle();
    // The refresh set the counter back to 1.
    EXPECT_EQ(requestedPages(), (std::vector<std::string>{"1", "1", "2", "3", "1", "1", "2"}));
}

TEST_F(WaterfallScenario, AFailedLoadMoreTellsTheUserAndTheNextScrollAsksForThatPageAgain) {
    launchAndLoad();
    const auto feed = explore();
    harness.photos().setFailure("/photos", fixtures::PhotoFailure::serverError500());

    // Frame by frame until the failure is handled, so that the clock has
    // not yet run on towards the toast.
    harness.touches().fling({150, 480}, {150, 60});
    const auto failed = [&] { return requestedPages().size() == 2 && !feed->isFetching(); };
    for (int frame = 0; frame < 180 && !failed(); ++frame) harness.settle(1.0 / 60);
    ASSERT_TRUE(harness.waitFor(failed));
    settle(0.1);
    EXPECT_EQ(feed->currentPageIndex(), 1);
    EXPECT_FALSE(feed->moreView()->superview());
    EXPECT_NE(feed->loadingTips()->text().find("500"), std::string::npos);
    EXPECT_EQ(feed->collectionView()->contentOffset(), (gfx::Point{0, 0}));

    // The toast follows the 1-second scroll to the top, for 1.5 seconds.
    std::shared_ptr<ui::AlertController> toast;
    for (int frame = 0; frame < 90 && !toast; ++frame) {
        harness.settle(1.0 / 60);
        toast =
            std::dynamic_pointer_cast<ui::AlertController>(navigation()->presentedViewController());
    }
    ASSERT_TRUE(toast);
    EXPECT_EQ(toast->title(), app::localized("fetch_photos_error"));
    settle(2.0);
    EXPECT_FALSE(navigation()->presentedViewController());
    // Nothing asks again on its own.
    EXPECT_EQ(requestedPages().size(), 2u);
    EXPECT_FALSE(feed->isFetching());

    // Each scroll to the bottom asks once for the same page.
    flingToBottom();
    waitUntilIdle();
    EXPECT_EQ(requestedPages(), (std::vector<std::string>{"1", "1", "1"}));
    harness.photos().clearFailures();
    settle(2.0);
    flingToBottom();
    waitUntilIdle();
    EXPECT_EQ(requestedPages(), (std::vector<std::string>{"1", "1", "1", "1", "2"}));
    EXPECT_GT(feed->imageDataSources().size(), kPageOnePhotos);
}

TEST_F(WaterfallScenario, PullToRefreshAfterAFailedStartFillsTheFeed) {
    harness.photos().failNext("/photos", fixtures::PhotoFailure::unauthorized401());
    launchAndLoad();
    const auto feed = explore();
    EXPECT_TRUE(feed->imageDataSources().empty());
    EXPECT_TRUE(storedSmallURLs().empty());
    settle(2.0);

    // The refresh's answer is held to see it under way.
    const auto answer = fixtures::ResponseGate::make();
    harness.photos().failNext("/photos", fixtures::PhotoFailure::held(answer));
    pullToRefresh();
    EXPECT_TRUE(feed->isFetching());
    EXPECT_TRUE(feed->refreshController()->isRefreshing());
    answer->release();
    waitUntilIdle();
    EXPECT_EQ(requestedPages(), (std::vector<std::string>{"1", "1"}));
    EXPECT_EQ(shownIds(), refreshedPageOne());
    EXPECT_EQ(storedSmallURLs(), shownSmallURLs(kPageOnePhotos));
    EXPECT_FALSE(feed->refreshController()->isRefreshing());
}

TEST_F(WaterfallScenario, EachLoadedThumbnailPingsItsDownloadLocationWithTheHeaders) {
    launchAndLoad();
    const auto feed = explore();
    const auto photoAt = [&](size_t row) { return feed->imageDataSources().at(row); };
    const auto pingsOf = [&](const app::PhotosObject& photo) {
        return harness.photos().requestsTo("/photos/" + idOf(photo) + "/download");
    };
    const auto thumbnailOf = [&](const app::PhotosObject& photo) {
        return harness.photos().requestsTo("/images/" + idOf(photo) + "/small.jpg");
    };

    const auto visible = feed->collectionView()->indexPathsForVisibleItems();
    ASSERT_FALSE(visible.empty());
    for (const auto& indexPath : visible) {
        const auto photo = photoAt(static_cast<size_t>(indexPath.item));
        ASSERT_TRUE(harness.waitFor([&] { return !pingsOf(*photo).empty(); })) << idOf(*photo);
        const auto ping = pingsOf(*photo).front();
        EXPECT_EQ(ping.header("Authorization"),
                  std::string("Bearer ") + app::kPhotoServiceAccessToken);
        EXPECT_EQ(ping.header("Accept"), "application/json");
        ASSERT_FALSE(thumbnailOf(*photo).empty());
        EXPECT_GE(ping.time, thumbnailOf(*photo).front().time);
        EXPECT_FALSE(photo->isHolder);
    }

    // Further down: photo 6, which has no download location, and photo 0,
    // listed twice, whose one thumbnail fills both entries.
    const size_t withoutLocation = 8;
    ASSERT_EQ(idOf(*photoAt(withoutLocation)), harness.photos().photoIds().at(6));
    ASSERT_TRUE(photoAt(withoutLocation)->downloadLocation.empty());
    const double rowTop =
        feed->waterLayout()->layoutAttributes()->at(withoutLocation).frame().minY();
    feed->collectionView()->setContentOffset({0, rowTop - 10});
    settle(0.1);
    ASSERT_TRUE(harness.waitFor([&] { return !photoAt(withoutLocation)->isHolder; }));
    ASSERT_TRUE(harness.waitFor([&] { return !photoAt(7)->isHolder && !photoAt(13)->isHolder; }));
    EXPECT_EQ(photoAt(7)->smallImage, photoAt(13)->smallImage);
    ASSERT_TRUE(harness.waitForQuiet());
    EXPECT_TRUE(pingsOf(*photoAt(withoutLocation)).empty());
}

TEST_F(WaterfallScenario, SearchButtonPushesTheSearchScreenWithTheCrossFade) {
    launchAndLoad();
    const auto feed = explore();
    const auto icon = feed->searchIcon();
    const gfx::Rect frame = icon->convertRectTo(icon->bounds(), nullptr);
    EXPECT_EQ(frame.size, (gfx::Size{60, 60}));
    EXPECT_DOUBLE_EQ(feed->view()->bounds().maxX() - icon->frame().maxX(), 40);
    EXPECT_DOUBLE_EQ(feed->view()->bounds().maxY() - icon->frame().maxY(), 100);

    harness.touches().tap(frame.center());
    settle(0.1);
    const auto search =
        std::dynamic_pointer_cast<app::SearchViewController>(navigation()->topViewController());
    ASSERT_TRUE(search);
    EXPECT_EQ(search->historyKey(), "SEARCH_HISTORY");
    EXPECT_EQ(navigation()->delegate().get(),
              static_cast<ui::NavigationControllerDelegate*>(feed.get()));
    EXPECT_TRUE(navigation()->isTransitioning());
    settle(0.5);
    EXPECT_FALSE(navigation()->isTransitioning());
}

TEST_F(WaterfallScenario, ATapDuringAFlingOnlyStopsTheFeed) {
    launchAndLoad();
    const auto feed = explore()->collectionView();
    feed->setContentOffset({0, 0});
    harness.touches().fling({150, 480}, {150, 380});
    settle(0.1);
    ASSERT_TRUE(feed->isDecelerating());

    harness.touches().tap({100, 300});
    EXPECT_FALSE(feed->isDecelerating());
    const gfx::Point stopped = feed->contentOffset();
    settle(2.5);
    EXPECT_EQ(feed->contentOffset(), stopped);
    EXPECT_EQ(navigation()->topViewController(), harness.delegate()->qzTabVc());

    // At rest the same tap opens the photo under it.
    harness.touches().tap({100, 300});
    settle(0.1);
    EXPECT_NE(navigation()->topViewController(), harness.delegate()->qzTabVc());
}

}  // namespace
