#include "web/proxy/ProxyServer.h"

#include <algorithm>
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

// A socket whose connection ended with a body unread, read and dropped.
struct Server::Lingering {
    Server& server;
    GIOStream* stream;
    GSocket* socket;
    GSource* source = nullptr;
    std::shared_ptr<core::Timer> limit;
    double started = 0;
    double lastByte = 0;

    Lingering(Server& server, GIOStream* stream, GSocket* socket)
        : server(server), stream(stream), socket(G_SOCKET(g_object_ref(socket))) {
        server.descriptorOpened();
        started = lastByte = core::Clock::current()->monotonicSeconds();
    }
    Lingering(const Lingering&) = delete;
    Lingering& operator=(const Lingering&) = delete;
    ~Lingering() {
        if (limit) limit->invalidate();
        if (source) {
            g_source_destroy(source);
            g_source_unref(source);
        }
        if (!g_socket_is_closed(socket)) (void)g_socket_shutdown(socket, TRUE, TRUE, nullptr);
        if (stream) {
            // At once: its socket is shut already.
            (void)g_io_stream_close(stream, nullptr, nullptr);
            g_object_unref(stream);
        }
        g_object_unref(socket);
        server.descriptorClosed();
    }

    // Reads what came, at most kMostBytesReadPerTurn in one turn; false once
    // the client stopped.
    bool drain() {
        char buffer[64 * 1024];
        for (size_t read = 0; read < kMostBytesReadPerTurn; read += sizeof buffer) {
            GError* error = nullptr;
            const gssize count = g_socket_receive(socket, buffer, sizeof buffer, nullptr, &error);
            const bool again = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
            g_clear_error(&error);
            if (count <= 0) return again;
            lastByte = core::Clock::current()->monotonicSeconds();
        }
        return true;
    }

    // When it ends unless a byte comes first.
    [[nodiscard]] double end() const {
        return std::min(lastByte + kLingerIdleSeconds, started + kMostLingerSeconds);
    }
};

Server::Server(Credentials credentials, std::shared_ptr<CertificateAuthority> authority)
    : credentials_(std::move(credentials)), authority_(std::move(authority)),
      pageMarks_(credentials_.pageKey) {}

Server::~Server() = default;

void Server::linger(GIOStream* stream, GSocket* socket) {
    auto& lingering = *lingering_.emplace_back(std::make_unique<Lingering>(*this, stream, socket));
    lingering.source =
        g_socket_create_source(socket, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), nullptr);
    g_source_set_callback(lingering.source,
                          G_SOURCE_FUNC(+[](GSocket*, GIOCondition, gpointer data) -> gboolean {
                              auto* lingering = static_cast<Lingering*>(data);
                              if (lingering->drain()) return G_SOURCE_CONTINUE;
                              lingering->server.endLingering(lingering);
                              return G_SOURCE_REMOVE;
                          }),
                          &lingering, nullptr);
    g_source_attach(lingering.source, g_main_context_get_thread_default());
    lingering.limit =
        core::Timer::schedule(core::RunLoop::current(), kLingerIdleSeconds, false,
                              [this, held = &lingering](core::Timer& timer) {
                                  if (core::Clock::current()->monotonicSeconds() < held->end()) {
                                      timer.setFireDate(held->end());
                                      return;
                                  }
                                  endLingering(held);
                              });
}

void Server::endLingering(const Lingering* lingering) {
    const auto found = std::find_if(lingering_.begin(), lingering_.end(),
                                    [&](const auto& entry) { return entry.get() == lingering; });
    if (found == lingering_.end()) return;
    // Out of the list before it goes: going, it counts its descriptor off.
    const auto ending = std::move(*found);
    lingering_.erase(found);
}

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

namespace {

// A listener on 127.0.0.1 at a port the system picks; nullptr with a
// message when there is none.
GSocket* listenOnLoopback(int* port, std::string* error) {
    GError* failure = nullptr;
    GSocket* listener =
        g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, &failure);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    g_object_unref(loopback);
    *port = 0;
    if (listener) {
        // The engine opens many connections at once, and others may crowd
        // in: a waiting connection costs the app nothing.
        g_socket_set_listen_backlog(listener, 1024);
        g_socket_set_blocking(listener, FALSE);
        if (g_socket_bind(listener, address, FALSE, &failure) &&
            g_socket_listen(listener, &failure)) {
            if (GSocketAddress* bound = g_socket_get_local_address(listener, &failure)) {
                *port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
                g_object_unref(bound);
            }
        }
    }
    g_object_unref(address);
    if (*port == 0 && error)
        *error = std::string("cannot listen: ") + (failure ? failure->message : "no port");
    if (failure) g_error_free(failure);
    if (*port == 0 && listener) g_clear_object(&listener);
    return listener;
}

}  // namespace

bool Server::listen(std::string* error) {
    listener_ = listenOnLoopback(&port_, error);
    if (listener_) socksListener_ = listenOnLoopback(&socksPort_, error);
    if (!listener_ || !socksListener_) return false;
    socks_ = std::make_unique<SocksGate>(*this);
    watchListener();
    return true;
}

void Server::watchListener() {
    const auto watch = [this](GSocket* listener, GSource*& source) {
        if (source) return;
        source = g_socket_create_source(listener, G_IO_IN, nullptr);
        g_source_set_callback(source,
                              G_SOURCE_FUNC(+[](GSocket*, GIOCondition, gpointer data) -> gboolean {
                                  auto& server = *static_cast<Server*>(data);
                                  server.acceptAll();
                                  return server.listening_ ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
                              }),
                              this, nullptr);
        g_source_attach(source, g_main_context_get_thread_default());
    };
    watch(listener_, listening_);
    // SOCKS connections wait in the backlog while the gate has no room.
    if (socks_->hasRoom()) watch(socksListener_, socksListening_);
}

void Server::socksRoomMade() {
    if (listening_) watchListener();
}

void Server::stopListening() {
    for (GSource** source : {&listening_, &socksListening_}) {
        if (!*source) continue;
        g_source_destroy(*source);
        g_source_unref(std::exchange(*source, nullptr));
    }
}

void Server::acceptAll() {
    // The rest in the loop's next turn, once these have had their heads
    // read: a burst of strangers never pushes a connection of the engine's
    // out of the count of unadmitted ones before its head is read.
    for (size_t taken = 0; taken < kMostAcceptedPerTurn;) {
        if (descriptors_ >= Descriptors::mostForProxy() && !lingering_.empty()) {
            // A socket kept only so that its client reads an answer gives
            // way to a new connection.
            endLingering(lingering_.front().get());
            continue;
        }
        if (!canAccept()) {
            // Taken again as descriptors come free; the engine's connections
            // wait in the listeners' backlogs meanwhile.
            stopListening();
            return;
        }
        const Accepted plain = accept(listener_, false);
        Accepted socks = plain;
        if (plain != Accepted::failed) {
            socks = Accepted::none;
            if (socks_->hasRoom()) {
                socks = accept(socksListener_, true);
            } else if (socksListening_) {
                g_source_destroy(socksListening_);
                g_source_unref(std::exchange(socksListening_, nullptr));
            }
        }
        if (plain == Accepted::failed || socks == Accepted::failed) {
            // Out of descriptors after all: look again in a while.
            stopListening();
            core::Timer::schedule(core::RunLoop::current(), 0.1, false,
                                  [this](core::Timer&) { watchListener(); });
            return;
        }
        const size_t now = size_t(plain == Accepted::one) + size_t(socks == Accepted::one);
        if (now == 0) return;
        taken += now;
    }
}

Server::Accepted Server::accept(GSocket* listener, bool socks) {
    GError* error = nullptr;
    GSocket* socket = g_socket_accept(listener, nullptr, &error);
    if (!socket) {
        const bool again = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        g_clear_error(&error);
        return again ? Accepted::none : Accepted::failed;
    }
    ++accepted;
    g_socket_set_blocking(socket, FALSE);
    if (socks) {
        socks_->opened(socket);
    } else {
        GSocketConnection* stream = g_socket_connection_factory_create_connection(socket);
        auto connection = Connection::open(*this, G_IO_STREAM(stream), socket, std::nullopt);
        g_object_unref(stream);
        connections_[connection.get()] = connection;
        admission_.opened(connection);
    }
    g_object_unref(socket);
    return Accepted::one;
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
    if (!listening_ && canAccept()) watchListener();
}

bool Server::canAccept() const {
    return descriptors_ < Descriptors::mostForProxy() || !lingering_.empty();
}

void Server::descriptorOpened() {
    ++descriptors_;
}

void Server::descriptorClosed() {
    --descriptors_;
    if (!listening_ && canAccept()) watchListener();
}

void Server::holding(Connection& connection, size_t bytes) {
    admission_.holding(connection, bytes);
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
        target.secure = tunnel->secure;
        text = target.secure ? "https://" : "http://";
        text += target.host.find(':') == std::string::npos ? target.host : "[" + target.host + "]";
        if (target.port != (target.secure ? 443 : 80)) text += ":" + std::to_string(target.port);
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
    const Standing standing = standingOf(head, tunneled, credentials_);
    if (standing == Standing::engine && !tunneled) admission_.admit(*connection);
    // Without credentials nothing is read past the head, and only a strict
    // preflight goes on.
    if (standing == Standing::stranger) return challenge(*connection, head);
    if (head.method == "CONNECT") return connect(connection, head);
    auto target = targetOf(head, connection->tunnel());
    if (!target) return connection->refuse(400, {}, true);
    if (isOwnAddress(target->host, target->port)) return connection->refuse(403);
    if (standing == Standing::preflight) {
        if (preflights >= kMostPreflights) return connection->refuse(503);
        return Preflight::start(*this, connection, head, *target);
    }
    if (isWebSocketUpgrade(head)) return WebSocketPass::start(*this, connection, head, *target);
    Exchange::start(*this, connection, std::move(head), std::move(*target));
}

void Server::challenge(Connection& connection, const RequestHead& head) {
    // Answered at the head; its body is never held.
    const bool close = challengeEndsConnection(head);
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
    GTlsCertificate* certificate = certificateFor(host);
    if (!certificate) return connection->refuse(400, {}, true);
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

GTlsCertificate* Server::certificateFor(const std::string& host) const {
    const auto identity = authority_->identityFor(host);
    if (!identity) return nullptr;
    const std::string pem = identity->certificatePEM + identity->keyPEM;
    return g_tls_certificate_new_from_pem(pem.c_str(), gssize(pem.size()), nullptr);
}

void Server::enter(GIOStream* stream, GSocket* socket, Destination destination) {
    if (!destination.secure) {
        auto connection = Connection::open(*this, stream, socket, std::move(destination));
        connections_[connection.get()] = connection;
        return;
    }
    GTlsCertificate* certificate = certificateFor(destination.host);
    if (!certificate) {
        (void)g_socket_shutdown(socket, TRUE, TRUE, nullptr);
        return;
    }
    // It counts among the tunnels from its handshake on.
    ++tunnels_;
    handshake({G_IO_STREAM(g_object_ref(stream)), G_SOCKET(g_object_ref(socket)), {}}, certificate,
              std::move(destination));
}

void Server::handshake(Connection::Taken taken, GTlsCertificate* certificate,
                       Destination destination) {
    // No database: the proxy asks for no client certificate, and a
    // connection left to the backend's default one is given a copy of all
    // the system's authorities, megabytes for each tunnel.
    auto* tls = static_cast<GIOStream*>(g_initable_new(
        g_tls_backend_get_server_connection_type(g_tls_backend_get_default()), nullptr, nullptr,
        "base-io-stream", taken.stream, "certificate", certificate, "database", nullptr, nullptr));
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
    auto* pending =
        new Handshake{this, taken.socket, std::move(destination), g_cancellable_new(), {}};
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
