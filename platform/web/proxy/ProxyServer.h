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
// ProxyExchange, each upgrade to a ProxyWebSocket.
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

#include "core/URL.h"
#include "core/Value.h"
#include "web/PageMark.h"
#include "web/proxy/CertificateAuthority.h"

namespace web::proxy {

// The most bytes of a request body the proxy sends on.
inline constexpr std::int64_t kMostRequestBodyBytes = std::int64_t(64) << 20;
// Real seconds a client connection may keep the proxy waiting for it to read
// or write (an idle keep-alive connection, a client that stops reading): the
// socket's own time-out.
inline constexpr unsigned kClientIdleSeconds = 60;
// Seconds a tunnel's TLS handshake may take, on the clock.
inline constexpr unsigned kHandshakeSeconds = 10;
// Tunnels open at once; more CONNECTs are refused.
inline constexpr size_t kMostTunnels = 512;

struct Credentials {
    std::string user;
    std::string password;
    std::string pageKey;  // hex
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
    [[nodiscard]] const Credentials& credentials() const { return credentials_; }

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
};

// The request body gathered so far, kept on each message of both servers.
struct RequestBody {
    core::Data bytes;
    bool tooLarge = false;

    [[nodiscard]] static RequestBody* of(SoupServerMessage* message);
};

}  // namespace web::proxy
