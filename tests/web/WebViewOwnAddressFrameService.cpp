// A page's frames of the page's own address, in both kinds, on plain http at
// an address the engine sends no fetch metadata to (the loopback address
// written as IPv6, "[::ffff:127.0.0.1]": not a local origin to the engine):
// a frame is a frame, whether the page adds it once it has loaded or from
// its load handler. It loads as a frame, is asked about as a frame's, and
// the view begins no load for it, so nothing of the page's own load ends
// and the stall watch makes no load again. The main frame's navigations to
// that address stay the main frame's, from a document with a body and from
// one without.

#include <atomic>

#include "WebViewTesting.h"
#include "web/WebViewEngine.h"

namespace {

using namespace webtesting;
using Kind = web::WebViewConfiguration::Kind;

// The frame tells its parent what it loaded.
constexpr const char* kPage = R"html(<body><script>
window.framed = [];
addEventListener('message', e => { if (e.data && e.data.framed) framed.push(e.data.framed); });
window.addOwnFrame = () => {
  const frame = document.createElement('iframe');
  frame.src = location.href;
  document.body.appendChild(frame);
};
if (location.search === '?onload') addEventListener('load', addOwnFrame);
if (parent !== window) parent.postMessage({framed: location.href}, '*');
</script><p>page</p></body>)html";

class WebViewOwnAddressFrameService : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        web::WebView::Engine::stallSeconds = 0.5;
        serveHTML(server, "/own/page.html", kPage);
        server.on("GET", "/own/bare.xhtml", [](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::text(
                "<html xmlns='http://www.w3.org/1999/xhtml'><head><title>bare</title></head>"
                "</html>",
                200, "application/xhtml+xml");
        });
        view = makeView(delegate, configurationOf(GetParam()));
        ASSERT_TRUE(view);
    }
    void TearDown() override {
        web::WebView::Engine::stallSeconds = web::WebView::Engine::kStallSeconds;
    }

    [[nodiscard]] std::string url(const std::string& pathAndQuery) const {
        return "http://[::ffff:7f00:1]:" + std::to_string(server.port()) + pathAndQuery;
    }
    // Loads the page and waits until its load ended and a frame told its
    // parent that it loaded.
    void loadPageWithFrame(const std::string& pathAndQuery, const std::string& then = "") {
        ASSERT_TRUE(loadAndWait(*view, *delegate, *core::URL::create(url(pathAndQuery))));
        // The case at hand: the engine sends no fetch metadata here.
        const auto sent = server.requestsTo("/own/page.html");
        ASSERT_FALSE(sent.empty());
        ASSERT_FALSE(sent.front().headers.value("Sec-Fetch-Dest"));
        if (!then.empty()) (void)evaluate(*view, then + "; 0");
        ASSERT_TRUE(waitFor([&] { return evaluate(*view, "framed.length") == core::Value(1); }));
    }
    // Waits several times the stall watch's time, for whatever the view
    // would do on its own.
    static void idle() {
        (void)waitFor([] { return false; }, 8 * web::WebView::Engine::stallSeconds);
    }
    // The frame loaded framed, asked about as a frame of the page at each
    // hop; the view made no load of its own, and the server sent the page
    // once for the main frame and once for each of the frame's hops.
    void expectOneFrame(const std::string& page, const std::string& framed, size_t hops = 1) {
        idle();
        EXPECT_EQ(evaluate(*view, "framed"), core::Value(core::Array{core::Value(framed)}));
        std::vector<bool> mainFrame;
        for (const auto& action : delegate->navigations)
            mainFrame.push_back(action.targetsMainFrame.value_or(false));
        std::vector<bool> expected(1 + hops, false);
        expected[0] = true;
        EXPECT_EQ(mainFrame, expected);
        EXPECT_EQ(delegate->navigations.back().mainDocumentURL->absoluteString(), page);
        EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
        EXPECT_FALSE(view->isLoading());
        EXPECT_EQ(server.requestsTo("/own/page.html").size(), 1 + hops);
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view;
};

TEST_P(WebViewOwnAddressFrameService, AFrameAddedOnceThePageLoadedIsAFrame) {
    loadPageWithFrame("/own/page.html", "addOwnFrame()");
    expectOneFrame(url("/own/page.html"), url("/own/page.html"));
}

TEST_P(WebViewOwnAddressFrameService, AFrameAddedByTheLoadHandlerIsAFrame) {
    loadPageWithFrame("/own/page.html?onload");
    expectOneFrame(url("/own/page.html?onload"), url("/own/page.html?onload"));
}

// The server redirects the frame's request for the page's address: the
// redirect is the frame's too.
TEST_P(WebViewOwnAddressFrameService, AFrameOfThePagesAddressRedirectedIsAFrame) {
    auto served = std::make_shared<std::atomic<int>>(0);
    server.on("GET", "/own/page.html", [served](const fixtures::LoopbackRequest& request) {
        if (request.rawQuery == "hop" && (*served)++ > 0)
            return fixtures::LoopbackResponse::redirect("/own/page.html?landed");
        return fixtures::LoopbackResponse::text(kPage, 200, "text/html; charset=utf-8");
    });
    loadPageWithFrame("/own/page.html?hop", "addOwnFrame()");
    expectOneFrame(url("/own/page.html?hop"), url("/own/page.html?landed"), 2);
}

// The main frame's navigations to its own address (a reload, a location
// change, a link, a form posting to it) and to another (a form that gets
// it): each is the main frame's, asked about as such, and one load of the
// view's; and so is a reload from a document without a body.
TEST_P(WebViewOwnAddressFrameService, TheMainFramesNavigationsToItsOwnAddressAreItsOwn) {
    server.on("POST", "/own/page.html", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text(kPage, 200, "text/html; charset=utf-8");
    });
    ASSERT_TRUE(loadAndWait(*view, *delegate, *core::URL::create(url("/own/page.html"))));
    const auto navigate = [&](const std::string& script) {
        SCOPED_TRACE(script);
        delegate->events.clear();
        delegate->navigations.clear();
        (void)evaluate(*view, script + "; 0");
        ASSERT_TRUE(
            waitFor([&] { return delegate->count("finish") + delegate->count("fail") > 0; }));
        ASSERT_EQ(delegate->navigations.size(), 1u);
        EXPECT_EQ(delegate->navigations[0].targetsMainFrame, true);
        EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    };
    const std::string form = "{ const f = document.createElement('form'); f.action = location.href;"
                             " document.body.appendChild(f); ";
    for (const std::string& script : std::vector<std::string>{
             "location.reload()", "location.assign(location.href)",
             "{ const a = document.createElement('a'); a.href = location.href;"
             " document.body.appendChild(a); a.click(); }",
             form + "f.method = 'post'; f.submit(); }", form + "f.submit(); }"})
        navigate(script);
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(url("/own/page.html?")));
    ASSERT_TRUE(loadAndWait(*view, *delegate, *core::URL::create(url("/own/bare.xhtml"))));
    ASSERT_EQ(evaluate(*view, "document.body === null"), core::Value(true));
    navigate("location.reload()");
    idle();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(server.requestsTo("/own/bare.xhtml").size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewOwnAddressFrameService, testing::ValuesIn(kKinds), kindName);

}  // namespace
