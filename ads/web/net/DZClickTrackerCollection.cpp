#include "ads/web/net/DZClickTrackerCollection.h"

#include "ads/foundation/DZCallLog.h"
#include "ads/web/net/DZPinger.h"

namespace ads {

std::shared_ptr<DZClickTrackerCollection> DZClickTrackerCollection::sharedInstance() {
    static const auto* const shared =
        new std::shared_ptr<DZClickTrackerCollection>(std::make_shared<DZClickTrackerCollection>());
    return *shared;
}

void DZClickTrackerCollection::trackURLs(const std::vector<core::URL>& urls) {
    for (const core::URL& url : urls) trackURL(url);
}

void DZClickTrackerCollection::trackURL(const core::URL& url) {
    DZCallLog::record("DZClickTrackerCollection.trackURL " + url.absoluteString());
    DZPinger::sharedInstance()->pingURLString(url.absoluteString(), core::Queue::main(), nullptr);
}

}  // namespace ads
