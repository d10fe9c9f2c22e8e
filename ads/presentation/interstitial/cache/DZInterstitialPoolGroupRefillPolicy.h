#pragma once
// The base of the policies that fill all their pools together on some
// outside event. It holds its pools weakly (the cache owns them) on the
// serial queue "com.dozuza.vuraz.interstitial-pool-refill-policy".
// Abstract: only its subclasses are made. Any thread.

#include <memory>
#include <vector>

#include "ads/presentation/interstitial/cache/DZInterstitialPoolDelegate.h"
#include "core/Queue.h"

namespace ads {

class DZInterstitialPoolGroupRefillPolicy : public DZInterstitialPoolRefilling {
public:
    static constexpr const char* kLockQueueLabel =
        "com.dozuza.vuraz.interstitial-pool-refill-policy";

    void addPool(const std::shared_ptr<DZInterstitialPool>& pool) override;
    // Fills every pool still alive, on the policy's queue.
    virtual void fillPools();
    // The pools still alive (waits for the queue).
    [[nodiscard]] std::vector<std::shared_ptr<DZInterstitialPool>> pools() const;

protected:
    DZInterstitialPoolGroupRefillPolicy();
    void fillGroup();

private:
    std::vector<std::weak_ptr<DZInterstitialPool>> pools_;
    const std::shared_ptr<core::Queue> lockQueue_;
};

}  // namespace ads
