#pragma once
// The page's "videoClicked", posted again as "dz-native-ad-video-click" with
// the ad view as object and the message's parameters as user info, for
// native ads. Main thread.

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZNativeAdVideoClickDMSGHandler : public DZDMSGHandler {
public:
    static constexpr const char* kVideoClickNotification = "dz-native-ad-video-click";

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    void didReceiveClickNotification(const std::shared_ptr<DZAdView>& adView,
                                     const core::Dictionary& parameters);
};

}  // namespace ads
