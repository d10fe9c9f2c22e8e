#pragma once
// The "outbox" folder of the app home, where share sheets leave what the
// user shares, there being no other app to hand it to. Each share writes
// its images as "share-0001-1.png", "share-0001-2.png", ... and then its
// record "share-0001.json":
//   {"time": <seconds since 1970>, "excludedActivityTypes": [...],
//    "items": [{"type": "image", "file": "share-0001-1.png",
//               "width": <pixels>, "height": <pixels>},
//              {"type": "text", "text": "..."}]}
// Every file goes through a temporary file renamed into place, and the
// record comes last, so a record always finds its images. Any thread; two
// writes at once must not share an outbox (the share sheet writes on one
// serial queue).

#include <string>
#include <vector>

#include "core/FileResult.h"
#include "store/ActivityItem.h"
#include "store/ActivityType.h"

namespace store {

class ShareOutbox {
public:
    [[nodiscard]] static std::string folderPath();
    // Writes one share; answers the record's path. A null image is written
    // as an item of type "image" without a file.
    [[nodiscard]] static core::FileResult<std::string>
    write(const std::vector<ActivityItem>& items, const std::vector<ActivityType>& excluded,
          double wallSeconds);
    // Full paths of the records, oldest name first.
    [[nodiscard]] static std::vector<std::string> recordPaths();
};

}  // namespace store
