#pragma once
// What a rewarded network's connector tells the rewarded ad that runs the
// waterfall: the adapter's set-up, its load outcome and the ad's events
// while it is on screen. Main thread.

#include <memory>

#include "ads/core/request/DZError.h"

namespace ads {

class DZAdReward;
class DZMRewardBasedVideoAdNetworkConnector;

class DZMRewardBasedVideoAdConnectorDelegate {
public:
    virtual ~DZMRewardBasedVideoAdConnectorDelegate() = default;

    virtual void connectorDidSetUpRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) = 0;
    virtual void connectorDidFailToSetUpRewardBasedVideoAd(
        DZMRewardBasedVideoAdNetworkConnector& connector, const Error& error) = 0;
    virtual void
    connectorDidReceiveRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) = 0;
    virtual void connectorDidFailToReceiveRewardBasedVideoAd(
        DZMRewardBasedVideoAdNetworkConnector& connector, const Error& error) = 0;
    virtual void connectorDidReceiveClick(DZMRewardBasedVideoAdNetworkConnector& connector) = 0;
    // reward may be null: the adapter gave none.
    virtual void connectorDidRewardUserWithReward(DZMRewardBasedVideoAdNetworkConnector& connector,
                                                  const std::shared_ptr<DZAdReward>& reward) = 0;
    virtual void connectorDidOpenRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) = 0;
    virtual void
    connectorDidStartPlayingRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) = 0;
    virtual void connectorDidCloseRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) = 0;
    virtual void connectorWillLeaveApplication(DZMRewardBasedVideoAdNetworkConnector& connector) = 0;
};

}  // namespace ads
