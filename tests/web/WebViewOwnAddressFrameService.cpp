// Frames of the page's own address, in both kinds, on plain http at an
// address the engine sends no fetch metadata to (the loopback address written
// as IPv6: not a local origin to the engine): a frame is a frame, so nothing
// of the page's own load ends and the stall watch makes no load again; the
// main frame's navigations to that address stay the main frame's.

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
        // The page, but a frame's request for "?hop" (the second one) is
        // redirected to "?landed".
        auto served = std::make_shared<std::atomic<int>>(0);
        server.on("GET", "/own/page.html", [served](const fixtures::LoopbackRequest& request) {
            if (request.rawQuery == "hop" && (*served)++ > 0)
                return fixtures::LoopbackResponse::redirect("/own/page.html?landed");
            return fixtures::LoopbackResponse::text(kPage, 200, "text/html; charset=utf-8");
        });
        server.on("GET", "/own/bare.xhtml", [](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::text(
                "<html xmlns='http://www.w3.org/1999/xhtml'><head><title>bare</title></head>"
                "</html>",
                200, "application/xhtml+xml");
        });
    }
    void TearDown() override {
        web::WebView::Engine::stallSeconds = web::WebView::Engine::kStallSeconds;
    }

    [[nodiscard]] std::string url(const std::string& pathAndQuery) const {
        return "http://[::ffff:7f00:1]:" + std::to_string(server.port()) + pathAndQuery;
    }
    // Waits several times the stall watch's time, for whatever the view
    // would do on its own.
    static void idle() {
        (void)waitFor([] { return false; }, 8 * web::WebView::Engine::stallSeconds);
    }

    fixtures::LoopbackServer server;
};

// A frame of the page's own address, added once the page loaded or by its
// load handler, or redirected by the server (the redirect is the frame's
// too): it loads framed, is asked about as a frame of the page at each hop,
// the view makes no load of its own for it, and the server sends the page
// once for the main frame and once for each of the frame's hops.
TEST_P(WebViewOwnAddressFrameService, AFrameOfThePagesAddressIsAFrame) {
    struct Case {
        std::string query, then, landed;
        size_t hops;
    };
    for (const Case& tried : {Case{"", "addOwnFrame()", "", 1}, Case{"?onload", "", "?onload", 1},
                              Case{"?hop", "addOwnFrame()", "?landed", 2}}) {
        SCOPED_TRACE(tried.query);
        server.clearLog();
        const auto delegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(delegate, configurationOf(GetParam()));
        ASSERT_TRUE(view);
        const std::string page = url("/own/page.html" + tried.query);
        ASSERT_TRUE(loadAndWait(*view, *delegate, *core::URL::create(page)));
        // The case at hand: the engine sends no fetch metadata here.
        const auto requests = server.requestsTo("/own/page.html");
        ASSERT_FALSE(requests.empty());
        ASSERT_FALSE(requests.front().headers.value("Sec-Fetch-Dest"));
        if (!tried.then.empty()) (void)evaluate(*view, tried.then + "; 0");
        ASSERT_TRUE(waitFor([&] { return evaluate(*view, "framed.length") == core::Value(1); }));
        idle();
        EXPECT_EQ(evaluate(*view, "framed"),
                  core::Value(core::Array{core::Value(url("/own/page.html" + tried.landed))}));
        std::string targets;  // "m" for the main frame's, "f" for a frame's
        for (const auto& action : delegate->navigations)
            targets += action.targetsMainFrame.value_or(false) ? 'm' : 'f';
        EXPECT_EQ(targets, "m" + std::string(tried.hops, 'f'));
        ASSERT_FALSE(delegate->navigations.empty());
        ASSERT_TRUE(delegate->navigations.back().mainDocumentURL);
        EXPECT_EQ(delegate->navigations.back().mainDocumentURL->absoluteString(), page);
        EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
        EXPECT_FALSE(view->isLoading());
        EXPECT_EQ(server.requestsTo("/own/page.html").size(), 1 + tried.hops);
    }
}

// The main frame's navigations to its own address (a reload, a location
// change, a link, a form posting to it) and to another (a form that gets
// it): each is the main frame's, asked about as such, and one load of the
// view's; and so is a reload from a document without a body.
TEST_P(WebViewOwnAddressFrameService, TheMainFramesNavigationsToItsOwnAddressAreItsOwn) {
    server.on("POST", "/own/page.html", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text(kPage, 200, "text/html; charset=utf-8");
    });
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(GetParam()));
    ASSERT_TRUE(view);
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
