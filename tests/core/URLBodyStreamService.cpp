// Request bodies given as a stream: sent as the writer writes them (with
// their length, or in chunks without one), waited for while the writer has
// nothing, failed when they break off or would be sent twice.

#include "core/URLBodyStream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "URLSessionTesting.h"
#include "core/URLSession.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"

namespace {

using core::NetworkError;
using core::URLBodyStream;
using core::URLRequest;
using core::URLSession;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::fetch;

std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char(i * 31 % 251);
    return bytes;
}

URLRequest streamed(const core::URL& url, std::shared_ptr<URLBodyStream> stream,
                    std::string method = "PUT") {
    URLRequest request(url);
    request.setMethod(std::move(method));
    request.setValue("Content-Type", "application/octet-stream");
    request.setBodyStream(std::move(stream));
    return request;
}

// Writes body in pieces, waiting each time until the reader has taken all
// it held, so that the upload waits for the writer at every piece.
void writeInPieces(URLBodyStream& stream, const std::string& body, size_t piece) {
    for (size_t at = 0; at < body.size(); at += piece) {
        std::atomic<bool> drained{false};
        stream.whenHeldAtMost(0, [&] { drained = true; });
        ASSERT_TRUE(testsupport::pollUntil([&] { return drained.load(); }));
        stream.write(std::string_view(body).substr(at, piece));
    }
}

TEST(URLBodyStreamService, AStreamGoesAsItIsWrittenWithItsLengthOrInChunks) {
    LoopbackServer server;
    server.on("PUT", "/up", [](const LoopbackRequest& request) {
        return LoopbackResponse::text(std::to_string(request.body.size()));
    });
    const std::string body = pattern(3'000'000);
    for (const bool sized : {true, false}) {
        auto stream = std::make_shared<URLBodyStream>(
            sized ? std::optional<std::int64_t>(std::int64_t(body.size())) : std::nullopt);
        std::thread writer([&] {
            writeInPieces(*stream, body, 700'000);
            stream->finish();
        });
        const auto outcome = fetch(*URLSession::shared(), streamed(server.url("/up"), stream));
        writer.join();
        ASSERT_FALSE(outcome.error) << outcome.error->message;
        ASSERT_EQ(outcome.status(), 200);
        EXPECT_EQ(outcome.text(), std::to_string(body.size()));
        EXPECT_EQ(stream->taken(), std::int64_t(body.size()));
        EXPECT_TRUE(stream->firstBytes(10).empty());
    }
    ASSERT_TRUE(server.waitForRequests(2, testsupport::kNetworkLimit));
    const auto log = server.requestsTo("/up");
    ASSERT_EQ(log.size(), 2u);
    for (const auto& seen : log) EXPECT_TRUE(seen.body == body);
    EXPECT_EQ(log[0].header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(log[1].header("Transfer-Encoding"), "chunked");
    EXPECT_FALSE(log[1].headers.contains("Content-Length"));
}

// A body that breaks off, or ends short of its length, fails its load
// rather than reaching the server as if whole.
TEST(URLBodyStreamService, ABodyThatBreaksOffFailsItsLoad) {
    LoopbackServer server;
    server.on("POST", "/up", [](const LoopbackRequest&) { return LoopbackResponse::text("got"); });
    for (const bool brokenOff : {true, false}) {
        auto stream = std::make_shared<URLBodyStream>(std::int64_t(1000));
        stream->write(std::string(600, 'a'));
        std::thread writer([&] {
            writeInPieces(*stream, std::string(300, 'b'), 100);
            if (brokenOff) stream->breakOff();
            stream->finish();
        });
        const auto outcome =
            fetch(*URLSession::shared(), streamed(server.url("/up"), stream, "POST"));
        writer.join();
        ASSERT_TRUE(outcome.error) << brokenOff;
        EXPECT_EQ(outcome.code(), NetworkError::Code::networkConnectionLost) << brokenOff;
    }
    EXPECT_TRUE(server.requestsTo("/up").empty());
}

// A writer silent past the session's idle limit holds its upload, not the
// server: the load waits for it, and goes on when it writes again.
TEST(URLBodyStreamService, AWriterSilentPastTheIdleLimitIsWaitedFor) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    server.on("PUT", "/up", [](const LoopbackRequest& request) {
        return LoopbackResponse::text(std::to_string(request.body.size()));
    });
    auto stream = std::make_shared<URLBodyStream>(std::int64_t(200));
    stream->write(std::string(100, 'a'));
    auto outcome = std::make_shared<testsupport::Outcome>();
    testsupport::recordingTask(*URLSession::shared(), streamed(server.url("/up"), stream), outcome)
        ->resume();
    std::atomic<bool> drained{false};
    stream->whenHeldAtMost(0, [&] { drained = true; });
    ASSERT_TRUE(testsupport::pollUntil([&] { return drained.load(); }));
    clock.advance(URLSession::shared()->configuration().timeoutIntervalForRequest + 5);
    EXPECT_FALSE(testsupport::waitUntil([&] { return outcome->completions > 0; }, 0.5));
    stream->write(std::string(100, 'b'));
    stream->finish();
    ASSERT_TRUE(testsupport::waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_FALSE(outcome->error) << outcome->error->message;
    EXPECT_EQ(outcome->text(), "200");
}

// Its copies share the stream, which goes once: a second load of it fails
// before anything is sent.
TEST(URLBodyStreamService, AStreamIsSentOnce) {
    LoopbackServer server;
    server.on("PUT", "/up",
              [](const LoopbackRequest& request) { return LoopbackResponse::text(request.body); });
    auto stream = std::make_shared<URLBodyStream>(std::int64_t(4));
    stream->write("once");
    stream->finish();
    const URLRequest request = streamed(server.url("/up"), stream);
    EXPECT_EQ(request.bodyStream()->firstBytes(3), core::Data({'o', 'n', 'c'}));
    EXPECT_EQ(fetch(*URLSession::shared(), request).text(), "once");
    const auto again = fetch(*URLSession::shared(), URLRequest(request));
    EXPECT_EQ(again.code(), NetworkError::Code::requestBodyStreamExhausted);
    EXPECT_EQ(server.requestsTo("/up").size(), 1u);
}

}  // namespace
