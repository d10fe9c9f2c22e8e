#include "core/URLSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "URLPrinting.h"
#include "URLSessionTesting.h"
#include "fixtures/LoopbackServer.h"

namespace {

using core::URLQueryItem;
using core::URLRequest;
using core::URLSession;
using core::URLSessionConfiguration;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::fetch;

LoopbackResponse echoBody(const LoopbackRequest& request) {
    return LoopbackResponse::text(request.method + " " + request.body);
}

TEST(URLSessionService, GetCarriesQueryAndHeadersToTheServer) {
    LoopbackServer server;
    server.on("GET", "/search",
              [](const LoopbackRequest&) { return LoopbackResponse::text("ok"); });
    URLSessionConfiguration configuration;
    configuration.HTTPAdditionalHeaders.set("X-App", "vantor");
    configuration.HTTPAdditionalHeaders.set("X-Token", "from-configuration");
    auto session = URLSession::create(configuration);

    URLRequest request(server.url("/search?q=a%20b&page=2&q=c&flag"));
    request.setValue("X-Token", "first");
    request.setValue("x-token", "second");
    const auto outcome = fetch(*session, request);
    ASSERT_FALSE(outcome.error) << outcome.error->message;
    EXPECT_EQ(outcome.text(), "ok");

    const auto log = server.requestsTo("/search");
    ASSERT_EQ(log.size(), 1u);
    const LoopbackRequest& seen = log.front();
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.rawQuery, "q=a%20b&page=2&q=c&flag");
    const std::vector<URLQueryItem> expected{
        {"q", "a b"}, {"page", "2"}, {"q", "c"}, {"flag", std::nullopt}};
    EXPECT_EQ(seen.query, expected);
    EXPECT_EQ(seen.headers.values("X-TOKEN"), std::vector<std::string>{"second"});
    EXPECT_EQ(seen.header("x-app"), "vantor");
    EXPECT_EQ(seen.header("User-Agent"), "Vantor/1.0");
    EXPECT_FALSE(seen.headers.contains("Expect"));
}

TEST(URLSessionService, RequestHeadersOverrideTheDefaults) {
    LoopbackServer server;
    URLRequest request(server.url("/"));
    request.setValue("User-Agent", "Tester/2");
    request.addValue("Accept-Language", "zh-Hans");
    request.addValue("Accept-Language", "en");
    (void)fetch(*URLSession::shared(), request);
    const auto log = server.requests();
    ASSERT_EQ(log.size(), 1u);
    const auto& seen = log.front();
    EXPECT_EQ(seen.header("user-agent"), "Tester/2");
    EXPECT_EQ(seen.header("Accept-Language"), "zh-Hans, en");
}

TEST(URLSessionService, BodiesOfEveryMethodArriveIntact) {
    LoopbackServer server;
    for (const char* method : {"POST", "PUT", "PATCH", "DELETE"})
        server.on(method, "/echo", echoBody);
    const std::string binary("a\0b\xff\r\n", 6);
    for (const std::string method : {"POST", "PUT", "PATCH", "DELETE"}) {
        URLRequest request(server.url("/echo"));
        request.setMethod(method);
        request.setBody(binary);
        request.setValue("Content-Type", "application/octet-stream");
        const auto outcome = fetch(*URLSession::shared(), request);
        ASSERT_FALSE(outcome.error) << method;
        EXPECT_EQ(outcome.text(), method + " " + binary);
    }
    const auto log = server.requests();
    ASSERT_EQ(log.size(), 4u);
    for (const auto& seen : log) {
        EXPECT_EQ(seen.body, binary) << seen.method;
        EXPECT_EQ(seen.header("Content-Type"), "application/octet-stream");
    }
}

TEST(URLSessionService, EmptyPostSendsAZeroLength) {
    LoopbackServer server;
    server.on("POST", "/ping", echoBody);
    URLRequest request(server.url("/ping"));
    request.setMethod("POST");
    const auto outcome = fetch(*URLSession::shared(), request);
    EXPECT_EQ(outcome.text(), "POST ");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests().front().header("Content-Length"), "0");
}

TEST(URLSessionService, ResponseKeepsStatusAndHeaders) {
    LoopbackServer server;
    server.on("GET", "/made", [](const LoopbackRequest&) {
        auto response =
            LoopbackResponse::text("{\"id\":1}", 201, "Application/JSON; Charset=\"UTF-8\"");
        response.headers.add("Set-Cookie", "a=1");
        response.headers.add("Set-Cookie", "b=2");
        response.headers.add("X-Request-Id", "r-9");
        return response;
    });
    const auto url = server.url("/made");
    const auto outcome = fetch(*URLSession::shared(), url);
    ASSERT_TRUE(outcome.response);
    const auto& response = *outcome.response;
    EXPECT_EQ(response.statusCode(), 201);
    EXPECT_EQ(response.url(), url);
    EXPECT_EQ(response.value("SET-COOKIE"), "a=1, b=2");
    EXPECT_EQ(response.headers().values("set-cookie"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(response.value("x-request-id"), "r-9");
    EXPECT_EQ(response.expectedContentLength(), 8);
    EXPECT_EQ(response.mimeType(), "application/json");
    EXPECT_EQ(response.textEncodingName(), "utf-8");
    EXPECT_EQ(outcome.text(), "{\"id\":1}");
}

TEST(URLSessionService, ErrorStatusesAreResponsesNotErrors) {
    LoopbackServer server;
    server.on("GET", "/broken",
              [](const LoopbackRequest&) { return LoopbackResponse::text("boom", 500); });
    const auto missing = fetch(*URLSession::shared(), server.url("/missing"));
    EXPECT_FALSE(missing.error);
    EXPECT_EQ(missing.status(), 404);
    EXPECT_EQ(missing.text(), "{}");

    const auto broken = fetch(*URLSession::shared(), server.url("/broken"));
    EXPECT_FALSE(broken.error);
    EXPECT_EQ(broken.status(), 500);
    EXPECT_EQ(broken.text(), "boom");
}

TEST(URLSessionService, HeadGetsTheHeaderWithoutTheBody) {
    LoopbackServer server;
    server.on("GET", "/file",
              [](const LoopbackRequest&) { return LoopbackResponse::text("0123456789"); });
    URLRequest request(server.url("/file"));
    request.setMethod("HEAD");
    const auto outcome = fetch(*URLSession::shared(), request);
    ASSERT_FALSE(outcome.error) << outcome.error->message;
    EXPECT_EQ(outcome.status(), 200);
    EXPECT_EQ(outcome.response->expectedContentLength(), 10);
    EXPECT_TRUE(outcome.body.empty());
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests().front().method, "HEAD");
}

TEST(URLSessionService, ByteRangesGetPartialContent) {
    LoopbackServer server;
    server.on("GET", "/blob", [](const LoopbackRequest& request) {
        return LoopbackResponse::ranged(request, "0123456789", "application/octet-stream");
    });
    URLRequest request(server.url("/blob"));
    request.setByteRange(2, 5);
    const auto middle = fetch(*URLSession::shared(), request);
    EXPECT_EQ(middle.status(), 206);
    EXPECT_EQ(middle.text(), "2345");
    EXPECT_EQ(middle.response->value("Content-Range"), "bytes 2-5/10");
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests().back().header("Range"), "bytes=2-5");

    request.setByteRange(7);
    const auto tail = fetch(*URLSession::shared(), request);
    EXPECT_EQ(tail.status(), 206);
    EXPECT_EQ(tail.text(), "789");
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests().back().header("Range"), "bytes=7-");
}

TEST(URLSessionService, TaskReportsItsRequestsAndCounts) {
    LoopbackServer server;
    server.on("GET", "/five",
              [](const LoopbackRequest&) { return LoopbackResponse::text("12345"); });
    auto outcome = std::make_shared<testsupport::Outcome>();
    const URLRequest request(server.url("/five"));
    auto task = testsupport::recordingTask(*URLSession::shared(), request, outcome);
    EXPECT_EQ(task->state(), core::URLSessionTask::State::suspended);
    EXPECT_EQ(task->originalRequest(), request);
    EXPECT_FALSE(task->response());
    task->resume();
    ASSERT_TRUE(testsupport::waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(task->state(), core::URLSessionTask::State::completed);
    EXPECT_EQ(task->countOfBytesReceived(), 5);
    EXPECT_EQ(task->countOfBytesExpectedToReceive(), 5);
    EXPECT_EQ(task->response(), outcome->response);
    EXPECT_FALSE(task->error());
    task->resume();
    task->cancel();
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(task->state(), core::URLSessionTask::State::completed);
    EXPECT_FALSE(task->error());

    auto second = URLSession::shared()->dataTask(request, nullptr);
    EXPECT_NE(second->taskIdentifier(), task->taskIdentifier());
}

}  // namespace
