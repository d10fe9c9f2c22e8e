// The favourites page in the launched app: it lists the stored favourites,
// follows "COLLECT_STATUS_CHANGED" from whatever thread posts it, and never
// talks to the photo service.

#include <gtest/gtest.h>

#include <thread>

#include "AppHarness.h"
#include "app/services/Common.h"
#include "app/vc/CollectedViewController.h"
#include "core/Console.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "fixtures/PhotoDocument.h"

namespace {

constexpr const char* kFavouritesKey = "USER_COLLECT_PHOTOS";

class FavouritesFeedScenario : public testing::Test {
protected:
    [[nodiscard]] std::shared_ptr<app::CollectedViewController> page() const {
        return std::dynamic_pointer_cast<app::CollectedViewController>(
            app.tabs().viewCtrls().at(2));
    }
    // The favourites record of pool photo `index`, as the favourites store
    // writes it.
    [[nodiscard]] core::Value favourite(size_t index) {
        const auto& photo = app.photos().pool().photos().at(index);
        return app::PhotosObject::fromJSON(
                   fixtures::PhotoDocument::photo(photo, app.photos().baseURL()))
            ->favouriteRecord();
    }
    void store(const core::Array& records) {
        core::UserDefaults::standard()->setObject(kFavouritesKey, records);
    }
    [[nodiscard]] std::vector<std::string> listedURLs() const {
        std::vector<std::string> urls;
        for (const auto& entry : page()->imageDataSources()) urls.push_back(entry->smallUrl);
        return urls;
    }
    [[nodiscard]] static std::vector<std::string> urlsOf(const core::Array& records) {
        std::vector<std::string> urls;
        for (const auto& record : records) urls.push_back(*record["small"].string());
        return urls;
    }
    // Posts the notification from a thread of its own and waits for it.
    static void postFromBackground() {
        std::thread poster([] {
            core::NotificationCenter::defaultCenter().post(
                app::CommonNotificationKeys::COLLECT_STATUS_CHANGED);
        });
        poster.join();
    }
    void showPage() {
        app.tabs().scrollToPage(2);
        app.settle(1.0);
    }
    // What the favourites page would ask if it fetched like the featured
    // feed it derives from (the explore feed's own traffic runs meanwhile).
    [[nodiscard]] size_t photoServiceRequests() {
        return app.photos().server().requestsTo("/photos/random").size();
    }
    // Lets the other feeds' start-up traffic end: on a loaded machine their
    // first pages and load-mores can arrive well after launch.
    // The clock only moves when told to, so the first request is waited
    // for in real time, and each round lets the loopback I/O it started end.
    void settleOtherFeeds() {
        ASSERT_TRUE(app.waitFor([&] { return photoServiceRequests() > 0; }));
        size_t seen = photoServiceRequests();
        for (int round = 0; round < 20; ++round) {
            app.settle(1.5);
            (void)app.waitForQuiet();
            const size_t now = photoServiceRequests();
            if (now == seen) return;
            seen = now;
        }
    }

    testsupport::AppHarness app;
};

TEST_F(FavouritesFeedScenario, LaunchListsTheStoredFavouritesOldestFirstWithoutBannerRows) {
    const core::Array records{favourite(0), favourite(1), favourite(2)};
    store(records);
    app.launch();
    showPage();

    EXPECT_EQ(listedURLs(), urlsOf(records));
    EXPECT_EQ(page()->tableView()->numberOfRowsInSection(0), 3);
    EXPECT_DOUBLE_EQ(page()->rowHeight(0), 562.5);
    for (const auto& entry : page()->imageDataSources()) EXPECT_FALSE(entry->isAds);
    EXPECT_FALSE(page()->tableView()->refreshControl());
    EXPECT_EQ(page()->photoIndex(), 0);
}

TEST_F(FavouritesFeedScenario, AnEmptyStoreShowsAnEmptyBlackTableAndNoLoadingViews) {
    core::Console::Capture console;
    app.launch();
    showPage();
    EXPECT_TRUE(page()->imageDataSources().empty());
    EXPECT_EQ(page()->tableView()->backgroundColor(), gfx::Color::black());
    EXPECT_FALSE(page()->actIndicatorView()->superview());
    EXPECT_FALSE(page()->loadingTips()->superview());

    postFromBackground();
    app.settle(0.2);
    EXPECT_FALSE(console.contains("加载历史urls"));
}

TEST_F(FavouritesFeedScenario, TheListIsRebuiltOnTheMainQueueWhenTheFavouritesChange) {
    store({favourite(0), favourite(1)});
    app.launch();
    showPage();
    ASSERT_EQ(page()->imageDataSources().size(), 2u);

    // A favourite added in the viewer: the store writes the list and posts
    // from a background queue.
    const core::Array added{favourite(0), favourite(1), favourite(5)};
    store(added);
    postFromBackground();
    EXPECT_EQ(page()->imageDataSources().size(), 2u)
        << "the list must not change on the posting thread";
    app.settle(0.1);
    EXPECT_EQ(listedURLs(), urlsOf(added));
    EXPECT_EQ(page()->tableView()->numberOfRowsInSection(0), 3);
    ASSERT_FALSE(page()->imageDataSources().empty());
    const auto& last = page()->imageDataSources().back();
    EXPECT_TRUE(last->downloadLocation.empty());
    EXPECT_EQ(last->smallImage, nullptr);

    // The same from the global queue the store really uses.
    store({favourite(5)});
    core::Queue::global()->async([] {
        core::NotificationCenter::defaultCenter().post(
            app::CommonNotificationKeys::COLLECT_STATUS_CHANGED);
    });
    ASSERT_TRUE(app.waitFor([&] { return page()->imageDataSources().size() == 1; }));
    EXPECT_EQ(listedURLs(), urlsOf({favourite(5)}));

    // Removing the only favourite empties the page.
    store({});
    postFromBackground();
    app.settle(0.1);
    EXPECT_TRUE(page()->imageDataSources().empty());
    EXPECT_EQ(page()->tableView()->numberOfRowsInSection(0), 0);
}

TEST_F(FavouritesFeedScenario, PullingAndComingToRestAtTheBottomFetchNothing) {
    core::Array records;
    for (size_t index = 0; index < 8; ++index) records.push_back(favourite(index));
    store(records);
    app.launch();
    showPage();
    settleOtherFeeds();
    const size_t before = photoServiceRequests();

    app.touches().drag({187, 120}, {187, 520}, 0.5, 10);
    app.settle(1.0);
    auto& table = *page()->tableView();
    table.layoutIfNeeded();
    ASSERT_GT(table.contentSize().height, table.frame().height());
    table.setContentOffset({0, table.contentSize().height - table.frame().height() - 100});
    app.settle(0.1);
    app.touches().drag({187, 500}, {187, 150}, 0.5, 10);
    app.settle(1.0);
    EXPECT_DOUBLE_EQ(table.contentOffset().y, table.contentSize().height - table.frame().height())
        << "the drag ends at rest against the bottom";
    page()->loadMoreAtBottom();
    app.settle(2.0);

    EXPECT_FALSE(page()->isFetching());
    EXPECT_EQ(photoServiceRequests(), before);
    EXPECT_EQ(page()->imageDataSources().size(), records.size());
    EXPECT_FALSE(page()->moreView()->superview());
}

}  // namespace
