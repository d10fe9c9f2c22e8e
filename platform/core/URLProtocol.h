#pragma once
// One load taken over by a URL protocol instead of the network. Its factory
// (URLProtocolFactory) makes it for a request; the loading layer then calls
// startLoading() and, once the load has ended for any reason (finished,
// failed, redirected or cancelled), stopLoading(), both on the loading
// thread's run loop. It reports through client().

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

private:
    const URLRequest request_;
    const std::shared_ptr<URLProtocolClient> client_;
};

}  // namespace core
