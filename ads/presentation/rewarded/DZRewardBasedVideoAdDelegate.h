#pragma once
// What a host hears from the rewarded ad, on the main thread. Only the
// reward is required; the rest default to nothing. A delegate that also
// adopts DZRewardBasedVideoAdClickDelegate hears the ad's clicks (HTML ads
// only: a mediated ad's click reaches no host callback).

#include <memory>

#include "ads/core/request/DZError.h"

namespace ads {

class DZAdReward;
class DZRewardBasedVideoAd;

class DZRewardBasedVideoAdDelegate {
public:
    virtual ~DZRewardBasedVideoAdDelegate() = default;
    virtual void didRewardUserWithReward(DZRewardBasedVideoAd& rewardBasedVideoAd,
                                         const std::shared_ptr<DZAdReward>& reward) = 0;
    virtual void didFailToLoadWithError(DZRewardBasedVideoAd& rewardBasedVideoAd,
                                        const DZRequestError& error) {
        (void)rewardBasedVideoAd, (void)error;
    }
    virtual void rewardBasedVideoAdDidReceiveAd(DZRewardBasedVideoAd& rewardBasedVideoAd) {
        (void)rewardBasedVideoAd;
    }
    virtual void rewardBasedVideoAdDidOpen(DZRewardBasedVideoAd& rewardBasedVideoAd) {
        (void)rewardBasedVideoAd;
    }
    virtual void rewardBasedVideoAdDidStartPlaying(DZRewardBasedVideoAd& rewardBasedVideoAd) {
        (void)rewardBasedVideoAd;
    }
    virtual void rewardBasedVideoAdDidClose(DZRewardBasedVideoAd& rewardBasedVideoAd) {
        (void)rewardBasedVideoAd;
    }
    virtual void rewardBasedVideoAdWillLeaveApplication(DZRewardBasedVideoAd& rewardBasedVideoAd) {
        (void)rewardBasedVideoAd;
    }
};

class DZRewardBasedVideoAdClickDelegate {
public:
    virtual ~DZRewardBasedVideoAdClickDelegate() = default;
    virtual void rewardBasedVideoAdDidReceiveAdClick(DZRewardBasedVideoAd& rewardBasedVideoAd) = 0;
};

}  // namespace ads
