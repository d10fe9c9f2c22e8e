#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "URLConnectionTesting.h"
#include "core/URLConnection.h"
#include "core/URLProtocolRegistry.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"

namespace {

using core::CachedURLResponse;
using core::HTTPURLResponse;
using core::URLConnection;
using core::URLProtocol;
using core::URLProtocolClient;
using core::URLProtocolFactory;
using core::URLProtocolRegistry;
using core::URLRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using testsupport::ConnectionRecord;
using testsupport::load;
using Events = std::vector<std::string>;

// A protocol that loads its request again through a connection of its own,
// made as the load it serves was and paused with it, marked so that it is
// not offered to it a second time, and passes on the body in upper case.
class ShoutingProtocol final : public URLProtocol, public core::URLConnectionDelegate {
public:
    static constexpr const char* kMark = "test.shouting";

    using URLProtocol::URLProtocol;

    void startLoading() override {
        URLRequest inner = request();
        inner.setProperty(kMark, true);
        configuration = client()->sessionConfiguration();
        connection_ = URLConnection::create(std::move(inner), weak_, configuration);
        connection_->setReceivingPaused(paused_);
        connection_->start();
        events.push_back("start");
    }
    void stopLoading() override {
        if (connection_) connection_->cancel();
        connection_.reset();
    }
    void setReceivingPaused(bool paused) override {
        events.push_back(paused ? "pause" : "resume");
        threads.insert(std::this_thread::get_id());
        paused_ = paused;
        if (connection_) connection_->setReceivingPaused(paused);
    }
    void didReceiveResponse(URLConnection&, const HTTPURLResponse& response) override {
        client()->didReceiveResponse(response, CachedURLResponse::StoragePolicy::allowed);
    }
    void didReceiveData(URLConnection&, const core::Data& data) override {
        core::Data loud = data;
        std::transform(loud.begin(), loud.end(), loud.begin(),
                       [](std::uint8_t c) { return static_cast<std::uint8_t>(std::toupper(c)); });
        client()->didLoadData(std::move(loud));
    }
    void didFinishLoading(URLConnection&) override { client()->didFinishLoading(); }
    void didFailWithError(URLConnection&, const core::NetworkError& error) override {
        client()->didFailWithError(error);
    }

    std::weak_ptr<ShoutingProtocol> weak_;
    // What the protocol was told, in order: "start", "pause", "resume".
    Events events;
    std::set<std::thread::id> threads;
    core::URLSessionConfiguration configuration;

private:
    std::shared_ptr<URLConnection> connection_;
    bool paused_ = false;
};

// A protocol answered by a function of the request, from memory.
class ScriptedProtocol final : public URLProtocol {
public:
    using Script = std::function<void(const URLRequest&, URLProtocolClient&)>;

    ScriptedProtocol(URLRequest request, std::shared_ptr<URLProtocolClient> client, Script script)
        : URLProtocol(std::move(request), std::move(client)), script_(std::move(script)) {}

    void startLoading() override { script_(request(), *client()); }
    void stopLoading() override {}

private:
    Script script_;
};

// Takes requests whose path starts with prefix; counts canInit calls.
class TestFactory final : public URLProtocolFactory {
public:
    TestFactory(std::string prefix, std::string mark, ScriptedProtocol::Script script)
        : prefix_(std::move(prefix)), mark_(std::move(mark)), script_(std::move(script)) {}

    std::string ownPropertyKey() const override { return mark_; }
    bool canInit(const URLRequest& request) const override {
        ++offers;
        return request.url().path().starts_with(prefix_);
    }
    std::shared_ptr<URLProtocol> make(URLRequest request,
                                      std::shared_ptr<URLProtocolClient> client) const override {
        if (!script_) {
            auto protocol =
                std::make_shared<ShoutingProtocol>(std::move(request), std::move(client));
            protocol->weak_ = protocol;
            shouter = protocol;
            return protocol;
        }
        return std::make_shared<ScriptedProtocol>(std::move(request), std::move(client), script_);
    }

    mutable std::atomic<int> offers{0};
    // The latest ShoutingProtocol made (the loop's thread).
    mutable std::shared_ptr<ShoutingProtocol> shouter;

private:
    const std::string prefix_;
    const std::string mark_;
    const ScriptedProtocol::Script script_;
};

// Registers a factory for the test's life.
class Registered {
public:
    explicit Registered(std::shared_ptr<TestFactory> factory) : factory_(std::move(factory)) {
        EXPECT_TRUE(URLProtocolRegistry::shared().registerFactory(factory_));
    }
    ~Registered() { URLProtocolRegistry::shared().unregisterFactory(factory_); }
    Registered(const Registered&) = delete;
    Registered& operator=(const Registered&) = delete;

private:
    std::shared_ptr<TestFactory> factory_;
};

HTTPURLResponse responseFor(const URLRequest& request, int status, core::HTTPHeaders headers = {}) {
    return HTTPURLResponse(request.url(), status, std::move(headers));
}

TEST(URLProtocolService, AProtocolServesItsLoadsAndLeavesItsOwnMarkedRequestsAlone) {
    LoopbackServer server;
    server.on("GET", "/shout/page",
              [](const auto&) { return LoopbackResponse::text("quiet words"); });
    auto factory = std::make_shared<TestFactory>("/shout", ShoutingProtocol::kMark, nullptr);
    Registered registered(factory);
    EXPECT_FALSE(URLProtocolRegistry::shared().registerFactory(factory));  // once only

    const auto record = load(server.url("/shout/page"));
    EXPECT_EQ(record->events, (Events{"response 200", "will-cache", "finish"}));
    EXPECT_EQ(record->body, "QUIET WORDS");
    // The protocol's own request went to the network, not back to it.
    EXPECT_EQ(server.requestsTo("/shout/page").size(), 1u);
    EXPECT_EQ(factory->offers, 1);

    // The completion form goes through the protocols too.
    std::string body;
    URLConnection::sendAsynchronousRequest(
        URLRequest(server.url("/shout/page")),
        [&](core::Data data, auto, auto) { body.assign(data.begin(), data.end()); },
        core::RunLoop::main());
    EXPECT_TRUE(testsupport::waitUntil([&] { return !body.empty(); }));
    EXPECT_EQ(body, "QUIET WORDS");
}

TEST(URLProtocolService, AProtocolsRedirectIsAskedAndOfferedToTheProtocolsAfresh) {
    LoopbackServer server;
    server.on("GET", "/target", [](const auto&) { return LoopbackResponse::text("real"); });
    const core::URL target = server.url("/target");
    auto factory = std::make_shared<TestFactory>(
        "/moved", "", [target](const URLRequest& request, URLProtocolClient& client) {
            client.wasRedirectedToRequest(URLRequest(target),
                                          responseFor(request, 302, {{"Location", "/target"}}));
        });
    Registered registered(factory);

    const auto record = load(server.url("/moved"));
    EXPECT_EQ(record->events, (Events{"redirect 302 " + target.absoluteString(), "response 200",
                                      "will-cache", "finish"}));
    EXPECT_EQ(record->body, "real");
    EXPECT_EQ(factory->offers, 2);  // the first request and the redirect target
}

TEST(URLProtocolService, TheStoragePolicyDecidesTheCacheQuestionAndFailuresPassThrough) {
    auto factory = std::make_shared<TestFactory>(
        "/memory", "", [](const URLRequest& request, URLProtocolClient& client) {
            if (request.url().path() == "/memory/broken") {
                client.didFailWithError(
                    core::NetworkError::make(core::NetworkError::Code::badServerResponse,
                                             request.url().absoluteString(), "broken on purpose"));
                return;
            }
            client.didReceiveResponse(responseFor(request, 200),
                                      CachedURLResponse::StoragePolicy::notAllowed);
            client.didLoadData(core::Data{'o', 'k'});
            client.didFinishLoading();
            client.didFinishLoading();  // ignored
        });
    Registered registered(factory);

    // The host does not exist: nothing reaches the network.
    const auto served = load(*core::URL::create("http://no-such-host.invalid/memory/page"));
    EXPECT_EQ(served->events, (Events{"response 200", "finish"}));
    EXPECT_EQ(served->body, "ok");
    const auto broken = load(*core::URL::create("http://no-such-host.invalid/memory/broken"));
    EXPECT_EQ(broken->events, (Events{"fail badServerResponse"}));
    ASSERT_TRUE(broken->error);
    EXPECT_EQ(broken->error->message, "broken on purpose");
}

TEST(URLProtocolService, TheRegistryAnswersFromAnyThreadAndSkipsRequestsMarkedForAFactory) {
    auto factory = std::make_shared<TestFactory>("/any", "test.mark", nullptr);
    Registered registered(factory);
    URLRequest request(*core::URL::create("http://127.0.0.1/any/x"));

    std::vector<std::thread> threads;
    std::atomic<int> found{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            if (URLProtocolRegistry::shared().factoryForRequest(request) == factory) ++found;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(found, 4);

    request.setProperty("test.mark", true);
    EXPECT_EQ(URLProtocolRegistry::shared().factoryForRequest(request), nullptr);
    request.removeProperty("test.mark");
    EXPECT_FALSE(request.hasProperty("test.mark"));
    EXPECT_EQ(URLProtocolRegistry::shared().factoryForRequest(request), factory);
}

// A protocol that loads the request again learns what the load it serves
// was made with, so its own load has the same bounds and time-outs.
TEST(URLProtocolService, AProtocolLoadsWithTheConfigurationOfTheLoadItServes) {
    testsupport::ManualClockScope clock;
    LoopbackServer server;
    server.on("GET", "/shout/long", [](const auto&) { return LoopbackResponse::filler(4000); });
    const auto gate = fixtures::ResponseGate::make();
    server.on("GET", "/shout/silent",
              [&](const auto&) { return LoopbackResponse::text("late").heldBy(gate); });
    auto factory = std::make_shared<TestFactory>("/shout", ShoutingProtocol::kMark, nullptr);
    Registered registered(factory);

    core::URLSessionConfiguration bounded;
    bounded.maximumResponseBytes = 1000;
    bounded.timeoutIntervalForRequest = 5;
    bounded.refusedLocalPorts = {1, 2};
    bounded.userAgent = "Shouter/2";
    const auto tooLong = load(URLRequest(server.url("/shout/long")), nullptr, bounded);
    EXPECT_EQ(tooLong->events, (Events{"fail dataLengthExceedsMaximum"}));
    const auto& seen = factory->shouter->configuration;
    EXPECT_EQ(seen.maximumResponseBytes, 1000);
    EXPECT_EQ(seen.refusedLocalPorts, (std::vector<int>{1, 2}));
    EXPECT_EQ(server.requestsTo("/shout/long").at(0).headers.value("User-Agent"), "Shouter/2");

    // Silence past the load's own idle time-out fails it.
    auto record = std::make_shared<ConnectionRecord>();
    auto connection =
        URLConnection::create(URLRequest(server.url("/shout/silent")), record, bounded);
    connection->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return gate->heldCount() == 1; }));
    clock.advance(10);
    ASSERT_TRUE(testsupport::waitUntil([&] { return record->ended; }));
    EXPECT_EQ(record->events, (Events{"fail timedOut"}));
}

// Pausing a load a protocol serves reaches the protocol on the load's loop,
// from any thread and before the protocol starts, so a protocol that passes
// it on holds its server back.
TEST(URLProtocolService, PausingALoadPausesTheProtocolServingIt) {
    LoopbackServer server;
    const auto gate = fixtures::ResponseGate::make();
    const std::string text(200'000, 'q');
    server.on("GET", "/shout/metered",
              [&](const auto&) { return LoopbackResponse::text(text).meteredBy(gate); });
    auto factory = std::make_shared<TestFactory>("/shout", ShoutingProtocol::kMark, nullptr);
    Registered registered(factory);
    const std::string loud(text.size(), 'Q');

    auto record = std::make_shared<ConnectionRecord>();
    auto connection = URLConnection::create(URLRequest(server.url("/shout/metered")), record);
    connection->start();
    gate->openTo(1'000);
    ASSERT_TRUE(testsupport::waitUntil([&] { return record->body.size() == 1'000; }));
    const auto protocol = factory->shouter;
    std::thread([&] { connection->setReceivingPaused(true); }).join();
    ASSERT_TRUE(testsupport::waitUntil([&] { return protocol->events.size() == 2; }));
    gate->release();
    EXPECT_FALSE(core::RunLoop::main().runUntil([&] { return record->body.size() > 1'000; }, 0.3));
    connection->setReceivingPaused(false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return record->ended; }));
    ASSERT_FALSE(record->events.empty());
    EXPECT_EQ(record->events.back(), "finish");
    EXPECT_EQ(record->body, loud);
    EXPECT_EQ(protocol->events, (Events{"start", "pause", "resume"}));
    EXPECT_EQ(protocol->threads, std::set{std::this_thread::get_id()});

    // Paused before it starts, the protocol is told before it loads, and
    // after its end it hears nothing more.
    record = std::make_shared<ConnectionRecord>();
    connection = URLConnection::create(URLRequest(server.url("/shout/metered")), record);
    connection->setReceivingPaused(true);
    connection->start();
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return !record->events.empty() && factory->shouter != protocol; }));
    EXPECT_FALSE(core::RunLoop::main().runUntil([&] { return !record->body.empty(); }, 0.3));
    connection->setReceivingPaused(false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return record->ended; }));
    EXPECT_EQ(record->body, loud);
    connection->setReceivingPaused(true);
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(factory->shouter->events, (Events{"pause", "start", "resume"}));
}

}  // namespace
