// Loads of both kinds of web view against a loopback server: HTML with a
// base URL, requests answering 200 and 404, a refused port, replaced and
// stopped loads, a slow image that must not split the finish, and loads
// the engine drops or asks for again.

#include <algorithm>
#include <atomic>
#include <map>

#include "WebViewTesting.h"
#include "core/PendingWork.h"
#include "fixtures/ResponseGate.h"
#include "support/RoundBudget.h"
#include "web/WebViewEngine.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;

class WebViewLoadService : public testing::TestWithParam<WebViewConfiguration::Kind> {
protected:
    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view = makeView(delegate, configurationOf(GetParam()));
};

TEST_P(WebViewLoadService, HTMLStringResolvesItsImageAgainstTheBase) {
    server.on("GET", "/ads/img/dot.png", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::bytes(pngBytes(7, 5, {0, 0, 1, 1}), "image/png");
    });
    ASSERT_TRUE(view);
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, "<img id=dot src='img/dot.png'>",
                                server.url("/ads/page.html")));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(evaluate(*view, "document.getElementById('dot').naturalWidth"), core::Value(7));
    EXPECT_EQ(server.requestsTo("/ads/img/dot.png").size(), 1u);
    EXPECT_EQ(evaluate(*view, "location.href"),
              core::Value(server.url("/ads/page.html").absoluteString()));
}

// A load is work under way (core::PendingWork) from the moment it is asked
// for, through the launch of its web process, which reports nothing for a
// while (seconds on a busy machine), to its end: a clock driver that waits
// for work to end must not take that while for the app at rest.
TEST_P(WebViewLoadService, LoadsAreWorkUnderWayFromTheirRequestToTheirEnd) {
    serveHTML(server, "/page", "<p>page</p>");
    for (const bool html : {true, false}) {
        SCOPED_TRACE(html ? "an HTML string" : "a request");
        auto configuration = configurationOf(GetParam());
        configuration.ownWebProcess = true;
        const auto own = std::make_shared<RecordingDelegate>();
        const auto fresh = makeView(own, configuration);
        ASSERT_TRUE(fresh);
        if (html)
            fresh->loadHTMLString("<p>html</p>", server.url("/base"));
        else
            fresh->loadRequest(core::URLRequest(server.url("/page")));
        size_t idleTurns = 0;
        ASSERT_TRUE(waitFor([&] {
            const bool ended = own->count("finish") + own->count("fail") > 0;
            if (!ended && !core::PendingWork::offMainThread()) ++idleTurns;
            return ended;
        }));
        EXPECT_EQ(own->events, (std::vector<std::string>{"start", "commit", "finish"}));
        EXPECT_EQ(idleTurns, 0u);
    }
}

TEST_P(WebViewLoadService, RequestLoadsFinishWithTheirStatusOrFailWithTheURL) {
    ASSERT_TRUE(view);
    serveHTML(server, "/ok", "<p>fine</p>");
    server.on("GET", "/missing", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("<p>no such page</p>", 404, "text/html");
    });
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/ok")));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(view->mainFrameStatusCode(), 200);

    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/missing")));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(view->mainFrameStatusCode(), 404);
    EXPECT_EQ(evaluate(*view, "document.body.textContent"), core::Value("no such page"));

    std::string refused;
    {
        fixtures::LoopbackServer gone;
        refused = gone.url("/nothing").absoluteString();
    }
    delegate->events.clear();
    ASSERT_TRUE(loadAndWait(*view, *delegate, core::URL::create(refused).value()));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "fail -1004 " + refused}));
    EXPECT_FALSE(view->isLoading());
}

// A port the engine refuses to reach (the discard service's) fails the
// load with the engine's own error, not as a start and a finish of a blank
// page; so does a redirect there.
TEST_P(WebViewLoadService, ALoadOfARestrictedPortFailsWithTheEnginesError) {
    ASSERT_TRUE(view);
    const std::string restricted = "http://127.0.0.1:9/";
    server.on("GET", "/away", [restricted](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::redirect(restricted);
    });
    for (const std::string& url : {restricted, server.url("/away").absoluteString()}) {
        SCOPED_TRACE(url);
        delegate->events.clear();
        view->loadRequest(core::URLRequest(core::URL::create(url).value()));
        ASSERT_TRUE(waitFor([&] { return delegate->count("finish") + delegate->count("fail"); }));
        (void)waitFor([] { return false; }, 0.3);  // nothing more is told
        EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "fail 103 " + restricted}));
        ASSERT_FALSE(delegate->errors.empty());
        EXPECT_EQ(delegate->errors.back().code, web::LoadError::kCannotUseRestrictedPort);
        EXPECT_FALSE(view->isLoading());
    }
}

TEST_P(WebViewLoadService, ReplacedAndStoppedLoadsFailAsCancelled) {
    ASSERT_TRUE(view);
    serveHTML(server, "/slow", "<p>slow</p>", 3000);
    serveHTML(server, "/quick", "<p>quick</p>");
    const std::string slow = server.url("/slow").absoluteString();

    view->loadRequest(core::URLRequest(server.url("/slow")));
    ASSERT_TRUE(waitFor([&] { return server.requestsTo("/slow").size() == 1; }));
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/quick")));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "fail -999 " + slow, "start",
                                                          "commit", "finish"}));

    delegate->events.clear();
    view->loadRequest(core::URLRequest(server.url("/slow")));
    ASSERT_TRUE(waitFor([&] { return server.requestsTo("/slow").size() == 2; }));
    EXPECT_TRUE(view->isLoading());
    view->stopLoading();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "fail -999 " + slow}));
    EXPECT_FALSE(view->isLoading());
    // The engine's own report of the stop reaches nobody; the next load is
    // told as usual.
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/quick")));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "fail -999 " + slow, "start",
                                                          "commit", "finish"}));
}

TEST_P(WebViewLoadService, ASlowImageHoldsTheOneFinish) {
    ASSERT_TRUE(view);
    server.on("GET", "/late.png", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::bytes(pngBytes(3, 3, {1, 0, 0, 1}), "image/png")
            .after(800);
    });
    // A missing image and an unreachable script fail alone, not the page.
    serveHTML(server, "/page",
              "<img id=late src='/late.png'><img src='/missing.png'>"
              "<script src='http://127.0.0.1:1/gone.js'></script>");
    serveHTML(server, "/next", "<p>next</p>");
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(evaluate(*view, "document.getElementById('late').naturalWidth"), core::Value(3));
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/next")));
    EXPECT_EQ(delegate->count("finish"), 2u);
}

TEST_P(WebViewLoadService, TheViewsUserAgentGoesOutWithTheLoads) {
    web::WebViewConfiguration configuration = configurationOf(GetParam());
    configuration.userAgent = "VantorTest/1.0";
    const auto agent = makeView(delegate, configuration);
    ASSERT_TRUE(agent);
    serveHTML(server, "/page", "<script src='/script.js'></script>");
    server.on("GET", "/script.js", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("window.ran = true;", 200, "text/javascript");
    });
    ASSERT_TRUE(loadAndWait(*agent, *delegate, server.url("/page")));
    ASSERT_FALSE(delegate->navigationsTo("/page").empty());
    EXPECT_EQ(delegate->navigationsTo("/page").front().request.value("User-Agent"),
              "VantorTest/1.0");
    for (const char* path : {"/page", "/script.js"}) {
        ASSERT_EQ(server.requestsTo(path).size(), 1u) << path;
        EXPECT_EQ(server.requestsTo(path).front().header("User-Agent"), "VantorTest/1.0") << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewLoadService, testing::ValuesIn(kKinds), kindName);

class WebViewUILoadService : public testing::Test {
protected:
    fixtures::LoopbackServer server;
};

// Views loading at once share a web process, where the engine may start a
// load over and ask for it again before it commits, drop a load it started,
// or stall one (its request never reaching the app's proxy, or its answer
// left there): the first is the load the app asked for, not the page
// navigating, and the delegate (which here, like the SDK's hidden page,
// refuses anything but one navigation) is not asked again; the others are
// made once more. Every view finishes its load, round after round. ("UI"
// only: a "WK"-kind view cannot see what became of a request its page sent.)
TEST_F(WebViewUILoadService, ViewsLoadingAtOnceEachFinishTheirOneLoad) {
    serveHTML(server, "/page", "<p>page</p><script>var filler = '" + std::string(4096, 'x') +
                                   "';</script>");
    const core::URL page = server.url("/page");
    // 50 rounds take 45 s alone; on a busy machine fewer run.
    testsupport::RoundBudget rounds(10, 50, 120);
    while (rounds.next()) {
        for (const size_t count : {size_t{2}, size_t{4}}) {
            SCOPED_TRACE("round " + std::to_string(rounds.round()) + ", " + std::to_string(count) +
                         " views");
            std::vector<std::shared_ptr<RecordingDelegate>> delegates;
            std::vector<std::shared_ptr<web::WebView>> views;
            for (size_t i = 0; i < count; ++i) {
                auto once = std::make_shared<RecordingDelegate>();
                once->decide = [asked = std::make_shared<int>(0)](const web::NavigationAction&) {
                    return ++*asked == 1;
                };
                views.push_back(makeView(once, configurationOf(WebViewConfiguration::Kind::UI)));
                ASSERT_TRUE(views.back());
                delegates.push_back(std::move(once));
            }
            const size_t fetchedBefore = server.requestsTo("/page").size();
            for (const auto& each : views) each->loadRequest(core::URLRequest(page));
            const bool ended = waitFor([&] {
                return std::all_of(delegates.begin(), delegates.end(), [](const auto& each) {
                    return each->count("finish") + each->count("fail") > 0;
                });
            });
            if (!ended) {
                // Where a stuck load stopped: fetched by the app or not, its
                // events so far, whether the view still loads, and the
                // document its page actually shows.
                std::string state = "documents fetched: " +
                                    std::to_string(server.requestsTo("/page").size() -
                                                   fetchedBefore);
                for (size_t i = 0; i < count; ++i) {
                    WebKitWebView* page = views[i]->engine().page;
                    const char* uri = webkit_web_view_get_uri(page);
                    state += "\nview " + std::to_string(i) + ": loading " +
                             (views[i]->isLoading() ? "yes" : "no") + " (the engine: " +
                             (webkit_web_view_is_loading(page) ? "loading " : "idle ") +
                             (uri ? uri : "no URI") + "), events";
                    for (const auto& event : delegates[i]->events) state += " " + event;
                    const web::JSResult shown = evaluateScript(
                        *views[i], "location.href + ' ' + document.readyState + ', ' + "
                                   "document.documentElement.outerHTML.length + ' characters'");
                    state += "; shows " + (shown.ok() ? shown.value().stringValue()
                                                      : "nothing: " + shown.exception()->message);
                }
                FAIL() << "a load never ended\n" << state;
            }
            for (const auto& each : delegates) {
                EXPECT_EQ(each->events, (std::vector<std::string>{"start", "commit", "finish"}));
                EXPECT_EQ(each->navigations.size(), 1u);
            }
            // The next round starts a new web process, where this happens most.
            views.front()->terminateWebProcess();
        }
    }
}

// Keeps the engine's next end of a load (its failure, or its finish) from
// the view, as when the engine drops the load (two navigations at once in
// one web process can end so): the view's handlers of the engine's load
// events are blocked until that end has gone by.
class UnheardLoadEnd {
public:
    explicit UnheardLoadEnd(web::WebView& view) : engine_(view.engine()) {
        block(true);
        watch_ = g_signal_connect(engine_.page, "load-changed", G_CALLBACK(changed), this);
    }
    ~UnheardLoadEnd() {
        g_signal_handler_disconnect(engine_.page, watch_);
        if (blocked_) block(false);
    }
    UnheardLoadEnd(const UnheardLoadEnd&) = delete;
    UnheardLoadEnd& operator=(const UnheardLoadEnd&) = delete;

    [[nodiscard]] bool passed() const { return !blocked_; }

private:
    static void changed(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
        auto& unheard = *static_cast<UnheardLoadEnd*>(self);
        if (event == WEBKIT_LOAD_FINISHED && unheard.blocked_) unheard.block(false);
    }
    void block(bool on) {
        for (const GCallback handler : {G_CALLBACK(web::WebView::Engine::loadChanged),
                                        G_CALLBACK(web::WebView::Engine::loadFailed)}) {
            if (on) {
                g_signal_handlers_block_by_func(engine_.page, reinterpret_cast<gpointer>(handler),
                                                &engine_);
            } else {
                g_signal_handlers_unblock_by_func(engine_.page, reinterpret_cast<gpointer>(handler),
                                                  &engine_);
            }
        }
        blocked_ = on;
    }

    web::WebView::Engine& engine_;
    gulong watch_ = 0;
    bool blocked_ = false;
};

class WebViewDroppedLoadService : public WebViewLoadService {};

// A load the engine drops after its commit is made once more, and the
// delegate hears of that load's one commit and its finish; dropped a
// second time, it fails. Each request of the page names an image of its
// own, held until the test lets it go.
TEST_P(WebViewDroppedLoadService, ADroppedLoadIsMadeOnceMoreThenFails) {
    ASSERT_TRUE(view);
    std::map<int, std::shared_ptr<fixtures::ResponseGate>> gates;
    for (int n = 1; n <= 4; ++n) {
        const auto gate = gates[n] = fixtures::ResponseGate::make();
        server.on("GET", "/held/" + std::to_string(n) + ".png", [gate](const auto&) {
            return fixtures::LoopbackResponse::bytes(pngBytes(2, 2, {0, 0, 1, 1}), "image/png")
                .heldBy(gate);
        });
    }
    gates[2]->release();
    auto requests = std::make_shared<std::atomic<int>>(0);
    server.on("GET", "/page", [requests](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("<p>page</p><img src='/held/" +
                                                    std::to_string(++*requests) + ".png'>",
                                                200, "text/html");
    });
    const core::URL page = server.url("/page");
    const auto dropEndOfLoad = [&](int held) {
        ASSERT_TRUE(waitFor([&] { return gates[held]->heldCount() == 1; }));
        UnheardLoadEnd unheard(*view);
        gates[held]->release();
        ASSERT_TRUE(waitFor([&] { return unheard.passed(); }));
    };

    view->loadRequest(core::URLRequest(page));
    ASSERT_NO_FATAL_FAILURE(dropEndOfLoad(1));
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") + delegate->count("fail") > 0; }));
    ASSERT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(requests->load(), 2);
    EXPECT_FALSE(view->isLoading());

    delegate->events.clear();
    view->loadRequest(core::URLRequest(page));
    ASSERT_NO_FATAL_FAILURE(dropEndOfLoad(3));
    ASSERT_NO_FATAL_FAILURE(dropEndOfLoad(4));
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") + delegate->count("fail") > 0; }));
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"start", "commit", "fail -1 " + page.absoluteString()}));
    ASSERT_FALSE(delegate->errors.empty());
    EXPECT_EQ(delegate->errors.back().message, "The load was dropped.");
    EXPECT_EQ(requests->load(), 4);
}

// A form's POST is not made again (as the GET a load of its URL would be):
// dropped, it fails, and the server has it once.
TEST_P(WebViewDroppedLoadService, ADroppedFormPostFailsAndIsNotMadeAgain) {
    ASSERT_TRUE(view);
    const auto gate = fixtures::ResponseGate::make();
    server.on("GET", "/held.png", [gate](const auto&) {
        return fixtures::LoopbackResponse::bytes(pngBytes(2, 2, {0, 0, 1, 1}), "image/png")
            .heldBy(gate);
    });
    serveHTML(server, "/form", "<form method=post action='/posted'><input name=q value=v>"
                               "<input type=submit id=go></form>");
    server.on("POST", "/posted", [](const auto&) {
        return fixtures::LoopbackResponse::text("<p>posted</p><img src='/held.png'>", 200,
                                                "text/html");
    });
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/form")));
    delegate->events.clear();
    (void)evaluate(*view, "document.getElementById('go').click(); true");
    // The image's request can reach the server before the view hears of
    // the commit: the end is kept from it only once it has.
    ASSERT_TRUE(waitFor([&] { return gate->heldCount() == 1 && delegate->count("commit") == 1; }));
    {
        UnheardLoadEnd unheard(*view);
        gate->release();
        ASSERT_TRUE(waitFor([&] { return unheard.passed(); }));
    }
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") + delegate->count("fail") > 0; }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{
                                    "start", "commit",
                                    "fail -1 " + server.url("/posted").absoluteString()}));
    EXPECT_EQ(server.requestsTo("/posted").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewDroppedLoadService, testing::ValuesIn(kKinds), kindName);

}  // namespace
