// The engine proxy as libsoup clients meet it, as the engine's network
// process does: WebSockets through it (over http, and over https inside a
// tunnel), and loads that fail without being sent twice. The origins and
// clients live in GLib's default context, which the main loop waits in.

#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EngineProxyTesting.h"
#include "core/RunLoop.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/TestCertificates.h"
#include "web/proxy/EngineProxy.h"
#include "web/MainLoop.h"
#include "web/TrustedAuthorities.h"
#include "web/WebProcessProtocol.h"

namespace {

using fixtures::LoopbackResponse;
using proxytesting::RecordingFactory;
using proxytesting::Registered;

constexpr double kLimit = 20;

// A libsoup server whose WebSockets at /echo send back what they hear; over
// TLS with the test authority's identity when secure.
class EchoServer {
public:
    // elsewhere: with the authority's identity for another host.
    explicit EchoServer(bool secure, bool elsewhere = false)
        : server_(soup_server_new(nullptr, nullptr)) {
        if (secure) {
            const auto& certificates = fixtures::TestCertificates::shared();
            const std::string pem =
                elsewhere ? certificates.elsewhereCertificatePEM() + certificates.elsewhereKeyPEM()
                          : certificates.serverCertificatePEM() + certificates.serverKeyPEM();
            GTlsCertificate* identity =
                g_tls_certificate_new_from_pem(pem.c_str(), gssize(pem.size()), nullptr);
            EXPECT_TRUE(identity);
            soup_server_set_tls_certificate(server_, identity);
            g_clear_object(&identity);
        }
        soup_server_add_websocket_handler(server_, "/echo", nullptr, nullptr, opened, this,
                                          nullptr);
        GError* error = nullptr;
        EXPECT_TRUE(soup_server_listen_local(
            server_, 0,
            SoupServerListenOptions(SOUP_SERVER_LISTEN_IPV4_ONLY |
                                    (secure ? SOUP_SERVER_LISTEN_HTTPS : 0)),
            &error))
            << (error ? error->message : "");
        g_clear_error(&error);
        GSList* uris = soup_server_get_uris(server_);
        if (uris) port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    ~EchoServer() {
        for (SoupWebsocketConnection* connection : connections_) {
            g_signal_handlers_disconnect_by_data(connection, this);
            g_object_unref(connection);
        }
        soup_server_disconnect(server_);
        g_object_unref(server_);
    }
    EchoServer(const EchoServer&) = delete;
    EchoServer& operator=(const EchoServer&) = delete;

    [[nodiscard]] int port() const { return port_; }
    // The fields of each upgrade that reached the server.
    std::vector<core::HTTPHeaders> upgrades;

private:
    static void opened(SoupServer*, SoupServerMessage* message, const char*,
                       SoupWebsocketConnection* connection, gpointer data) {
        auto& server = *static_cast<EchoServer*>(data);
        core::HTTPHeaders fields;
        SoupMessageHeadersIter iterator;
        soup_message_headers_iter_init(&iterator, soup_server_message_get_request_headers(message));
        const char* name = nullptr;
        const char* value = nullptr;
        while (soup_message_headers_iter_next(&iterator, &name, &value)) fields.add(name, value);
        server.upgrades.push_back(std::move(fields));
        server.connections_.push_back(SOUP_WEBSOCKET_CONNECTION(g_object_ref(connection)));
        g_signal_connect(connection, "message",
                         G_CALLBACK(+[](SoupWebsocketConnection* connection, gint type,
                                        GBytes* bytes, gpointer) {
                             soup_websocket_connection_send_message(
                                 connection, SoupWebsocketDataType(type), bytes);
                         }),
                         data);
    }

    SoupServer* server_;
    int port_ = 0;
    std::vector<SoupWebsocketConnection*> connections_;
};

// A libsoup session that reaches everything through the proxy, answers its
// challenge and trusts its authority.
class ProxiedSession {
public:
    explicit ProxiedSession(const web::EngineProxy& proxy) : proxy_(proxy) {
        GProxyResolver* resolver = g_simple_proxy_resolver_new(proxy.uri().c_str(), nullptr);
        session_ = soup_session_new_with_options("proxy-resolver", resolver, nullptr);
        g_object_unref(resolver);
        const std::string authority = proxy.authorityPEM();
        authority_ = g_tls_certificate_new_from_pem(authority.c_str(), -1, nullptr);
        EXPECT_TRUE(authority_);
    }
    ~ProxiedSession() {
        soup_session_abort(session_);
        g_object_unref(session_);
        g_clear_object(&authority_);
    }
    ProxiedSession(const ProxiedSession&) = delete;
    ProxiedSession& operator=(const ProxiedSession&) = delete;

    [[nodiscard]] SoupMessage* message(const char* method, const std::string& url) {
        SoupMessage* message = soup_message_new(method, url.c_str());
        g_signal_connect(message, "authenticate", G_CALLBACK(authenticate), this);
        g_signal_connect(message, "accept-certificate", G_CALLBACK(acceptCertificate), this);
        return message;
    }
    [[nodiscard]] SoupSession* session() const { return session_; }
    int challenges = 0;

private:
    static gboolean authenticate(SoupMessage*, SoupAuth* auth, gboolean retrying, gpointer data) {
        auto& session = *static_cast<ProxiedSession*>(data);
        ++session.challenges;
        if (!retrying && soup_auth_is_for_proxy(auth))
            soup_auth_authenticate(auth, session.proxy_.user().c_str(),
                                   session.proxy_.password().c_str());
        return TRUE;
    }
    static gboolean acceptCertificate(SoupMessage*, GTlsCertificate* certificate,
                                      GTlsCertificateFlags, gpointer data) {
        auto& session = *static_cast<ProxiedSession*>(data);
        return g_tls_certificate_verify(certificate, nullptr, session.authority_) == 0;
    }

    const web::EngineProxy& proxy_;
    SoupSession* session_ = nullptr;
    GTlsCertificate* authority_ = nullptr;
};

class EngineProxySoupService : public proxytesting::ProxyTest {
protected:
    void SetUp() override {
        web::MainLoop::install();
        ProxyTest::SetUp();
    }
    void TearDown() override { web::TrustedAuthorities::setPEM({}); }

    // Opens a WebSocket to url through the proxy, sends a text and answers
    // what comes back; nullopt when either step fails.
    std::optional<std::string> echo(const std::string& url, const std::string& text) {
        ProxiedSession client(*proxy);
        SoupMessage* message = client.message("GET", url);
        soup_message_headers_append(soup_message_get_request_headers(message),
                                    web::protocol::kPageHeader, "a page's mark");
        struct Result {
            bool done = false;
            SoupWebsocketConnection* connection = nullptr;
            std::string error;
            std::optional<std::string> heard;
        } result;
        soup_session_websocket_connect_async(
            client.session(), message, nullptr, nullptr, G_PRIORITY_DEFAULT, nullptr,
            [](GObject* session, GAsyncResult* async, gpointer data) {
                auto& result = *static_cast<Result*>(data);
                GError* error = nullptr;
                result.connection =
                    soup_session_websocket_connect_finish(SOUP_SESSION(session), async, &error);
                if (error) result.error = error->message;
                g_clear_error(&error);
                result.done = true;
            },
            &result);
        g_object_unref(message);
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return result.done; }, kLimit));
        if (!result.connection) {
            ADD_FAILURE() << url << ": " << result.error;
            return std::nullopt;
        }
        g_signal_connect(
            result.connection, "message",
            G_CALLBACK(+[](SoupWebsocketConnection*, gint, GBytes* bytes, gpointer data) {
                gsize size = 0;
                const auto* text = static_cast<const char*>(g_bytes_get_data(bytes, &size));
                static_cast<Result*>(data)->heard = std::string(text, size);
            }),
            &result);
        soup_websocket_connection_send_text(result.connection, text.c_str());
        EXPECT_TRUE(
            core::RunLoop::main().runUntil([&] { return result.heard.has_value(); }, kLimit));
        g_signal_handlers_disconnect_by_data(result.connection, &result);
        soup_websocket_connection_close(result.connection, SOUP_WEBSOCKET_CLOSE_NORMAL, nullptr);
        g_object_unref(result.connection);
        return result.heard;
    }

    // Sends a request through the proxy with a libsoup session; true when
    // it came back whole, false when it failed.
    bool send(const char* method, const std::string& url, const std::string& body) {
        ProxiedSession client(*proxy);
        SoupMessage* message = client.message(method, url);
        GBytes* bytes = g_bytes_new(body.data(), body.size());
        soup_message_set_request_body_from_bytes(message, "text/plain", bytes);
        g_bytes_unref(bytes);
        struct Result {
            bool done = false;
            bool whole = false;
        } result;
        soup_session_send_and_read_async(
            client.session(), message, G_PRIORITY_DEFAULT, nullptr,
            [](GObject* session, GAsyncResult* async, gpointer data) {
                auto& result = *static_cast<Result*>(data);
                GError* error = nullptr;
                GBytes* read =
                    soup_session_send_and_read_finish(SOUP_SESSION(session), async, &error);
                result.whole = read != nullptr;
                if (read) g_bytes_unref(read);
                g_clear_error(&error);
                result.done = true;
            },
            &result);
        g_object_unref(message);
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return result.done; }, kLimit));
        return result.whole;
    }

    // The code of the proxy's error for a WebSocket it failed; 0 when none.
    // The client sees a failed handshake, with no answer of the proxy's.
    int refusedWebSocket(const std::string& url) {
        ProxiedSession client(*proxy);
        SoupMessage* message = client.message("GET", url);
        bool done = false;
        soup_session_websocket_connect_async(
            client.session(), message, nullptr, nullptr, G_PRIORITY_DEFAULT, nullptr,
            [](GObject* session, GAsyncResult* async, gpointer data) {
                *static_cast<bool*>(data) = true;
                auto* made =
                    soup_session_websocket_connect_finish(SOUP_SESSION(session), async, nullptr);
                if (made) g_object_unref(made);
            },
            &done);
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return done; }, kLimit));
        EXPECT_EQ(soup_message_get_status(message), SOUP_STATUS_NONE);
        g_object_unref(message);
        // A WebSocket's handshake names no page; the proxy keeps its URL as
        // an http(s) one.
        std::string onward = url;
        onward.replace(0, 2, "http");
        const auto failure = web::EngineProxy::takeFailure(0, onward);
        return failure ? int(failure->code) : 0;
    }

};

TEST_F(EngineProxySoupService, AWebSocketEchoesThroughTheProxyOverHTTPAndHTTPS) {
    EchoServer plain(false);
    EXPECT_EQ(echo("ws://127.0.0.1:" + std::to_string(plain.port()) + "/echo", "over http"),
              "over http");

    EchoServer secure(true);
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    EXPECT_EQ(echo("wss://127.0.0.1:" + std::to_string(secure.port()) + "/echo", "over https"),
              "over https");

    ASSERT_EQ(plain.upgrades.size(), 1u);
    ASSERT_EQ(secure.upgrades.size(), 1u);
    for (const auto& fields : {plain.upgrades[0], secure.upgrades[0]}) {
        EXPECT_FALSE(fields.contains("Via"));
        EXPECT_FALSE(fields.contains(web::protocol::kPageHeader));
        EXPECT_FALSE(fields.contains("Proxy-Authorization"));
        EXPECT_TRUE(fields.contains("Sec-WebSocket-Key"));
    }
}

TEST_F(EngineProxySoupService, AWebSocketToAnOriginNoAuthorityVouchesForFails) {
    EchoServer secure(true);
    EXPECT_EQ(refusedWebSocket("wss://127.0.0.1:" + std::to_string(secure.port()) + "/echo"),
              -1200);
    EXPECT_TRUE(secure.upgrades.empty());

    // The app's authority vouches for the certificate, but for another host.
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    EchoServer elsewhere(true, true);
    EXPECT_EQ(refusedWebSocket("wss://127.0.0.1:" + std::to_string(elsewhere.port()) + "/echo"),
              -1200);
    EXPECT_TRUE(elsewhere.upgrades.empty());
}

TEST_F(EngineProxySoupService, AFailedPostIsSentOnce) {
    fixtures::LoopbackServer origin;
    origin.on("POST", "/cut", [](const auto&) {
        auto response = LoopbackResponse::text(std::string(10'000, 'c'));
        response.closeAfter = 1'000;
        return response;
    });
    EXPECT_FALSE(send("POST", origin.url("/cut").absoluteString(), "form=1"));
    auto failing =
        std::make_shared<RecordingFactory>("/refused", RecordingFactory::Behaviour::fail);
    Registered registered(failing);
    EXPECT_FALSE(send("POST", origin.url("/refused").absoluteString(), "form=2"));
    // Whatever libsoup would retry has had its chance.
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(origin.requestsTo("/cut").size(), 1u);
    EXPECT_EQ(failing->starts, 1);

    origin.on("POST", "/fine",
              [](const auto& request) { return LoopbackResponse::text(request.body); });
    EXPECT_TRUE(send("POST", origin.url("/fine").absoluteString(), "form=3"));
}

// An answer that breaks off after its start fails at the client, whether
// it told its length or came in chunks (libsoup reads a chunked body that
// stops where a chunk ends as whole), over http and in a tunnel alike.
TEST_F(EngineProxySoupService, AnAnswerThatBreaksOffFailsWhateverItsFraming) {
    fixtures::LoopbackServer origin;
    origin.startTLS();
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    const std::string body(5'000, 'b');
    auto sized = std::make_shared<RecordingFactory>(
        "/sized", RecordingFactory::Behaviour::breakOffSized, body);
    auto unsized = std::make_shared<RecordingFactory>(
        "/unsized", RecordingFactory::Behaviour::breakOffUnsized, body);
    Registered registeredSized(sized);
    Registered registeredUnsized(unsized);
    for (const std::string& base : {origin.baseURL(), origin.secureBaseURL()}) {
        EXPECT_FALSE(send("GET", base + "/sized", "")) << base;
        EXPECT_FALSE(send("GET", base + "/unsized", "")) << base;
    }
    EXPECT_EQ(sized->starts, 2);
    EXPECT_EQ(unsized->starts, 2);
}

}  // namespace
