#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "URLSessionTesting.h"
#include "core/URLSession.h"
#include "core/URLSessionTask.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/ResponseGate.h"
#include "support/ManualClockScope.h"

namespace {

using core::NetworkError;
using core::URLRequest;
using core::URLSession;
using core::URLSessionConfiguration;
using core::URLSessionTask;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::fetch;
using testsupport::Outcome;
using testsupport::waitUntil;

bool mentions(const std::optional<NetworkError>& error, const std::string& text) {
    return error && error->message.find(text) != std::string::npos;
}

std::shared_ptr<URLSession> sessionWithLimit(std::int64_t bytes) {
    URLSessionConfiguration configuration;
    configuration.maximumResponseBytes = bytes;
    return URLSession::create(configuration);
}

LoopbackResponse chunked(size_t size) {
    auto response = LoopbackResponse::bytes(std::string(size, 'c'));
    response.unsized = true;
    return response;
}

TEST(URLSessionLimitsService, RefusesAnAnnouncedBodyOverTheLimitAtTheHeader) {
    LoopbackServer server;
    server.on("GET", "/huge",
              [](const LoopbackRequest&) { return LoopbackResponse::filler(10'000'000'000ULL); });
    const auto outcome = fetch(*URLSession::shared(), server.url("/huge"));
    EXPECT_EQ(outcome.code(), NetworkError::Code::dataLengthExceedsMaximum);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->platformCode(), -1103);
    EXPECT_TRUE(
        mentions(outcome.error, "Content-Length of 10000000000 bytes is over the limit of " +
                                    std::to_string(16 * 1024 * 1024)))
        << (outcome.error ? outcome.error->message : "no error");
    EXPECT_FALSE(outcome.response) << "refused before the response was handed on";
    EXPECT_TRUE(outcome.body.empty());

    // A HEAD answer announces a length it never sends.
    URLRequest head(server.url("/huge"));
    head.setMethod("HEAD");
    const auto headed = fetch(*URLSession::shared(), head);
    EXPECT_FALSE(headed.error) << headed.error->message;
    EXPECT_EQ(headed.response->expectedContentLength(), 10'000'000'000);
}

TEST(URLSessionLimitsService, BodyMayReachTheLimitButNotPassIt) {
    LoopbackServer server;
    server.on("GET", "/sized-at", [](const LoopbackRequest&) {
        return LoopbackResponse::bytes(std::string(1000, 's'));
    });
    server.on("GET", "/sized-over", [](const LoopbackRequest&) {
        return LoopbackResponse::bytes(std::string(1001, 's'));
    });
    server.on("GET", "/chunked-at", [](const LoopbackRequest&) { return chunked(1000); });
    server.on("GET", "/chunked-over", [](const LoopbackRequest&) { return chunked(1001); });
    const auto session = sessionWithLimit(1000);

    for (const char* path : {"/sized-at", "/chunked-at"}) {
        SCOPED_TRACE(path);
        const auto outcome = fetch(*session, server.url(path));
        EXPECT_FALSE(outcome.error) << outcome.error->message;
        EXPECT_EQ(outcome.body.size(), 1000u);
    }
    for (const char* path : {"/sized-over", "/chunked-over"}) {
        SCOPED_TRACE(path);
        const auto outcome = fetch(*session, server.url(path));
        EXPECT_EQ(outcome.code(), NetworkError::Code::dataLengthExceedsMaximum);
        EXPECT_TRUE(outcome.body.empty());
    }
}

TEST(URLSessionLimitsService, EndlessBodyStopsOnceItPassesTheLimit) {
    LoopbackServer server;
    server.on("GET", "/endless",
              [](const LoopbackRequest&) { return LoopbackResponse::endlessFiller(); });
    auto outcome = std::make_shared<Outcome>();
    const auto session = sessionWithLimit(300'000);
    auto task = testsupport::recordingTask(*session, URLRequest(server.url("/endless")), outcome);
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->code(), NetworkError::Code::dataLengthExceedsMaximum);
    EXPECT_TRUE(mentions(outcome->error, "its body passed the limit of 300000 bytes"))
        << (outcome->error ? outcome->error->message : "no error");
    EXPECT_EQ(outcome->status(), 200);
    EXPECT_LE(task->countOfBytesReceived(), 300'000);
    EXPECT_GT(task->countOfBytesReceived(), 0);
}

TEST(URLSessionLimitsService, HeaderSectionsAreBounded) {
    LoopbackServer server;
    server.on("GET", "/padded", [](const LoopbackRequest& request) {
        auto response = LoopbackResponse::text("body");
        const int fields = std::stoi(request.queryValue("fields").value_or("0"));
        for (int i = 0; i < fields; ++i) {
            response.headers.add("X-Pad-" + std::to_string(i), std::string(8000, 'p'));
        }
        return response;
    });
    // 20 fields of 8,000 bytes pass; 40 do not.
    EXPECT_FALSE(fetch(*URLSession::shared(), server.url("/padded?fields=20")).error);
    const auto refused = fetch(*URLSession::shared(), server.url("/padded?fields=40"));
    EXPECT_EQ(refused.code(), NetworkError::Code::dataLengthExceedsMaximum);
    EXPECT_TRUE(mentions(refused.error, "its header passed 262144 bytes"))
        << (refused.error ? refused.error->message : "no error");
}

TEST(URLSessionLimitsService, RedirectBodiesAreCappedSmall) {
    LoopbackServer server;
    constexpr auto kCap = static_cast<size_t>(URLSessionTask::kMaximumRedirectBodyBytes);
    server.on("GET", "/small-body", [](const LoopbackRequest&) {
        auto response = LoopbackResponse::redirect("/target");
        response.body = std::string(kCap, 'r');
        return response;
    });
    server.on("GET", "/large-body", [](const LoopbackRequest&) {
        auto response = LoopbackResponse::filler(100'000'000, 302);
        response.headers.set("Location", "/target");
        return response;
    });
    server.on("GET", "/unsized-body", [](const LoopbackRequest&) {
        auto response = chunked(kCap + 1);
        response.status = 302;
        response.headers.set("Location", "/target");
        return response;
    });
    server.on("GET", "/target", [](const LoopbackRequest&) { return LoopbackResponse::text("t"); });

    const auto followed = fetch(*URLSession::shared(), server.url("/small-body"));
    EXPECT_FALSE(followed.error);
    EXPECT_EQ(followed.text(), "t");

    for (const char* path : {"/large-body", "/unsized-body"}) {
        SCOPED_TRACE(path);
        server.clearLog();
        const auto refused = fetch(*URLSession::shared(), server.url(path));
        EXPECT_EQ(refused.code(), NetworkError::Code::dataLengthExceedsMaximum);
        EXPECT_TRUE(mentions(refused.error, "The redirect response of"))
            << (refused.error ? refused.error->message : "no error");
        EXPECT_TRUE(server.requestsTo("/target").empty());
    }
}

// A session that follows no redirect hands each one on as its final
// response, its body whole whatever its length, and loads nothing more.
TEST(URLSessionLimitsService, RedirectsNotFollowedKeepTheirWholeBody) {
    LoopbackServer server;
    const std::string body(3 * URLSessionTask::kMaximumRedirectBodyBytes, 'r');
    server.on("GET", "/moved", [&body](const LoopbackRequest& request) {
        auto response = LoopbackResponse::redirect("/target", 301);
        response.body = body;
        response.unsized = request.queryValue("unsized").has_value();
        return response;
    });
    server.on("GET", "/target", [](const LoopbackRequest&) { return LoopbackResponse::text("t"); });
    URLSessionConfiguration configuration;
    configuration.followsRedirects = false;
    const auto session = URLSession::create(configuration);
    for (const char* path : {"/moved", "/moved?unsized"}) {
        SCOPED_TRACE(path);
        const auto outcome = fetch(*session, server.url(path));
        EXPECT_FALSE(outcome.error) << outcome.error->message;
        EXPECT_EQ(outcome.status(), 301);
        EXPECT_EQ(outcome.text(), body);
    }
    EXPECT_TRUE(server.requestsTo("/target").empty());
}

TEST(URLSessionLimitsService, LowSpeedLimitEndsOnlyALoadThatSlowsDown) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    auto gate = fixtures::ResponseGate::make();
    server.on("GET", "/metered", [gate](const LoopbackRequest&) {
        return LoopbackResponse::bytes(std::string(10'000, 'm')).meteredBy(gate);
    });
    URLSessionConfiguration configuration;
    configuration.lowSpeedLimit = 100;
    configuration.lowSpeedTime = 10;
    auto session = URLSession::create(configuration);
    auto outcome = std::make_shared<Outcome>();
    auto task = testsupport::recordingTask(*session, URLRequest(server.url("/metered")), outcome);
    task->resume();

    // 2,000 bytes in ten seconds: fast enough.
    gate->openTo(2000);
    ASSERT_TRUE(waitUntil([&] { return task->countOfBytesReceived() == 2000; }));
    clock.advance(10);
    EXPECT_FALSE(waitUntil([&] { return outcome->completions > 0; }, 0.3));

    // 500 in the next ten: too slow.
    gate->openTo(2500);
    ASSERT_TRUE(waitUntil([&] { return task->countOfBytesReceived() == 2500; }));
    clock.advance(9);
    EXPECT_FALSE(waitUntil([&] { return outcome->completions > 0; }, 0.3));
    clock.advance(1);
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    gate->release();
    EXPECT_EQ(outcome->code(), NetworkError::Code::timedOut);
    EXPECT_TRUE(mentions(outcome->error, "fewer than 100 bytes a second for 10 s"))
        << (outcome->error ? outcome->error->message : "no error");
}

TEST(URLSessionLimitsService, DeadlineEndsALoadThatKeepsTrickling) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    server.on("GET", "/trickle", [](const LoopbackRequest&) {
        auto response = LoopbackResponse::bytes(std::string(100, 't'));
        response.chunkSize = 1;
        response.chunkDelayMs = 100;
        return response;
    });
    URLSessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = 0.5;
    configuration.timeoutIntervalForResource = 2;
    auto session = URLSession::create(configuration);
    auto outcome = std::make_shared<Outcome>();
    auto task = testsupport::recordingTask(*session, URLRequest(server.url("/trickle")), outcome);
    task->resume();

    // Each byte comes well within the idle time-out, so only the deadline
    // can end the load.
    std::int64_t seen = 0;
    for (int step = 0; step < 10 && outcome->completions == 0; ++step) {
        ASSERT_TRUE(waitUntil(
            [&] { return task->countOfBytesReceived() > seen || outcome->completions > 0; }));
        seen = task->countOfBytesReceived();
        clock.advance(0.3);
    }
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->code(), NetworkError::Code::timedOut);
    EXPECT_TRUE(mentions(outcome->error, "the resource time-out of 2 s has passed"))
        << (outcome->error ? outcome->error->message : "no error");
    EXPECT_GE(seen, 6);
}

}  // namespace
