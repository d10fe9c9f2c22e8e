#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "URLSessionTesting.h"
#include "core/URLSession.h"
#include "fixtures/LoopbackServer.h"

namespace {

using core::Data;
using core::HTTPURLResponse;
using core::NetworkError;
using core::URLRequest;
using core::URLSession;
using core::URLSessionDataTask;
using core::URLSessionDelegate;
using core::URLSessionTask;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::waitUntil;

// Records what the session reports, in order, as "response 200", "data 5",
// "complete", "complete cancelled", "invalid".
class RecordingDelegate : public URLSessionDelegate {
public:
    using Disposition = ResponseDisposition;

    // Whether to hold response decisions for the test to give.
    bool holdDecisions = false;
    Disposition disposition = Disposition::allow;

    void didReceiveResponse(URLSession& session, URLSessionDataTask&,
                            const HTTPURLResponse& response, ResponseDecision decide) override {
        record(session, "response " + std::to_string(response.statusCode()));
        if (holdDecisions) {
            std::lock_guard lock(mutex_);
            held_ = std::move(decide);
            return;
        }
        decide(disposition);
    }
    void didReceiveData(URLSession& session, URLSessionDataTask&, const Data& data) override {
        record(session, "data");
        std::lock_guard lock(mutex_);
        body_.append(data.begin(), data.end());
    }
    void didComplete(URLSession& session, URLSessionTask&,
                     const std::optional<NetworkError>& error) override {
        record(session, error ? "complete " + std::string(error->codeName()) : "complete");
    }
    void didBecomeInvalid(URLSession& session) override { record(session, "invalid"); }

    void decide(Disposition disposition) {
        ResponseDecision held;
        {
            std::lock_guard lock(mutex_);
            held = std::move(held_);
        }
        ASSERT_TRUE(held);
        held(disposition);
    }
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    bool has(const std::string& event) const {
        const auto all = events();
        return std::find(all.begin(), all.end(), event) != all.end();
    }
    std::string body() const {
        std::lock_guard lock(mutex_);
        return body_;
    }
    bool allOnDelegateQueue() const {
        std::lock_guard lock(mutex_);
        return allOnDelegateQueue_;
    }

private:
    void record(URLSession& session, std::string event) {
        std::lock_guard lock(mutex_);
        allOnDelegateQueue_ = allOnDelegateQueue_ && session.delegateQueue()->isCurrent();
        events_.push_back(std::move(event));
    }

    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::string body_;
    ResponseDecision held_;
    bool allOnDelegateQueue_ = true;
};

LoopbackResponse slowBody(const LoopbackRequest&) {
    auto response = LoopbackResponse::bytes("0123456789abcdefghij");
    response.chunkSize = 5;
    response.chunkDelayMs = 20;
    return response;
}

// Events with runs of "data" folded into one.
std::vector<std::string> folded(const std::vector<std::string>& events) {
    std::vector<std::string> result;
    for (const auto& event : events) {
        if (event == "data" && !result.empty() && result.back() == "data") continue;
        result.push_back(event);
    }
    return result;
}

TEST(URLSessionDelegateService, ReportsResponseDataAndCompletionInOrder) {
    LoopbackServer server;
    server.on("GET", "/slow", slowBody);
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = URLSession::create({}, delegate);
    session->dataTask(URLRequest(server.url("/slow")))->resume();
    ASSERT_TRUE(waitUntil([&] { return delegate->has("complete"); }));
    EXPECT_EQ(folded(delegate->events()),
              (std::vector<std::string>{"response 200", "data", "complete"}));
    EXPECT_GE(delegate->events().size(), 4u) << "the body came in one piece";
    EXPECT_EQ(delegate->body(), "0123456789abcdefghij");
    EXPECT_TRUE(delegate->allOnDelegateQueue());
    session->finishTasksAndInvalidate();
}

TEST(URLSessionDelegateService, DataWaitsForTheResponseDecision) {
    LoopbackServer server;
    server.on("GET", "/file",
              [](const LoopbackRequest&) { return LoopbackResponse::text("whole body"); });
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->holdDecisions = true;
    auto session = URLSession::create({}, delegate);
    auto task = session->dataTask(URLRequest(server.url("/file")));
    task->resume();
    ASSERT_TRUE(waitUntil(
        [&] { return task->countOfBytesReceived() == 10 && delegate->has("response 200"); }));
    EXPECT_FALSE(waitUntil([&] { return delegate->events().size() > 1; }, 0.1));

    std::thread([&] { delegate->decide(URLSessionDelegate::ResponseDisposition::allow); }).join();
    ASSERT_TRUE(waitUntil([&] { return delegate->has("complete"); }));
    EXPECT_EQ(delegate->events(), (std::vector<std::string>{"response 200", "data", "complete"}));
    EXPECT_EQ(delegate->body(), "whole body");
    session->finishTasksAndInvalidate();
}

TEST(URLSessionDelegateService, CancelDecisionEndsTheTaskWithoutData) {
    LoopbackServer server;
    server.on("GET", "/slow", slowBody);
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->disposition = URLSessionDelegate::ResponseDisposition::cancel;
    auto session = URLSession::create({}, delegate);
    auto task = session->dataTask(URLRequest(server.url("/slow")));
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return delegate->has("complete cancelled"); }));
    EXPECT_EQ(delegate->events(), (std::vector<std::string>{"response 200", "complete cancelled"}));
    EXPECT_EQ(task->state(), URLSessionTask::State::completed);
    session->finishTasksAndInvalidate();
}

TEST(URLSessionDelegateService, LateCancelDecisionStillCancels) {
    LoopbackServer server;
    server.on("GET", "/file",
              [](const LoopbackRequest&) { return LoopbackResponse::text("whole body"); });
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->holdDecisions = true;
    auto session = URLSession::create({}, delegate);
    auto task = session->dataTask(URLRequest(server.url("/file")));
    task->resume();
    ASSERT_TRUE(waitUntil(
        [&] { return task->countOfBytesReceived() == 10 && delegate->has("response 200"); }));
    delegate->decide(URLSessionDelegate::ResponseDisposition::cancel);
    ASSERT_TRUE(waitUntil([&] { return delegate->has("complete cancelled"); }));
    EXPECT_FALSE(waitUntil([&] { return delegate->events().size() > 2; }, 0.1));
    EXPECT_EQ(delegate->events(), (std::vector<std::string>{"response 200", "complete cancelled"}));
    session->finishTasksAndInvalidate();
}

TEST(URLSessionDelegateService, FinishingTasksThenInvalidatingReleasesTheDelegate) {
    LoopbackServer server;
    server.on("GET", "/slow", slowBody);
    auto delegate = std::make_shared<RecordingDelegate>();
    std::weak_ptr<RecordingDelegate> weakDelegate = delegate;
    auto session = URLSession::create({}, delegate);
    auto running = session->dataTask(URLRequest(server.url("/slow")));
    running->resume();
    session->finishTasksAndInvalidate();
    delegate.reset();

    auto outcome = std::make_shared<testsupport::Outcome>();
    testsupport::recordingTask(*session, URLRequest(server.url("/slow")), outcome)->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome->completions > 0; }));
    EXPECT_EQ(outcome->code(), NetworkError::Code::cancelled);

    ASSERT_TRUE(waitUntil([&] { return weakDelegate.expired(); }));
    EXPECT_EQ(running->state(), URLSessionTask::State::completed);
    EXPECT_FALSE(running->error());
    EXPECT_EQ(session->delegate(), nullptr);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(URLSessionDelegateService, InvalidateAndCancelStopsRunningTasks) {
    LoopbackServer server;
    server.on("GET", "/late",
              [](const LoopbackRequest&) { return LoopbackResponse::text("late").after(60'000); });
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = URLSession::create({}, delegate);
    auto first = session->dataTask(URLRequest(server.url("/late")));
    auto second = session->dataTask(URLRequest(server.url("/late")));
    first->resume();
    second->resume();
    ASSERT_TRUE(server.waitForRequests(2, testsupport::kNetworkLimit));
    session->invalidateAndCancel();
    ASSERT_TRUE(waitUntil([&] { return delegate->has("invalid"); }));
    EXPECT_EQ(delegate->events(),
              (std::vector<std::string>{"complete cancelled", "complete cancelled", "invalid"}));
}

}  // namespace
