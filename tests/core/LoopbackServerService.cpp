#include "fixtures/LoopbackServer.h"

#include <gtest/gtest.h>

#include <string>

#include "URLSessionTesting.h"
#include "core/Clock.h"
#include "core/JSON.h"
#include "core/URLSession.h"
#include "support/ManualClockScope.h"

namespace {

using core::URLRequest;
using core::URLSession;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::fetch;

std::string get(const LoopbackServer& server, const std::string& path, int* status = nullptr) {
    const auto outcome = fetch(*URLSession::shared(), server.url(path));
    if (status) *status = outcome.status();
    return outcome.text();
}

LoopbackServer::Handler answer(std::string text) {
    return [text](const LoopbackRequest&) { return LoopbackResponse::text(text); };
}

TEST(LoopbackServerService, RoutesExactPathsBeforeTheLongestPrefix) {
    LoopbackServer server;
    server.onPrefix("GET", "/photos/", answer("any photo"));
    server.onPrefix("GET", "/photos/random", answer("random prefix"));
    server.on("GET", "/photos/random", answer("random exactly"));
    server.on("POST", "/photos/1", answer("posted"));
    EXPECT_EQ(get(server, "/photos/random"), "random exactly");
    EXPECT_EQ(get(server, "/photos/random/2?count=3"), "random prefix");
    EXPECT_EQ(get(server, "/photos/1"), "any photo");
    server.on("GET", "/photos/random", answer("replaced"));
    EXPECT_EQ(get(server, "/photos/random"), "replaced");

    int status = 0;
    const std::string body = get(server, "/elsewhere", &status);
    EXPECT_EQ(status, 404);
    EXPECT_EQ(core::JSON::parse(body), core::Value(core::Dictionary{}));
}

TEST(LoopbackServerService, HeadFallsBackToGetWithoutBody) {
    LoopbackServer server;
    server.on("GET", "/doc", answer("twelve bytes"));
    URLRequest request(server.url("/doc"));
    request.setMethod("HEAD");
    const auto outcome = fetch(*URLSession::shared(), request);
    EXPECT_EQ(outcome.status(), 200);
    EXPECT_EQ(outcome.response->expectedContentLength(), 12);
    EXPECT_TRUE(outcome.body.empty());
}

TEST(LoopbackServerService, NoContentNeverCarriesABody) {
    LoopbackServer server;
    server.on("GET", "/ping", [](const LoopbackRequest&) {
        return LoopbackResponse::text("should not be sent", 204);
    });
    server.on("GET", "/next", answer("next"));
    const auto outcome = fetch(*URLSession::shared(), server.url("/ping"));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.status(), 204);
    EXPECT_TRUE(outcome.body.empty());
    EXPECT_EQ(get(server, "/next"), "next");
}

TEST(LoopbackServerService, AnswersRangesItselfAndRefusesUnsatisfiableOnes) {
    LoopbackServer server;
    server.on("GET", "/blob", [](const LoopbackRequest& request) {
        return LoopbackResponse::ranged(request, "0123456789", "application/octet-stream");
    });
    server.on("GET", "/plain", answer("0123456789"));
    URLRequest request(server.url("/blob"));
    request.setValue("Range", "bytes=-4");
    auto outcome = fetch(*URLSession::shared(), request);
    EXPECT_EQ(outcome.status(), 206);
    EXPECT_EQ(outcome.text(), "6789");

    request.setByteRange(10);
    outcome = fetch(*URLSession::shared(), request);
    EXPECT_EQ(outcome.status(), 416);
    EXPECT_EQ(outcome.response->value("Content-Range"), "bytes */10");

    // A handler that ignores Range answers the whole body.
    request.setURL(server.url("/plain"));
    request.setByteRange(2, 3);
    outcome = fetch(*URLSession::shared(), request);
    EXPECT_EQ(outcome.status(), 200);
    EXPECT_EQ(outcome.text(), "0123456789");
}

TEST(LoopbackServerService, LogsRequestsWithTheirArrivalTime) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    EXPECT_FALSE(server.waitForRequests(1, 0.05));
    (void)get(server, "/a?x=1");
    clock.advance(5);
    (void)get(server, "/b");
    (void)get(server, "/a");
    ASSERT_TRUE(server.waitForRequests(3, 1));
    const auto toA = server.requestsTo("/a");
    ASSERT_EQ(toA.size(), 2u);
    EXPECT_EQ(toA[0].rawQuery, "x=1");
    EXPECT_EQ(toA[0].queryValue("x"), "1");
    EXPECT_EQ(toA[1].queryValue("x"), std::nullopt);
    EXPECT_EQ(toA[0].time, core::ManualClock::kStartMonotonic);
    EXPECT_EQ(toA[1].time, core::ManualClock::kStartMonotonic + 5);
    server.clearLog();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(server.requestsInFlight(), 0u);
}

}  // namespace
