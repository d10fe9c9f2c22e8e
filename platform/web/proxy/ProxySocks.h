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
// are under way at once (ProxyGuards.h): at the cap the server takes no new
// connection (they wait in the listener's backlog) until one of them signs
// in or ends, or the oldest has gone kSocksSignInSeconds without the
// credentials, when it gives its place to the next connection. What a
// client sends is read no further than each message's own length, and a
// byte no SOCKS message begins with ends it. The proxy's thread only.

#include <gio/gio.h>

#include <cstddef>
#include <cstdint>
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

    // Whether a new connection may be taken now: below the cap, or with a
    // stranger that kept its place past kSocksSignInSeconds. The gate tells
    // the server (Server::socksRoomMade) when room may have come.
    [[nodiscard]] bool hasRoom() const;
    // A client connected, while there was room: its negotiation starts
    // (the gate takes a reference to the socket), the oldest such stranger
    // going at the cap.
    void opened(GSocket* socket);
    [[nodiscard]] size_t negotiating() const { return negotiations_.size(); }
    // Negotiations that gave their place to a newcomer, in this process so
    // far.
    [[nodiscard]] static std::uint64_t replaced();

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
    [[nodiscard]] size_t strangers() const;
    void ended(Negotiation* negotiation);
    // A negotiation signed in or aged: the server may take connections again.
    void roomMayHaveCome();

    Server& server_;
    std::list<std::shared_ptr<Negotiation>> negotiations_;  // oldest first
};

}  // namespace web::proxy
