#include "app/services/PhotosObject.h"

#include <charconv>

#include "core/UserDefaults.h"
#include "ui/ImageAsset.h"

namespace app {

namespace {

constexpr size_t kHistoryFill = 15;
constexpr const char* kPlaceholderImage = "bg_slice";

std::optional<std::int64_t> decimal(const core::Value& value) {
    const std::string* text = value.string();
    if (!text || text->empty()) return std::nullopt;
    std::int64_t number = 0;
    const char* end = text->data() + text->size();
    auto [ptr, ec] = std::from_chars(text->data(), end, number);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return number;
}

std::string text(const core::Value& value) { return value.isString() ? *value.string() : ""; }

}  // namespace

std::shared_ptr<PhotosObject> PhotosObject::fromJSON(const core::Value& element) {
    auto photo = std::make_shared<PhotosObject>();
    photo->smallUrl = text(element["urls"]["small"]);
    photo->fullUrl = text(element["urls"]["full"]);
    photo->userName = text(element["user"]["name"]);
    photo->userProfileImage = text(element["user"]["profile_image"]["medium"]);
    photo->userLink = text(element["user"]["links"]["html"]);
    photo->width = element["width"].intValue();
    photo->height = element["height"].intValue();
    photo->downloadLocation = text(element["links"]["download_location"]);
    photo->isHolder = true;
    photo->smallImage = ui::imageNamed(kPlaceholderImage);
    return photo;
}

std::shared_ptr<PhotosObject> PhotosObject::fromRecord(const core::Value& record) {
    if (!record.isDictionary()) return nullptr;
    const auto width = decimal(record["width"]);
    const auto height = decimal(record["height"]);
    if (!width || !height) return nullptr;

    auto item = std::make_shared<PhotosObject>();
    item->width = *width;
    item->height = *height;
    if (text(record["isAds"]) == "true") {
        item->isAds = true;
        return item;
    }
    for (const char* key : {"small", "full", "user_name", "profile_image", "link"})
        if (!record[key].isString()) return nullptr;
    item->smallUrl = *record["small"].string();
    item->fullUrl = *record["full"].string();
    item->userName = *record["user_name"].string();
    item->userProfileImage = *record["profile_image"].string();
    item->userLink = *record["link"].string();
    item->downloadLocation = text(record["download_location"]);
    item->isHolder = true;
    item->smallImage = ui::imageNamed(kPlaceholderImage);
    return item;
}

core::Value PhotosObject::favouriteRecord() const {
    return core::Dictionary{{"small", smallUrl},
                            {"full", fullUrl},
                            {"user_name", userName},
                            {"profile_image", userProfileImage},
                            {"link", userLink},
                            {"width", std::to_string(width)},
                            {"height", std::to_string(height)}};
}

core::Value PhotosObject::record() const {
    if (isAds) {
        return core::Dictionary{
            {"width", std::to_string(width)}, {"height", std::to_string(height)}, {"isAds", "true"}};
    }
    core::Value photo = favouriteRecord();
    photo.dictionary()->set("isAds", "false");
    photo.dictionary()->set("download_location", downloadLocation);
    return photo;
}

core::Array historyRecords(const PhotoList& newItems, const PhotoList& currentItems,
                           bool fillFromCurrent) {
    core::Array records;
    records.reserve(std::max(newItems.size(), kHistoryFill));
    for (const auto& item : newItems) records.push_back(item->record());
    if (fillFromCurrent) {
        for (size_t i = 0; i < currentItems.size() && records.size() < kHistoryFill; ++i)
            records.push_back(currentItems[i]->record());
    }
    return records;
}

void writeHistory(const std::string& key, const PhotoList& newItems, const PhotoList& currentItems,
                  bool fillFromCurrent) {
    if (newItems.empty()) return;
    core::UserDefaults::standard()->setObject(key,
                                              historyRecords(newItems, currentItems, fillFromCurrent));
}

PhotoList restoreHistory(const std::string& key) {
    PhotoList items;
    const core::Value stored = core::UserDefaults::standard()->objectForKey(key);
    const core::Array* records = stored.array();
    if (!records) return items;
    for (const core::Value& record : *records)
        if (auto item = PhotosObject::fromRecord(record)) items.push_back(std::move(item));
    return items;
}

}  // namespace app
