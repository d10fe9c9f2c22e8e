#pragma once
// Fills its pools only while the SDK is idle: no ad request in flight
// (DZApplication's current request count below 1) and no video player
// buffering. It tries again when the request count changes, when a player
// stops buffering, when a pool is added and when an entry leaves a pool.
// The buffering players are known by address, on the serial queue
// "com.dozuza.vuraz.interstitial-pool-idle-refill-policy". Any thread.

#include <memory>
#include <set>

#include "ads/presentation/interstitial/cache/DZInterstitialPoolGroupRefillPolicy.h"
#include "core/NotificationCenter.h"

namespace ads {

class DZInterstitialPoolRefillWhenIdlePolicy : public DZInterstitialPoolGroupRefillPolicy {
public:
    static constexpr const char* kBufferLockQueueLabel =
        "com.dozuza.vuraz.interstitial-pool-idle-refill-policy";

    [[nodiscard]] static std::shared_ptr<DZInterstitialPoolRefillWhenIdlePolicy> create();
    ~DZInterstitialPoolRefillWhenIdlePolicy() override;

    void addPool(const std::shared_ptr<DZInterstitialPool>& pool) override;
    void fillPools() override;
    void interstitialPoolDidRemoveEntry(const std::shared_ptr<DZInterstitialPool>& pool) override;

    [[nodiscard]] size_t bufferingPlayerCount() const;

private:
    DZInterstitialPoolRefillWhenIdlePolicy();

    core::NotificationCenter::Token adRequestCountObserver_;
    core::NotificationCenter::Token videoBufferingStartObserver_;
    core::NotificationCenter::Token videoBufferingStopObserver_;
    std::weak_ptr<DZInterstitialPoolRefillWhenIdlePolicy> weakSelf_;
    std::set<const void*> bufferingVideoPlayerIdentifiers_;
    const std::shared_ptr<core::Queue> bufferLockQueue_;
};

}  // namespace ads
