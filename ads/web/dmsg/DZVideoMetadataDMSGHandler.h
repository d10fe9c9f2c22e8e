#pragma once
// The page's "videoMeta" message: the state of its video (duration, current
// time, playback state, mute, aspect ratio, whether custom controls are
// allowed), copied into the ad view's video controller for the publisher.
// Nothing changes on an ad view without a video controller. Main thread.

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZVideoMetadataDMSGHandler : public DZDMSGHandler {
public:
    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    void didReceiveVideoMetadataAction(const std::shared_ptr<DZAdView>& adView,
                                       const core::Dictionary& parameters);
};

}  // namespace ads
