#pragma once
// One retrieval by ImageManager::retrieveImage: memory, then disk, then the
// network. It ends with exactly one call of its completion: with the image,
// with an error, or, after cancel(), with a cancelled error (on the main
// queue, after cancel() returns); nothing it loads later is delivered.
// Main thread only.

#include <cstdint>
#include <memory>
#include <optional>

#include "core/URL.h"
#include "gfx/Image.h"
#include "ui/ImageDownloader.h"
#include "ui/ImageOptions.h"

namespace ui {

class ImageRetrieveTask : public std::enable_shared_from_this<ImageRetrieveTask> {
public:
    ImageRetrieveTask(core::URL url, ImageProgressBlock progress, ImageCompletionHandler completion,
                      gfx::Size pixelSize = {});
    ImageRetrieveTask(const ImageRetrieveTask&) = delete;
    ImageRetrieveTask& operator=(const ImageRetrieveTask&) = delete;

    [[nodiscard]] const core::URL& url() const { return url_; }
    // The size the image is decoded for; empty for the full size.
    [[nodiscard]] gfx::Size pixelSize() const { return pixelSize_; }
    // True once the outcome is decided: delivered, or cancelled.
    [[nodiscard]] bool isFinished() const { return finished_; }
    [[nodiscard]] bool isCancelled() const { return cancelled_; }
    void cancel();

    // For ImageManager.
    void setDownload(std::weak_ptr<ImageDownloader> downloader, ImageDownloader::Handle handle);
    void reportProgress(std::int64_t received, std::int64_t expected) const;
    // Calls the completion now, unless the task has finished.
    void finish(gfx::ImagePtr image, std::optional<ImageError> error, CacheType cacheType);

private:
    const core::URL url_;
    const gfx::Size pixelSize_;
    const ImageProgressBlock progress_;
    ImageCompletionHandler completion_;
    bool finished_ = false;
    bool cancelled_ = false;
    std::weak_ptr<ImageDownloader> downloader_;
    std::optional<ImageDownloader::Handle> download_;
};

}  // namespace ui
