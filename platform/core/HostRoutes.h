#pragma once
// Where the URL layer connects for a host and port that must not be looked
// up: a process-wide table of routes, each sending the connections for one
// "host:port" to another address. The local services of the embedded
// default listen on ports the system picks, yet hand out URLs under names
// that stay the same from run to run; the routes join the two. A routed
// request keeps its URL: its Host header, the TLS server name and the
// certificate check all use the named host.
//
// Thread-safe. Requests already connected keep their connection.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

class HostRoutes {
public:
    struct Route {
        std::string host;  // lower case, as URLs name it
        int port = 0;
        std::string toHost;  // an address or a name
        int toPort = 0;
        friend bool operator==(const Route&, const Route&) = default;
    };

    // Replaces any route of the same host and port. False, adding nothing,
    // for an empty host, a host with ':' (IP literals are never routed) or
    // a port outside 1-65535.
    static bool add(std::string_view host, int port, std::string_view toHost, int toPort);
    static void remove(std::string_view host, int port);
    [[nodiscard]] static std::vector<Route> all();
    // The route of a host (compared without case) and port.
    [[nodiscard]] static std::optional<Route> find(std::string_view host, int port);

    // "host:port:toHost:toPort", the form libcurl's connect-to list takes.
    [[nodiscard]] static std::string connectToEntry(const Route& route);
};

}  // namespace core
