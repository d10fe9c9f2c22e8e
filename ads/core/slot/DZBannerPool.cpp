#include "ads/core/slot/DZBannerPool.h"

#include <algorithm>

#include "ads/foundation/DZValueHelpers.h"
#include "core/UserDefaults.h"

namespace ads {

std::int64_t DZBannerPool::maxQueues() {
    return DZIntegerValue<std::int64_t>(core::UserDefaults::standard()->objectForKey(kMaxQueuesKey))
        .value_or(kDefaultMaxQueues);
}

void DZBannerPool::addEntry(const std::shared_ptr<DZSlot>& entry) {
    if (!entry) return;
    removeEntry(entry);
    const std::int64_t limit = maxQueues();
    // A limit of 0 or less keeps only the newest entry: the pool is never
    // emptied by a loop that cannot end.
    while (!bannerPool_.empty() && static_cast<std::int64_t>(bannerPool_.size()) >= limit)
        bannerPool_.pop_front();
    bannerPool_.push_back(entry);
}

std::shared_ptr<DZSlot> DZBannerPool::nextEntry() {
    if (bannerPool_.empty()) return nullptr;
    auto entry = std::move(bannerPool_.front());
    bannerPool_.pop_front();
    return entry;
}

void DZBannerPool::removeEntry(const std::shared_ptr<DZSlot>& entry) {
    if (!entry) return;
    bannerPool_.erase(std::remove(bannerPool_.begin(), bannerPool_.end(), entry), bannerPool_.end());
}

}  // namespace ads
