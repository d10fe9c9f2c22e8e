#pragma once
// What a URL protocol reports about the one load it serves, in this order:
// any redirects, the response, its body in pieces, then finish or fail. The
// loading layer gives each load its own client. Reports may come from any
// thread; the layer delivers them on the loading thread in the order made,
// and ignores those that come after finish, fail or stopLoading().
//
// The client also tells what the load was made with (sessionConfiguration),
// from any thread.

#include "core/CachedURLResponse.h"
#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/URLRequest.h"
#include "core/URLSessionConfiguration.h"
#include "core/Value.h"

namespace core {

class URLProtocolClient {
public:
    virtual ~URLProtocolClient() = default;

    // The load continues as request: the layer stops this protocol and
    // offers request to the protocols afresh.
    virtual void wasRedirectedToRequest(URLRequest request, HTTPURLResponse redirectResponse) = 0;
    virtual void didReceiveResponse(HTTPURLResponse response,
                                    CachedURLResponse::StoragePolicy storagePolicy) = 0;
    virtual void didLoadData(Data data) = 0;
    virtual void didFinishLoading() = 0;
    virtual void didFailWithError(NetworkError error) = 0;

    // The settings of the load this protocol serves: those the loading layer
    // would have loaded it with (a URLConnection's configuration). A protocol
    // that loads the request again, through a connection or session of its
    // own, makes it with these, so that taking a load over changes none of
    // its bounds, time-outs, trusted authorities or refused ports. Default:
    // the URL session's defaults.
    [[nodiscard]] virtual URLSessionConfiguration sessionConfiguration() const { return {}; }
};

}  // namespace core
