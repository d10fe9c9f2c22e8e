#pragma once
// What a DZURLConnection tells its delegate, on the main thread. Each call
// passes the connection first. A load ends with exactly one of: finish (from
// the network or the cache) or fail.

#include <optional>
#include <string>

#include "ads/core/request/DZError.h"
#include "ads/web/net/DZURLConnectionRedirect.h"
#include "core/HTTPURLResponse.h"
#include "core/URL.h"

namespace ads {

class DZURLConnection;

class DZURLConnectionDelegate {
public:
    virtual ~DZURLConnectionDelegate() = default;

    // A redirect to url is about to be followed: an error vetoes it (the
    // load then fails with that error), nullopt allows it.
    virtual std::optional<Error> shouldRedirectToURL(DZURLConnection& connection,
                                                     const core::URL& url) = 0;
    // Every redirect, after the veto question, vetoed ones too.
    virtual void willPerformRedirect(DZURLConnection& connection,
                                     const DZURLConnectionRedirect& redirect) = 0;
    // A response arrived: true lets the connection use its memory cache.
    virtual bool loadShouldUseCacheForResponse(DZURLConnection& connection,
                                               const core::HTTPURLResponse& response) = 0;
    // A cached entry answers the load; loadDidFinish follows.
    virtual void loadDidReceiveCachedResponse(DZURLConnection& connection,
                                              const core::HTTPURLResponse& response) = 0;
    // The body as UTF-8 text (nullopt when it is not valid UTF-8) and the
    // final URL of the load, the ad's base URL.
    virtual void loadDidFinish(DZURLConnection& connection, const std::optional<std::string>& text,
                               const std::optional<core::URL>& baseURL) = 0;
    // The load failed or was vetoed; the HTTP status, or -1 without one.
    virtual void loadDidFail(DZURLConnection& connection, const std::optional<Error>& error,
                             int httpStatusCode) = 0;
};

}  // namespace ads
