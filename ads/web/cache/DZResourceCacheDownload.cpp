// DZResourceCache: the download, from start to its one end.

#include <algorithm>
#include <charconv>
#include <limits>

#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHTTPURLResponseAdditions.h"
#include "ads/foundation/DZNetworkErrors.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileHandle.h"
#include "core/FileManager.h"
#include "core/NotificationCenter.h"
#include "core/Regex.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

// Decimal digits as an int64; nullopt when they are out of its range.
std::optional<std::int64_t> int64Of(std::string_view digits) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// "bytes 100-199/1000" names a part of 100 bytes; nullopt without one, or
// when its length is beyond the int64 range.
std::optional<std::int64_t> contentRangeLength(const std::string& contentRange) {
    static const auto pattern =
        core::Regex::create(R"(bytes\s+(\d+)-(\d+))", core::RegexOptions{.caseInsensitive = true});
    const auto match = pattern ? pattern->firstMatch(contentRange) : std::nullopt;
    if (!match || !match->groups[1] || !match->groups[2]) return std::nullopt;
    const auto first = int64Of(match->text(1));
    const auto last = int64Of(match->text(2));
    if (!first || !last || *last < *first) return std::nullopt;
    // Both are at least 0, so only the 1 added can overflow.
    const std::int64_t span = *last - *first;
    if (span == std::numeric_limits<std::int64_t>::max()) return std::nullopt;
    return span + 1;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

// Hands the connection's calls, which arrive on the main thread, to the
// cache's queue, where those of a connection that is no longer current (a
// late call after an end or a cancel) are dropped.
class DZResourceCache::ConnectionDelegate final : public core::URLConnectionDelegate {
public:
    explicit ConnectionDelegate(std::weak_ptr<DZResourceCache> cache) : cache_(std::move(cache)) {}

    std::optional<core::URLRequest>
    willSendRequest(core::URLConnection& connection, core::URLRequest newRequest,
                    const core::HTTPURLResponse& redirectResponse) override {
        forward(connection, [redirectResponse](DZResourceCache& cache) {
            cache.mergeHeaders(redirectResponse);
        });
        return newRequest;
    }
    void didReceiveResponse(core::URLConnection& connection,
                            const core::HTTPURLResponse& response) override {
        forward(connection,
                [response](DZResourceCache& cache) { cache.didReceiveResponse(response); });
    }
    void didReceiveData(core::URLConnection& connection, const core::Data& data) override {
        forward(connection, [data](DZResourceCache& cache) { cache.appendData(data); });
    }
    void didFinishLoading(core::URLConnection& connection) override {
        forward(connection,
                [](DZResourceCache& cache) { cache.cachingDidCompleteWithError(std::nullopt); });
    }
    void didFailWithError(core::URLConnection& connection,
                          const core::NetworkError& error) override {
        forward(connection, [error = DZErrorFromNetworkError(error)](DZResourceCache& cache) {
            cache.cachingDidCompleteWithError(error);
        });
    }

private:
    void forward(core::URLConnection& connection, std::function<void(DZResourceCache&)> step) {
        const auto cache = cache_.lock();
        if (!cache) return;
        cache->lockQueue_->async(
            [cache, from = connection.shared_from_this(), step = std::move(step)] {
                if (cache->isCurrent(from.get())) step(*cache);
            });
    }

    const std::weak_ptr<DZResourceCache> cache_;
};

void DZResourceCache::start() {
    lockQueue_->async([self = shared_from_this()] { self->startOnQueue(); });
}

void DZResourceCache::cancelWithError(std::optional<Error> error) {
    lockQueue_->async([self = shared_from_this(), error = std::move(error)] {
        self->cachingDidCompleteWithError(error);
    });
}

void DZResourceCache::startOnQueue() {
    if (started_) return;
    connectionDelegate_ = std::make_shared<ConnectionDelegate>(weak_from_this());
    // The cache keeps to its own bounds; the connection's stop a download
    // for which no maxBytes was set.
    const std::int64_t limit =
        maxBytes_ < 0 ? kDefaultMaxBytes : std::numeric_limits<std::int64_t>::max();
    connection_ = core::URLConnection::create(request_, connectionDelegate_,
                                              DZDownloadSessionConfiguration(limit));
    // The body goes to the file chunk by chunk, never into memory.
    connection_->setOffersResponseToCache(false);
    started_ = true;
    const auto written =
        filePath_ ? core::FileManager::writeAtomically(*filePath_, std::string_view())
                  : core::FileResult<>::failure("cannot write '" + fileURL_.absoluteString() + "'");
    if (!written) {
        cachingDidCompleteWithError(DZFileError(written.error(), written.errorNumber()));
        return;
    }
    cachingStartTimeIntervalSinceBoot_ = DZSecondsSinceBoot();
    notifyDelegate([](DZResourceCacheDelegate& delegate, const auto& cache) {
        delegate.resourceCacheDidStartCaching(cache);
    });
    connection_->scheduleInRunLoop(core::RunLoop::main());
    connection_->start();
}

void DZResourceCache::mergeHeaders(const core::HTTPURLResponse& response) {
    for (const auto& [name, value] : dz_allHeaderFields(response)) {
        for (const std::string& known : responseHeaders_.keys()) {
            if (core::HTTPHeaders::sameName(known, name)) responseHeaders_.remove(known);
        }
        responseHeaders_.set(name, value);
    }
}

void DZResourceCache::addHeaders(const core::HTTPURLResponse& response) {
    if (response.headers().empty()) return;
    mergeHeaders(response);
    responseHeadersReceived_ = true;
    if (!contentType_) contentType_ = response.value("Content-Type");
    if (contentLength_ != 0) return;
    if (const auto length = response.value("Content-Length")) {
        // A negative length is no length: unknown.
        contentLength_ = std::max<std::int64_t>(core::Value(*length).intValue(), 0);
    } else if (const auto range = response.value("Content-Range")) {
        contentLength_ = contentRangeLength(*range).value_or(0);
    }
}

void DZResourceCache::didReceiveResponse(const core::HTTPURLResponse& response) {
    addHeaders(response);
    if (response.statusCode() >= 400) {
        cachingDidCompleteWithError(DZErrorWithCodeStatusDescription(
            kDZErrorNetworkError, response.statusCode(), "Invalid response received."));
        return;
    }
    const bool bodiless = response.statusCode() == 204 || response.statusCode() == 304;
    if (auto refusal = bodiless ? std::nullopt : refusalOfContentLength()) {
        cachingDidCompleteWithError(std::move(*refusal));
        return;
    }
    notifyDelegate(
        [](DZResourceCacheDelegate& delegate, const auto& cache) {
            delegate.resourceCacheDidReceiveResponse(cache);
        },
        true);
}

Error DZResourceCache::tooLargeError(const std::string& what) const {
    const std::string url = request_.url().absoluteString();
    return DZErrorFromNetworkError(core::NetworkError::make(
        core::NetworkError::Code::dataLengthExceedsMaximum, url,
        core::format(
            "The resource of %@ is too large for the cache: %@, over its limit of %lld bytes", url,
            what, static_cast<long long>(kDefaultMaxBytes))));
}

std::optional<Error> DZResourceCache::refusalOfContentLength() const {
    if (contentLength_ <= 0) return std::nullopt;
    if (maxBytes_ < 0 && contentLength_ > kDefaultMaxBytes) {
        return tooLargeError(
            core::format("its length is %lld bytes", static_cast<long long>(contentLength_)));
    }
    const std::int64_t written =
        maxBytes_ < 0 ? contentLength_ : std::min(contentLength_, maxBytes_);
    const auto space = filePath_ ? core::FileManager::volumeSpace(folderOf(*filePath_))
                                 : core::FileResult<core::VolumeSpace>::failure("no path");
    if (!space) return std::nullopt;
    const auto free = static_cast<std::int64_t>(
        std::min<std::uint64_t>(space.value().freeBytes, std::numeric_limits<std::int64_t>::max()));
    if (written <= free - kFreeSpaceMargin) return std::nullopt;
    return DZErrorWithCodeDescription(
        kDZErrorInternalError,
        core::format("Not enough free space to cache %lld bytes in %@: %lld bytes are free",
                     static_cast<long long>(written), fileURL_.absoluteString(),
                     static_cast<long long>(free)));
}

void DZResourceCache::appendData(const core::Data& data) {
    if (data.empty()) return;
    const auto size = static_cast<std::int64_t>(data.size());
    if (maxBytes_ < 0 && size > kDefaultMaxBytes - cacheContentSize_) {
        cachingDidCompleteWithError(tooLargeError(
            core::format("its body passed %lld bytes", static_cast<long long>(kDefaultMaxBytes))));
        return;
    }
    auto handle = filePath_ ? core::FileHandle::openForWriting(*filePath_)
                            : core::FileResult<core::FileHandle>::failure("no path");
    if (!handle) {
        cachingDidCompleteWithError(DZErrorWithCodeDescription(
            kDZErrorInternalError,
            core::format("Failed to get file handle for writing data to file %@",
                         fileURL_.absoluteString())));
        return;
    }
    core::FileHandle file = std::move(handle).value();
    if (!file.seekToEnd() || !file.write(data)) {
        cachingDidCompleteWithError(DZErrorWithCodeDescription(
            kDZErrorInternalError,
            core::format("Exception when writing data to file %@", fileURL_.absoluteString())));
        return;
    }
    cacheContentSize_ += size;
    notifyDelegate([](DZResourceCacheDelegate& delegate,
                      const auto& cache) { delegate.resourceCacheDidReceiveData(cache); },
                   true);
    if (maxBytes_ >= 0 && cacheContentSize_ >= maxBytes_) cachingDidCompleteWithError(std::nullopt);
}

void DZResourceCache::cachingDidCompleteWithError(std::optional<Error> error) {
    if (!connection_) return;
    completed_ = true;
    valid_ = !error;
    std::exchange(connection_, nullptr)->cancel();
    if (!error) {
        notifyDelegate(
            [](DZResourceCacheDelegate& delegate, const auto& cache) {
                delegate.resourceCacheDidSucceedCaching(cache);
            },
            true);
        return;
    }
    if (filePath_) (void)core::FileManager::removeItem(*filePath_);
    notifyDelegate(
        [error = *error](DZResourceCacheDelegate& delegate, const auto& cache) {
            delegate.resourceCacheDidFailCachingWithError(cache, error);
        },
        true);
}

void DZResourceCache::notifyDelegate(DelegateCall call, bool postUpdate) {
    core::Queue::main()->async([self = shared_from_this(), call = std::move(call), postUpdate] {
        if (const auto delegate = self->delegate()) call(*delegate, self);
        if (postUpdate) {
            core::NotificationCenter::defaultCenter().post(
                std::string(kDZResourceCacheDidUpdateCacheNotification), self.get());
        }
    });
}

}  // namespace ads
