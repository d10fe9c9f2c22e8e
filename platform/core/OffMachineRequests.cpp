#include "core/OffMachineRequests.h"

#include <arpa/inet.h>

#include <mutex>

#include "core/ASCII.h"
#include "core/Console.h"
#include "core/HostRoutes.h"

namespace core {

namespace {

struct State {
    std::mutex mutex;
    bool watching = false;
    OffMachineRequests::Observer observer;
    std::map<std::string, size_t> hosts;
};

State& state() {
    static auto* const shared = new State;
    return *shared;
}

// A loopback address, or a name that only ever means this machine.
bool isLoopback(std::string_view text) {
    const std::string host = asciiLowercased(text);
    if (host == "localhost" || host.ends_with(".localhost") || host == "localhost.") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
        // ::ffff:127.x.y.z
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

int defaultPort(const URL& url) {
    if (url.port()) return *url.port();
    return url.hasScheme("https") ? 443 : 80;
}

}  // namespace

void OffMachineRequests::watch(Observer firstToHost) {
    State& shared = state();
    std::lock_guard lock(shared.mutex);
    shared.watching = true;
    shared.observer = std::move(firstToHost);
    shared.hosts.clear();
}

void OffMachineRequests::stopWatching() {
    State& shared = state();
    std::lock_guard lock(shared.mutex);
    shared.watching = false;
    shared.observer = nullptr;
}

bool OffMachineRequests::watching() {
    State& shared = state();
    std::lock_guard lock(shared.mutex);
    return shared.watching;
}

bool OffMachineRequests::isOnThisMachine(std::string_view host, int port) {
    if (isLoopback(host)) return true;
    const auto route = HostRoutes::find(host, port);
    return route && isLoopback(route->toHost);
}

void OffMachineRequests::note(const URL& url) {
    State& shared = state();
    {
        std::lock_guard lock(shared.mutex);
        if (!shared.watching) return;
    }
    if (isOnThisMachine(url.host(), defaultPort(url))) return;
    const std::string host =
        url.host().empty() ? url.absoluteString() : asciiLowercased(url.host());
    Observer observer;
    {
        std::lock_guard lock(shared.mutex);
        if (!shared.watching) return;
        if (shared.hosts[host]++ > 0) return;
        observer = shared.observer;
    }
    Console::log("OffMachineRequests: a request left this machine for " + host + " (" +
                 url.absoluteString() + ")");
    if (observer) observer(host);
}

std::map<std::string, size_t> OffMachineRequests::hosts() {
    State& shared = state();
    std::lock_guard lock(shared.mutex);
    return shared.hosts;
}

size_t OffMachineRequests::count() {
    State& shared = state();
    std::lock_guard lock(shared.mutex);
    size_t total = 0;
    for (const auto& [host, requests] : shared.hosts) total += requests;
    return total;
}

}  // namespace core
