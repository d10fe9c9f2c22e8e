#pragma once
// A WebSocket upgrade the engine sent the proxy, passed on: the origin's
// host looked up (through core::HostRoutes when it has a route) and refused
// when an address it names is the proxy's own (a loopback or unspecified
// address at the proxy's port), a connection to its addresses in turn (TLS
// for https, the certificate checked against the system's authorities and
// TrustedAuthorities for the named host), the request head written with the
// fields that go onward (goesOnward) and the upgrade's own, Connection and
// Upgrade, as the engine wrote them. The origin's answer head is read as
// the proxy reads any head (AnswerHeadReader), and decides:
//  - 101: the client's connection, taken from the proxy, and the origin's
//    are joined both ways until either side closes, or until no byte went
//    either way for kWebSocketIdleSeconds;
//  - anything else is the origin's answer to that request and no more,
//    shaped as an exchange's answer is (answerStart: the fields that go
//    onward, 407 turned into 502) and written by the client's connection
//    with "Connection: close", its body as the origin framed it: nothing
//    the client sends reaches the origin, nothing of the origin's past its
//    body reaches the client, and both connections end with it. So a
//    client's connection never carries a request to the origin as if to
//    the proxy.
// A failure before the origin's answer is answered as ProxyExchange answers
// one. The bounds (kWebSocketConnectSeconds, kWebSocketIdleSeconds,
// kMostOriginHeadBytes) are in ProxyGuards.h.
//
// The proxy's thread. The server holds a pass (Server::keep) until nothing
// of it is under way.

#include <memory>

#include "web/proxy/ProxyConnection.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

class WebSocketPass {
public:
    static void start(Server& server, const std::shared_ptr<Connection>& client,
                      const RequestHead& head, const Target& target);

private:
    struct Pass;
};

}  // namespace web::proxy
