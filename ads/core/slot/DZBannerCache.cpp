#include "ads/core/slot/DZBannerCache.h"

#include <algorithm>

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZValueHelpers.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

// Parameters whose rectangles count by size, not position.
bool isRectangle(std::string_view name) {
    return name == "ad_frame" || name == "ad_bounds";
}

core::Dictionary sizeOnly(const core::Value* rectangle) {
    core::Dictionary size;
    if (const core::Dictionary* entries = rectangle ? rectangle->dictionary() : nullptr) {
        size = *entries;
        size.remove("x");
        size.remove("y");
    }
    return size;
}

}  // namespace

std::shared_ptr<DZBannerCache> DZBannerCache::sharedInstance() {
    static const auto* const shared = new std::shared_ptr<DZBannerCache>(create());
    return *shared;
}

std::shared_ptr<DZBannerCache> DZBannerCache::create() {
    return std::make_shared<DZBannerCache>(Private{});
}

DZBannerCache::DZBannerCache(Private) : lockQueue_(core::Queue::serial(DZQueueLabel("banner-cache"))) {}

std::vector<std::string> DZBannerCache::schema() {
    std::vector<std::string> names;
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kSchemaKey);
    if (const core::Array* list = stored.array())
        for (const core::Value& name : *list)
            if (const std::string* text = name.string()) names.push_back(*text);
    if (names.empty())
        names = {"ad_frame", "ad_bounds", "format", "smart_w", "smart_h", "fluid", "extras"};
    return names;
}

std::int64_t DZBannerCache::maxPools() {
    return DZIntegerValue<std::int64_t>(core::UserDefaults::standard()->objectForKey(kMaxPoolsKey))
        .value_or(kDefaultMaxPools);
}

core::Dictionary DZBannerCache::bannerKey(const DZBannerCacheView& bannerView,
                                          const std::shared_ptr<DZRequest>& request) {
    core::Dictionary key;
    if (const auto adUnitID = bannerView.adUnitID()) key.set("ad_unit_id", *adUnitID);
    const core::Dictionary parameters = bannerView.requestParametersForRequest(request);
    for (const std::string& name : schema()) {
        const core::Value* value = parameters.find(name);
        if (isRectangle(name)) {
            key.set(name, sizeOnly(value));
        } else if (value) {
            key.set(name, *value);
        }
    }
    return key;
}

void DZBannerCache::loadRequest(const std::shared_ptr<DZRequest>& request,
                                const std::shared_ptr<DZBannerCacheView>& bannerView) {
    if (!bannerView) return;
    const auto slot = bannerView->slot();
    if (slot) slot->loadRequest(request);
    auto key = bannerKey(*bannerView, request);
    lockQueue_->async([self = shared_from_this(), bannerView, slot, key = std::move(key)] {
        self->updateCacheWithBannerView(bannerView, key);
        if (slot) self->addBannerEntryToCurrentCache(slot, key);
    });
}

std::shared_ptr<DZSlot>
DZBannerCache::cacheEntryForBannerView(const std::shared_ptr<DZBannerCacheView>& bannerView,
                                       const std::shared_ptr<DZRequest>& request) {
    if (!bannerView) return nullptr;
    auto key = bannerKey(*bannerView, request);
    lockQueue_->async([self = shared_from_this(), bannerView, key] {
        self->updateCacheWithBannerView(bannerView, key);
    });
    return cacheEntryForBannerView(bannerView, std::optional(std::move(key)));
}

std::shared_ptr<DZSlot>
DZBannerCache::cacheEntryForBannerView(const std::shared_ptr<DZBannerCacheView>& bannerView,
                                       const std::optional<core::Dictionary>& key) {
    if (!bannerView || !key) return nullptr;
    const auto root = bannerView->rootViewController();
    std::shared_ptr<DZSlot> entry;
    // The screen let go of here goes on the caller's thread, not the queue's.
    std::shared_ptr<ui::ViewController> formerRoot;
    lockQueue_->sync([&] {
        if (root != currentRootViewController_) {
            previousBannerCache_ = std::move(currentBannerCache_);
            currentBannerCache_.clear();
            recentlyAccessedKeysInCurrentCache_.clear();
        }
        formerRoot = std::exchange(currentRootViewController_, root);
        if (!root) return;
        entry = bannerEntryFromPreviousCache(*key);
        if (!entry) return;
        lockQueue_->async([self = shared_from_this(), entry, key = *key] {
            self->addBannerEntryToCurrentCache(entry, key);
        });
    });
    return entry;
}

std::shared_ptr<DZSlot> DZBannerCache::bannerEntryFromPreviousCache(const core::Dictionary& key) {
    const auto pool = find(previousBannerCache_, key);
    return pool ? pool->nextEntry() : nullptr;
}

void DZBannerCache::addBannerEntryToCurrentCache(const std::shared_ptr<DZSlot>& entry,
                                                 const core::Dictionary& key) {
    if (!entry) return;
    auto pool = find(currentBannerCache_, key);
    if (!pool) {
        pool = std::make_shared<DZBannerPool>();
        const std::int64_t limit = maxPools();
        while (static_cast<std::int64_t>(currentBannerCache_.size()) >= limit &&
               !currentBannerCache_.empty() && !recentlyAccessedKeysInCurrentCache_.empty()) {
            const core::Dictionary evicted = recentlyAccessedKeysInCurrentCache_.front();
            recentlyAccessedKeysInCurrentCache_.erase(recentlyAccessedKeysInCurrentCache_.begin());
            remove(currentBannerCache_, evicted);
        }
        currentBannerCache_.emplace_back(key, pool);
    }
    touch(key);
    pool->addEntry(entry);
}

void DZBannerCache::updateCacheWithBannerView(const std::shared_ptr<DZBannerCacheView>& bannerView,
                                              const core::Dictionary& newKey) {
    const auto oldKey = bannerView->bannerKey();
    bannerView->setBannerKey(newKey);
    if (!oldKey || *oldKey == newKey) return;
    const auto pool = find(currentBannerCache_, *oldKey);
    if (pool) pool->removeEntry(bannerView->slot());
    if (pool && pool->count() > 0) return;
    remove(currentBannerCache_, *oldKey);
    std::erase(recentlyAccessedKeysInCurrentCache_, *oldKey);
}

std::shared_ptr<DZBannerPool> DZBannerCache::find(const Pools& pools, const core::Dictionary& key) {
    for (const auto& [filed, pool] : pools)
        if (filed == key) return pool;
    return nullptr;
}

void DZBannerCache::remove(Pools& pools, const core::Dictionary& key) {
    std::erase_if(pools, [&](const auto& entry) { return entry.first == key; });
}

void DZBannerCache::touch(const core::Dictionary& key) {
    std::erase(recentlyAccessedKeysInCurrentCache_, key);
    recentlyAccessedKeysInCurrentCache_.push_back(key);
}

std::vector<core::Dictionary> DZBannerCache::currentKeys() const {
    std::vector<core::Dictionary> keys;
    lockQueue_->sync([&] {
        for (const auto& [key, pool] : currentBannerCache_) keys.push_back(key);
    });
    return keys;
}

size_t DZBannerCache::currentCount(const core::Dictionary& key) const {
    size_t count = 0;
    lockQueue_->sync([&] {
        if (const auto pool = find(currentBannerCache_, key)) count = pool->count();
    });
    return count;
}

size_t DZBannerCache::previousCount(const core::Dictionary& key) const {
    size_t count = 0;
    lockQueue_->sync([&] {
        if (const auto pool = find(previousBannerCache_, key)) count = pool->count();
    });
    return count;
}

std::shared_ptr<ui::ViewController> DZBannerCache::currentRootViewController() const {
    std::shared_ptr<ui::ViewController> root;
    lockQueue_->sync([&] { root = currentRootViewController_; });
    return root;
}

}  // namespace ads
