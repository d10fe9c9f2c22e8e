// Loads the engine stalls end all the same. Here the stall is made by
// stopping the view's web process before its load sends anything: the load
// is made once more after the stall watch's wait (shortened here), and
// fails when it stalls again. A slow server is no stall: its load waits as
// long as it takes.

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "WebViewTesting.h"
#include "core/Console.h"
#include "core/PendingWork.h"
#include "core/URLProtocolRegistry.h"
#include "fixtures/ResponseGate.h"
#include "support/ProcessTree.h"
#include "web/WebViewEngine.h"

namespace {

using namespace webtesting;
using Kind = web::WebViewConfiguration::Kind;

constexpr double kStall = 1;

// A view of the kind in a web process of its own, with a page loaded, and
// that process.
struct OwnProcessView {
    explicit OwnProcessView(Kind kind, fixtures::LoopbackServer& server) {
        const auto before = testsupport::webProcesses();
        web::WebViewConfiguration configuration = configurationOf(kind);
        configuration.ownWebProcess = true;
        view = makeView(delegate, configuration);
        if (!view || !loadAndWait(*view, *delegate, server.url("/first"))) return;
        for (const pid_t each : testsupport::webProcesses())
            if (std::find(before.begin(), before.end(), each) == before.end()) process = each;
        delegate->events.clear();
    }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view;
    pid_t process = 0;
};

// Stops the process while it lives, so that nothing of its pages moves.
class Stopped {
public:
    explicit Stopped(pid_t process) : process_(process) { kill(process_, SIGSTOP); }
    ~Stopped() { resume(); }
    Stopped(const Stopped&) = delete;
    Stopped& operator=(const Stopped&) = delete;
    void resume() {
        if (process_ != 0) kill(std::exchange(process_, 0), SIGCONT);
    }

private:
    pid_t process_;
};

class StallTesting : public testing::Test {
protected:
    void SetUp() override {
        web::WebView::Engine::stallSeconds = kStall;
        serveHTML(server, "/first", "<p>first</p>");
        serveHTML(server, "/page", "<p id=p>page</p>");
    }
    void TearDown() override {
        web::WebView::Engine::stallSeconds = web::WebView::Engine::kStallSeconds;
    }

    // Lets seconds of real time pass on the main loop.
    static void pass(double seconds) {
        (void)waitFor([] { return false; }, seconds);
    }

    fixtures::LoopbackServer server;
};

// A "UI"-kind load begins as the app makes it; a "WK"-kind one only once the
// engine's policy step, which the stopped process holds, has let it on.
class WebViewUIStallService : public StallTesting {};
class WebViewStallService : public StallTesting, public testing::WithParamInterface<Kind> {};

TEST_F(WebViewUIStallService, ALoadTheEngineNeverSendsIsMadeOnceMoreThenFails) {
    OwnProcessView own(Kind::UI, server);
    ASSERT_TRUE(own.view);
    ASSERT_NE(own.process, 0);
    const core::URL page = server.url("/page");
    {
        Stopped stopped(own.process);
        own.view->loadRequest(core::URLRequest(page));
        pass(kStall - 0.3);
        EXPECT_TRUE(own.delegate->count("fail") == 0 && own.view->isLoading());
        pass(0.6);  // made again
        stopped.resume();
        ASSERT_TRUE(waitFor([&] { return !own.view->isLoading(); }));
    }
    EXPECT_EQ(own.delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(evaluate(*own.view, "document.getElementById('p').textContent"), core::Value("page"));
    EXPECT_EQ(server.requestsTo("/page").size(), 1u);

    own.delegate->events.clear();
    {
        Stopped stopped(own.process);
        own.view->loadRequest(core::URLRequest(server.url("/page?again")));
        // Made again after the first look; that last chance gets as many
        // looks as an answer left unread before it fails.
        pass(2 * kStall + 0.3);
        EXPECT_TRUE(own.view->isLoading());
        pass((web::WebView::Engine::kAnsweredLooks - 1) * kStall);
        EXPECT_FALSE(own.view->isLoading());
    }
    EXPECT_EQ(own.delegate->events,
              (std::vector<std::string>{"start",
                                        "fail -1 " + server.url("/page?again").absoluteString()}));
    ASSERT_FALSE(own.delegate->errors.empty());
    EXPECT_EQ(own.delegate->errors.back().message, "The load stalled.");
}

// Answers a page's document under /whole whole, its length declared, and
// tells the end of the load unless told not to (as an onward load whose end
// comes after the engine has read the answer); the first time, it first
// stops the web process, so that the engine takes the answer late or never.
class WholeAnswerFactory final : public core::URLProtocolFactory {
    class Protocol final : public core::URLProtocol {
    public:
        Protocol(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client,
                 const WholeAnswerFactory& factory)
            : URLProtocol(std::move(request), std::move(client)), factory_(factory) {}
        void startLoading() override {
            if (factory_.starts.fetch_add(1) == 0) kill(factory_.process, SIGSTOP);
            const std::string body = "<p id=p>whole</p>";
            client()->didReceiveResponse(
                core::HTTPURLResponse(request().url(), 200,
                                      {{"Content-Type", "text/html"},
                                       {"Content-Length", std::to_string(body.size())}}),
                core::CachedURLResponse::StoragePolicy::notAllowed);
            client()->didLoadData(core::Data(body.begin(), body.end()));
            if (factory_.tellsEnd) client()->didFinishLoading();
        }
        void stopLoading() override {}

    private:
        const WholeAnswerFactory& factory_;
    };

public:
    explicit WholeAnswerFactory(pid_t process) : process(process) {}
    ~WholeAnswerFactory() override { kill(process, SIGCONT); }
    std::string ownPropertyKey() const override { return "test.whole-answer"; }
    bool canInit(const core::URLRequest& request) const override {
        return request.url().path().starts_with("/whole");
    }
    std::shared_ptr<core::URLProtocol>
    make(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client) const override {
        return std::make_shared<Protocol>(std::move(request), std::move(client), *this);
    }

    const pid_t process;
    mutable std::atomic<int> starts{0};
    std::atomic<bool> tellsEnd{true};
};

// A "UI"-kind load whose document the proxy answered whole while the engine
// took nothing of it: the stall watch sees it answered (also when the
// proxy's onward load never told its end, the engine having had every
// byte), gives the web process kAnsweredLooks looks, then makes it once
// more, and fails it when that stalls too.
class WebViewUIAnsweredStallService : public StallTesting {
protected:
    void SetUp() override {
        StallTesting::SetUp();
        ASSERT_TRUE(own.view);
        ASSERT_NE(own.process, 0);
        ASSERT_TRUE(core::URLProtocolRegistry::shared().registerFactory(factory));
    }
    void TearDown() override {
        core::URLProtocolRegistry::shared().unregisterFactory(factory);
        StallTesting::TearDown();
    }

    OwnProcessView own{Kind::UI, server};
    std::shared_ptr<WholeAnswerFactory> factory = std::make_shared<WholeAnswerFactory>(own.process);
    const core::URL page = server.url("/whole");
    core::Console::Capture log;
};

TEST_F(WebViewUIAnsweredStallService, AnAnswerTheEngineNeverTakesIsMadeOnceMoreThenFails) {
    factory->tellsEnd = false;
    own.view->loadRequest(core::URLRequest(page));
    ASSERT_TRUE(waitFor([&] { return !own.view->isLoading(); },
                        (2 * web::WebView::Engine::kAnsweredLooks + 2) * kStall));
    EXPECT_EQ(own.delegate->events,
              (std::vector<std::string>{"start", "fail -1 " + page.absoluteString()}));
    ASSERT_FALSE(own.delegate->errors.empty());
    EXPECT_EQ(own.delegate->errors.back().message, "The load stalled.");
    EXPECT_TRUE(
        log.contains("stalled the load of " + page.absoluteString() + "; it is made again"));
}

// A busy web process takes its answer late: two waits and more are no
// stall.
TEST_F(WebViewUIAnsweredStallService, AnAnswerTakenAfterTwoWaitsIsNoStall) {
    own.view->loadRequest(core::URLRequest(page));
    ASSERT_TRUE(waitFor([&] { return factory->starts == 1; }, kStall / 2));
    pass(2.5 * kStall);
    kill(own.process, SIGCONT);
    ASSERT_TRUE(waitFor([&] { return !own.view->isLoading(); }));
    EXPECT_EQ(own.delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(factory->starts, 1);
    EXPECT_FALSE(log.contains("stalled"));
}

// The load made once more is the view's: the engine's end of the one before
// fails nothing.
TEST_F(WebViewUIAnsweredStallService, TheLoadMadeOnceMoreIsNotFailedByTheEndOfTheOneBefore) {
    factory->tellsEnd = false;
    own.view->loadRequest(core::URLRequest(page));
    ASSERT_TRUE(waitFor([&] { return log.contains("it is made again"); },
                        (web::WebView::Engine::kAnsweredLooks + 2) * kStall));
    kill(own.process, SIGCONT);
    ASSERT_TRUE(waitFor([&] { return !own.view->isLoading(); }));
    EXPECT_EQ(own.delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(evaluate(*own.view, "document.getElementById('p').textContent"),
              core::Value("whole"));
}

// A load the app stops is no work under way, though the engine, its web
// process held, says it still loads: a clock driver waiting for quiet must
// not wait on it.
TEST_P(WebViewStallService, AStoppedLoadIsNoWorkUnderWay) {
    OwnProcessView own(GetParam(), server);
    ASSERT_TRUE(own.view);
    ASSERT_NE(own.process, 0);
    Stopped stopped(own.process);
    const auto& engineLoading = own.view->engine().engineLoading;
    own.view->loadRequest(core::URLRequest(server.url("/page")));
    ASSERT_TRUE(waitFor([&] { return engineLoading.holds(); }, 1));
    own.view->stopLoading();
    pass(0.3);
    EXPECT_TRUE(own.view->engine().page && webkit_web_view_is_loading(own.view->engine().page));
    EXPECT_FALSE(engineLoading.holds());
}

// A request the page sent that is still on its way to the proxy at the
// next look (its network process busy; here stopped for a while) moved
// since the look before: no stall, and nothing is made again.
TEST_F(WebViewUIStallService, ARequestSentSinceTheLastLookIsNoStall) {
    OwnProcessView own(Kind::UI, server);
    ASSERT_TRUE(own.view);
    core::Console::Capture log;
    constexpr double kLook = 3;
    web::WebView::Engine::stallSeconds = kLook;
    std::vector<std::unique_ptr<Stopped>> network;
    for (const pid_t each : testsupport::descendantsNamed("WebKitNetworkPr"))
        network.push_back(std::make_unique<Stopped>(each));
    ASSERT_FALSE(network.empty());
    own.view->loadRequest(core::URLRequest(server.url("/page")));
    ASSERT_TRUE(waitFor([&] { return own.view->engine().mainRequestSent; }, kLook / 2));
    pass(kLook + 0.5);  // past the first look, short of the second
    EXPECT_TRUE(own.view->isLoading());
    network.clear();
    ASSERT_TRUE(waitFor([&] { return !own.view->isLoading(); }));
    EXPECT_EQ(own.delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_FALSE(log.contains("stalled"));
    EXPECT_EQ(server.requestsTo("/page").size(), 1u);
}

// A web process slow to start (on a busy machine it takes seconds; here it
// is stopped as soon as it exists, for several looks) is no stall: the
// view's first load waits for it and loads once.
TEST_P(WebViewStallService, AWebProcessSlowToStartIsNoStall) {
    core::Console::Capture log;
    const auto before = testsupport::webProcesses();
    std::atomic<pid_t> started{0};
    std::atomic<bool> watching{true};
    std::thread watcher([&] {
        while (watching && started == 0) {
            for (const pid_t each : testsupport::webProcesses()) {
                if (std::find(before.begin(), before.end(), each) != before.end()) continue;
                if (kill(each, SIGSTOP) == 0) started = each;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const auto stopWatching = [&] {
        watching = false;
        if (watcher.joinable()) watcher.join();
    };
    web::WebViewConfiguration configuration = configurationOf(GetParam());
    configuration.ownWebProcess = true;
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configuration);
    if (!view) stopWatching();
    ASSERT_TRUE(view);
    view->loadRequest(core::URLRequest(server.url("/page")));
    const bool stopped = waitFor([&] { return started != 0; }, 10);
    stopWatching();
    ASSERT_TRUE(stopped);
    {
        Stopped held(started);
        pass(4 * kStall + 0.5);
        EXPECT_EQ(delegate->count("fail"), 0u);
    }
    // (A "WK"-kind load begins only once the process lets it.)
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") + delegate->count("fail") > 0; }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(evaluate(*view, "document.getElementById('p').textContent"), core::Value("page"));
    EXPECT_FALSE(log.contains("stalled"));
    EXPECT_EQ(server.requestsTo("/page").size(), 1u);
}

// Also at a URL the engine sends otherwise than it wrote it ("%6f" as "o"):
// the proxy knows its load by what was sent.
TEST_P(WebViewStallService, ASlowServerIsNoStall) {
    OwnProcessView own(GetParam(), server);
    ASSERT_TRUE(own.view);
    for (const char* written : {"/slow", "/sl%6fw"}) {
        SCOPED_TRACE(written);
        const auto gate = fixtures::ResponseGate::make();
        server.on("GET", "/slow", [gate](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::text("<p id=p>slow</p>", 200, "text/html")
                .heldBy(gate);
        });
        server.clearLog();
        own.delegate->events.clear();
        own.view->loadRequest(core::URLRequest(server.url(written)));
        ASSERT_TRUE(waitFor([&] { return gate->heldCount() == 1; }));
        for (int look = 0; look < 4; ++look) pass(kStall);
        EXPECT_TRUE(own.view->isLoading());
        gate->release();
        ASSERT_TRUE(waitFor([&] { return !own.view->isLoading(); }));
        EXPECT_EQ(own.delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
        EXPECT_EQ(server.requestsTo("/slow").size(), 1u);
    }
}

// A form's POST is not made again, as itself or as the GET a load of its
// URL would be: stalled (here its web process stops as the delegate lets it
// go, before it sends anything), it fails at the first look that finds it
// where the one before left it (the engine's start of it may come after
// the first).
TEST_P(WebViewStallService, AStalledFormPostFailsAndIsNotMadeAgain) {
    serveHTML(server, "/form",
              "<form method=post action='/posted'><input name=q value=v>"
              "<input type=submit id=go></form>");
    serveHTML(server, "/posted", "<p>posted</p>");
    server.on("POST", "/posted", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("<p>posted</p>", 200, "text/html");
    });
    OwnProcessView own(GetParam(), server);
    ASSERT_TRUE(own.view);
    ASSERT_NE(own.process, 0);
    ASSERT_TRUE(loadAndWait(*own.view, *own.delegate, server.url("/form")));
    own.delegate->events.clear();
    core::Console::Capture log;
    bool stopped = false;
    own.delegate->decide = [&](const web::NavigationAction& action) {
        if (action.request.method() == "POST" && !stopped)
            stopped = kill(own.process, SIGSTOP) == 0;
        return true;
    };
    {
        const std::string posted = server.url("/posted").absoluteString();
        (void)evaluateScript(*own.view, "setTimeout(() => document.getElementById('go').click())");
        ASSERT_TRUE(waitFor([&] { return stopped; }));
        pass(2.5 * kStall);
        const bool resumed = kill(own.process, SIGCONT) == 0;
        ASSERT_TRUE(resumed);
        EXPECT_EQ(own.delegate->events, (std::vector<std::string>{"start", "fail -1 " + posted}));
    }
    pass(2 * kStall);  // whatever the resumed process still sends
    EXPECT_FALSE(log.contains("made again"));
    EXPECT_FALSE(own.view->isLoading());
    size_t posts = 0;
    for (const auto& request : server.requestsTo("/posted")) {
        EXPECT_EQ(request.method, "POST");
        posts += request.method == "POST";
    }
    EXPECT_LE(posts, 1u);
    own.delegate->decide = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewStallService, testing::ValuesIn(kKinds), kindName);

}  // namespace
