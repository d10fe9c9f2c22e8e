#pragma once
// May take over a fetched response before the slot renders it. Main thread.

#include <memory>
#include <optional>

#include "ads/core/request/DZError.h"

namespace ads {

class DZAd;
class DZSlot;

class DZSlotAdResponseDelegate {
public:
    virtual ~DZSlotAdResponseDelegate() = default;
    // False without an error: the delegate has taken the ad over and the
    // load counts as valid. An error fails the load.
    [[nodiscard]] virtual bool shouldProcessAdResponse(DZSlot& slot,
                                                       const std::shared_ptr<DZAd>& ad,
                                                       std::optional<Error>* error) = 0;
    // Before a mediation response runs; the delegate may become the ad's
    // mediation delegate.
    virtual void willProcessMediatedAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad) = 0;
};

}  // namespace ads
