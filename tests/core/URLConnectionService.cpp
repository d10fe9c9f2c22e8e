#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ScopedEnvironment.h"
#include "URLConnectionTesting.h"
#include "core/URLConnection.h"
#include "fixtures/AdServer.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/TestCertificates.h"
#include "support/ManualClockScope.h"

namespace {

using core::URLConnection;
using core::URLRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::ConnectionRecord;
using testsupport::load;
using testsupport::waitUntil;
using Events = std::vector<std::string>;

LoopbackResponse cacheable(std::string body, std::string cacheControl) {
    auto response = LoopbackResponse::text(std::move(body));
    response.headers.set("Cache-Control", std::move(cacheControl));
    return response;
}

TEST(URLConnectionService, ReportsResponseBodyCacheQuestionAndFinishOnTheMainLoop) {
    LoopbackServer server;
    server.on("GET", "/kept", [](const auto&) { return cacheable("hello", "max-age=60"); });
    server.on("GET", "/unkept", [](const auto&) { return cacheable("hello", "No-Store"); });
    server.on("GET", "/missing", [](const auto&) { return LoopbackResponse::text("gone", 404); });

    const auto kept = load(server.url("/kept"));
    EXPECT_EQ(kept->events, (Events{"response 200", "will-cache", "finish"}));
    EXPECT_EQ(kept->body, "hello");
    ASSERT_TRUE(kept->proposed);
    EXPECT_EQ(std::string(kept->proposed->data().begin(), kept->proposed->data().end()), "hello");
    EXPECT_EQ(kept->threads, std::set{std::this_thread::get_id()});

    EXPECT_EQ(load(server.url("/unkept"))->events, (Events{"response 200", "finish"}));
    // An error status is a response like any other at this level.
    const auto missing = load(server.url("/missing"));
    EXPECT_EQ(missing->events, (Events{"response 404", "will-cache", "finish"}));
    EXPECT_EQ(missing->body, "gone");
}

TEST(URLConnectionService, AConnectionThatStreamsToDiskIsNeverAskedToCache) {
    LoopbackServer server;
    server.on("GET", "/kept", [](const auto&) { return cacheable("hello", "max-age=60"); });
    const auto record = std::make_shared<ConnectionRecord>();
    auto connection = core::URLConnection::create(core::URLRequest(server.url("/kept")), record);
    connection->setOffersResponseToCache(false);
    connection->scheduleInRunLoop(core::RunLoop::main());
    connection->start();
    connection->setOffersResponseToCache(true);  // too late: ignored
    ASSERT_TRUE(waitUntil([&] { return record->ended; }));
    EXPECT_EQ(record->events, (Events{"response 200", "finish"}));
    EXPECT_EQ(record->body, "hello");
}

TEST(URLConnectionService, CallbacksOfAWorkerThreadsLoopArriveOnThatThread) {
    LoopbackServer server;
    server.on("GET", "/", [](const auto&) { return LoopbackResponse::text("from afar"); });
    auto record = std::make_shared<ConnectionRecord>();
    std::thread::id workerId;
    std::thread worker([&] {
        workerId = std::this_thread::get_id();
        auto connection = URLConnection::create(URLRequest(server.url("/")), record);
        connection->start();  // on this thread's loop
        connection.reset();   // a loading connection keeps itself alive
        (void)core::RunLoop::current().runUntil([&] { return record->ended; }, 10.0);
    });
    worker.join();
    EXPECT_EQ(record->events, (Events{"response 200", "will-cache", "finish"}));
    EXPECT_EQ(record->body, "from afar");
    EXPECT_EQ(record->threads, std::set{workerId});
}

TEST(URLConnectionService, EachRedirectIsAskedAndMayBeFollowedReplacedOrStopped) {
    LoopbackServer server;
    server.on("GET", "/a", [](const auto&) { return LoopbackResponse::redirect("/b"); });
    server.on("GET", "/b", [](const auto&) { return LoopbackResponse::text("b"); });
    server.on("GET", "/c", [](const auto&) { return LoopbackResponse::text("c"); });
    const std::string redirect = "redirect 302 " + server.baseURL() + "/b";

    struct Case {
        const char* name;
        std::function<std::optional<URLRequest>(URLRequest)> answer;
        Events events;
        std::string body;
        size_t requestsToB;
    };
    const std::vector<Case> cases = {
        {"follow", nullptr, {redirect, "response 200", "will-cache", "finish"}, "b", 1},
        {"replace",
         [&](URLRequest) { return URLRequest(server.url("/c")); },
         {redirect, "response 200", "will-cache", "finish"},
         "c",
         0},
        {"stop",
         [](URLRequest) { return std::nullopt; },
         {redirect, "response 302", "will-cache", "finish"},
         "",
         0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        server.clearLog();
        auto record = std::make_shared<ConnectionRecord>();
        record->onRedirect = test.answer;
        load(URLRequest(server.url("/a")), record);
        EXPECT_EQ(record->events, test.events);
        EXPECT_EQ(record->body, test.body);
        EXPECT_EQ(server.requestsTo("/b").size(), test.requestsToB);
    }
}

// A paused load takes no more of the body, however much the server has
// sent, and waits past its idle time-out; resumed, it gets the rest.
TEST(URLConnectionService, APausedLoadTakesNoMoreAndDoesNotTimeOut) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    const auto gate = fixtures::ResponseGate::make();
    const std::string text(200'000, 'p');
    server.on("GET", "/paused",
              [&](const auto&) { return LoopbackResponse::text(text).meteredBy(gate); });
    auto record = std::make_shared<ConnectionRecord>();
    core::URLSessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = 5;
    auto connection =
        URLConnection::create(URLRequest(server.url("/paused")), record, configuration);
    connection->scheduleInRunLoop(core::RunLoop::main());
    connection->start();
    gate->openTo(1'000);
    ASSERT_TRUE(waitUntil([&] { return record->body.size() == 1'000; }));
    connection->setReceivingPaused(true);

    gate->release();
    EXPECT_FALSE(core::RunLoop::main().runUntil([&] { return record->body.size() > 1'000; }, 0.3));
    clock.advance(10);
    EXPECT_FALSE(core::RunLoop::main().runUntil([&] { return record->ended; }, 0.3));
    EXPECT_EQ(record->body.size(), 1'000u);

    connection->setReceivingPaused(false);
    EXPECT_TRUE(waitUntil([&] { return record->ended; }));
    // Nothing comes after the finish; what is still posted runs here.
    const auto told = record->events;
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(record->events, told);
    ASSERT_FALSE(record->events.empty());
    EXPECT_EQ(record->events.back(), "finish");
    EXPECT_EQ(record->body, text);
}

TEST(URLConnectionService, OnlyHTTPAndHTTPSAreLoadedAtStartOrAfterARedirect) {
    LoopbackServer server;
    server.on("GET", "/to-file",
              [](const auto&) { return LoopbackResponse::redirect("file:///etc/passwd"); });
    server.on("GET", "/to-page", [](const auto&) { return LoopbackResponse::redirect("/page"); });

    for (const char* text :
         {"file:///etc/passwd", "ftp://127.0.0.1/x", "data:text/plain,hi", "gopher://127.0.0.1/"}) {
        SCOPED_TRACE(text);
        const auto record = load(*core::URL::create(text));
        EXPECT_EQ(record->events, (Events{"fail unsupportedURL"}));
        ASSERT_TRUE(record->error);
        EXPECT_NE(record->error->message.find("only http and https"), std::string::npos);
    }

    // A server's redirect to file: is refused before anyone follows it.
    const auto redirected = load(server.url("/to-file"));
    EXPECT_EQ(redirected->events, (Events{"fail unsupportedURL"}));
    ASSERT_TRUE(redirected->error);
    EXPECT_NE(redirected->error->message.find("file:///etc/passwd"), std::string::npos);

    // So is a delegate's answer of one.
    auto record = std::make_shared<ConnectionRecord>();
    record->onRedirect = [](URLRequest) { return URLRequest(core::URL::fileURL("/etc/passwd")); };
    load(URLRequest(server.url("/to-page")), record);
    ASSERT_EQ(record->events.size(), 2u);
    EXPECT_EQ(record->events[1], "fail unsupportedURL");
    EXPECT_TRUE(server.requestsTo("/page").empty());
}

TEST(URLConnectionService, CancelInsideAnyCallbackEndsAllCallbacks) {
    LoopbackServer server;
    server.on("GET", "/a", [](const auto&) { return LoopbackResponse::redirect("/slow"); });
    server.on("GET", "/slow", [](const auto&) {
        auto response = LoopbackResponse::text(std::string(4000, 'x'));
        response.chunkSize = 1000;
        response.chunkDelayMs = 20;
        return response;
    });
    server.on("GET", "/barrier", [](const auto&) { return LoopbackResponse::text("done"); });

    for (const std::string point : {"redirect", "response", "data", "will-cache"}) {
        SCOPED_TRACE(point);
        auto record = std::make_shared<ConnectionRecord>();
        std::weak_ptr<URLConnection> weak;
        bool cancelled = false;
        {
            auto connection = URLConnection::create(URLRequest(server.url("/a")), record);
            weak = connection;
            record->after = [&](URLConnection& current, const std::string& event) {
                if (event != point || cancelled) return;
                cancelled = true;
                current.cancel();
                current.cancel();  // a second cancel changes nothing
            };
            connection->start();
        }
        ASSERT_TRUE(waitUntil([&] { return cancelled; }));
        const auto seen = record->events;
        const int dataCalls = record->dataCalls;
        // Once everything under way has drained, the connection is gone
        // and nothing more was heard.
        EXPECT_TRUE(waitUntil([&] { return weak.expired(); }));
        EXPECT_EQ(load(server.url("/barrier"))->body, "done");
        EXPECT_EQ(record->events, seen);
        EXPECT_EQ(record->dataCalls, dataCalls);
        EXPECT_FALSE(record->ended);
    }
}

// The system's authorities are read once, from OpenSSL's default places,
// which SSL_CERT_FILE may name. A fresh process, where they have not been
// read yet, names the test authority there: a request that names no
// authority of its own then trusts the test server.
TEST(SystemAuthoritiesService, ComeFromTheDefaultPlaces) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto& certificates = fixtures::TestCertificates::shared();
    EXPECT_EXIT(
        {
            testsupport::ScopedEnvironment environment;
            environment.set(core::kTrustedCertificatesFileVariable, std::nullopt);
            environment.set("SSL_CERT_FILE", certificates.authorityFile());
            fixtures::AdServer server;
            server.serve("/ad", LoopbackResponse::text("secure ad"));
            const auto record = load(URLRequest(server.secureURL("/ad")));
            std::exit(record->body == "secure ad" ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(URLConnectionService, HTTPSTrustsTheConfiguredAuthorityAndNoOther) {
    fixtures::AdServer server;
    server.serve("/ad", LoopbackResponse::text("secure ad"));
    const auto& certificates = fixtures::TestCertificates::shared();
    testsupport::ScopedEnvironment environment;
    environment.set(core::kTrustedCertificatesFileVariable, std::nullopt);

    core::URLSessionConfiguration withPEM;
    withPEM.trustedCertificatesPEM = certificates.authorityPEM();
    core::URLSessionConfiguration withFile;
    withFile.trustedCertificatesFile = certificates.authorityFile();
    for (const auto& configuration : {withPEM, withFile}) {
        const auto record = load(URLRequest(server.secureURL("/ad")), nullptr, configuration);
        EXPECT_EQ(record->events, (Events{"response 200", "will-cache", "finish"}));
        EXPECT_EQ(record->body, "secure ad");
    }

    const auto untrusted = load(URLRequest(server.secureURL("/ad")));
    EXPECT_EQ(untrusted->events, (Events{"fail secureConnectionFailed"}));
    ASSERT_TRUE(untrusted->error);
    EXPECT_NE(untrusted->error->message.find("not trusted"), std::string::npos)
        << untrusted->error->message;

    // The tool and the demo name the authority in the environment.
    environment.set(core::kTrustedCertificatesFileVariable, certificates.authorityFile());
    EXPECT_EQ(load(server.secureURL("/ad"))->body, "secure ad");
}

// The authorities of a file are loaded once, and again once the file
// changed: a file that now names another authority no longer vouches for
// the server.
TEST(URLConnectionService, AnAuthorityFileIsReadAgainOnceItChanged) {
    fixtures::AdServer server;
    server.serve("/ad", LoopbackResponse::text("secure ad"));
    const auto& certificates = fixtures::TestCertificates::shared();
    testsupport::ScopedEnvironment environment;
    environment.set(core::kTrustedCertificatesFileVariable, std::nullopt);
    const std::string file = ::testing::TempDir() + "vantor-authority-" +
                             std::to_string(getpid()) + ".pem";
    const auto write = [&](const std::string& text) {
        std::ofstream(file, std::ios::trunc) << text;
    };
    core::URLSessionConfiguration configuration;
    configuration.trustedCertificatesFile = file;

    write(certificates.authorityPEM());
    EXPECT_EQ(load(URLRequest(server.secureURL("/ad")), nullptr, configuration)->body,
              "secure ad");
    EXPECT_EQ(load(URLRequest(server.secureURL("/ad")), nullptr, configuration)->body,
              "secure ad");

    // Another authority (one of the system's) in its place.
    std::ifstream other("/etc/ssl/certs/ACCVRAIZ1.pem");
    const std::string otherPEM{std::istreambuf_iterator<char>(other),
                               std::istreambuf_iterator<char>()};
    ASSERT_FALSE(otherPEM.empty());
    write(otherPEM);
    const auto refused = load(URLRequest(server.secureURL("/ad")), nullptr, configuration);
    EXPECT_EQ(refused->events, (Events{"fail secureConnectionFailed"}));

    write(certificates.authorityPEM());
    EXPECT_EQ(load(URLRequest(server.secureURL("/ad")), nullptr, configuration)->body,
              "secure ad");
    std::remove(file.c_str());
}

TEST(URLConnectionService, TheCompletionFormDeliversBodyAndResponseOnce) {
    LoopbackServer server;
    server.on("GET", "/", [](const auto&) { return LoopbackResponse::text("whole", 201); });
    int calls = 0;
    std::string body;
    int status = 0;
    URLConnection::sendAsynchronousRequest(
        URLRequest(server.url("/")),
        [&](core::Data data, std::optional<core::HTTPURLResponse> response,
            std::optional<core::NetworkError> error) {
            ++calls;
            body.assign(data.begin(), data.end());
            status = response ? response->statusCode() : 0;
            EXPECT_FALSE(error);
        },
        core::RunLoop::main());
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    EXPECT_EQ(body, "whole");
    EXPECT_EQ(status, 201);
}

}  // namespace
