#pragma once
// Feeds ad video to the media player from ranged downloads, throttled by
// how much video is buffered ahead of the play position. The player item it
// gives out plays an asset of a private "video" URL (the real URL's host and
// path); the engine's loading requests for it come here, and are answered
// from the resource caches a DZVideoAssetLoader provides: one request is
// served at a time (a newer one ends the open one).
//
// Loading runs while the buffer ahead is short (below minBufferMs) or the
// position left the loaded range, and stops once maxBufferMs is buffered
// (after "canplaythrough", unless the configuration ignores it); stopping
// also releases the current download. While a download runs and the
// video's bit rate is known, its byte limit follows the bit rate: the
// elapsed play time of its window plus maxBufferMs worth of bytes. Caches
// found broken count as failed attempts; at the configured limits,
// requests end with "Too many bad attempts.". A download that hands out
// more than the configured bytes without the play position moving is
// released.
//
// Passes run on changes of the item's loaded time ranges, every 0.25 s of
// play, and, while a request is open, on a check timer of the configured
// refresh interval. Without a positive interval there is no timer (one of
// interval 0 would spin): the serving download's updates run the passes
// instead, and a pass that served from a finished download runs the next
// one, which starts the download that follows. A download that failed is
// followed by a pass kFailedDownloadRetryDelay later, not at once, so that
// a server failing every request is not asked again as fast as it answers.
//
// Threading: resource-loader calls and request work run on the serial
// queue "com.dozuza.vuraz.asset-loading-player-item"; buffer inspection,
// the observations and the timer on the main thread. Any thread may call
// the public members.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "ads/core/request/DZError.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/Timer.h"
#include "core/URL.h"
#include "media/AssetResourceLoaderDelegate.h"
#include "media/ChangeObservers.h"
#include "media/Player.h"
#include "media/PlayerItem.h"

namespace ads {

class DZResourceCache;
class DZVideoAssetLoader;
class DZVideoConfiguration;
class DZVideoPlayer;

class DZAssetLoadingVideoPlayerItem final
    : public media::AssetResourceLoaderDelegate,
      public std::enable_shared_from_this<DZAssetLoadingVideoPlayerItem> {
    struct Token {};

public:
    static constexpr const char* kAssetScheme = "video";
    static constexpr const char* kCancelledByNewRequestMessage =
        "Video asset loader's loading cancelled by new request.";
    static constexpr const char* kNoBufferMessage = "Failed to get buffer from video asset loader.";
    static constexpr const char* kTooManyBadAttemptsMessage = "Too many bad attempts.";
    static constexpr double kPlaybackProgressInterval = 0.25;
    static constexpr double kFailedDownloadRetryDelay = 1;

    // A missing configuration reads as the defaults; without a URL the
    // asset's URL is "video://video/asset_loading".
    [[nodiscard]] static std::shared_ptr<DZAssetLoadingVideoPlayerItem>
    create(const std::optional<core::URL>& videoURL,
           std::shared_ptr<DZVideoAssetLoader> assetLoader,
           std::shared_ptr<DZVideoConfiguration> videoConfiguration);
    DZAssetLoadingVideoPlayerItem(Token, std::optional<core::URL> videoURL,
                                  std::shared_ptr<DZVideoAssetLoader> assetLoader,
                                  std::shared_ptr<DZVideoConfiguration> videoConfiguration);
    ~DZAssetLoadingVideoPlayerItem() override;
    DZAssetLoadingVideoPlayerItem(const DZAssetLoadingVideoPlayerItem&) = delete;
    DZAssetLoadingVideoPlayerItem& operator=(const DZAssetLoadingVideoPlayerItem&) = delete;

    // The player that plays the item; its play position drives loading.
    void setPlayer(const std::shared_ptr<DZVideoPlayer>& player);

    [[nodiscard]] const std::optional<core::URL>& videoURL() const { return videoURL_; }
    [[nodiscard]] const std::shared_ptr<media::PlayerItem>& playerItem() const {
        return playerItem_;
    }
    [[nodiscard]] const std::shared_ptr<DZVideoAssetLoader>& assetLoader() const {
        return assetLoader_;
    }

    // media::AssetResourceLoaderDelegate, on the lock queue.
    bool shouldWaitForLoadingOfRequestedResource(
        media::AssetResourceLoader& loader,
        const std::shared_ptr<media::AssetResourceLoadingRequest>& request) override;
    void didCancelLoadingRequest(
        media::AssetResourceLoader& loader,
        const std::shared_ptr<media::AssetResourceLoadingRequest>& request) override;

    // What the item stands at, for tests. Main thread.
    [[nodiscard]] bool isLoadingEnabled() const { return loadingEnabled_; }
    [[nodiscard]] bool hasCheckSourceTimer() const { return checkSourceTimer_ != nullptr; }
    // Read on the lock queue (waits for the work queued before).
    struct LoadingState {
        std::shared_ptr<media::AssetResourceLoadingRequest> loadingRequest;
        std::shared_ptr<DZResourceCache> resourceCache;
        std::int64_t resourceCacheStartingByteOffset = 0;
        float videoBitRateInBitsPerSecond = 0;
        double playerItemCachingStartTimeInterval = 0;
        double playerItemCurrentTimeInterval = 0;
        std::int64_t loadedContentSizeWithNoBufferUpdate = 0;
        std::int64_t numberOfFailedResourceCache = 0;
        bool hasPlaybackProgressObserver = false;
    };
    [[nodiscard]] LoadingState loadingState() const;

private:
    void observeLoadedTimeRanges();
    [[nodiscard]] std::shared_ptr<DZVideoPlayer> player() const;

    // Any thread; the pass itself starts on the main thread.
    void loadPlayerItemData();
    // Main thread.
    void handlePlayerItemUpdates();
    // Lock queue from here on.
    void processLoadingRequest();
    // The download's byte limit from the bit rate and the play position.
    void updateByteLimit();
    [[nodiscard]] bool prepareForLoadingByteOffset(std::int64_t offset);
    [[nodiscard]] bool loadContentRequest(media::AssetResourceLoadingRequest& request,
                                          std::optional<Error>& error);
    [[nodiscard]] bool loadDataRequest(media::AssetResourceLoadingRequest& request,
                                       std::optional<Error>& error);
    void finishLoadingRequest(const std::shared_ptr<media::AssetResourceLoadingRequest>& request,
                              const std::optional<Error>& error);
    void setResourceCache(std::shared_ptr<DZResourceCache> cache, std::int64_t startingOffset);
    // Any thread; the timer lives on the main thread.
    void startPlayerItemCheckSourceTimer();
    void stopPlayerItemCheckSourceTimer();

    const std::optional<core::URL> videoURL_;
    const std::shared_ptr<DZVideoAssetLoader> assetLoader_;
    const std::shared_ptr<DZVideoConfiguration> videoConfiguration_;
    const std::shared_ptr<core::Queue> lockQueue_;
    std::shared_ptr<media::PlayerItem> playerItem_;

    // Main thread.
    bool loadingEnabled_ = true;
    std::shared_ptr<core::Timer> checkSourceTimer_;
    core::NotificationCenter::Token cacheUpdatesToken_;
    media::ChangeObservers::Token loadedTimeRangesToken_;
    bool observingLoadedTimeRanges_ = false;

    mutable std::mutex playerMutex_;
    std::weak_ptr<DZVideoPlayer> player_;

    // Lock queue.
    std::shared_ptr<media::AssetResourceLoadingRequest> loadingRequest_;
    std::shared_ptr<DZResourceCache> resourceCache_;
    std::int64_t resourceCacheStartingByteOffset_ = 0;
    media::Player::TimeObserverToken playbackProgressObserver_;
    float videoBitRateInBitsPerSecond_ = 0;
    double playerItemCachingStartTimeInterval_ = 0;
    double playerItemCurrentTimeInterval_ = 0;
    std::int64_t loadedContentSizeWithNoBufferUpdate_ = 0;
    std::int64_t numberOfFailedResourceCache_ = 0;
    // The download whose updates run passes while there is no timer.
    std::atomic<const void*> watchedCache_{nullptr};
};

}  // namespace ads
