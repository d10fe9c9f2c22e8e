#include "ads/presentation/interstitial/cache/DZInterstitialPool.h"

#include <algorithm>

#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZThreading.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCacheEntry.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPoolDelegate.h"
#include "core/UserDefaults.h"

namespace ads {

std::shared_ptr<DZInterstitialPool>
DZInterstitialPool::create(const std::shared_ptr<DZRequest>& request,
                           std::optional<std::string> adUnitID) {
    if (!request) return nullptr;
    return std::make_shared<DZInterstitialPool>(Token{}, request->copy(), std::move(adUnitID));
}

DZInterstitialPool::DZInterstitialPool(Token, std::shared_ptr<DZRequest> request,
                                       std::optional<std::string> adUnitID)
    : request_(std::move(request)), lockQueue_(core::Queue::serial(kLockQueueLabel)),
      adUnitID_(std::move(adUnitID)) {}

DZInterstitialPool::~DZInterstitialPool() {
    // Entries own slots and ad views, which end on the main thread.
    if (!entries_.empty()) DZRunOnMainThread([doomed = std::move(entries_)] {});
}

std::shared_ptr<DZRequest> DZInterstitialPool::request() const {
    std::shared_ptr<DZRequest> request;
    lockQueue_->sync([&] { request = request_; });
    return request;
}

void DZInterstitialPool::setRequest(const std::shared_ptr<DZRequest>& request) {
    auto copy = request ? request->copy() : nullptr;
    lockQueue_->async([self = shared_from_this(), copy = std::move(copy)] {
        self->request_ = copy;
    });
}

std::shared_ptr<DZInterstitialPoolDelegate> DZInterstitialPool::delegate() const {
    std::shared_ptr<DZInterstitialPoolDelegate> delegate;
    lockQueue_->sync([&] { delegate = delegate_; });
    return delegate;
}

void DZInterstitialPool::setDelegate(std::shared_ptr<DZInterstitialPoolDelegate> delegate) {
    lockQueue_->async([self = shared_from_this(), delegate = std::move(delegate)] {
        if (self->delegate_ != delegate) self->delegate_ = delegate;
    });
}

std::vector<std::shared_ptr<DZInterstitialCacheEntry>> DZInterstitialPool::entries() const {
    std::vector<std::shared_ptr<DZInterstitialCacheEntry>> entries;
    lockQueue_->sync([&] { entries = entries_; });
    return entries;
}

void DZInterstitialPool::fill() {
    const auto defaults = core::UserDefaults::standard();
    const core::Value storedDepth = defaults->objectForKey(kMaxPoolDepthKey);
    const std::int64_t depth = storedDepth.isNull() ? kDefaultMaxPoolDepth : storedDepth.intValue();
    const core::Value storedLimit = defaults->objectForKey(kTimeLimitKey);
    const double limit = storedLimit.isNull() ? kDefaultTimeLimit : storedLimit.doubleValue();
    lockQueue_->async([self = shared_from_this(), depth, limit] {
        if (std::int64_t(self->entries_.size()) < depth)
            self->addCacheEntryWithTimeout(limit, depth);
    });
}

void DZInterstitialPool::addCacheEntryWithTimeout(double timeout, std::int64_t maxCount) {
    const std::shared_ptr<DZRequest> request = lockQueue_->isCurrent() ? request_ : this->request();
    DZRunOnMainThread([self = shared_from_this(), request, timeout, maxCount] {
        auto entry = DZInterstitialCacheEntry::create(request, self->adUnitID_);
        self->lockQueue_->async([self, entry = std::move(entry), timeout, maxCount]() mutable {
            if (entry && std::int64_t(self->entries_.size()) < maxCount) {
                self->entries_.push_back(entry);
                if (timeout > 0) self->scheduleTimeout(timeout, entry);
            }
            // An entry not kept ends here, as discarded, on the main thread.
            if (entry) DZRunOnMainThread([doomed = std::move(entry)] {});
            self->notifyDelegate(true);
        });
    });
}

void DZInterstitialPool::scheduleTimeout(double timeout,
                                         const std::shared_ptr<DZInterstitialCacheEntry>& entry) {
    const std::weak_ptr<DZInterstitialPool> weakPool = shared_from_this();
    const std::weak_ptr<DZInterstitialCacheEntry> weakEntry = entry;
    lockQueue_->after(timeout, [weakPool, weakEntry] {
        const auto pool = weakPool.lock();
        auto entry = weakEntry.lock();
        if (!pool || !entry) return;
        pool->removeEntryOnQueue(entry);
        // The entry's end (and its report) belongs to the main thread.
        DZRunOnMainThread([doomed = std::move(entry)] {});
    });
}

void DZInterstitialPool::removeObject(const std::shared_ptr<DZInterstitialCacheEntry>& entry) {
    if (!entry) return;
    lockQueue_->async([self = shared_from_this(), entry]() mutable {
        self->removeEntryOnQueue(entry);
        DZRunOnMainThread([doomed = std::move(entry)] {});
    });
}

void DZInterstitialPool::removeEntryOnQueue(const std::shared_ptr<DZInterstitialCacheEntry>& entry) {
    if (!entry) return;
    entries_.erase(std::remove(entries_.begin(), entries_.end(), entry), entries_.end());
    notifyDelegate(false);
}

std::shared_ptr<DZInterstitialCacheEntry> DZInterstitialPool::nextEntry() {
    std::shared_ptr<DZInterstitialCacheEntry> entry;
    lockQueue_->sync([&] {
        if (entries_.empty()) return;
        entry = entries_.front();
        removeEntryOnQueue(entry);
    });
    return entry;
}

void DZInterstitialPool::notifyDelegate(bool added) {
    if (!delegate_) return;
    core::Queue::global()->async([delegate = delegate_, self = shared_from_this(), added] {
        if (added)
            delegate->interstitialPoolDidAddEntry(self);
        else
            delegate->interstitialPoolDidRemoveEntry(self);
    });
}

}  // namespace ads
