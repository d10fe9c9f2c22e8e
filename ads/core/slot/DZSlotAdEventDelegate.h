#pragma once
// Told what the shown ad does on screen: full screens, leaving the app,
// video size, impressions and clicks. Every operation is optional (an empty
// default). Main thread.

#include "gfx/Geometry.h"

namespace ads {

class DZSlot;

class DZSlotAdEventDelegate {
public:
    virtual ~DZSlotAdEventDelegate() = default;
    virtual void slotWillPresentScreen(DZSlot& slot) { (void)slot; }
    virtual void slotWillDismissScreen(DZSlot& slot) { (void)slot; }
    virtual void slotDidDismissScreen(DZSlot& slot) { (void)slot; }
    virtual void slotWillLeaveApplication(DZSlot& slot) { (void)slot; }
    virtual void didLoadVideoWithSize(DZSlot& slot, gfx::Size size) { (void)slot, (void)size; }
    virtual void slotDidRecordImpression(DZSlot& slot) { (void)slot; }
    virtual void slotDidRecordClick(DZSlot& slot) { (void)slot; }
};

}  // namespace ads
