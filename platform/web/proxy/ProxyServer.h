#pragma once
// The engine proxy's listeners on loopback ports, and what it does with each
// request head its connections read (ProxyConnection). The engine comes in
// through SOCKS (ProxySocks), each connection to a destination of its own,
// whose TLS the proxy ends itself; clients that speak HTTP to a proxy have
// a port of their own, where a CONNECT opens such a tunnel. A WebSocket
// upgrade goes to a ProxyWebSocket, a CORS preflight without credentials to
// a ProxyPreflight, and every other request to a ProxyExchange, as the
// client wrote it.
//
// Who may use what, and how much of it, is in ProxyGuards.h; the server
// applies it to each head, and keeps the counts it needs (connections
// without credentials, descriptors, tunnels, preflights). Nothing goes on
// to a loopback or unspecified address at the proxy's own port, whatever
// name or form a request gives it: a request that names it plainly is
// refused at once, and every onward connection is checked on the address it
// is about to be made to (ownPorts()).
//
// Made on the proxy's thread with the thread's context as the thread-default
// one, and used only there; it lives as long as the process.

#include <gio/gio.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/URL.h"
#include "web/PageMark.h"
#include "web/proxy/CertificateAuthority.h"
#include "web/proxy/ProxyConnection.h"
#include "web/proxy/ProxyGuards.h"
#include "web/proxy/ProxyHead.h"
#include "web/proxy/ProxySocks.h"

namespace web::proxy {

// Where a request goes: its URL (the request's target as written, under
// the scheme and authority it names, or its tunnel's) and the host and
// port it names.
struct Target {
    core::URL url;
    std::string host;  // without brackets
    int port = 0;
    bool secure = false;
};

class Server {
public:
    [[nodiscard]] static Server* start(Credentials credentials,
                                       std::shared_ptr<CertificateAuthority> authority,
                                       std::string* error);

    // The HTTP proxy's port, and SOCKS's.
    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] int socksPort() const { return socksPort_; }
    // The ports onward loads never connect to on a local address.
    [[nodiscard]] std::vector<int> ownPorts() const { return {port_, socksPort_}; }
    [[nodiscard]] const Credentials& credentials() const { return credentials_; }
    // The run's credentials (areEngineCredentials).
    [[nodiscard]] bool isEngine(std::string_view user, std::string_view password) const {
        return areEngineCredentials(user, password, credentials_);
    }
    // A plain name of this machine at one of the proxy's ports.
    [[nodiscard]] bool isOwnAddress(std::string_view host, int port) const {
        return namesProxyItself(host, port, ownPorts());
    }
    [[nodiscard]] bool hasRoomForTunnel() const { return tunnels_ < kMostTunnels; }
    // A SOCKS client showed the credentials and named destination: its
    // connection (the server takes references) serves the destination's
    // requests, through TLS the proxy ends when the destination is secure.
    void enter(GIOStream* stream, GSocket* socket, Destination destination);
    // The SOCKS gate has room again for a connection.
    void socksRoomMade();
    // Connections the listener accepted in this process so far.
    [[nodiscard]] static std::uint64_t acceptedConnections();

    // What connections tell the server.
    void handle(const std::shared_ptr<Connection>& connection, RequestHead head);
    void holding(Connection& connection, size_t bytes);
    void connectionOpened(Connection& connection);
    void connectionClosed(Connection& connection);
    // A connection that ended with a body unread hands its stream (owned)
    // and socket over: what the client still sends is read and dropped
    // until it stops (see kLingerIdleSeconds), and the socket
    // counts among the descriptors until it is closed. When descriptors
    // run short, the oldest such socket is closed first.
    void linger(GIOStream* stream, GSocket* socket);

    // What requests under way use.
    [[nodiscard]] protocol::PageMarkSeal& pageMarks() { return pageMarks_; }
    [[nodiscard]] LoadPlaces& loadPlaces() { return loadPlaces_; }
    // Descriptors held for a request besides its client's connection (an
    // onward load, a WebSocket's origin): none is taken while they would
    // run short.
    void descriptorOpened();
    void descriptorClosed();
    // Preflights without credentials under way.
    size_t preflights = 0;
    // Requests under way (exchanges, WebSocket passes) are held by the
    // server until they end, so that what is under way as the process
    // exits is still found from it.
    void keep(std::shared_ptr<void> request);
    std::shared_ptr<void> release(const void* request);

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    ~Server();

private:
    struct Lingering;

    Server(Credentials credentials, std::shared_ptr<CertificateAuthority> authority);

    [[nodiscard]] bool listen(std::string* error);
    void acceptAll();
    enum class Accepted { one, none, failed };
    [[nodiscard]] Accepted accept(GSocket* listener, bool socks);
    void watchListener();
    void stopListening();
    // Descriptors are left for a new connection, or a lingering socket can
    // make room for one.
    [[nodiscard]] bool canAccept() const;
    void endLingering(const Lingering* lingering);
    // A certificate of the run's authority for host; nullptr when none can
    // be made.
    [[nodiscard]] GTlsCertificate* certificateFor(const std::string& host) const;
    [[nodiscard]] std::optional<Target> targetOf(const RequestHead& head,
                                                 const std::optional<Destination>& tunnel) const;
    void challenge(Connection& connection, const RequestHead& head);
    void connect(const std::shared_ptr<Connection>& connection, const RequestHead& head);
    void handshake(Connection::Taken taken, GTlsCertificate* certificate, Destination destination);

    const Credentials credentials_;
    const std::shared_ptr<CertificateAuthority> authority_;
    // Opens the page marks of requests (this thread's own).
    protocol::PageMarkSeal pageMarks_;
    GSocket* listener_ = nullptr;
    GSocket* socksListener_ = nullptr;
    GSource* listening_ = nullptr;
    GSource* socksListening_ = nullptr;
    int port_ = 0;
    int socksPort_ = 0;
    std::unique_ptr<SocksGate> socks_;
    std::map<Connection*, std::shared_ptr<Connection>> connections_;
    Admission admission_;
    LoadPlaces loadPlaces_;
    // Client connections and other descriptors held; tunnels open or
    // opening.
    long descriptors_ = 0;
    size_t tunnels_ = 0;
    std::map<const void*, std::shared_ptr<void>> underWay_;
    std::list<std::unique_ptr<Lingering>> lingering_;  // oldest first
};

}  // namespace web::proxy
