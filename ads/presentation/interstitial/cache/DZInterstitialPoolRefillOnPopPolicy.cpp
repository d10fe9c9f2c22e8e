#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillOnPopPolicy.h"

#include "ads/presentation/interstitial/cache/DZInterstitialPool.h"

namespace ads {

void DZInterstitialPoolRefillOnPopPolicy::addPool(const std::shared_ptr<DZInterstitialPool>& pool) {
    if (pool) pool->fill();
}

void DZInterstitialPoolRefillOnPopPolicy::interstitialPoolDidAddEntry(
    const std::shared_ptr<DZInterstitialPool>& pool) {
    if (pool) pool->fill();
}

void DZInterstitialPoolRefillOnPopPolicy::interstitialPoolDidRemoveEntry(
    const std::shared_ptr<DZInterstitialPool>& pool) {
    if (pool) pool->fill();
}

}  // namespace ads
