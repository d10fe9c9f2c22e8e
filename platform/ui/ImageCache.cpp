#include "ui/ImageCache.h"

#include <cmath>
#include <utility>

#include "core/Clock.h"
#include "core/FileManager.h"
#include "ui/ImageDownloader.h"

namespace ui {

std::string ImageCache::defaultDiskCachePath() {
    return core::FileManager::folderPath(core::Folder::Caches) + "/ImageCache";
}

std::shared_ptr<ImageCache> ImageCache::create(std::string diskCachePath) {
    return std::make_shared<ImageCache>(Private{}, std::move(diskCachePath));
}

ImageCache::ImageCache(Private, std::string diskCachePath)
    : memory_(kDefaultMaxMemoryCost), disk_(std::move(diskCachePath)),
      ioQueue_(core::Queue::serial("ImageCache.io", core::Queue::Priority::Utility)) {}

std::string ImageCache::cachePath(const core::URL& url) const {
    return disk_.pathFor(url.absoluteString());
}

double ImageCache::now() {
    return core::Clock::current()->wallSeconds();
}

std::string ImageCache::memoryKey(const core::URL& url, gfx::Size pixelSize) {
    if (pixelSize.isEmpty()) return url.absoluteString();
    // A space never appears in a URL's text.
    return url.absoluteString() + " " + std::to_string(std::lround(pixelSize.width)) + "x" +
           std::to_string(std::lround(pixelSize.height));
}

void ImageCache::store(const core::URL& url, gfx::ImagePtr image, core::Data bytes,
                       gfx::Size pixelSize) {
    const std::string& key = url.absoluteString();
    memory_.insert(memoryKey(url, pixelSize), std::move(image));
    if (bytes.empty()) return;
    {
        std::lock_guard lock(pendingMutex_);
        pendingWrites_.insert(key);
    }
    ioQueue_->async([self = shared_from_this(), key, bytes = std::move(bytes), time = now()] {
        (void)self->disk_.store(key, bytes, time);
        (void)self->disk_.trim(self->maxDiskCacheSize_);
        std::lock_guard lock(self->pendingMutex_);
        self->pendingWrites_.erase(self->pendingWrites_.find(key));
    });
}

gfx::ImagePtr ImageCache::memoryImage(const core::URL& url, gfx::Size pixelSize) {
    if (!pixelSize.isEmpty()) {
        if (auto image = memory_.image(memoryKey(url, pixelSize))) return image;
    }
    return memory_.image(url.absoluteString());
}

void ImageCache::retrieveFromDisk(const core::URL& url,
                                  std::function<void(gfx::ImagePtr)> completion,
                                  gfx::Size pixelSize) {
    ioQueue_->async([self = shared_from_this(), url, pixelSize, completion = std::move(completion),
                     time = now()]() mutable {
        auto bytes = self->disk_.read(url.absoluteString(), time, self->maxCachePeriod_);
        if (!bytes) {
            core::Queue::main()->async(
                [completion = std::move(completion)] { completion(nullptr); });
            return;
        }
        self->decodeFromDisk(url, pixelSize, std::move(*bytes), std::move(completion));
    });
}

void ImageCache::decodeFromDisk(const core::URL& url, gfx::Size pixelSize, core::Data bytes,
                                std::function<void(gfx::ImagePtr)> completion) {
    core::Queue::global()->async([self = shared_from_this(), url, pixelSize,
                                  bytes = std::move(bytes),
                                  completion = std::move(completion)]() mutable {
        auto image = gfx::Image::decode(bytes, nullptr, ImageDownloader::decodeOptions(pixelSize));
        if (!image) {
            self->ioQueue_->async([self, key = url.absoluteString()] { self->disk_.remove(key); });
        }
        core::Queue::main()->async(
            [self, url, pixelSize, image = std::move(image), completion = std::move(completion)] {
                if (image) self->memory_.insert(memoryKey(url, pixelSize), image);
                completion(image);
            });
    });
}

CacheType ImageCache::cacheType(const core::URL& url, gfx::Size pixelSize) {
    const std::string& key = url.absoluteString();
    if (memory_.contains(key) || memory_.contains(memoryKey(url, pixelSize)))
        return CacheType::memory;
    {
        std::lock_guard lock(pendingMutex_);
        if (pendingWrites_.contains(key)) return CacheType::disk;
    }
    return disk_.contains(key, now(), maxCachePeriod_) ? CacheType::disk : CacheType::none;
}

void ImageCache::clearDiskCache(std::function<void()> completion) {
    ioQueue_->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        self->disk_.removeAll();
        if (completion) core::Queue::main()->async(std::move(completion));
    });
}

void ImageCache::calculateDiskCacheSize(std::function<void(std::uint64_t bytes)> completion) {
    ioQueue_->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        const std::uint64_t size = self->disk_.totalSize();
        core::Queue::main()->async(
            [size, completion = std::move(completion)] { completion(size); });
    });
}

void ImageCache::cleanExpiredDiskCache(std::function<void()> completion) {
    ioQueue_->async(
        [self = shared_from_this(), completion = std::move(completion), time = now()]() mutable {
            (void)self->disk_.removeExpired(time, self->maxCachePeriod_);
            (void)self->disk_.trim(self->maxDiskCacheSize_);
            if (completion) core::Queue::main()->async(std::move(completion));
        });
}

}  // namespace ui
