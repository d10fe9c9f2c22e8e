#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillOnDismissPolicy.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPool.h"

namespace ads {

std::shared_ptr<DZInterstitialPoolRefillOnDismissPolicy>
DZInterstitialPoolRefillOnDismissPolicy::create() {
    std::shared_ptr<DZInterstitialPoolRefillOnDismissPolicy> policy(
        new DZInterstitialPoolRefillOnDismissPolicy());
    const std::weak_ptr<DZInterstitialPoolRefillOnDismissPolicy> weak = policy;
    policy->dismissalObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        DZSlot::kDidDismissFullScreenNotification, nullptr, nullptr,
        [weak](const core::Notification&) {
            if (const auto self = weak.lock()) self->fillPools();
        });
    return policy;
}

DZInterstitialPoolRefillOnDismissPolicy::~DZInterstitialPoolRefillOnDismissPolicy() {
    core::NotificationCenter::defaultCenter().removeObserver(dismissalObserver_);
}

void DZInterstitialPoolRefillOnDismissPolicy::interstitialPoolDidAddEntry(
    const std::shared_ptr<DZInterstitialPool>& pool) {
    if (pool) pool->fill();
}

}  // namespace ads
