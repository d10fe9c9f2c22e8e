#include "core/HostRoutes.h"

#include "core/ASCII.h"

namespace core {

namespace {

struct Table {
    std::mutex mutex;
    std::vector<HostRoutes::Route> routes;
};

Table& table() {
    static auto* const shared = new Table;
    return *shared;
}

bool validPort(int port) {
    return port > 0 && port < 65536;
}

}  // namespace

bool HostRoutes::add(std::string_view host, int port, std::string_view toHost, int toPort) {
    if (host.empty() || host.find(':') != std::string_view::npos || toHost.empty() ||
        !validPort(port) || !validPort(toPort))
        return false;
    Route route{asciiLowercased(host), port, std::string(toHost), toPort};
    Table& shared = table();
    std::lock_guard lock(shared.mutex);
    std::erase_if(shared.routes,
                  [&](const Route& r) { return r.host == route.host && r.port == route.port; });
    shared.routes.push_back(std::move(route));
    return true;
}

void HostRoutes::remove(std::string_view host, int port) {
    const std::string name = asciiLowercased(host);
    Table& shared = table();
    std::lock_guard lock(shared.mutex);
    std::erase_if(shared.routes, [&](const Route& r) { return r.host == name && r.port == port; });
}

std::vector<HostRoutes::Route> HostRoutes::all() {
    Table& shared = table();
    std::lock_guard lock(shared.mutex);
    return shared.routes;
}

std::optional<HostRoutes::Route> HostRoutes::find(std::string_view host, int port) {
    const std::string name = asciiLowercased(host);
    Table& shared = table();
    std::lock_guard lock(shared.mutex);
    for (const Route& route : shared.routes)
        if (route.host == name && route.port == port) return route;
    return std::nullopt;
}

std::string HostRoutes::connectToEntry(const Route& route) {
    const bool literal = route.toHost.find(':') != std::string::npos;
    return route.host + ":" + std::to_string(route.port) + ":" + (literal ? "[" : "") +
           route.toHost + (literal ? "]" : "") + ":" + std::to_string(route.toPort);
}

}  // namespace core
