#pragma once
// The buffering, download and precache settings of one in-ad video. They
// come from an effective dictionary: the server's "dzads:video_configuration"
// (a JSON text in the user defaults) with the page's dictionary laid over it
// key by key. The static settings are read once, at creation; the four
// buffer thresholds are dynamic and follow later updates from the page (a
// key absent from an update keeps its value).
//
// A value counts when it answers the reading the key needs (a number, a
// bool or a text); -1 in a count or a size means no limit.
//
// Threading: any thread. The dynamic settings live on the serial queue
// "com.dozuza.vuraz.video-configuration"; updates are applied there
// asynchronously, reads wait for it. The static settings never change.

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZVideoConfiguration : public std::enable_shared_from_this<DZVideoConfiguration> {
    struct Token {};

public:
    static constexpr std::string_view kServerConfigurationKey =
        "/dozuza/ads/dzads:video_configuration";

    [[nodiscard]] static std::shared_ptr<DZVideoConfiguration>
    create(const core::Dictionary& dictionary = {});
    // The server's dictionary with the given one laid over it.
    [[nodiscard]] static core::Dictionary effectiveDictionary(const core::Dictionary& dictionary);

    explicit DZVideoConfiguration(Token);
    DZVideoConfiguration(const DZVideoConfiguration&) = delete;
    DZVideoConfiguration& operator=(const DZVideoConfiguration&) = delete;

    // Reloads the dynamic settings from the new dictionary (over the
    // server's), later on the lock queue, while this object still exists.
    void updateDynamicConfiguration(const core::Dictionary& dictionary);

    // Dynamic, in seconds.
    [[nodiscard]] double minBufferTimeInterval() const;
    [[nodiscard]] double maxBufferTimeInterval() const;
    [[nodiscard]] double bufferForPlaybackTimeInterval() const;
    [[nodiscard]] double bufferForPlaybackAfterRebufferTimeInterval() const;

    // Static.
    [[nodiscard]] bool enableAVPlayerPlaybackBuffering() const {
        return enableAVPlayerPlaybackBuffering_;
    }
    [[nodiscard]] bool enableAdvanceBufferingControl() const {
        return enableAdvanceBufferingControl_;
    }
    [[nodiscard]] bool enableInMemoryVideoBuffer() const { return enableInMemoryVideoBuffer_; }
    [[nodiscard]] bool videoBufferShouldIgnoreCanPlayThrough() const {
        return videoBufferShouldIgnoreCanPlayThrough_;
    }
    [[nodiscard]] std::int64_t precacheMaxBufferBytes() const { return precacheMaxBufferBytes_; }
    [[nodiscard]] double videoAssetLoaderMaxDownloadWaitTimeInterval() const {
        return videoAssetLoaderMaxDownloadWaitTimeInterval_;
    }
    [[nodiscard]] std::int64_t videoAssetLoaderMaxContentSizeInBytes() const {
        return videoAssetLoaderMaxContentSizeInBytes_;
    }
    [[nodiscard]] std::int64_t videoAssetMaxLoadableChunkSizeInBytes() const {
        return videoAssetMaxLoadableChunkSizeInBytes_;
    }
    [[nodiscard]] std::int64_t assetLoadingPlayerItemMaxContentLoadingFailedAttempts() const {
        return assetLoadingPlayerItemMaxContentLoadingFailedAttempts_;
    }
    [[nodiscard]] std::int64_t assetLoadingPlayerItemMaxDataLoadingFailedAttempts() const {
        return assetLoadingPlayerItemMaxDataLoadingFailedAttempts_;
    }
    [[nodiscard]] double assetLoadingPlayerItemRefreshInterval() const {
        return assetLoadingPlayerItemRefreshInterval_;
    }
    [[nodiscard]] std::int64_t assetLoadingPlayerItemNoBufferUpdateMaxContentSize() const {
        return assetLoadingPlayerItemNoBufferUpdateMaxContentSize_;
    }
    [[nodiscard]] double precacheUpdateCheckIntervals() const {
        return precacheUpdateCheckIntervals_;
    }

private:
    void loadStaticConfiguration(const core::Dictionary& dictionary);
    // Lock queue only.
    void loadDynamicConfiguration(const core::Dictionary& dictionary);
    [[nodiscard]] double readDynamic(double DZVideoConfiguration::*field) const;

    const std::shared_ptr<core::Queue> lockQueue_;
    double minBufferTimeInterval_ = 0;
    double maxBufferTimeInterval_ = 0;
    double bufferForPlaybackTimeInterval_ = 0;
    double bufferForPlaybackAfterRebufferTimeInterval_ = 0;
    bool enableAVPlayerPlaybackBuffering_ = true;
    bool enableAdvanceBufferingControl_ = false;
    bool enableInMemoryVideoBuffer_ = false;
    bool videoBufferShouldIgnoreCanPlayThrough_ = true;
    std::int64_t precacheMaxBufferBytes_ = -1;
    double videoAssetLoaderMaxDownloadWaitTimeInterval_ = 0;
    std::int64_t videoAssetLoaderMaxContentSizeInBytes_ = -1;
    std::int64_t videoAssetMaxLoadableChunkSizeInBytes_ = -1;
    std::int64_t assetLoadingPlayerItemMaxContentLoadingFailedAttempts_ = 1;
    std::int64_t assetLoadingPlayerItemMaxDataLoadingFailedAttempts_ = -1;
    double assetLoadingPlayerItemRefreshInterval_ = 0;
    std::int64_t assetLoadingPlayerItemNoBufferUpdateMaxContentSize_ = -1;
    double precacheUpdateCheckIntervals_ = 0;
};

}  // namespace ads
