#pragma once
// A WebSocket upgrade the engine sent the proxy, passed on: the origin's
// host looked up (through core::HostRoutes when it has a route) and refused
// when an address it names is the proxy's own (a loopback or unspecified
// address at the proxy's port), a connection to its addresses in turn (TLS
// for https, the certificate checked against the system's authorities and
// TrustedAuthorities for the named host), the request head written as the
// engine wrote it but for the page mark and the fields meant for the proxy.
// Then the origin's answer decides:
//  - 101: the client's connection, taken from the proxy, and the origin's
//    are joined both ways until either side closes, or until no byte went
//    either way for kIdleSeconds;
//  - anything else is the origin's answer to that request and no more: its
//    status line and fields (but the hop-by-hop ones, and 407 turned into
//    502, as only the proxy asks for the proxy's credentials) and its body
//    go to the client with "Connection: close", nothing the client sends
//    reaches the origin, and both connections end with it. So a client's
//    connection never carries a request to the origin as if to the proxy.
// A failure before the origin's answer is answered as ProxyExchange answers
// one.
//
// The proxy's thread. A pass keeps itself alive until the relay ends.

#include <memory>

#include "web/proxy/ProxyConnection.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

class WebSocketPass {
public:
    // Seconds to connect to the origin and have its answer's head, TLS and
    // the request head included, on the clock.
    static constexpr unsigned kConnectSeconds = 30;
    // Seconds, on the clock, a relay stays open with no byte either way:
    // well above the ping interval of servers that keep their sockets alive
    // (half a minute to a minute), so that only a forgotten one ends.
    static constexpr unsigned kIdleSeconds = 300;
    // The most bytes of the origin's answer head.
    static constexpr size_t kMostAnswerHeadBytes = 64 * 1024;

    static void start(Server& server, const std::shared_ptr<Connection>& client,
                      const RequestHead& head, const Target& target);

private:
    struct Pass;
};

}  // namespace web::proxy
