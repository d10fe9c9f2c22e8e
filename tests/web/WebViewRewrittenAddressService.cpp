// A "UI"-kind page on a host elsewhere than this machine (a name routed to
// the loopback server, over plain http), where the engine sends no fetch
// metadata, that rewrites its address: its loads of the new address are its
// document's, and the main frame's own navigations to that address (a
// reload, a location change, the view's reload, their redirects) are still
// the main frame's, for the app's decisions, its URL layer and the stall
// watch alike.

#include "WebViewTesting.h"
#include "core/HostRoutes.h"
#include "core/URLProtocolRegistry.h"
#include "web/WebViewEngine.h"

namespace {

using namespace webtesting;
using Kind = web::WebViewConfiguration::Kind;

// Neither an address nor a name of this machine.
constexpr const char* kHost = "pages.rewrites.example";

class WebViewRewrittenAddressService : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(core::HostRoutes::add(kHost, server.port(), "127.0.0.1", server.port()));
        ASSERT_TRUE(core::URLProtocolRegistry::shared().registerFactory(recorder));
        serveHTML(server, "/site/page.html", "<body><p>page</p></body>");
        for (const char* path : {"/site/pushed", "/site/replaced", "/site/landed"}) {
            server.on("GET", path, [](const fixtures::LoopbackRequest&) {
                auto page = fixtures::LoopbackResponse::text("<body><p>rewritten</p></body>", 200,
                                                             "text/html; charset=utf-8");
                page.headers.set("Cache-Control", "no-store");
                return page;
            });
        }
        server.on("GET", "/site/hop", [this](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::redirect(url("/site/landed"));
        });
        view = makeView(delegate, configurationOf(Kind::UI));
        ASSERT_TRUE(view);
        ASSERT_TRUE(loadAndWait(*view, *delegate, *core::URL::create(page)));
        ASSERT_EQ(delegate->events.back(), "finish");
    }
    void TearDown() override {
        core::URLProtocolRegistry::shared().unregisterFactory(recorder);
        core::HostRoutes::remove(kHost, server.port());
        web::WebView::Engine::stallSeconds = web::WebView::Engine::kStallSeconds;
    }

    [[nodiscard]] std::string url(const std::string& path) const {
        return "http://" + std::string(kHost) + ":" + std::to_string(server.port()) + path;
    }
    // Runs script and waits until it sets window.done.
    void run(const std::string& script) {
        (void)evaluate(*view, "window.done = false; " + script + "; 0");
        ASSERT_TRUE(waitFor([&] { return evaluate(*view, "window.done") == core::Value(true); }));
    }
    // Runs script, which navigates the main frame, and waits for the load's end.
    void navigate(const std::string& script) {
        const size_t finishes = delegate->count("finish");
        (void)evaluate(*view, script + "; 0");
        ASSERT_TRUE(waitFor([&] { return delegate->count("finish") > finishes; }));
    }
    // The main document each of the URL layer's offers of path named.
    [[nodiscard]] std::vector<std::string> documentsOf(const std::string& path) const {
        std::vector<std::string> documents;
        for (const auto& offer : recorder->offersEndingWith(path)) {
            EXPECT_EQ(offer.pageId, view->pageIdentifier()) << path;
            EXPECT_FALSE(offer.marked) << path;
            documents.push_back(offer.mainDocument);
        }
        return documents;
    }
    [[nodiscard]] std::vector<bool> framesAsked(const std::string& path) const {
        std::vector<bool> mainFrame;
        for (const auto& action : delegate->navigationsTo(path))
            mainFrame.push_back(action.targetsMainFrame.value_or(false));
        return mainFrame;
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<OfferRecorder> recorder = std::make_shared<OfferRecorder>(kHost);
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view;
    const std::string page = url("/site/page.html");
};

// A fetch, an image, an XHR and a frame of the address pushState and then
// replaceState wrote: each reaches the URL layer with the document the page
// loaded, and the frame is asked about as a frame's, beginning no load of
// the view's.
TEST_F(WebViewRewrittenAddressService, LoadsOfTheWrittenAddressAreTheDocuments) {
    // The case at hand: no fetch metadata here.
    const auto sent = server.requestsTo("/site/page.html");
    ASSERT_FALSE(sent.empty());
    for (const char* field : {"Sec-Fetch-Mode", "Sec-Fetch-Dest", "Sec-Fetch-Site"})
        EXPECT_FALSE(sent.front().headers.value(field)) << field;

    const std::string loads = R"(
        (async () => {
          await fetch(location.href).then(r => r.text());
          await new Promise(r => { const i = new Image(); i.onload = i.onerror = r; i.src = location.href; });
          await new Promise(r => { const x = new XMLHttpRequest(); x.onloadend = r; x.open('GET', location.href); x.send(); });
          await new Promise(r => { const f = document.createElement('iframe'); f.onload = r; f.src = location.href; document.body.appendChild(f); });
          window.done = true;
        })())";
    for (const auto& [rewrite, path] :
         {std::pair{"history.pushState({}, '', '/site/pushed')", "/site/pushed"},
          std::pair{"history.replaceState(null, '', '/site/replaced')", "/site/replaced"}}) {
        SCOPED_TRACE(rewrite);
        run(std::string(rewrite) + "; " + loads);
        EXPECT_EQ(evaluate(*view, "location.href"), core::Value(url(path)));
        EXPECT_EQ(documentsOf(path), std::vector<std::string>(4, page));
        EXPECT_EQ(framesAsked(path), std::vector<bool>{false});
        const auto asked = delegate->navigationsTo(path);
        ASSERT_FALSE(asked.empty());
        ASSERT_TRUE(asked.front().mainDocumentURL);
        EXPECT_EQ(asked.front().mainDocumentURL->absoluteString(), page);
    }
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
}

// After pushState, a reload and a location change to the written address,
// and a redirect the main frame's navigation follows, are the main frame's:
// each names its own URL, is asked about as the main frame's and is one load
// of the view's. The page's own loads of that address stay the page's: a
// fetch of the redirecting address, and those its beforeunload listeners
// (the main window's and a frame's) send as the main frame reloads.
TEST_F(WebViewRewrittenAddressService, TheMainFramesNavigationsToTheWrittenAddressAreItsOwn) {
    run(R"(history.pushState({}, '', '/site/pushed');
        addEventListener('beforeunload', () => {
          fetch(location.href, {method: 'POST'});
          navigator.sendBeacon(location.href, 'b');
        });
        const f = document.createElement('iframe');
        f.onload = () => {
          f.contentWindow.addEventListener('beforeunload',
                                          () => parent.fetch(parent.location.href, {method: 'POST'}));
          window.done = true;
        };
        f.src = '/site/page.html?frame';
        document.body.appendChild(f))");
    navigate("location.reload()");
    // The reload's GET, and the listeners' posts that reached the URL layer
    // before the page went (the beacon does).
    size_t gets = 0;
    for (const auto& offer : recorder->offersEndingWith("/site/pushed")) {
        gets += offer.method == "GET";
        EXPECT_EQ(offer.mainDocument, offer.method == "GET" ? url("/site/pushed") : page)
            << offer.method;
    }
    EXPECT_EQ(gets, 1u);
    EXPECT_GE(recorder->offersEndingWith("/site/pushed").size(), 2u);
    EXPECT_EQ(framesAsked("/site/pushed"), std::vector<bool>{true});

    run("history.pushState({}, '', '/site/replaced'); window.done = true");
    navigate("location.assign(location.href)");
    EXPECT_EQ(documentsOf("/site/replaced"), std::vector<std::string>{url("/site/replaced")});
    EXPECT_EQ(framesAsked("/site/replaced"), std::vector<bool>{true});

    run("history.pushState({}, '', '/site/hop'); "
        "fetch(location.href).then(r => r.text()).then(() => window.done = true)");
    navigate("location.reload()");
    EXPECT_EQ(documentsOf("/site/hop"),
              (std::vector<std::string>{url("/site/replaced"), url("/site/hop")}));
    EXPECT_EQ(documentsOf("/site/landed"),
              (std::vector<std::string>{url("/site/replaced"), url("/site/landed")}));
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(url("/site/landed")));
    EXPECT_EQ(delegate->count("start"), 4u);
    EXPECT_EQ(delegate->count("fail"), 0u);
}

// The view's own reload of the written address is the main frame's, also
// from a document without a body (the engine dispatches no beforeunload
// there): the proxy knows its request arrived, so the stall watch waits for
// a slow server rather than making the load again.
TEST_F(WebViewRewrittenAddressService, TheViewsReloadOfTheWrittenAddressIsWatchedAsTheMainFrames) {
    web::WebView::Engine::stallSeconds = 0.5;
    server.on("GET", "/site/bare.xhtml", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text(
            "<html xmlns='http://www.w3.org/1999/xhtml'><head><title>bare</title></head></html>",
            200, "application/xhtml+xml");
    });
    serveHTML(server, "/site/slow", "<body><p>slow</p></body>", 2500);
    ASSERT_TRUE(loadAndWait(*view, *delegate, *core::URL::create(url("/site/bare.xhtml"))));
    ASSERT_EQ(evaluate(*view, "document.body === null"), core::Value(true));
    run("history.pushState({}, '', '/site/slow'); window.done = true");
    delegate->events.clear();
    view->reload();
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") + delegate->count("fail") > 0; }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(server.requestsTo("/site/slow").size(), 1u);
    EXPECT_EQ(documentsOf("/site/slow"), std::vector<std::string>{url("/site/slow")});
}

}  // namespace
