#include "web/proxy/ProxyWebSocket.h"

#include <string>

#include "core/HostRoutes.h"
#include "core/OffMachineRequests.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "web/proxy/ProxyMessages.h"
#include "web/TrustedAuthorities.h"
#include "web/WebProcessProtocol.h"

namespace web::proxy {

namespace {

// The request head as the origin gets it: as received, but for the page
// mark and what was meant for the proxy.
std::string requestHead(SoupServerMessage* message) {
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
            core::HTTPHeaders::sameName(name, "Proxy-Connection"))
            continue;
        head += name;
        head += ": ";
        head += value;
        head += "\r\n";
    }
    head += "\r\n";
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
    const Server& server;
    SoupServerMessage* message;
    Target target;
    std::string head;
    GCancellable* cancellable = g_cancellable_new();
    std::shared_ptr<core::Timer> deadline;
    bool timedOut = false;
    GSocketConnection* connection = nullptr;  // to the origin
    GIOStream* origin = nullptr;              // the connection, or TLS over it

    Pass(const Server& server, SoupServerMessage* message, Target target)
        : server(server), message(SOUP_SERVER_MESSAGE(g_object_ref(message))),
          target(std::move(target)) {}
    ~Pass() {
        if (deadline) deadline->invalidate();
        g_object_unref(cancellable);
        g_clear_object(&origin);
        g_clear_object(&connection);
        g_object_unref(message);
    }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    void fail(const GError* error) {
        const std::string url = target.url.absoluteString();
        answerFailure(server, message,
                      core::NetworkError::make(codeOf(error, timedOut), url,
                                               "WebSocket to " + url + " failed: " +
                                                   (error ? error->message : "unknown error")));
        delete this;
    }

    static void connected(GObject* client, GAsyncResult* result, gpointer data);
    static void handshaken(GObject* tls, GAsyncResult* result, gpointer data);
    static void written(GObject* stream, GAsyncResult* result, gpointer data);
    static void spliced(GObject* stream, GAsyncResult* result, gpointer data);
    static gboolean acceptCertificate(GTlsConnection* tls, GTlsCertificate* certificate,
                                      GTlsCertificateFlags errors, gpointer data);
    void writeHead();
};

void WebSocketPass::start(const Server& server, SoupServerMessage* message, const Target& target) {
    soup_server_message_pause(message);
    auto* pass = new Pass(server, message, target);
    pass->head = requestHead(message);
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
    GSocketClient* client = g_socket_client_new();
    GSocketConnectable* address = g_network_address_new(host.c_str(), guint16(port));
    g_socket_client_connect_async(client, address, pass->cancellable, Pass::connected, pass);
    g_object_unref(address);
    g_object_unref(client);
}

void WebSocketPass::Pass::connected(GObject* client, GAsyncResult* result, gpointer data) {
    auto* pass = static_cast<Pass*>(data);
    GError* error = nullptr;
    pass->connection = g_socket_client_connect_finish(G_SOCKET_CLIENT(client), result, &error);
    if (!pass->connection) {
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
    // From here on the two ends talk to each other as long as they like.
    pass->deadline->invalidate();
    pass->deadline.reset();
    if (GSocket* socket = pass->server.clientSocket(pass->message)) g_socket_set_timeout(socket, 0);
    GSocket* originSocket = g_socket_connection_get_socket(pass->connection);
    g_socket_set_timeout(originSocket, 0);
    g_socket_set_keepalive(originSocket, TRUE);
    GIOStream* client = soup_server_message_steal_connection(pass->message);
    if (!client) {
        delete pass;
        return;
    }
    g_io_stream_splice_async(
        client, pass->origin,
        GIOStreamSpliceFlags(G_IO_STREAM_SPLICE_CLOSE_STREAM1 | G_IO_STREAM_SPLICE_CLOSE_STREAM2),
        G_PRIORITY_DEFAULT, nullptr, spliced, pass);
    g_object_unref(client);
}

void WebSocketPass::Pass::spliced(GObject*, GAsyncResult* result, gpointer data) {
    (void)g_io_stream_splice_finish(result, nullptr);
    delete static_cast<Pass*>(data);
}

}  // namespace web::proxy
