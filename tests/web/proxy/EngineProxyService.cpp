// The engine proxy driven as the engine drives it: libcurl easy handles with
// the proxy's URI and credentials (and its authority for https through
// CONNECT), loopback servers as origins, URL protocols registered by the
// tests, and libsoup clients where libsoup's own behaviour is the point.

#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "EngineProxyTesting.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/TestCertificates.h"
#include "support/ManualClockScope.h"
#include "web/TrustedAuthorities.h"
#include "web/WebProcessProtocol.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyExchange.h"
#include "web/proxy/ProxyGuards.h"
#include "web/proxy/ProxyServer.h"

namespace {

using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using proxytesting::fetch;
using proxytesting::RecordingFactory;
using proxytesting::Registered;
using proxytesting::Reply;
using proxytesting::Request;

class EngineProxyService : public proxytesting::ProxyTest {
protected:
    void TearDown() override { web::TrustedAuthorities::setPEM({}); }

    // A port nothing listens on.
    static int closedPort() {
        LoopbackServer server;
        return server.port();
    }

    LoopbackServer origin;
};

// Why the proxy failed a load of no page, taken; nullopt when it did not.
// The client itself sees a failed load and nothing of the proxy's.
std::optional<web::protocol::ProxyError> failureOf(const std::string& url) {
    return web::EngineProxy::takeFailure(0, url);
}

// What a client sees of a load the proxy failed before its answer.
void expectFailed(const Reply& reply) {
    EXPECT_NE(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 0);
    EXPECT_TRUE(reply.body.empty());
}

TEST_F(EngineProxyService, AdmitsOnlyItsOwnCredentials) {
    origin.on("GET", "/page", [](const auto&) { return LoopbackResponse::text("page"); });
    EXPECT_EQ(proxy->user(), "vantor");
    EXPECT_EQ(proxy->password().size(), 64u);
    EXPECT_EQ(proxy->uri(), "http://127.0.0.1:" + std::to_string(proxy->port()));

    Request anonymous;
    anonymous.credentials = false;
    EXPECT_EQ(fetch(*proxy, origin.url("/page").absoluteString(), anonymous).status, 407);
    Request wrong;
    wrong.password = std::string(proxy->password()).replace(0, 1, "-");
    EXPECT_EQ(fetch(*proxy, origin.url("/page").absoluteString(), wrong).status, 407);
    const Reply tunnel =
        fetch(*proxy, "https://127.0.0.1:" + std::to_string(origin.port()) + "/page", anonymous);
    EXPECT_EQ(tunnel.connectStatus, 407);
    EXPECT_NE(tunnel.code, CURLE_OK);
    EXPECT_TRUE(origin.requests().empty());

    const Reply admitted = fetch(*proxy, origin.url("/page").absoluteString());
    EXPECT_EQ(admitted.code, CURLE_OK);
    EXPECT_EQ(admitted.status, 200);
    EXPECT_EQ(admitted.body, "page");
}

TEST_F(EngineProxyService, CarriesRequestsWithTheEnginesFieldsButNotItsOwn) {
    origin.on("GET", "/get", [](const LoopbackRequest& request) {
        auto response = LoopbackResponse::text("got " + request.rawQuery);
        response.headers.add("X-Origin", "yes");
        return response;
    });
    origin.on("POST", "/post", [](const LoopbackRequest& request) {
        return LoopbackResponse::text(std::to_string(request.body.size()) + " bytes", 201);
    });
    Request get;
    const std::string getURL = origin.url("/get?a=1&b=%20").absoluteString();
    get.headers = {"X-Engine: one", "Accept-Language: de",
                   proxytesting::pageMark(proxy->pageKey(), 3, "", "GET", getURL),
                   std::string(web::protocol::kPageHeader) + ": forged 4"};
    const Reply got = fetch(*proxy, getURL, get);
    EXPECT_EQ(got.code, CURLE_OK);
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body, "got a=1&b=%20");
    EXPECT_EQ(got.headers.value("X-Origin"), "yes");

    std::string body(300'000, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = char(i * 7 % 251);
    Request post;
    post.method = "POST";
    post.body = body;
    post.headers = {"Content-Type: application/octet-stream"};
    const Reply posted = fetch(*proxy, origin.url("/post").absoluteString(), post);
    EXPECT_EQ(posted.status, 201);
    EXPECT_EQ(posted.body, "300000 bytes");

    const auto requests = origin.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("X-Engine"), "one");
    EXPECT_EQ(requests[0].header("Accept-Language"), "de");
    EXPECT_EQ(requests[0].header("Host"), "127.0.0.1:" + std::to_string(origin.port()));
    EXPECT_EQ(requests[1].body, body);
    EXPECT_EQ(requests[1].header("Content-Type"), "application/octet-stream");
    for (const auto& request : requests) {
        EXPECT_FALSE(request.header(web::protocol::kPageHeader)) << request.path;
        EXPECT_FALSE(request.header("Proxy-Authorization")) << request.path;
        EXPECT_FALSE(request.header("Proxy-Connection")) << request.path;
    }

    Request head;
    head.method = "HEAD";
    const Reply headed = fetch(*proxy, origin.url("/get").absoluteString(), head);
    EXPECT_EQ(headed.code, CURLE_OK);
    EXPECT_EQ(headed.status, 200);
    EXPECT_EQ(headed.headers.value("Content-Length"), "4");  // "got "
    EXPECT_TRUE(headed.body.empty());
}

// An empty body goes on as one, with "Content-Length: 0" (as the engine
// alone sends it, and as servers may require of a PUT), however the engine
// framed it; a request without a body gets no length.
TEST_F(EngineProxyService, AnEmptyBodyKeepsItsLength) {
    for (const char* method : {"PUT", "DELETE", "POST", "GET"})
        origin.on(method, "/empty",
                  [](const LoopbackRequest&) { return LoopbackResponse::text("ok"); });
    Request put;
    put.method = "PUT";
    Request erase;
    erase.method = "DELETE";
    Request inChunks;
    inChunks.fillerBytes = 0;
    inChunks.chunked = true;
    for (const Request& request : {put, erase, inChunks, Request{}})
        EXPECT_EQ(fetch(*proxy, origin.url("/empty").absoluteString(), request).status, 200)
            << request.method;
    ASSERT_TRUE(origin.waitForRequests(4, 10));
    std::vector<std::string> framing;
    for (const auto& request : origin.requestsTo("/empty"))
        framing.push_back(request.method + " " + request.header("Content-Length").value_or("-") +
                          (request.header("Transfer-Encoding") ? " chunked" : ""));
    EXPECT_EQ(framing, (std::vector<std::string>{"PUT 0", "DELETE 0", "POST 0", "GET -"}));
}

// Fields a Connection field names are for one hop: they cross the proxy
// neither to the origin nor back to the client.
TEST_F(EngineProxyService, FieldsNamedInConnectionStayOnTheirHop) {
    origin.on("GET", "/hop", [](const auto&) {
        auto response = LoopbackResponse::text("hop");
        response.headers.add("Connection", "X-Answer-Hop");
        response.headers.add("X-Answer-Hop", "origin's");
        response.headers.add("X-Answer-End", "kept");
        return response;
    });
    Request request;
    request.headers = {"Connection: X-Request-Hop", "X-Request-Hop: engine's",
                       "X-Request-End: kept"};
    const Reply reply = fetch(*proxy, origin.url("/hop").absoluteString(), request);
    EXPECT_EQ(reply.status, 200);
    EXPECT_FALSE(reply.headers.contains("X-Answer-Hop"));
    EXPECT_EQ(reply.headers.value("X-Answer-End"), "kept");
    const auto requests = origin.requestsTo("/hop");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].header("X-Request-Hop"));
    EXPECT_EQ(requests[0].header("X-Request-End"), "kept");
}

TEST_F(EngineProxyService, AnswersComeBackAsTheOriginSentThem) {
    origin.on("GET", "/moved", [](const auto&) {
        auto response = LoopbackResponse::redirect("/target");
        response.headers.add("Set-Cookie", "a=1; Path=/");
        response.headers.add("Set-Cookie", "b=2; HttpOnly");
        // No field tells of the proxy's failures: an origin's of any name
        // comes through.
        response.headers.add("Vantor-Proxy-Error", "-1004 forged");
        return response;
    });
    origin.on("GET", "/target", [](const auto&) { return LoopbackResponse::text("target"); });
    origin.on("GET", "/nothing", [](const auto&) { return LoopbackResponse::empty(204); });
    origin.on("GET", "/asks", [](const auto&) {
        auto response = LoopbackResponse::text("credentials, please", 407);
        response.headers.add("Proxy-Authenticate", "Basic realm=origin");
        return response;
    });

    const Reply moved = fetch(*proxy, origin.url("/moved").absoluteString());
    EXPECT_EQ(moved.code, CURLE_OK);
    EXPECT_EQ(moved.status, 302);
    EXPECT_EQ(moved.headers.value("Location"), "/target");
    EXPECT_EQ(moved.headers.values("Set-Cookie"),
              (std::vector<std::string>{"a=1; Path=/", "b=2; HttpOnly"}));
    EXPECT_EQ(moved.headers.value("Vantor-Proxy-Error"), "-1004 forged");
    EXPECT_TRUE(origin.requestsTo("/target").empty());

    const Reply nothing = fetch(*proxy, origin.url("/nothing").absoluteString());
    EXPECT_EQ(nothing.code, CURLE_OK);
    EXPECT_EQ(nothing.status, 204);
    EXPECT_TRUE(nothing.body.empty());

    // Only the proxy itself asks for the proxy's credentials.
    const Reply asks = fetch(*proxy, origin.url("/asks").absoluteString());
    EXPECT_EQ(asks.status, 502);
    EXPECT_FALSE(asks.headers.contains("Proxy-Authenticate"));
    EXPECT_EQ(asks.body, "credentials, please");
}

TEST_F(EngineProxyService, AStreamReachesTheClientWhileItLasts) {
    const auto gate = fixtures::ResponseGate::make();
    origin.on("GET", "/sized", [gate](const auto&) {
        return LoopbackResponse::text(std::string(4000, 'e')).meteredBy(gate);
    });
    origin.on("GET", "/chunked", [](const auto&) {
        auto response = LoopbackResponse::text("in chunks");
        response.unsized = true;
        return response;
    });
    gate->openTo(100);
    std::atomic<size_t> received{0};
    Reply sized;
    std::thread client([&] {
        Request request;
        request.onData = [&](const std::string& piece) { received += piece.size(); };
        sized = fetch(*proxy, origin.url("/sized").absoluteString(), request);
    });
    const bool firstBytes = core::RunLoop::main().runUntil([&] { return received >= 100; }, 20);
    EXPECT_TRUE(firstBytes);
    EXPECT_EQ(received, 100u);  // nothing past what the origin sent
    gate->release();
    client.join();
    EXPECT_EQ(sized.code, CURLE_OK);
    EXPECT_EQ(sized.body, std::string(4000, 'e'));
    EXPECT_EQ(sized.headers.value("Content-Length"), "4000");

    // A large page goes through whole while the main thread only waits in
    // libcurl: nothing of the proxy runs there.
    origin.on("GET", "/large", [](const auto&) { return LoopbackResponse::filler(12 << 20); });
    const Reply large = fetch(*proxy, origin.url("/large").absoluteString());
    EXPECT_EQ(large.code, CURLE_OK);
    EXPECT_EQ(large.body.size(), size_t(12) << 20);

    // No bound of the URL layer's holds: past it, in chunks too.
    auto huge = LoopbackResponse::text(std::string(40 << 20, 'h'));
    huge.unsized = true;
    origin.on("GET", "/huge", [&huge](const auto&) { return huge; });
    const Reply hugeReply = fetch(*proxy, origin.url("/huge").absoluteString());
    EXPECT_EQ(hugeReply.code, CURLE_OK) << curl_easy_strerror(hugeReply.code);
    EXPECT_EQ(hugeReply.body.size(), size_t(40) << 20);
    EXPECT_EQ(hugeReply.headers.value("Transfer-Encoding"), "chunked");

    // An answer of unknown length goes on in chunks.
    const Reply chunked = fetch(*proxy, origin.url("/chunked").absoluteString());
    EXPECT_EQ(chunked.code, CURLE_OK);
    EXPECT_EQ(chunked.body, "in chunks");
    EXPECT_FALSE(chunked.headers.contains("Content-Length"));
    EXPECT_EQ(chunked.headers.value("Transfer-Encoding"), "chunked");
}

TEST_F(EngineProxyService, AFailedLoadReachesTheClientAsAFailure) {
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort()) + "/x";
    const Reply reply = fetch(*proxy, refused);
    expectFailed(reply);
    const auto error = failureOf(refused);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1004);
    EXPECT_NE(error->message.find("127.0.0.1"), std::string::npos) << error->message;

    // A body that breaks off at the origin breaks off at the client.
    origin.on("GET", "/cut", [](const auto&) {
        auto response = LoopbackResponse::text(std::string(10'000, 'c'));
        response.closeAfter = 2'000;
        return response;
    });
    const Reply cut = fetch(*proxy, origin.url("/cut").absoluteString());
    EXPECT_NE(cut.code, CURLE_OK);
    EXPECT_EQ(cut.status, 200);
    EXPECT_LE(cut.body.size(), 2'000u);

    // A protocol's failure is one like any other.
    auto failing =
        std::make_shared<RecordingFactory>("/failing", RecordingFactory::Behaviour::fail);
    Registered registered(failing);
    Request post;
    post.method = "POST";
    post.body = "once";
    const Reply failed = fetch(*proxy, origin.url("/failing").absoluteString(), post);
    expectFailed(failed);
    const auto protocolError = failureOf(origin.url("/failing").absoluteString());
    ASSERT_TRUE(protocolError);
    EXPECT_EQ(protocolError->code, -1004);
    EXPECT_EQ(failing->starts, 1);
}

// A mark opens only under the run's key and for the request it was sealed
// for: copied onto another URL or method, it names no page.
TEST_F(EngineProxyService, APageMarkSealedForTheRequestWithTheRunsKeyNamesThePage) {
    auto pages = std::make_shared<RecordingFactory>("/marked", RecordingFactory::Behaviour::answer,
                                                    "from the protocol");
    Registered registered(pages);
    const auto url = [&](const std::string& path) { return origin.url(path).absoluteString(); };
    const std::string& key = proxy->pageKey();
    Request right;
    right.headers = {proxytesting::pageMark(key, 42, "https://page.test/doc?x=1", "GET",
                                            url("/marked/one") + "#fragment")};
    const Reply answered = fetch(*proxy, url("/marked/one"), right);
    EXPECT_EQ(answered.code, CURLE_OK);
    EXPECT_EQ(answered.status, 200);
    EXPECT_EQ(answered.body, "from the protocol");
    Request wrong;
    wrong.headers = {proxytesting::pageMark(std::string(key.size(), 'a'), 43, "https://x.test/",
                                            "GET", url("/marked/two"))};
    EXPECT_EQ(fetch(*proxy, url("/marked/two"), wrong).status, 200);
    Request withoutURL;
    withoutURL.headers = {proxytesting::pageMark(key, 44, "", "GET", url("/marked/three"))};
    EXPECT_EQ(fetch(*proxy, url("/marked/three"), withoutURL).status, 200);
    Request otherURL;
    otherURL.headers = {
        proxytesting::pageMark(key, 45, "https://x.test/", "GET", url("/marked/1"))};
    EXPECT_EQ(fetch(*proxy, url("/marked/four"), otherURL).status, 200);
    Request otherMethod;
    otherMethod.method = "POST";
    otherMethod.body = "x";
    otherMethod.headers = {
        proxytesting::pageMark(key, 46, "https://x.test/", "GET", url("/marked/five"))};
    EXPECT_EQ(fetch(*proxy, url("/marked/five"), otherMethod).status, 200);

    EXPECT_TRUE(origin.requests().empty());
    auto requests = pages->requests();
    ASSERT_EQ(requests.size(), 5u);
    for (size_t i = 3; i < 5; ++i) {
        EXPECT_FALSE(requests[i].mainDocumentURL()) << i;
        EXPECT_FALSE(requests[i].hasProperty(web::protocol::kPageIdProperty)) << i;
    }
    ASSERT_TRUE(requests[0].mainDocumentURL());
    EXPECT_EQ(requests[0].mainDocumentURL()->absoluteString(), "https://page.test/doc?x=1");
    EXPECT_EQ(requests[0].property(web::protocol::kPageIdProperty), core::Value(std::uint64_t(42)));
    EXPECT_FALSE(requests[0].value(web::protocol::kPageHeader));
    EXPECT_FALSE(requests[1].mainDocumentURL());
    EXPECT_FALSE(requests[1].hasProperty(web::protocol::kPageIdProperty));
    EXPECT_FALSE(requests[1].value(web::protocol::kPageHeader));
    EXPECT_FALSE(requests[2].mainDocumentURL());
    EXPECT_EQ(requests[2].property(web::protocol::kPageIdProperty), core::Value(std::uint64_t(44)));
}

// A client that stops reading for a while keeps its answer, in a tunnel
// too: its connection's idle time-out holds between requests, not while it
// takes an answer.
TEST_F(EngineProxyService, AClientThatPausesItsReadingKeepsItsAnswer) {
    struct Restore {
        ~Restore() { web::proxy::setClientIdleSeconds(web::proxy::kClientIdleSeconds); }
    } restore;
    web::proxy::setClientIdleSeconds(1);
    origin.startTLS();
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    // More than the sockets' buffers hold, so that the proxy waits to write.
    constexpr size_t kBytes = size_t(48) << 20;
    origin.on("GET", "/large", [](const auto&) { return LoopbackResponse::filler(kBytes); });
    for (const std::string& base : {origin.baseURL(), origin.secureBaseURL()}) {
        bool paused = false;
        Request request;
        request.onData = [&](const std::string&) {
            if (std::exchange(paused, true)) return;
            std::this_thread::sleep_for(std::chrono::seconds(3));
        };
        const Reply reply = fetch(*proxy, base + "/large", request);
        EXPECT_EQ(reply.code, CURLE_OK) << base << ": " << curl_easy_strerror(reply.code);
        EXPECT_EQ(reply.body.size(), kBytes) << base;
    }
}

TEST_F(EngineProxyService, HTTPSThroughATunnelMeetsTheAuthorityAndTheOrigin) {
    origin.startTLS();
    origin.on("GET", "/secure", [](const auto&) { return LoopbackResponse::text("secret"); });
    const std::string url = origin.secureBaseURL() + "/secure";

    // The origin's authority is nobody's the app trusts.
    const Reply untrusted = fetch(*proxy, url);
    EXPECT_EQ(untrusted.connectStatus, 200);
    expectFailed(untrusted);
    const auto error = failureOf(url);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1200);
    EXPECT_TRUE(origin.requests().empty());

    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    Request tunnelled;
    // As the engine does: its credentials on every request in the tunnel too.
    tunnelled.headers = {"Proxy-Authorization: Basic dmFudG9yOng="};
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        const Reply reply =
            fetch(*proxy, "https://" + host + ":" + std::to_string(origin.securePort()) + "/secure",
                  tunnelled);
        EXPECT_EQ(reply.code, CURLE_OK) << host << ": " << curl_easy_strerror(reply.code);
        EXPECT_EQ(reply.connectStatus, 200);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.body, "secret");
        EXPECT_NE(reply.certificateSubject.find(host), std::string::npos)
            << reply.certificateSubject;
        EXPECT_NE(reply.certificateIssuer.find("proxy authority"), std::string::npos)
            << reply.certificateIssuer;
    }
    ASSERT_EQ(origin.requests().size(), 2u);
    for (const auto& request : origin.requests())
        EXPECT_FALSE(request.header("Proxy-Authorization"));
}

// A certificate from an authority the app trusts, but for another host,
// fails the onward load like an untrusted one.
TEST_F(EngineProxyService, AnOnwardCertificateForAnotherHostIsRefused) {
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    LoopbackServer elsewhere;
    elsewhere.startTLS(LoopbackServer::kDefaultTLSWorkerThreads,
                       LoopbackServer::Identity::elsewhere);
    elsewhere.on("GET", "/secure", [](const auto&) { return LoopbackResponse::text("secret"); });
    const Reply reply = fetch(*proxy, elsewhere.secureBaseURL() + "/secure");
    EXPECT_EQ(reply.connectStatus, 200);
    expectFailed(reply);
    const auto error = failureOf(elsewhere.secureBaseURL() + "/secure");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1200);
    EXPECT_TRUE(elsewhere.requests().empty());
}

TEST_F(EngineProxyService, RefusesItsOwnAddressAndCarriesBodiesOfAnyLength) {
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        const std::string self = host + ":" + std::to_string(proxy->port());
        EXPECT_EQ(fetch(*proxy, "http://" + self + "/loop").status, 403) << host;
        EXPECT_EQ(fetch(*proxy, "https://" + self + "/loop").connectStatus, 403) << host;
    }

    // Sized and in chunks, at and past what the proxy gathers whole, and
    // past what it reads only to drop; in a tunnel too.
    origin.startTLS();
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    origin.on("POST", "/upload", [](const LoopbackRequest& request) {
        return LoopbackResponse::text(
            std::to_string(std::count(request.body.begin(), request.body.end(), 'x')));
    });
    const std::int64_t lengths[] = {web::proxy::kMostHeldBodyBytes,
                                    web::proxy::kMostRequestBodyBytes + 1};
    for (const std::string& base : {origin.baseURL(), origin.secureBaseURL()}) {
        for (const bool chunked : {false, true}) {
            for (const std::int64_t length : lengths) {
                Request upload;
                upload.fillerBytes = length;
                upload.chunked = chunked;
                upload.headers = {"Content-Type: application/octet-stream"};
                const Reply taken = fetch(*proxy, base + "/upload", upload);
                const std::string what =
                    base + " " + std::to_string(length) + (chunked ? " in chunks" : "");
                EXPECT_EQ(taken.status, 200) << what;
                EXPECT_EQ(taken.body, std::to_string(length)) << what;
                origin.clearLog();
            }
        }
    }
}

// A body longer than the proxy gathers whole is offered to the URL
// protocols with its start at hand and its declared length. One that
// answers without reading it has its answer reach the client, whose
// connection ends after it (the rest of the body is never read).
TEST_F(EngineProxyService, AURLProtocolSeesTheStartOfALongBody) {
    auto answering = std::make_shared<RecordingFactory>(
        "/taken", RecordingFactory::Behaviour::answer, "answered");
    Registered registered(answering);
    constexpr std::int64_t kBytes = std::int64_t(8) << 20;
    Request upload;
    upload.fillerBytes = kBytes;
    upload.headers = {"Content-Type: application/octet-stream"};
    const Reply reply = fetch(*proxy, origin.url("/taken").absoluteString(), upload);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "answered");
    EXPECT_EQ(reply.headers.value("Connection"), "close");
    const auto requests = answering->requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& stream = requests[0].bodyStream();
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->length(), kBytes);
    const core::Data start = stream->firstBytes(size_t(kBytes));
    EXPECT_GE(std::int64_t(start.size()), web::proxy::kStreamedBodyStartBytes);
    EXPECT_LT(std::int64_t(start.size()), kBytes);
    EXPECT_EQ(std::count(start.begin(), start.end(), 'x'), std::int64_t(start.size()));
    EXPECT_TRUE(origin.requests().empty());
}

TEST_F(EngineProxyService, AClientThatHangsUpCancelsTheOnwardLoad) {
    auto held = std::make_shared<RecordingFactory>("/held", RecordingFactory::Behaviour::hold);
    Registered registered(held);
    for (const bool secure : {false, true}) {
        if (secure) origin.startTLS();
        const int before = held->stops;
        Request impatient;
        impatient.timeoutMs = 300;
        const std::string url =
            (secure ? origin.secureBaseURL() : origin.baseURL()) + "/held/" + (secure ? "s" : "p");
        const Reply reply = fetch(*proxy, url, impatient);
        EXPECT_EQ(reply.code, CURLE_OPERATION_TIMEDOUT) << secure;
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return held->stops > before; }, 20))
            << secure;
    }
    EXPECT_EQ(held->starts, 2);
}

// A load has no deadline of its own: it fails only once nothing came for
// the idle limit (a URL protocol's as the network's), however long it
// lasts while bytes keep coming.
TEST_F(EngineProxyService, ALoadFailsOnlyOnceItIdlesForTheLimit) {
    testsupport::ManualClockScope clock;
    const auto gate = fixtures::ResponseGate::make();
    origin.on("GET", "/slow", [gate](const auto&) {
        return LoopbackResponse::text(std::string(4, 's')).meteredBy(gate);
    });
    std::atomic<size_t> received{0};
    Reply slow;
    std::thread reader([&] {
        Request request;
        request.onData = [&](const std::string& piece) { received += piece.size(); };
        slow = fetch(*proxy, origin.url("/slow").absoluteString(), request);
    });
    for (size_t bytes = 1; bytes <= 3; ++bytes) {
        gate->openTo(bytes);
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return received >= bytes; }, 20));
        clock.advance(web::proxy::Exchange::kIdleSeconds - 1);
    }
    gate->release();
    reader.join();
    EXPECT_EQ(slow.code, CURLE_OK) << curl_easy_strerror(slow.code);
    EXPECT_EQ(slow.body, "ssss");

    auto held = std::make_shared<RecordingFactory>("/never", RecordingFactory::Behaviour::hold);
    Registered registered(held);
    Reply reply;
    std::thread client([&] { reply = fetch(*proxy, origin.url("/never").absoluteString()); });
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return held->starts == 1; }, 20));
    clock.advance(web::proxy::Exchange::kIdleSeconds - 1);
    EXPECT_FALSE(core::RunLoop::main().runUntil([&] { return held->stops > 0; }, 0.2));
    clock.advance(2);
    client.join();
    expectFailed(reply);
    const auto error = failureOf(origin.url("/never").absoluteString());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1001);
    EXPECT_EQ(held->stops, 1);
}

TEST_F(EngineProxyService, ATunnelWhoseClientNeverShakesHandsClosesAtTheTimeLimit) {
    testsupport::ManualClockScope clock;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(proxy->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string credentials = proxy->user() + ":" + proxy->password();
    gchar* encoded =
        g_base64_encode(reinterpret_cast<const guchar*>(credentials.data()), credentials.size());
    const std::string connectRequest =
        "CONNECT stalled.test:443 HTTP/1.1\r\nHost: stalled.test:443\r\n"
        "Proxy-Authorization: Basic " +
        std::string(encoded) + "\r\n\r\n";
    g_free(encoded);
    ASSERT_EQ(send(fd, connectRequest.data(), connectRequest.size(), 0),
              ssize_t(connectRequest.size()));
    std::string answer;
    char buffer[512];
    while (answer.find("\r\n\r\n") == std::string::npos) {
        pollfd readable{fd, POLLIN, 0};
        ASSERT_EQ(poll(&readable, 1, 20'000), 1);
        const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        ASSERT_GT(count, 0);
        answer.append(buffer, size_t(count));
    }
    EXPECT_TRUE(answer.starts_with("HTTP/1.1 200")) << answer;

    // The client sends no greeting: the tunnel stays until its time is up.
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.2);
    clock.advance(web::proxy::kHandshakeSeconds - 1);
    pollfd waiting{fd, POLLIN, 0};
    EXPECT_EQ(poll(&waiting, 1, 200), 0);
    clock.advance(2);
    pollfd closing{fd, POLLIN, 0};
    ASSERT_EQ(poll(&closing, 1, 20'000), 1);
    EXPECT_EQ(recv(fd, buffer, sizeof buffer, 0), 0);
    close(fd);
}

}  // namespace
namespace {

// Requests a client makes one after another on one handle; the connections
// each opened (0: it went on an open one).
std::vector<long> connectsOf(const web::EngineProxy& proxy, const std::vector<std::string>& urls) {
    CURL* easy = curl_easy_init();
    const std::string credentials = proxy.user() + ":" + proxy.password();
    const std::string authority = proxy.authorityPEM();
    curl_blob blob{const_cast<char*>(authority.data()), authority.size(), CURL_BLOB_COPY};
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.uri().c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYUSERPWD, credentials.c_str());
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 20'000L);
    curl_easy_setopt(
        easy, CURLOPT_WRITEFUNCTION,
        +[](char*, size_t size, size_t count, void*) { return size * count; });
    std::vector<long> connects;
    for (const auto& url : urls) {
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        long opened = -1;
        if (curl_easy_perform(easy) == CURLE_OK)
            curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &opened);
        connects.push_back(opened);
    }
    curl_easy_cleanup(easy);
    return connects;
}

// The engine sends request after request on the connections it has open to
// the proxy, and through the tunnels it has open: each new one costs it a
// challenge, and a tunnel a TLS handshake. An origin that ends its
// connection after each answer ("Connection: close") ends none of the
// engine's: an answer framed by its length keeps the tunnel it came
// through.
TEST_F(EngineProxyService, ConnectionsAndTunnelsStayOpenBetweenRequests) {
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    origin.startTLS();
    auto again =
        std::make_shared<RecordingFactory>("/again", RecordingFactory::Behaviour::answer, "again");
    Registered registered(again);
    const std::string plain = origin.url("/again").absoluteString();
    const std::string secure =
        "https://127.0.0.1:" + std::to_string(origin.securePort()) + "/again";
    EXPECT_EQ(connectsOf(*proxy, {plain, plain, plain}), (std::vector<long>{1, 0, 0}));
    EXPECT_EQ(connectsOf(*proxy, {secure, secure, secure}), (std::vector<long>{1, 0, 0}));
    EXPECT_EQ(again->starts, 6);

    origin.on("GET", "/closing", [](const auto&) { return LoopbackResponse::text("closing"); });
    const std::string closing =
        "https://127.0.0.1:" + std::to_string(origin.securePort()) + "/closing";
    EXPECT_EQ(connectsOf(*proxy, {closing, closing}), (std::vector<long>{1, 0}));
    EXPECT_EQ(origin.requestsTo("/closing").size(), 2u);
}

// A CORS preflight comes without the proxy's credentials and goes on; an
// OPTIONS request that is no preflight, or carries a body, is challenged.
TEST_F(EngineProxyService, APreflightGoesOnWithoutCredentials) {
    origin.on("OPTIONS", "/cors", [](const auto&) {
        auto response = LoopbackResponse::empty(204);
        response.headers.add("Access-Control-Allow-Origin", "http://page.test");
        response.headers.add("Access-Control-Allow-Methods", "PUT");
        return response;
    });
    Request preflight;
    preflight.method = "OPTIONS";
    preflight.credentials = false;
    preflight.headers = {"Origin: http://page.test", "Access-Control-Request-Method: PUT"};
    const Reply allowed = fetch(*proxy, origin.url("/cors").absoluteString(), preflight);
    EXPECT_EQ(allowed.status, 204);
    EXPECT_EQ(allowed.headers.value("Access-Control-Allow-Methods"), "PUT");

    Request plain = preflight;
    plain.headers = {"Origin: http://page.test"};
    EXPECT_EQ(fetch(*proxy, origin.url("/cors").absoluteString(), plain).status, 407);
    Request bodied = preflight;
    bodied.body = "data";
    EXPECT_EQ(fetch(*proxy, origin.url("/cors").absoluteString(), bodied).status, 407);
    EXPECT_EQ(origin.requestsTo("/cors").size(), 1u);
}

}  // namespace
