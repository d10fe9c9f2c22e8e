#pragma once
// The page's "reward" of a rewarded ad, by "action": "video_start" tells the
// ad view's reward delegate that the video started; "grant" hands it the
// reward of "type" and the decimal number "amount". A grant without a type
// or without an amount that is a decimal number grants nothing. Main
// thread.

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZRewardBasedVideoAdDMSGHandler : public DZDMSGHandler {
public:
    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    void didReceiveRewardBasedVideoAdAction(const std::shared_ptr<DZAdView>& adView,
                                            const core::Dictionary& parameters);
    void didReceiveStartVideoAction(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);
    void didReceiveGrantRewardAction(const std::shared_ptr<DZAdView>& adView,
                                     const core::Dictionary& parameters);
};

}  // namespace ads
