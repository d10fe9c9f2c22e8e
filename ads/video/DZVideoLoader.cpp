#include "ads/video/DZVideoLoader.h"

#include "ads/web/cache/DZGCacheTargetURL.h"
#include "core/Queue.h"

namespace ads {

std::shared_ptr<DZVideoLoader> DZVideoLoader::create(std::weak_ptr<DZVideoPlayer> player) {
    return std::make_shared<DZVideoLoader>(Token{}, std::move(player));
}

DZVideoLoader::DZVideoLoader(Token, std::weak_ptr<DZVideoPlayer> player)
    : player_(std::move(player)) {}

DZVideoLoader::~DZVideoLoader() {
    cancel();
}

void DZVideoLoader::loadURL(const std::optional<core::URL>& url,
                            const std::shared_ptr<DZResourceCache>& resourceCache,
                            const std::shared_ptr<DZVideoConfiguration>& configuration) {
    if (hasBeenUsed_) {
        announceFailure(DZErrorWithCodeDescription(kDZErrorInternalError, kAlreadyUsedMessage));
        return;
    }
    hasBeenUsed_ = true;
    sourceURL_ = url;
    resourceCache_ = resourceCache;
    configuration_ = configuration;
    if (url && DZIsGCacheURL(*url)) {
        announceFailure(DZErrorWithCodeDescription(
            kDZErrorInternalError, "Video loader can't load gcache URL " + url->absoluteString()));
        return;
    }
    loadStandard();
}

void DZVideoLoader::cancel() {
    cancelled_ = true;
}

void DZVideoLoader::loadStandard() {
    if (sourceURL_) playerItem_ = media::PlayerItem::create(*sourceURL_);
    announceStart();
}

void DZVideoLoader::announceStart() {
    if (hasNotifiedVideoLoadingStarted_) return;
    const auto notify = [weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self || self->cancelled_) return;
        if (const auto delegate = self->delegate())
            delegate->videoLoaderDidStartLoadingURL(*self, self->sourceURL_);
    };
    if (!playerItem_) {
        notify();
        return;
    }
    hasNotifiedVideoLoadingStarted_ = true;
    playerItem_->asset()->loadValuesAsynchronously(
        {"duration"}, [notify] { core::Queue::main()->async(notify); });
}

void DZVideoLoader::announceFailure(const Error& error) {
    hasNotifiedVideoLoadingFailed_ = true;
    core::Queue::main()->async([weak = weak_from_this(), error] {
        const auto self = weak.lock();
        if (!self || self->cancelled_) return;
        if (const auto delegate = self->delegate())
            delegate->videoLoaderDidFailToLoadURL(*self, self->sourceURL_, error);
    });
}

}  // namespace ads
