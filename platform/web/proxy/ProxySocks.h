#pragma once
// The engine's way into the proxy: SOCKS 5 (RFC 1928) on a listener of its
// own, where a client shows the run's credentials (user and password, RFC
// 1929) as its connection opens. The engine's context names them in its
// proxy URI, and GLib sends them below the engine's HTTP stack. That stack
// keeps a single set of HTTP proxy credentials for all its loads, and puts
// there the credentials a page gives in a URL or to an XHR before it sends
// the request (they never reach the origin, and other loads are challenged
// with them); at the connection nothing a page does reaches them.
//
// A client that showed them names where its connection goes (a host name or
// address, and a port): from then on the connection is that destination's.
// Its first byte tells whether it speaks TLS, which the proxy ends with a
// certificate for the host as it does in a CONNECT tunnel, or plain HTTP;
// either way its requests, in origin form, go to Server::handle as the
// requests of a tunnel to the destination. The proxy itself is no
// destination.
//
// A client must show the credentials and name its destination within
// kHeadSeconds (on the clock) of its connection, and send its first byte
// after that within clientIdleSeconds(), as an idle connection of the
// engine's may wait. At most kMostSocksNegotiations without credentials
// are under way at once (ProxyGuards.h): a new connection is always taken,
// the oldest of them going in its place. What a client sends is read no further than each
// message's own length, and a byte no SOCKS message begins with ends it.
// The proxy's thread only.

#include <gio/gio.h>

#include <cstddef>
#include <list>
#include <memory>
#include <string>

namespace web::proxy {

class Server;

class SocksGate {
public:
    explicit SocksGate(Server& server) : server_(server) {}
    ~SocksGate();
    SocksGate(const SocksGate&) = delete;
    SocksGate& operator=(const SocksGate&) = delete;

    // A client connected: its negotiation starts (the gate takes a
    // reference to the socket).
    void opened(GSocket* socket);
    [[nodiscard]] size_t negotiating() const { return negotiations_.size(); }

    // Replies, as RFC 1928 numbers them.
    enum Reply : unsigned char {
        succeeded = 0,
        generalFailure = 1,
        notAllowed = 2,
        hostUnreachable = 4,
        commandNotSupported = 7,
        addressTypeNotSupported = 8,
    };

private:
    class Negotiation;
    [[nodiscard]] bool owns(const Negotiation* negotiation) const;
    void ended(Negotiation* negotiation);

    Server& server_;
    std::list<std::shared_ptr<Negotiation>> negotiations_;  // oldest first
};

}  // namespace web::proxy
