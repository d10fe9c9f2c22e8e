#pragma once
// Hears a rewarded ad's page: its video started, and the reward it grants.
// Every operation is optional. Main thread.

#include <memory>

namespace ads {

class DZAdReward;
class DZRewardBasedVideoAdDMSGHandler;

class DZRewardBasedVideoAdDMSGHandlerDelegate {
public:
    virtual ~DZRewardBasedVideoAdDMSGHandlerDelegate() = default;
    virtual void rewardBasedVideoAdDMSGHandlerDidReceiveStartVideoNotification(
        DZRewardBasedVideoAdDMSGHandler&) {}
    virtual void didReceiveRewardNotificationWithRewardItem(DZRewardBasedVideoAdDMSGHandler&,
                                                            const std::shared_ptr<DZAdReward>&) {}
};

}  // namespace ads
