#include "ads/web/intercept/DZHostAddressResolution.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <mutex>

#include "core/ProcessExit.h"
#include "core/ThreadPool.h"

namespace ads {

namespace {

// The room inet_ntop needs for the longest IPv6 text and its NUL.
constexpr size_t kAddressTextBytes = 46;

struct ResolverState {
    std::mutex mutex;
    DZHostResolver resolver;
};

ResolverState& resolverState() {
    static auto* state = new ResolverState;  // outlives look-ups still running at exit
    return *state;
}

core::ThreadPool& resolutionPool() {
    static auto* pool = [] {
        auto* made = new core::ThreadPool(kDZHostResolutionWorkers, 1);
        // No look-up starts once the process begins to exit; one that is
        // blocked in the resolver finishes on its own, and touches only
        // what its job owns and this pool, which is never destroyed.
        core::ProcessExit::atStart([made] { made->quiesce(std::chrono::milliseconds(0)); });
        return made;
    }();
    return *pool;
}

std::optional<std::string> addressText(const sockaddr* address) {
    char text[kAddressTextBytes] = {};
    const void* field = nullptr;
    switch (address->sa_family) {
    case AF_INET:
        field = &reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
        break;
    case AF_INET6:
        field = &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        break;
    default:
        return std::nullopt;
    }
    if (!inet_ntop(address->sa_family, field, text, sizeof text)) return std::nullopt;
    return std::string(text);
}

}  // namespace

std::optional<std::string> DZResolveHostAddress(const std::string& host) {
    if (host.empty()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &results) != 0) return std::nullopt;
    std::optional<std::string> found;
    for (const addrinfo* entry = results; entry && !found; entry = entry->ai_next) {
        if (entry->ai_addr) found = addressText(entry->ai_addr);
    }
    freeaddrinfo(results);
    return found;
}

DZHostResolver DZCurrentHostResolver() {
    ResolverState& state = resolverState();
    std::lock_guard lock(state.mutex);
    return state.resolver ? state.resolver : DZHostResolver(DZResolveHostAddress);
}

void DZSetHostResolver(DZHostResolver resolver) {
    ResolverState& state = resolverState();
    std::lock_guard lock(state.mutex);
    state.resolver = std::move(resolver);
}

std::shared_ptr<core::Queue> DZCreateHostResolutionQueue(std::string label) {
    return core::Queue::serial(std::move(label), resolutionPool(), core::Queue::Priority::Utility);
}

}  // namespace ads
