#pragma once
// The URL protocols of the process. Every request that a URLConnection
// loads, and every redirect it follows, is offered here first: the newest
// registered factory that takes a request serves it instead of the network.
//
// Every member is safe from any thread. The factories' canInit runs without
// the registry's lock held.

#include <memory>
#include <mutex>
#include <vector>

#include "core/URLProtocolFactory.h"

namespace core {

class URLProtocolRegistry {
public:
    static URLProtocolRegistry& shared();

    // False, changing nothing, when the factory is registered already.
    bool registerFactory(std::shared_ptr<URLProtocolFactory> factory);
    void unregisterFactory(const std::shared_ptr<URLProtocolFactory>& factory);

    // The newest factory whose canInit takes a copy of request and whose own
    // property the request does not carry; nullptr when none does.
    [[nodiscard]] std::shared_ptr<URLProtocolFactory>
    factoryForRequest(const URLRequest& request) const;

private:
    URLProtocolRegistry() = default;

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<URLProtocolFactory>> factories_;  // oldest first
};

}  // namespace core
