// The engine proxy against clients that are not the engine: without the
// run's credentials nothing goes on but a strict preflight; the proxy never
// reaches itself, whatever name or form a request gives its address; and
// what a client can hold of it is bounded (a request head's deadline, a cap
// on connections that never show credentials, an idle limit for
// WebSockets, little memory for each tunnel). Raw sockets where the point
// is a form that neither the engine nor libcurl would send.

#include <arpa/inet.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "EngineProxyTesting.h"
#include "core/NetworkThread.h"
#include "core/RunLoop.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/TestCertificates.h"
#include "support/ManualClockScope.h"
#include "support/ProcessTree.h"
#include "web/TrustedAuthorities.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyServer.h"
#include "web/proxy/ProxyWebSocket.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VANTOR_SANITIZED_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VANTOR_SANITIZED_ALLOCATOR 1
#endif
#endif
#ifdef VANTOR_SANITIZED_ALLOCATOR
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using proxytesting::credentialsField;
using proxytesting::fetch;
using proxytesting::kPreflight;
using proxytesting::kUpgrade;
using proxytesting::RawConnection;
using proxytesting::RawListener;
using proxytesting::statusOf;
using proxytesting::RecordingFactory;
using proxytesting::Registered;
using proxytesting::Reply;
using proxytesting::Request;

constexpr int kLimitMs = 20'000;

// A client that opened a tunnel through the proxy with CONNECT on a
// connection of its own and sends its requests inside it, keeping it open
// while it lives. The proxy's certificate is not checked: this is the
// test's own tunnel, and the point is what the proxy does with it.
class TunnelClient {
public:
    TunnelClient(const web::EngineProxy& proxy, const std::string& authority, bool credentials)
        : connection_(proxy.port()) {
        connection_.send("CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n" +
                         (credentials ? credentialsField(proxy) : "") + "\r\n");
        connectStatus = statusOf(connection_.readHead());
        if (connectStatus != 200) return;
        const timeval limit{kLimitMs / 1000, 0};
        setsockopt(connection_.fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        context_ = SSL_CTX_new(TLS_client_method());
        tls_ = SSL_new(context_);
        SSL_set_fd(tls_, connection_.fd());
        EXPECT_EQ(SSL_connect(tls_), 1);
    }
    ~TunnelClient() {
        if (tls_) SSL_free(tls_);
        if (context_) SSL_CTX_free(context_);
    }
    TunnelClient(const TunnelClient&) = delete;
    TunnelClient& operator=(const TunnelClient&) = delete;

    // The status of a GET inside the tunnel, its body read; 0 when none came.
    int request(const std::string& path, const std::string& fields = {}) {
        if (!tls_) return 0;
        const std::string head =
            "GET " + path + " HTTP/1.1\r\nHost: tunnel.test\r\n" + fields + "\r\n";
        if (SSL_write(tls_, head.data(), int(head.size())) != int(head.size())) return 0;
        std::string answer;
        size_t end = std::string::npos;
        size_t length = 0;
        char buffer[4096];
        while (end == std::string::npos || answer.size() < end + length) {
            const int count = SSL_read(tls_, buffer, sizeof buffer);
            if (count <= 0) break;
            answer.append(buffer, size_t(count));
            if (end == std::string::npos && (end = answer.find("\r\n\r\n")) != std::string::npos) {
                end += 4;
                const size_t field = answer.find("Content-Length: ");
                if (field < end) length = size_t(std::atol(answer.c_str() + field + 16));
            }
        }
        return statusOf(answer);
    }

    int connectStatus = 0;

private:
    RawConnection connection_;
    SSL_CTX* context_ = nullptr;
    SSL* tls_ = nullptr;
};

// Bytes the process has allocated and not freed, whichever allocator the
// build runs on.
std::int64_t bytesInUse() {
#ifdef VANTOR_SANITIZED_ALLOCATOR
    return std::int64_t(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return std::int64_t(info.uordblks + info.hblkhd);
#endif
}

class EngineProxyGuardService : public proxytesting::ProxyTest {
protected:
    void TearDown() override { web::TrustedAuthorities::setPEM({}); }

    static std::uint64_t accepted() { return web::proxy::Server::acceptedConnections(); }

    LoopbackServer origin;
};

// A preflight-shaped OPTIONS that would upgrade to a WebSocket needs the
// proxy's credentials like anything else: no connection reaches the
// service it names.
TEST_F(EngineProxyGuardService, AnUpgradeWithoutCredentialsRelaysNothing) {
    RawListener service;
    const std::string authority = "127.0.0.1:" + std::to_string(service.port());
    RawConnection client(proxy->port());
    client.send("OPTIONS http://" + authority + "/ HTTP/1.1\r\nHost: " + authority + "\r\n" +
                kPreflight + kUpgrade + "\r\n");
    EXPECT_EQ(statusOf(client.readHead(3'000)), 407);
    EXPECT_FALSE(service.accept(200));
}

// A preflight without credentials goes to the network as a preflight and
// nothing more: no URL protocol runs for it, the caller's credentials stay
// behind, and only what a preflight needs comes back.
TEST_F(EngineProxyGuardService, APreflightWithoutCredentialsIsAPreflightAndNothingMore) {
    auto protocol = std::make_shared<RecordingFactory>(
        "/preflight", RecordingFactory::Behaviour::answer, "from the protocol");
    Registered registered(protocol);
    origin.on("OPTIONS", "/preflight", [](const auto&) {
        auto response = LoopbackResponse::text("the origin's body");
        response.headers.add("Access-Control-Allow-Origin", "http://page.test");
        response.headers.add("Access-Control-Allow-Methods", "PUT");
        response.headers.add("Vary", "Origin");
        response.headers.add("Set-Cookie", "session=1");
        response.headers.add("X-Origin", "yes");
        return response;
    });
    Request preflight;
    preflight.method = "OPTIONS";
    preflight.credentials = false;
    preflight.headers = {"Origin: http://page.test", "Access-Control-Request-Method: PUT",
                         "Authorization: Basic dXNlcjpzZWNyZXQ=", "Cookie: session=0",
                         "X-Caller: yes"};
    const Reply reply = fetch(*proxy, origin.url("/preflight").absoluteString(), preflight);
    EXPECT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.headers.value("Access-Control-Allow-Origin"), "http://page.test");
    EXPECT_EQ(reply.headers.value("Access-Control-Allow-Methods"), "PUT");
    EXPECT_EQ(reply.headers.value("Vary"), "Origin");
    EXPECT_FALSE(reply.headers.contains("Set-Cookie"));
    EXPECT_FALSE(reply.headers.contains("X-Origin"));
    EXPECT_TRUE(reply.body.empty()) << reply.body;
    EXPECT_EQ(protocol->starts, 0);

    const auto requests = origin.requestsTo("/preflight");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].header("Origin"), "http://page.test");
    EXPECT_EQ(requests[0].header("Access-Control-Request-Method"), "PUT");
    EXPECT_FALSE(requests[0].header("Authorization"));
    EXPECT_FALSE(requests[0].header("Cookie"));
    EXPECT_FALSE(requests[0].header("X-Caller"));

    // An OPTIONS with a body in chunks, even an empty one, is no preflight.
    const std::string authority = "127.0.0.1:" + std::to_string(origin.port());
    RawConnection chunked(proxy->port());
    chunked.send("OPTIONS http://" + authority + "/preflight HTTP/1.1\r\nHost: " + authority +
                 "\r\n" + kPreflight + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n");
    EXPECT_EQ(statusOf(chunked.readHead()), 407);
    EXPECT_EQ(origin.requestsTo("/preflight").size(), 1u);
}

// Nothing of the proxy's own goes on with a request: a Via field the
// client wrote goes as it was, and none is added.
TEST_F(EngineProxyGuardService, NothingOfTheProxysOwnGoesOn) {
    origin.on("GET", "/via", [](const LoopbackRequest& request) {
        return LoopbackResponse::text(request.header("Via").value_or("none"));
    });
    EXPECT_EQ(fetch(*proxy, origin.url("/via").absoluteString()).body, "none");
    Request chained;
    chained.headers = {"Via: 1.1 elsewhere"};
    EXPECT_EQ(fetch(*proxy, origin.url("/via").absoluteString(), chained).body, "1.1 elsewhere");
}

// Whatever form a request gives the proxy's own address, nothing connects
// to it: over HTTP, as a preflight, as a WebSocket with credentials or
// without, and inside a tunnel. Each request costs the proxy the client's
// own connection alone (a tunnel's requests are read from it).
// ("localhost.localdomain" and "127.0.0.1." resolve to nothing on this
// machine, and so only show that they reach nothing.)
TEST_F(EngineProxyGuardService, NeverReachesItselfUnderAnyNameOrForm) {
    const std::string credentials = credentialsField(*proxy);
    {
        const int port = proxy->port();
        for (const std::string name :
             {"[::ffff:127.0.0.1]", "127.1", "2130706433", "localhost.localdomain", "127.0.0.1."}) {
            const std::string authority = name + ":" + std::to_string(port);
            const std::string start =
                " http://" + authority + "/loop HTTP/1.1\r\nHost: " + authority + "\r\n";
            const std::vector<std::tuple<const char*, std::string, int>> requests = {
                // (0: no answer, a failed load)
                {"GET", "GET" + start + credentials, 0},
                {"preflight", "OPTIONS" + start + kPreflight, 502},
                {"WebSocket", "GET" + start + kUpgrade + credentials, 0},
                {"upgrading preflight", "OPTIONS" + start + kPreflight + kUpgrade, 407},
            };
            for (const auto& [what, head, status] : requests) {
                SCOPED_TRACE(authority + " " + what);
                const std::uint64_t before = accepted();
                RawConnection client(proxy->port());
                client.send(head + "\r\n");
                EXPECT_EQ(statusOf(client.readHead()), status);
                EXPECT_EQ(accepted() - before, 1u);
            }
            // A tunnel, without credentials, and with them for a request and
            // for a WebSocket inside it.
            for (const std::string fields : {"none", "", kUpgrade.c_str()}) {
                SCOPED_TRACE(authority + " CONNECT " + fields);
                const bool withCredentials = fields != "none";
                const std::uint64_t before = accepted();
                TunnelClient tunnel(*proxy, authority, withCredentials);
                if (!withCredentials) {
                    EXPECT_EQ(tunnel.connectStatus, 407);
                    EXPECT_EQ(accepted() - before, 1u);
                    continue;
                }
                ASSERT_EQ(tunnel.connectStatus, 200);
                EXPECT_EQ(tunnel.request("/loop", fields), 0);
                EXPECT_EQ(accepted() - before, 1u);
            }
        }
    }
}

// The plain names of the proxy's own address are refused at once, before
// anything is looked up or connected: a request for them is answered 403,
// over HTTP, as a preflight, as a WebSocket, as a CONNECT and inside a
// tunnel.
TEST_F(EngineProxyGuardService, ItsOwnAddressUnderItsPlainNamesIsRefusedAtOnce) {
    const std::string credentials = credentialsField(*proxy);
    const std::string port = std::to_string(proxy->port());
    for (const std::string name :
         {"127.0.0.1", "localhost", "localhost.", "LocalHost", "[::1]", "0.0.0.0", "[::]"}) {
        const std::string authority = name + ":" + port;
        const std::string start =
            " http://" + authority + "/loop HTTP/1.1\r\nHost: " + authority + "\r\n";
        const std::vector<std::pair<const char*, std::string>> requests = {
            {"GET", "GET" + start + credentials},
            {"preflight", "OPTIONS" + start + kPreflight},
            {"WebSocket", "GET" + start + kUpgrade + credentials},
            {"CONNECT", "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n" +
                            credentials},
        };
        for (const auto& [what, head] : requests) {
            SCOPED_TRACE(authority + " " + what);
            RawConnection client(proxy->port());
            client.send(head + "\r\n");
            EXPECT_EQ(statusOf(client.readHead()), 403);
        }
    }
    // Inside a tunnel to another host, a request names the tunnel's host
    // alone: a tunnel to the proxy itself is the one refused.
    TunnelClient tunnel(*proxy, "localhost.:" + port, true);
    EXPECT_EQ(tunnel.connectStatus, 403);
}

// Tunnels held open at once hold little of the app's memory each: the
// proxy checks no certificate of the engine's, so their TLS carries none of
// the system's authorities (a copy of them all would be megabytes apiece).
TEST_F(EngineProxyGuardService, TunnelsHeldOpenHoldLittleMemory) {
    constexpr int kTunnels = 8;
    constexpr std::int64_t kMostBytesEach = 1 << 20;
    origin.startTLS();
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    const std::string authority = "127.0.0.1:" + std::to_string(origin.securePort());
    // What the first tunnel sets up for all that follow (the TLS backend,
    // the host's certificate) is not counted.
    std::vector<std::unique_ptr<TunnelClient>> tunnels;
    tunnels.push_back(std::make_unique<TunnelClient>(*proxy, authority, true));
    ASSERT_EQ(tunnels.back()->connectStatus, 200);
    const std::int64_t before = bytesInUse();
    for (int i = 0; i < kTunnels; ++i) {
        tunnels.push_back(std::make_unique<TunnelClient>(*proxy, authority, true));
        ASSERT_EQ(tunnels.back()->connectStatus, 200);
    }
    const std::int64_t grown = bytesInUse() - before;
    EXPECT_LT(grown, kTunnels * kMostBytesEach);
    for (const auto& tunnel : tunnels) EXPECT_NE(tunnel->request("/"), 0);
}

// A head sent a byte at a time is cut off kHeadSeconds after its first
// byte; a connection that sends nothing is not timed by it.
TEST_F(EngineProxyGuardService, AHeadThatTricklesIsCutOffAtItsDeadline) {
    testsupport::ManualClockScope clock;
    const auto settle = [] { (void)core::RunLoop::main().runUntil([] { return false; }, 0.2); };
    RawConnection idle(proxy->port());
    RawConnection trickling(proxy->port());
    ASSERT_TRUE(trickling.send("G"));
    settle();
    clock.advance(web::proxy::kHeadSeconds - 5);
    ASSERT_TRUE(trickling.send("E"));
    EXPECT_FALSE(trickling.closedWithin(200));
    bool closed = false;
    for (const char byte : std::string("T htt")) {
        (void)trickling.send(std::string(1, byte));
        settle();
        clock.advance(20);
        if ((closed = trickling.closedWithin(2'000))) break;
    }
    EXPECT_TRUE(closed);
    EXPECT_FALSE(idle.closedWithin(200));
}

// Connections that show no credentials are held up to a cap: each new one
// is taken, and the oldest of those that never sent a byte goes in its
// place. Connections that did show them (the engine's) neither count nor
// are touched, and a new client with credentials is served however many
// strangers crowd in.
TEST_F(EngineProxyGuardService, ConnectionsWithoutCredentialsAreCappedWithoutKeepingTheEngineOut) {
    origin.on("GET", "/capped", [](const auto&) { return LoopbackResponse::text("served"); });
    const std::string authority = "127.0.0.1:" + std::to_string(origin.port());
    const std::string request = "GET http://" + authority +
                                "/capped HTTP/1.1\r\nHost: " + authority + "\r\n" +
                                credentialsField(*proxy) + "\r\n";
    std::vector<std::unique_ptr<RawConnection>> admitted;
    for (int i = 0; i < 8; ++i) {
        admitted.push_back(std::make_unique<RawConnection>(proxy->port()));
        admitted.back()->send(request);
        ASSERT_EQ(statusOf(admitted.back()->readAnswer()), 200);
    }

    const size_t cap = web::proxy::kMostUnadmittedConnections;
    std::vector<std::unique_ptr<RawConnection>> strangers;
    // One that trickles a head is kept over the silent ones.
    strangers.push_back(std::make_unique<RawConnection>(proxy->port()));
    strangers.back()->send("GET http://");
    for (size_t i = 1; i < cap + 72; ++i)
        strangers.push_back(std::make_unique<RawConnection>(proxy->port()));
    ASSERT_TRUE(strangers[1]->closedWithin(kLimitMs));
    for (size_t i = 2; i <= 72; ++i) EXPECT_TRUE(strangers[i]->closedWithin(kLimitMs)) << i;
    EXPECT_FALSE(strangers.front()->closedWithin(200));
    EXPECT_FALSE(strangers.back()->closedWithin(200));
    for (auto& connection : admitted) {
        connection->send(request);
        EXPECT_EQ(statusOf(connection->readAnswer()), 200);
    }
    // New connections with credentials are served while the strangers stay.
    for (int i = 0; i < 16; ++i) {
        RawConnection engine(proxy->port());
        engine.send(request);
        EXPECT_EQ(statusOf(engine.readAnswer()), 200) << i;
    }
    EXPECT_EQ(fetch(*proxy, origin.url("/capped").absoluteString()).status, 200);
}

// A connection that showed credentials is no longer among the strangers':
// when they crowd in, each having sent a byte, the oldest stranger goes, not
// the engine's older connection.
TEST_F(EngineProxyGuardService, StrangersThatSpeakNeverCloseTheEnginesConnection) {
    origin.on("GET", "/kept", [](const auto&) { return LoopbackResponse::text("kept"); });
    const std::string authority = "127.0.0.1:" + std::to_string(origin.port());
    const std::string request = "GET http://" + authority + "/kept HTTP/1.1\r\nHost: " + authority +
                                "\r\n" + credentialsField(*proxy) + "\r\n";
    RawConnection engine(proxy->port());
    engine.send(request);
    ASSERT_EQ(statusOf(engine.readAnswer()), 200);
    std::vector<std::unique_ptr<RawConnection>> strangers;
    for (size_t i = 0; i < web::proxy::kMostUnadmittedConnections + 16; ++i) {
        strangers.push_back(std::make_unique<RawConnection>(proxy->port()));
        strangers.back()->send("G");
    }
    EXPECT_TRUE(strangers.front()->closedWithin(kLimitMs));
    engine.send(request);
    EXPECT_EQ(statusOf(engine.readAnswer()), 200);
}

// The tunnels' cap is exact: kMostTunnels open at once (here, each waiting
// for its handshake), and the next CONNECT refused with 503. In a process
// of its own, as the engine's tunnels of other tests may still be open.
TEST_F(EngineProxyGuardService, TunnelsAreCappedAtTheirBound) {
    EXPECT_TRUE(testsupport::passesAlone("EngineProxyGuardService.DISABLED_TunnelCapAlone"));
}

TEST_F(EngineProxyGuardService, DISABLED_TunnelCapAlone) {
    testsupport::ManualClockScope clock;  // no handshake times out meanwhile
    const std::string connect = "CONNECT tunnel.test:443 HTTP/1.1\r\nHost: tunnel.test:443\r\n" +
                                credentialsField(*proxy) + "\r\n";
    std::vector<std::unique_ptr<RawConnection>> tunnels;
    for (size_t i = 0; i < web::proxy::kMostTunnels; ++i) {
        tunnels.push_back(std::make_unique<RawConnection>(proxy->port()));
        tunnels.back()->send(connect);
        ASSERT_EQ(statusOf(tunnels.back()->readHead()), 200) << i;
    }
    RawConnection over(proxy->port());
    over.send(connect);
    EXPECT_EQ(statusOf(over.readHead()), 503);
    // Through SOCKS too: the destination is refused (a general failure).
    RawConnection socks(proxy->socksPort());
    socks.send(std::string{5, 1, 2});
    ASSERT_EQ(socks.readSome(), std::string({5, 2}));
    socks.send(std::string{1, char(proxy->user().size())} + proxy->user() +
               char(proxy->password().size()) + proxy->password());
    ASSERT_EQ(socks.readSome(), std::string({1, 0}));
    socks.send(std::string{5, 1, 0, 3, 11} + "tunnel.test" + char(1) + char(187));
    const std::string reply = socks.readSome();
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(reply[1], 1);
}

// Credentials are one Proxy-Authorization field: two, even both right, are
// none.
TEST_F(EngineProxyGuardService, TwoCredentialsFieldsAreNone) {
    origin.on("GET", "/twice", [](const auto&) { return LoopbackResponse::text("twice"); });
    const std::string authority = "127.0.0.1:" + std::to_string(origin.port());
    const std::string start =
        "GET http://" + authority + "/twice HTTP/1.1\r\nHost: " + authority + "\r\n";
    const std::string right = credentialsField(*proxy);
    for (const std::string& fields :
         {right + right, right + "Proxy-Authorization: Basic bm9ib2R5Og==\r\n"}) {
        RawConnection client(proxy->port());
        client.send(start + fields + "\r\n");
        EXPECT_EQ(statusOf(client.readHead()), 407);
    }
    EXPECT_TRUE(origin.requestsTo("/twice").empty());
}

// Only the run's whole password opens the proxy: a part of it, or it with
// more after it, is challenged as no password is.
TEST_F(EngineProxyGuardService, OnlyTheWholePasswordIsTheRuns) {
    origin.on("GET", "/whole", [](const auto&) { return LoopbackResponse::text("whole"); });
    const std::string password = proxy->password();
    for (const std::string& tried : {password.substr(0, password.size() - 1), password + "0"}) {
        Request request;
        request.password = tried;
        EXPECT_EQ(fetch(*proxy, origin.url("/whole").absoluteString(), request).status, 407)
            << tried;
    }
    EXPECT_TRUE(origin.requestsTo("/whole").empty());
    EXPECT_EQ(fetch(*proxy, origin.url("/whole").absoluteString()).body, "whole");
}

// A body sent after a challenged head is read and dropped up to
// kMostRequestBodyBytes, its framing counted with its data, and the
// connection serves the next request; one a byte longer ends the
// connection: at the head when its length says so (the challenge tells the
// client), after the bound when it comes in chunks.
TEST_F(EngineProxyGuardService, AChallengedBodyIsDroppedUpToItsBound) {
    const std::string authority = "127.0.0.1:" + std::to_string(origin.port());
    const std::string start =
        "POST http://" + authority + "/drop HTTP/1.1\r\nHost: " + authority + "\r\n";
    const std::string next =
        "GET http://" + authority + "/next HTTP/1.1\r\nHost: " + authority + "\r\n\r\n";
    const std::int64_t bound = web::proxy::kMostRequestBodyBytes;
    for (const bool chunked : {false, true}) {
        for (const std::int64_t over : {0, 1}) {
            // In chunks, 16 bytes of framing: "3fffff0\r\n" and "\r\n0\r\n\r\n".
            const std::int64_t size = bound + over - (chunked ? 16 : 0);
            SCOPED_TRACE(std::string(chunked ? "chunked " : "length ") + std::to_string(size));
            char chunk[32];
            std::snprintf(chunk, sizeof chunk, "%llx\r\n", static_cast<long long>(size));
            RawConnection client(proxy->port());
            client.send(start +
                        (chunked ? "Transfer-Encoding: chunked\r\n"
                                 : "Content-Length: " + std::to_string(size) + "\r\n") +
                        "\r\n");
            const std::string challenge = client.readHead();
            EXPECT_EQ(statusOf(challenge), 407);
            EXPECT_EQ(challenge.find("Connection: close") != std::string::npos,
                      !chunked && over > 0)
                << challenge;
            // In one write, so that the body's end comes with its last data.
            (void)client.send((chunked ? chunk : "") + std::string(size_t(size), 'd') +
                              (chunked ? "\r\n0\r\n\r\n" : "") + next);
            if (over > 0) {
                EXPECT_TRUE(client.closedWithin(kLimitMs));
            } else {
                EXPECT_EQ(statusOf(client.readAnswer()), 407);
            }
        }
    }
    // Past the bound by its last framing alone, which comes after a pause.
    const std::int64_t size = bound + 1 - 16;
    char chunk[32];
    std::snprintf(chunk, sizeof chunk, "%llx\r\n", static_cast<long long>(size));
    RawConnection client(proxy->port());
    client.send(start + "Transfer-Encoding: chunked\r\n\r\n");
    EXPECT_EQ(statusOf(client.readHead()), 407);
    (void)client.send(chunk + std::string(size_t(size), 'd'));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    (void)client.send("\r\n0\r\n\r\n" + next);
    EXPECT_TRUE(client.closedWithin(kLimitMs));
}

// An answer given while the request's body is still unread says that the
// connection ends with it: here, a request with a body for the proxy's own
// address.
TEST_F(EngineProxyGuardService, AnAnswerBeforeTheBodyClosesTheConnection) {
    const std::string self = "127.0.0.1:" + std::to_string(proxy->port());
    for (const std::string framing : {"Content-Length: 4\r\n", "Transfer-Encoding: chunked\r\n"}) {
        RawConnection client(proxy->port());
        client.send("POST http://" + self + "/loop HTTP/1.1\r\nHost: " + self + "\r\n" + framing +
                    credentialsField(*proxy) + "\r\n");
        const std::string answer = client.readHead();
        EXPECT_EQ(statusOf(answer), 403) << framing;
        EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer;
        EXPECT_TRUE(client.closedWithin(kLimitMs)) << framing;
    }
}

// A WebSocket through the proxy ends after kWebSocketIdleSeconds without a byte
// either way; each byte starts the time again.
TEST_F(EngineProxyGuardService, AnIdleWebSocketEnds) {
    testsupport::ManualClockScope clock;
    RawListener service;
    const std::string authority = "127.0.0.1:" + std::to_string(service.port());
    RawConnection client(proxy->port());
    client.send("GET http://" + authority + "/socket HTTP/1.1\r\nHost: " + authority + "\r\n" +
                kUpgrade + credentialsField(*proxy) + "\r\n");
    const auto peer = service.accept(kLimitMs);
    ASSERT_TRUE(peer);
    ASSERT_FALSE(peer->readHead().empty());
    peer->send("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
               "Connection: Upgrade\r\n\r\n");
    ASSERT_EQ(statusOf(client.readHead()), 101);

    const double idle = web::proxy::kWebSocketIdleSeconds;
    clock.advance(idle - 10);
    client.send("up");
    EXPECT_EQ(peer->readSome(), "up");
    clock.advance(idle - 10);
    peer->send("down");
    EXPECT_EQ(client.readSome(), "down");
    clock.advance(idle - 10);
    EXPECT_FALSE(client.closedWithin(200));
    clock.advance(11);
    EXPECT_TRUE(client.closedWithin(kLimitMs));
    EXPECT_TRUE(peer->closedWithin(kLimitMs));
}

}  // namespace
