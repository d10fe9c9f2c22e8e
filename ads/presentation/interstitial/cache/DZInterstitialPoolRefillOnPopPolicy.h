#pragma once
// Keeps every pool full: a new pool, an added entry and a removed (taken or
// expired) entry each fill that pool. Stateless; any thread.

#include "ads/presentation/interstitial/cache/DZInterstitialPoolDelegate.h"

namespace ads {

class DZInterstitialPoolRefillOnPopPolicy : public DZInterstitialPoolRefilling {
public:
    void addPool(const std::shared_ptr<DZInterstitialPool>& pool) override;
    void interstitialPoolDidAddEntry(const std::shared_ptr<DZInterstitialPool>& pool) override;
    void interstitialPoolDidRemoveEntry(const std::shared_ptr<DZInterstitialPool>& pool) override;
};

}  // namespace ads
