#include "ads/web/cache/DZResourceCache.h"

#include <algorithm>

#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZThreading.h"
#include "core/FileHandle.h"
#include "core/FileManager.h"
#include "core/StringFormat.h"

namespace ads {

std::shared_ptr<DZResourceCache> DZResourceCache::createWithCacheID(core::URLRequest request,
                                                                    std::string_view cacheID,
                                                                    Error* error) {
    if (cacheID.empty()) return nullptr;
    auto fileURL = fileURLForCacheID(cacheID, error);
    if (!fileURL) return nullptr;
    return std::make_shared<DZResourceCache>(Private{}, std::move(request), std::move(*fileURL),
                                             std::string(cacheID), false);
}

std::optional<core::URL> DZResourceCache::fileURLForCacheID(std::string_view cacheID,
                                                            Error* error) {
    const auto folder = DZCacheDirectoryPath(std::nullopt, error);
    if (!folder) return std::nullopt;
    return folder->appendingPathComponent(
        core::format("%@.%@", DZStringHashHex(cacheID), "gcache"));
}

std::shared_ptr<DZResourceCache>
DZResourceCache::create(core::URLRequest request, core::URL fileURL, bool removeFileOnDealloc) {
    return std::make_shared<DZResourceCache>(Private{}, std::move(request), std::move(fileURL),
                                             std::nullopt, removeFileOnDealloc);
}

std::shared_ptr<DZResourceCache> DZResourceCache::create(core::URLRequest request,
                                                         core::URL fileURL,
                                                         std::optional<std::string> contentType,
                                                         std::int64_t contentLength,
                                                         bool removeFileOnDealloc) {
    auto cache = create(std::move(request), std::move(fileURL), removeFileOnDealloc);
    // Not shared yet: no queue is needed to fill it in.
    cache->started_ = true;
    cache->completed_ = true;
    cache->responseHeadersReceived_ = true;
    cache->contentType_ = std::move(contentType);
    cache->contentLength_ = contentLength;
    if (cache->filePath_) {
        const auto size = core::FileManager::fileSize(*cache->filePath_);
        if (size) cache->cacheContentSize_ = static_cast<std::int64_t>(size.value());
    }
    return cache;
}

DZResourceCache::DZResourceCache(Private, core::URLRequest request, core::URL fileURL,
                                 std::optional<std::string> cacheID, bool removeFileOnDealloc)
    : lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("resource-cache"), DZQoSUserInitiated)),
      request_(std::move(request)), cacheID_(std::move(cacheID)),
      removeFileOnDealloc_(removeFileOnDealloc), fileURL_(std::move(fileURL)),
      filePath_(fileURL_.fileSystemPath()) {}

// Nothing else holds the object now, so its fields need no queue.
DZResourceCache::~DZResourceCache() {
    if (connection_) connection_->cancel();
    if (removeFileOnDealloc_ && filePath_) (void)core::FileManager::removeItem(*filePath_);
}

template <typename T>
T DZResourceCache::read(T DZResourceCache::*field) const {
    T value{};
    lockQueue_->sync([&] { value = this->*field; });
    return value;
}

std::int64_t DZResourceCache::cachedContentSize() const {
    return read(&DZResourceCache::cacheContentSize_);
}

core::Dictionary DZResourceCache::responseHeaders() const {
    return read(&DZResourceCache::responseHeaders_);
}

bool DZResourceCache::started() const {
    return read(&DZResourceCache::started_);
}

bool DZResourceCache::responseHeadersReceived() const {
    return read(&DZResourceCache::responseHeadersReceived_);
}

bool DZResourceCache::completed() const {
    return read(&DZResourceCache::completed_);
}

bool DZResourceCache::valid() const {
    return read(&DZResourceCache::valid_);
}

std::optional<std::string> DZResourceCache::contentType() const {
    return read(&DZResourceCache::contentType_);
}

std::int64_t DZResourceCache::contentLength() const {
    return read(&DZResourceCache::contentLength_);
}

std::int64_t DZResourceCache::maxBytes() const {
    return read(&DZResourceCache::maxBytes_);
}

void DZResourceCache::setMaxBytes(std::int64_t maxBytes) {
    lockQueue_->async([self = shared_from_this(), maxBytes] { self->maxBytes_ = maxBytes; });
}

std::shared_ptr<DZResourceCacheDelegate> DZResourceCache::delegate() const {
    return read(&DZResourceCache::delegate_).lock();
}

void DZResourceCache::setDelegate(std::weak_ptr<DZResourceCacheDelegate> delegate) {
    lockQueue_->async([self = shared_from_this(), delegate = std::move(delegate)] {
        self->delegate_ = delegate;
    });
}

double DZResourceCache::networkSpeedInBytesPerSecond() const {
    double speed = -1.0;
    lockQueue_->sync([&] {
        if (!started_ || completed_) return;
        const double elapsed = DZSecondsSinceBoot() - cachingStartTimeIntervalSinceBoot_;
        if (elapsed > 0) speed = static_cast<double>(cacheContentSize_) / elapsed;
    });
    return speed;
}

std::optional<core::Data> DZResourceCache::dataWithRange(std::uint64_t location,
                                                         std::uint64_t length, Error* error) const {
    std::optional<core::Data> data;
    lockQueue_->sync([&] {
        const auto cached =
            static_cast<std::uint64_t>(std::max<std::int64_t>(cacheContentSize_, 0));
        if (location >= cached || length == 0) return;
        // The cache's file is never a link: one put in its place (a page
        // naming the file) is not followed out of the cache folder.
        auto handle = filePath_ ? core::FileHandle::openForReadingWithoutFollowingLinks(*filePath_)
                                : core::FileResult<core::FileHandle>::failure(
                                      "cannot open '" + fileURL_.absoluteString() + "'");
        if (!handle) {
            if (error) *error = DZFileError(handle.error(), handle.errorNumber());
            return;
        }
        core::FileHandle file = std::move(handle).value();
        // Bytes past the cached size may be a chunk still being written.
        auto bytes = file.seek(location) ? file.read(std::min(length, cached - location))
                                         : core::FileResult<core::Data>::failure("seek");
        if (!bytes) {
            if (error) {
                *error = DZErrorWithCodeDescription(
                    kDZErrorInternalError,
                    core::format("Failed to read file %@", fileURL_.absoluteString()));
            }
            return;
        }
        data = std::move(bytes).value();
    });
    return data;
}

bool DZResourceCacheCanServeRange(const std::shared_ptr<DZResourceCache>& cache,
                                  std::int64_t startingOffset, std::int64_t wantedOffset,
                                  double maxWait) {
    if (!cache || wantedOffset < startingOffset || !cache->valid()) return false;
    std::int64_t cachedEnd = 0;
    if (__builtin_add_overflow(startingOffset, cache->cachedContentSize(), &cachedEnd))
        return false;
    if (cachedEnd > wantedOffset) return true;
    if (cache->completed() || !cache->started()) return false;
    const double speed = cache->networkSpeedInBytesPerSecond();
    if (speed <= 0) return true;
    // The bytes still to come up to and including the wanted one.
    std::int64_t missing = 0;
    if (__builtin_sub_overflow(wantedOffset, cachedEnd, &missing) ||
        __builtin_add_overflow(missing, 1, &missing)) {
        return false;
    }
    return static_cast<double>(missing) / speed <= maxWait;
}

}  // namespace ads
