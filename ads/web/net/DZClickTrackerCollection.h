#pragma once
// The shared sender of click and impression tracking URLs from ads and
// message handlers: each URL is pinged once, without retries, through
// DZPinger. Each tracked URL is recorded in DZCallLog as
// "DZClickTrackerCollection.trackURL <url>". Any thread.

#include <memory>
#include <vector>

#include "core/URL.h"

namespace ads {

class DZClickTrackerCollection {
public:
    [[nodiscard]] static std::shared_ptr<DZClickTrackerCollection> sharedInstance();
    DZClickTrackerCollection() = default;

    void trackURLs(const std::vector<core::URL>& urls);
    void trackURL(const core::URL& url);
};

}  // namespace ads
