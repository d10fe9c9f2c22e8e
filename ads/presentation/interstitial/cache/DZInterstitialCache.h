#pragma once
// Interstitials loaded ahead of need, grouped by the shape of the request
// that asked for them, so that a later interstitial load with a matching
// request takes an ad that is already loaded. Each group is a
// DZInterstitialPool under a request key: [ad unit id, {schema field:
// request parameter value}]. The pools are filled by the refill policy the
// server constants name, and the requests seen are saved in the user
// defaults so the next launch rebuilds the pools (at most max_pools, the
// most recently used) when the cache is first used.
//
// The saved value under kSavedRequestsKey is JSON text: an array of
// [request key, request parameters] pairs, least recently used first. It
// is pruned with the pools: a key pushed out by max_pools leaves it too.
//
// Threading: all state lives on the serial queue
// "com.dozuza.vuraz.interstitial-cache". cacheEntryForRequest waits for it;
// everything else is queued.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/Regex.h"
#include "core/Value.h"

namespace ads {

class DZInterstitialCacheEntry;
class DZInterstitialPool;
class DZInterstitialPoolRefilling;
class DZRequest;

class DZInterstitialCache {
public:
    static constexpr const char* kLockQueueLabel = "com.dozuza.vuraz.interstitial-cache";
    static constexpr std::string_view kEnabledKey =
        "/dozuza/ads/dzads:interstitial_ad_pool:enabled";
    static constexpr std::string_view kMaxPoolsKey = "/dozuza/ads/dzads:interstitial_ad_pool:max_pools";
    static constexpr std::string_view kRefillPolicyKey =
        "/dozuza/ads/dzads:interstitial_ad_pool:refill_policy";
    static constexpr std::string_view kSchemaKey = "/dozuza/ads/dzads:interstitial_ad_pool:schema";
    static constexpr std::string_view kFieldNamesKey =
        "/dozuza/ads/dzads:interstitial_ad_pool:field_names";
    static constexpr std::string_view kAdUnitExclusionsKey =
        "/dozuza/ads/dzads:interstitial_ad_pool:ad_unit_exclusions";
    static constexpr std::string_view kAllowedSchemaPatternsKey =
        "/dozuza/ads/dzads:interstitial_ad_pool:allowed_schema_patterns";
    static constexpr std::string_view kSavedRequestsKey =
        "/dozuza/ads/interstitial_requests_to_preload";
    static constexpr std::int64_t kDefaultMaxPools = 3;

    // Made once, then rebuilds the pools of the saved requests.
    [[nodiscard]] static std::shared_ptr<DZInterstitialCache> sharedInstance();
    // A cache of its own (tests); it does not read the saved requests.
    [[nodiscard]] static std::shared_ptr<DZInterstitialCache> create();
    // Tests: sharedInstance() answers this cache from now on, for the
    // interstitials and the start-up alike; nullptr lets go of the current
    // one (its pools end with it), so that the next sharedInstance() makes a
    // new one that rebuilds the saved requests' pools.
    static void setSharedInstanceForTesting(std::shared_ptr<DZInterstitialCache> cache);
    ~DZInterstitialCache();
    DZInterstitialCache(const DZInterstitialCache&) = delete;
    DZInterstitialCache& operator=(const DZInterstitialCache&) = delete;

    // The request key, or null when the request is not pooled.
    [[nodiscard]] static core::Value requestKey(const std::shared_ptr<DZRequest>& request,
                                                const std::optional<std::string>& adUnitID);
    // Whether value passes pattern along the key path's components.
    [[nodiscard]] static bool valuePassesPattern(const core::Value& value, const core::Regex& regex,
                                                 std::vector<std::string> path);
    [[nodiscard]] static core::Dictionary defaultFieldNames();
    [[nodiscard]] static core::Array defaultSchema();

    // Takes the next entry of the request's pool (nullptr when there is
    // none) and records the access, which makes the pool when it is new.
    [[nodiscard]] std::shared_ptr<DZInterstitialCacheEntry>
    cacheEntryForRequest(const std::shared_ptr<DZRequest>& request,
                         const std::optional<std::string>& adUnitID);
    // Records an access without taking an entry (queued).
    void loadRequest(const std::shared_ptr<DZRequest>& request,
                     const std::optional<std::string>& adUnitID);
    void loadInterstitialsForSavedRequests();
    // Follows the refill-policy flag; queued.
    void updateRefillPolicy();

    // State as it is once the queued work before the call has run.
    [[nodiscard]] std::vector<core::Value> recentlyAccessedRequestKeys() const;
    [[nodiscard]] std::shared_ptr<DZInterstitialPool> poolForKey(const core::Value& key) const;
    [[nodiscard]] std::shared_ptr<DZInterstitialPoolRefilling> poolRefillPolicy() const;
    // Waits until the work queued so far has run.
    void waitForQueue() const;

private:
    DZInterstitialCache();
    void start();
    // On the queue.
    void didAccessKey(const core::Value& key, const std::shared_ptr<DZRequest>& request);
    void addPoolOnQueue(const core::Value& key, const std::shared_ptr<DZInterstitialPool>& pool);
    void saveObservedRequests();

    std::weak_ptr<DZInterstitialCache> weakSelf_;
    std::vector<std::pair<core::Value, std::shared_ptr<DZInterstitialPool>>>
        interstitialPoolsByRequestKey_;
    std::vector<core::Value> recentlyAccessedRequestKeys_;
    std::vector<std::pair<core::Value, core::Dictionary>> observedRequestsByRequestKey_;
    std::shared_ptr<DZInterstitialPoolRefilling> poolRefillPolicy_;
    core::NotificationCenter::Token SDKCoreConstantsObserver_;
    const std::shared_ptr<core::Queue> lockQueue_;
};

}  // namespace ads
