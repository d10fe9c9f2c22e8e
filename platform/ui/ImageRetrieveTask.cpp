#include "ui/ImageRetrieveTask.h"

#include <utility>

#include "core/Queue.h"

namespace ui {

ImageRetrieveTask::ImageRetrieveTask(core::URL url, ImageProgressBlock progress,
                                     ImageCompletionHandler completion, gfx::Size pixelSize)
    : url_(std::move(url)), pixelSize_(pixelSize), progress_(std::move(progress)),
      completion_(std::move(completion)) {}

void ImageRetrieveTask::cancel() {
    if (finished_) return;
    finished_ = true;
    cancelled_ = true;
    if (const auto downloader = downloader_.lock(); downloader && download_) {
        downloader->cancel(*download_);
    }
    download_.reset();
    auto completion = std::move(completion_);
    completion_ = nullptr;
    if (!completion) return;
    core::Queue::main()->async([completion = std::move(completion), url = url_] {
        completion(nullptr, ImageError::cancelled(url.absoluteString()), CacheType::none, url);
    });
}

void ImageRetrieveTask::setDownload(std::weak_ptr<ImageDownloader> downloader,
                                    ImageDownloader::Handle handle) {
    if (finished_) return;
    downloader_ = std::move(downloader);
    download_ = std::move(handle);
}

void ImageRetrieveTask::reportProgress(std::int64_t received, std::int64_t expected) const {
    if (!finished_ && progress_) progress_(received, expected);
}

void ImageRetrieveTask::finish(gfx::ImagePtr image, std::optional<ImageError> error,
                               CacheType cacheType) {
    if (finished_) return;
    finished_ = true;
    download_.reset();
    auto completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) completion(std::move(image), std::move(error), cacheType, url_);
}

}  // namespace ui
