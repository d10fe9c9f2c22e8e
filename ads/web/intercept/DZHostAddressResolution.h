#pragma once
// Host-address look-ups for the resources an ad page loads: the text form of
// the first address a host name resolves to. The system resolver asks
// getaddrinfo and writes the address with inet_ntop; tests install one of
// their own, so that no test depends on DNS. A look-up may block for
// seconds, so look-ups run on serial queues over a pool of
// kDZHostResolutionWorkers threads of their own and never hold the shared
// pool's workers.
//
// Every function is safe from any thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/Queue.h"

namespace ads {

inline constexpr size_t kDZHostResolutionWorkers = 4;

// The address text ("93.184.216.34", "2001:db8::1"), or none when the name
// does not resolve.
using DZHostResolver = std::function<std::optional<std::string>(const std::string& host)>;

// getaddrinfo for every address family; the first address that inet_ntop
// can write. None for an empty name.
[[nodiscard]] std::optional<std::string> DZResolveHostAddress(const std::string& host);

// The resolver that new look-ups use.
[[nodiscard]] DZHostResolver DZCurrentHostResolver();
// An empty function brings back DZResolveHostAddress.
void DZSetHostResolver(DZHostResolver resolver);

// A new serial queue on the look-up pool.
[[nodiscard]] std::shared_ptr<core::Queue> DZCreateHostResolutionQueue(std::string label);

}  // namespace ads
