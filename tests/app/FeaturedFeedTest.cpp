// The featured feed's list, fed with answers of the photo service's shape
// directly: where new photos and banner rows go, what is stored, row
// heights. The screen is not on a window, so no cell is made and nothing
// is fetched unless a test asks for a banner row's cell.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "app/AppDelegate.h"
#include "app/vc/ViewController.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/PhotoDocument.h"
#include "fixtures/PhotoPool.h"
#include "support/ManualClockScope.h"

namespace {

constexpr const char* kHistoryKey = "DISCOVERY_POPULAR_HISTORY";
constexpr const char* kBase = "http://127.0.0.1:9";

class FeaturedFeedTest : public testing::Test {
protected:
    void SetUp() override {
        core::UserDefaults::standard()->removeObjectForKey(kHistoryKey);
        for (const auto& photo : pool.photos())
            if (!photo.withoutSmallURL) usable.push_back(&photo);
    }
    void TearDown() override { core::UserDefaults::standard()->removeObjectForKey(kHistoryKey); }

    std::shared_ptr<app::ViewController> makeFeed() {
        auto feed = std::make_shared<app::ViewController>("", kHistoryKey);
        (void)feed->view();
        return feed;
    }
    [[nodiscard]] core::Value element(size_t n) const {
        return fixtures::PhotoDocument::photo(*usable.at(n), kBase);
    }
    // Photos first .. first + count - 1 of the usable photos, as one answer.
    [[nodiscard]] core::Value photos(size_t first, size_t count) const {
        core::Array list;
        for (size_t n = first; n < first + count; ++n) list.push_back(element(n));
        return list;
    }
    [[nodiscard]] static core::HTTPResult<core::Value> answer(core::Value json) {
        core::HTTPResult<core::Value> result;
        result.value = std::move(json);
        return result;
    }
    [[nodiscard]] std::string smallURL(size_t n) const {
        return *element(n)["urls"]["small"].string();
    }
    // The list as "p<n>" for usable photo n and "ad" for a banner row.
    [[nodiscard]] std::vector<std::string> rows(const app::ViewController& feed) const {
        std::vector<std::string> out;
        for (const auto& entry : feed.imageDataSources()) {
            if (entry->isAds) {
                out.push_back("ad");
                continue;
            }
            std::string name = "?";
            for (size_t n = 0; n < usable.size(); ++n)
                if (smallURL(n) == entry->smallUrl) name = "p" + std::to_string(n);
            out.push_back(name);
        }
        return out;
    }
    static void append(std::vector<std::string>& out, size_t first, size_t last) {
        for (size_t n = first; n <= last; ++n) out.push_back("p" + std::to_string(n));
    }
    static void appendReversed(std::vector<std::string>& out, size_t last, size_t first) {
        for (size_t n = last + 1; n-- > first;) out.push_back("p" + std::to_string(n));
    }
    void storeHistory(size_t first, size_t count) const {
        core::Array records;
        for (size_t n = first; n < first + count; ++n)
            records.push_back(app::PhotosObject::fromJSON(element(n))->record());
        core::UserDefaults::standard()->setObject(kHistoryKey, records);
    }

    testsupport::ManualClockScope clock;
    fixtures::PhotoPool pool;
    std::vector<const fixtures::PoolPhoto*> usable;
};

TEST_F(FeaturedFeedTest, LoadMoreBatchesPutABannerRowAfterNewPhotos8And16And24) {
    auto feed = makeFeed();
    feed->handleRandomPhotosResponse(answer(photos(0, 15)), false, 2);
    feed->handleRandomPhotosResponse(answer(photos(15, 15)), false, 3);

    std::vector<std::string> expected;
    append(expected, 0, 8);
    expected.push_back("ad");
    append(expected, 9, 16);
    expected.push_back("ad");
    append(expected, 17, 24);
    expected.push_back("ad");
    append(expected, 25, 29);
    EXPECT_EQ(rows(*feed), expected);
    EXPECT_EQ(feed->photoIndex(), 30);
    EXPECT_EQ(feed->currentPageIndex(), 3);

    // Each banner row carries the width of the photo before it and its own
    // height.
    const auto& list = feed->imageDataSources();
    ASSERT_GT(list.size(), 27u);
    for (size_t row : {9u, 18u, 27u}) {
        ASSERT_TRUE(list[row]->isAds);
        EXPECT_EQ(list[row]->width, list[row - 1]->width);
        EXPECT_EQ(list[row]->height, 120);
        EXPECT_TRUE(list[row]->smallUrl.empty());
        EXPECT_DOUBLE_EQ(feed->rowHeight(row), 120);
    }
}

TEST_F(FeaturedFeedTest, RefreshPutsItsPhotosReversedOnTopWithItsBannerRowsAfterThem) {
    auto feed = makeFeed();
    feed->handleRandomPhotosResponse(answer(photos(0, 3)), false, 2);
    ASSERT_EQ(feed->photoIndex(), 3);

    feed->handleRandomPhotosResponse(answer(photos(3, 15)), true, 1);
    std::vector<std::string> expected;
    appendReversed(expected, 17, 3);
    expected.insert(expected.end(), {"ad", "ad"});
    append(expected, 0, 2);
    EXPECT_EQ(rows(*feed), expected);

    // The banner rows were made for photos 8 and 16.
    const auto& list = feed->imageDataSources();
    ASSERT_GT(list.size(), 16u);
    EXPECT_EQ(list[15]->width, usable[8]->width);
    EXPECT_EQ(list[16]->width, usable[16]->width);
    // A refresh leaves the page counter alone; the banner rhythm runs on.
    EXPECT_EQ(feed->currentPageIndex(), 2);
    EXPECT_EQ(feed->photoIndex(), 18);
}

TEST_F(FeaturedFeedTest, PhotosAlreadyListedAreSkippedAndNotCounted) {
    auto feed = makeFeed();
    feed->handleRandomPhotosResponse(answer(photos(0, 5)), false, 2);
    feed->handleRandomPhotosResponse(answer(photos(3, 5)), false, 3);
    std::vector<std::string> expected;
    append(expected, 0, 7);
    EXPECT_EQ(rows(*feed), expected);
    EXPECT_EQ(feed->photoIndex(), 8);

    // An answer of nothing new changes neither the list nor the store.
    feed->handleRandomPhotosResponse(answer(photos(0, 8)), true, 1);
    EXPECT_EQ(rows(*feed), expected);
    EXPECT_EQ(feed->photoIndex(), 8);
    EXPECT_TRUE(core::UserDefaults::standard()->objectForKey(kHistoryKey).isNull());
}

TEST_F(FeaturedFeedTest, ElementsThatCannotMakeARowAreSkippedAndNotCounted) {
    auto feed = makeFeed();
    core::Value noSmall = element(0);
    noSmall.dictionary()->set("urls", core::Dictionary{{"full", "http://x/full.jpg"}});
    core::Value noName = element(1);
    noName.dictionary()->set("user", core::Dictionary{{"links", core::Dictionary{}}});
    core::Value textWidth = element(2);
    textWidth.dictionary()->set("width", "1080");

    core::Console::Capture console;
    feed->handleRandomPhotosResponse(answer(core::Array{noSmall, noName, textWidth, element(3)}),
                                     false, 2);
    EXPECT_EQ(rows(*feed), std::vector<std::string>{"p3"});
    EXPECT_EQ(feed->photoIndex(), 1);
    EXPECT_TRUE(console.contains("找不到links"));

    // An error object of the service is an answer without photos.
    const core::Value errors = core::Dictionary{{"errors", core::Array{"Rate Limit Exceeded"}}};
    feed->handleRandomPhotosResponse(answer(errors), true, 1);
    EXPECT_EQ(feed->imageDataSources().size(), 1u);
}

TEST_F(FeaturedFeedTest, AFirstPageIsStoredWithItsBannerRecordAndFilledFromTheListBefore) {
    storeHistory(20, 15);
    auto feed = makeFeed();
    ASSERT_EQ(feed->imageDataSources().size(), 15u);
    EXPECT_EQ(feed->photoIndex(), 0) << "restored rows are not new photos";

    // Load-more pages are never stored.
    feed->handleRandomPhotosResponse(answer(photos(0, 5)), false, 2);
    const core::Value before = core::UserDefaults::standard()->objectForKey(kHistoryKey);
    ASSERT_EQ(before.size(), 15u);
    EXPECT_EQ(*before[0]["small"].string(), smallURL(20));

    // Photos 5 to 8 since start: the batch is p8 p7 p6 p5 and the banner
    // row made after photo 8; ten rows of the list before fill it to 15.
    feed->handleRandomPhotosResponse(answer(photos(5, 4)), true, 1);
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kHistoryKey);
    ASSERT_EQ(stored.size(), 15u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(*stored[i]["small"].string(), smallURL(8 - i));
    EXPECT_EQ(stored[4], core::Value(core::Dictionary{{"width", std::to_string(usable[8]->width)},
                                                      {"height", "120"},
                                                      {"isAds", "true"}}));
    for (size_t i = 5; i < 15; ++i) EXPECT_EQ(*stored[i]["small"].string(), smallURL(15 + i));
    EXPECT_EQ(*stored[0]["isAds"].string(), "false");
    EXPECT_TRUE(stored[0]["download_location"].isString());

    // The next launch restores the banner record as a banner row.
    auto next = makeFeed();
    ASSERT_EQ(next->imageDataSources().size(), 15u);
    EXPECT_TRUE(next->imageDataSources()[4]->isAds);
    EXPECT_DOUBLE_EQ(next->rowHeight(4), 120);
}

TEST_F(FeaturedFeedTest, RowsAreFullWidthAtTheirAspectRatioAndNeverDegenerate) {
    core::Array records;
    const auto photoRecord = [&](std::int64_t width, std::int64_t height) {
        auto photo = app::PhotosObject::fromJSON(element(records.size()));
        photo->width = width;
        photo->height = height;
        records.push_back(photo->record());
    };
    photoRecord(1080, 1620);
    photoRecord(0, 900);
    photoRecord(1600, 0);
    photoRecord(-5, 300);
    records.push_back(core::Dictionary{{"width", "1080"}, {"height", "120"}, {"isAds", "true"}});
    core::UserDefaults::standard()->setObject(kHistoryKey, records);

    auto feed = makeFeed();
    const double fallback = 667 / 2.9;
    EXPECT_DOUBLE_EQ(feed->cellHeight(), fallback);
    EXPECT_DOUBLE_EQ(feed->rowHeight(0), 562.5);
    EXPECT_DOUBLE_EQ(feed->rowHeight(1), fallback);
    EXPECT_DOUBLE_EQ(feed->rowHeight(2), fallback);
    EXPECT_DOUBLE_EQ(feed->rowHeight(3), fallback);
    EXPECT_DOUBLE_EQ(feed->rowHeight(4), 120);

    // The table lays the rows out at those heights.
    auto& table = *feed->tableView();
    EXPECT_EQ(table.numberOfRowsInSection(0), 5);
    EXPECT_DOUBLE_EQ(table.rectForRowAtIndexPath(ui::IndexPath::forRow(0, 0)).height(), 562.5);
    EXPECT_DOUBLE_EQ(table.rectForRowAtIndexPath(ui::IndexPath::forRow(4, 0)).minY(),
                     562.5 + 3 * fallback);
    for (int row = 0; row < 5; ++row)
        EXPECT_TRUE(
            std::isfinite(table.rectForRowAtIndexPath(ui::IndexPath::forRow(row, 0)).height()));
}

}  // namespace

namespace {

TEST_F(FeaturedFeedTest, EachDisplayOfABannerRowMakesANewBannerOverTheWholeRow) {
    // Nothing answers the SDK here.
    ads::DZServerHosts::setAdServerHost("127.0.0.1:9");
    auto feed = makeFeed();
    feed->handleRandomPhotosResponse(answer(photos(0, 15)), false, 2);
    ASSERT_GT(feed->imageDataSources().size(), 9u);
    ASSERT_TRUE(feed->imageDataSources()[9]->isAds);
    const auto banners = [&] {
        const auto cell =
            feed->cellForRowAtIndexPath(*feed->tableView(), ui::IndexPath::forRow(9, 0));
        std::vector<std::shared_ptr<ads::DZBannerView>> found;
        for (const auto& subview : cell->subviews())
            if (auto banner = std::dynamic_pointer_cast<ads::DZBannerView>(subview))
                found.push_back(banner);
        EXPECT_EQ(cell->bounds().size.height, 120);
        return found;
    };
    const auto first = banners();
    ASSERT_EQ(first.size(), 1u);
    const auto& banner = first[0];
    EXPECT_EQ(banner->frame(), (gfx::Rect{0, 0, feed->view()->bounds().width(), 120}));
    EXPECT_EQ(banner->rootViewController(), feed);
    EXPECT_EQ(banner->adUnitID(), std::optional<std::string>(app::AppDelegate::kAdBannerUnitID));
    // Its request is made off the main thread and loaded on it.
    EXPECT_TRUE(core::RunLoop::main().runUntil(
        [&] { return banner->slot()->state() != ads::DZSlot::kIdle; }, 10));
    const auto second = banners();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(second[0], banner);
    EXPECT_DOUBLE_EQ(feed->rowHeight(9), 120);
    ads::DZServerHosts::setAdServerHost(std::nullopt);
}

}  // namespace
