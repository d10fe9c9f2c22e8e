#include <gtest/gtest.h>

#include "app/services/PhotosObject.h"
#include "core/JSON.h"
#include "core/UserDefaults.h"

using app::PhotoList;
using app::PhotosObject;

namespace {

std::shared_ptr<PhotosObject> photo(const std::string& id, std::int64_t width = 400) {
    auto item = std::make_shared<PhotosObject>();
    item->smallUrl = "https://images.test/" + id + "?w=400";
    item->fullUrl = "https://images.test/" + id;
    item->userName = "Ann " + id;
    item->userLink = "https://photos.test/@" + id;
    item->userProfileImage = "https://images.test/profile-" + id;
    item->width = width;
    item->height = 300;
    item->downloadLocation = "https://api.test/photos/" + id + "/download";
    return item;
}

std::shared_ptr<PhotosObject> adRow(std::int64_t width, std::int64_t height) {
    auto item = std::make_shared<PhotosObject>();
    item->isAds = true;
    item->width = width;
    item->height = height;
    return item;
}

PhotoList photos(const std::string& prefix, int count) {
    PhotoList list;
    for (int i = 0; i < count; ++i) list.push_back(photo(prefix + std::to_string(i)));
    return list;
}

}  // namespace

TEST(PhotosObjectRecords, PhotoAndAdRecordsHaveTheirShapes) {
    const core::Value record = photo("a", 4000)->record();
    ASSERT_TRUE(record.dictionary());
    EXPECT_EQ(record.dictionary()->keys(),
              (std::vector<std::string>{"small", "full", "user_name", "profile_image", "link", "width",
                                        "height", "isAds", "download_location"}));
    EXPECT_EQ(record["width"], core::Value("4000"));
    EXPECT_EQ(record["isAds"], core::Value("false"));

    EXPECT_EQ(adRow(375, 120)->record(),
              core::Value(core::Dictionary{{"width", "375"}, {"height", "120"}, {"isAds", "true"}}));
    ASSERT_TRUE(photo("b")->favouriteRecord().dictionary());
    EXPECT_EQ(photo("b")->favouriteRecord().dictionary()->size(), 7u);
}

TEST(PhotosObjectRecords, RecordsRestoreToTheirItems) {
    auto restored = PhotosObject::fromRecord(photo("a", 4000)->record());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->width, 4000);
    EXPECT_EQ(restored->smallUrl, photo("a")->smallUrl);
    EXPECT_EQ(restored->downloadLocation, photo("a")->downloadLocation);
    EXPECT_TRUE(restored->isHolder);
    EXPECT_FALSE(restored->isAds);

    auto favourite = PhotosObject::fromRecord(photo("f")->favouriteRecord());
    ASSERT_TRUE(favourite);
    EXPECT_FALSE(favourite->isAds);
    EXPECT_EQ(favourite->downloadLocation, "");

    auto ad = PhotosObject::fromRecord(adRow(375, 120)->record());
    ASSERT_TRUE(ad);
    EXPECT_TRUE(ad->isAds);
    EXPECT_EQ(ad->width, 375);
    EXPECT_EQ(ad->height, 120);
    EXPECT_EQ(ad->smallUrl, "");
    EXPECT_FALSE(ad->smallImage);
}

TEST(PhotosObjectRecords, MalformedStoredRecordsAreSkipped) {
    core::Value noWidth = photo("x")->record();
    noWidth.dictionary()->remove("width");
    core::Value wordWidth = photo("y")->record();
    wordWidth.dictionary()->set("width", "wide");
    core::Value numberHeight = photo("z")->record();
    numberHeight.dictionary()->set("height", 300);
    core::Value noSmall = photo("w")->record();
    noSmall.dictionary()->remove("small");

    core::UserDefaults::standard()->setObject(
        "HISTORY_TEST", core::Array{noWidth, "text", photo("ok")->record(), wordWidth, numberHeight,
                                    noSmall, core::Value(), adRow(10, 20)->record()});
    const PhotoList restored = app::restoreHistory("HISTORY_TEST");
    ASSERT_EQ(restored.size(), 2u);
    EXPECT_EQ(restored[0]->smallUrl, photo("ok")->smallUrl);
    EXPECT_TRUE(restored[1]->isAds);

    core::UserDefaults::standard()->setString("HISTORY_TEST", "not a list");
    EXPECT_TRUE(app::restoreHistory("HISTORY_TEST").empty());
}

TEST(PhotosObjectRecords, HistoryFillsUpTo15FromWhatWasShownAndIsNeverCut) {
    EXPECT_EQ(app::historyRecords(photos("n", 10), photos("s", 20), true).size(), 15u);
    const core::Array thirteen = app::historyRecords(photos("n", 10), photos("s", 3), true);
    ASSERT_EQ(thirteen.size(), 13u);
    EXPECT_EQ(thirteen[9]["small"], core::Value(photo("n9")->smallUrl));
    EXPECT_EQ(thirteen[10]["small"], core::Value(photo("s0")->smallUrl));
    EXPECT_EQ(app::historyRecords(photos("q", 30), photos("s", 20), false).size(), 30u);
    EXPECT_EQ(app::historyRecords(photos("q", 5), photos("s", 20), false).size(), 5u);

    PhotoList shown = photos("s", 2);
    shown.insert(shown.begin() + 1, adRow(375, 120));
    const core::Array mixed = app::historyRecords(photos("n", 1), shown, true);
    ASSERT_EQ(mixed.size(), 4u);
    EXPECT_EQ(mixed[2]["isAds"], core::Value("true"));

    core::UserDefaults::standard()->setObject("HISTORY_KEEP", core::Array{photo("old")->record()});
    app::writeHistory("HISTORY_KEEP", {}, photos("s", 5), true);
    EXPECT_EQ(app::restoreHistory("HISTORY_KEEP").size(), 1u);
    app::writeHistory("HISTORY_KEEP", photos("n", 2), photos("s", 5), true);
    EXPECT_EQ(app::restoreHistory("HISTORY_KEEP").size(), 7u);
}

TEST(PhotosObjectRecords, PhotoServiceJSONFillsEveryField) {
    const auto element = core::JSON::parse(R"({
        "id": "p1", "width": 1080, "height": 1620,
        "urls": {"small": "https://images.test/p1-small", "full": "https://images.test/p1-full"},
        "links": {"download_location": "https://api.test/photos/p1/download"},
        "user": {"name": "Mei", "links": {"html": "https://photos.test/@mei"},
                 "profile_image": {"medium": "https://images.test/mei-medium"}}})");
    ASSERT_TRUE(element);
    auto item = PhotosObject::fromJSON(*element);
    EXPECT_EQ(item->smallUrl, "https://images.test/p1-small");
    EXPECT_EQ(item->fullUrl, "https://images.test/p1-full");
    EXPECT_EQ(item->userName, "Mei");
    EXPECT_EQ(item->userLink, "https://photos.test/@mei");
    EXPECT_EQ(item->userProfileImage, "https://images.test/mei-medium");
    EXPECT_EQ(item->width, 1080);
    EXPECT_EQ(item->height, 1620);
    EXPECT_EQ(item->downloadLocation, "https://api.test/photos/p1/download");
    EXPECT_TRUE(item->isHolder);
    EXPECT_FALSE(item->isAds);

    auto bare = PhotosObject::fromJSON(core::Value(core::Dictionary{}));
    EXPECT_EQ(bare->smallUrl, "");
    EXPECT_EQ(bare->width, 0);
}
