#pragma once
// What the web layer asks of the slot that shows an ad view: the kind of ad
// the slot loads and the ad view it shows now. The slot answers; a banner's
// ad view delegate leads to it directly, any other DZAdViewDelegate through
// its opener (DZAdViewDelegateProtocol::adViewSlot). Main thread, though
// the answers may be read from the URL-loading threads.

#include <memory>

#include "ads/core/request/DZAdType.h"

namespace ads {

class DZAdView;

class DZAdViewSlot {
public:
    virtual ~DZAdViewSlot() = default;
    // nullptr before the slot knows its kind of ad.
    [[nodiscard]] virtual std::shared_ptr<DZAdType> adType() const = 0;
    [[nodiscard]] virtual std::shared_ptr<DZAdView> adView() const = 0;
};

}  // namespace ads
