#pragma once
// A WebSocket upgrade the engine sent the proxy, passed through: the
// origin's host looked up (through core::HostRoutes when it has a route) and
// refused when an address it names is the proxy's own (a loopback or
// unspecified address at the proxy's ports), a connection to its addresses
// in turn (TLS for https, the certificate checked against the system's
// authorities and TrustedAuthorities for the named host), the request head
// written as received but for the page mark and the proxy's fields, and
// with the proxy's hop mark; then the client's connection, taken from
// libsoup, relayed to the origin's both ways until either side closes, or
// until no byte went either way for kIdleSeconds. The origin's answer, the
// 101 with it, travels the relay. A failure before the relay is answered as
// ProxyExchange answers one.
//
// The proxy's thread. A pass keeps itself alive until the relay ends.

#include <gio/gio.h>
#include <libsoup/soup.h>

#include "web/proxy/ProxyServer.h"

namespace web::proxy {

class WebSocketPass {
public:
    // Seconds to connect to the origin, TLS and the request head included,
    // on the clock.
    static constexpr unsigned kConnectSeconds = 30;
    // Seconds, on the clock, a relay stays open with no byte either way:
    // well above the ping interval of servers that keep their sockets alive
    // (half a minute to a minute), so that only a forgotten one ends.
    static constexpr unsigned kIdleSeconds = 300;

    static void start(const Server& server, SoupServerMessage* message, const Target& target);

private:
    struct Pass;
};

}  // namespace web::proxy
