#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "URLPrinting.h"
#include "URLSessionTesting.h"
#include "core/URLSession.h"
#include "fixtures/LoopbackServer.h"

namespace {

using core::HTTPURLResponse;
using core::NetworkError;
using core::URLRequest;
using core::URLSession;
using core::URLSessionDelegate;
using core::URLSessionTask;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::fetch;

LoopbackResponse arrived(const LoopbackRequest& request) {
    return LoopbackResponse::text("arrived by " + request.method + " with '" + request.body + "'");
}

// Answers each redirect with what answer() makes of the proposed request.
class RedirectDelegate : public URLSessionDelegate {
public:
    std::function<std::optional<URLRequest>(const URLRequest&)> answer;

    void willPerformHTTPRedirection(URLSession& session, URLSessionTask&,
                                    const HTTPURLResponse& response, URLRequest newRequest,
                                    RedirectDecision decide) override {
        {
            std::lock_guard lock(mutex_);
            statuses_.push_back(response.statusCode());
            proposed_.push_back(newRequest.url().absoluteString());
            onDelegateQueue_ = onDelegateQueue_ && session.delegateQueue()->isCurrent();
        }
        decide(answer(newRequest));
        decide(std::nullopt);  // ignored: the first answer counts
    }

    std::vector<int> statuses() const {
        std::lock_guard lock(mutex_);
        return statuses_;
    }
    std::vector<std::string> proposed() const {
        std::lock_guard lock(mutex_);
        return proposed_;
    }
    bool onDelegateQueue() const {
        std::lock_guard lock(mutex_);
        return onDelegateQueue_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<int> statuses_;
    std::vector<std::string> proposed_;
    bool onDelegateQueue_ = true;
};

TEST(URLSessionRedirectService, FollowsRedirectsToTheFinalResponse) {
    LoopbackServer server;
    server.on("GET", "/old",
              [](const LoopbackRequest&) { return LoopbackResponse::redirect("/middle"); });
    server.on("GET", "/middle", [&](const LoopbackRequest&) {
        return LoopbackResponse::redirect(server.baseURL() + "/new?x=1", 301);
    });
    server.on("GET", "/new", arrived);
    auto outcome = std::make_shared<testsupport::Outcome>();
    auto task =
        testsupport::recordingTask(*URLSession::shared(), URLRequest(server.url("/old")), outcome);
    task->resume();
    ASSERT_TRUE(testsupport::waitUntil([&] { return outcome->completions > 0; }));
    ASSERT_FALSE(outcome->error) << outcome->error->message;
    EXPECT_EQ(outcome->status(), 200);
    EXPECT_EQ(outcome->text(), "arrived by GET with ''");
    EXPECT_EQ(outcome->response->url(), server.url("/new?x=1"));
    EXPECT_EQ(task->currentRequest().url(), server.url("/new?x=1"));
    EXPECT_EQ(task->originalRequest().url(), server.url("/old"));
    EXPECT_EQ(server.requests().size(), 3u);
    ASSERT_FALSE(server.requestsTo("/new").empty());
    EXPECT_EQ(server.requestsTo("/new").front().rawQuery, "x=1");
}

TEST(URLSessionRedirectService, SeeOtherTurnsAPostIntoAGetAndTemporaryKeepsIt) {
    LoopbackServer server;
    server.on("POST", "/form",
              [](const LoopbackRequest&) { return LoopbackResponse::redirect("/done", 303); });
    server.on("POST", "/moved",
              [](const LoopbackRequest&) { return LoopbackResponse::redirect("/done", 307); });
    server.on("GET", "/done", arrived);
    server.on("POST", "/done", arrived);
    for (const auto& [path, expected] : {std::pair{"/form", "arrived by GET with ''"},
                                         std::pair{"/moved", "arrived by POST with 'name=v'"}}) {
        URLRequest request(server.url(path));
        request.setMethod("POST");
        request.setBody(std::string_view("name=v"));
        request.setValue("Content-Type", "application/x-www-form-urlencoded");
        const auto outcome = fetch(*URLSession::shared(), request);
        EXPECT_EQ(outcome.text(), expected) << path;
    }
    const auto done = server.requestsTo("/done");
    ASSERT_EQ(done.size(), 2u);
    EXPECT_FALSE(done[0].headers.contains("Content-Type"));
    EXPECT_EQ(done[1].header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(URLSessionRedirectService, DelegateVetoCompletesWithTheRedirect) {
    LoopbackServer server;
    server.on("GET", "/old", [](const LoopbackRequest&) {
        auto response = LoopbackResponse::redirect("/new");
        response.body = "moved";
        response.headers.set("Content-Type", "text/plain");
        return response;
    });
    server.on("GET", "/new", arrived);
    auto delegate = std::make_shared<RedirectDelegate>();
    delegate->answer = [](const URLRequest&) { return std::nullopt; };
    auto session = URLSession::create({}, delegate);

    const auto outcome = fetch(*session, server.url("/old"));
    ASSERT_FALSE(outcome.error) << outcome.error->message;
    EXPECT_EQ(outcome.status(), 302);
    EXPECT_EQ(outcome.response->value("Location"), "/new");
    EXPECT_EQ(outcome.text(), "moved");
    EXPECT_EQ(delegate->statuses(), std::vector<int>{302});
    EXPECT_EQ(delegate->proposed(), std::vector<std::string>{server.url("/new").absoluteString()});
    EXPECT_TRUE(delegate->onDelegateQueue());
    EXPECT_TRUE(server.requestsTo("/new").empty());
    session->invalidateAndCancel();
}

TEST(URLSessionRedirectService, DelegateMayRedirectElsewhere) {
    LoopbackServer server;
    server.on("GET", "/old",
              [](const LoopbackRequest&) { return LoopbackResponse::redirect("/new"); });
    server.on("GET", "/other", arrived);
    auto delegate = std::make_shared<RedirectDelegate>();
    delegate->answer = [&](const URLRequest& proposed) {
        URLRequest changed = proposed;
        changed.setURL(server.url("/other"));
        changed.setValue("X-Hop", "changed");
        return std::optional(changed);
    };
    auto session = URLSession::create({}, delegate);
    const auto outcome = fetch(*session, server.url("/old"));
    EXPECT_EQ(outcome.text(), "arrived by GET with ''");
    ASSERT_EQ(server.requestsTo("/other").size(), 1u);
    EXPECT_EQ(server.requestsTo("/other").front().header("X-Hop"), "changed");
    EXPECT_TRUE(server.requestsTo("/new").empty());
    session->invalidateAndCancel();
}

TEST(URLSessionRedirectService, EndlessRedirectsFail) {
    LoopbackServer server;
    server.on("GET", "/loop",
              [](const LoopbackRequest&) { return LoopbackResponse::redirect("/loop"); });
    const auto outcome = fetch(*URLSession::shared(), server.url("/loop"));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.code(), NetworkError::Code::httpTooManyRedirects);
    EXPECT_EQ(server.requests().size(), 1u + URLSessionTask::kMaximumRedirects);
}

TEST(URLSessionRedirectService, RedirectsOutsideHTTPAreRefused) {
    LoopbackServer server;
    server.on("GET", "/away", [](const LoopbackRequest&) {
        return LoopbackResponse::redirect("ftp://127.0.0.1/file");
    });
    const auto outcome = fetch(*URLSession::shared(), server.url("/away"));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.code(), NetworkError::Code::unsupportedURL);
    EXPECT_NE(outcome.error->message.find("ftp://127.0.0.1/file"), std::string::npos);
}

TEST(URLSessionRedirectService, UnusableLocationIsTheFinalResponse) {
    LoopbackServer server;
    server.on("GET", "/odd",
              [](const LoopbackRequest&) { return LoopbackResponse::redirect("/has space"); });
    const auto outcome = fetch(*URLSession::shared(), server.url("/odd"));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.status(), 302);
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
