#include "ads/presentation/interstitial/cache/DZInterstitialPoolGroupRefillPolicy.h"

#include <algorithm>

#include "ads/presentation/interstitial/cache/DZInterstitialPool.h"

namespace ads {

DZInterstitialPoolGroupRefillPolicy::DZInterstitialPoolGroupRefillPolicy()
    : lockQueue_(core::Queue::serial(kLockQueueLabel)) {}

void DZInterstitialPoolGroupRefillPolicy::addPool(const std::shared_ptr<DZInterstitialPool>& pool) {
    if (!pool) return;
    const std::weak_ptr<DZInterstitialPool> weak = pool;
    // The queue's tasks may outlive a caller's reference to the policy.
    lockQueue_->sync([this, weak] {
        std::erase_if(pools_, [](const auto& held) { return held.expired(); });
        pools_.push_back(weak);
    });
}

std::vector<std::shared_ptr<DZInterstitialPool>> DZInterstitialPoolGroupRefillPolicy::pools() const {
    std::vector<std::shared_ptr<DZInterstitialPool>> alive;
    lockQueue_->sync([&] {
        for (const auto& weak : pools_)
            if (auto pool = weak.lock()) alive.push_back(std::move(pool));
    });
    return alive;
}

void DZInterstitialPoolGroupRefillPolicy::fillPools() {
    fillGroup();
}

void DZInterstitialPoolGroupRefillPolicy::fillGroup() {
    for (const auto& pool : pools()) pool->fill();
}

}  // namespace ads
