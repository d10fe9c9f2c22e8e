#include "web/proxy/ProxyWebSocket.h"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ASCII.h"
#include "core/Clock.h"
#include "core/HTTPResponseHead.h"
#include "core/HostRoutes.h"
#include "core/OffMachineRequests.h"
#include "core/RunLoop.h"
#include "core/SocketAddresses.h"
#include "core/Timer.h"
#include "web/TrustedAuthorities.h"
#include "web/WebProcessProtocol.h"
#include "web/proxy/ProxyMessages.h"

namespace web::proxy {

namespace {

// The request head as the origin gets it: as the engine wrote it, but for
// the page mark and what was meant for the proxy.
std::string requestHead(const RequestHead& head, const Target& target) {
    // The target in origin form, exactly as written.
    const std::string& url = target.url.absoluteString();
    const size_t authority = url.find("//");
    const size_t path = url.find_first_of("/?", authority + 2);
    std::string text = head.method + " ";
    text += path == std::string::npos ? "/" : url.substr(path);
    if (text.back() == ' ') text += '/';
    text += " HTTP/1.1\r\n";
    core::HTTPHeaders fields;
    for (const auto& [name, value] : head.fields) {
        if (!core::HTTPHeaders::sameName(name, protocol::kPageHeader) &&
            !core::HTTPHeaders::sameName(name, "Proxy-Authorization") &&
            !core::HTTPHeaders::sameName(name, "Proxy-Connection"))
            fields.add(name, value);
    }
    appendFields(text, fields);
    text += "\r\n";
    return text;
}

// The status of "HTTP/1.1 101 Switching Protocols", read as the engine
// reads it; 0 when it is none.
int statusOf(std::string_view line, std::optional<std::string>& reason) {
    const auto parsed = core::HTTPResponseHead::parseStatusLine(line);
    if (!parsed) return 0;
    reason = parsed->reasonPhrase.value_or("");
    return parsed->status;
}

// The lines of a head, each without its line end.
std::vector<std::string_view> linesOf(std::string_view head) {
    std::vector<std::string_view> lines;
    while (!head.empty()) {
        const size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (!line.empty()) lines.push_back(line);
        if (end == std::string_view::npos) break;
        head.remove_prefix(end + 1);
    }
    return lines;
}

// The end of the head at the start of bytes (after its blank line), or npos.
size_t headEnd(std::string_view bytes) {
    for (size_t at = bytes.find('\n'); at != std::string_view::npos;
         at = bytes.find('\n', at + 1)) {
        if (bytes.substr(at + 1).starts_with("\r\n")) return at + 3;
        if (bytes.substr(at + 1).starts_with("\n")) return at + 2;
    }
    return std::string_view::npos;
}

// An answer other than 101, as the client gets it: the origin's status line
// and fields but the hop-by-hop ones (its framing kept, as its body follows
// as it came), and the connection's end.
std::string answerOtherThanUpgrade(std::string_view head) {
    const auto lines = linesOf(head);
    std::optional<std::string> reason;
    int status = statusOf(lines.front(), reason);
    core::HTTPHeaders fields;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t colon = lines[i].find(':');
        if (colon == std::string_view::npos || colon == 0) continue;
        std::string_view value = lines[i].substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        fields.add(std::string(lines[i].substr(0, colon)), std::string(value));
    }
    const auto listed = connectionTokens(fields);
    core::HTTPHeaders kept;
    for (const auto& [name, value] : fields) {
        const std::string lower = core::asciiLowercased(name);
        const bool framing = lower == "content-length" || lower == "transfer-encoding";
        if (framing || !isHopByHop(name, listed)) kept.add(name, value);
    }
    kept.add("Connection", "close");
    if (status == 407) {
        status = 502;
        reason.reset();
    }
    return answerHead(status, reason, kept);
}

core::NetworkError::Code codeOf(const GError* error, bool timedOut) {
    using Code = core::NetworkError::Code;
    if (timedOut || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) return Code::timedOut;
    if (error && error->domain == G_TLS_ERROR) return Code::secureConnectionFailed;
    if (g_error_matches(error, G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND) ||
        g_error_matches(error, G_RESOLVER_ERROR, G_RESOLVER_ERROR_TEMPORARY_FAILURE))
        return Code::cannotFindHost;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_HOST_UNREACHABLE) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE))
        return Code::cannotConnectToHost;
    return Code::networkConnectionLost;
}

// Closes stream on this thread, at once: its socket is shut first, so that
// nothing (a TLS alert) waits for the peer.
void closeNow(GIOStream*& stream, GSocket* socket) {
    if (!stream) return;
    if (socket && !g_socket_is_closed(socket)) (void)g_socket_shutdown(socket, TRUE, TRUE, nullptr);
    (void)g_io_stream_close(stream, nullptr, nullptr);
    g_clear_object(&stream);
}

}  // namespace

struct WebSocketPass::Pass final : Connection::Request, std::enable_shared_from_this<Pass> {
    // One way of the relay: what is read from one end is written to the
    // other, or dropped.
    struct Way {
        Pass* pass = nullptr;
        GInputStream* from = nullptr;
        GOutputStream* to = nullptr;
        bool drops = false;
        std::array<char, 16 * 1024> buffer{};
    };

    Server& server;
    std::shared_ptr<Connection> client;
    Target target;
    std::string head;
    GCancellable* cancellable = g_cancellable_new();
    std::shared_ptr<core::Timer> deadline;
    bool timedOut = false;
    bool abandoned = false;
    // The port connected to, and where the host's name led, tried in order.
    int port = 0;
    std::vector<GSocketAddress*> addresses;
    size_t nextAddress = 0;
    GSocketConnection* connection = nullptr;  // to the origin
    bool originCounted = false;
    GIOStream* origin = nullptr;  // the connection, or TLS over it
    // The origin's answer as read so far.
    std::string answer;
    std::array<char, 16 * 1024> buffer{};
    // The relay.
    GIOStream* clientStream = nullptr;
    GSocket* clientSocket = nullptr;
    bool clientCounted = false;
    std::string first;     // to the client before the relay
    std::string toOrigin;  // what the client sent after its head
    // An answer other than 101: how much of its body is still to come
    // (by its length, or its chunks; to the origin's close when neither),
    // and whether all of it went.
    std::int64_t answerLeft = -1;
    bool answerChunked = false;
    ChunkedReader answerChunks;
    bool answerDone = false;
    Way up;
    Way down;
    int pending = 0;  // reads and writes under way
    bool ending = false;
    std::shared_ptr<core::Timer> idle;
    std::shared_ptr<core::Clock> clock;
    double lastActivity = 0;

    Pass(Server& server, std::shared_ptr<Connection> client, Target target)
        : server(server), client(std::move(client)), target(std::move(target)) {}
    ~Pass() override {
        if (deadline) deadline->invalidate();
        if (idle) idle->invalidate();
        g_object_unref(cancellable);
        for (GSocketAddress* address : addresses) g_object_unref(address);
        closeNow(origin, connection ? g_socket_connection_get_socket(connection) : nullptr);
        closeNow(clientStream, clientSocket);
        g_clear_object(&clientSocket);
        g_clear_object(&connection);
        if (originCounted) server.descriptorClosed();
        if (clientCounted) server.descriptorClosed();
    }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    // The client went while the origin was being reached.
    void hungUp() override {
        abandoned = true;
        client.reset();
        g_cancellable_cancel(cancellable);
    }

    void fail(const core::NetworkError& error) {
        if (client) answerFailure(*client, error);
        client.reset();
        (void)server.release(this);
    }
    void fail(const GError* error) {
        if (abandoned) {
            (void)server.release(this);
            return;
        }
        const std::string url = target.url.absoluteString();
        fail(core::NetworkError::make(
            codeOf(error, timedOut), url,
            "WebSocket to " + url + " failed: " + (error ? error->message : "unknown error")));
    }

    static void resolved(GObject* resolver, GAsyncResult* result, gpointer data);
    void connectNext();
    static void connected(GObject* client, GAsyncResult* result, gpointer data);
    static void handshaken(GObject* tls, GAsyncResult* result, gpointer data);
    static void written(GObject* stream, GAsyncResult* result, gpointer data);
    static gboolean acceptCertificate(GTlsConnection* tls, GTlsCertificate* certificate,
                                      GTlsCertificateFlags errors, gpointer data);
    void readAnswer();
    static void answerRead(GObject* stream, GAsyncResult* result, gpointer data);
    void originAnswered(size_t end);

    void relay(bool upgraded);
    // How many of bytes, of the body of an answer other than 101, belong
    // to it; answerDone once its end is among them.
    size_t answerBytes(std::string_view bytes);
    static void firstWritten(GObject* stream, GAsyncResult* result, gpointer data);
    void startWays();
    void read(Way& way);
    static void wasRead(GObject* stream, GAsyncResult* result, gpointer data);
    static void wasWritten(GObject* stream, GAsyncResult* result, gpointer data);
    void touch();
    [[nodiscard]] double idleSeconds();
    // Ends the relay; the pass goes once nothing of it is under way.
    void end();
};

void WebSocketPass::start(Server& server, const std::shared_ptr<Connection>& client,
                          const RequestHead& head, const Target& target) {
    auto pass = std::make_shared<Pass>(server, client, target);
    server.keep(pass);
    client->serve(pass);
    pass->head = requestHead(head, target);
    core::OffMachineRequests::note(target.url);
    pass->deadline = core::Timer::schedule(core::RunLoop::current(), kConnectSeconds, false,
                                           [weak = std::weak_ptr<Pass>(pass)](core::Timer&) {
                                               if (const auto pass = weak.lock()) {
                                                   pass->timedOut = true;
                                                   g_cancellable_cancel(pass->cancellable);
                                               }
                                           });

    std::string host = target.host;
    int port = target.port;
    if (const auto route = core::HostRoutes::find(target.host, target.port)) {
        host = route->toHost;
        port = route->toPort;
    }
    // Where the name leads is known before anything connects: a name can
    // mean the proxy itself under any form.
    pass->port = port;
    GResolver* resolver = g_resolver_get_default();
    g_resolver_lookup_by_name_async(resolver, host.c_str(), pass->cancellable, Pass::resolved,
                                    pass.get());
    g_object_unref(resolver);
}

void WebSocketPass::Pass::resolved(GObject* resolver, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    GError* error = nullptr;
    GList* found = g_resolver_lookup_by_name_finish(G_RESOLVER(resolver), result, &error);
    if (!found) {
        pass->fail(error);
        g_clear_error(&error);
        return;
    }
    const std::vector<int> own = pass->server.ownPorts();
    std::optional<std::string> refused;
    for (GList* item = found; item; item = item->next) {
        GSocketAddress* address =
            g_inet_socket_address_new(G_INET_ADDRESS(item->data), guint16(pass->port));
        pass->addresses.push_back(address);
        sockaddr_storage native{};
        if (!g_socket_address_to_native(address, &native, sizeof native, nullptr)) continue;
        const auto* target = reinterpret_cast<const sockaddr*>(&native);
        if (core::isLoopbackOrUnspecified(target) &&
            std::find(own.begin(), own.end(), core::portOf(target)) != own.end())
            refused = core::describeAddress(target);
    }
    g_resolver_free_addresses(found);
    if (pass->abandoned) return pass->fail(static_cast<GError*>(nullptr));
    if (refused) {
        const std::string url = pass->target.url.absoluteString();
        pass->fail(core::NetworkError::make(core::NetworkError::Code::cannotConnectToHost, url,
                                            "WebSocket to " + url + " refused: " + *refused +
                                                " is the proxy's own"));
        return;
    }
    pass->connectNext();
}

void WebSocketPass::Pass::connectNext() {
    GSocketClient* socketClient = g_socket_client_new();
    // The address is the destination: no proxy of the environment's between.
    g_socket_client_set_enable_proxy(socketClient, FALSE);
    g_socket_client_connect_async(socketClient, G_SOCKET_CONNECTABLE(addresses[nextAddress++]),
                                  cancellable, connected, this);
    g_object_unref(socketClient);
}

void WebSocketPass::Pass::connected(GObject* client, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    GError* error = nullptr;
    pass->connection = g_socket_client_connect_finish(G_SOCKET_CLIENT(client), result, &error);
    if (!pass->connection) {
        if (pass->nextAddress < pass->addresses.size() &&
            !g_cancellable_is_cancelled(pass->cancellable)) {
            g_clear_error(&error);
            pass->connectNext();
            return;
        }
        pass->fail(error);
        g_clear_error(&error);
        return;
    }
    pass->originCounted = true;
    pass->server.descriptorOpened();
    if (!pass->target.secure) {
        pass->origin = G_IO_STREAM(g_object_ref(pass->connection));
        g_output_stream_write_all_async(g_io_stream_get_output_stream(pass->origin),
                                        pass->head.data(), pass->head.size(), G_PRIORITY_DEFAULT,
                                        pass->cancellable, written, pass);
        return;
    }
    GSocketConnectable* identity =
        g_network_address_new(pass->target.host.c_str(), guint16(pass->target.port));
    GIOStream* tls = g_tls_client_connection_new(G_IO_STREAM(pass->connection), identity, &error);
    g_object_unref(identity);
    if (!tls) {
        pass->fail(error);
        g_clear_error(&error);
        return;
    }
    pass->origin = tls;
    g_signal_connect(tls, "accept-certificate", G_CALLBACK(acceptCertificate), pass);
    g_tls_connection_handshake_async(G_TLS_CONNECTION(tls), G_PRIORITY_DEFAULT, pass->cancellable,
                                     handshaken, pass);
}

gboolean WebSocketPass::Pass::acceptCertificate(GTlsConnection*, GTlsCertificate* certificate,
                                                GTlsCertificateFlags, gpointer data) {
    const auto* pass = static_cast<Pass*>(data);
    return TrustedAuthorities::vouchFor(certificate, pass->target.host, pass->target.port);
}

void WebSocketPass::Pass::handshaken(GObject* tls, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    g_signal_handlers_disconnect_by_data(tls, pass);
    GError* error = nullptr;
    if (!g_tls_connection_handshake_finish(G_TLS_CONNECTION(tls), result, &error)) {
        pass->fail(error);
        g_clear_error(&error);
        return;
    }
    g_output_stream_write_all_async(g_io_stream_get_output_stream(pass->origin), pass->head.data(),
                                    pass->head.size(), G_PRIORITY_DEFAULT, pass->cancellable,
                                    written, pass);
}

void WebSocketPass::Pass::written(GObject* stream, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    GError* error = nullptr;
    if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(stream), result, nullptr, &error)) {
        pass->fail(error);
        g_clear_error(&error);
        return;
    }
    pass->readAnswer();
}

void WebSocketPass::Pass::readAnswer() {
    g_input_stream_read_async(g_io_stream_get_input_stream(origin), buffer.data(), buffer.size(),
                              G_PRIORITY_DEFAULT, cancellable, answerRead, this);
}

void WebSocketPass::Pass::answerRead(GObject* stream, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    GError* error = nullptr;
    const gssize count = g_input_stream_read_finish(G_INPUT_STREAM(stream), result, &error);
    if (count <= 0) {
        if (!error) {
            const std::string url = pass->target.url.absoluteString();
            pass->fail(core::NetworkError::make(core::NetworkError::Code::networkConnectionLost,
                                                url,
                                                "WebSocket to " + url + " failed: the origin "
                                                                        "closed before it answered"));
        } else {
            pass->fail(error);
        }
        g_clear_error(&error);
        return;
    }
    pass->answer.append(pass->buffer.data(), size_t(count));
    while (true) {
        const size_t end = headEnd(pass->answer);
        if (end == std::string::npos) break;
        std::optional<std::string> reason;
        const int status = statusOf(pass->answer.substr(0, pass->answer.find('\n')), reason);
        if (status >= 100 && status < 200 && status != 101) {
            // An interim answer: the one that counts follows.
            pass->answer.erase(0, end);
            continue;
        }
        if (status == 0) {
            const std::string url = pass->target.url.absoluteString();
            pass->fail(core::NetworkError::make(
                core::NetworkError::Code::badServerResponse, url,
                "WebSocket to " + url + " failed: the origin's answer is no HTTP"));
            return;
        }
        pass->originAnswered(end);
        return;
    }
    if (pass->answer.size() > kMostAnswerHeadBytes) {
        const std::string url = pass->target.url.absoluteString();
        pass->fail(core::NetworkError::make(
            core::NetworkError::Code::badServerResponse, url,
            "WebSocket to " + url + " failed: the origin's answer head is too large"));
        return;
    }
    pass->readAnswer();
}

void WebSocketPass::Pass::originAnswered(size_t end) {
    std::optional<std::string> reason;
    const int status = statusOf(answer.substr(0, answer.find('\n')), reason);
    const bool upgraded = status == 101;
    if (upgraded) {
        // The origin's 101 goes as it came.
        first = std::move(answer);
    } else {
        // Any other answer as the origin's answer to this request alone.
        const std::string_view head = std::string_view(answer).substr(0, end);
        for (const std::string_view line : linesOf(head)) {
            const size_t colon = line.find(':');
            if (colon == std::string_view::npos) continue;
            const std::string name = core::asciiLowercased(line.substr(0, colon));
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
            if (name == "transfer-encoding") answerChunked = true;
            if (name == "content-length") {
                std::int64_t length = -1;
                std::from_chars(value.data(), value.data() + value.size(), length);
                answerLeft = length;
            }
        }
        if (status == 204 || status == 304) answerLeft = 0;
        if (answerChunked) answerLeft = -1;
        const std::string body = answer.substr(end);
        first = answerOtherThanUpgrade(head) + body.substr(0, answerBytes(body));
    }
    answer.clear();
    relay(upgraded);
}

size_t WebSocketPass::Pass::answerBytes(std::string_view bytes) {
    if (answerDone) return 0;
    if (answerChunked) {
        std::string ignored;
        size_t consumed = 0;
        const auto state = answerChunks.feed(bytes, ignored, consumed);
        answerDone = state != ChunkedReader::State::reading;
        return consumed;
    }
    if (answerLeft < 0) return bytes.size();
    const size_t taken = size_t(std::min<std::int64_t>(answerLeft, std::int64_t(bytes.size())));
    answerLeft -= std::int64_t(taken);
    answerDone = answerLeft == 0;
    return taken;
}

void WebSocketPass::Pass::relay(bool upgraded) {
    if (!client) return fail(static_cast<GError*>(nullptr));
    // From here on the two ends talk to each other as long as they like, but
    // for kIdleSeconds of silence.
    deadline->invalidate();
    deadline.reset();
    Connection::Taken taken = client->take();
    client.reset();
    clientStream = taken.stream;
    clientSocket = taken.socket;
    clientCounted = true;
    server.descriptorOpened();
    toOrigin = upgraded ? std::move(taken.buffered) : std::string();
    GSocket* originSocket = g_socket_connection_get_socket(connection);
    g_socket_set_timeout(originSocket, 0);
    g_socket_set_keepalive(originSocket, TRUE);
    up = {this, g_io_stream_get_input_stream(clientStream), g_io_stream_get_output_stream(origin),
          !upgraded};
    down = {this, g_io_stream_get_input_stream(origin), g_io_stream_get_output_stream(clientStream),
            false};
    touch();
    idle = core::Timer::schedule(core::RunLoop::current(), kIdleSeconds, false,
                                 [weak = std::weak_ptr<Pass>(shared_from_this())](
                                     core::Timer& timer) {
                                     const auto pass = weak.lock();
                                     if (!pass) return;
                                     if (const double idled = pass->idleSeconds();
                                         idled < kIdleSeconds)
                                         timer.setFireDate(pass->clock->monotonicSeconds() +
                                                           (kIdleSeconds - idled));
                                     else
                                         pass->end();
                                 });
    ++pending;
    g_output_stream_write_all_async(down.to, first.data(), first.size(), G_PRIORITY_DEFAULT,
                                    cancellable, firstWritten, this);
}

void WebSocketPass::Pass::firstWritten(GObject* stream, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    --pass->pending;
    if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(stream), result, nullptr, nullptr) ||
        pass->ending)
        return pass->end();
    pass->first.clear();
    if (pass->answerDone) return pass->end();
    if (!pass->toOrigin.empty()) {
        ++pass->pending;
        g_output_stream_write_all_async(
            pass->up.to, pass->toOrigin.data(), pass->toOrigin.size(), G_PRIORITY_DEFAULT,
            pass->cancellable,
            [](GObject* stream, GAsyncResult* result, gpointer data) {
                auto* pass = static_cast<Pass*>(data);
                --pass->pending;
                if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(stream), result, nullptr,
                                                      nullptr) ||
                    pass->ending)
                    return pass->end();
                pass->toOrigin.clear();
                pass->startWays();
            },
            pass);
        return;
    }
    pass->startWays();
}

void WebSocketPass::Pass::startWays() {
    read(up);
    read(down);
}

void WebSocketPass::Pass::touch() {
    clock = core::Clock::current();
    lastActivity = clock->monotonicSeconds();
}

double WebSocketPass::Pass::idleSeconds() {
    auto now = core::Clock::current();
    if (now != clock) {
        // Another clock was installed: keep the time already idle.
        lastActivity += now->monotonicSeconds() - clock->monotonicSeconds();
        clock = std::move(now);
    }
    return clock->monotonicSeconds() - lastActivity;
}

void WebSocketPass::Pass::read(Way& way) {
    ++pending;
    g_input_stream_read_async(way.from, way.buffer.data(), way.buffer.size(), G_PRIORITY_DEFAULT,
                              cancellable, wasRead, &way);
}

void WebSocketPass::Pass::wasRead(GObject* stream, GAsyncResult* result, gpointer data) {
    auto& way = *static_cast<Way*>(data);
    Pass& pass = *way.pass;
    --pass.pending;
    const gssize count = g_input_stream_read_finish(G_INPUT_STREAM(stream), result, nullptr);
    if (count <= 0 || pass.ending) return pass.end();
    pass.touch();
    // What a client sends after an answer other than 101 reaches no one.
    if (way.drops) return pass.read(way);
    gsize size = gsize(count);
    // Of an answer other than 101, its body and no more.
    if (&way == &pass.down && pass.up.drops)
        size = pass.answerBytes(std::string_view(way.buffer.data(), size));
    if (size == 0) return pass.end();
    ++pass.pending;
    g_output_stream_write_all_async(way.to, way.buffer.data(), size, G_PRIORITY_DEFAULT,
                                    pass.cancellable, wasWritten, &way);
}

void WebSocketPass::Pass::wasWritten(GObject* stream, GAsyncResult* result, gpointer data) {
    auto& way = *static_cast<Way*>(data);
    Pass& pass = *way.pass;
    --pass.pending;
    if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(stream), result, nullptr, nullptr) ||
        pass.ending || pass.answerDone)
        return pass.end();
    pass.read(way);
}

void WebSocketPass::Pass::end() {
    if (!ending) {
        ending = true;
        if (idle) idle->invalidate();
        g_cancellable_cancel(cancellable);
    }
    if (pending == 0) {
        const auto keep = server.release(this);
    }
}

}  // namespace web::proxy
