// DZResourceCache: the download, from start to its one end.

#include <algorithm>

#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHTTPURLResponseAdditions.h"
#include "ads/foundation/DZNetworkErrors.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileHandle.h"
#include "core/FileManager.h"
#include "core/NotificationCenter.h"
#include "core/Regex.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

// "bytes 100-199/1000" names a part of 100 bytes; nullopt without one.
std::optional<std::int64_t> contentRangeLength(const std::string& contentRange) {
    static const auto pattern =
        core::Regex::create(R"(bytes\s+(\d+)-(\d+))", core::RegexOptions{.caseInsensitive = true});
    const auto match = pattern ? pattern->firstMatch(contentRange) : std::nullopt;
    if (!match || !match->groups[1] || !match->groups[2]) return std::nullopt;
    const std::int64_t first = core::Value(match->text(1)).intValue();
    const std::int64_t last = core::Value(match->text(2)).intValue();
    if (last < first) return std::nullopt;
    return last - first + 1;
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

void DZResourceCache::cancelWithError(Error error) {
    lockQueue_->async([self = shared_from_this(), error = std::move(error)] {
        self->cachingDidCompleteWithError(error);
    });
}

void DZResourceCache::startOnQueue() {
    if (started_) return;
    connectionDelegate_ = std::make_shared<ConnectionDelegate>(weak_from_this());
    connection_ = core::URLConnection::create(request_, connectionDelegate_);
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
    notifyDelegate([](DZResourceCacheDelegate& delegate, const auto& cache) {
        delegate.resourceCacheDidReceiveResponse(cache);
    });
}

void DZResourceCache::appendData(const core::Data& data) {
    if (data.empty()) return;
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
    cacheContentSize_ += static_cast<std::int64_t>(data.size());
    notifyDelegate([](DZResourceCacheDelegate& delegate,
                      const auto& cache) { delegate.resourceCacheDidReceiveData(cache); },
                   true);
    if (maxBytes_ != -1 && cacheContentSize_ >= maxBytes_)
        cachingDidCompleteWithError(std::nullopt);
}

void DZResourceCache::cachingDidCompleteWithError(std::optional<Error> error) {
    if (!connection_) return;
    completed_ = true;
    valid_ = !error;
    std::exchange(connection_, nullptr)->cancel();
    if (!error) {
        notifyDelegate([](DZResourceCacheDelegate& delegate, const auto& cache) {
            delegate.resourceCacheDidSucceedCaching(cache);
        });
        return;
    }
    if (filePath_) (void)core::FileManager::removeItem(*filePath_);
    notifyDelegate([error = *error](DZResourceCacheDelegate& delegate, const auto& cache) {
        delegate.resourceCacheDidFailCachingWithError(cache, error);
    });
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
