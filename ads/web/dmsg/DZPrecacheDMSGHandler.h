#pragma once
// Downloads a video source into a file of the SDK cache folder
// ("Precache/precache_<n>.cache", n counting from 0 in each process, whose
// first handler wipes the folder of earlier runs) ahead of playing, for the
// page's "precache" messages, which each video player handler forwards to
// its own precache handler; a later file "src" plays from the download
// (resourceCache()). Progress reaches the page as "onPrecacheEvent"
// {"bytesLoaded", "totalBytes", "event", "src", "cachedSrc"}, the event
// being "precacheProgress", "precacheComplete" or "precacheCanceled".
//
// Only http and https sources are downloaded. One download runs at a time:
// a new "src" while one runs is not taken (events keep naming the running
// download's source) until an "abort", which cancels the download, deletes
// its file and reports the bytes it held.
//
// Main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "ads/web/cache/DZResourceCacheDelegate.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZAdView;
class DZResourceCache;
class DZVideoConfiguration;

class DZPrecacheDMSGHandler : public DZResourceCacheDelegate,
                              public std::enable_shared_from_this<DZPrecacheDMSGHandler> {
public:
    static constexpr std::string_view kFolderName = "Precache";

    // The first handler of the process wipes the folder.
    DZPrecacheDMSGHandler();

    void adViewDidReceivePrecacheNotification(const std::shared_ptr<DZAdView>& adView,
                                              const core::Dictionary& parameters);

    // The current or last download; kept after it ends or is aborted.
    [[nodiscard]] const std::shared_ptr<DZResourceCache>& resourceCache() const {
        return resourceCache_;
    }
    // Hands over a download made elsewhere (tests of the video handler).
    void setResourceCache(std::shared_ptr<DZResourceCache> cache) {
        resourceCache_ = std::move(cache);
    }
    [[nodiscard]] const std::optional<core::URL>& sourceURL() const { return sourceURL_; }
    [[nodiscard]] bool hasStartedPreloading() const { return hasStartedPreloading_; }
    [[nodiscard]] const std::shared_ptr<DZVideoConfiguration>& videoConfiguration() const {
        return videoConfiguration_;
    }
    [[nodiscard]] std::int64_t byteThresholdToNotify() const { return byteThresholdToNotify_; }

    // The steps of a message.
    void preload();
    void abort();
    // Cancels the download (silently) and deletes its file; answers the
    // bytes it held.
    std::int64_t lastBytesAfterCleanUp();
    void dispatchPrecacheEventWithBytesLoaded(std::uint64_t bytesLoaded, std::int64_t totalBytes,
                                              std::string_view event);

    // DZResourceCacheDelegate.
    void resourceCacheDidReceiveResponse(const std::shared_ptr<DZResourceCache>& cache) override;
    void resourceCacheDidReceiveData(const std::shared_ptr<DZResourceCache>& cache) override;
    void resourceCacheDidSucceedCaching(const std::shared_ptr<DZResourceCache>& cache) override;
    void resourceCacheDidFailCachingWithError(const std::shared_ptr<DZResourceCache>& cache,
                                              const Error& error) override;

private:
    // Sends the event with the download's sizes, when cache is the current
    // download.
    void dispatchEventOf(const std::shared_ptr<DZResourceCache>& cache, std::string_view event);

    std::weak_ptr<DZAdView> adView_;
    std::optional<core::URL> sourceURL_;
    bool hasStartedPreloading_ = false;
    std::shared_ptr<DZVideoConfiguration> videoConfiguration_;
    std::int64_t byteThresholdToNotify_ = 0;
    bool hasNotifiedAtByteThreshold_ = false;
    std::shared_ptr<DZResourceCache> resourceCache_;
};

}  // namespace ads
