#include "ads/presentation/DZRewardBasedVideoAd.h"

#include "ads/foundation/DZCallLog.h"

namespace ads {

std::shared_ptr<DZRewardBasedVideoAd> DZRewardBasedVideoAd::sharedInstance() {
    return DZSeamSharedInstance<DZRewardBasedVideoAd>("DZRewardBasedVideoAd");
}

}  // namespace ads
