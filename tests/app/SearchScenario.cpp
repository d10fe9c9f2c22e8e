// The search screen pushed over the launched app, searching the local photo
// service by typing into its bar.

#include <gtest/gtest.h>

#include <algorithm>
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
#include "ui/Button.h"
#include "ui/ImageLoading.h"
#include "ui/ImageView.h"
#include "ui/NavigationController.h"

namespace {

using app::SearchViewController;
using fixtures::PhotoFailure;

class SearchScenario : public testing::Test {
protected:
    void SetUp() override { harness.launch(); }

    [[nodiscard]] std::shared_ptr<ui::NavigationController> navigation() const {
        return std::dynamic_pointer_cast<ui::NavigationController>(
            harness.delegate()->window()->rootViewController());
    }
    // Taps the explore feed's search button.
    std::shared_ptr<SearchViewController> openSearch() {
        auto explore =
            std::dynamic_pointer_cast<app::WaterfallViewController>(harness.tabs().viewCtrls()[0]);
        tapCentre(*explore->searchIcon());
        harness.settle(0.8);
        harness.window().layoutIfNeeded();
        return std::dynamic_pointer_cast<SearchViewController>(navigation()->topViewController());
    }

    void tapCentre(const ui::View& view) {
        harness.touches().tap(view.convertRectTo(view.bounds(), nullptr).center());
    }
    // Types the keyword into the bar (tapping it first when the keyboard is
    // down) and presses the search button.
    void search(SearchViewController& screen, const std::string& keyword) {
        ui::SearchBar& bar = *screen.searchBar();
        if (!bar.isFirstResponder()) tapCentre(bar);
        for (int i = 0; i < 100 && !bar.text().empty(); ++i) bar.deleteBackward();
        bar.insertText(keyword);
        bar.returnKeyPressed();
    }
    // Waits for the running request to be answered and lets the alert and
    // the glide to the new offset finish.
    void waitForAnswer(const SearchViewController& screen) {
        ASSERT_TRUE(harness.waitFor([&] { return !screen.isFetching(); }));
        harness.settle(1.0);
        harness.window().layoutIfNeeded();
    }
    void scrollToBottom(SearchViewController& screen) {
        ui::CollectionView& grid = *screen.collectionView();
        const double bottom = grid.contentSize().height - grid.frame().height();
        grid.setContentOffset({0, bottom - 40});
        const gfx::Point middle = grid.convertRectTo(grid.bounds(), nullptr).center();
        harness.touches().fling(middle, {middle.x, middle.y - 200});
        harness.settle(2.5);
    }

    // (query, page) of every search request so far.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> searches() {
        std::vector<std::pair<std::string, std::string>> sent;
        for (const auto& request : harness.photos().requestsTo("/search/photos"))
            sent.emplace_back(request.queryValue("query").value_or(""),
                              request.queryValue("page").value_or(""));
        return sent;
    }
    // The small URLs of the service's results for keyword, in result order.
    [[nodiscard]] std::vector<std::string> resultURLs(const std::string& keyword, size_t first,
                                                      size_t count) {
        std::vector<std::string> urls;
        const auto found = harness.photos().pool().search(keyword);
        for (size_t i = first; i < std::min(found.size(), first + count); ++i) {
            if (found[i]->withoutSmallURL) continue;
            urls.push_back(fixtures::PhotoDocument::imageURL(
                *found[i], fixtures::ImageVariant::Small, harness.photos().baseURL()));
        }
        return urls;
    }
    [[nodiscard]] static std::vector<std::string> shownURLs(const SearchViewController& screen) {
        std::vector<std::string> urls;
        for (const auto& photo : screen.imageDataSources()) urls.push_back(photo->smallUrl);
        return urls;
    }
    [[nodiscard]] static std::vector<std::string> storedURLs() {
        std::vector<std::string> urls;
        for (const auto& photo : app::restoreHistory("SEARCH_HISTORY"))
            urls.push_back(photo->smallUrl);
        return urls;
    }
    [[nodiscard]] std::vector<std::string> alertTitles() const {
        std::vector<std::string> titles;
        for (const auto& view : harness.window().subviews()) {
            if (auto alert = std::dynamic_pointer_cast<ui::AlertController>(view->viewController()))
                titles.push_back(alert->title());
        }
        return titles;
    }

    testsupport::AppHarness harness;
};

}  // namespace

TEST_F(SearchScenario, OpensOnTheLastKeywordAndStoredResultsWithoutAsking) {
    auto defaults = core::UserDefaults::standard();
    defaults->setString("USR_DEF_KEY_SEARCH_KEYWORD", "a");
    core::Array records;
    std::vector<std::string> stored;
    for (const auto* photo : harness.photos().pool().search("a")) {
        if (photo->withoutSmallURL || records.size() == 30) continue;
        const auto item = app::PhotosObject::fromJSON(
            fixtures::PhotoDocument::photo(*photo, harness.photos().baseURL()));
        records.push_back(item->record());
        stored.push_back(item->smallUrl);
    }
    defaults->setObject("SEARCH_HISTORY", records);

    auto screen = openSearch();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->historyKey(), "SEARCH_HISTORY");
    ASSERT_TRUE(harness.waitFor([&] { return screen->searchKeyword() == "a"; }));
    harness.settle(0.5);
    harness.window().layoutIfNeeded();

    EXPECT_EQ(screen->searchBar()->text(), "a");
    EXPECT_TRUE(screen->searchBar()->isFirstResponder());
    EXPECT_EQ(shownURLs(*screen), stored);
    EXPECT_TRUE(navigation()->isNavigationBarHidden());
    EXPECT_TRUE(screen->prefersStatusBarHidden());
    EXPECT_TRUE(searches().empty());

    // Three columns of equal width, 5 points apart.
    const double width = (375.0 - 2 * 5) / 3;
    std::vector<double> lefts;
    for (const auto& cell : screen->collectionView()->visibleCells()) {
        EXPECT_NEAR(cell->frame().width(), width, 1e-9);
        lefts.push_back(cell->frame().minX());
    }
    std::sort(lefts.begin(), lefts.end());
    lefts.erase(std::unique(lefts.begin(), lefts.end()), lefts.end());
    ASSERT_EQ(lefts.size(), 3u);
    EXPECT_NEAR(lefts[0], 2.5, 1e-9);
    EXPECT_NEAR(lefts[1], 2.5 + width + 5, 1e-9);
    EXPECT_NEAR(lefts[2], 2.5 + 2 * (width + 5), 1e-9);

    // Dragging the grid puts the keyboard away; a tap on a photo opens
    // nothing until the viewer exists.
    const gfx::Point middle = screen->collectionView()
                                  ->convertRectTo(screen->collectionView()->bounds(), nullptr)
                                  .center();
    harness.touches().drag(middle, {middle.x, middle.y - 60});
    harness.settle(1.0);
    EXPECT_FALSE(screen->searchBar()->isFirstResponder());
    ASSERT_FALSE(screen->collectionView()->visibleCells().empty());
    tapCentre(*screen->collectionView()->visibleCells().front());
    harness.settle(1.0);
    EXPECT_EQ(navigation()->topViewController(), screen);

    // Cancel goes back to the pages and lets the screen go.
    std::weak_ptr<SearchViewController> weak = screen;
    screen.reset();
    tapCentre(*weak.lock()->searchBar()->cancelButton());
    harness.settle(1.0);
    EXPECT_EQ(navigation()->viewControllers().size(), 1u);
    EXPECT_TRUE(weak.expired());
}

TEST_F(SearchScenario, ASearchFillsThreeColumnsAndStoresItsRecordsUnpadded) {
    // A keyword of exactly seven results, all with small URLs.
    const std::string keyword = "ight";
    ASSERT_EQ(resultURLs(keyword, 0, 30).size(), 7u);
    auto screen = openSearch();

    search(*screen, keyword);
    harness.settle(0.5);
    EXPECT_EQ(alertTitles(), std::vector<std::string>{app::localized("searching_photos")});
    EXPECT_FALSE(screen->searchBar()->isFirstResponder());
    waitForAnswer(*screen);

    const auto sent = harness.photos().requestsTo("/search/photos");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].queryValue("query"), keyword);
    EXPECT_EQ(sent[0].queryValue("page"), "1");
    EXPECT_EQ(sent[0].queryValue("per_page"), "30");
    EXPECT_EQ(sent[0].header("Authorization"),
              std::string("Bearer ") + app::kPhotoServiceAccessToken);
    EXPECT_EQ(sent[0].header("Accept"), "application/json");

    EXPECT_TRUE(alertTitles().empty());
    EXPECT_EQ(shownURLs(*screen), resultURLs(keyword, 0, 30));
    EXPECT_EQ(storedURLs(), resultURLs(keyword, 0, 30));
    EXPECT_EQ(core::UserDefaults::standard()->stringForKey("USR_DEF_KEY_SEARCH_KEYWORD"), keyword);
    EXPECT_EQ(screen->currentPageIndex(), 2);
    EXPECT_EQ(screen->waterLayout()->queueNum, 3);
    EXPECT_EQ(screen->collectionView()->contentOffset().y, 0);

    // Each shown cell loads its photo's thumbnail with the 3-second flip.
    const auto cells = screen->collectionView()->visibleCells();
    ASSERT_FALSE(cells.empty());
    for (const auto& cell : cells) {
        auto image =
            std::dynamic_pointer_cast<ui::ImageView>(cell->backgroundView()->subviews().at(0));
        ASSERT_TRUE(image);
        ASSERT_TRUE(cell->indexPath());
        const auto& photo =
            screen->imageDataSources().at(static_cast<size_t>(cell->indexPath()->item));
        ASSERT_TRUE(ui::imageURL(*image));
        EXPECT_EQ(ui::imageURL(*image)->absoluteString(), photo->smallUrl);
        EXPECT_EQ(image->frame().size, cell->frame().size);
    }
    ASSERT_TRUE(harness.waitFor([&] {
        return std::none_of(cells.begin(), cells.end(), [&](const auto& cell) {
            return screen->imageDataSources()[static_cast<size_t>(cell->indexPath()->item)]
                ->isHolder;
        });
    }));
}

TEST_F(SearchScenario, AKeywordWithoutResultsAsksThreePagesThenSaysSo) {
    auto screen = openSearch();
    search(*screen, "sea");
    waitForAnswer(*screen);
    const auto seaPhotos = shownURLs(*screen);

    search(*screen, "zzzz");
    ASSERT_TRUE(harness.waitFor([&] { return searches().size() == 4 && !screen->isFetching(); }));
    // The toast follows once the searching alert has gone.
    harness.settle(1.0);
    EXPECT_EQ(searches(), (std::vector<std::pair<std::string, std::string>>{
                              {"sea", "1"}, {"zzzz", "1"}, {"zzzz", "2"}, {"zzzz", "3"}}));
    EXPECT_EQ(alertTitles(), std::vector<std::string>{app::localized("none_search_result")});
    // The grid and the stored page stay those of the last search that found
    // something.
    EXPECT_EQ(shownURLs(*screen), seaPhotos);
    EXPECT_EQ(storedURLs(), seaPhotos);

    harness.settle(2.5);
    EXPECT_TRUE(alertTitles().empty());
    EXPECT_EQ(searches().size(), 4u);
}

TEST_F(SearchScenario, PagingFollowsTheCurrentKeywordAndEndsAfterEmptyPages) {
    auto screen = openSearch();
    search(*screen, "a");
    waitForAnswer(*screen);
    const auto firstPage = resultURLs("a", 0, 30);
    ASSERT_EQ(shownURLs(*screen), firstPage);

    // A bottom scroll asks for page 2, whose photos go below.
    scrollToBottom(*screen);
    waitForAnswer(*screen);
    std::vector<std::string> bothPages = firstPage;
    for (const auto& url : resultURLs("a", 30, 30))
        if (std::find(firstPage.begin(), firstPage.end(), url) == firstPage.end())
            bothPages.push_back(url);
    EXPECT_EQ(shownURLs(*screen), bothPages);
    EXPECT_EQ(storedURLs(), firstPage);

    // A new keyword starts again from page 1 and pages on from there.
    search(*screen, "e");
    waitForAnswer(*screen);
    EXPECT_EQ(shownURLs(*screen), resultURLs("e", 0, 30));
    EXPECT_EQ(screen->collectionView()->contentOffset().y, 0);

    // Page 2 answers empty: page 3 follows at once, then the toast.
    // (Page 3 is held until the scroll is done, so that the clock is not
    // moved past its toast.)
    const auto pageThree = fixtures::ResponseGate::make();
    harness.photos().failNext("/search/photos", PhotoFailure::emptyPage());
    harness.photos().failNext("/search/photos", PhotoFailure::held(pageThree));
    scrollToBottom(*screen);
    ASSERT_TRUE(harness.waitFor([&] { return searches().size() == 5; }));
    pageThree->release();
    ASSERT_TRUE(harness.waitFor([&] { return !screen->isFetching(); }));
    harness.settle(0.6);
    EXPECT_EQ(searches(), (std::vector<std::pair<std::string, std::string>>{
                              {"a", "1"}, {"a", "2"}, {"e", "1"}, {"e", "2"}, {"e", "3"}}));
    EXPECT_EQ(alertTitles(), std::vector<std::string>{app::localized("none_search_result")});
    EXPECT_EQ(shownURLs(*screen), resultURLs("e", 0, 30));
}

TEST_F(SearchScenario, OnlyARestAtTheVeryBottomLoadsMore) {
    auto screen = openSearch();
    search(*screen, "a");
    waitForAnswer(*screen);
    ui::CollectionView& grid = *screen->collectionView();
    const double bottom = grid.contentSize().height - grid.frame().height();

    grid.setContentOffset({0, bottom - 1});
    screen->scrollViewDidEndDecelerating(grid);
    EXPECT_FALSE(screen->isFetching());
    grid.setContentOffset({0, bottom - 0.5});
    screen->scrollViewDidEndDecelerating(grid);
    EXPECT_TRUE(screen->isFetching());
    EXPECT_EQ(screen->moreView()->superview(), screen->view());
    waitForAnswer(*screen);
    ASSERT_FALSE(searches().empty());
    EXPECT_EQ(searches().back(), (std::pair<std::string, std::string>{"a", "2"}));
    EXPECT_FALSE(screen->moreView()->superview());
}

TEST_F(SearchScenario, AnAnswerToAnEarlierSearchIsDropped) {
    core::Console::Capture console;
    auto screen = openSearch();
    // The first search answers late, after the second has shown its photos.
    const auto first = fixtures::ResponseGate::make();
    harness.photos().failNext("/search/photos", PhotoFailure::held(first));
    search(*screen, "sea");
    ASSERT_TRUE(harness.waitFor([&] { return searches().size() == 1; }));
    harness.settle(0.5);
    screen->searchBar()->setText("city");
    screen->searchBarSearchButtonClicked(*screen->searchBar());
    waitForAnswer(*screen);
    ASSERT_EQ(shownURLs(*screen), resultURLs("city", 0, 30));
    first->release();
    ASSERT_TRUE(harness.waitFor([&] { return console.contains("search answer dropped"); }));
    harness.settle(1.0);
    EXPECT_EQ(shownURLs(*screen), resultURLs("city", 0, 30));
    EXPECT_EQ(storedURLs(), resultURLs("city", 0, 30));
    EXPECT_EQ(screen->currentPageIndex(), 2);
    EXPECT_TRUE(alertTitles().empty());
}

TEST_F(SearchScenario, ALoadMoreOfAnEarlierSearchIsDroppedWhileTheNewOneRuns) {
    core::Console::Capture console;
    auto screen = openSearch();
    search(*screen, "a");
    waitForAnswer(*screen);

    // Page 2 of "a" answers while "city" is still on its way.
    const auto pageTwo = fixtures::ResponseGate::make();
    const auto city = fixtures::ResponseGate::make();
    harness.photos().failNext("/search/photos", PhotoFailure::held(pageTwo));
    scrollToBottom(*screen);
    ASSERT_TRUE(screen->isFetching());
    ASSERT_TRUE(harness.waitFor([&] { return searches().size() == 2; }));
    harness.photos().failNext("/search/photos", PhotoFailure::held(city));
    screen->searchBar()->setText("city");
    screen->searchBarSearchButtonClicked(*screen->searchBar());
    ASSERT_TRUE(harness.waitFor([&] { return searches().size() == 3; }));
    pageTwo->release();
    ASSERT_TRUE(harness.waitFor([&] { return console.contains("search answer dropped"); }));
    EXPECT_TRUE(screen->isFetching());
    EXPECT_EQ(shownURLs(*screen), resultURLs("a", 0, 30));
    harness.settle(0.5);
    EXPECT_EQ(alertTitles(), std::vector<std::string>{app::localized("searching_photos")});

    city->release();
    waitForAnswer(*screen);
    EXPECT_EQ(shownURLs(*screen), resultURLs("city", 0, 30));
    EXPECT_EQ(screen->currentPageIndex(), 2);
    EXPECT_TRUE(alertTitles().empty());
}

TEST_F(SearchScenario, ABlankKeywordIsSearchedAndFindingNothingKeepsTheGridAndTheStoredSearch) {
    auto screen = openSearch();
    search(*screen, "sea");
    waitForAnswer(*screen);
    const auto seaPhotos = shownURLs(*screen);
    ASSERT_FALSE(seaPhotos.empty());

    for (int page = 1; page <= 3; ++page)
        harness.photos().failNext("/search/photos", PhotoFailure::emptyPage());
    screen->searchBar()->setText("");
    screen->searchBarSearchButtonClicked(*screen->searchBar());
    ASSERT_TRUE(harness.waitFor([&] { return searches().size() == 4 && !screen->isFetching(); }));
    harness.settle(1.0);
    EXPECT_EQ(searches(), (std::vector<std::pair<std::string, std::string>>{
                              {"sea", "1"}, {"", "1"}, {"", "2"}, {"", "3"}}));
    EXPECT_EQ(alertTitles(), std::vector<std::string>{app::localized("none_search_result")});
    EXPECT_EQ(shownURLs(*screen), seaPhotos);
    EXPECT_EQ(storedURLs(), seaPhotos);
    EXPECT_EQ(core::UserDefaults::standard()->stringForKey("USR_DEF_KEY_SEARCH_KEYWORD"), "");
}

TEST_F(SearchScenario, AFailedSearchShowsItsErrorOverTheGrid) {
    auto screen = openSearch();
    search(*screen, "sea");
    waitForAnswer(*screen);
    const auto seaPhotos = shownURLs(*screen);

    const app::AppConfiguration online = app::AppConfiguration::current();
    app::AppConfiguration offline = online;
    offline.photoAPIBase = "http://127.0.0.1:1";
    app::AppConfiguration::set(offline);
    search(*screen, "city");
    waitForAnswer(*screen);

    const auto& tips = screen->loadingTips();
    EXPECT_FALSE(tips->text().empty());
    EXPECT_NE(tips->text(), app::localized("fetch_photos"));
    EXPECT_FALSE(tips->isHidden());
    EXPECT_TRUE(tips->window());
    EXPECT_GT(tips->frame().height(), 0);
    EXPECT_EQ(screen->view()->subviews().back(), tips);
    EXPECT_TRUE(alertTitles().empty());
    EXPECT_EQ(shownURLs(*screen), seaPhotos);
    EXPECT_EQ(screen->currentPageIndex(), 1);

    // Back online, the next search works and the message goes.
    app::AppConfiguration::set(online);
    search(*screen, "city");
    waitForAnswer(*screen);
    EXPECT_EQ(shownURLs(*screen), resultURLs("city", 0, 30));
    EXPECT_TRUE(tips->isHidden());
}

TEST_F(SearchScenario, ASearchStartedBeforeTheStoredKeywordArrivesKeepsItsOwn) {
    core::UserDefaults::standard()->setString("USR_DEF_KEY_SEARCH_KEYWORD", "sea");
    auto screen = SearchViewController::create(app::AppConfiguration::current().photoListURL());
    navigation()->pushViewController(screen, false);
    screen->searchBar()->setText("city");
    screen->searchBarSearchButtonClicked(*screen->searchBar());
    waitForAnswer(*screen);
    harness.settle(0.5);

    EXPECT_EQ(screen->searchKeyword(), "city");
    EXPECT_EQ(screen->searchBar()->text(), "city");
    EXPECT_EQ(shownURLs(*screen), resultURLs("city", 0, 30));
}
