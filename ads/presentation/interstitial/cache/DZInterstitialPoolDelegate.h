#pragma once
// What a pool tells its refill policy, and what a refill policy is. Pools
// call their delegate on a global queue, so policies are safe to call from
// any thread. Every pool notification is optional (an empty default).

#include <memory>

namespace ads {

class DZInterstitialPool;

class DZInterstitialPoolDelegate {
public:
    virtual ~DZInterstitialPoolDelegate() = default;
    // Also when the entry was not kept because the pool was already full.
    virtual void interstitialPoolDidAddEntry(const std::shared_ptr<DZInterstitialPool>& pool) {
        (void)pool;
    }
    virtual void interstitialPoolDidRemoveEntry(const std::shared_ptr<DZInterstitialPool>& pool) {
        (void)pool;
    }
};

class DZInterstitialPoolRefilling : public DZInterstitialPoolDelegate {
public:
    // The policy starts looking after the pool.
    virtual void addPool(const std::shared_ptr<DZInterstitialPool>& pool) = 0;
};

}  // namespace ads
