#pragma once
// The page's "precache" message: a video downloaded into the SDK's cache
// ahead of playing, whose file a later file "src" plays from. Precaching is
// not built yet: the message is taken and nothing is downloaded, so there
// is no precache download unless one is handed over (setResourceCache).
//
// Main thread.

#include <memory>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZResourceCache;

class DZPrecacheDMSGHandler : public DZDMSGHandler {
public:
    void adViewDidReceivePrecacheNotification(const std::shared_ptr<DZAdView>& adView,
                                              const core::Dictionary& parameters);

    // The current precache download, if any.
    [[nodiscard]] const std::shared_ptr<DZResourceCache>& resourceCache() const {
        return resourceCache_;
    }
    void setResourceCache(std::shared_ptr<DZResourceCache> cache) {
        resourceCache_ = std::move(cache);
    }

private:
    std::shared_ptr<DZResourceCache> resourceCache_;
};

}  // namespace ads
