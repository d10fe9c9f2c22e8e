#pragma once
// The rewarded video ad singleton. Rewarded video is not built yet: the
// shared instance is created empty and loads nothing; each call of
// sharedInstance() is recorded in DZCallLog. Any thread.

#include <memory>

namespace ads {

class DZRewardBasedVideoAd {
public:
    [[nodiscard]] static std::shared_ptr<DZRewardBasedVideoAd> sharedInstance();
    DZRewardBasedVideoAd() = default;
};

}  // namespace ads
