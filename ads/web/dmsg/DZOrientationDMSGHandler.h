#pragma once
// The page's "forceOrientation": a full-screen ad asks for the orientations
// "orientation" names ("any", "portrait", "landscape"). A controller already
// locked to portrait only or landscape only keeps its lock unless "override"
// is "1"; "animationDuration" is the rotation's length in seconds. Main
// thread.

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZOrientationDMSGHandler : public DZDMSGHandler {
public:
    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    void didReceiveForcedOrientationAction(const std::shared_ptr<DZAdView>& adView,
                                           const core::Dictionary& parameters);
};

}  // namespace ads
