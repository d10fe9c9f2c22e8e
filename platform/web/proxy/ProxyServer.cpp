#include "web/proxy/ProxyServer.h"

#include <glib-unix.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <atomic>

#include "core/ASCII.h"
#include "core/Clock.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyExchange.h"
#include "web/proxy/ProxyMessages.h"
#include "web/proxy/ProxyPreflight.h"
#include "web/proxy/ProxyWebSocket.h"

namespace web::proxy {

namespace {

constexpr const char* kBodyKey = "vantor-proxy-body";
constexpr const char* kHeadKey = "vantor-proxy-head";
constexpr const char* kSeenKey = "vantor-proxy-seen";
// The answer to a request that carries the proxy's own hop mark.
constexpr guint kLoopDetected = 508;

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
// fields every preflight has, no body (no length above 0, no
// Transfer-Encoding) and no Upgrade. It goes on as ProxyPreflight says.
bool isPreflight(SoupServerMessage* message) {
    if (std::string_view(soup_server_message_get_method(message)) != "OPTIONS") return false;
    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
    if (soup_message_headers_get_one(headers, "Transfer-Encoding") ||
        soup_message_headers_get_one(headers, "Upgrade"))
        return false;
    if (const char* length = soup_message_headers_get_one(headers, "Content-Length");
        length && std::string_view(length) != "0")
        return false;
    const SoupEncoding encoding = soup_message_headers_get_encoding(headers);
    const bool bodiless = encoding == SOUP_ENCODING_NONE ||
                          (encoding == SOUP_ENCODING_CONTENT_LENGTH &&
                           soup_message_headers_get_content_length(headers) == 0);
    return bodiless && soup_message_headers_get_one(headers, "Origin") &&
           soup_message_headers_get_one(headers, "Access-Control-Request-Method");
}

std::atomic<std::uint64_t> accepted{0};
std::atomic<unsigned> idleSeconds{kClientIdleSeconds};

// Times the head of one request: from its first byte (the connection turns
// readable) until libsoup has read it all (the watch is dropped then), and
// ends the connection at kHeadSeconds. Kept on the message.
class HeadWatch {
public:
    explicit HeadWatch(GSocket* socket) : socket_(G_SOCKET(g_object_ref(socket))) {
        readable_ = g_unix_fd_source_new(g_socket_get_fd(socket),
                                         GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR));
        g_source_set_callback(readable_,
                              G_SOURCE_FUNC(+[](gint, GIOCondition, gpointer data) -> gboolean {
                                  static_cast<HeadWatch*>(data)->started();
                                  return G_SOURCE_REMOVE;
                              }),
                              this, nullptr);
        g_source_attach(readable_, g_main_context_get_thread_default());
    }
    ~HeadWatch() {
        stopWatching();
        if (deadline_) deadline_->invalidate();
        g_object_unref(socket_);
    }
    HeadWatch(const HeadWatch&) = delete;
    HeadWatch& operator=(const HeadWatch&) = delete;

private:
    void stopWatching() {
        if (!readable_) return;
        g_source_destroy(readable_);
        g_source_unref(readable_);
        readable_ = nullptr;
    }
    void started() {
        stopWatching();
        std::shared_ptr<GSocket> socket(G_SOCKET(g_object_ref(socket_)), g_object_unref);
        deadline_ = core::Timer::schedule(
            core::RunLoop::current(), kHeadSeconds, false, [socket](core::Timer& timer) {
                // Bytes libsoup has not read yet: the proxy is behind, not
                // the client.
                if (g_socket_condition_check(socket.get(), G_IO_IN) & G_IO_IN) {
                    timer.setFireDate(core::Clock::current()->monotonicSeconds() + kHeadSeconds);
                    return;
                }
                breakOff(socket.get());
            });
    }

    GSocket* socket_;
    GSource* readable_ = nullptr;
    std::shared_ptr<core::Timer> deadline_;
};

// A connection's GSocket was let go: it no longer counts.
void forgetConnection(gpointer data, GObject* socket) {
    static_cast<std::unordered_set<GSocket*>*>(data)->erase(reinterpret_cast<GSocket*>(socket));
}

// A listener of server on a port of the loopback interface; 0 when none.
int listenOnLoopback(SoupServer* server, std::string* error) {
    GError* failure = nullptr;
    GSocket* socket =
        g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, &failure);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    g_object_unref(loopback);
    int port = 0;
    // The engine opens many connections at once.
    if (socket) g_socket_set_listen_backlog(socket, 128);
    if (socket && g_socket_bind(socket, address, FALSE, &failure) &&
        g_socket_listen(socket, &failure) &&
        soup_server_listen_socket(server, socket, SoupServerListenOptions(0), &failure)) {
        if (GSocketAddress* bound = g_socket_get_local_address(socket, &failure)) {
            port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
            g_object_unref(bound);
        }
    }
    g_object_unref(address);
    g_clear_object(&socket);
    if (port == 0 && error)
        *error = std::string("cannot listen: ") + (failure ? failure->message : "no port");
    if (failure) g_error_free(failure);
    return port;
}

std::atomic<std::int64_t> budgetUsed{0};

// What is left of a client connection once its request was refused before
// its body: the answer goes out, then what the client still sends is read
// and dropped until it stops, so that closing does not reset the
// connection before the client has read the answer.
struct Lingering {
    GIOStream* stream = nullptr;
    GSocket* socket = nullptr;
    GSource* source = nullptr;
    std::shared_ptr<core::Timer> limit;

    ~Lingering() {
        if (limit) limit->invalidate();
        if (source) {
            g_source_destroy(source);
            g_source_unref(source);
        }
        if (stream) {
            (void)g_io_stream_close(stream, nullptr, nullptr);
            g_object_unref(stream);
        }
        g_clear_object(&socket);
    }
};

// Seconds, on the clock, a refused client's remaining body is read for.
constexpr double kLingerSeconds = 5;

gboolean drain(GSocket* socket, GIOCondition, gpointer data) {
    char buffer[64 * 1024];
    for (;;) {
        GError* error = nullptr;
        const gssize count = g_socket_receive(socket, buffer, sizeof buffer, nullptr, &error);
        if (count > 0) continue;
        const bool later = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        g_clear_error(&error);
        if (later) return G_SOURCE_CONTINUE;
        delete static_cast<Lingering*>(data);
        return G_SOURCE_REMOVE;
    }
}

}  // namespace

BodyBudget::Share& BodyBudget::Share::operator=(Share&& other) noexcept {
    if (this != &other) {
        release();
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

bool BodyBudget::Share::grow(std::int64_t bytes) {
    std::int64_t used = budgetUsed.load();
    do {
        if (used + bytes > kBytes) return false;
    } while (!budgetUsed.compare_exchange_weak(used, used + bytes));
    bytes_ += bytes;
    return true;
}

void BodyBudget::Share::release() {
    budgetUsed.fetch_sub(std::exchange(bytes_, 0));
}

std::int64_t BodyBudget::used() {
    return budgetUsed.load();
}

RequestBody::~RequestBody() {
    if (deadline) deadline->invalidate();
}

unsigned clientIdleSeconds() {
    return idleSeconds;
}

void setClientIdleSeconds(unsigned seconds) {
    idleSeconds = seconds;
}

RequestBody* RequestBody::of(SoupServerMessage* message) {
    return static_cast<RequestBody*>(g_object_get_data(G_OBJECT(message), kBodyKey));
}

// A CONNECT answered with 200, waiting for its fields to be out, then for
// its TLS, then for its pump.
struct Server::Tunnel {
    Server* server;
    Destination destination;
    GTlsCertificate* certificate;
    GSocket* socket;  // the client's
    GCancellable* cancellable = nullptr;
    std::shared_ptr<core::Timer> deadline = nullptr;

    ~Tunnel() {
        if (deadline) deadline->invalidate();
        g_clear_object(&cancellable);
        g_object_unref(certificate);
        g_clear_object(&socket);
    }
};

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

bool Server::listen(std::string* error) {
    outer_ = soup_server_new(nullptr, nullptr);
    inner_ = soup_server_new(nullptr, nullptr);
    SoupAuthDomain* domain = soup_auth_domain_basic_new("realm", "Vantor", "proxy", TRUE, nullptr);
    soup_auth_domain_basic_set_auth_callback(domain, checkPassword, this, nullptr);
    soup_auth_domain_set_filter(
        domain,
        [](SoupAuthDomain*, SoupServerMessage* message, gpointer) -> gboolean {
            return isPreflight(message) ? FALSE : TRUE;
        },
        nullptr, nullptr);
    soup_server_add_auth_domain(outer_, domain);
    g_object_unref(domain);
    for (SoupServer* soup : {outer_, inner_}) {
        g_signal_connect(soup, "request-started", G_CALLBACK(watchConnection), this);
        g_signal_connect(soup, "request-started", G_CALLBACK(requestStarted), this);
    }
    soup_server_add_handler(
        outer_, nullptr,
        [](SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer data) {
            static_cast<Server*>(data)->handle(message, false);
        },
        this, nullptr);
    soup_server_add_handler(
        inner_, nullptr,
        [](SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer data) {
            static_cast<Server*>(data)->handle(message, true);
        },
        this, nullptr);

    port_ = listenOnLoopback(outer_, error);
    innerPort_ = port_ != 0 ? listenOnLoopback(inner_, error) : 0;
    return port_ != 0 && innerPort_ != 0;
}

GSocket* Server::clientSocket(SoupServerMessage* message) {
    return soup_server_message_get_socket(message);
}

const Server::Destination* Server::destinationOf(SoupServerMessage* message) const {
    GSocketAddress* remote = soup_server_message_get_remote_address(message);
    if (!remote || !G_IS_INET_SOCKET_ADDRESS(remote)) return nullptr;
    auto* inet = G_INET_SOCKET_ADDRESS(remote);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    const bool fromLoopback = g_inet_address_equal(g_inet_socket_address_get_address(inet), loopback);
    g_object_unref(loopback);
    if (!fromLoopback) return nullptr;
    const auto found = tunnels_.find(int(g_inet_socket_address_get_port(inet)));
    return found == tunnels_.end() ? nullptr : &found->second;
}

gboolean Server::checkPassword(SoupAuthDomain*, SoupServerMessage* message, const char* user,
                               const char* password, gpointer data) {
    auto& server = *static_cast<Server*>(data);
    const auto& credentials = server.credentials_;
    const bool userMatches = sameSecret(user ? user : "", credentials.user);
    const bool passwordMatches = sameSecret(password ? password : "", credentials.password);
    if (!userMatches || !passwordMatches) return false;
    if (GSocket* socket = clientSocket(message)) server.admit(socket);
    return true;
}

std::uint64_t Server::acceptedConnections() {
    return accepted;
}

void Server::watchConnection(SoupServer* soup, SoupServerMessage* message, gpointer data) {
    auto& server = *static_cast<Server*>(data);
    GSocket* socket = clientSocket(message);
    if (!socket) return;
    g_signal_connect(message, "got-headers", G_CALLBACK(checkHead), data);
    // Heads on the inner listener come through tunnels whose CONNECT showed
    // the credentials: the outer listener's alone are timed.
    if (soup == server.outer_) {
        g_object_set_data_full(G_OBJECT(message), kHeadKey, new HeadWatch(socket),
                               [](gpointer watch) { delete static_cast<HeadWatch*>(watch); });
    }
    // libsoup starts a message as it accepts a connection, and the next one
    // once the previous answer is out.
    if (g_object_get_data(G_OBJECT(socket), kSeenKey)) return;
    g_object_set_data(G_OBJECT(socket), kSeenKey, GINT_TO_POINTER(1));
    ++accepted;
    if (soup == server.inner_) {
        if (server.destinationOf(message)) return;
        // Nobody's but a pump's, and no pump is connecting.
        if (server.pendingPumps_ == 0) return breakOff(socket);
    }
    // libsoup closes a connection whose client has gone, yet may keep its
    // socket a while.
    for (auto held = server.unadmitted_.begin(); held != server.unadmitted_.end();) {
        if (!g_socket_is_closed(*held)) {
            ++held;
            continue;
        }
        g_object_weak_unref(G_OBJECT(*held), forgetConnection, &server.unadmitted_);
        held = server.unadmitted_.erase(held);
    }
    if (server.unadmitted_.size() >= kMostUnadmittedConnections) return breakOff(socket);
    server.unadmitted_.insert(socket);
    g_object_weak_ref(G_OBJECT(socket), forgetConnection, &server.unadmitted_);
}

void Server::admit(GSocket* socket) {
    if (unadmitted_.erase(socket) > 0)
        g_object_weak_unref(G_OBJECT(socket), forgetConnection, &unadmitted_);
}

void Server::checkHead(SoupServerMessage* message, gpointer data) {
    g_object_set_data(G_OBJECT(message), kHeadKey, nullptr);
    const auto& server = *static_cast<Server*>(data);
    if (!carriesHopMark(soup_server_message_get_request_headers(message), server.credentials_.via))
        return;
    // Whatever libsoup made of it (a challenge, say), it goes no further.
    SoupMessageHeaders* response = soup_server_message_get_response_headers(message);
    soup_message_headers_remove(response, "Proxy-Authenticate");
    soup_server_message_set_status(message, kLoopDetected, "Loop Detected");
    soup_message_headers_replace(response, "Connection", "close");
}

void Server::requestStarted(SoupServer*, SoupServerMessage* message, gpointer data) {
    if (GSocket* socket = clientSocket(message)) {
        (void)g_socket_set_option(socket, IPPROTO_TCP, TCP_NODELAY, 1, nullptr);
        g_socket_set_timeout(socket, clientIdleSeconds());
    }
    g_object_set_data_full(G_OBJECT(message), kBodyKey, new RequestBody,
                           [](gpointer body) { delete static_cast<RequestBody*>(body); });
    g_signal_connect(message, "got-headers", G_CALLBACK(gotHeaders), data);
    g_signal_connect(message, "got-chunk", G_CALLBACK(gotChunk), data);
}

// After libsoup's own look at the fields (authentication among them).
void Server::gotHeaders(SoupServerMessage* message, gpointer) {
    SoupMessageHeaders* response = soup_server_message_get_response_headers(message);
    const guint status = soup_server_message_get_status(message);
    if (status == SOUP_STATUS_PROXY_AUTHENTICATION_REQUIRED) {
        // libsoup closes the connection after a challenge to an upgrade, or
        // to a request whose body it did not read, without saying so, and
        // a client that sends its credentials on it loses them: saying so
        // sends them on a new connection. Other challenges keep it open.
        SoupMessageHeaders* request = soup_server_message_get_request_headers(message);
        if (soup_message_headers_get_one(request, "Upgrade") ||
            soup_message_headers_get_encoding(request) != SOUP_ENCODING_NONE)
            soup_message_headers_replace(response, "Connection", "close");
        return;
    }
    // The body, when it is read at all, is gathered in pieces here.
    soup_message_body_set_accumulate(soup_server_message_get_request_body(message), FALSE);
    if (status != 0) return;
    RequestBody* body = RequestBody::of(message);
    SoupMessageHeaders* request = soup_server_message_get_request_headers(message);
    const SoupEncoding encoding = soup_message_headers_get_encoding(request);
    if (!body || (encoding != SOUP_ENCODING_CONTENT_LENGTH && encoding != SOUP_ENCODING_CHUNKED))
        return;
    if (encoding == SOUP_ENCODING_CONTENT_LENGTH) {
        const goffset length = soup_message_headers_get_content_length(request);
        if (length == 0) return;
        if (length > kMostRequestBodyBytes)
            return refuseBeforeBody(message, SOUP_STATUS_REQUEST_ENTITY_TOO_LARGE);
        // All of it at once: the body is gathered in place.
        if (!body->share.grow(length))
            return refuseBeforeBody(message, SOUP_STATUS_SERVICE_UNAVAILABLE);
        body->bytes.reserve(size_t(length));
    }
    body->lastPiece = core::Clock::current()->monotonicSeconds();
    body->deadline = core::Timer::schedule(
        core::RunLoop::current(), kBodyIdleSeconds, false, [message, body](core::Timer& timer) {
            const double stalled = core::Clock::current()->monotonicSeconds() - body->lastPiece;
            if (stalled < kBodyIdleSeconds) {
                timer.setFireDate(body->lastPiece + kBodyIdleSeconds);
                return;
            }
            // libsoup fails its read and lets the message go.
            breakOff(clientSocket(message));
        });
    g_signal_connect(message, "got-body", G_CALLBACK(+[](SoupServerMessage* message, gpointer) {
                         if (RequestBody* body = RequestBody::of(message); body && body->deadline)
                             body->deadline->invalidate();
                     }),
                     nullptr);
}

void Server::gotChunk(SoupServerMessage* message, GBytes* chunk, gpointer) {
    RequestBody* body = RequestBody::of(message);
    if (!body) return;
    body->lastPiece = core::Clock::current()->monotonicSeconds();
    if (body->refused) return;
    gsize size = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(g_bytes_get_data(chunk, &size));
    const size_t needed = body->bytes.size() + size;
    unsigned refusal = 0;
    if (std::int64_t(needed) > kMostRequestBodyBytes) {
        refusal = SOUP_STATUS_REQUEST_ENTITY_TOO_LARGE;
    } else if (needed > body->bytes.capacity()) {
        // A body of unknown length: its share grows with what it holds.
        const size_t capacity =
            std::max(needed, std::min(body->bytes.capacity() * 2, size_t(kMostRequestBodyBytes)));
        if (body->share.grow(std::int64_t(capacity - body->bytes.capacity())))
            body->bytes.reserve(capacity);
        else
            refusal = SOUP_STATUS_SERVICE_UNAVAILABLE;
    }
    if (refusal != 0) {
        // Answered once the rest of the body has been read and dropped.
        body->refused = true;
        core::Data().swap(body->bytes);
        body->share = {};
        refuse(message, refusal);
        return;
    }
    body->bytes.insert(body->bytes.end(), bytes, bytes + size);
}

void Server::refuseBeforeBody(SoupServerMessage* message, unsigned status) {
    if (RequestBody* body = RequestBody::of(message)) body->refused = true;
    refuse(message, status);
    // libsoup goes on to read the body once this returns: it is held there
    // and the connection taken from it, from the loop, outside its reading.
    soup_server_message_pause(message);
    g_object_ref(message);
    GSource* later = g_idle_source_new();
    g_source_set_callback(
        later,
        [](gpointer data) -> gboolean {
            auto* message = static_cast<SoupServerMessage*>(data);
            auto* lingering = new Lingering;
            if (GSocket* socket = clientSocket(message))
                lingering->socket = G_SOCKET(g_object_ref(socket));
            const std::string answer =
                "HTTP/1.1 " + std::to_string(soup_server_message_get_status(message)) + " " +
                soup_status_get_phrase(soup_server_message_get_status(message)) +
                "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            lingering->stream = soup_server_message_steal_connection(message);
            g_object_unref(message);
            if (!lingering->stream || !lingering->socket) {
                delete lingering;
                return G_SOURCE_REMOVE;
            }
            (void)g_output_stream_write_all(g_io_stream_get_output_stream(lingering->stream),
                                            answer.data(), answer.size(), nullptr, nullptr,
                                            nullptr);
            (void)g_socket_shutdown(lingering->socket, FALSE, TRUE, nullptr);
            lingering->source = g_socket_create_source(
                lingering->socket, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), nullptr);
            g_source_set_callback(lingering->source, G_SOURCE_FUNC(drain), lingering, nullptr);
            g_source_attach(lingering->source, g_main_context_get_thread_default());
            lingering->limit =
                core::Timer::schedule(core::RunLoop::current(), kLingerSeconds, false,
                                      [lingering](core::Timer&) { delete lingering; });
            return G_SOURCE_REMOVE;
        },
        message, nullptr);
    g_source_attach(later, g_main_context_get_thread_default());
    g_source_unref(later);
}

void Server::refuse(SoupServerMessage* message, unsigned status) {
    soup_server_message_set_status(message, status, nullptr);
    soup_message_headers_replace(soup_server_message_get_response_headers(message), "Connection",
                                 "close");
}

bool Server::isOwnAddress(std::string_view host, int port) const {
    if (port != port_ && port != innerPort_) return false;
    const std::string name = core::asciiLowercased(host);
    return name == "127.0.0.1" || name == "localhost" || name == "localhost." || name == "::1" ||
           name == "0.0.0.0" || name == "::";
}

std::optional<Target> Server::targetOf(SoupServerMessage* message, bool inner) const {
    GUri* uri = soup_server_message_get_uri(message);
    if (!uri) return std::nullopt;
    std::string host;
    int port = 0;
    bool secure = true;
    if (inner) {
        const Destination* destination = destinationOf(message);
        if (!destination) return std::nullopt;
        host = destination->host;
        port = destination->port;
    } else {
        const std::string scheme = core::asciiLowercased(g_uri_get_scheme(uri));
        if (scheme == "http" || scheme == "ws") {
            secure = false;
        } else if (scheme != "https" && scheme != "wss") {
            return std::nullopt;
        }
        const char* named = g_uri_get_host(uri);
        if (!named || !*named) return std::nullopt;
        host = named;
        port = g_uri_get_port(uri) > 0 ? g_uri_get_port(uri) : secure ? 443 : 80;
    }
    std::string text = secure ? "https://" : "http://";
    text += host.find(':') == std::string::npos ? host : "[" + host + "]";
    if (port != (secure ? 443 : 80)) text += ":" + std::to_string(port);
    const char* path = g_uri_get_path(uri);
    text += path && *path ? path : "/";
    if (const char* query = g_uri_get_query(uri)) {
        text += '?';
        text += query;
    }
    auto url = core::URL::create(text);
    if (!url) return std::nullopt;
    return Target{std::move(*url), std::move(host), port, secure};
}

void Server::handle(SoupServerMessage* message, bool inner) {
    // Answered already: a challenge, or a body over the bound.
    if (soup_server_message_get_status(message) != 0) return;
    const std::string method = soup_server_message_get_method(message);
    if (method == "CONNECT") {
        GUri* uri = soup_server_message_get_uri(message);
        const char* host = uri ? g_uri_get_host(uri) : nullptr;
        if (inner || !host || !*host) {
            refuse(message, inner ? SOUP_STATUS_METHOD_NOT_ALLOWED : SOUP_STATUS_BAD_REQUEST);
        } else if (const int port = g_uri_get_port(uri) > 0 ? g_uri_get_port(uri) : 443;
                   isOwnAddress(host, port)) {
            refuse(message, SOUP_STATUS_FORBIDDEN);
        } else {
            openTunnel(message, host, port);
        }
        return;
    }
    // The inner listener serves the proxy's own pumps alone.
    if (inner && !destinationOf(message)) return refuse(message, SOUP_STATUS_FORBIDDEN);
    if (inner) admit(clientSocket(message));
    auto target = targetOf(message, inner);
    if (!target) return refuse(message, SOUP_STATUS_BAD_REQUEST);
    if (isOwnAddress(target->host, target->port)) return refuse(message, SOUP_STATUS_FORBIDDEN);
    // Let through without credentials: it goes on as a preflight and nothing
    // else.
    if (!inner && isPreflight(message)) return Preflight::start(*this, message, *target);
    if (isWebSocketUpgrade(message)) return WebSocketPass::start(*this, message, *target);
    RequestBody* gathered = RequestBody::of(message);
    if (gathered && gathered->deadline) gathered->deadline->invalidate();
    core::Data body = gathered ? std::move(gathered->bytes) : core::Data();
    BodyBudget::Share share = gathered ? std::move(gathered->share) : BodyBudget::Share();
    if (SoupMessageBody* read = soup_server_message_get_request_body(message);
        body.empty() && read->length > 0) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(read->data);
        if (bytes) body.assign(bytes, bytes + read->length);
    }
    auto request = onwardRequest(message, *target, pageMarks_, std::move(body));
    if (!request) return refuse(message, SOUP_STATUS_BAD_REQUEST);
    markHop(*request, credentials_.via);
    if (isDocumentRequest(*request))
        EngineProxy::noteDocument(request->property(protocol::kPageIdProperty)->uintValue(),
                                  request->url().absoluteString(),
                                  EngineProxy::DocumentStage::received);
    Exchange::start(*this, message, std::move(*request), std::move(share));
}

void Server::openTunnel(SoupServerMessage* message, const std::string& host, int port) {
    const auto identity = authority_->identityFor(host);
    if (!identity) return refuse(message, SOUP_STATUS_BAD_REQUEST);
    const std::string pem = identity->certificatePEM + identity->keyPEM;
    GTlsCertificate* certificate =
        g_tls_certificate_new_from_pem(pem.c_str(), gssize(pem.size()), nullptr);
    GSocket* socket = clientSocket(message);
    if (!certificate || !socket || tunnels_.size() >= kMostTunnels) {
        g_clear_object(&certificate);
        return refuse(message, certificate && socket ? SOUP_STATUS_SERVICE_UNAVAILABLE
                                                     : SOUP_STATUS_INTERNAL_SERVER_ERROR);
    }
    auto* tunnel = new Tunnel{this, Destination{host, port}, certificate,
                              G_SOCKET(g_object_ref(socket))};
    soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
    g_signal_connect_data(
        message, "wrote-headers", G_CALLBACK(+[](SoupServerMessage* message, gpointer data) {
            auto* tunnel = static_cast<Tunnel*>(data);
            GIOStream* stream = soup_server_message_steal_connection(message);
            if (stream) tunnel->server->handshake(tunnel, stream);
            g_signal_handlers_disconnect_by_data(message, data);
        }),
        tunnel, [](gpointer data, GClosure*) { delete static_cast<Tunnel*>(data); },
        GConnectFlags(0));
}

void Server::handshake(Tunnel* connect, GIOStream* stream) {
    // The tunnel outlives the CONNECT message's handler.
    auto* tunnel = new Tunnel{this, connect->destination,
                              G_TLS_CERTIFICATE(g_object_ref(connect->certificate)),
                              G_SOCKET(g_object_ref(connect->socket))};
    // No database: the proxy asks for no client certificate, and a
    // connection left to the backend's default one is given a copy of all
    // the system's authorities, megabytes for each tunnel.
    auto* tls = static_cast<GIOStream*>(g_initable_new(
        g_tls_backend_get_server_connection_type(g_tls_backend_get_default()), nullptr, nullptr,
        "base-io-stream", stream, "certificate", tunnel->certificate, "database", nullptr,
        nullptr));
    g_object_unref(stream);
    if (!tls) {
        breakOff(tunnel->socket);
        delete tunnel;
        return;
    }
    tunnel->cancellable = g_cancellable_new();
    tunnel->deadline = core::Timer::schedule(
        core::RunLoop::current(), kHandshakeSeconds, false,
        [cancellable = tunnel->cancellable](core::Timer&) { g_cancellable_cancel(cancellable); });
    g_tls_connection_handshake_async(
        G_TLS_CONNECTION(tls), G_PRIORITY_DEFAULT, tunnel->cancellable,
        [](GObject* tls, GAsyncResult* result, gpointer data) {
            auto* tunnel = static_cast<Tunnel*>(data);
            if (g_tls_connection_handshake_finish(G_TLS_CONNECTION(tls), result, nullptr)) {
                tunnel->server->pump(tunnel, G_IO_STREAM(tls));
                return;
            }
            // Quietly: no alert, no waiting for a client that stalls.
            breakOff(tunnel->socket);
            g_object_unref(tls);
            delete tunnel;
        },
        tunnel);
}

void Server::pump(Tunnel* tunnel, GIOStream* tls) {
    if (tunnel->deadline) tunnel->deadline->invalidate();
    GSocketClient* client = g_socket_client_new();
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* inner = g_inet_socket_address_new(loopback, guint16(innerPort_));
    g_object_unref(loopback);
    struct Pending {
        Tunnel* tunnel;
        GIOStream* tls;
    };
    ++pendingPumps_;
    g_socket_client_connect_async(
        client, G_SOCKET_CONNECTABLE(inner), nullptr,
        [](GObject* client, GAsyncResult* result, gpointer data) {
            auto* pending = static_cast<Pending*>(data);
            Tunnel* tunnel = pending->tunnel;
            Server& server = *tunnel->server;
            --server.pendingPumps_;
            GSocketConnection* connection =
                g_socket_client_connect_finish(G_SOCKET_CLIENT(client), result, nullptr);
            GSocketAddress* local =
                connection ? g_socket_connection_get_local_address(connection, nullptr) : nullptr;
            if (!local) {
                breakOff(tunnel->socket);
                g_object_unref(pending->tls);
                g_clear_object(&connection);
                delete tunnel;
                delete pending;
                return;
            }
            const int port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(local));
            g_object_unref(local);
            GSocket* socket = g_socket_connection_get_socket(connection);
            (void)g_socket_set_option(socket, IPPROTO_TCP, TCP_NODELAY, 1, nullptr);
            // Known before a byte of it reaches the inner listener.
            server.tunnels_[port] = tunnel->destination;
            // The tunnel lasts as long as what it carries: the inner
            // listener times that connection, while the client's own
            // time-out would cut an answer the client reads slowly.
            g_socket_set_timeout(tunnel->socket, 0);
            struct Pumping {
                Server* server;
                int port;
            };
            g_io_stream_splice_async(
                pending->tls, G_IO_STREAM(connection),
                GIOStreamSpliceFlags(G_IO_STREAM_SPLICE_CLOSE_STREAM1 |
                                     G_IO_STREAM_SPLICE_CLOSE_STREAM2),
                G_PRIORITY_DEFAULT, nullptr,
                [](GObject*, GAsyncResult* result, gpointer data) {
                    auto* pumping = static_cast<Pumping*>(data);
                    (void)g_io_stream_splice_finish(result, nullptr);
                    pumping->server->tunnels_.erase(pumping->port);
                    delete pumping;
                },
                new Pumping{&server, port});
            g_object_unref(pending->tls);
            g_object_unref(connection);
            delete tunnel;
            delete pending;
        },
        new Pending{tunnel, tls});
    g_object_unref(inner);
    g_object_unref(client);
}

}  // namespace web::proxy
