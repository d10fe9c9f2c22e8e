#pragma once
// The page's "delayPageClosed": "start" and "stop" (true booleans) are
// posted as "delay_page_close_start" and "delay_page_close_stop", in that
// order, with the ad view as object, for the interstitial that may close
// it. Messages are held back until the ad view is attached to a placement.
// Main thread.

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZDelayPageCloseDMSGHandler : public DZDMSGHandler {
public:
    static constexpr const char* kStartNotification = "delay_page_close_start";
    static constexpr const char* kStopNotification = "delay_page_close_stop";

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;
    [[nodiscard]] bool shouldBufferNotification(const DZNotification& notification,
                                                const std::shared_ptr<DZAdView>& adView) override;

    void didReceiveDelayPageCloseAction(const std::shared_ptr<DZAdView>& adView,
                                        const core::Dictionary& parameters);
};

}  // namespace ads
