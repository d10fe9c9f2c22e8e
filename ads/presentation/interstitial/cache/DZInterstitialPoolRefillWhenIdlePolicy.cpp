#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillWhenIdlePolicy.h"

#include "ads/core/app/DZApplication.h"
#include "ads/video/DZVideoPlayer.h"

namespace ads {

DZInterstitialPoolRefillWhenIdlePolicy::DZInterstitialPoolRefillWhenIdlePolicy()
    : bufferLockQueue_(core::Queue::serial(kBufferLockQueueLabel)) {}

std::shared_ptr<DZInterstitialPoolRefillWhenIdlePolicy>
DZInterstitialPoolRefillWhenIdlePolicy::create() {
    std::shared_ptr<DZInterstitialPoolRefillWhenIdlePolicy> policy(
        new DZInterstitialPoolRefillWhenIdlePolicy());
    const std::weak_ptr<DZInterstitialPoolRefillWhenIdlePolicy> weak = policy;
    policy->weakSelf_ = weak;
    auto& center = core::NotificationCenter::defaultCenter();
    policy->videoBufferingStartObserver_ = center.addObserver(
        DZVideoPlayer::WillStartBufferingNotification, nullptr, nullptr,
        [weak](const core::Notification& notification) {
            const auto self = weak.lock();
            if (!self) return;
            const void* player = notification.object;
            self->bufferLockQueue_->async(
                [self, player] { self->bufferingVideoPlayerIdentifiers_.insert(player); });
        });
    policy->videoBufferingStopObserver_ = center.addObserver(
        DZVideoPlayer::DidStopBufferingNotification, nullptr, nullptr,
        [weak](const core::Notification& notification) {
            const auto self = weak.lock();
            if (!self) return;
            const void* player = notification.object;
            self->bufferLockQueue_->async([self, player] {
                self->bufferingVideoPlayerIdentifiers_.erase(player);
                self->fillPools();
            });
        });
    policy->adRequestCountObserver_ = center.addObserver(
        DZApplication::kCurrentAdRequestCountChangedNotification, nullptr, nullptr,
        [weak](const core::Notification&) {
            if (const auto self = weak.lock()) self->fillPools();
        });
    return policy;
}

DZInterstitialPoolRefillWhenIdlePolicy::~DZInterstitialPoolRefillWhenIdlePolicy() {
    auto& center = core::NotificationCenter::defaultCenter();
    center.removeObserver(adRequestCountObserver_);
    center.removeObserver(videoBufferingStartObserver_);
    center.removeObserver(videoBufferingStopObserver_);
}

void DZInterstitialPoolRefillWhenIdlePolicy::addPool(
    const std::shared_ptr<DZInterstitialPool>& pool) {
    DZInterstitialPoolGroupRefillPolicy::addPool(pool);
    fillPools();
}

void DZInterstitialPoolRefillWhenIdlePolicy::fillPools() {
    if (DZApplication::sharedInstance()->currentAdRequestCount() >= 1) return;
    const auto self = weakSelf_.lock();
    if (!self) return;
    bufferLockQueue_->async([self] {
        if (self->bufferingVideoPlayerIdentifiers_.empty()) self->fillGroup();
    });
}

void DZInterstitialPoolRefillWhenIdlePolicy::interstitialPoolDidRemoveEntry(
    const std::shared_ptr<DZInterstitialPool>&) {
    fillPools();
}

size_t DZInterstitialPoolRefillWhenIdlePolicy::bufferingPlayerCount() const {
    size_t count = 0;
    bufferLockQueue_->sync([&] { count = bufferingVideoPlayerIdentifiers_.size(); });
    return count;
}

}  // namespace ads
