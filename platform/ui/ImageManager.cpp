#include "ui/ImageManager.h"

#include <utility>

namespace ui {

ImageManager& ImageManager::shared() {
    return *sharedPointer();
}

const std::shared_ptr<ImageManager>& ImageManager::sharedPointer() {
    // Never destroyed: downloads may still be under way at exit.
    static const auto* manager =
        new std::shared_ptr<ImageManager>(std::make_shared<ImageManager>());
    return *manager;
}

ImageManager::ImageManager(std::shared_ptr<ImageCache> cache,
                           std::shared_ptr<ImageDownloader> downloader)
    : cache_(cache ? std::move(cache) : ImageCache::create()),
      downloader_(downloader ? std::move(downloader) : ImageDownloader::create()) {}

std::shared_ptr<ImageRetrieveTask> ImageManager::retrieveImage(const core::URL& url,
                                                               const ImageOptions& options,
                                                               ProgressBlock progress,
                                                               CompletionHandler completion) {
    auto task = std::make_shared<ImageRetrieveTask>(url, std::move(progress), std::move(completion),
                                                    options.targetPixelSize);
    if (options.forceRefresh) {
        download(task, cache_, downloader_);
        return task;
    }
    if (auto image = cache_->memoryImage(url, task->pixelSize())) {
        task->finish(std::move(image), std::nullopt, CacheType::memory);
        return task;
    }
    cache_->retrieveFromDisk(
        url,
        [task, cache = cache_, downloader = downloader_](gfx::ImagePtr image) {
            if (task->isFinished()) return;
            if (image) {
                task->finish(std::move(image), std::nullopt, CacheType::disk);
            } else {
                download(task, cache, downloader);
            }
        },
        task->pixelSize());
    return task;
}

void ImageManager::download(const std::shared_ptr<ImageRetrieveTask>& task,
                            const std::shared_ptr<ImageCache>& cache,
                            const std::shared_ptr<ImageDownloader>& downloader) {
    const std::weak_ptr<ImageRetrieveTask> weakTask = task;
    auto handle = downloader->download(
        task->url(),
        [weakTask](std::int64_t received, std::int64_t expected) {
            if (const auto task = weakTask.lock()) task->reportProgress(received, expected);
        },
        [task, cache](gfx::ImagePtr image, core::Data bytes, std::optional<ImageError> error) {
            if (task->isFinished()) return;
            if (image) cache->store(task->url(), image, std::move(bytes), task->pixelSize());
            task->finish(std::move(image), std::move(error), CacheType::none);
        },
        task->pixelSize());
    task->setDownload(downloader, std::move(handle));
}

}  // namespace ui
