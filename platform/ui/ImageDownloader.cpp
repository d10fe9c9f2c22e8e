#include "ui/ImageDownloader.h"

#include <algorithm>
#include <utility>

#include "core/Queue.h"

namespace ui {

std::shared_ptr<ImageDownloader> ImageDownloader::create() {
    return std::make_shared<ImageDownloader>(Private{});
}

ImageDownloader::ImageDownloader(Private) {}

ImageDownloader::~ImageDownloader() {
    if (session_) session_->invalidateAndCancel();
}

void ImageDownloader::setDownloadTimeout(double seconds) {
    if (seconds == downloadTimeout_) return;
    downloadTimeout_ = seconds;
    dropSession();
}

void ImageDownloader::setMaximumDownloadBytes(std::int64_t bytes) {
    if (bytes == maximumDownloadBytes_) return;
    maximumDownloadBytes_ = bytes;
    dropSession();
}

void ImageDownloader::dropSession() {
    if (session_) session_->finishTasksAndInvalidate();
    session_.reset();
}

std::shared_ptr<core::URLSession> ImageDownloader::session() {
    if (!session_) {
        core::URLSessionConfiguration configuration;
        configuration.timeoutIntervalForRequest = downloadTimeout_;
        configuration.lowSpeedLimit = kLowSpeedLimit;
        configuration.lowSpeedTime = kLowSpeedTime;
        configuration.maximumResponseBytes = maximumDownloadBytes_;
        session_ = core::URLSession::create(std::move(configuration), nullptr, core::Queue::main());
    }
    return session_;
}

gfx::ImageDecodeOptions ImageDownloader::decodeOptions(gfx::Size pixelSize) {
    gfx::ImageDecodeOptions options;
    options.coverPixelSize = pixelSize;
    options.maxPixels = kMaxPixels;
    return options;
}

ImageDownloader::Decoded ImageDownloader::decode(const core::Data& body,
                                                 const std::vector<gfx::Size>& sizes) {
    Decoded decoded;
    for (const gfx::Size size : sizes) {
        const bool done = std::any_of(decoded.images.begin(), decoded.images.end(),
                                      [&](const auto& entry) { return entry.first == size; });
        if (done) continue;
        auto image = gfx::Image::decode(body, &decoded.reason, decodeOptions(size));
        // A body that does not decode at one size decodes at none.
        if (!image) return {{}, decoded.reason};
        decoded.images.emplace_back(size, std::move(image));
    }
    return decoded;
}

ImageDownloader::Handle ImageDownloader::download(const core::URL& url, ImageProgressBlock progress,
                                                  Completion completion, gfx::Size pixelSize) {
    const Handle handle{url.absoluteString(), nextCaller_++};
    auto& download = downloads_[handle.url];
    const bool isNew = !download;
    if (isNew) download = std::make_shared<Download>();
    download->callers.push_back(
        {handle.caller, std::move(progress), std::move(completion), pixelSize});
    if (isNew) start(url, download);
    return handle;
}

void ImageDownloader::start(const core::URL& url, const std::shared_ptr<Download>& download) {
    const std::weak_ptr<ImageDownloader> weakSelf = weak_from_this();
    const std::weak_ptr<Download> weakDownload = download;
    download->task = session()->dataTask(
        core::URLRequest(url),
        [weakSelf, weakDownload,
         key = url.absoluteString()](core::Data body, std::optional<core::HTTPURLResponse> response,
                                     std::optional<core::NetworkError> error) {
            if (const auto self = weakSelf.lock()) {
                self->received(key, weakDownload, std::move(body), response, error);
            }
        },
        core::Queue::main());
    download->task->setProgressHandler(
        [weakSelf, weakDownload](std::int64_t received, std::int64_t expected) {
            if (const auto self = weakSelf.lock())
                self->progressed(weakDownload, received, expected);
        });
    download->task->resume();
}

void ImageDownloader::progressed(const std::weak_ptr<Download>& weakDownload, std::int64_t received,
                                 std::int64_t expected) {
    const auto download = weakDownload.lock();
    if (!download) return;
    // A progress block may cancel its own or another caller.
    const auto callers = download->callers;
    for (const auto& caller : callers) {
        if (caller.progress) caller.progress(received, expected);
    }
}

void ImageDownloader::received(const std::string& url, const std::weak_ptr<Download>& download,
                               core::Data body,
                               const std::optional<core::HTTPURLResponse>& response,
                               const std::optional<core::NetworkError>& error) {
    if (error) {
        finish(url, download, {}, {}, ImageError::network(*error));
        return;
    }
    const int status = response ? response->statusCode() : 0;
    if (status >= 400) {
        finish(url, download, {}, {}, ImageError::status(url, status));
        return;
    }
    std::vector<gfx::Size> sizes;
    if (const auto active = download.lock()) {
        for (const Caller& caller : active->callers) sizes.push_back(caller.pixelSize);
    }
    core::Queue::global()->async(
        [weakSelf = weak_from_this(), url, download, sizes, body = std::move(body)]() mutable {
            Decoded decoded = decode(body, sizes);
            core::Queue::main()->async([weakSelf, url, download, decoded = std::move(decoded),
                                        body = std::move(body)]() mutable {
                const auto self = weakSelf.lock();
                if (!self) return;
                if (decoded.images.empty() && !decoded.reason.empty()) {
                    self->finish(url, download, {}, {}, ImageError::decoding(url, decoded.reason));
                } else {
                    self->finish(url, download, decoded, std::move(body), std::nullopt);
                }
            });
        });
}

void ImageDownloader::finish(const std::string& url, const std::weak_ptr<Download>& weakDownload,
                             const Decoded& decoded, core::Data bytes,
                             std::optional<ImageError> error) {
    const auto download = weakDownload.lock();
    const auto found = downloads_.find(url);
    if (!download || found == downloads_.end() || found->second != download) return;
    downloads_.erase(found);
    for (auto& caller : download->callers) {
        if (!caller.completion) continue;
        if (error) {
            caller.completion(nullptr, {}, error);
            continue;
        }
        const auto image =
            std::find_if(decoded.images.begin(), decoded.images.end(),
                         [&](const auto& entry) { return entry.first == caller.pixelSize; });
        if (image != decoded.images.end()) {
            caller.completion(image->second, bytes, std::nullopt);
            continue;
        }
        // Joined while the body was being decoded, at a size of its own.
        Decoded late = decode(bytes, {caller.pixelSize});
        if (late.images.empty()) {
            caller.completion(nullptr, {}, ImageError::decoding(url, late.reason));
        } else {
            caller.completion(late.images.front().second, bytes, std::nullopt);
        }
    }
}

void ImageDownloader::cancel(const Handle& handle) {
    const auto found = downloads_.find(handle.url);
    if (found == downloads_.end()) return;
    const auto download = found->second;
    std::erase_if(download->callers,
                  [&](const Caller& caller) { return caller.id == handle.caller; });
    if (!download->callers.empty()) return;
    downloads_.erase(found);
    if (download->task) download->task->cancel();
}

}  // namespace ui
