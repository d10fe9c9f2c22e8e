#pragma once
// The image caches of an ImageManager: decoded images in memory by URL text
// and the pixel size they were asked at (empty: full size; see
// ImageOptions::targetPixelSize), and the downloaded bytes on disk (see DiskImageStore) in the
// caches folder, "ImageCache" inside it unless told otherwise. Disk entries not accessed within the
// longest age are not served; when the disk cache grows past its largest size, the least recently
// accessed files go until it takes half of it. Ages and access times follow core::Clock's wall time
// when the call is made.
//
// Disk work runs in submission order on a serial queue of the cache's own;
// decoding on core::Queue::global(). Completions run on the main queue.
// Every member is safe from any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "core/Queue.h"
#include "core/URL.h"
#include "core/Value.h"
#include "gfx/Image.h"
#include "ui/DiskImageStore.h"
#include "ui/ImageOptions.h"
#include "ui/MemoryImageCache.h"

namespace ui {

class ImageCache : public std::enable_shared_from_this<ImageCache> {
    struct Private {};

public:
    static constexpr std::uint64_t kDefaultMaxMemoryCost = 200ull * 1024 * 1024;
    static constexpr double kDefaultMaxCachePeriod = 7 * 24 * 3600.0;

    // FileManager's caches folder / "ImageCache".
    [[nodiscard]] static std::string defaultDiskCachePath();
    [[nodiscard]] static std::shared_ptr<ImageCache>
    create(std::string diskCachePath = defaultDiskCachePath());

    ImageCache(Private, std::string diskCachePath);
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    [[nodiscard]] const std::string& diskCachePath() const { return disk_.folder(); }
    // Where the bytes of url are kept (whether or not they are).
    [[nodiscard]] std::string cachePath(const core::URL& url) const;

    [[nodiscard]] std::uint64_t maxMemoryCost() const { return memory_.maxCost(); }
    void setMaxMemoryCost(std::uint64_t bytes) { memory_.setMaxCost(bytes); }
    // 0: no limit (the default).
    [[nodiscard]] std::uint64_t maxDiskCacheSize() const { return maxDiskCacheSize_; }
    void setMaxDiskCacheSize(std::uint64_t bytes) { maxDiskCacheSize_ = bytes; }
    // 0: entries never expire.
    [[nodiscard]] double maxCachePeriodInSecond() const { return maxCachePeriod_; }
    void setMaxCachePeriodInSecond(double seconds) { maxCachePeriod_ = seconds; }

    // Keeps the image in memory at once, under the size it was asked at,
    // and the bytes on disk soon after (none when bytes is empty), then
    // trims the disk cache to its size.
    void store(const core::URL& url, gfx::ImagePtr image, core::Data bytes,
               gfx::Size pixelSize = {});
    // The image asked at pixelSize, else the full-size one; null when
    // neither is in memory.
    [[nodiscard]] gfx::ImagePtr memoryImage(const core::URL& url, gfx::Size pixelSize = {});
    // Reads the bytes on disk and decodes them for pixelSize; a hit is kept
    // in memory too. The completion gets null when they are missing,
    // expired or undecodable (those are removed).
    void retrieveFromDisk(const core::URL& url, std::function<void(gfx::ImagePtr)> completion,
                          gfx::Size pixelSize = {});
    // Where a retrieve at pixelSize would find the image now: memory, disk,
    // or none. May wait for a disk write under way.
    [[nodiscard]] CacheType cacheType(const core::URL& url, gfx::Size pixelSize = {});
    [[nodiscard]] bool isCached(const core::URL& url) { return cacheType(url) != CacheType::none; }

    void clearMemoryCache() { memory_.removeAll(); }
    void clearDiskCache(std::function<void()> completion = {});
    void calculateDiskCacheSize(std::function<void(std::uint64_t bytes)> completion);
    // Removes the expired entries, then trims to the largest size.
    void cleanExpiredDiskCache(std::function<void()> completion = {});

private:
    [[nodiscard]] static double now();
    // The memory cache's key of url asked at pixelSize.
    [[nodiscard]] static std::string memoryKey(const core::URL& url, gfx::Size pixelSize);
    void decodeFromDisk(const core::URL& url, gfx::Size pixelSize, core::Data bytes,
                        std::function<void(gfx::ImagePtr)> completion);

    MemoryImageCache memory_;
    DiskImageStore disk_;
    const std::shared_ptr<core::Queue> ioQueue_;
    std::atomic<std::uint64_t> maxDiskCacheSize_{0};
    std::atomic<double> maxCachePeriod_{kDefaultMaxCachePeriod};

    // URL texts whose bytes wait on the disk queue to be written.
    std::mutex pendingMutex_;
    std::multiset<std::string> pendingWrites_;
};

}  // namespace ui
