#pragma once
// Told before a banner changes its ad size on its own (a fluid ad that
// reports a new content height, a search banner whose page grows).
// Publisher code adopts it; banners and option objects hold it weakly.
// Main thread.

#include "ads/core/request/DZAdSize.h"

namespace ads {

class DZBannerView;

class DZAdSizeDelegate {
public:
    virtual ~DZAdSizeDelegate() = default;
    virtual void willChangeAdSizeTo(DZBannerView& view, const DZAdSize& size) {
        (void)view, (void)size;
    }
};

}  // namespace ads
