#pragma once
// Told how each load of a slot ends: the content loaded, or the load failed
// with an SDK error. Main thread.

#include "ads/core/request/DZError.h"

namespace ads {

class DZSlot;

class DZSlotAdLoadDelegate {
public:
    virtual ~DZSlotAdLoadDelegate() = default;
    virtual void slotFinishedLoadingAdContent(DZSlot& slot) = 0;
    virtual void didFailToLoadAdContentWithError(DZSlot& slot, const Error& error) = 0;
};

}  // namespace ads
