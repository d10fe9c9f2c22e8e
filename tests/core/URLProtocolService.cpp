#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "URLConnectionTesting.h"
#include "core/URLConnection.h"
#include "core/URLProtocolRegistry.h"
#include "fixtures/LoopbackServer.h"

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
// marked so that it is not offered to it a second time, and passes on the
// body in upper case.
class ShoutingProtocol final : public URLProtocol, public core::URLConnectionDelegate {
public:
    static constexpr const char* kMark = "test.shouting";

    using URLProtocol::URLProtocol;

    void startLoading() override {
        URLRequest inner = request();
        inner.setProperty(kMark, true);
        connection_ = URLConnection::create(std::move(inner), weak_);
        connection_->start();
    }
    void stopLoading() override {
        if (connection_) connection_->cancel();
        connection_.reset();
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

private:
    std::shared_ptr<URLConnection> connection_;
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
            return protocol;
        }
        return std::make_shared<ScriptedProtocol>(std::move(request), std::move(client), script_);
    }

    mutable std::atomic<int> offers{0};

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

}  // namespace
