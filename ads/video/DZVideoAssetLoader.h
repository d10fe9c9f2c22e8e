#pragma once
// The downloads behind one asset-loading player item: a main resource cache
// the caller may already have (a gcache download, read from the video's
// first byte), and at most one ranged download of its own at a time, into a
// numbered file of the "VideoAsset" folder inside the SDK cache folder
// ("video_asset_<n>.cache", n counting from 0 across the process). The first
// loader of a process empties that folder, so no old video files remain.
//
// A cache is offered for a byte when it holds that byte or will within the
// configuration's wait limit; otherwise a new download starts at the byte
// ("Range: bytes=<byte>-", local caches ignored), limited to the
// configuration's maximum content size, and replaces the loader's own. Its
// file is removed when the cache is released.
//
// Threading: any thread, one caller at a time (the item's lock queue).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "ads/core/request/DZError.h"
#include "core/URL.h"

namespace ads {

class DZResourceCache;
class DZVideoConfiguration;

class DZVideoAssetLoader {
    struct Token {};

public:
    static constexpr const char* kFolderName = "VideoAsset";
    static constexpr const char* kFileNameFormat = "video_asset_%lld.cache";

    struct Source {
        std::shared_ptr<DZResourceCache> cache;
        // The video byte at which the cache's file begins.
        std::int64_t startingByteOffset = 0;
    };

    // A gcache URL (scheme in any case) is replaced by its target URL. A
    // missing configuration reads as the defaults.
    [[nodiscard]] static std::shared_ptr<DZVideoAssetLoader>
    create(const std::optional<core::URL>& videoURL, std::shared_ptr<DZResourceCache> resourceCache,
           std::shared_ptr<DZVideoConfiguration> videoConfiguration);
    DZVideoAssetLoader(Token, std::optional<core::URL> videoURL,
                       std::shared_ptr<DZResourceCache> resourceCache,
                       std::shared_ptr<DZVideoConfiguration> videoConfiguration);

    // A cache that can serve the byte, and where its file begins; nullopt
    // with the reason when no download could be started: the folder's
    // error, or SDK error 11 "Fail to create file with empty content at URL
    // %@".
    [[nodiscard]] std::optional<Source> getResourceCache(std::int64_t loadingByteOffset,
                                                         Error* error);
    // The caller no longer reads the cache: a download of the loader's own
    // stops where it is (its bytes stay readable); the main cache is left
    // alone.
    void finishedUsingResourceCache(const std::shared_ptr<DZResourceCache>& cache);

    [[nodiscard]] const std::optional<core::URL>& sourceURL() const { return sourceURL_; }
    [[nodiscard]] const std::shared_ptr<DZResourceCache>& mainResourceCache() const {
        return mainResourceCache_;
    }
    [[nodiscard]] const std::shared_ptr<DZVideoConfiguration>& videoConfiguration() const {
        return videoConfiguration_;
    }
    // The latest ranged download and where it begins.
    [[nodiscard]] Source ownResourceCache() const;

    // The "VideoAsset" folder is emptied again by the next loader made, and
    // file numbers start from 0 again.
    static void resetForTesting();

private:
    // Empties the folder once per process.
    static void prepareFolder();
    [[nodiscard]] std::optional<Source> startDownload(std::int64_t offset, Error* error);

    const std::optional<core::URL> sourceURL_;
    const std::shared_ptr<DZResourceCache> mainResourceCache_;
    const std::shared_ptr<DZVideoConfiguration> videoConfiguration_;
    mutable std::mutex mutex_;
    std::shared_ptr<DZResourceCache> resourceCache_;
    std::int64_t resourceCacheStartingByteOffset_ = 0;
};

}  // namespace ads
