#include "ads/web/net/DZWebViewPinger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZUserAgent.h"
#include "ads/web/net/DZPinger.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "support/ManualClockScope.h"
#include "support/ProcessTree.h"
#include "ui/Window.h"
#include "web/WebView.h"

using namespace ads;
using fixtures::LoopbackResponse;

namespace {

// Real loads through the browser engine, sanitizers included.
constexpr double kLimit = 20;

class DZWebViewPingerService : public testing::Test {
protected:
    void SetUp() override {
        pinger_ = DZWebViewPinger::create();
        ASSERT_TRUE(pinger_) << "the browser engine did not start";
        server_.serve("/ok", LoopbackResponse::text("ok"));
    }
    void TearDown() override {
        if (pinger_) {
            EXPECT_TRUE(waitFor([&] { return pinger_->queuedPingCount() == 0; }));
        }
    }
    static bool waitFor(const std::function<bool()>& predicate) {
        return core::RunLoop::main().runUntil(predicate, kLimit);
    }
    // Queues a ping whose outcome lands in outcome.
    void ping(const std::string& urlString, std::optional<bool>& outcome) {
        pinger_->pingURLString(urlString, core::Queue::main(),
                               [&outcome](bool success) { outcome = success; });
    }
    std::optional<bool> pingAndWait(const std::string& urlString) {
        std::optional<bool> outcome;
        ping(urlString, outcome);
        EXPECT_TRUE(waitFor([&] { return outcome.has_value(); })) << urlString;
        return outcome;
    }

    fixtures::AdServer server_;
    std::shared_ptr<DZWebViewPinger> pinger_;
};

}  // namespace

TEST_F(DZWebViewPingerService, AHiddenScriptlessViewInThePlaceholderWindow) {
    const auto& view = pinger_->webView();
    EXPECT_EQ(view->frame(), (gfx::Rect{0, 0, 1, 1}));
    EXPECT_EQ(view->superview(), DZApplication::placeholderWindow());
    EXPECT_EQ(view->configuration().kind, web::WebViewConfiguration::Kind::WK);
    EXPECT_FALSE(view->configuration().javaScriptEnabled);
    EXPECT_FALSE(view->configuration().persistentDataStore);
}

TEST_F(DZWebViewPingerService, PingsGoOneAtATimeInOrder) {
    server_.serve("/first", LoopbackResponse::text("first").after(300));
    std::optional<bool> first;
    std::optional<bool> second;
    std::vector<std::string> ended;
    pinger_->pingURLString(server_.urlString("/first"), core::Queue::main(), [&](bool success) {
        first = success;
        ended.push_back("first");
        EXPECT_TRUE(server_.requestsTo("/ok").empty()) << "the second waits for the first";
    });
    ping(server_.urlString("/ok"), second);
    EXPECT_EQ(pinger_->queuedPingCount(), 2u);
    ASSERT_TRUE(waitFor([&] { return second.has_value(); }));
    EXPECT_EQ(ended, std::vector<std::string>{"first"});
    EXPECT_EQ(first, true);
    EXPECT_EQ(second, true);
}

TEST_F(DZWebViewPingerService, TheFinalStatusDecides) {
    server_.serve("/missing", LoopbackResponse::text("missing", 404));
    server_.serve("/moved", LoopbackResponse::redirect(server_.urlString("/ok")));
    EXPECT_EQ(pingAndWait(server_.urlString("/ok")), true);
    EXPECT_EQ(pingAndWait(server_.urlString("/missing")), false);
    EXPECT_EQ(pingAndWait(server_.urlString("/moved")), true);
    EXPECT_EQ(pingAndWait("http://127.0.0.1:9/refused"), false);
    EXPECT_EQ(server_.requestsTo("/ok").size(), 2u);
}

TEST_F(DZWebViewPingerService, TextsThatAreNotWebURLsFailWithoutEnteringTheQueue) {
    for (const char* text : {"", "not a url", "javascript:alert(1)", "JAVASCRIPT:alert(1)",
                             "file:///etc/passwd", "data:text/html,<p>hi</p>"}) {
        std::optional<bool> outcome;
        ping(text, outcome);
        EXPECT_EQ(pinger_->queuedPingCount(), 0u) << text;
        ASSERT_TRUE(waitFor([&] { return outcome.has_value(); })) << text;
        EXPECT_EQ(outcome, false) << text;
    }
    EXPECT_EQ(pinger_->webView()->url(), std::nullopt) << "nothing was loaded";
}

// The view goes once no ping has waited for kIdleSeconds, and with it the
// engine's processes made for it (its data store is its own); a ping in the
// meantime keeps it, and the next ping after makes it again. No other
// pinger runs meanwhile; processes are told apart by id, as those of
// earlier tests may still be ending.
TEST(DZWebViewPingerIdleService, TheViewAndItsEngineProcessesGoWhenNoPingWaits) {
    fixtures::AdServer server;
    server.serve("/ok", LoopbackResponse::text("ok"));
    testsupport::ManualClockScope clock;
    const auto waitFor = [](const std::function<bool()>& predicate) {
        return core::RunLoop::main().runUntil(predicate, kLimit);
    };
    const auto engineProcesses = [] {
        std::vector<pid_t> found;
        for (const char* name : {"WebKitNetworkPr", "WebKitWebProces"})
            for (const pid_t pid : testsupport::descendantsNamed(name)) found.push_back(pid);
        return found;
    };
    const auto among = [](const std::vector<pid_t>& list, const std::vector<pid_t>& others) {
        std::vector<pid_t> found;
        for (const pid_t pid : list)
            if (std::find(others.begin(), others.end(), pid) != others.end()) found.push_back(pid);
        return found;
    };
    const auto before = engineProcesses();
    const auto pinger = DZWebViewPinger::create();
    ASSERT_TRUE(pinger);
    const auto pingThrough = [&](const std::string& path) {
        std::optional<bool> outcome;
        pinger->pingURLString(server.urlString(path), core::Queue::main(),
                              [&](bool success) { outcome = success; });
        EXPECT_TRUE(waitFor([&] { return outcome.has_value(); })) << path;
        return outcome;
    };
    // Runs what the main queue holds now, the tasks a clock advance put
    // there among them.
    const auto settle = [&] {
        bool reached = false;
        core::Queue::main()->async([&] { reached = true; });
        EXPECT_TRUE(waitFor([&] { return reached; }));
    };

    EXPECT_EQ(pingThrough("/ok?1"), true);
    const web::WebView* const view = pinger->webView().get();
    std::vector<pid_t> made;
    for (const pid_t pid : engineProcesses())
        if (among({pid}, before).empty()) made.push_back(pid);
    EXPECT_EQ(made.size(), 2u) << "a web and a network process of its own";
    clock.advance(DZWebViewPinger::kIdleSeconds * 0.6);
    EXPECT_EQ(pingThrough("/ok?2"), true);
    clock.advance(DZWebViewPinger::kIdleSeconds * 0.6);
    settle();
    EXPECT_EQ(pinger->webView().get(), view) << "a ping came while it waited";

    clock.advance(DZWebViewPinger::kIdleSeconds * 0.5);
    ASSERT_TRUE(waitFor([&] { return !pinger->webView(); }));
    EXPECT_TRUE(waitFor([&] { return among(made, engineProcesses()).empty(); }))
        << "the view's engine processes outlive it";

    EXPECT_EQ(pingThrough("/ok?3"), true);
    EXPECT_TRUE(pinger->webView());
}

namespace {

// The shared pinger's road for http URLs. The SDK's own agent is its
// default here: once the network signals install the ad web view's agent
// (as an app's first ad load does), it is the engine's, and the two roads
// could not be told apart by it.
class DZPingerWebViewService : public testing::Test {
protected:
    void SetUp() override { previousAgent_ = DZSetUserAgentProvider(DZDefaultUserAgent); }
    void TearDown() override {
        const auto pinger = DZPinger::sharedInstance();
        EXPECT_TRUE(
            core::RunLoop::main().runUntil([&] { return pinger->pingsInFlight() == 0; }, kLimit));
        core::UserDefaults::standard()->removeObjectForKey(DZPinger::kEnableWebViewPingsKey);
        DZPinger::resetSharedInstanceForTesting();
        DZSetUserAgentProvider(previousAgent_);
    }
    // The User-Agent the server saw for a ping of path.
    std::optional<std::string> agentOf(const std::string& urlString, const std::string& path) {
        std::optional<bool> outcome;
        DZPinger::sharedInstance()->pingURLString(urlString, core::Queue::main(),
                                                  [&](bool success) { outcome = success; });
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return outcome.has_value(); }, kLimit));
        EXPECT_EQ(outcome, true) << urlString;
        const auto requests = server_.requestsTo(path);
        return requests.empty() ? std::nullopt : requests.back().header("User-Agent");
    }

    fixtures::AdServer server_;
    DZUserAgentProvider previousAgent_;
};

}  // namespace

TEST_F(DZPingerWebViewService, HTTPInAnyCaseGoesThroughTheWebViewUnlessSwitchedOff) {
    server_.serve("/p", LoopbackResponse::text("ok"));
    DZPinger::resetSharedInstanceForTesting();
    const std::string upper = "HTTP://" + server_.baseURL().substr(std::string("http://").size());
    const auto engineAgent = agentOf(upper + "/p?n=1", "/p");
    ASSERT_TRUE(DZPinger::sharedInstance()->webViewPinger()) << "made on first need";
    EXPECT_NE(engineAgent, DZUserAgent()) << "the engine made the request";

    core::UserDefaults::standard()->setBool(std::string(DZPinger::kEnableWebViewPingsKey), false);
    EXPECT_EQ(agentOf(server_.urlString("/p?n=2"), "/p"), DZUserAgent());
}

// A process whose display cannot be opened makes no web view: its http
// pings still go out directly, and stop trying the engine. The threadsafe
// death-test style runs the body in a fresh copy that has no engine yet.
// The copy ends without static destructors: the SDK's queues and the
// pinger's session still have threads running then.
TEST(DZPingerWebViewDeathTest, WithoutAWebViewHTTPPingsGoDirect) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("DISPLAY", ":987", 1);
            unsetenv("WAYLAND_DISPLAY");
            bool passed = false;
            {
                fixtures::AdServer server;
                server.serve("/p", LoopbackResponse::text("ok"));
                std::optional<bool> outcome;
                DZPinger::sharedInstance()->pingURLString(
                    server.urlString("/p"), core::Queue::main(),
                    [&](bool success) { outcome = success; });
                (void)core::RunLoop::main().runUntil([&] { return outcome.has_value(); }, kLimit);
                const auto requests = server.requestsTo("/p");
                const bool direct =
                    requests.size() == 1 && requests[0].header("User-Agent") == DZUserAgent();
                passed = outcome == true && direct && !DZWebViewPinger::isAvailable();
            }
            std::_Exit(passed ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
