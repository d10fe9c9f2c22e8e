#pragma once
// One load taken over by a URL protocol instead of the network. Its factory
// (URLProtocolFactory) makes it for a request; the loading layer then calls
// startLoading() and, once the load has ended for any reason (finished,
// failed, redirected or cancelled), stopLoading(), both on the loading
// thread's run loop. It reports through client(), which also tells the
// settings the load was made with (URLProtocolClient::sessionConfiguration).
//
// A protocol whose reader may fall behind is asked to pause
// (setReceivingPaused); one that loads from elsewhere passes that on, so
// that the source waits rather than the process's memory.

#include <memory>
#include <utility>

#include "core/URLProtocolClient.h"
#include "core/URLRequest.h"

namespace core {

class URLProtocol {
public:
    URLProtocol(URLRequest request, std::shared_ptr<URLProtocolClient> client)
        : request_(std::move(request)), client_(std::move(client)) {}
    virtual ~URLProtocol() = default;
    URLProtocol(const URLProtocol&) = delete;
    URLProtocol& operator=(const URLProtocol&) = delete;

    [[nodiscard]] const URLRequest& request() const { return request_; }
    [[nodiscard]] const std::shared_ptr<URLProtocolClient>& client() const { return client_; }

    virtual void startLoading() = 0;
    virtual void stopLoading() = 0;
    // Whether the load's reader wants more of the body now: while paused, a
    // protocol takes no more from its source (pieces already taken may
    // still be reported). The loading layer calls it on the loading thread's
    // run loop whenever the reader changes its mind, and may tell the same
    // state twice; before startLoading() when the load starts paused, never
    // after stopLoading(). Default: nothing, for a protocol whose answer
    // is at hand.
    virtual void setReceivingPaused(bool paused) { (void)paused; }

private:
    const URLRequest request_;
    const std::shared_ptr<URLProtocolClient> client_;
};

}  // namespace core
