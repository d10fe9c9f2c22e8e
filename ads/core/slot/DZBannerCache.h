#pragma once
// Keeps the banner slots loaded on one screen so that a banner of the same
// kind on the next screen can take over a loaded slot instead of asking for
// a new ad. Slots are filed by banner key (the ad unit and the request
// parameters of the server's schema, a banner's size but not its position)
// in pools of at most "max_queues" slots, oldest first, and at most
// "max_pools" pools per screen, the least recently used going first. Two
// generations are kept: the pools of the screen shown now (told apart by
// the banner view's root view controller) and those of the screen before,
// which lookups take slots from; each change of screen seen by a lookup
// shifts them, dropping the older one.
//
// Threading: the pools live on the serial queue
// "com.dozuza.vuraz.banner-cache"; lookups wait on it and must not be made
// from it. Keys are built, and slots loaded, on the caller's thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "ads/core/slot/DZBannerCacheView.h"
#include "ads/core/slot/DZBannerPool.h"
#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZBannerCache : public std::enable_shared_from_this<DZBannerCache> {
public:
    static constexpr std::string_view kSchemaKey = "/dozuza/ads/dzads:banner_ad_pool:schema";
    static constexpr std::string_view kMaxPoolsKey = "/dozuza/ads/dzads:banner_ad_pool:max_pools";
    static constexpr std::int64_t kDefaultMaxPools = 3;

    [[nodiscard]] static std::shared_ptr<DZBannerCache> sharedInstance();
    // A cache of its own (tests).
    [[nodiscard]] static std::shared_ptr<DZBannerCache> create();

    // Loads the request in the banner's slot at once and files the slot
    // under the banner's key.
    void loadRequest(const std::shared_ptr<DZRequest>& request,
                     const std::shared_ptr<DZBannerCacheView>& bannerView);
    // A loaded slot of the screen before for this banner and request, which
    // now belongs to this screen; nullptr when there is none.
    [[nodiscard]] std::shared_ptr<DZSlot>
    cacheEntryForBannerView(const std::shared_ptr<DZBannerCacheView>& bannerView,
                            const std::shared_ptr<DZRequest>& request);
    [[nodiscard]] std::shared_ptr<DZSlot>
    cacheEntryForBannerView(const std::shared_ptr<DZBannerCacheView>& bannerView,
                            const std::optional<core::Dictionary>& key);

    // The key of a banner and a request.
    [[nodiscard]] static core::Dictionary
    bannerKey(const DZBannerCacheView& bannerView, const std::shared_ptr<DZRequest>& request);
    // The server's schema, or the default one.
    [[nodiscard]] static std::vector<std::string> schema();
    [[nodiscard]] static std::int64_t maxPools();

    // Snapshots for tests (wait on the queue).
    [[nodiscard]] std::vector<core::Dictionary> currentKeys() const;
    [[nodiscard]] size_t currentCount(const core::Dictionary& key) const;
    [[nodiscard]] size_t previousCount(const core::Dictionary& key) const;
    [[nodiscard]] std::shared_ptr<ui::ViewController> currentRootViewController() const;

private:
    struct Private {};
    using Pools = std::vector<std::pair<core::Dictionary, std::shared_ptr<DZBannerPool>>>;

public:
    explicit DZBannerCache(Private);

private:
    // Lock queue only.
    [[nodiscard]] std::shared_ptr<DZSlot> bannerEntryFromPreviousCache(const core::Dictionary& key);
    void addBannerEntryToCurrentCache(const std::shared_ptr<DZSlot>& entry,
                                      const core::Dictionary& key);
    void updateCacheWithBannerView(const std::shared_ptr<DZBannerCacheView>& bannerView,
                                   const core::Dictionary& newKey);
    [[nodiscard]] static std::shared_ptr<DZBannerPool> find(const Pools& pools,
                                                            const core::Dictionary& key);
    static void remove(Pools& pools, const core::Dictionary& key);
    void touch(const core::Dictionary& key);

    const std::shared_ptr<core::Queue> lockQueue_;
    Pools previousBannerCache_;
    Pools currentBannerCache_;
    // The keys of the current pools, least recently used first.
    std::vector<core::Dictionary> recentlyAccessedKeysInCurrentCache_;
    std::shared_ptr<ui::ViewController> currentRootViewController_;
};

}  // namespace ads
