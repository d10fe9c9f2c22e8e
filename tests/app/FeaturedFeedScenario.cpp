// The featured feed in the launched app, against the local photo service,
// driven by touches on the default 375x667 phone.

#include <gtest/gtest.h>

#include "AlertsOnScreen.h"

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "AppHarness.h"
#include "app/services/LocalizableHelper.h"
#include "app/services/UnsplashService.h"
#include "app/utils/PhotosTableViewCell.h"
#include "app/vc/PhotoViewController.h"
#include "app/vc/ViewController.h"
#include "core/Console.h"
#include "fixtures/PhotoDocument.h"
#include "ui/AlertController.h"
#include "ui/NavigationController.h"
#include "ui/RefreshControl.h"

namespace {

constexpr const char* kHistoryKey = "DISCOVERY_POPULAR_HISTORY";

class FeaturedFeedScenario : public testing::Test {
protected:
    [[nodiscard]] std::shared_ptr<app::ViewController> feed() const {
        return std::dynamic_pointer_cast<app::ViewController>(app.tabs().viewCtrls().at(1));
    }
    void showFeed() {
        app.tabs().scrollToPage(1);
        app.settle(1.0);
    }
    [[nodiscard]] size_t randomRequests() {
        return app.photos().requestsTo("/photos/random").size();
    }
    // Waits for the answer of the request the gesture sent, then lets the
    // screen's animations end.
    void waitForAnswer() {
        ASSERT_TRUE(app.waitFor([&] { return !feed()->isFetching(); }));
        app.settle(1.0);
    }
    // Launches with nothing stored: the feed's first appearance fetches
    // its first batch.
    void launchAndLoad() {
        app.launch();
        showFeed();
        waitForAnswer();
    }
    void pullToRefresh() {
        feed()->tableView()->setContentOffset({0, 0});
        app.window().layoutTree();
        app.touches().drag({187, 120}, {187, 520}, 0.5, 10);
        app.settle(0.1);
    }
    // Brings the table near its bottom, then drags it past the bottom: it
    // comes to rest against the bottom.
    void scrollToBottom() {
        auto& table = *feed()->tableView();
        table.layoutIfNeeded();
        const double bottom = table.contentSize().height - table.frame().height();
        table.setContentOffset({0, std::max(0.0, bottom - 100)});
        app.window().layoutTree();
        app.settle(0.1);
        app.touches().drag({187, 500}, {187, 150}, 0.5, 10);
        app.settle(1.0);
    }
    // The usable photos of the service's draw `draw` that the feed does not
    // list yet, in answer order.
    [[nodiscard]] std::vector<std::string> newPhotosOfDraw(std::uint64_t draw,
                                                           const std::set<std::string>& listed) {
        std::vector<std::string> urls;
        for (const auto* photo : app.photos().pool().random(draw, 15)) {
            if (photo->withoutSmallURL) continue;
            const core::Value json = fixtures::PhotoDocument::photo(*photo, app.photos().baseURL());
            const std::string url = *json["urls"]["small"].string();
            if (!listed.contains(url)) urls.push_back(url);
        }
        return urls;
    }
    [[nodiscard]] std::set<std::string> listed() const {
        std::set<std::string> urls;
        for (const auto& entry : feed()->imageDataSources())
            if (!entry->isAds) urls.insert(entry->smallUrl);
        return urls;
    }
    // Taps the middle of row `row` after bringing it to the middle of the screen.
    void tapRow(int row) {
        auto& table = *feed()->tableView();
        const gfx::Rect rect = table.rectForRowAtIndexPath(ui::IndexPath::forRow(row, 0));
        table.setContentOffset({0, rect.midY() - table.frame().height() / 2});
        app.window().layoutTree();
        app.settle(0.2);
        app.touches().tap({187, table.frame().height() / 2});
        app.settle(0.5);
    }

    [[nodiscard]] std::vector<std::shared_ptr<ui::AlertController>> alertsOnScreen() const {
        return testsupport::alertsOnScreen(app.delegate()->window());
    }

    testsupport::AppHarness app;
};

TEST_F(FeaturedFeedScenario, LaunchShowsTheStoredFirstPageAndFetchesNothing) {
    const auto& pool = app.photos().pool().photos();
    core::Array records;
    for (size_t index : {size_t{0}, size_t{1}, size_t{11}}) {
        records.push_back(app::PhotosObject::fromJSON(
                              fixtures::PhotoDocument::photo(pool[index], app.photos().baseURL()))
                              ->record());
    }
    records.push_back(core::Dictionary{{"width", "1600"}, {"height", "120"}, {"isAds", "true"}});
    core::UserDefaults::standard()->setObject(kHistoryKey, records);

    app.launch();
    showFeed();
    app.settle(2.0);
    EXPECT_FALSE(feed()->isFetching());
    EXPECT_EQ(randomRequests(), 0u);

    auto& table = *feed()->tableView();
    ASSERT_EQ(table.numberOfRowsInSection(0), 4);
    EXPECT_EQ(feed()->imageDataSources()[0]->width, 1080);
    EXPECT_DOUBLE_EQ(table.rectForRowAtIndexPath(ui::IndexPath::forRow(0, 0)).height(), 562.5);
    EXPECT_DOUBLE_EQ(table.rectForRowAtIndexPath(ui::IndexPath::forRow(1, 0)).height(),
                     375.0 / 1600 * 900);
    EXPECT_DOUBLE_EQ(table.rectForRowAtIndexPath(ui::IndexPath::forRow(2, 0)).height(), 667 / 2.9);
    EXPECT_DOUBLE_EQ(table.rectForRowAtIndexPath(ui::IndexPath::forRow(3, 0)).height(), 120);
    EXPECT_TRUE(table.refreshControl());
    EXPECT_TRUE(
        std::static_pointer_cast<ui::NavigationController>(app.window().rootViewController())
            ->isNavigationBarHidden());
}

TEST_F(FeaturedFeedScenario, EveryFinishedThumbnailPingsItsDownloadLocation) {
    const auto& pool = app.photos().pool().photos();
    const auto& withLocation = pool[0];
    const auto& withoutLocation = pool[fixtures::PhotoPool::kEmptyDownloadLocation];
    core::Array records;
    for (const auto* photo : {&withLocation, &withoutLocation}) {
        records.push_back(app::PhotosObject::fromJSON(
                              fixtures::PhotoDocument::photo(*photo, app.photos().baseURL()))
                              ->record());
    }
    core::UserDefaults::standard()->setObject(kHistoryKey, records);
    // The explore feed shows nothing, so every ping comes from this feed.
    app.photos().setFailure("/photos", fixtures::PhotoFailure::serverError500());
    app.launch();
    showFeed();
    const std::string ping = "/photos/" + withLocation.id + "/download";
    const auto& list = feed()->imageDataSources();
    ASSERT_EQ(list.size(), 2u);
    app.window().layoutTree();
    ASSERT_TRUE(app.waitFor([&] {
        return !list[0]->isHolder && !list[1]->isHolder &&
               app.photos().requestsTo(ping).size() == 1;
    }));
    const auto cell = std::dynamic_pointer_cast<app::PhotoTableViewCell>(
        feed()->tableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->cellImageView()->image(), list[0]->smallImage);
    EXPECT_EQ(cell->cellImageView()->contentMode(), gfx::ContentMode::ScaleAspectFit);
    const auto request = app.photos().requestsTo(ping).front();
    EXPECT_EQ(request.header("Authorization"),
              std::string("Bearer ") + app::kPhotoServiceAccessToken);
    EXPECT_EQ(request.header("Accept"), "application/json");

    // Shown again, the thumbnail comes from the cache and pings again; the
    // photo without a download location never does.
    feed()->tableView()->reloadData();
    app.window().layoutTree();
    ASSERT_TRUE(app.waitFor([&] { return app.photos().requestsTo(ping).size() == 2; }));
    for (const auto& request : app.photos().server().requests())
        EXPECT_EQ(request.path.find("/photos/" + withoutLocation.id), std::string::npos);
}

TEST_F(FeaturedFeedScenario, AFirstAppearanceWithNothingStoredFetchesAsAPullWouldAndStoresIt) {
    app.photos().failNext("/photos/random", fixtures::PhotoFailure::slow(500));
    app.launch();
    ASSERT_TRUE(app.waitFor([&] { return randomRequests() == 1; }));
    EXPECT_TRUE(feed()->isFetching());
    EXPECT_TRUE(feed()->refreshController()->isRefreshing());
    // Pulled down, so that the spinning control shows above the table.
    EXPECT_NEAR(feed()->tableView()->contentOffset().y, -ui::RefreshControl::kHeight, 1);
    showFeed();
    waitForAnswer();

    const auto requests = app.photos().requestsTo("/photos/random");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].queryValue("featured"), "1");
    EXPECT_EQ(requests[0].queryValue("count"), "15");
    EXPECT_FALSE(requests[0].queryValue("page").has_value());
    EXPECT_EQ(requests[0].header("Authorization"),
              std::string("Bearer ") + app::kPhotoServiceAccessToken);
    EXPECT_EQ(requests[0].header("Accept"), "application/json");

    // The answer's photos reversed, then the banner row made after photo 8.
    const std::vector<std::string> answered = newPhotosOfDraw(0, {});
    ASSERT_GE(answered.size(), 9u);
    const auto& list = feed()->imageDataSources();
    ASSERT_EQ(list.size(), answered.size() + 1);
    for (size_t i = 0; i < answered.size(); ++i)
        EXPECT_EQ(list[i]->smallUrl, answered[answered.size() - 1 - i]);
    EXPECT_TRUE(list.back()->isAds);
    EXPECT_EQ(feed()->photoIndex(), static_cast<std::int64_t>(answered.size()));
    EXPECT_FALSE(feed()->refreshController()->isRefreshing());

    // Stored whole, banner record included.
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kHistoryKey);
    ASSERT_EQ(stored.size(), list.size());
    EXPECT_EQ(*stored[0]["small"].string(), list[0]->smallUrl);
    EXPECT_EQ(*stored[answered.size()]["isAds"].string(), "true");
    EXPECT_EQ(*stored[answered.size()]["height"].string(), "120");

    // A pull puts the next draw's new photos on top.
    const std::vector<std::string> pulled = newPhotosOfDraw(1, listed());
    pullToRefresh();
    waitForAnswer();
    ASSERT_EQ(randomRequests(), 2u);
    EXPECT_EQ(list[0]->smallUrl, pulled.back());
}

TEST_F(FeaturedFeedScenario, ComingToRestAtTheBottomAppendsABatchThatCarriesOnTheBannerRhythm) {
    launchAndLoad();
    const size_t first = feed()->imageDataSources().size();
    const std::int64_t photosBefore = feed()->photoIndex();
    const std::vector<std::string> appended = newPhotosOfDraw(1, listed());

    scrollToBottom();
    waitForAnswer();
    ASSERT_EQ(randomRequests(), 2u);
    EXPECT_EQ(feed()->currentPageIndex(), 2);

    // Photos in answer order; a banner row right after new photo 16 and 24
    // (numbered from 0 since the screen was made).
    const auto& list = feed()->imageDataSources();
    std::int64_t number = photosBefore - 1;
    size_t taken = 0;
    for (size_t row = first; row < list.size(); ++row) {
        if (list[row]->isAds) {
            EXPECT_TRUE(number == 16 || number == 24) << "banner row after photo " << number;
            continue;
        }
        ASSERT_LT(taken, appended.size());
        EXPECT_EQ(list[row]->smallUrl, appended[taken++]);
        ++number;
        if (number == 16 || number == 24) {
            ASSERT_LT(row + 1, list.size()) << "no banner row after photo " << number;
            EXPECT_TRUE(list[row + 1]->isAds) << "no banner row after photo " << number;
        }
    }
    EXPECT_EQ(taken, appended.size());
    ASSERT_GE(number, 16) << "the batch should reach photo 16";

    // The first load-more asks for page 1 again, so its batch is stored,
    // filled up to 15 from the list before it.
    const size_t batch = list.size() - first;
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kHistoryKey);
    EXPECT_EQ(stored.size(), std::max<size_t>(batch, 15));
    EXPECT_EQ(*stored[0]["small"].string(), appended[0]);
    EXPECT_EQ(*stored[batch]["small"].string(), list[0]->smallUrl);

    // The next load-more asks for page 2, which is not stored.
    scrollToBottom();
    waitForAnswer();
    EXPECT_EQ(randomRequests(), 3u);
    EXPECT_EQ(feed()->currentPageIndex(), 3);
    EXPECT_EQ(core::UserDefaults::standard()->objectForKey(kHistoryKey), stored);
}

TEST_F(FeaturedFeedScenario, TappingABannerRowOpensNothingWhileAPhotoRowReachesTheOpener) {
    launchAndLoad();
    const auto& list = feed()->imageDataSources();
    const int adRow = static_cast<int>(list.size()) - 1;
    ASSERT_TRUE(list[static_cast<size_t>(adRow)]->isAds);
    auto navigation =
        std::static_pointer_cast<ui::NavigationController>(app.window().rootViewController());

    core::Console::Capture console;
    tapRow(adRow);
    EXPECT_FALSE(console.contains("open photo"));
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
    EXPECT_FALSE(feed()->tableView()->indexPathForSelectedRow().has_value());

    tapRow(0);
    EXPECT_FALSE(feed()->tableView()->indexPathForSelectedRow().has_value());
    // The viewer comes without animation, and the feed is the navigation
    // delegate so that the cross-fade runs.
    const auto viewer =
        std::dynamic_pointer_cast<app::PhotoViewController>(navigation->topViewController());
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->po(), list[0]);
    EXPECT_EQ(navigation->delegate(),
              std::static_pointer_cast<ui::NavigationControllerDelegate>(feed()));
}

TEST_F(FeaturedFeedScenario, ARowInTheMiddleOfTheScreenIsDrawnLargerThanRowsTowardsTheEdges) {
    launchAndLoad();
    auto& table = *feed()->tableView();
    const gfx::Rect row = table.rectForRowAtIndexPath(ui::IndexPath::forRow(2, 0));
    table.setContentOffset({0, row.midY() - 333.5 - 1});
    app.window().layoutTree();
    table.setContentOffset({0, row.midY() - 333.5});

    const auto cell = table.cellForRowAtIndexPath(ui::IndexPath::forRow(2, 0));
    ASSERT_TRUE(cell);
    EXPECT_NEAR(cell->transform().a, 1.1, 1e-9);
    EXPECT_NEAR(cell->transform().d, 1.1, 1e-9);
    for (const auto& visible : table.visibleCells()) {
        const double centre =
            visible->convertPointTo({visible->bounds().midX(), visible->bounds().midY()}, nullptr)
                .y;
        const double expected = (1 - std::abs(centre - 333.5) / 667 * 0.5) * 1.1;
        EXPECT_NEAR(visible->transform().a, expected, 1e-6);
    }
    EXPECT_DOUBLE_EQ(feed()->lastScrollOffset(), table.contentOffset().y);
}

TEST_F(FeaturedFeedScenario, AFailedPullShowsTheErrorAndKeepsTheList) {
    launchAndLoad();
    const size_t rows = feed()->imageDataSources().size();

    app.photos().failNext("/photos/random", fixtures::PhotoFailure::serverError500());
    pullToRefresh();
    ASSERT_TRUE(app.waitFor([&] { return !feed()->isFetching(); }));
    app.settle(1.2);
    const auto alerts = alertsOnScreen();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title(), app::localized("fetch_photos_error"));
    EXPECT_TRUE(feed()->loadingTips()->isHidden());
    EXPECT_NE(feed()->loadingTips()->text().find("500"), std::string::npos);
    EXPECT_EQ(feed()->imageDataSources().size(), rows);
    EXPECT_EQ(feed()->tableView()->contentOffset().y, 0);
    app.settle(2.0);
    EXPECT_TRUE(alertsOnScreen().empty());
}

TEST_F(FeaturedFeedScenario, AFailedLoadMoreIsAskedAgainByTheNextScrollAndEmptyPagesStopAtThree) {
    launchAndLoad();

    app.photos().failNext("/photos/random", fixtures::PhotoFailure::serverError500());
    scrollToBottom();
    waitForAnswer();
    app.settle(2.0);
    ASSERT_EQ(randomRequests(), 2u);
    EXPECT_FALSE(feed()->isFetching()) << "nothing asks again on its own";
    EXPECT_EQ(feed()->currentPageIndex(), 1);
    scrollToBottom();
    waitForAnswer();
    EXPECT_EQ(randomRequests(), 3u) << "the next scroll asks once";
    EXPECT_EQ(feed()->currentPageIndex(), 2);

    app.photos().setFailure("/photos/random", fixtures::PhotoFailure::emptyPage());
    scrollToBottom();
    ASSERT_TRUE(app.waitFor([&] { return randomRequests() >= 6 && !feed()->isFetching(); }));
    app.settle(0.5);
    EXPECT_EQ(randomRequests(), 6u) << "three empty pages in a row, then no more";
    EXPECT_FALSE(feed()->moreView()->superview());
    scrollToBottom();
    EXPECT_FALSE(feed()->isFetching());

    app.photos().clearFailures();
    pullToRefresh();
    waitForAnswer();
    scrollToBottom();
    ASSERT_TRUE(app.waitFor([&] { return randomRequests() >= 8 && !feed()->isFetching(); }));
    EXPECT_EQ(randomRequests(), 8u) << "a pull lets the feed load more again";
}

}  // namespace
