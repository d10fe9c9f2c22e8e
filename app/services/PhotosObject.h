#pragma once
// One item of every list of the app: a photo of the photo service or, in the
// featured feed, the placeholder of a banner-ad row. Feeds keep their first
// page, and the favourites their list, in the user defaults store as flat
// text records; this class turns items into records and back.
//
// Objects are shared between a list and the screens that show them; main
// thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Value.h"
#include "gfx/Image.h"

namespace app {

class PhotosObject {
public:
    std::string smallUrl;
    std::string fullUrl;
    std::string userName;
    std::string userLink;
    std::string userProfileImage;
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool isAds = false;
    bool isHolder = false;
    gfx::ImagePtr smallImage;
    std::string downloadLocation;

    // A photo from an element of the photo service's JSON, with the
    // placeholder image until its thumbnail loads.
    [[nodiscard]] static std::shared_ptr<PhotosObject> fromJSON(const core::Value& element);
    // An item from a stored record; nullptr for a record the app never
    // writes (not a dictionary, a photo key missing, a width or height that
    // is not a decimal integer).
    [[nodiscard]] static std::shared_ptr<PhotosObject> fromRecord(const core::Value& record);
    // The stored record: the photo record, or the ad record of a placeholder.
    [[nodiscard]] core::Value record() const;
    // The favourites record: the first seven keys of a photo record.
    [[nodiscard]] core::Value favouriteRecord() const;
};

using PhotoList = std::vector<std::shared_ptr<PhotosObject>>;

// The records a page-1 fetch stores: the new items' records, filled up to
// 15 from the items shown before when fillFromCurrent; never cut.
[[nodiscard]] core::Array historyRecords(const PhotoList& newItems, const PhotoList& currentItems,
                                         bool fillFromCurrent);
// Writes historyRecords(...) under key unless there is no new item.
void writeHistory(const std::string& key, const PhotoList& newItems, const PhotoList& currentItems,
                  bool fillFromCurrent);
// The stored list under key, skipping records that cannot be read.
[[nodiscard]] PhotoList restoreHistory(const std::string& key);

}  // namespace app
