#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "URLSessionTesting.h"
#include "core/URLSession.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"
#include "support/RawOrigin.h"

namespace {

using core::NetworkError;
using core::URLRequest;
using core::URLSession;
using core::URLSessionConfiguration;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::fetch;
using testsupport::Outcome;
using testsupport::waitUntil;

bool mentions(const NetworkError& error, const std::string& text) {
    return error.message.find(text) != std::string::npos;
}

// A loopback port nothing listens on: bound once, then released.
int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "cannot bind a loopback port";
    }
    close(fd);
    return ntohs(address.sin_port);
}

// Holds server handlers until released; releases them when it goes away.
class Latch {
public:
    ~Latch() { release(); }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return released_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
};

TEST(URLSessionErrorService, OnlyHTTPAndHTTPSAreSent) {
    LoopbackServer server;
    const std::string port = std::to_string(server.port());
    const std::vector<std::string> texts{"ftp://127.0.0.1:" + port + "/file", "file:///etc/hosts",
                                         "gopher://127.0.0.1:" + port + "/", "data:text/plain,hi"};
    for (const std::string& text : texts) {
        const auto url = core::URL::create(text);
        ASSERT_TRUE(url) << text;
        const auto outcome = fetch(*URLSession::shared(), *url);
        ASSERT_TRUE(outcome.error) << text;
        EXPECT_EQ(outcome.code(), NetworkError::Code::unsupportedURL) << text;
        EXPECT_TRUE(mentions(*outcome.error, text)) << outcome.error->message;
        EXPECT_TRUE(outcome.error->libcurlText.empty());
    }
    EXPECT_TRUE(server.requests().empty()) << "refused before any connection";
}

TEST(URLSessionErrorService, RefusedConnectionCannotConnect) {
    const std::string text = "http://127.0.0.1:" + std::to_string(freePort()) + "/nobody";
    const auto outcome = fetch(*URLSession::shared(), *core::URL::create(text));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.code(), NetworkError::Code::cannotConnectToHost);
    EXPECT_TRUE(mentions(*outcome.error, text)) << outcome.error->message;
    EXPECT_FALSE(outcome.error->libcurlText.empty());
    EXPECT_TRUE(mentions(*outcome.error, outcome.error->libcurlText));
    EXPECT_FALSE(outcome.response);
}

TEST(URLSessionErrorService, UnknownHostCannotBeFound) {
    const auto outcome =
        fetch(*URLSession::shared(), *core::URL::create("http://vantor-test.invalid/"));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.code(), NetworkError::Code::cannotFindHost) << outcome.error->message;
}

TEST(URLSessionErrorService, TruncatedBodyLosesTheConnection) {
    LoopbackServer server;
    server.on("GET", "/cut", [](const LoopbackRequest&) {
        auto response = LoopbackResponse::bytes(std::string(1000, 'x'));
        response.closeAfter = 100;
        return response;
    });
    const auto outcome = fetch(*URLSession::shared(), server.url("/cut"));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.code(), NetworkError::Code::networkConnectionLost);
    EXPECT_TRUE(mentions(*outcome.error, "truncated")) << outcome.error->message;
    EXPECT_TRUE(mentions(*outcome.error, "100 of 1000")) << outcome.error->message;
    EXPECT_TRUE(outcome.body.empty());
}

// Framing no client reads (a coding other than chunked) fails an answer
// with a body, and only such an answer: the same head on an answer to HEAD,
// a 204 or a 304 frames nothing, and the load succeeds.
TEST(URLSessionErrorService, FramingNoOneReadsFailsOnlyAnAnswerWithABody) {
    testsupport::RawOrigin origin;
    const std::string run = testsupport::RawOrigin::newRun();
    const std::string coded = "Transfer-Encoding: gzip\r\n\r\n";
    origin.answer(run + "/body-1/", testsupport::RawAnswer::raw("HTTP/1.1 200 OK\r\n" + coded));
    origin.answer(run + "/head-1/", testsupport::RawAnswer::raw("HTTP/1.1 200 OK\r\n" + coded));
    origin.answer(run + "/empty-1/",
                  testsupport::RawAnswer::raw("HTTP/1.1 204 No Content\r\n" + coded));
    origin.answer(run + "/same-1/",
                  testsupport::RawAnswer::raw("HTTP/1.1 304 Not Modified\r\n" + coded));
    const auto load = [&](const std::string& tag, const std::string& method) {
        URLRequest request(*core::URL::create(origin.origin() + run + "/" + tag + "/"));
        request.setMethod(method);
        return fetch(*URLSession::shared(), request);
    };
    EXPECT_EQ(load("body-1", "GET").code(), NetworkError::Code::badServerResponse);
    for (const auto& [tag, method, status] :
         {std::tuple("head-1", "HEAD", 200), std::tuple("empty-1", "GET", 204),
          std::tuple("same-1", "GET", 304)}) {
        const Outcome outcome = load(tag, method);
        EXPECT_FALSE(outcome.error) << tag << ": " << outcome.error->message;
        EXPECT_EQ(outcome.status(), status) << tag;
    }
}

TEST(URLSessionErrorService, SilenceTimesOutOnTheClock) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    Latch latch;
    server.on("GET", "/silent", [&](const LoopbackRequest&) {
        latch.wait();
        return LoopbackResponse::text("too late");
    });
    URLSessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = 10;
    auto session = URLSession::create(configuration);
    auto outcome = std::make_shared<Outcome>();
    testsupport::recordingTask(*session, URLRequest(server.url("/silent")), outcome)->resume();
    ASSERT_TRUE(server.waitForRequests(1, testsupport::kNetworkLimit));

    clock.advance(9.5);
    EXPECT_FALSE(waitUntil([&] { return outcome->completions > 0; }, 0.2));
    clock.advance(0.5);
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->code(), NetworkError::Code::timedOut);
    ASSERT_TRUE(outcome->error);
    EXPECT_TRUE(mentions(*outcome->error, server.url("/silent").absoluteString()));
    EXPECT_TRUE(mentions(*outcome->error, "no data for 10 s")) << outcome->error->message;
}

TEST(URLSessionErrorService, RequestTimeoutCountsFromTheLastByte) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    Latch latch;
    server.on("GET", "/trickle", [&](const LoopbackRequest&) {
        latch.wait();
        auto response = LoopbackResponse::bytes(std::string(400, 't'));
        response.chunkSize = 100;
        response.chunkDelayMs = 60'000;
        return response;
    });
    auto outcome = std::make_shared<Outcome>();
    URLRequest request(server.url("/trickle"));
    request.setTimeoutInterval(3);
    auto task = testsupport::recordingTask(*URLSession::shared(), request, outcome);
    task->resume();
    ASSERT_TRUE(server.waitForRequests(1, testsupport::kNetworkLimit));
    clock.advance(2);
    latch.release();
    ASSERT_TRUE(waitUntil([&] { return task->countOfBytesReceived() == 100; }));
    // Four seconds since the start, two since the last byte.
    clock.advance(2);
    EXPECT_FALSE(waitUntil([&] { return outcome->completions > 0; }, 0.2));
    clock.advance(1);
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->code(), NetworkError::Code::timedOut);
}

TEST(URLSessionErrorService, ResourceTimeoutBoundsTheWholeTask) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    Latch latch;
    server.on("GET", "/slow", [&](const LoopbackRequest&) {
        latch.wait();
        return LoopbackResponse::text("slow");
    });
    URLSessionConfiguration configuration;
    configuration.timeoutIntervalForResource = 5;
    auto session = URLSession::create(configuration);
    auto outcome = std::make_shared<Outcome>();
    testsupport::recordingTask(*session, URLRequest(server.url("/slow")), outcome)->resume();
    ASSERT_TRUE(server.waitForRequests(1, testsupport::kNetworkLimit));
    clock.advance(5);
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->code(), NetworkError::Code::timedOut);
    ASSERT_TRUE(outcome->error);
    EXPECT_TRUE(mentions(*outcome->error, "resource"));
}

}  // namespace
