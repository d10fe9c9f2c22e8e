#pragma once
// Turns one video URL into the player item a DZVideoPlayer plays, once, in
// one of three ways:
//  - standard: the media engine loads the URL itself; with advance
//    buffering control configured, an asset-loading player item feeds it
//    from ranged downloads instead;
//  - gcache: the SDK core page's copy of the resource (DZGCacheURLLoader)
//    is served to the engine through the "dz-stream" URL scheme, as its
//    bytes arrive; with the server flag
//    "dzads:gcache_should_use_advance_video_control", an asset-loading
//    player item plays the gcache URL's target with that download as its
//    main cache;
//  - advance control: a resource cache given with the load becomes the
//    main cache of an asset-loading player item.
// The start is announced once the item's duration has loaded; a failure is
// announced once. Neither reaches the delegate once the loader is gone or
// cancelled.
//
// "dz-stream" requests are served from the download's file: what it holds
// of the requested range at once, the rest as the download grows. A request
// never gets bytes past its range; one that asks only what the resource is
// ends once that is filled in (after the response headers arrived); one
// that asks for bytes past the end of a finished download ends with what
// there is.
//
// Threading: load and cancel on the main thread. The engine's "dz-stream"
// requests arrive on the high-priority global queue and the download's
// updates on the main thread; the pending requests are shared under a
// lock. Announcements reach the delegate on the main queue.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "ads/core/request/DZError.h"
#include "core/NotificationCenter.h"
#include "core/URL.h"
#include "media/AssetResourceLoaderDelegate.h"
#include "media/PlayerItem.h"
#include "media/URLAsset.h"

namespace ads {

class DZAssetLoadingVideoPlayerItem;
class DZGCacheURLLoader;
class DZResourceCache;
class DZVideoConfiguration;
class DZVideoLoader;
class DZVideoPlayer;

class DZVideoLoaderDelegate {
public:
    virtual ~DZVideoLoaderDelegate() = default;
    // url: the URL given to the load (none for an empty source).
    virtual void videoLoaderDidStartLoadingURL(DZVideoLoader& loader,
                                               const std::optional<core::URL>& url) = 0;
    virtual void videoLoaderDidFailToLoadURL(DZVideoLoader& loader,
                                             const std::optional<core::URL>& url,
                                             const Error& error) = 0;
};

class DZVideoLoader : public media::AssetResourceLoaderDelegate,
                      public std::enable_shared_from_this<DZVideoLoader> {
    struct Token {};

public:
    static constexpr const char* kAlreadyUsedMessage = "Video loader already used.";
    static constexpr const char* kCancelledMessage = "Video loading has been explicitly canceled.";
    static constexpr const char* kStreamScheme = "dz-stream";
    static constexpr std::string_view kGCacheAdvanceControlKey =
        "/dozuza/ads/dzads:gcache_should_use_advance_video_control";

    [[nodiscard]] static std::shared_ptr<DZVideoLoader> create(std::weak_ptr<DZVideoPlayer> player);
    DZVideoLoader(Token, std::weak_ptr<DZVideoPlayer> player);
    ~DZVideoLoader() override;
    DZVideoLoader(const DZVideoLoader&) = delete;
    DZVideoLoader& operator=(const DZVideoLoader&) = delete;

    // Loads once; a second call announces failure (code 11, "Video loader
    // already used.") and loads nothing.
    void loadURL(const std::optional<core::URL>& url,
                 const std::shared_ptr<DZResourceCache>& resourceCache,
                 const std::shared_ptr<DZVideoConfiguration>& configuration);
    // Stops the load: every pending "dz-stream" request ends with code 11,
    // "Video loading has been explicitly canceled.", and no announcement
    // follows.
    void cancel();

    [[nodiscard]] const std::shared_ptr<media::PlayerItem>& playerItem() const {
        return playerItem_;
    }
    [[nodiscard]] bool hasBeenUsed() const { return hasBeenUsed_; }
    // The download behind the "dz-stream" asset, if that is the way.
    [[nodiscard]] std::shared_ptr<DZResourceCache> resourceCache() const;
    [[nodiscard]] const std::shared_ptr<DZAssetLoadingVideoPlayerItem>&
    assetLoadingPlayerItem() const {
        return assetLoadingPlayerItem_;
    }
    // "dz-stream" requests still waiting for bytes.
    [[nodiscard]] size_t pendingRequestCount() const;
    [[nodiscard]] std::shared_ptr<DZVideoPlayer> player() const { return player_.lock(); }
    [[nodiscard]] std::shared_ptr<DZVideoLoaderDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZVideoLoaderDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // media::AssetResourceLoaderDelegate, for the "dz-stream" asset.
    bool shouldWaitForLoadingOfRequestedResource(
        media::AssetResourceLoader& loader,
        const std::shared_ptr<media::AssetResourceLoadingRequest>& request) override;
    void didCancelLoadingRequest(
        media::AssetResourceLoader& loader,
        const std::shared_ptr<media::AssetResourceLoadingRequest>& request) override;

private:
    using Request = std::shared_ptr<media::AssetResourceLoadingRequest>;
    enum class Served { complete, pending, failed };

    void loadStandard();
    void loadGCache();
    void loadWithAdvanceControl(const std::optional<core::URL>& url,
                                const std::shared_ptr<DZResourceCache>& resourceCache);
    void loadWithResourceCache(const std::shared_ptr<DZResourceCache>& resourceCache);
    void announceStart();
    void announceFailure(const Error& error);

    // Under mutex_ from here on.
    [[nodiscard]] Served serve(const Request& request, Error& error);
    void observeResourceCache();
    void stopObservingResourceCache();
    // Stops observing, detaches from the "dz-stream" asset and ends the
    // pending requests as cancelled.
    void stop();
    // Serves the pending requests again after the download changed.
    void processPendingRequests();
    // A read failed: the request ends with the error, the load stops, the
    // failure is announced.
    void failStream(const Request& request, const Error& error);

    std::weak_ptr<DZVideoPlayer> player_;
    bool hasBeenUsed_ = false;
    std::optional<core::URL> sourceURL_;
    std::shared_ptr<DZVideoConfiguration> configuration_;
    std::shared_ptr<DZGCacheURLLoader> gcacheURLLoader_;
    std::shared_ptr<DZAssetLoadingVideoPlayerItem> assetLoadingPlayerItem_;
    std::shared_ptr<media::PlayerItem> playerItem_;
    std::weak_ptr<DZVideoLoaderDelegate> delegate_;
    std::atomic<bool> cancelled_{false};
    bool hasNotifiedVideoLoadingStarted_ = false;
    std::atomic<bool> hasNotifiedVideoLoadingFailed_{false};

    mutable std::mutex mutex_;
    std::shared_ptr<DZResourceCache> resourceCache_;
    std::shared_ptr<media::URLAsset> cachedResourceAsset_;
    std::vector<Request> pendingRequests_;
    bool isObservingResourceCache_ = false;
    core::NotificationCenter::Token cacheToken_;
};

}  // namespace ads
