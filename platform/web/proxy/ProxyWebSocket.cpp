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
#include "web/proxy/ProxyMessages.h"
#include "web/TrustedAuthorities.h"
#include "web/WebProcessProtocol.h"

namespace web::proxy {

namespace {

// The request head as the origin gets it: as received, but for the page
// mark and what was meant for the proxy, and with the proxy's hop mark.
std::string requestHead(SoupServerMessage* message, std::string_view via) {
    GUri* uri = soup_server_message_get_uri(message);
    std::string head = soup_server_message_get_method(message);
    head += ' ';
    const char* path = g_uri_get_path(uri);
    head += path && *path ? path : "/";
    if (const char* query = g_uri_get_query(uri)) {
        head += '?';
        head += query;
    }
    head += " HTTP/1.1\r\n";
    SoupMessageHeadersIter iterator;
    soup_message_headers_iter_init(&iterator, soup_server_message_get_request_headers(message));
    const char* name = nullptr;
    const char* value = nullptr;
    while (soup_message_headers_iter_next(&iterator, &name, &value)) {
        if (core::HTTPHeaders::sameName(name, protocol::kPageHeader) ||
            core::HTTPHeaders::sameName(name, "Proxy-Authorization") ||
            core::HTTPHeaders::sameName(name, "Proxy-Connection") ||
            core::HTTPHeaders::sameName(name, "Via"))
            continue;
        head += name;
        head += ": ";
        head += value;
        head += "\r\n";
    }
    head += "Via: " +
            viaWithHopMark(soup_message_headers_get_list(
                               soup_server_message_get_request_headers(message), "Via"),
                           via) +
            "\r\n\r\n";
    return head;
}

core::NetworkError::Code codeOf(const GError* error, bool timedOut) {
    using Code = core::NetworkError::Code;
    if (timedOut || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) return Code::timedOut;
    if (error->domain == G_TLS_ERROR) return Code::secureConnectionFailed;
    if (g_error_matches(error, G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND) ||
        g_error_matches(error, G_RESOLVER_ERROR, G_RESOLVER_ERROR_TEMPORARY_FAILURE))
        return Code::cannotFindHost;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_HOST_UNREACHABLE) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE))
        return Code::cannotConnectToHost;
    return Code::networkConnectionLost;
}

}  // namespace

struct WebSocketPass::Pass {
    // One way of the relay: what is read from one end is written to the other.
    struct Way {
        Pass* pass = nullptr;
        GInputStream* from = nullptr;
        GOutputStream* to = nullptr;
        std::array<char, 16 * 1024> buffer{};
    };

    const Server& server;
    SoupServerMessage* message;
    Target target;
    std::string head;
    GCancellable* cancellable = g_cancellable_new();
    std::shared_ptr<core::Timer> deadline;
    bool timedOut = false;
    // The port connected to, and where the host's name led, tried in order.
    int port = 0;
    std::vector<GSocketAddress*> addresses;
    size_t nextAddress = 0;
    GSocketConnection* connection = nullptr;  // to the origin
    GIOStream* origin = nullptr;              // the connection, or TLS over it
    GIOStream* client = nullptr;              // taken from libsoup
    Way up;
    Way down;
    int pending = 0;  // reads and writes of the relay under way
    bool ending = false;
    std::shared_ptr<core::Timer> idle;
    std::shared_ptr<core::Clock> clock;
    double lastActivity = 0;

    Pass(const Server& server, SoupServerMessage* message, Target target)
        : server(server), message(SOUP_SERVER_MESSAGE(g_object_ref(message))),
          target(std::move(target)) {}
    ~Pass() {
        if (deadline) deadline->invalidate();
        if (idle) idle->invalidate();
        g_object_unref(cancellable);
        for (GSocketAddress* address : addresses) g_object_unref(address);
        closeLater(origin);
        closeLater(client);
        g_clear_object(&connection);
        g_object_unref(message);
    }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    void fail(const core::NetworkError& error) {
        answerFailure(server, message, error);
        delete this;
    }
    void fail(const GError* error) {
        const std::string url = target.url.absoluteString();
        fail(core::NetworkError::make(
            codeOf(error, timedOut), url,
            "WebSocket to " + url + " failed: " + (error ? error->message : "unknown error")));
    }

    static void closeLater(GIOStream*& stream) {
        if (!stream) return;
        // The close holds the stream until it is done.
        g_io_stream_close_async(stream, G_PRIORITY_DEFAULT, nullptr, nullptr, nullptr);
        g_clear_object(&stream);
    }

    static void resolved(GObject* resolver, GAsyncResult* result, gpointer data);
    void connectNext();
    static void connected(GObject* client, GAsyncResult* result, gpointer data);
    static void handshaken(GObject* tls, GAsyncResult* result, gpointer data);
    static void written(GObject* stream, GAsyncResult* result, gpointer data);
    static gboolean acceptCertificate(GTlsConnection* tls, GTlsCertificate* certificate,
                                      GTlsCertificateFlags errors, gpointer data);
    void writeHead();

    void relay();
    void read(Way& way);
    static void wasRead(GObject* stream, GAsyncResult* result, gpointer data);
    static void wasWritten(GObject* stream, GAsyncResult* result, gpointer data);
    void touch();
    [[nodiscard]] double idleSeconds();
    // Ends the relay; the pass goes once nothing of it is under way.
    void end();
};

void WebSocketPass::start(const Server& server, SoupServerMessage* message, const Target& target) {
    soup_server_message_pause(message);
    auto* pass = new Pass(server, message, target);
    pass->head = requestHead(message, server.credentials().via);
    core::OffMachineRequests::note(target.url);
    pass->deadline = core::Timer::schedule(core::RunLoop::current(), kConnectSeconds, false,
                                           [pass](core::Timer&) {
                                               pass->timedOut = true;
                                               g_cancellable_cancel(pass->cancellable);
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
                                    pass);
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
        g_error_free(error);
        return;
    }
    if (!pass->target.secure) {
        pass->origin = G_IO_STREAM(g_object_ref(pass->connection));
        pass->writeHead();
        return;
    }
    GSocketConnectable* identity =
        g_network_address_new(pass->target.host.c_str(), guint16(pass->target.port));
    GIOStream* tls = g_tls_client_connection_new(G_IO_STREAM(pass->connection), identity, &error);
    g_object_unref(identity);
    if (!tls) {
        pass->fail(error);
        g_error_free(error);
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
        g_error_free(error);
        return;
    }
    pass->writeHead();
}

void WebSocketPass::Pass::writeHead() {
    g_output_stream_write_all_async(g_io_stream_get_output_stream(origin), head.data(), head.size(),
                                    G_PRIORITY_DEFAULT, cancellable, written, this);
}

void WebSocketPass::Pass::written(GObject* stream, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    GError* error = nullptr;
    if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(stream), result, nullptr, &error)) {
        pass->fail(error);
        g_error_free(error);
        return;
    }
    // From here on the two ends talk to each other as long as they like, but
    // for kIdleSeconds of silence.
    pass->deadline->invalidate();
    pass->deadline.reset();
    if (GSocket* socket = pass->server.clientSocket(pass->message)) g_socket_set_timeout(socket, 0);
    GSocket* originSocket = g_socket_connection_get_socket(pass->connection);
    g_socket_set_timeout(originSocket, 0);
    g_socket_set_keepalive(originSocket, TRUE);
    pass->client = soup_server_message_steal_connection(pass->message);
    if (!pass->client) {
        delete pass;
        return;
    }
    pass->relay();
}

void WebSocketPass::Pass::relay() {
    up = {this, g_io_stream_get_input_stream(client), g_io_stream_get_output_stream(origin)};
    down = {this, g_io_stream_get_input_stream(origin), g_io_stream_get_output_stream(client)};
    touch();
    idle = core::Timer::schedule(
        core::RunLoop::current(), kIdleSeconds, false, [this](core::Timer& timer) {
            if (const double idled = idleSeconds(); idled < kIdleSeconds)
                timer.setFireDate(clock->monotonicSeconds() + (kIdleSeconds - idled));
            else
                end();
        });
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
    if (pending == 0) delete this;
}

}  // namespace web::proxy
