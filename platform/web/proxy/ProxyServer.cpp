#include "web/proxy/ProxyServer.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>

#include "core/ASCII.h"
#include "core/Clock.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "web/proxy/ProxyExchange.h"
#include "web/proxy/ProxyMessages.h"
#include "web/proxy/ProxyPreflight.h"
#include "web/proxy/ProxyWebSocket.h"

namespace web::proxy {

namespace {

std::atomic<std::uint64_t> accepted{0};

// Equal texts, in a time that does not tell how much of them matched.
bool sameSecret(std::string_view given, std::string_view expected) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> a{};
    std::array<unsigned char, EVP_MAX_MD_SIZE> b{};
    unsigned int aLength = 0;
    unsigned int bLength = 0;
    if (EVP_Digest(given.data(), given.size(), a.data(), &aLength, EVP_sha256(), nullptr) != 1 ||
        EVP_Digest(expected.data(), expected.size(), b.data(), &bLength, EVP_sha256(), nullptr) !=
            1)
        return false;
    return aLength == bLength && CRYPTO_memcmp(a.data(), b.data(), aLength) == 0;
}

// A CORS preflight: the engine sends it without the proxy's credentials,
// and answers no challenge for it. Strictly that: OPTIONS with the two
// fields every preflight has, no body and no Upgrade.
bool isPreflight(const RequestHead& head) {
    return head.method == "OPTIONS" && !head.hasBody() &&
           !head.fields.contains("Transfer-Encoding") && !head.fields.contains("Upgrade") &&
           head.field("Content-Length").value_or("0") == "0" && head.fields.contains("Origin") &&
           head.fields.contains("Access-Control-Request-Method");
}

// "host:port", "[v6]:port", "host": the host without brackets and the port
// (fallback when none is named); nullopt when it is no authority.
std::optional<std::pair<std::string, int>> hostAndPort(std::string_view authority, int fallback) {
    std::string_view host;
    std::string_view port;
    if (!protocol::splitAuthority(authority, host, port) || host.empty()) return std::nullopt;
    int number = fallback;
    if (!port.empty()) {
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (error != std::errc() || end != port.data() + port.size() || number <= 0 ||
            number > 65535)
            return std::nullopt;
    }
    return std::make_pair(std::string(host), number);
}

}  // namespace

Server::Server(Credentials credentials, std::shared_ptr<CertificateAuthority> authority)
    : credentials_(std::move(credentials)),
      authority_(std::move(authority)),
      pageMarks_(credentials_.pageKey) {}

Server* Server::start(Credentials credentials, std::shared_ptr<CertificateAuthority> authority,
                      std::string* error) {
    auto* server = new Server(std::move(credentials), std::move(authority));
    if (!server->listen(error)) return nullptr;  // (its pieces stay: the process gives up on it)
    return server;
}

void Server::keep(std::shared_ptr<void> request) {
    const void* key = request.get();
    underWay_[key] = std::move(request);
}

std::shared_ptr<void> Server::release(const void* request) {
    const auto found = underWay_.find(request);
    if (found == underWay_.end()) return nullptr;
    auto kept = std::move(found->second);
    underWay_.erase(found);
    return kept;
}

std::uint64_t Server::acceptedConnections() {
    return accepted;
}

bool Server::listen(std::string* error) {
    GError* failure = nullptr;
    listener_ =
        g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, &failure);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    g_object_unref(loopback);
    if (listener_) {
        // The engine opens many connections at once, and others may crowd
        // in: a waiting connection costs the app nothing.
        g_socket_set_listen_backlog(listener_, 1024);
        g_socket_set_blocking(listener_, FALSE);
        if (g_socket_bind(listener_, address, FALSE, &failure) &&
            g_socket_listen(listener_, &failure)) {
            if (GSocketAddress* bound = g_socket_get_local_address(listener_, &failure)) {
                port_ = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
                g_object_unref(bound);
            }
        }
    }
    g_object_unref(address);
    if (port_ == 0 && error)
        *error = std::string("cannot listen: ") + (failure ? failure->message : "no port");
    if (failure) g_error_free(failure);
    if (port_ == 0) return false;
    watchListener();
    return true;
}

void Server::watchListener() {
    if (listening_) return;
    listening_ = g_socket_create_source(listener_, G_IO_IN, nullptr);
    g_source_set_callback(
        listening_, G_SOURCE_FUNC(+[](GSocket*, GIOCondition, gpointer data) -> gboolean {
            auto& server = *static_cast<Server*>(data);
            server.acceptAll();
            return server.listening_ ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        }),
        this, nullptr);
    g_source_attach(listening_, g_main_context_get_thread_default());
}

void Server::acceptAll() {
    while (true) {
        if (descriptors_ >= Descriptors::mostForProxy()) {
            // Taken again as descriptors come free; the engine's connections
            // wait in the listener's backlog meanwhile.
            g_source_unref(std::exchange(listening_, nullptr));
            return;
        }
        GError* error = nullptr;
        GSocket* socket = g_socket_accept(listener_, nullptr, &error);
        if (!socket) {
            const bool again = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
            g_clear_error(&error);
            if (!again) {
                // Out of descriptors after all: look again in a while.
                g_source_unref(std::exchange(listening_, nullptr));
                core::Timer::schedule(core::RunLoop::current(), 0.1, false,
                                      [this](core::Timer&) { watchListener(); });
            }
            return;
        }
        ++accepted;
        g_socket_set_blocking(socket, FALSE);
        GSocketConnection* stream = g_socket_connection_factory_create_connection(socket);
        auto connection = Connection::open(*this, G_IO_STREAM(stream), socket, std::nullopt);
        g_object_unref(stream);
        g_object_unref(socket);
        connections_[connection.get()] = connection;
        admission_.opened(connection);
    }
}

void Server::connectionOpened(Connection& connection) {
    ++descriptors_;
    if (connection.tunnel()) ++tunnels_;
}

void Server::connectionClosed(Connection& connection) {
    --descriptors_;
    if (connection.tunnel()) --tunnels_;
    admission_.closed(connection);
    if (const auto found = connections_.find(&connection); found != connections_.end()) {
        // Let go once what runs now is done with it.
        core::RunLoop::current().post([held = std::move(found->second)] {});
        connections_.erase(found);
    }
    if (!listening_ && descriptors_ < Descriptors::mostForProxy()) watchListener();
}

void Server::descriptorOpened() {
    ++descriptors_;
}

void Server::descriptorClosed() {
    --descriptors_;
    if (!listening_ && descriptors_ < Descriptors::mostForProxy()) watchListener();
}

void Server::holding(Connection& connection, size_t bytes) {
    admission_.holding(connection, bytes);
}

bool Server::hasCredentials(const RequestHead& head) const {
    const auto values = head.fields.values("Proxy-Authorization");
    if (values.size() != 1) return false;
    std::string_view value = values.front();
    if (value.size() < 6 || !core::HTTPHeaders::sameName(value.substr(0, 6), "Basic ")) return false;
    value.remove_prefix(6);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    gsize length = 0;
    guchar* decoded = g_base64_decode(std::string(value).c_str(), &length);
    const std::string pair(reinterpret_cast<const char*>(decoded), length);
    g_free(decoded);
    const size_t colon = pair.find(':');
    if (colon == std::string::npos) return false;
    const bool user = sameSecret(std::string_view(pair).substr(0, colon), credentials_.user);
    const bool password = sameSecret(std::string_view(pair).substr(colon + 1), credentials_.password);
    return user && password;
}

bool Server::isOwnAddress(std::string_view host, int port) const {
    if (port != port_) return false;
    const std::string name = core::asciiLowercased(host);
    return name == "127.0.0.1" || name == "localhost" || name == "localhost." || name == "::1" ||
           name == "0.0.0.0" || name == "::";
}

std::optional<Target> Server::targetOf(const RequestHead& head,
                                       const std::optional<Destination>& tunnel) const {
    std::string text;
    Target target{core::URL::fileURL("/"), {}, 0, true};
    if (tunnel) {
        // Inside a tunnel: the origin form, under the tunnel's destination.
        if (!head.target.starts_with('/')) return std::nullopt;
        target.host = tunnel->host;
        target.port = tunnel->port;
        text = "https://";
        text += target.host.find(':') == std::string::npos ? target.host
                                                            : "[" + target.host + "]";
        if (target.port != 443) text += ":" + std::to_string(target.port);
        text += head.target;
    } else {
        // The absolute form: its scheme and authority, and the path and
        // query exactly as written.
        const size_t separator = head.target.find("://");
        if (separator == std::string::npos) return std::nullopt;
        const std::string scheme = core::asciiLowercased(head.target.substr(0, separator));
        if (scheme == "http" || scheme == "ws") {
            target.secure = false;
        } else if (scheme != "https" && scheme != "wss") {
            return std::nullopt;
        }
        const std::string_view rest = std::string_view(head.target).substr(separator + 3);
        const size_t end = rest.find_first_of("/?#");
        std::string_view authority = rest.substr(0, end);
        if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
            authority.remove_prefix(at + 1);
        const auto named = hostAndPort(authority, target.secure ? 443 : 80);
        if (!named) return std::nullopt;
        target.host = named->first;
        target.port = named->second;
        text = target.secure ? "https://" : "http://";
        text += authority;
        const std::string_view path = end == std::string_view::npos ? "" : rest.substr(end);
        if (!path.starts_with('/')) text += '/';
        text += path;
    }
    auto url = core::URL::createFromWeb(text);
    if (!url || url->fragment()) return std::nullopt;
    target.url = std::move(*url);
    return target;
}

void Server::handle(const std::shared_ptr<Connection>& connection, RequestHead head) {
    const bool tunneled = connection->tunnel().has_value();
    const bool credentialed = tunneled || hasCredentials(head);
    if (credentialed && !tunneled) admission_.admit(*connection);
    // Without credentials nothing is read past the head, and only a strict
    // preflight goes on.
    if (!credentialed && !isPreflight(head)) return challenge(*connection, head);
    if (head.method == "CONNECT") return connect(connection, head);
    auto target = targetOf(head, connection->tunnel());
    if (!target) return connection->refuse(400, {}, true);
    if (isOwnAddress(target->host, target->port)) return connection->refuse(403);
    if (!credentialed) {
        if (preflights >= kMostPreflights) return connection->refuse(503);
        return Preflight::start(*this, connection, head, *target);
    }
    if (isWebSocketUpgrade(head)) return WebSocketPass::start(*this, connection, head, *target);
    Exchange::start(*this, connection, std::move(head), std::move(*target));
}

void Server::challenge(Connection& connection, const RequestHead& head) {
    // Answered at the head. A body that may be a request of the engine's
    // (which sends it whole before it reads the challenge, then asks again
    // on the same connection) is read and dropped, never held; after one
    // longer than kMostRequestBodyBytes, or an upgrade, the connection
    // ends, its body unread.
    const bool close = head.fields.contains("Upgrade") ||
                       (head.framing == Framing::length && head.length > kMostRequestBodyBytes);
    if (head.hasBody() && !close) connection.dropBodyAfterAnswer();
    connection.refuse(407, {{"Proxy-Authenticate", "Basic realm=\"Vantor\""}}, close);
}

void Server::connect(const std::shared_ptr<Connection>& connection, const RequestHead& head) {
    if (connection->tunnel()) return connection->refuse(405, {}, true);
    const auto named = hostAndPort(head.target, 443);
    if (!named || head.target.find_first_of("/?#@") != std::string::npos)
        return connection->refuse(400, {}, true);
    const auto& [host, port] = *named;
    if (isOwnAddress(host, port)) return connection->refuse(403);
    if (tunnels_ >= kMostTunnels) return connection->refuse(503);
    const auto identity = authority_->identityFor(host);
    if (!identity) return connection->refuse(400, {}, true);
    const std::string pem = identity->certificatePEM + identity->keyPEM;
    GTlsCertificate* certificate =
        g_tls_certificate_new_from_pem(pem.c_str(), gssize(pem.size()), nullptr);
    if (!certificate) return connection->refuse(500, {}, true);
    // A tunnel counts from here: its handshake holds the connection too.
    ++tunnels_;
    struct Opening {
        Opening(Server* server, GTlsCertificate* certificate, Destination destination)
            : server(server), certificate(certificate), destination(std::move(destination)) {}
        Opening(const Opening&) = delete;
        Opening& operator=(const Opening&) = delete;
        Server* server;
        GTlsCertificate* certificate;
        Destination destination;
        bool handed = false;
        ~Opening() {
            if (!handed) --server->tunnels_;
            g_object_unref(certificate);
        }
    };
    auto opening = std::make_shared<Opening>(this, certificate, Destination{host, port});
    std::weak_ptr<Connection> weak = connection;
    connection->writeThen("HTTP/1.1 200 Connection established\r\n\r\n", [weak, opening] {
        const auto held = weak.lock();
        if (!held) return;
        Connection::Taken taken = held->take();
        // The client speaks first once the tunnel is up, not before.
        if (!taken.buffered.empty()) {
            (void)g_socket_shutdown(taken.socket, TRUE, TRUE, nullptr);
            g_object_unref(taken.stream);
            g_object_unref(taken.socket);
            return;
        }
        opening->handed = true;
        opening->server->handshake(taken, G_TLS_CERTIFICATE(g_object_ref(opening->certificate)),
                                   opening->destination);
    });
}

void Server::handshake(Connection::Taken taken, GTlsCertificate* certificate,
                       Destination destination) {
    // No database: the proxy asks for no client certificate, and a
    // connection left to the backend's default one is given a copy of all
    // the system's authorities, megabytes for each tunnel.
    auto* tls = static_cast<GIOStream*>(
        g_initable_new(g_tls_backend_get_server_connection_type(g_tls_backend_get_default()),
                       nullptr, nullptr, "base-io-stream", taken.stream, "certificate",
                       certificate, "database", nullptr, nullptr));
    g_object_unref(taken.stream);
    g_object_unref(certificate);
    // It counts among the tunnels until its connection does.
    struct Handshake {
        Server* server;
        GSocket* socket;
        Destination destination;
        GCancellable* cancellable;
        std::shared_ptr<core::Timer> deadline;
        ~Handshake() {
            --server->tunnels_;
            if (deadline) deadline->invalidate();
            g_object_unref(cancellable);
            g_object_unref(socket);
        }
    };
    auto* pending = new Handshake{this, taken.socket, std::move(destination), g_cancellable_new(), {}};
    if (!tls) {
        (void)g_socket_shutdown(pending->socket, TRUE, TRUE, nullptr);
        delete pending;
        return;
    }
    ++descriptors_;
    pending->deadline = core::Timer::schedule(
        core::RunLoop::current(), kHandshakeSeconds, false,
        [cancellable = pending->cancellable](core::Timer&) { g_cancellable_cancel(cancellable); });
    g_tls_connection_handshake_async(
        G_TLS_CONNECTION(tls), G_PRIORITY_DEFAULT, pending->cancellable,
        [](GObject* tls, GAsyncResult* result, gpointer data) {
            auto* pending = static_cast<Handshake*>(data);
            Server& server = *pending->server;
            --server.descriptors_;
            if (g_tls_connection_handshake_finish(G_TLS_CONNECTION(tls), result, nullptr)) {
                auto connection = Connection::open(server, G_IO_STREAM(tls), pending->socket,
                                                   pending->destination);
                server.connections_[connection.get()] = connection;
            } else {
                // Quietly: no alert, no waiting for a client that stalls.
                (void)g_socket_shutdown(pending->socket, TRUE, TRUE, nullptr);
                (void)g_io_stream_close(G_IO_STREAM(tls), nullptr, nullptr);
            }
            g_object_unref(tls);
            delete pending;
        },
        pending);
}

}  // namespace web::proxy
