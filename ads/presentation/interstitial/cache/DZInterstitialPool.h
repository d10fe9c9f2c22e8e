#pragma once
// The pre-loaded interstitials of one request key: a short first-in
// first-out list of cache entries, each loading or loaded ahead of need and
// dropped after a time limit. When to top it up is its delegate's (a refill
// policy's) decision; fill() adds at most one entry per call, up to
// "/dozuza/ads/dzads:interstitial_ad_pool:max_pool_depth" (2 by default),
// each kept for "/dozuza/ads/dzads:interstitial_ad_pool:time_limit_sec"
// seconds (1200 by default; 0 or less keeps it until taken).
//
// Threading: the state lives on the pool's serial queue
// "com.dozuza.vuraz.interstitial-pool"; request(), delegate() and
// nextEntry() wait for it, the rest is queued. Entries are made on the main
// thread. The delegate hears of added and removed entries on a global queue.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Queue.h"

namespace ads {

class DZInterstitialCacheEntry;
class DZInterstitialPoolDelegate;
class DZRequest;

class DZInterstitialPool : public std::enable_shared_from_this<DZInterstitialPool> {
public:
    static constexpr const char* kLockQueueLabel = "com.dozuza.vuraz.interstitial-pool";
    static constexpr std::string_view kMaxPoolDepthKey =
        "/dozuza/ads/dzads:interstitial_ad_pool:max_pool_depth";
    static constexpr std::string_view kTimeLimitKey =
        "/dozuza/ads/dzads:interstitial_ad_pool:time_limit_sec";
    static constexpr std::int64_t kDefaultMaxPoolDepth = 2;
    static constexpr double kDefaultTimeLimit = 1200.0;

    // nullptr without a request.
    [[nodiscard]] static std::shared_ptr<DZInterstitialPool>
    create(const std::shared_ptr<DZRequest>& request, std::optional<std::string> adUnitID);
    ~DZInterstitialPool();
    DZInterstitialPool(const DZInterstitialPool&) = delete;
    DZInterstitialPool& operator=(const DZInterstitialPool&) = delete;

    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    [[nodiscard]] std::shared_ptr<DZRequest> request() const;
    // Keeps a copy.
    void setRequest(const std::shared_ptr<DZRequest>& request);
    [[nodiscard]] std::shared_ptr<DZInterstitialPoolDelegate> delegate() const;
    void setDelegate(std::shared_ptr<DZInterstitialPoolDelegate> delegate);

    // Adds one entry when fewer than the depth are held.
    void fill();
    // The oldest entry, taken out of the pool; nullptr when empty.
    [[nodiscard]] std::shared_ptr<DZInterstitialCacheEntry> nextEntry();
    // Makes an entry on the main thread, then keeps it when fewer than
    // maxCount are held and, for a positive timeout, drops it after that
    // many seconds.
    void addCacheEntryWithTimeout(double timeout, std::int64_t maxCount);
    void scheduleTimeout(double timeout, const std::shared_ptr<DZInterstitialCacheEntry>& entry);
    // Queued; nullptr does nothing, an entry not held is fine.
    void removeObject(const std::shared_ptr<DZInterstitialCacheEntry>& entry);

    // The entries held now, oldest first (waits for the queue).
    [[nodiscard]] std::vector<std::shared_ptr<DZInterstitialCacheEntry>> entries() const;

private:
    struct Token {};

public:
    DZInterstitialPool(Token, std::shared_ptr<DZRequest> request,
                       std::optional<std::string> adUnitID);

private:
    // On the queue.
    void removeEntryOnQueue(const std::shared_ptr<DZInterstitialCacheEntry>& entry);
    void notifyDelegate(bool added);

    std::vector<std::shared_ptr<DZInterstitialCacheEntry>> entries_;
    std::shared_ptr<DZRequest> request_;
    std::shared_ptr<DZInterstitialPoolDelegate> delegate_;
    const std::shared_ptr<core::Queue> lockQueue_;
    const std::optional<std::string> adUnitID_;
};

}  // namespace ads
