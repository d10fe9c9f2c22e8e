#pragma once
// The engine proxy's two libsoup servers, each on a loopback listener of its
// own: the outer one parses what the engine sends the proxy (absolute-form
// requests, CONNECT, WebSocket upgrades) behind Basic proxy authentication;
// the inner one parses the requests inside the TLS tunnels the outer one
// opened. The proxy ends a tunnel's TLS and pumps what it carries over a
// loopback connection of its own to the inner listener, which serves no
// other connection: it knows each tunnel by that connection's port. (A
// connection libsoup accepts itself stays open between requests; one handed
// to it as a stream closes after each.) Each request is handed to a
// ProxyExchange, each upgrade to a ProxyWebSocket, each CORS preflight that
// came without credentials to a ProxyPreflight.
//
// Nobody else is served, and the proxy never serves itself:
//  - Without the run's credentials only a strict preflight goes on (see
//    isPreflight); the inner listener serves the proxy's tunnels alone.
//  - Nothing goes on to a loopback or unspecified address at the proxy's
//    own ports (ownPorts()), judged on the address each onward connection is
//    about to be made to, and every request sent on carries the proxy's hop
//    mark in Via: one that comes back with it is refused with 508.
//  - A request's head on the outer listener must arrive within kHeadSeconds
//    of its first byte (the inner one's come through tunnels that showed the
//    credentials), and at most kMostUnadmittedConnections connections that no
//    request with credentials came on yet (nor are a tunnel's) are held at
//    once; the engine's connections are admitted by their first request.
//
// Made on the proxy's thread with the thread's context as the thread-default
// one, and used only there; it lives as long as the process.

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/Timer.h"
#include "core/URL.h"
#include "core/Value.h"
#include "web/PageMark.h"
#include "web/proxy/CertificateAuthority.h"

namespace web::proxy {

// The most bytes of a request body the proxy sends on. A declared length
// over it is refused at once, before any of the body is read.
inline constexpr std::int64_t kMostRequestBodyBytes = std::int64_t(64) << 20;
// Seconds, on the clock, a request body may go without a byte before the
// proxy drops the connection.
inline constexpr double kBodyIdleSeconds = 20;
// Real seconds a client connection may keep the proxy waiting for its next
// request (an idle keep-alive connection; a head or body under way has its
// own deadline): the socket's own time-out. Once a request goes on, the
// client takes its answer at its own pace, as it would from the origin; a
// tunnel lasts as long as the connection it carries to the inner listener.
inline constexpr unsigned kClientIdleSeconds = 60;
// The time-out in effect: kClientIdleSeconds, unless a test set another.
[[nodiscard]] unsigned clientIdleSeconds();
void setClientIdleSeconds(unsigned seconds);
// Seconds a tunnel's TLS handshake may take, on the clock.
inline constexpr unsigned kHandshakeSeconds = 10;
// Tunnels open at once; more CONNECTs are refused.
inline constexpr size_t kMostTunnels = 512;
// Seconds, on the clock, from the first byte of a request's head to its
// end. The engine writes a head at once: only a client that trickles it
// meets the limit. (Idle connections between requests are bounded by
// kClientIdleSeconds.)
inline constexpr unsigned kHeadSeconds = 15;
// Connections held at once that are not admitted: no request with the run's
// credentials came on them, and they are no tunnel's. One more is closed as
// it comes. The engine's connections leave the count with their first
// request, and it has far fewer open at once than this.
inline constexpr size_t kMostUnadmittedConnections = 128;

struct Credentials {
    std::string user;
    std::string password;
    std::string pageKey;  // hex
    // The name the proxy gives itself in the Via field of what it sends on,
    // new for each run: a request that carries it came from the proxy.
    std::string via;
};

// Where a request goes: its URL and the host and port it names.
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

    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] int innerPort() const { return innerPort_; }
    // The ports onward loads never connect to on a local address.
    [[nodiscard]] std::vector<int> ownPorts() const { return {port_, innerPort_}; }
    [[nodiscard]] const Credentials& credentials() const { return credentials_; }
    // Connections both listeners accepted in this process so far.
    [[nodiscard]] static std::uint64_t acceptedConnections();

    // The socket of the connection a message of either server came on (for
    // the inner server, the proxy's own connection that carries the
    // tunnel's requests); nullptr once that connection has gone.
    [[nodiscard]] static GSocket* clientSocket(SoupServerMessage* message);

    // Answers message with status and no body, and the connection ends after it.
    static void refuse(SoupServerMessage* message, unsigned status);

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

private:
    // Where a tunnel's requests go.
    struct Destination {
        std::string host;
        int port = 0;
    };
    struct Tunnel;

    Server(Credentials credentials, std::shared_ptr<CertificateAuthority> authority);

    [[nodiscard]] bool listen(std::string* error);
    // The destination of the tunnel an inner message came through; nullptr
    // for a connection that is not one of the proxy's pumps.
    [[nodiscard]] const Destination* destinationOf(SoupServerMessage* message) const;
    [[nodiscard]] bool isOwnAddress(std::string_view host, int port) const;
    [[nodiscard]] std::optional<Target> targetOf(SoupServerMessage* message, bool inner) const;

    void handle(SoupServerMessage* message, bool inner);
    void openTunnel(SoupServerMessage* message, const std::string& host, int port);
    void handshake(Tunnel* connect, GIOStream* stream);
    // The tunnel's TLS is up: its requests go to the inner listener.
    void pump(Tunnel* tunnel, GIOStream* tls);

    static void requestStarted(SoupServer* server, SoupServerMessage* message, gpointer data);
    // A new connection is counted, and closed at once when it cannot be
    // held; the head of each request is timed.
    static void watchConnection(SoupServer* server, SoupServerMessage* message, gpointer data);
    // Before gotHeaders: a request the proxy sent itself is refused.
    static void checkHead(SoupServerMessage* message, gpointer data);
    // A connection on which a request with the run's credentials came, or
    // that is a tunnel's, leaves the unadmitted ones.
    void admit(GSocket* socket);
    // Answers status at once, without reading the body the request
    // announced: libsoup would read all of it first.
    static void refuseBeforeBody(SoupServerMessage* message, unsigned status);
    static void gotHeaders(SoupServerMessage* message, gpointer data);
    static void gotChunk(SoupServerMessage* message, GBytes* chunk, gpointer data);
    static gboolean checkPassword(SoupAuthDomain* domain, SoupServerMessage* message,
                                  const char* user, const char* password, gpointer data);

    const Credentials credentials_;
    const std::shared_ptr<CertificateAuthority> authority_;
    // Opens the page marks of requests (this thread's own).
    protocol::PageMarkSeal pageMarks_;
    SoupServer* outer_ = nullptr;
    SoupServer* inner_ = nullptr;
    int port_ = 0;
    int innerPort_ = 0;
    // By the local port of the pump's connection to the inner listener.
    std::unordered_map<int, Destination> tunnels_;
    // Pumps connecting to the inner listener, not yet in tunnels_.
    int pendingPumps_ = 0;
    std::unordered_set<GSocket*> unadmitted_;
};

// The bytes of request bodies the proxy holds in memory, every exchange's
// together: a body takes its share as it is gathered (a declared length's
// whole at once), and gives it back when its exchange ends. A body that
// does not fit is refused with 503.
class BodyBudget {
public:
    static constexpr std::int64_t kBytes = std::int64_t(128) << 20;

    // Bytes of the budget, given back when it goes.
    class Share {
    public:
        Share() = default;
        Share(Share&& other) noexcept : bytes_(std::exchange(other.bytes_, 0)) {}
        Share& operator=(Share&& other) noexcept;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;
        ~Share() { release(); }

        // Takes bytes more; false, taking nothing, when they do not fit.
        [[nodiscard]] bool grow(std::int64_t bytes);
        [[nodiscard]] std::int64_t bytes() const { return bytes_; }

    private:
        void release();
        std::int64_t bytes_ = 0;
    };

    // The bytes all shares hold now.
    [[nodiscard]] static std::int64_t used();
};

// The request body gathered so far, kept on each message of both servers,
// and the time it may take.
struct RequestBody {
    core::Data bytes;
    BodyBudget::Share share;
    // Refused already (over the bound, or the budget): what comes is dropped.
    bool refused = false;
    // Fails the request once its body stalls: the time since its last
    // piece.
    std::shared_ptr<core::Timer> deadline;
    double lastPiece = 0;

    ~RequestBody();
    [[nodiscard]] static RequestBody* of(SoupServerMessage* message);
};

}  // namespace web::proxy
