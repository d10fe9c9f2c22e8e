#pragma once
// One HTTP load at a time for the ad fetcher: starts a platform URL
// connection on the main run loop, lets the delegate veto or watch each
// redirect, gathers the body and hands it over as text with the URL the load
// ended at (the ad's base URL). A final status of 400 or more fails the load
// with that status; its body is never delivered or cached. Loads have the
// SDK's limits (DZURLSessionConfiguration): a deadline and a size limit.
//
// A memory cache shared by every connection keeps up to 25 responses, each
// until its own expiry: once the delegate has accepted the cache for a
// response (loadShouldUseCacheForResponse), later starts of the same
// connection are answered from it, and so is the load in progress when an
// entry appears meanwhile. An entry is keyed by the MD5 bytes of its URL, or
// of host, path and "slotname" value when the URL has that parameter, so ad
// URLs of one slot that differ in other parameters share an entry.
//
// Threading: the main thread only; the memory cache is safe from any thread.
// Make it with make_shared: it keeps itself alive through each delegate call.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZError.h"
#include "ads/web/net/DZCachedURLResponse.h"
#include "ads/web/net/DZURLConnectionDelegate.h"
#include "core/Cache.h"
#include "core/URLConnection.h"

namespace ads {

class DZURLConnection : public core::URLConnectionDelegate,
                        public std::enable_shared_from_this<DZURLConnection> {
public:
    using MemoryCache = core::Cache<core::Data, std::shared_ptr<const DZCachedURLResponse>>;

    static constexpr size_t kMemoryCacheCountLimit = 25;

    DZURLConnection() = default;
    DZURLConnection(const DZURLConnection&) = delete;
    DZURLConnection& operator=(const DZURLConnection&) = delete;
    ~DZURLConnection() override;

    // False only while a load is in progress: error (when given) then gets
    // SDK error 2 naming the running URL and nothing changes. A start that
    // the cache answers calls the delegate before it returns.
    [[nodiscard]] bool startWithRequestURL(const core::URLRequest& request,
                                           std::weak_ptr<DZURLConnectionDelegate> delegate,
                                           Error* error);
    // Cancels the load and forgets it; keeps the delegate and allowCache.
    void stop();
    // Forgets the delegate, then stop(): no callback follows.
    void cancel();

    [[nodiscard]] bool isInProgress() const { return isInProgress_; }
    [[nodiscard]] bool allowCache() const { return allowCache_; }
    [[nodiscard]] const std::optional<core::URL>& sourceURL() const { return sourceURL_; }
    [[nodiscard]] const std::optional<core::URL>& destinationURL() const { return destinationURL_; }
    [[nodiscard]] const std::optional<core::HTTPURLResponse>& response() const { return response_; }

    // DZURLConnectionCache.cpp
    static MemoryCache& memoryCache();
    static void clearCache();
    [[nodiscard]] static core::Data cacheKeyForURL(const core::URL& url);
    // "VuRaz" in the caches folder.
    [[nodiscard]] static std::string defaultCachePath();
    // The entry for url while it is valid; an expired entry is removed.
    [[nodiscard]] std::shared_ptr<const DZCachedURLResponse>
    cachedResponseForURL(const core::URL& url) const;
    // Stores the finished load under sourceURL when its response has an
    // expiry in the future; whether it stored.
    bool tryToStoreResponseAndData();

    // The platform connection's calls.
    std::optional<core::URLRequest>
    willSendRequest(core::URLConnection& connection, core::URLRequest newRequest,
                    const core::HTTPURLResponse& redirectResponse) override;
    void didReceiveResponse(core::URLConnection& connection,
                            const core::HTTPURLResponse& response) override;
    void didReceiveData(core::URLConnection& connection, const core::Data& data) override;
    std::optional<core::CachedURLResponse>
    willCacheResponse(core::URLConnection& connection, core::CachedURLResponse proposed) override;
    void didFinishLoading(core::URLConnection& connection) override;
    void didFailWithError(core::URLConnection& connection,
                          const core::NetworkError& error) override;

private:
    // Hands the entry to the delegate as the load's outcome.
    void deliverCached(const DZCachedURLResponse& entry);
    void failWithStatus(int status);
    [[nodiscard]] bool isCurrent(const core::URLConnection& connection) const {
        return connection_.get() == &connection;
    }

    bool isInProgress_ = false;
    bool allowCache_ = false;
    std::optional<core::URL> sourceURL_;
    std::optional<core::URL> destinationURL_;
    std::weak_ptr<DZURLConnectionDelegate> delegate_;
    std::shared_ptr<core::URLConnection> connection_;
    std::optional<core::HTTPURLResponse> response_;
    core::Data receivedData_;
};

}  // namespace ads
