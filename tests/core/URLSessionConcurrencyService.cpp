#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "URLSessionTesting.h"
#include "core/URLSession.h"
#include "fixtures/LoopbackServer.h"

namespace {

using core::Queue;
using core::URLRequest;
using core::URLSession;
using core::URLSessionConfiguration;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::Outcome;
using testsupport::waitUntil;

// Starts count requests to path at once and waits for all of them.
std::vector<std::shared_ptr<Outcome>> fetchAll(URLSession& session, const LoopbackServer& server,
                                               const std::string& path, int count) {
    std::vector<std::shared_ptr<Outcome>> outcomes;
    for (int i = 0; i < count; ++i) {
        outcomes.push_back(std::make_shared<Outcome>());
        testsupport::recordingTask(session, URLRequest(server.url(path)), outcomes.back())
            ->resume();
    }
    EXPECT_TRUE(waitUntil([&] {
        return std::all_of(outcomes.begin(), outcomes.end(),
                           [](const auto& outcome) { return outcome->completions > 0; });
    }));
    return outcomes;
}

LoopbackResponse slowAnswer(const LoopbackRequest&) {
    return LoopbackResponse::text("done").after(150);
}

TEST(URLSessionConcurrencyService, AtMostSixConnectionsToOneHost) {
    LoopbackServer server;
    server.on("GET", "/slow", slowAnswer);
    const auto outcomes = fetchAll(*URLSession::shared(), server, "/slow", 10);
    for (const auto& outcome : outcomes) EXPECT_EQ(outcome->status(), 200);
    EXPECT_EQ(server.requests().size(), 10u);
    EXPECT_LE(server.maxRequestsInFlight(), 6u);
    EXPECT_GE(server.maxRequestsInFlight(), 2u);
}

TEST(URLSessionConcurrencyService, SessionsMayAllowFewerConnections) {
    LoopbackServer server;
    server.on("GET", "/slow", slowAnswer);
    URLSessionConfiguration configuration;
    configuration.HTTPMaximumConnectionsPerHost = 2;
    auto session = URLSession::create(configuration);
    const auto outcomes = fetchAll(*session, server, "/slow", 6);
    for (const auto& outcome : outcomes) EXPECT_EQ(outcome->status(), 200);
    EXPECT_EQ(server.maxRequestsInFlight(), 2u);
}

TEST(URLSessionConcurrencyService, CompletionsRunOnTheQueueAskedFor) {
    LoopbackServer server;
    auto session = URLSession::create();
    auto serial = Queue::serial("test.completions");
    std::atomic<int> onSerial{0};
    std::atomic<int> onDelegateQueue{0};
    auto check = [](std::atomic<int>& counter, const std::shared_ptr<Queue>& queue) {
        return [&counter, queue](core::Data, std::optional<core::HTTPURLResponse>,
                                 std::optional<core::NetworkError>) {
            counter = queue->isCurrent() ? 1 : -1;
        };
    };
    session->dataTask(URLRequest(server.url("/")), check(onSerial, serial), serial)->resume();
    session->dataTask(URLRequest(server.url("/")), check(onDelegateQueue, session->delegateQueue()))
        ->resume();
    const auto onMain = testsupport::fetch(*session, server.url("/"));
    EXPECT_TRUE(onMain.onMainThread);
    ASSERT_TRUE(waitUntil([&] { return onSerial != 0 && onDelegateQueue != 0; }));
    EXPECT_EQ(onSerial, 1);
    EXPECT_EQ(onDelegateQueue, 1);
}

TEST(URLSessionConcurrencyService, TasksMayStartFromAnyThread) {
    LoopbackServer server;
    server.onPrefix("GET", "/item/", [](const LoopbackRequest& request) {
        return LoopbackResponse::text(request.path.substr(6));
    });
    constexpr int kThreads = 4;
    constexpr int kPerThread = 8;
    std::mutex mutex;
    std::vector<std::string> bodies;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                const std::string name = std::to_string(t) + "-" + std::to_string(i);
                auto task = URLSession::shared()->dataTask(
                    URLRequest(server.url("/item/" + name)),
                    [&, name](core::Data body, std::optional<core::HTTPURLResponse>,
                              std::optional<core::NetworkError> error) {
                        std::lock_guard lock(mutex);
                        bodies.push_back(
                            error ? "error" : std::string(body.begin(), body.end()) + "/" + name);
                    });
                task->resume();
                if (i % 3 == 0) task->setProgressHandler([](std::int64_t, std::int64_t) {});
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(mutex);
        return bodies.size() == kThreads * kPerThread;
    }));
    for (const auto& body : bodies) {
        const auto slash = body.find('/');
        ASSERT_NE(slash, std::string::npos) << body;
        EXPECT_EQ(body.substr(0, slash), body.substr(slash + 1));
    }
}

}  // namespace
