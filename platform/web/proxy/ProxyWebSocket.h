#pragma once
// A WebSocket upgrade the engine sent the proxy, passed through: a
// connection to the origin (through core::HostRoutes when the host has a
// route; TLS for https, its certificate checked against the system's
// authorities and TrustedAuthorities), the request head written as received
// but for the page mark and the proxy's fields, then the client's
// connection, taken from libsoup, spliced to the origin's until either side
// closes. The origin's answer, the 101 with it, travels the splice. A
// failure before the splice is answered as ProxyExchange answers one.
//
// The proxy's thread. A pass keeps itself alive until the splice ends.

#include <gio/gio.h>
#include <libsoup/soup.h>

#include "web/proxy/ProxyServer.h"

namespace web::proxy {

class WebSocketPass {
public:
    // Seconds to connect to the origin, TLS and the request head included,
    // on the clock.
    static constexpr unsigned kConnectSeconds = 30;

    static void start(const Server& server, SoupServerMessage* message, const Target& target);

private:
    struct Pass;
};

}  // namespace web::proxy
