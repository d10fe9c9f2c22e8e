#pragma once
// The page's "appEvent": the event's "name" and "info" go to the slot's
// owner. Messages are held back while the slot has no placement (or is
// gone), and delivered when the ad view moves to a placement. Main thread.

#include <memory>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZSlot;

class DZAppEventDMSGHandler : public DZDMSGHandler {
public:
    explicit DZAppEventDMSGHandler(std::weak_ptr<DZSlot> slot) : slot_(std::move(slot)) {}

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;
    [[nodiscard]] bool shouldBufferNotification(const DZNotification& notification,
                                                const std::shared_ptr<DZAdView>& adView) override;

    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    void setSlot(std::weak_ptr<DZSlot> slot) { slot_ = std::move(slot); }

    void didReceiveAppEventNotification(const std::shared_ptr<DZAdView>& adView,
                                        const core::Dictionary& parameters);

private:
    std::weak_ptr<DZSlot> slot_;
};

}  // namespace ads
