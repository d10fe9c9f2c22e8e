#include "media/FFmpegResourceReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace media {

namespace {

constexpr int kBufferSize = 64 * 1024;
// Bytes kept behind the read position, for the demuxer's short seeks back.
constexpr std::int64_t kKeepBehind = 1024 * 1024;
constexpr double kWaitSlice = 0.02;

}  // namespace

FFmpegResourceReader::FFmpegResourceReader(core::URL url,
                                           std::shared_ptr<AssetResourceLoader> loader,
                                           std::shared_ptr<FFmpegInterrupt> interrupt)
    : url_(std::move(url)), loader_(std::move(loader)), interrupt_(std::move(interrupt)) {}

FFmpegResourceReader::~FFmpegResourceReader() {
    cancelRequest();
    if (context_) {
        av_freep(&context_->buffer);
        avio_context_free(&context_);
    }
}

std::optional<MediaError> FFmpegResourceReader::start() {
    interrupt_->onStop([weak = std::weak_ptr(open_), loader = loader_] {
        if (const auto open = weak.lock()) open->cancel(*loader);
    });
    auto request = AssetResourceLoadingRequest::create(url_, true, std::nullopt);
    setRequest(request);
    loader_->send(request);
    if (!waitForEnd(*request)) {
        return MediaError::make(MediaError::Cancelled,
                                "Loading " + url_.absoluteString() + " was cancelled.");
    }
    switch (request->outcome()) {
    case AssetResourceLoadingRequest::Outcome::finished:
        contentLength_ = request->contentInformationRequest()->contentLength();
        break;
    case AssetResourceLoadingRequest::Outcome::failed:
        return request->error();
    case AssetResourceLoadingRequest::Outcome::declined:
        return MediaError::make(MediaError::ContentUnavailable,
                                "The resource loader declined " + url_.absoluteString() + ".");
    default:
        return MediaError::make(MediaError::Cancelled,
                                "Loading " + url_.absoluteString() + " was cancelled.");
    }
    setRequest(nullptr);
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer) return MediaError::make(MediaError::Unknown, "Out of memory.");
    context_ = avio_alloc_context(buffer, kBufferSize, 0, this, &readPacket, nullptr, &seekTo);
    if (!context_) {
        av_free(buffer);
        return MediaError::make(MediaError::Unknown, "Out of memory.");
    }
    return std::nullopt;
}

std::optional<MediaError> FFmpegResourceReader::error() const {
    return error_;
}

int FFmpegResourceReader::readPacket(void* opaque, std::uint8_t* buffer, int size) {
    return static_cast<FFmpegResourceReader*>(opaque)->read(buffer, size);
}

std::int64_t FFmpegResourceReader::seekTo(void* opaque, std::int64_t offset, int whence) {
    return static_cast<FFmpegResourceReader*>(opaque)->seek(offset, whence);
}

std::shared_ptr<AssetResourceLoadingRequest> FFmpegResourceReader::request() const {
    const std::lock_guard lock(open_->mutex);
    return open_->request;
}

void FFmpegResourceReader::setRequest(std::shared_ptr<AssetResourceLoadingRequest> request) {
    const std::lock_guard lock(open_->mutex);
    open_->request = std::move(request);
}

void FFmpegResourceReader::OpenRequest::cancel(AssetResourceLoader& loader) {
    std::shared_ptr<AssetResourceLoadingRequest> taken;
    {
        const std::lock_guard lock(mutex);
        taken = std::move(request);
    }
    if (taken) loader.cancel(taken);
}

bool FFmpegResourceReader::waitForEnd(AssetResourceLoadingRequest& request) const {
    while (request.outcome() == AssetResourceLoadingRequest::Outcome::pending) {
        if (interrupt_->isStopped()) return false;
        request.waitForDataOrEnd(kWaitSlice);
    }
    return !interrupt_->isStopped();
}

void FFmpegResourceReader::pull() {
    const auto open = request();
    if (!open) return;
    window_ += open->takeData();
    const std::int64_t behind = position_ - windowStart_;
    if (behind > 2 * kKeepBehind) {
        const std::int64_t drop = behind - kKeepBehind;
        window_.erase(0, static_cast<size_t>(drop));
        windowStart_ += drop;
    }
}

void FFmpegResourceReader::openRequest() {
    cancelRequest();
    const std::int64_t length =
        contentLength_ >= 0 ? contentLength_ - position_ : std::numeric_limits<std::int64_t>::max();
    auto request = AssetResourceLoadingRequest::create(
        url_, false, AssetResourceLoadingRequest::DataRange{position_, length, true});
    window_.clear();
    windowStart_ = position_;
    setRequest(request);
    loader_->send(request);
}

void FFmpegResourceReader::cancelRequest() {
    open_->cancel(*loader_);
}

int FFmpegResourceReader::read(std::uint8_t* buffer, int size) {
    while (true) {
        if (interrupt_->isStopped()) return AVERROR_EXIT;
        pull();
        if (contentLength_ >= 0 && position_ >= contentLength_) return AVERROR_EOF;
        const std::int64_t end = windowStart_ + static_cast<std::int64_t>(window_.size());
        if (position_ >= windowStart_ && position_ < end) {
            const auto count = static_cast<int>(std::min<std::int64_t>(size, end - position_));
            std::memcpy(buffer, window_.data() + (position_ - windowStart_), count);
            position_ += count;
            return count;
        }
        const auto open = request();
        if (open && open->outcome() == AssetResourceLoadingRequest::Outcome::pending) {
            open->waitForDataOrEnd(kWaitSlice);
            continue;
        }
        if (open) {
            switch (open->outcome()) {
            case AssetResourceLoadingRequest::Outcome::failed:
                error_ = open->error();
                return AVERROR(EIO);
            case AssetResourceLoadingRequest::Outcome::declined:
                error_ =
                    MediaError::make(MediaError::ContentUnavailable,
                                     "The resource loader declined " + url_.absoluteString() + ".");
                return AVERROR(EIO);
            case AssetResourceLoadingRequest::Outcome::finished:
                // Finished short of the end: ask again from here; a request
                // that brought nothing at all is the end.
                if (contentLength_ < 0 || open->respondedLength() == 0) return AVERROR_EOF;
                break;
            default:
                break;
            }
        }
        openRequest();
    }
}

std::int64_t FFmpegResourceReader::seek(std::int64_t offset, int whence) {
    if (whence & AVSEEK_SIZE) return contentLength_ >= 0 ? contentLength_ : AVERROR(ENOSYS);
    whence &= ~AVSEEK_FORCE;
    std::int64_t target = 0;
    if (whence == SEEK_SET) {
        target = offset;
    } else if (whence == SEEK_CUR) {
        target = position_ + offset;
    } else if (whence == SEEK_END && contentLength_ >= 0) {
        target = contentLength_ + offset;
    } else {
        return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    pull();
    const std::int64_t end = windowStart_ + static_cast<std::int64_t>(window_.size());
    if (target < windowStart_ || target > end) {
        cancelRequest();
        window_.clear();
        windowStart_ = target;
    }
    position_ = target;
    return target;
}

}  // namespace media
