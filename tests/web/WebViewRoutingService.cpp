// "UI"-kind pages load everything through the app's URL layer: the main
// document, its script, image, frame and fetches are all offered to the
// process's URL protocols (here a recording one that takes none), with the
// page they belong to, while the page keeps its real URL and sees the
// server's status and redirects.

#include <mutex>

#include "WebViewTesting.h"
#include "core/URLProtocolRegistry.h"

namespace {

using namespace webtesting;

// Records each request it is offered, and takes none. Offers come from the
// proxy's thread.
class RecordingFactory final : public core::URLProtocolFactory {
public:
    bool canInit(const core::URLRequest& request) const override {
        const std::lock_guard lock(mutex_);
        const auto& document = request.mainDocumentURL();
        offers_.push_back({request, document ? document->absoluteString() : std::string()});
        return false;
    }
    std::shared_ptr<core::URLProtocol> make(core::URLRequest,
                                            std::shared_ptr<core::URLProtocolClient>) const override {
        return nullptr;
    }
    // URL, main document URL.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> loads() const {
        const std::lock_guard lock(mutex_);
        std::vector<std::pair<std::string, std::string>> found;
        for (const auto& offer : offers_)
            found.emplace_back(offer.request.url().absoluteString(), offer.document);
        return found;
    }
    [[nodiscard]] std::vector<std::string> urls() const {
        std::vector<std::string> found;
        for (const auto& load : loads()) found.push_back(load.first);
        return found;
    }
    // "METHOD path body" of each offer.
    [[nodiscard]] std::vector<std::string> offers() const {
        const std::lock_guard lock(mutex_);
        std::vector<std::string> found;
        for (const auto& [request, document] : offers_) {
            const auto& body = request.body();
            found.push_back(request.method() + " " + request.url().path() + " " +
                            std::string(body.begin(), body.end()));
        }
        return found;
    }

private:
    struct Offer {
        core::URLRequest request;
        std::string document;
    };
    mutable std::mutex mutex_;
    mutable std::vector<Offer> offers_;
};

class WebViewRoutingService : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(core::URLProtocolRegistry::shared().registerFactory(loader));
        ASSERT_TRUE(view);
    }
    void TearDown() override { core::URLProtocolRegistry::shared().unregisterFactory(loader); }

    [[nodiscard]] bool loaded(const std::string& path) const {
        const std::string url = server.url(path).absoluteString();
        const auto urls = loader->urls();
        return std::find(urls.begin(), urls.end(), url) != urls.end();
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingFactory> loader = std::make_shared<RecordingFactory>();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view =
        makeView(delegate, configurationOf(web::WebViewConfiguration::Kind::UI));
};

TEST_F(WebViewRoutingService, EveryLoadOfThePagePassesTheAppsLoader) {
    serveHTML(server, "/site/page.html", R"(<html><body>
        <img id=img src="img.png">
        <iframe id=frame src="frame.html"></iframe>
        <script src="app.js"></script>
        </body></html>)");
    serveHTML(server, "/site/frame.html", "<p>framed</p><script src='frame.js'></script>");
    server.on("GET", "/site/frame.js", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("parent.postMessage('frame', '*');", 200,
                                                "text/javascript");
    });
    server.on("GET", "/site/app.js", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text(R"(
            window.ran = true;
            addEventListener('message', e => window.frameSaid = e.data);
            fetch('/api/data').then(r => r.json()).then(v => window.data = v);
            fetch('/api/gone').then(r => window.goneStatus = r.status);)",
                                                200, "text/javascript");
    });
    server.on("GET", "/site/img.png", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::bytes(pngBytes(6, 2, {0, 0, 1, 1}), "image/png");
    });
    server.on("GET", "/api/data", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::json(core::Dictionary{{"items", 3}});
    });

    const core::URL page = server.url("/site/page.html");
    ASSERT_TRUE(loadAndWait(*view, *delegate, page));
    ASSERT_EQ(delegate->events.back(), "finish");
    ASSERT_TRUE(waitFor([&] {
        return evaluate(*view,
                        "!!window.data && window.frameSaid === 'frame' && !!window.goneStatus") ==
               core::Value(true);
    }));
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(page.absoluteString()));
    EXPECT_EQ(evaluate(*view, "window.ran"), core::Value(true));
    EXPECT_EQ(evaluate(*view, "document.getElementById('img').naturalWidth"), core::Value(6));
    EXPECT_EQ(evaluate(*view, "window.data"), core::Value(core::Dictionary{{"items", 3}}));
    EXPECT_EQ(evaluate(*view, "window.goneStatus"), core::Value(404));
    for (const char* path : {"/site/page.html", "/site/img.png", "/site/frame.html",
                             "/site/frame.js", "/site/app.js", "/api/data", "/api/gone"})
        EXPECT_TRUE(loaded(path)) << path;
    // Each load names the page it belongs to, the frame's included.
    for (const auto& [url, document] : loader->loads())
        EXPECT_EQ(document, page.absoluteString()) << url;
    // Everything the server saw was offered to the app's URL protocols.
    for (const auto& request : server.requests()) EXPECT_TRUE(loaded(request.path)) << request.path;
}

// Requests with a body are offered too, body and all: the page's fetch,
// XHR and beacon, and a frame's form.
TEST_F(WebViewRoutingService, RequestsWithABodyAreOfferedWithIt) {
    serveHTML(server, "/body/page.html", R"(<iframe id=frame src="frame.html"></iframe><script>
        fetch('/sink/fetch', {method: 'POST', body: JSON.stringify({a: 1})});
        const xhr = new XMLHttpRequest();
        xhr.open('PUT', '/sink/xhr');
        xhr.send('xhr text');
        navigator.sendBeacon('/sink/beacon', new Blob(['beacon bytes']));
        </script>)");
    serveHTML(server, "/body/frame.html",
              "<form method=post action='/sink/form'><input name=q value='a b'></form>"
              "<script>onload = () => document.forms[0].submit();</script>");
    for (const char* method : {"POST", "PUT"})
        server.onPrefix(method, "/sink/", [](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::text("taken");
        });
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/body/page.html")));
    const std::vector<std::string> expected = {
        "POST /sink/fetch {\"a\":1}", "PUT /sink/xhr xhr text", "POST /sink/beacon beacon bytes",
        "POST /sink/form q=a+b"};
    const auto offered = [&](const std::string& offer) {
        const auto offers = loader->offers();
        return std::find(offers.begin(), offers.end(), offer) != offers.end();
    };
    EXPECT_TRUE(waitFor([&] { return std::all_of(expected.begin(), expected.end(), offered); }))
        << testing::PrintToString(loader->offers());
    for (const auto& offer : expected) EXPECT_TRUE(offered(offer)) << offer;
}

TEST_F(WebViewRoutingService, TheDocumentKeepsItsRealURLAfterRedirects) {
    server.on("GET", "/start", [&](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::redirect(server.url("/landing").absoluteString());
    });
    serveHTML(server, "/landing", "<p>landed</p>");
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/start")));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(evaluate(*view, "location.href"),
              core::Value(server.url("/landing").absoluteString()));
    EXPECT_EQ(view->mainFrameStatusCode(), 200);
    EXPECT_TRUE(loaded("/start"));
}

// Serves any request under /protocol/ from memory as a script.
class MemoryScriptFactory final : public core::URLProtocolFactory {
    class Protocol final : public core::URLProtocol {
    public:
        using URLProtocol::URLProtocol;
        void startLoading() override {
            client()->didReceiveResponse(
                core::HTTPURLResponse(request().url(), 200, {{"Content-Type", "text/javascript"}}),
                core::CachedURLResponse::StoragePolicy::notAllowed);
            const std::string script = "window.fromProtocol = '" + request().url().path() + "';";
            client()->didLoadData(core::Data(script.begin(), script.end()));
            client()->didFinishLoading();
        }
        void stopLoading() override {}
    };

public:
    std::string ownPropertyKey() const override { return "test.memory-script"; }
    bool canInit(const core::URLRequest& request) const override {
        return request.url().path().starts_with("/protocol/");
    }
    std::shared_ptr<core::URLProtocol>
    make(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client) const override {
        return std::make_shared<Protocol>(std::move(request), std::move(client));
    }
};

TEST(WebViewProtocolService, TheProcesssURLProtocolsAnswerAPagesLoads) {
    fixtures::LoopbackServer server;
    serveHTML(server, "/page.html", "<script src='/protocol/app.js'></script>");
    const auto factory = std::make_shared<MemoryScriptFactory>();
    ASSERT_TRUE(core::URLProtocolRegistry::shared().registerFactory(factory));
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(web::WebViewConfiguration::Kind::UI));
    ASSERT_TRUE(view);

    const bool loadedPage = loadAndWait(*view, *delegate, server.url("/page.html"));
    core::URLProtocolRegistry::shared().unregisterFactory(factory);
    ASSERT_TRUE(loadedPage);
    EXPECT_EQ(evaluate(*view, "window.fromProtocol"), core::Value("/protocol/app.js"));
    EXPECT_TRUE(server.requestsTo("/protocol/app.js").empty());
    EXPECT_EQ(server.requestsTo("/page.html").size(), 1u);
}

}  // namespace

namespace {

TEST_F(WebViewRoutingService, HTMLGivenTwiceInARowLoadsTheSecondAndFetchesNeither) {
    // The first document is superseded before it begins; should the web
    // process still send its request, it is the app's own HTML: never
    // fetched, and never a load of its own.
    for (int round = 0; round < 5; ++round) {
        const size_t before = delegate->events.size();
        view->loadHTMLString("<p>first</p>", server.url("/twice/first"));
        view->loadHTMLString("<p id=second>second</p>", server.url("/twice/second"));
        ASSERT_TRUE(waitFor([&] {
            return delegate->events.size() > before && delegate->events.back() == "finish";
        }));
        EXPECT_EQ(view->url(), server.url("/twice/second"));
        EXPECT_EQ(evaluate(*view, "document.getElementById('second') !== null"), core::Value(true));
    }
    EXPECT_FALSE(loaded("/twice/first"));
    EXPECT_FALSE(loaded("/twice/second"));
    // Each first page was replaced before it began: never asked about,
    // never started, never failed.
    EXPECT_TRUE(delegate->navigationsTo("/twice/first").empty());
    EXPECT_EQ(delegate->navigationsTo("/twice/second").size(), 5u);
    EXPECT_EQ(delegate->count("start"), 5u);
    EXPECT_EQ(delegate->count("fail"), 0u);
}

}  // namespace
