// "UI"-kind pages load through the app's proxy alone: their engine takes any
// certificate (the proxy's own), yet a server the app does not trust fails
// their load; their requests name their own page, whatever the page writes
// in them; and neither they nor pages of the other kind can use the proxy
// for anything else.

#include <mutex>

#include "WebViewTesting.h"
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

// Records the page each request it is offered names, and takes none.
class PageRecorder final : public core::URLProtocolFactory {
public:
    struct Offer {
        std::string url;
        std::string mainDocument;
        std::optional<std::uint64_t> pageId;
        bool marked = false;  // the page field still on it
    };

    bool canInit(const core::URLRequest& request) const override {
        const auto page = request.property(web::protocol::kPageIdProperty);
        const auto& document = request.mainDocumentURL();
        const std::lock_guard lock(mutex_);
        offers_.push_back({request.url().absoluteString(),
                           document ? document->absoluteString() : std::string(),
                           page ? std::optional(page->uintValue()) : std::nullopt,
                           request.value(web::protocol::kPageHeader).has_value()});
        return false;
    }
    std::shared_ptr<core::URLProtocol> make(core::URLRequest,
                                            std::shared_ptr<core::URLProtocolClient>) const override {
        return nullptr;
    }
    [[nodiscard]] std::vector<Offer> offersEndingWith(const std::string& suffix) const {
        const std::lock_guard lock(mutex_);
        std::vector<Offer> found;
        for (const auto& offer : offers_)
            if (offer.url.ends_with(suffix)) found.push_back(offer);
        return found;
    }

private:
    mutable std::mutex mutex_;
    mutable std::vector<Offer> offers_;
};

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
    std::shared_ptr<PageRecorder> recorder = std::make_shared<PageRecorder>();
};

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
        SCOPED_TRACE(kind == Kind::WK ? "WK" : "UI");
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
