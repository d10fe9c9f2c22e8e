#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "URLSessionTesting.h"
#include "core/URLSession.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"

namespace {

using core::NetworkError;
using core::URLSession;
using core::URLSessionTask;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::Outcome;
using testsupport::waitUntil;

using Progress = std::pair<std::int64_t, std::int64_t>;

LoopbackResponse slowBody(size_t size, size_t chunk, int gapMs) {
    auto response = LoopbackResponse::bytes(std::string(size, 'p'));
    response.chunkSize = chunk;
    response.chunkDelayMs = gapMs;
    return response;
}

TEST(URLSessionProgressService, ReportsGrowingCountsEndingWithTheTotal) {
    LoopbackServer server;
    server.on("GET", "/slow", [](const LoopbackRequest&) { return slowBody(5000, 1000, 60); });
    auto outcome = std::make_shared<Outcome>();
    std::vector<Progress> progress;
    int completionsBeforeLastProgress = -1;
    auto task = testsupport::recordingTask(*URLSession::shared(),
                                           core::URLRequest(server.url("/slow")), outcome);
    task->setProgressHandler([&](std::int64_t received, std::int64_t expected) {
        EXPECT_TRUE(core::RunLoop::isMainThread());
        progress.emplace_back(received, expected);
        completionsBeforeLastProgress = outcome->completions;
    });
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome->completions == 1; }));

    ASSERT_FALSE(outcome->error) << outcome->error->message;
    EXPECT_EQ(outcome->body.size(), 5000u);
    ASSERT_GE(progress.size(), 3u);
    for (size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GT(progress[i].first, progress[i - 1].first);
    }
    for (const auto& [received, expected] : progress) EXPECT_EQ(expected, 5000);
    EXPECT_EQ(progress.back(), Progress(5000, 5000));
    EXPECT_EQ(completionsBeforeLastProgress, 0);
}

TEST(URLSessionProgressService, ThrottlesReportsOnTheClockButKeepsTheLast) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    server.on("GET", "/slow", [](const LoopbackRequest&) { return slowBody(3000, 500, 30); });
    auto outcome = std::make_shared<Outcome>();
    std::vector<Progress> progress;
    auto task = testsupport::recordingTask(*URLSession::shared(),
                                           core::URLRequest(server.url("/slow")), outcome);
    task->setProgressHandler([&](std::int64_t received, std::int64_t expected) {
        progress.emplace_back(received, expected);
    });
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome->completions == 1; }));
    // The clock stood still: the first piece and the final count.
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_LT(progress.front().first, 3000);
    EXPECT_EQ(progress.back(), Progress(3000, 3000));
}

TEST(URLSessionProgressService, CancelInsideProgressEndsTheTask) {
    LoopbackServer server;
    server.on("GET", "/slow", [](const LoopbackRequest&) { return slowBody(10'000, 500, 40); });
    auto outcome = std::make_shared<Outcome>();
    auto task = testsupport::recordingTask(*URLSession::shared(),
                                           core::URLRequest(server.url("/slow")), outcome);
    int progressCalls = 0;
    task->setProgressHandler([&](std::int64_t, std::int64_t) {
        ++progressCalls;
        task->cancel();
        EXPECT_EQ(task->state(), URLSessionTask::State::canceling);
        task->cancel();
    });
    task->resume();
    // Several reports wait on the main queue when the first one cancels.
    ASSERT_TRUE(testsupport::pollUntil([&] { return task->countOfBytesReceived() >= 2000; }));
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->code(), NetworkError::Code::cancelled);
    ASSERT_TRUE(outcome->error);
    EXPECT_NE(outcome->error->message.find(server.url("/slow").absoluteString()),
              std::string::npos);
    EXPECT_TRUE(outcome->body.empty());
    EXPECT_EQ(task->state(), URLSessionTask::State::completed);

    // Whatever was still on its way is dropped.
    EXPECT_FALSE(waitUntil([&] { return progressCalls > 1 || outcome->completions > 1; }, 0.3));
    EXPECT_EQ(progressCalls, 1);
    EXPECT_EQ(outcome->completions, 1);
    task->setProgressHandler(nullptr);
}

TEST(URLSessionProgressService, CancelFromAnotherThreadStopsAWaitingRequest) {
    LoopbackServer server;
    server.on("GET", "/late",
              [](const LoopbackRequest&) { return LoopbackResponse::text("late").after(60'000); });
    auto outcome = std::make_shared<Outcome>();
    auto task = testsupport::recordingTask(*URLSession::shared(),
                                           core::URLRequest(server.url("/late")), outcome);
    task->resume();
    EXPECT_EQ(task->state(), URLSessionTask::State::running);
    ASSERT_TRUE(server.waitForRequests(1, testsupport::kNetworkLimit));
    std::thread([task] {
        task->cancel();
        task->cancel();
    }).join();
    EXPECT_EQ(task->state(), URLSessionTask::State::canceling);
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->completions, 1);
    EXPECT_EQ(outcome->code(), NetworkError::Code::cancelled);
    EXPECT_EQ(task->error(), outcome->error);
}

TEST(URLSessionProgressService, CancelBeforeResumeSendsNothing) {
    LoopbackServer server;
    auto outcome = std::make_shared<Outcome>();
    auto task = testsupport::recordingTask(*URLSession::shared(),
                                           core::URLRequest(server.url("/never")), outcome);
    task->cancel();
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->code(), NetworkError::Code::cancelled);
    EXPECT_TRUE(server.requests().empty());
}

}  // namespace
