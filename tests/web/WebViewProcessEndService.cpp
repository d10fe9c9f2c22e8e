// A view's web process may end under it: the engine ends one that goes over
// the context's memory limit, the app ends one whose page will not stop.
// The view's delegate hears it, views in other processes go on, and the
// view's next load starts a new process.

#include "WebViewTesting.h"
#include "core/Console.h"

namespace {

using namespace webtesting;

web::WebViewConfiguration apart() {
    web::WebViewConfiguration configuration;
    configuration.ownWebProcess = true;
    return configuration;
}

class WebViewProcessEndService : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(view && neighbour);
        serveHTML(server, "/page.html", "<p id=p>page</p>");
        ASSERT_TRUE(loadAndWait(*neighbour, *neighbourDelegate, server.url("/page.html")));
    }

    // The neighbour, in a process of its own, still runs script.
    void expectNeighbourUnharmed() {
        EXPECT_TRUE(neighbourDelegate->terminations.empty());
        EXPECT_EQ(evaluate(*neighbour, "document.getElementById('p').textContent"),
                  core::Value("page"));
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view = makeView(delegate, apart());
    std::shared_ptr<RecordingDelegate> neighbourDelegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> neighbour = makeView(neighbourDelegate, apart());
};

TEST_F(WebViewProcessEndService, AProcessEndedByTheAppIsToldAndTheNextLoadStartsAnother) {
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page.html")));
    view->terminateWebProcess();
    ASSERT_TRUE(waitFor([&] { return !delegate->terminations.empty(); }));
    EXPECT_EQ(delegate->terminations,
              std::vector<web::WebProcessTermination>{web::WebProcessTermination::endedByApp});
    // The load had finished: nothing fails.
    EXPECT_EQ(delegate->count("fail"), 0u);
    expectNeighbourUnharmed();

    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page.html")));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(evaluate(*view, "document.getElementById('p').textContent"), core::Value("page"));
}

TEST_F(WebViewProcessEndService, AProcessEndedDuringALoadFailsTheLoadFirst) {
    serveHTML(server, "/slow.html", "<p>slow</p>", 3000);
    view->loadRequest(core::URLRequest(server.url("/slow.html")));
    ASSERT_TRUE(waitFor([&] { return delegate->count("start") == 1; }));
    view->terminateWebProcess();
    ASSERT_TRUE(waitFor([&] { return !delegate->terminations.empty(); }));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0].code, web::LoadError::kWebProcessTerminated);
    EXPECT_EQ(delegate->events.back(), "fail -1011 " + server.url("/slow.html").absoluteString());
}

TEST_F(WebViewProcessEndService, APageThatAllocatesWithoutEndIsEndedAtTheMemoryLimit) {
    // About 256 MB more each turn, every byte touched.
    serveHTML(server, "/hog.html", R"(<script>
        const kept = [];
        function grow() {
          for (let i = 0; i < 16; ++i) { const b = new Uint8Array(16 << 20); b.fill(i + 1); kept.push(b); }
          setTimeout(grow, 0);
        }
        grow();
        </script>)");
    view->loadRequest(core::URLRequest(server.url("/hog.html")));
    ASSERT_TRUE(waitFor([&] { return !delegate->terminations.empty(); }, 60));
    EXPECT_EQ(delegate->terminations,
              std::vector<web::WebProcessTermination>{
                  web::WebProcessTermination::exceededMemoryLimit});
    expectNeighbourUnharmed();
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page.html")));
    EXPECT_EQ(delegate->events.back(), "finish");
}

TEST(WebViewLongURLService, APageMessageOverTheBoundIsRefusedUnreadAndLogged) {
    const auto delegate = std::make_shared<RecordingDelegate>();
    web::WebViewConfiguration configuration;
    configuration.maximumNavigationURLBytes = 1 << 20;
    const auto view = makeView(delegate, configuration);
    ASSERT_TRUE(view);
    fixtures::LoopbackServer server;
    serveHTML(server, "/page.html", "<p>page</p>");
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page.html")));

    core::Console::Capture log;
    // Just under the bound, over it, then a short one: in that order.
    const std::string send =
        "function send(u) { const f = document.createElement('iframe'); f.src = u;"
        " document.body.appendChild(f); }"
        "const head = 'dmsg://x/m?d='; send(head + 'a'.repeat((1 << 20) - head.length));"
        "send(head + 'b'.repeat(1 << 20)); send('dmsg://x/last'); true";
    ASSERT_EQ(evaluate(*view, send), core::Value(true));
    ASSERT_TRUE(waitFor([&] { return !delegate->navigationsTo("/last").empty(); }));
    size_t under = 0;
    for (const auto& action : delegate->navigations) {
        const std::string& url = action.request.url().absoluteString();
        EXPECT_LE(url.size(), size_t(1) << 20);
        EXPECT_EQ(url.find("bbbb"), std::string::npos);
        if (url.find("aaaa") != std::string::npos) ++under;
    }
    EXPECT_EQ(under, 1u);
    EXPECT_TRUE(log.contains("a navigation to a URL of " + std::to_string((1 << 20) + 13) +
                             " bytes (dmsg:...) was refused"));
}

TEST(WebViewLongURLService, WithoutABoundLongMessagesReachTheDelegate) {
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate);
    ASSERT_TRUE(view);
    fixtures::LoopbackServer server;
    serveHTML(server, "/page.html", "<p>page</p>");
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page.html")));
    ASSERT_EQ(evaluate(*view, "const f = document.createElement('iframe');"
                              " f.src = 'dmsg://x/m?d=' + 'c'.repeat(3 << 20);"
                              " document.body.appendChild(f); true"),
              core::Value(true));
    ASSERT_TRUE(waitFor([&] { return !delegate->navigationsTo("c").empty(); }));
    EXPECT_EQ(delegate->navigationsTo("c").front().request.url().absoluteString().size(),
              size_t(3 << 20) + 13);
}

}  // namespace
