#pragma once
// Retrieves remote images for the app: from its ImageCache when it holds
// them (memory, then disk), else through its ImageDownloader, caching what
// was downloaded. ImageManager::shared() is the app's manager, configured at
// launch through downloader() and cache(); tests make their own.
//
// Main thread only. A memory hit completes before retrieveImage returns;
// everything else later, on the main queue.

#include <memory>

#include "core/URL.h"
#include "ui/ImageCache.h"
#include "ui/ImageDownloader.h"
#include "ui/ImageOptions.h"
#include "ui/ImageRetrieveTask.h"

namespace ui {

class ImageManager {
public:
    using ProgressBlock = ImageProgressBlock;
    using CompletionHandler = ImageCompletionHandler;

    static ImageManager& shared();
    // The same manager, for ImageOptions::manager.
    [[nodiscard]] static const std::shared_ptr<ImageManager>& sharedPointer();

    // Null parts: a cache in ImageCache::defaultDiskCachePath(), a new
    // downloader.
    explicit ImageManager(std::shared_ptr<ImageCache> cache = nullptr,
                          std::shared_ptr<ImageDownloader> downloader = nullptr);
    ImageManager(const ImageManager&) = delete;
    ImageManager& operator=(const ImageManager&) = delete;

    [[nodiscard]] ImageDownloader& downloader() const { return *downloader_; }
    [[nodiscard]] ImageCache& cache() const { return *cache_; }

    // options.manager is not read here.
    [[nodiscard]] std::shared_ptr<ImageRetrieveTask> retrieveImage(
        const core::URL& url, const ImageOptions& options = {}, ProgressBlock progress = {},
        CompletionHandler completion = {});

private:
    static void download(const std::shared_ptr<ImageRetrieveTask>& task,
                         const std::shared_ptr<ImageCache>& cache,
                         const std::shared_ptr<ImageDownloader>& downloader);

    const std::shared_ptr<ImageCache> cache_;
    const std::shared_ptr<ImageDownloader> downloader_;
};

}  // namespace ui
