#pragma once
// Turns a gcache URL into a resource cache over the SDK core page's copy of
// the resource: asks the page ("DUZO_GCache") where the file lies and wraps
// it, or shares the cache that already downloads it for the page. The page
// is reached through a DZGCacheSDKCore.
//
// The page's word is not trusted with the file system: a reply whose
// "fileurl" does not name an existing file inside the SDK cache folder
// (after resolving escapes, ".." and symbolic links) fails the load.
//
// Threading: call from any thread; completions run on the main thread,
// except the scheme error, which is reported at once on the caller's.

#include <functional>
#include <memory>
#include <optional>

#include "ads/core/request/DZError.h"
#include "ads/web/cache/DZGCacheSDKCore.h"
#include "core/URL.h"

namespace ads {

class DZResourceCache;

class DZGCacheURLLoader {
public:
    using LoadCompletion = std::function<void(
        const core::URL& url, std::shared_ptr<DZResourceCache> cache, std::optional<Error> error)>;

    // The SDK core that loaders made without one use, read at each request:
    // the shared core controller's page (DZGCacheCoreBridge) unless another
    // is set.
    static void setSharedSDKCore(std::shared_ptr<DZGCacheSDKCore> sdkCore);

    DZGCacheURLLoader() = default;
    explicit DZGCacheURLLoader(std::shared_ptr<DZGCacheSDKCore> sdkCore)
        : core_(std::move(sdkCore)) {}

    // A cache over the page's file for the URL, or an SDK error 11: "Provided
    // URL %@ isn't a valid gcache URL." for another scheme, "Failed to load
    // gcache URL %@" for a reply without a usable file; the page's own error
    // as it comes. Without a completion nothing happens.
    void loadGCacheURL(const core::URL& url, LoadCompletion completion) const;
    // Lets the page fetch the resource into its cache; the reply is dropped.
    void prefetchGCacheURL(const core::URL& url) const;
    // Sends "DUZO_GCache" with {"gcache_url", "environment": the disk space
    // facts or {}}; completion (may be empty) gets the page's reply.
    void requestGCacheURLLoad(const core::URL& url,
                              DZGCacheSDKCore::CommandCompletion completion) const;

private:
    [[nodiscard]] std::shared_ptr<DZGCacheSDKCore> core() const;
    [[nodiscard]] static std::shared_ptr<DZResourceCache>
    cacheForReply(const std::shared_ptr<DZGCacheSDKCore>& sdkCore, const core::URL& url,
                  const core::Dictionary& reply);

    std::shared_ptr<DZGCacheSDKCore> core_;
};

}  // namespace ads
