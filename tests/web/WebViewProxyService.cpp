// "UI"-kind pages load through the app's proxy alone: their engine takes any
// certificate (the proxy's own), yet a server the app does not trust fails
// their load; their requests name their own page, whatever the page or its
// service worker writes in them; and neither they nor pages of the other
// kind can use the proxy for anything else.

#include <atomic>

#include "WebViewTesting.h"
#include "support/ProcessTree.h"
#include "core/ScopedEnvironment.h"
#include "core/URLProtocolRegistry.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/TestCertificates.h"
#include "web/proxy/EngineProxy.h"
#include "web/TrustedAuthorities.h"
#include "web/WebProcessProtocol.h"

namespace {

using namespace webtesting;
using Kind = web::WebViewConfiguration::Kind;

class WebViewProxyService : public testing::Test {
protected:
    void SetUp() override {
        environment.set(core::kTrustedCertificatesFileVariable, std::nullopt);
        ASSERT_TRUE(core::URLProtocolRegistry::shared().registerFactory(recorder));
    }
    void TearDown() override {
        core::URLProtocolRegistry::shared().unregisterFactory(recorder);
        web::TrustedAuthorities::setPEM({});
    }

    testsupport::ScopedEnvironment environment;
    fixtures::LoopbackServer server;
    std::shared_ptr<OfferRecorder> recorder = std::make_shared<OfferRecorder>();
};

// Fails every load of /flaky while failing is set, else answers it with a
// page.
class FlakyFactory final : public core::URLProtocolFactory {
    class Protocol final : public core::URLProtocol {
    public:
        Protocol(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client,
                 bool failing)
            : URLProtocol(std::move(request), std::move(client)), failing_(failing) {}
        void startLoading() override {
            const std::string url = request().url().absoluteString();
            if (failing_) {
                client()->didFailWithError(core::NetworkError::make(
                    core::NetworkError::Code::networkConnectionLost, url, "The flaky load broke."));
                return;
            }
            const std::string body = "<p>flaky</p>";
            client()->didReceiveResponse(
                core::HTTPURLResponse(request().url(), 200, {{"Content-Type", "text/html"}}),
                core::CachedURLResponse::StoragePolicy::notAllowed);
            client()->didLoadData(core::Data(body.begin(), body.end()));
            client()->didFinishLoading();
        }
        void stopLoading() override {}

    private:
        const bool failing_;
    };

public:
    std::string ownPropertyKey() const override { return "test.flaky"; }
    bool canInit(const core::URLRequest& request) const override {
        return request.url().path() == "/flaky";
    }
    std::shared_ptr<core::URLProtocol>
    make(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client) const override {
        return std::make_shared<Protocol>(std::move(request), std::move(client), failing);
    }

    std::atomic<bool> failing{true};
};

// What the proxy met for a page's URL belongs to that load: the failure of
// an image of the page and of the page's load of the URL itself are told
// once, with that load, and a later load of the URL fails for its own
// reason (here the delegate refuses its answer).
TEST_F(WebViewProxyService, AFailureToldForAPageAndURLIsNotToldForALaterLoadOfIt) {
    const auto factory = std::make_shared<FlakyFactory>();
    ASSERT_TRUE(core::URLProtocolRegistry::shared().registerFactory(factory));
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(Kind::UI));
    ASSERT_TRUE(view);
    serveHTML(server, "/page", "<img id=i src='/flaky'>");
    const core::URL flaky = server.url("/flaky");
    const std::string lost = std::to_string(
        core::NetworkError::platformCode(core::NetworkError::Code::networkConnectionLost));
    {
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
        ASSERT_TRUE(loadAndWait(*view, *delegate, flaky));
        factory->failing = false;
        delegate->acceptResponse = [](const core::HTTPURLResponse&, bool mainFrame) {
            return !mainFrame;
        };
        ASSERT_TRUE(loadAndWait(*view, *delegate, flaky));
        // An image's failure alone, never told, is not the page's either.
        factory->failing = true;
        delegate->acceptResponse = nullptr;
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
        factory->failing = false;
        delegate->acceptResponse = [](const core::HTTPURLResponse&, bool mainFrame) {
            return !mainFrame;
        };
        ASSERT_TRUE(loadAndWait(*view, *delegate, flaky));
    }
    core::URLProtocolRegistry::shared().unregisterFactory(factory);
    const std::string refused = "fail 102 " + flaky.absoluteString();
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"start", "commit", "finish", "start",
                                        "fail " + lost + " " + flaky.absoluteString(), "start",
                                        refused, "start", "commit", "finish", "start", refused}));
}

// Were the engine to reach the server itself, it would take the server's
// certificate as it takes the proxy's: the load fails, as the proxy's
// onward load fails, until the app trusts the server's authority.
TEST_F(WebViewProxyService, AServerTheAppDoesNotTrustFailsThoughTheEngineTakesAnyCertificate) {
    server.startTLS();
    serveHTML(server, "/secure", "<p id=t>secure</p>");
    const core::URL page = *core::URL::create(
        "https://localhost:" + std::to_string(server.securePort()) + "/secure");
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(Kind::UI));
    ASSERT_TRUE(view);

    ASSERT_TRUE(loadAndWait(*view, *delegate, page));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0].code, -1200) << delegate->errors[0].message;
    EXPECT_EQ(delegate->errors[0].failingURL, page.absoluteString());
    EXPECT_TRUE(server.requests().empty());

    environment.set(core::kTrustedCertificatesFileVariable,
                    fixtures::TestCertificates::shared().authorityFile());
    ASSERT_TRUE(loadAndWait(*view, *delegate, page));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(evaluate(*view, "[location.protocol, window.isSecureContext, "
                              "document.getElementById('t').textContent]"),
              core::Value(core::Array{"https:", true, "secure"}));
    EXPECT_EQ(server.requestsTo("/secure").size(), 1u);
}

// A page that writes the page field itself, naming another view's page,
// is still known as its own page, and the field never leaves the app.
TEST_F(WebViewProxyService, ARequestNamesItsOwnPageWhateverThePageWrites) {
    serveHTML(server, "/a", "<p>a</p>");
    serveHTML(server, "/b", "<p>b</p>");
    server.on("GET", "/api", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("{}", 200, "application/json");
    });
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto a = makeView(delegate, configurationOf(Kind::UI));
    const auto b = makeView(delegate, configurationOf(Kind::UI));
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(loadAndWait(*a, *delegate, server.url("/a")));
    ASSERT_TRUE(loadAndWait(*b, *delegate, server.url("/b")));
    ASSERT_NE(a->pageIdentifier(), b->pageIdentifier());

    const std::string forged = "'" + std::string(web::protocol::kPageHeader) + "': 'x " +
                               std::to_string(b->pageIdentifier()) + " " +
                               server.url("/b").absoluteString() + "'";
    (void)evaluate(*a, "fetch('/api', {headers: {" + forged +
                           "}}).then(r => window.fetched = r.status, e => window.fetched = "
                           "String(e)); true");
    ASSERT_TRUE(waitFor([&] { return evaluate(*a, "window.fetched") == core::Value(200); }));

    const auto offers = recorder->offersEndingWith("/api");
    ASSERT_FALSE(offers.empty());
    for (const auto& offer : offers) {
        EXPECT_EQ(offer.pageId, a->pageIdentifier());
        EXPECT_EQ(offer.mainDocument, server.url("/a").absoluteString());
        EXPECT_FALSE(offer.marked);
    }
    // Each page's own document names that page.
    for (const auto& [view, path] : {std::pair{a, "/a"}, std::pair{b, "/b"}}) {
        const auto documents = recorder->offersEndingWith(path);
        ASSERT_FALSE(documents.empty()) << path;
        EXPECT_EQ(documents.front().pageId, view->pageIdentifier()) << path;
    }
    for (const auto& request : server.requests())
        EXPECT_FALSE(request.header(web::protocol::kPageHeader)) << request.path;
}

// A service worker is handed the page's requests with all their fields, and
// may send them again: the page mark tells it neither the page nor its
// document, and what the worker sends of its own names no page, however it
// copies or rewrites the mark (today's format is "<token> <id> <URL>"). The
// page's own request, passed on whole, and a dedicated worker's loads stay
// the page's.
TEST_F(WebViewProxyService, AServiceWorkerCanNeitherReadNorForgeThePageMark) {
    const auto js = [](std::string source) {
        return fixtures::LoopbackResponse::text(std::move(source), 200, "application/javascript");
    };
    serveHTML(server, "/sw/page.html", R"html(<body><script>
const text = async path => { try { return await (await fetch(path)).text(); } catch (e) { return String(e); } };
(async () => {
  await navigator.serviceWorker.register('/sw/worker.js', {scope: '/sw/'});
  if (!navigator.serviceWorker.controller)
    await new Promise(r => navigator.serviceWorker.addEventListener('controllerchange', r));
  window.seen = await text('/sw/seen');
  window.passed = await text('/sw/passed');
  window.forged = await text('/sw/forge');
  const worker = new Worker('/sw/dedicated.js');
  window.dedicated = await new Promise(r => worker.onmessage = e => r(e.data));
  window.done = true;
})();
</script>)html");
    const std::string field = web::protocol::kPageHeader;
    server.on("GET", "/sw/worker.js", [&](const fixtures::LoopbackRequest&) {
        return js("const field = '" + field + R"js(';
self.addEventListener('install', () => self.skipWaiting());
self.addEventListener('activate', e => e.waitUntil(clients.claim()));
const sent = (path, headers) => fetch(path, {headers}).then(r => r.text(), e => String(e));
self.addEventListener('fetch', e => {
  const path = new URL(e.request.url).pathname;
  const seen = e.request.headers.get(field) || '';
  if (path === '/sw/seen') {
    e.respondWith(new Response(seen));
  } else if (path === '/sw/passed') {
    e.respondWith(fetch(e.request));
  } else if (path === '/sw/forge') {
    const [token] = seen.split(' ');
    const target = new URL('/sw/forged', e.request.url).href;
    e.respondWith(Promise.all([
      sent('/sw/forged', {[field]: token + ' 999 ' + target}),
      sent('/sw/copied', {[field]: seen}),
      sent('/sw/copied', e.request.headers),
    ]).then(texts => new Response(texts.join(' '))));
  }
});
)js");
    });
    server.on("GET", "/sw/dedicated.js", [&](const fixtures::LoopbackRequest&) {
        return js("fetch('/sw/fromworker').then(r => r.text()).then(t => postMessage(t));");
    });
    for (const char* path : {"/sw/passed", "/sw/copied", "/sw/fromworker"}) {
        server.on("GET", path, [](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::text("served", 200, "text/plain");
        });
    }
    // An answer that breaks off: a failure the proxy notes for the page the
    // request names.
    server.on("GET", "/sw/forged", [](const fixtures::LoopbackRequest&) {
        auto response = fixtures::LoopbackResponse::text(std::string(1000, 'x'));
        response.closeAfter = 10;
        return response;
    });
    const auto delegate = std::make_shared<RecordingDelegate>();
    auto view = makeView(delegate, configurationOf(Kind::UI));
    ASSERT_TRUE(view);
    const core::URL page = server.url("/sw/page.html");
    ASSERT_TRUE(loadAndWait(*view, *delegate, page));
    ASSERT_TRUE(waitFor([&] { return evaluate(*view, "window.done") == core::Value(true); }));

    const std::string seen = evaluate(*view, "window.seen").stringValue();
    const std::string id = std::to_string(view->pageIdentifier());
    EXPECT_EQ(seen.find(page.absoluteString()), std::string::npos) << seen;
    EXPECT_EQ((" " + seen + " ").find(" " + id + " "), std::string::npos) << seen;
    EXPECT_EQ(evaluate(*view, "window.passed"), core::Value("served"));
    EXPECT_EQ(evaluate(*view, "window.dedicated"), core::Value("served"));

    const std::string forged = server.url("/sw/forged").absoluteString();
    EXPECT_EQ(web::EngineProxy::documentStage(999, forged), web::EngineProxy::DocumentStage::none);
    EXPECT_FALSE(web::EngineProxy::takeFailure(999, forged));
    const auto forgedOffers = recorder->offersEndingWith("/sw/forged");
    const auto copiedOffers = recorder->offersEndingWith("/sw/copied");
    ASSERT_EQ(forgedOffers.size(), 1u);
    ASSERT_EQ(copiedOffers.size(), 2u);
    for (const auto& offer : {forgedOffers[0], copiedOffers[0], copiedOffers[1]}) {
        EXPECT_FALSE(offer.pageId) << offer.url;
        EXPECT_TRUE(offer.mainDocument.empty()) << offer.url;
    }
    for (const char* path : {"/sw/passed", "/sw/fromworker"}) {
        const auto offers = recorder->offersEndingWith(path);
        ASSERT_EQ(offers.size(), 1u) << path;
        EXPECT_EQ(offers[0].pageId, view->pageIdentifier()) << path;
        EXPECT_EQ(offers[0].mainDocument, page.absoluteString()) << path;
    }
    for (const auto& request : server.requests())
        EXPECT_FALSE(request.header(web::protocol::kPageHeader)) << request.path;
    // The engine's context outlives the test: its worker goes, and with the
    // view the worker's process, which would count among later tests'.
    const auto processes = testsupport::webProcesses();
    (void)evaluate(*view, "navigator.serviceWorker.getRegistration('/sw/')"
                          ".then(r => r && r.unregister()).then(() => window.gone = true); true");
    EXPECT_TRUE(waitFor([&] { return evaluate(*view, "window.gone") == core::Value(true); }));
    view.reset();
    EXPECT_TRUE(waitFor(
        [&] {
            const auto now = testsupport::webProcesses();
            return std::none_of(processes.begin(), processes.end(), [&](pid_t pid) {
                return std::find(now.begin(), now.end(), pid) != now.end();
            });
        },
        30));
}

// The proxy's address as a page's server: a "WK"-kind page reaches it
// without its credentials, a "UI"-kind page through it, and either way
// nothing goes on from it.
TEST_F(WebViewProxyService, APageThatNamesTheProxysAddressGetsNothingThroughIt) {
    std::string error;
    const web::EngineProxy* proxy = web::EngineProxy::shared(&error);
    ASSERT_TRUE(proxy) << error;
    serveHTML(server, "/page", "<p>page</p>");
    const std::string target = proxy->uri() + "/" + server.url("/secret").absoluteString();
    for (const auto kind : kKinds) {
        SCOPED_TRACE(kindLabel(kind));
        const auto delegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(delegate, configurationOf(kind));
        ASSERT_TRUE(view);
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
        (void)evaluate(*view, "Promise.allSettled([fetch('" + target +
                                  "', {mode: 'no-cors', credentials: 'include'}), fetch('" +
                                  proxy->uri() +
                                  "/')]).then(() => window.settled = true); true");
        ASSERT_TRUE(waitFor([&] { return evaluate(*view, "window.settled") == core::Value(true); }));
    }
    EXPECT_TRUE(server.requestsTo("/secret").empty());
    EXPECT_TRUE(recorder->offersEndingWith("/secret").empty());
}

}  // namespace
