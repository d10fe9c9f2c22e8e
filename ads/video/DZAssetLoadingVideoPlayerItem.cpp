#include "ads/video/DZAssetLoadingVideoPlayerItem.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "ads/foundation/DZBlockTimer.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZThreading.h"
#include "ads/video/DZVideoAssetLoader.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoResourceLoading.h"
#include "ads/web/cache/DZResourceCache.h"
#include "media/URLAsset.h"

namespace ads {

namespace {

bool isAssetScheme(const core::URL& url) {
    const std::string_view scheme = DZAssetLoadingVideoPlayerItem::kAssetScheme;
    const std::string& actual = url.scheme();
    return std::equal(
        actual.begin(), actual.end(), scheme.begin(), scheme.end(),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The private URL of the asset: the real URL's host and path under "video".
core::URL assetURLFor(const std::optional<core::URL>& videoURL) {
    const std::string scheme = DZAssetLoadingVideoPlayerItem::kAssetScheme;
    if (videoURL) {
        if (auto url = core::URL::create(scheme + "://" + videoURL->host() + videoURL->path()))
            return *url;
    }
    return *core::URL::create(scheme + "://video/asset_loading");
}

std::int64_t saturatingSum(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    return sum;
}

// Counts and sizes below 0 (the configuration's -1) mean no limit.
bool limited(std::int64_t limit) {
    return limit >= 0;
}

}  // namespace

std::shared_ptr<DZAssetLoadingVideoPlayerItem>
DZAssetLoadingVideoPlayerItem::create(const std::optional<core::URL>& videoURL,
                                      std::shared_ptr<DZVideoAssetLoader> assetLoader,
                                      std::shared_ptr<DZVideoConfiguration> videoConfiguration) {
    if (!videoConfiguration) videoConfiguration = DZVideoConfiguration::create();
    auto item = std::make_shared<DZAssetLoadingVideoPlayerItem>(
        Token{}, videoURL, std::move(assetLoader), std::move(videoConfiguration));
    const auto asset = media::URLAsset::create(assetURLFor(videoURL));
    asset->resourceLoader()->setDelegate(item->weak_from_this(), item->lockQueue_);
    item->playerItem_ = media::PlayerItem::create(asset);
    DZRunOnMainThread([weak = item->weak_from_this()] {
        if (const auto self = weak.lock()) self->observeLoadedTimeRanges();
    });
    return item;
}

DZAssetLoadingVideoPlayerItem::DZAssetLoadingVideoPlayerItem(
    Token, std::optional<core::URL> videoURL, std::shared_ptr<DZVideoAssetLoader> assetLoader,
    std::shared_ptr<DZVideoConfiguration> videoConfiguration)
    : videoURL_(std::move(videoURL)), assetLoader_(std::move(assetLoader)),
      videoConfiguration_(std::move(videoConfiguration)),
      lockQueue_(
          DZCreateQueueWithQoS(DZQueueLabel("asset-loading-player-item"), DZQoSUserInitiated)) {}

// Nothing else holds the item now, so its fields need no queue; what lives
// on the main thread is let go there.
DZAssetLoadingVideoPlayerItem::~DZAssetLoadingVideoPlayerItem() {
    if (playbackProgressObserver_) {
        if (const auto player = player_.lock())
            player->removeTimeObserver(playbackProgressObserver_);
    }
    if (cacheUpdatesToken_)
        core::NotificationCenter::defaultCenter().removeObserver(cacheUpdatesToken_);
    DZRunOnMainThread([item = playerItem_, observing = observingLoadedTimeRanges_,
                       token = loadedTimeRangesToken_, timer = checkSourceTimer_] {
        if (observing && item) item->removeObserver(token);
        if (timer) timer->invalidate();
    });
}

void DZAssetLoadingVideoPlayerItem::observeLoadedTimeRanges() {
    if (observingLoadedTimeRanges_) return;
    observingLoadedTimeRanges_ = true;
    loadedTimeRangesToken_ =
        playerItem_->addObserver("loadedTimeRanges", [weak = weak_from_this()](const std::string&) {
            if (const auto self = weak.lock()) self->loadPlayerItemData();
        });
}

std::shared_ptr<DZVideoPlayer> DZAssetLoadingVideoPlayerItem::player() const {
    const std::lock_guard lock(playerMutex_);
    return player_.lock();
}

void DZAssetLoadingVideoPlayerItem::setPlayer(const std::shared_ptr<DZVideoPlayer>& player) {
    lockQueue_->async([weak = weak_from_this(), newPlayer = std::weak_ptr(player)] {
        const auto self = weak.lock();
        if (!self) return;
        if (const auto old = self->player(); old && self->playbackProgressObserver_)
            old->removeTimeObserver(self->playbackProgressObserver_);
        self->playbackProgressObserver_ = {};
        {
            const std::lock_guard lock(self->playerMutex_);
            self->player_ = newPlayer;
        }
        const auto player = newPlayer.lock();
        if (!player) return;
        player->addPeriodicTimeObserver(
            media::Time::seconds(kPlaybackProgressInterval), core::Queue::main(),
            [weak](media::Time) {
                const auto item = weak.lock();
                if (!item) return;
                const auto& ranges = item->playerItem_->loadedTimeRanges();
                if (ranges.empty()) return;
                const media::Time duration = ranges.front().duration;
                if (!duration.isNumeric() || duration.toSeconds() == 0) return;
                item->loadPlayerItemData();
            },
            [weak, newPlayer](media::Player::TimeObserverToken token) {
                const auto item = weak.lock();
                if (!item) {
                    if (const auto player = newPlayer.lock()) player->removeTimeObserver(token);
                    return;
                }
                item->lockQueue_->async([weak, newPlayer, token] {
                    const auto item = weak.lock();
                    const auto player = newPlayer.lock();
                    if (!player) return;
                    if (!item || item->player() != player) {
                        player->removeTimeObserver(token);
                        return;
                    }
                    item->playbackProgressObserver_ = token;
                });
            });
    });
}

// Resource loading.

bool DZAssetLoadingVideoPlayerItem::shouldWaitForLoadingOfRequestedResource(
    media::AssetResourceLoader&,
    const std::shared_ptr<media::AssetResourceLoadingRequest>& request) {
    if (!isAssetScheme(request->url())) return false;
    if (loadingRequest_ && loadingRequest_ != request) {
        loadingRequest_->finishLoadingWithError(DZMediaErrorFromError(
            DZErrorWithCodeDescription(kDZErrorInternalError, kCancelledByNewRequestMessage)));
    }
    loadingRequest_ = request;
    loadPlayerItemData();
    return true;
}

void DZAssetLoadingVideoPlayerItem::didCancelLoadingRequest(
    media::AssetResourceLoader&,
    const std::shared_ptr<media::AssetResourceLoadingRequest>& request) {
    if (loadingRequest_ == request) loadingRequest_.reset();
}

void DZAssetLoadingVideoPlayerItem::loadPlayerItemData() {
    if (!core::RunLoop::isMainThread()) {
        core::Queue::main()->async([weak = weak_from_this()] {
            if (const auto self = weak.lock()) self->loadPlayerItemData();
        });
        return;
    }
    handlePlayerItemUpdates();
    if (!loadingEnabled_) {
        stopPlayerItemCheckSourceTimer();
        return;
    }
    lockQueue_->async([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self) return;
        if (self->loadingRequest_) {
            self->startPlayerItemCheckSourceTimer();
            self->processLoadingRequest();
        } else {
            self->stopPlayerItemCheckSourceTimer();
        }
    });
}

void DZAssetLoadingVideoPlayerItem::handlePlayerItemUpdates() {
    const media::Time now = playerItem_->currentTime();
    const auto& ranges = playerItem_->loadedTimeRanges();
    if (!now.isNumeric() || ranges.empty() || !ranges.front().isValid()) return;
    const double current = now.toSeconds();
    const double start = ranges.front().startSeconds();
    const double end = ranges.front().endSeconds();
    const double ahead = end - current;
    if (current < start || current > end) loadingEnabled_ = true;
    if (ahead < videoConfiguration_->minBufferTimeInterval()) loadingEnabled_ = true;
    const auto player = this->player();
    const bool mayStop = videoConfiguration_->videoBufferShouldIgnoreCanPlayThrough() ||
                         (player && player->hasPostedCanPlayThrough());
    if (mayStop && ahead >= videoConfiguration_->maxBufferTimeInterval()) loadingEnabled_ = false;

    const auto& asset = playerItem_->asset();
    if (asset->tracks().empty() || end == 0) return;
    const auto videoTracks = asset->tracks(media::MediaType::video);
    const float bitRate = videoTracks.empty() ? 0 : videoTracks.front().estimatedDataRate;
    if (!(bitRate > 0)) return;
    lockQueue_->async([weak = weak_from_this(), bitRate, current] {
        const auto self = weak.lock();
        if (!self) return;
        const auto& cache = self->resourceCache_;
        if (!cache || !cache->valid() || !(cache->networkSpeedInBytesPerSecond() > 0) ||
            !limited(cache->maxBytes())) {
            return;
        }
        self->videoBitRateInBitsPerSecond_ = bitRate;
        self->playerItemCurrentTimeInterval_ = current;
    });
}

void DZAssetLoadingVideoPlayerItem::finishLoadingRequest(
    const std::shared_ptr<media::AssetResourceLoadingRequest>& request,
    const std::optional<Error>& error) {
    if (error) {
        request->finishLoadingWithError(DZMediaErrorFromError(*error));
    } else {
        request->finishLoading();
    }
    if (loadingRequest_ == request) loadingRequest_.reset();
}

void DZAssetLoadingVideoPlayerItem::processLoadingRequest() {
    const auto request = loadingRequest_;
    if (!request) return;
    const std::int64_t noUpdateLimit =
        videoConfiguration_->assetLoadingPlayerItemNoBufferUpdateMaxContentSize();
    if (limited(noUpdateLimit) && loadedContentSizeWithNoBufferUpdate_ > noUpdateLimit) {
        loadedContentSizeWithNoBufferUpdate_ = 0;
        stopPlayerItemCheckSourceTimer();
        return;
    }
    auto* const data = request->dataRequest();
    const std::int64_t offset = data ? std::max(data->currentOffset(), data->requestedOffset()) : 0;
    if (!prepareForLoadingByteOffset(offset)) {
        finishLoadingRequest(request,
                             DZErrorWithCodeDescription(kDZErrorInternalError, kNoBufferMessage));
        return;
    }
    std::optional<Error> error;
    if (request->contentInformationRequest() && !loadContentRequest(*request, error)) {
        if (error) finishLoadingRequest(request, error);
        return;
    }
    if (data) {
        const bool done = loadDataRequest(*request, error);
        if (done || error) finishLoadingRequest(request, done ? std::nullopt : error);
    } else {
        finishLoadingRequest(request, std::nullopt);
    }
    updateByteLimit();

    // Without a check timer the download's updates run the passes; a
    // finished one has none left to give, so a pass that got somewhere with
    // it runs the next at once (to start the download that follows).
    // Each such pass hands out bytes, so the chain ends.
    const bool progressed = data && data->currentOffset() > offset;
    if (loadingRequest_ == request && progressed && resourceCache_ && resourceCache_->completed() &&
        resourceCache_->valid() &&
        !(videoConfiguration_->assetLoadingPlayerItemRefreshInterval() > 0)) {
        loadPlayerItemData();
    }
}

void DZAssetLoadingVideoPlayerItem::updateByteLimit() {
    const auto& cache = resourceCache_;
    if (!cache || !cache->valid() || cache->completed() || !limited(cache->maxBytes()) ||
        !(playerItemCurrentTimeInterval_ > 0) || !(videoBitRateInBitsPerSecond_ > 0)) {
        return;
    }
    if (playerItemCurrentTimeInterval_ < playerItemCachingStartTimeInterval_ ||
        !(playerItemCachingStartTimeInterval_ > 0)) {
        playerItemCachingStartTimeInterval_ = playerItemCurrentTimeInterval_;
        loadedContentSizeWithNoBufferUpdate_ = 0;
    }
    const double elapsed = playerItemCurrentTimeInterval_ - playerItemCachingStartTimeInterval_;
    if (elapsed > 0) loadedContentSizeWithNoBufferUpdate_ = 0;
    const double bytes = (elapsed + videoConfiguration_->maxBufferTimeInterval()) *
                         videoBitRateInBitsPerSecond_ * 0.125;
    cache->setMaxBytes(static_cast<std::int64_t>(
        std::min(bytes, static_cast<double>(std::numeric_limits<std::int64_t>::max() / 2))));
}

bool DZAssetLoadingVideoPlayerItem::prepareForLoadingByteOffset(std::int64_t offset) {
    if (DZResourceCacheCanServeRange(
            resourceCache_, resourceCacheStartingByteOffset_, offset,
            videoConfiguration_->videoAssetLoaderMaxDownloadWaitTimeInterval())) {
        return true;
    }
    if (resourceCache_ && !resourceCache_->valid()) ++numberOfFailedResourceCache_;
    Error error;
    const auto source = assetLoader_->getResourceCache(offset, &error);
    if (!source) return false;
    // A cache handed out again is still in use.
    if (source->cache != resourceCache_) assetLoader_->finishedUsingResourceCache(resourceCache_);
    playerItemCachingStartTimeInterval_ = 0;
    setResourceCache(source->cache, source->startingByteOffset);
    return true;
}

void DZAssetLoadingVideoPlayerItem::setResourceCache(std::shared_ptr<DZResourceCache> cache,
                                                     std::int64_t startingOffset) {
    resourceCache_ = std::move(cache);
    resourceCacheStartingByteOffset_ = startingOffset;
    watchedCache_ = resourceCache_.get();
}

bool DZAssetLoadingVideoPlayerItem::loadContentRequest(media::AssetResourceLoadingRequest& request,
                                                       std::optional<Error>& error) {
    const std::int64_t limit =
        videoConfiguration_->assetLoadingPlayerItemMaxContentLoadingFailedAttempts();
    if (limited(limit) && numberOfFailedResourceCache_ >= limit) {
        error = DZErrorWithCodeDescription(kDZErrorInternalError, kTooManyBadAttemptsMessage);
        return false;
    }
    if (!resourceCache_ || !resourceCache_->responseHeadersReceived()) return false;
    DZFillContentInformation(request, *resourceCache_);
    return true;
}

bool DZAssetLoadingVideoPlayerItem::loadDataRequest(media::AssetResourceLoadingRequest& request,
                                                    std::optional<Error>& error) {
    const std::int64_t limit =
        videoConfiguration_->assetLoadingPlayerItemMaxDataLoadingFailedAttempts();
    if (limited(limit) && numberOfFailedResourceCache_ >= limit) {
        error = DZErrorWithCodeDescription(kDZErrorInternalError, kTooManyBadAttemptsMessage);
        return false;
    }
    const auto& cache = resourceCache_;
    if (!cache || !cache->valid()) return false;
    const std::int64_t cachedSize = cache->cachedContentSize();
    if (cachedSize < 1) return false;
    const std::int64_t start = resourceCacheStartingByteOffset_;
    const std::int64_t cachedEnd = saturatingSum(start, cachedSize);
    auto& data = *request.dataRequest();
    const std::int64_t offset = std::max(data.currentOffset(), data.requestedOffset());
    if (offset < start || offset >= cachedEnd) return false;

    std::int64_t remaining = 0;
    bool fromLength = false;
    if (data.requestsAllDataToEndOfResource() &&
        DZDevice::sharedInstance()->isOSAtLeastMajor(9, 0, 0)) {
        if (!cache->responseHeadersReceived()) return false;
        const std::int64_t length = cache->contentLength();
        if (length > 0) {
            remaining = saturatingSum(length, start) - offset;
            if (remaining <= 0) return true;
            fromLength = true;
        }
    }
    if (!fromLength) {
        remaining = saturatingSum(data.requestedOffset(), data.requestedLength()) - offset;
        if (remaining < 1) return true;
    }

    std::int64_t chunk = std::min(remaining, cachedEnd - offset);
    const std::int64_t maxChunk = videoConfiguration_->videoAssetMaxLoadableChunkSizeInBytes();
    if (limited(maxChunk)) chunk = std::min(chunk, maxChunk);
    if (chunk < 1) return false;
    Error readError;
    const auto bytes = cache->dataWithRange(static_cast<std::uint64_t>(offset - start),
                                            static_cast<std::uint64_t>(chunk), &readError);
    if (!bytes) {
        if (!readError.domain.empty()) error = readError;
        return false;
    }
    if (!bytes->empty()) {
        loadedContentSizeWithNoBufferUpdate_ += static_cast<std::int64_t>(bytes->size());
        data.respondWithData(
            std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    }
    return static_cast<std::int64_t>(bytes->size()) >= remaining;
}

// The check timer.

void DZAssetLoadingVideoPlayerItem::startPlayerItemCheckSourceTimer() {
    DZRunOnMainThread([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self || self->checkSourceTimer_ || self->cacheUpdatesToken_) return;
        const double interval = self->videoConfiguration_->assetLoadingPlayerItemRefreshInterval();
        if (!(interval > 0)) {
            self->cacheUpdatesToken_ = core::NotificationCenter::defaultCenter().addObserver(
                std::string(kDZResourceCacheDidUpdateCacheNotification), nullptr, nullptr,
                [weak](const core::Notification& notification) {
                    const auto item = weak.lock();
                    if (!item || !notification.object || notification.object != item->watchedCache_)
                        return;
                    // The download posts this itself, so it is alive here.
                    const auto& cache = *static_cast<const DZResourceCache*>(notification.object);
                    if (cache.completed() && !cache.valid()) {
                        core::Queue::main()->after(kFailedDownloadRetryDelay, [weak] {
                            if (const auto item = weak.lock()) item->loadPlayerItemData();
                        });
                        return;
                    }
                    item->loadPlayerItemData();
                });
            return;
        }
        self->checkSourceTimer_ = DZCreateBlockTimer(
            true,
            [weak](core::Timer&) {
                if (const auto item = weak.lock()) item->loadPlayerItemData();
            },
            interval, interval / 10);
        self->checkSourceTimer_->fire();
    });
}

void DZAssetLoadingVideoPlayerItem::stopPlayerItemCheckSourceTimer() {
    DZRunOnMainThread([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self) return;
        if (self->checkSourceTimer_) std::exchange(self->checkSourceTimer_, nullptr)->invalidate();
        if (self->cacheUpdatesToken_) {
            core::NotificationCenter::defaultCenter().removeObserver(self->cacheUpdatesToken_);
            self->cacheUpdatesToken_ = {};
        }
        self->lockQueue_->async([weak] {
            const auto self = weak.lock();
            if (!self || !self->resourceCache_) return;
            self->assetLoader_->finishedUsingResourceCache(self->resourceCache_);
            self->setResourceCache(nullptr, self->resourceCacheStartingByteOffset_);
        });
    });
}

DZAssetLoadingVideoPlayerItem::LoadingState DZAssetLoadingVideoPlayerItem::loadingState() const {
    LoadingState state;
    lockQueue_->sync([&] {
        state = {loadingRequest_,
                 resourceCache_,
                 resourceCacheStartingByteOffset_,
                 videoBitRateInBitsPerSecond_,
                 playerItemCachingStartTimeInterval_,
                 playerItemCurrentTimeInterval_,
                 loadedContentSizeWithNoBufferUpdate_,
                 numberOfFailedResourceCache_,
                 static_cast<bool>(playbackProgressObserver_)};
    });
    return state;
}

}  // namespace ads
