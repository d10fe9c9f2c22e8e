#pragma once
// What a URLConnection tells its delegate, on the connection's run loop, in
// this order: a redirect question for each redirect, the response, the body
// in pieces, then either the cache question and finish, or fail. Every
// method has a default that does what the connection does without a
// delegate.

#include <optional>

#include "core/CachedURLResponse.h"
#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace core {

class URLConnection;

class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate() = default;

    // A redirect to newRequest is about to be followed. Answer it, another
    // request, or nullopt to stop at the redirect response, which then ends
    // the load as its final response. Default: newRequest.
    virtual std::optional<URLRequest> willSendRequest(URLConnection& connection,
                                                      URLRequest newRequest,
                                                      const HTTPURLResponse& redirectResponse);
    // The final response, whatever its status. A new response restarts the
    // body.
    virtual void didReceiveResponse(URLConnection& connection, const HTTPURLResponse& response);
    virtual void didReceiveData(URLConnection& connection, const Data& data);
    // Before finish, when the response may be stored: what a cache should
    // keep (the proposed response, another, or nullopt for nothing). The
    // process keeps no HTTP cache of its own, so only the delegate acts on
    // the answer. Default: proposed.
    virtual std::optional<CachedURLResponse> willCacheResponse(URLConnection& connection,
                                                               CachedURLResponse proposed);
    virtual void didFinishLoading(URLConnection& connection);
    virtual void didFailWithError(URLConnection& connection, const NetworkError& error);
};

}  // namespace core
