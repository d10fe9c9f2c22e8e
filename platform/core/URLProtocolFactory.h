#pragma once
// Makes the URL protocol instances of one kind and decides which requests
// they take. Registered once with URLProtocolRegistry. canInit and
// canonicalRequest may be called on any thread, at the same time.

#include <memory>
#include <string>

#include "core/URLProtocol.h"

namespace core {

class URLProtocolFactory {
public:
    virtual ~URLProtocolFactory() = default;

    // A request carrying this property is never offered to this factory:
    // the protocol marks the requests it sends itself with it. Empty: none.
    [[nodiscard]] virtual std::string ownPropertyKey() const { return {}; }
    // Whether a protocol of this kind takes the load; request is a copy.
    [[nodiscard]] virtual bool canInit(const URLRequest& request) const = 0;
    // The request the protocol is made with. Default: unchanged.
    [[nodiscard]] virtual URLRequest canonicalRequest(const URLRequest& request) const {
        return request;
    }
    [[nodiscard]] virtual std::shared_ptr<URLProtocol>
    make(URLRequest request, std::shared_ptr<URLProtocolClient> client) const = 0;
};

}  // namespace core
