#include "web/proxy/ProxyWebSocket.h"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/HostRoutes.h"
#include "core/OffMachineRequests.h"
#include "core/RunLoop.h"
#include "core/SocketAddresses.h"
#include "core/Timer.h"
#include "web/TrustedAuthorities.h"
#include "web/proxy/ProxyMessages.h"

namespace web::proxy {

namespace {

// The request head as the origin gets it: the fields that go onward, and
// the upgrade's own (Connection and Upgrade, as written).
std::string requestHead(const RequestHead& head, const Target& target) {
    // The target in origin form, exactly as written.
    const std::string& url = target.url.absoluteString();
    const size_t authority = url.find("//");
    const size_t path = url.find_first_of("/?", authority + 2);
    std::string text = head.method + " ";
    text += path == std::string::npos ? "/" : url.substr(path);
    if (text.back() == ' ') text += '/';
    text += " HTTP/1.1\r\n";
    const auto listed = connectionTokens(head.fields);
    core::HTTPHeaders fields;
    for (const auto& [name, value] : head.fields) {
        if (goesOnward(name, listed) || core::HTTPHeaders::sameName(name, "Connection") ||
            core::HTTPHeaders::sameName(name, "Upgrade"))
            fields.add(name, value);
    }
    appendFields(text, fields);
    text += "\r\n";
    return text;
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
    // other.
    struct Way {
        Pass* pass = nullptr;
        GInputStream* from = nullptr;
        GOutputStream* to = nullptr;
        std::array<char, 16 * 1024> buffer{};
    };
    // How the origin frames the body of an answer other than 101.
    enum class Body { length, chunked, toClose };

    Server& server;
    std::shared_ptr<Connection> client;
    Target target;
    std::string method;
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
    // The origin's answer as read so far, and its head.
    std::string answer;
    AnswerHeadReader answerHead;
    bool originHasAnswered = false;
    std::array<char, 16 * 1024> buffer{};
    // An answer other than 101, which goes to the client through its
    // connection as an exchange's answer does: its body as the origin frames
    // it, and whether the origin waits for the client to take some.
    Body body = Body::toClose;
    std::int64_t bodyLeft = 0;
    ChunkedReader bodyChunks;
    bool paused = false;
    // The relay, after a 101.
    GIOStream* clientStream = nullptr;
    GSocket* clientSocket = nullptr;
    bool clientCounted = false;
    std::string first;     // to the client before the relay
    std::string toOrigin;  // what the client sent after its head
    Way up;
    Way down;
    int pending = 0;  // reads and writes under way, once the origin answered
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

    // The client went, while the origin was being reached or while it
    // answered other than 101.
    void hungUp() override {
        client.reset();
        if (originHasAnswered) return end();
        abandoned = true;
        g_cancellable_cancel(cancellable);
    }
    // The answer other than 101 is out.
    void answered() override {
        client.reset();
        end();
    }
    void wrote() override {
        touch();
        if (paused && client && client->queued() <= kMostAnswerBytesHeld / 4) {
            paused = false;
            readBody();
        }
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
    void failBadAnswer(const std::string& why) {
        const std::string url = target.url.absoluteString();
        fail(core::NetworkError::make(core::NetworkError::Code::badServerResponse, url,
                                      "WebSocket to " + url + " failed: " + why));
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
    void originAnswered(AnswerHead given, size_t end);

    // An answer other than 101: its head to the client, then its body.
    void answerOtherwise(AnswerHead given, std::string rest);
    void readBody();
    static void bodyRead(GObject* stream, GAsyncResult* result, gpointer data);
    // Sends the body in bytes on; true once it ended (or broke off).
    bool passBody(std::string_view bytes);

    void relay();
    static void firstWritten(GObject* stream, GAsyncResult* result, gpointer data);
    void startWays();
    void read(Way& way);
    static void wasRead(GObject* stream, GAsyncResult* result, gpointer data);
    static void wasWritten(GObject* stream, GAsyncResult* result, gpointer data);
    void startIdleTimer();
    void touch();
    [[nodiscard]] double idleSeconds();
    // Ends the pass; it goes once nothing of it is under way.
    void end();
};

void WebSocketPass::start(Server& server, const std::shared_ptr<Connection>& client,
                          const RequestHead& head, const Target& target) {
    auto pass = std::make_shared<Pass>(server, client, target);
    server.keep(pass);
    client->serve(pass);
    pass->method = head.method;
    pass->head = requestHead(head, target);
    core::OffMachineRequests::note(target.url);
    pass->deadline = core::Timer::schedule(core::RunLoop::current(), kWebSocketConnectSeconds,
                                           false, [weak = std::weak_ptr<Pass>(pass)](core::Timer&) {
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
        if (error) {
            pass->fail(error);
            g_clear_error(&error);
        } else {
            pass->fail(core::NetworkError::make(
                core::NetworkError::Code::networkConnectionLost, pass->target.url.absoluteString(),
                "WebSocket to " + pass->target.url.absoluteString() +
                    " failed: the origin closed before it answered"));
        }
        return;
    }
    pass->answer.append(pass->buffer.data(), size_t(count));
    while (true) {
        AnswerParse parse = pass->answerHead.read(pass->answer);
        if (parse.malformed)
            return pass->failBadAnswer("the origin's answer head is no HTTP/1 head, or too large");
        if (!parse.head) break;
        if (parse.head->status < 200 && parse.head->status != 101) {
            // An interim answer: the one that counts follows.
            pass->answer.erase(0, parse.consumed);
            pass->answerHead = AnswerHeadReader();
            continue;
        }
        return pass->originAnswered(std::move(*parse.head), parse.consumed);
    }
    pass->readAnswer();
}

void WebSocketPass::Pass::originAnswered(AnswerHead given, size_t end) {
    if (!client) return fail(static_cast<GError*>(nullptr));
    deadline->invalidate();
    deadline.reset();
    originHasAnswered = true;
    if (given.status == 101) {
        // The origin's 101 goes as it came, and what followed it.
        first = std::move(answer);
        return relay();
    }
    answerOtherwise(std::move(given), answer.substr(end));
    answer.clear();
}

void WebSocketPass::Pass::answerOtherwise(AnswerHead given, std::string rest) {
    // How the origin frames the body: by its length, in chunks (its only
    // coding), or to its close.
    const auto codings = tokensOf(given.fields, "Transfer-Encoding");
    const bool lengthGiven = given.fields.contains("Content-Length");
    core::HTTPURLResponse response(target.url, given.status, std::move(given.fields));
    response.setHTTPVersion(std::move(given.version));
    response.setReasonPhrase(std::move(given.reason));
    if (!codings.empty()) {
        if (codings != std::vector<std::string>{"chunked"})
            return failBadAnswer("the origin's answer has a coding other than chunked");
        body = Body::chunked;
    } else if (lengthGiven) {
        if (response.expectedContentLength() < 0)
            return failBadAnswer("the origin's answer has an unreadable length");
        body = Body::length;
        bodyLeft = response.expectedContentLength();
    }
    // The origin's answer to that request alone: its connection ends with
    // it, and nothing the client sends after it is read.
    AnswerStart start = answerStart(method, response, client->tunnel().has_value());
    client->closeAfterAnswer();
    client->answer(start.status, start.reason, std::move(start.fields), start.framing, start.length,
                   start.version);
    if (start.framing == Framing::none || !client) return;
    startIdleTimer();
    if (passBody(rest)) return;
    readBody();
}

bool WebSocketPass::Pass::passBody(std::string_view bytes) {
    std::string data;
    bool ended = false;
    bool broken = false;
    if (body == Body::length) {
        const auto taken = size_t(std::min<std::int64_t>(bodyLeft, std::int64_t(bytes.size())));
        data = bytes.substr(0, taken);
        bodyLeft -= std::int64_t(taken);
        ended = bodyLeft == 0;
    } else if (body == Body::chunked) {
        size_t consumed = 0;
        const auto state = bodyChunks.feed(bytes, data, consumed);
        ended = state == ChunkedReader::State::ended;
        broken = state == ChunkedReader::State::malformed;
    } else {
        data = bytes;
    }
    if (!client) return true;
    if (!data.empty()) client->send(data);
    if (ended) client->finish();
    if (broken) client->breakOff();
    return ended || broken;
}

void WebSocketPass::Pass::readBody() {
    if (ending || !client) return;
    if (client->queued() >= kMostAnswerBytesHeld) {
        // The origin waits until the client takes some.
        paused = true;
        return;
    }
    ++pending;
    g_input_stream_read_async(g_io_stream_get_input_stream(origin), buffer.data(), buffer.size(),
                              G_PRIORITY_DEFAULT, cancellable, bodyRead, this);
}

void WebSocketPass::Pass::bodyRead(GObject* stream, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    --pass->pending;
    const gssize count = g_input_stream_read_finish(G_INPUT_STREAM(stream), result, nullptr);
    if (pass->ending || !pass->client) return pass->end();
    if (count <= 0) {
        // The origin's close ends a body framed by it, and breaks off any
        // other.
        if (count == 0 && pass->body == Body::toClose) {
            pass->client->finish();
        } else {
            pass->client->breakOff();
        }
        return;
    }
    pass->touch();
    if (!pass->passBody(std::string_view(pass->buffer.data(), size_t(count)))) pass->readBody();
}

void WebSocketPass::Pass::relay() {
    // From here on the two ends talk to each other as long as they like, but
    // for kWebSocketIdleSeconds of silence.
    Connection::Taken taken = client->take();
    client.reset();
    clientStream = taken.stream;
    clientSocket = taken.socket;
    clientCounted = true;
    server.descriptorOpened();
    toOrigin = std::move(taken.buffered);
    GSocket* originSocket = g_socket_connection_get_socket(connection);
    g_socket_set_timeout(originSocket, 0);
    g_socket_set_keepalive(originSocket, TRUE);
    up = {this, g_io_stream_get_input_stream(clientStream), g_io_stream_get_output_stream(origin)};
    down = {this, g_io_stream_get_input_stream(origin),
            g_io_stream_get_output_stream(clientStream)};
    startIdleTimer();
    ++pending;
    g_output_stream_write_all_async(down.to, first.data(), first.size(), G_PRIORITY_DEFAULT,
                                    cancellable, firstWritten, this);
}

void WebSocketPass::Pass::startIdleTimer() {
    touch();
    idle = core::Timer::schedule(
        core::RunLoop::current(), kWebSocketIdleSeconds, false,
        [weak = std::weak_ptr<Pass>(shared_from_this())](core::Timer& timer) {
            const auto pass = weak.lock();
            if (!pass) return;
            if (const double idled = pass->idleSeconds(); idled < kWebSocketIdleSeconds) {
                timer.setFireDate(pass->clock->monotonicSeconds() +
                                  (kWebSocketIdleSeconds - idled));
                return;
            }
            if (pass->client) pass->client->breakOff();
            pass->end();
        });
}

void WebSocketPass::Pass::firstWritten(GObject* stream, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    --pass->pending;
    if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(stream), result, nullptr, nullptr) ||
        pass->ending)
        return pass->end();
    pass->first.clear();
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
    ++pass.pending;
    g_output_stream_write_all_async(way.to, way.buffer.data(), gsize(count), G_PRIORITY_DEFAULT,
                                    pass.cancellable, wasWritten, &way);
}

void WebSocketPass::Pass::wasWritten(GObject* stream, GAsyncResult* result, gpointer data) {
    auto& way = *static_cast<Way*>(data);
    Pass& pass = *way.pass;
    --pass.pending;
    if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(stream), result, nullptr, nullptr) ||
        pass.ending)
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
