// Web processes: views of one kind share one unless one asks for its own; a web process that dies
// fails the load under way, and the next load starts a new one.

#include <signal.h>
#include <unistd.h>

#include <algorithm>

#include "WebViewTesting.h"
#include "support/ProcessTree.h"
#include "web/JSContext.h"

namespace {

using namespace webtesting;

using testsupport::webProcesses;

class WebViewProcessService : public testing::Test {
protected:
    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(WebViewProcessService, ViewsShareOneWebProcessUnlessOneAsksForItsOwn) {
    serveHTML(server, "/page", "<p>page</p>");
    const auto first = makeView(delegate);
    ASSERT_TRUE(first);
    ASSERT_TRUE(loadAndWait(*first, *delegate, server.url("/page")));
    const size_t alone = webProcesses().size();

    web::WebViewConfiguration related;
    related.relatedView = first;
    const auto second = makeView(delegate, related);
    ASSERT_TRUE(second);
    ASSERT_TRUE(loadAndWait(*second, *delegate, server.url("/page")));
    EXPECT_EQ(webProcesses().size(), alone);

    // Named no view: shares the newest one's.
    const auto third = makeView(delegate);
    ASSERT_TRUE(third);
    ASSERT_TRUE(loadAndWait(*third, *delegate, server.url("/page")));
    EXPECT_EQ(webProcesses().size(), alone);

    web::WebViewConfiguration own;
    own.ownWebProcess = true;
    const auto apart = makeView(delegate, own);
    ASSERT_TRUE(apart);
    ASSERT_TRUE(loadAndWait(*apart, *delegate, server.url("/page")));
    EXPECT_EQ(webProcesses().size(), alone + 1);

    // It keeps its process to itself: the next view joins the others.
    const auto fifth = makeView(delegate);
    ASSERT_TRUE(fifth);
    ASSERT_TRUE(loadAndWait(*fifth, *delegate, server.url("/page")));
    EXPECT_EQ(webProcesses().size(), alone + 1);
    EXPECT_EQ(delegate->count("finish"), 5u);
}

// Each kind has an engine context of its own, with its own cookie jar: a
// page's cookies go with its own kind's loads and never with the other's.
TEST_F(WebViewProcessService, EachKindKeepsItsOwnCookies) {
    const std::string page =
        "<script>document.cookie = 'jar=' + location.search.slice(1);"
        "const image = new Image(); image.src = '/pixel' + location.search;"
        "document.documentElement.appendChild(image);</script>";
    serveHTML(server, "/page", page);
    server.on("GET", "/pixel", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::bytes(pngBytes(1, 1, gfx::Color::white()), "image/png");
    });
    const auto ui = makeView(delegate, configurationOf(web::WebViewConfiguration::Kind::UI));
    const auto wk = makeView(delegate, configurationOf(web::WebViewConfiguration::Kind::WK));
    ASSERT_TRUE(ui && wk);
    ASSERT_TRUE(loadAndWait(*ui, *delegate, server.url("/page?ui")));
    ASSERT_TRUE(waitFor([&] { return server.requestsTo("/pixel").size() == 1; }));
    ASSERT_TRUE(loadAndWait(*wk, *delegate, server.url("/page?wk")));
    ASSERT_TRUE(waitFor([&] { return server.requestsTo("/pixel").size() == 2; }));

    const auto pixels = server.requestsTo("/pixel");
    const auto& fromUI = pixels[0].rawQuery == "ui" ? pixels[0] : pixels[1];
    const auto& fromWK = pixels[0].rawQuery == "wk" ? pixels[0] : pixels[1];
    ASSERT_EQ(fromUI.rawQuery, "ui");
    ASSERT_EQ(fromWK.rawQuery, "wk");
    EXPECT_EQ(fromUI.headers.value("Cookie"), "jar=ui");
    EXPECT_EQ(fromWK.headers.value("Cookie"), "jar=wk");
}

// A "WK"-kind view with a data store of its own: its cookies go with its
// own loads alone, and the network and web processes made for it end once
// it is gone. Processes are told apart by id: those of earlier tests may
// still be ending meanwhile.
TEST_F(WebViewProcessService, AViewWithADataStoreOfItsOwnKeepsItsCookiesAndProcessesToItself) {
    const std::string page =
        "<script>if (location.search) document.cookie = 'jar=' + location.search.slice(1);"
        "const image = new Image(); image.src = '/pixel' + location.search;"
        "document.documentElement.appendChild(image);</script>";
    serveHTML(server, "/page", page);
    server.on("GET", "/pixel", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::bytes(pngBytes(1, 1, gfx::Color::white()), "image/png");
    });
    const auto pixels = [&] { return server.requestsTo("/pixel"); };
    const auto shared = makeView(delegate, configurationOf(web::WebViewConfiguration::Kind::WK));
    ASSERT_TRUE(shared);
    ASSERT_TRUE(loadAndWait(*shared, *delegate, server.url("/page?shared")));
    ASSERT_TRUE(waitFor([&] { return pixels().size() == 1; }));
    const auto networkBefore = testsupport::descendantsNamed("WebKitNetworkPr");
    const auto webBefore = webProcesses();
    // The processes of list that are not in others.
    const auto apart = [](const std::vector<pid_t>& list, const std::vector<pid_t>& others) {
        std::vector<pid_t> found;
        for (const pid_t pid : list)
            if (std::find(others.begin(), others.end(), pid) == others.end()) found.push_back(pid);
        return found;
    };

    web::WebViewConfiguration configuration = configurationOf(web::WebViewConfiguration::Kind::WK);
    configuration.ownDataStore = true;
    auto own = makeView(delegate, configuration);
    ASSERT_TRUE(own);
    ASSERT_TRUE(loadAndWait(*own, *delegate, server.url("/page?own")));
    ASSERT_TRUE(waitFor([&] { return pixels().size() == 2; }));
    // Another view of the kind neither sees its cookie nor shows its own.
    ASSERT_TRUE(loadAndWait(*shared, *delegate, server.url("/page")));
    ASSERT_TRUE(waitFor([&] { return pixels().size() == 3; }));
    EXPECT_EQ(pixels()[1].headers.value("Cookie"), "jar=own");
    EXPECT_EQ(pixels()[2].headers.value("Cookie"), "jar=shared");

    const auto network = apart(testsupport::descendantsNamed("WebKitNetworkPr"), networkBefore);
    const auto web = apart(webProcesses(), webBefore);
    EXPECT_EQ(network.size(), 1u);
    EXPECT_EQ(web.size(), 1u);
    own->removeFromSuperview();
    own.reset();
    EXPECT_TRUE(waitFor([&] {
        return apart(network, testsupport::descendantsNamed("WebKitNetworkPr")).size() ==
                   network.size() &&
               apart(web, webProcesses()).size() == web.size();
    })) << "the view's processes outlive it";
    // The kind's shared context goes on.
    ASSERT_TRUE(loadAndWait(*shared, *delegate, server.url("/page")));
    EXPECT_EQ(evaluate(*shared, "document.cookie"), core::Value("jar=shared"));
}

// An alert waits for its answer, and its page with it (and so every page of
// its web process); an answer that can no longer come (the delegate dropped
// its completion) lets them go on.
TEST_F(WebViewProcessService, AnAlertWhoseAnswerCannotComeHoldsNoPage) {
    serveHTML(server, "/page", "<p>page</p>");
    std::vector<std::function<void()>> unanswered;
    const auto alerting = std::make_shared<RecordingDelegate>();
    alerting->unansweredAlerts = &unanswered;
    const auto first = makeView(alerting);
    ASSERT_TRUE(first);
    ASSERT_TRUE(loadAndWait(*first, *alerting, server.url("/page")));
    const auto second = makeView(delegate);
    ASSERT_TRUE(second);
    ASSERT_TRUE(loadAndWait(*second, *delegate, server.url("/page")));
    ASSERT_EQ(webProcesses().size(), 1u);

    first->evaluateJavaScript("alert('held'); 1", [](web::JSResult) {});
    ASSERT_TRUE(waitFor([&] { return unanswered.size() == 1; }));
    unanswered.clear();
    EXPECT_EQ(evaluate(*second, "6 * 7"), core::Value(42));
    EXPECT_EQ(evaluate(*first, "'on'"), core::Value("on"));
}

TEST_F(WebViewProcessService, ADeadWebProcessFailsTheLoadAndTheNextLoadStartsAnother) {
    serveHTML(server, "/page", "<p>page</p>");
    serveHTML(server, "/slow", "<p>slow</p>", 5000);
    const auto view = makeView(delegate);
    ASSERT_TRUE(view);
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    const auto before = webProcesses();
    ASSERT_EQ(before.size(), 1u);

    delegate->events.clear();
    view->loadRequest(core::URLRequest(server.url("/slow")));
    ASSERT_TRUE(waitFor([&] { return !server.requestsTo("/slow").empty(); }));
    kill(before.front(), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return delegate->count("fail") == 1; }));
    EXPECT_EQ(delegate->events.back(), "fail " +
                                           std::to_string(web::LoadError::kWebProcessTerminated) +
                                           " " + server.url("/slow").absoluteString());
    EXPECT_FALSE(view->isLoading());

    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(evaluate(*view, "document.body.textContent"), core::Value("page"));
    const auto after = webProcesses();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after.front(), before.front());
}

TEST_F(WebViewProcessService, AScriptContextMadeFirstOnTheMainThreadLeavesViewsWorking) {
    // The script engine shared with the browser engine, set up on the main
    // thread before any web view.
    const auto context = web::JSContext::create();
    ASSERT_TRUE(context);
    EXPECT_EQ(context->evaluate("6 * 7").value(), core::Value(42));
    serveHTML(server, "/page", "<p>page</p>");
    const auto view = makeView(delegate);
    ASSERT_TRUE(view);
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    EXPECT_EQ(delegate->events.back(), "finish");
}

}  // namespace
