// The URL protocol with real ad pages of the local ad server: a UI-kind
// page's loads recorded under its ad view, its "mraid.js" answered with the
// SDK's script for its slot, responses captured when the safe-browsing
// settings ask, redirects offered afresh; taken loads as bounded, timed
// and paused as the load that offered them; and the WK kind's swap to the
// same script.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "InterceptTesting.h"
#include "ResourceCollectionTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZAdViewSlot.h"
#include "core/HostRoutes.h"
#include "core/URLConnection.h"
#include "fixtures/AdServer.h"
#include "fixtures/MRAIDScript.h"
#include "support/ManualClockScope.h"
#include "web/proxy/ProxyExchange.h"

namespace {

using namespace adwebtesting;
using fixtures::LoopbackResponse;
using fixtures::MRAIDScript;
using intercepttesting::BannerSlot;
using intercepttesting::FinishCountingDelegate;

constexpr const char* kPagePath = "/test/intercept/page";

struct Loaded {
    core::Data body;
    std::optional<core::HTTPURLResponse> response;
    std::optional<core::NetworkError> error;
};

// What a load made as the proxy makes its onward loads was told.
struct ProxiedLoad : core::URLConnectionDelegate {
    void didReceiveResponse(core::URLConnection&, const core::HTTPURLResponse& answer) override {
        response = answer;
        body.clear();
    }
    void didReceiveData(core::URLConnection&, const core::Data& data) override {
        body.append(data.begin(), data.end());
    }
    void didFinishLoading(core::URLConnection&) override { ended = true; }
    void didFailWithError(core::URLConnection&, const core::NetworkError& failure) override {
        error = failure;
        ended = true;
    }

    std::optional<core::HTTPURLResponse> response;
    std::string body;
    std::optional<core::NetworkError> error;
    bool ended = false;
};

// Bytes that differ from their neighbours, so a piece lost or repeated shows.
std::string patterned(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = char((i * 131 + (i >> 13)) & 0xff);
    return bytes;
}

constexpr size_t kLargeBytes = 20 * 1024 * 1024;

class DZURLProtocolService : public testing::Test {
protected:
    void SetUp() override {
        ads::DZRegisterURLProtocol();
        const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
        interceptor->setBannerImplementationURLString(server.urlString(MRAIDScript::kBannerPath));
        interceptor->setExpandedBannerImplementationURLString(
            server.urlString(MRAIDScript::kExpandedBannerPath));
        interceptor->setInterstitialImplementationURLString(
            server.urlString(MRAIDScript::kInterstitialPath));
        server.serve("/test/intercept/mraid.js", script("window.ownMRAID = true;"));
        server.serve("/test/intercept/s.js", script("window.scriptRan = true;"));
        server.serve("/test/intercept/i.png", LoopbackResponse::bytes("png", "image/png"));
        server.serve("/test/intercept/frame",
                     LoopbackResponse::text("<p>frame</p>", 200, "text/html"));
        server.serve("/test/intercept/hop",
                     LoopbackResponse::redirect(server.urlString("/test/intercept/mraid.js")));
    }
    void TearDown() override {
        const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
        interceptor->setEnabled(true);
        interceptor->restoreDefaultImplementationURLStrings();
        adView.reset();
        EXPECT_TRUE(drainMainQueue());
    }
    static LoopbackResponse script(const std::string& source) {
        return LoopbackResponse::text(source, 200, "application/javascript");
    }

    // An ad view showing html as the ad of kPagePath (on pageOrigin when
    // set), its slot's own.
    void show(const std::string& html, const ads::DZWebViewConfiguration& configuration = {}) {
        const core::URL page =
            pageOrigin ? *core::URL::create(*pageOrigin + kPagePath) : server.url(kPagePath);
        adView = ads::DZAdView::create({0, 0, 320, 50}, configuration);
        ASSERT_TRUE(adView);
        adView->setDelegate(delegate);
        slot = std::make_shared<BannerSlot>(adView);
        delegate->opener()->setAdViewSlot(slot);
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML(html);
        ad->setAdBaseURL(page);
        ad->setAdURL(page);
        if (reporter) ad->setSafeBrowsingReporter(reporter);
        adView->setAd(ad);
        ASSERT_TRUE(waitFor([&] { return delegate->finishes > 0; }));
    }
    // A load of the page's through the URL layer, as a UI-kind page's load goes.
    Loaded load(core::URLRequest request) {
        if (!request.mainDocumentURL()) request.setMainDocumentURL(server.url(kPagePath));
        std::optional<Loaded> loaded;
        (void)core::URLConnection::sendAsynchronousRequest(
            std::move(request),
            [&](core::Data body, std::optional<core::HTTPURLResponse> response,
                std::optional<core::NetworkError> error) {
                loaded = Loaded{std::move(body), std::move(response), std::move(error)};
            },
            core::RunLoop::main());
        EXPECT_TRUE(waitFor([&] { return loaded.has_value(); }));
        return loaded.value_or(Loaded{});
    }
    core::URLRequest pageRequest(const std::string& path) const {
        return core::URLRequest(server.url(path));
    }
    // The report's resources by URL once count of them were recorded.
    std::map<std::string, core::Value> resources(size_t count) {
        std::map<std::string, core::Value> byURL;
        (void)waitFor([&] {
            const auto collection =
                ads::DZAdURLStash::sharedInstance()->resourceCollectionForAdView(adView);
            if (!collection) return false;
            byURL.clear();
            const core::Dictionary report = collection->dictionaryRepresentation();
            for (const core::Value& entry : *report["resources"].array())
                byURL[entry["url"].stringValue()] = entry;
            return byURL.size() >= count;
        });
        return byURL;
    }
    static std::string text(const core::Data& body) {
        return std::string(body.begin(), body.end());
    }

    // The ad's safe-browsing settings ask for responses: every load of the
    // page is taken. Before show().
    void captureResponses() {
        reporter = ads::DZSafeBrowsingReporter::create(
            core::Dictionary{{"click_string", "CLK"},
                             {"report_url", server.urlString("/sb")},
                             {"non_malicious_reporting_enabled", true}});
        constants.set(ads::DZAdURLStash::kSafeBrowsingResponseKey, "1");
    }
    // A load of the page's path made as the proxy makes a "UI"-kind page's.
    std::shared_ptr<core::URLConnection> startProxied(const std::string& path,
                                                      const std::shared_ptr<ProxiedLoad>& record) {
        core::URLRequest request(server.url(path));
        request.setMainDocumentURL(server.url(kPagePath));
        auto connection = core::URLConnection::create(std::move(request), record,
                                                      web::proxy::Exchange::configuration());
        connection->setOffersResponseToCache(false);
        connection->scheduleInRunLoop(core::RunLoop::main());
        connection->start();
        return connection;
    }
    // The report's entry of the page's path once its response is in.
    core::Value recordedResponse(const std::string& path) {
        core::Value response;
        (void)waitFor([&] {
            response = resources(1)[server.urlString(path)]["response"];
            return !response["firstline"].isNull();
        });
        return response;
    }

    fixtures::AdServer server;
    ConstantsScope constants;
    std::shared_ptr<FinishCountingDelegate> delegate = std::make_shared<FinishCountingDelegate>();
    std::shared_ptr<BannerSlot> slot;
    std::shared_ptr<ads::DZSafeBrowsingReporter> reporter;
    std::shared_ptr<ads::DZAdView> adView;
    std::optional<std::string> pageOrigin;
};

TEST_F(DZURLProtocolService, APagesLoadsAreRecordedAndItsMRAIDScriptIsTheSDKs) {
    show("<html><head><script src='/test/intercept/s.js'></script><script src='mraid.js'></script>"
         "</head><body><img src='/test/intercept/i.png'>"
         "<iframe src='/test/intercept/frame'></iframe></body></html>");
    const std::string base = server.urlString("/test/intercept/");
    auto recorded = resources(5);
    for (const char* name : {"page", "s.js", "mraid.js", "i.png", "frame"})
        EXPECT_TRUE(recorded.count(base + name)) << name;
    EXPECT_EQ(evaluate(*adView->webView(), "window.scriptRan === true"), core::Value(true));
    EXPECT_EQ(evaluate(*adView->webView(), "window.mraid ? window.mraid.variant : 'none'"),
              core::Value("banner"));
    EXPECT_EQ(evaluate(*adView->webView(), "window.ownMRAID === undefined"), core::Value(true));
    EXPECT_TRUE(server.requestsTo("/test/intercept/mraid.js").empty());
    // The SDK's script is filed under the page's request; loads that were
    // not taken have no response recorded.
    const core::Value& mraid = recorded[base + "mraid.js"];
    EXPECT_EQ(mraid["response"]["firstline"]["code"], core::Value(200));
    EXPECT_EQ(mraid["response"]["bodylength"].intValue(),
              std::int64_t(MRAIDScript::render(MRAIDScript::Variant::banner).size()));
    EXPECT_EQ(mraid["parent_id"], recorded[base + "page"]["id"]);
    EXPECT_TRUE(recorded[base + "s.js"]["response"]["firstline"].isNull());
}

// A page that rewrites its address (replaceState, then pushState) before it
// loads its scripts, image and frame: they are still its ad view's, recorded
// and captured, and its "mraid.js" is the SDK's.
TEST_F(DZURLProtocolService, APageThatRewritesItsAddressKeepsItsLoadsAndItsMRAIDScript) {
    reporter = ads::DZSafeBrowsingReporter::create(
        core::Dictionary{{"click_string", "CLK"},
                         {"report_url", server.urlString("/sb")},
                         {"non_malicious_reporting_enabled", true}});
    constants.set(ads::DZAdURLStash::kSafeBrowsingResponseKey, "1");
    server.serve("/test/moved/mraid.js", script("window.ownMRAID = true;"));
    server.serve("/test/moved/s.js", script("window.scriptRan = true;"));
    server.serve("/test/moved/i.png", LoopbackResponse::bytes("png", "image/png"));
    server.serve("/test/moved/frame", LoopbackResponse::text("<p>frame</p>", 200, "text/html"));
    show("<html><head><script>"
         "history.replaceState(null, '', '/test/moved/here?x=1');"
         "for (const src of ['mraid.js', 's.js']) {"
         "  const s = document.createElement('script'); s.src = src; s.async = false;"
         "  document.head.appendChild(s); }"
         "</script></head><body><script>"
         "history.pushState({}, '', '/test/moved/there?y=2');"
         "document.body.insertAdjacentHTML('beforeend',"
         "  \"<img src='i.png'><iframe src='frame'></iframe>\");"
         "</script></body></html>");
    const std::string base = server.urlString("/test/moved/");
    const auto status = [&](const std::string& name) {
        return resources(5)[base + name]["response"]["firstline"]["code"];
    };
    for (const char* name : {"mraid.js", "s.js", "i.png", "frame"})
        EXPECT_TRUE(waitFor([&] { return status(name) == core::Value(200); })) << name;
    EXPECT_TRUE(waitFor([&] {
        return evaluate(*adView->webView(), "window.scriptRan === true") == core::Value(true);
    }));
    EXPECT_EQ(evaluate(*adView->webView(), "window.mraid ? window.mraid.variant : 'none'"),
              core::Value("banner"));
    EXPECT_EQ(evaluate(*adView->webView(), "window.ownMRAID === undefined"), core::Value(true));
    EXPECT_TRUE(server.requestsTo("/test/moved/mraid.js").empty());
}

// The same on a host elsewhere than this machine (a name routed to the ad
// server, over plain http), where the engine sends no fetch metadata, for
// loads of the very address the page wrote: a fetch after pushState, an
// image after replaceState and a frame after pushState again are recorded
// under the page's ad view.
TEST_F(DZURLProtocolService, LoadsOfTheAddressAPageWroteAreItsAdViewsOnAnyHost) {
    const char* host = "ads.rewrites.example";
    const int port = server.url("/").port().value_or(0);
    ASSERT_TRUE(core::HostRoutes::add(host, port, "127.0.0.1", port));
    pageOrigin = "http://" + std::string(host) + ":" + std::to_string(port);
    for (const char* name : {"fetched", "imaged", "framed"})
        server.serve(std::string("/test/moved/") + name,
                     LoopbackResponse::text("<p>moved</p>", 200, "text/html"));
    show("<body><script>(async () => {"
         "history.pushState({}, '', '/test/moved/fetched');"
         "await fetch(location.href).then(r => r.text());"
         "history.replaceState(null, '', '/test/moved/imaged');"
         "await new Promise(r => { const i = new Image(); i.onload = i.onerror = r;"
         "  i.src = location.href; });"
         "history.pushState({}, '', '/test/moved/framed');"
         "const f = document.createElement('iframe'); f.src = location.href;"
         "document.body.appendChild(f);"
         "})();</script></body>");
    const auto recorded = resources(4);
    core::HostRoutes::remove(host, port);
    EXPECT_TRUE(recorded.count(*pageOrigin + kPagePath));
    for (const char* name : {"fetched", "imaged", "framed"})
        EXPECT_TRUE(recorded.count(*pageOrigin + "/test/moved/" + name)) << name;
}

TEST_F(DZURLProtocolService, TheSubstituteArrivesUncacheableWithTheReceivedStatus) {
    show("<p>ad</p>");
    auto served = LoopbackResponse::text("window.sdk = 1;", 203, "application/javascript");
    served.headers.set("Cache-Control", "public, max-age=600");
    served.headers.set("X-Script", "sdk");
    server.serve(MRAIDScript::kBannerPath, served);

    const Loaded substituted = load(pageRequest("/test/intercept/mraid.js?v=1"));
    ASSERT_TRUE(substituted.response);
    EXPECT_EQ(text(substituted.body), "window.sdk = 1;");
    EXPECT_EQ(substituted.response->statusCode(), 203);
    EXPECT_EQ(substituted.response->url(), server.url(MRAIDScript::kBannerPath));
    EXPECT_EQ(substituted.response->HTTPVersion(), "HTTP/1.1");
    EXPECT_EQ(substituted.response->value("Cache-Control"),
              "no-store, no-cache, private, max-age=0");
    EXPECT_EQ(substituted.response->value("X-Script"), "sdk");

    // Substitution off, a request marked as the protocol's own, and a page
    // nobody registered: the page's own script, untouched.
    ads::DZMRAIDInterceptor::sharedInstance()->setEnabled(false);
    const Loaded off = load(pageRequest("/test/intercept/mraid.js?v=2"));
    EXPECT_EQ(text(off.body), "window.ownMRAID = true;");
    ASSERT_TRUE(off.response);
    EXPECT_EQ(off.response->statusCode(), 200);
    ads::DZMRAIDInterceptor::sharedInstance()->setEnabled(true);
    core::URLRequest marked = pageRequest("/test/intercept/mraid.js?v=3");
    marked.setProperty(std::string(ads::DZURLProtocol::kHandledKey), true);
    EXPECT_EQ(text(load(marked).body), "window.ownMRAID = true;");
    core::URLRequest stranger = pageRequest("/test/intercept/mraid.js?v=4");
    stranger.setMainDocumentURL(server.url("/test/intercept/elsewhere"));
    EXPECT_EQ(text(load(stranger).body), "window.ownMRAID = true;");

    const auto recorded = resources(3);
    const std::string base = server.urlString("/test/intercept/mraid.js");
    EXPECT_TRUE(recorded.count(base + "?v=1"));
    EXPECT_TRUE(recorded.count(base + "?v=2"));
    EXPECT_FALSE(recorded.count(base + "?v=3"));
    EXPECT_FALSE(recorded.count(base + "?v=4"));
}

TEST_F(DZURLProtocolService, CapturedLoadsAndTheirRedirectsAreOfferedAfresh) {
    reporter = ads::DZSafeBrowsingReporter::create(
        core::Dictionary{{"click_string", "CLK"},
                         {"report_url", server.urlString("/sb")},
                         {"non_malicious_reporting_enabled", true}});
    show("<p>ad</p>");
    constants.set(ads::DZAdURLStash::kSafeBrowsingResponseKey, "1");
    // Taken for capture, the hop's redirect comes back unmarked, so its
    // target is taken again: as the MRAID script.
    const Loaded hop = load(pageRequest("/test/intercept/hop"));
    EXPECT_EQ(text(hop.body), MRAIDScript::render(MRAIDScript::Variant::banner));
    EXPECT_EQ(text(load(pageRequest("/test/intercept/s.js")).body), "window.scriptRan = true;");

    const std::string base = server.urlString("/test/intercept/");
    auto recorded = resources(4);
    EXPECT_EQ(recorded[base + "hop"]["response"]["firstline"]["code"], core::Value(302));
    EXPECT_EQ(recorded[base + "mraid.js"]["parent_id"], recorded[base + "hop"]["id"]);
    EXPECT_EQ(recorded[base + "s.js"]["response"]["firstline"]["code"], core::Value(200));
    EXPECT_EQ(recorded[base + "s.js"]["response"]["bodylength"], core::Value(24));

    // Not captured, the redirect is followed by the connection, and its
    // target offered all the same.
    constants.set(ads::DZAdURLStash::kSafeBrowsingResponseKey, "0");
    EXPECT_EQ(text(load(pageRequest("/test/intercept/hop?again")).body),
              MRAIDScript::render(MRAIDScript::Variant::banner));

    // The page's collection goes to the reporter with the ad view.
    adView.reset();
    EXPECT_TRUE(waitFor([&] { return !server.requestsTo("/sb").empty(); }));
}

TEST_F(DZURLProtocolService, ATakenLoadWaitsForASilentServerAsTheProxyDoes) {
    captureResponses();
    const auto gate = fixtures::ResponseGate::make();
    server.serve("/test/intercept/silent", script("window.late = true;").heldBy(gate));
    show("<p>ad</p>");
    testsupport::ManualClockScope clock;

    const auto record = std::make_shared<ProxiedLoad>();
    const auto connection = startProxied("/test/intercept/silent", record);
    ASSERT_TRUE(waitFor([&] { return gate->heldCount() == 1; }));
    clock.advance(2 * core::URLSessionConfiguration().timeoutIntervalForRequest);
    EXPECT_FALSE(waitFor([&] { return record->ended; }, 0.5));
    gate->release();
    ASSERT_TRUE(waitFor([&] { return record->ended; }));
    EXPECT_FALSE(record->error) << record->error->message;
    EXPECT_EQ(record->body, "window.late = true;");
    EXPECT_EQ(recordedResponse("/test/intercept/silent")["firstline"]["code"], core::Value(200));
}

// Capture changes nothing the page gets: a taken load of more than the URL
// session's default bound comes whole, at the pace of the load that offered
// it (paused, the server is held back), while the record copies only what
// the report keeps and counts the rest.
TEST_F(DZURLProtocolService, ATakenLoadComesWholeAtThePaceOfTheLoadThatOfferedIt) {
    captureResponses();
    const auto gate = fixtures::ResponseGate::make();
    const std::string large = patterned(kLargeBytes);
    server.serve("/test/intercept/large", LoopbackResponse::bytes(large).meteredBy(gate));
    show("<p>ad</p>");

    const auto record = std::make_shared<ProxiedLoad>();
    const auto connection = startProxied("/test/intercept/large", record);
    gate->openTo(1000);
    ASSERT_TRUE(waitFor([&] { return record->body.size() == 1000; }));
    connection->setReceivingPaused(true);
    gate->release();
    EXPECT_FALSE(waitFor([&] { return record->body.size() > 1000; }, 0.5));
    // More than the sockets between them hold: the server is still sending.
    EXPECT_EQ(server.server().requestsInFlight(), 1u);

    connection->setReceivingPaused(false);
    ASSERT_TRUE(waitFor([&] { return record->ended; }));
    EXPECT_FALSE(record->error) << record->error->message;
    EXPECT_TRUE(record->body == large) << record->body.size() << " bytes";
    core::Value response;
    EXPECT_TRUE(waitFor([&] {
        response = recordedResponse("/test/intercept/large");
        return response["bodylength"].intValue() == std::int64_t(kLargeBytes);
    })) << response["bodylength"].intValue();
    const std::string_view kept(large.data(), ads::DZURLProtocol::kCaptureLimit);
    EXPECT_TRUE(response["body"].stringValue() == ads::DZBase64String(kept));
}

// In a "UI"-kind page, through the proxy: a fetch larger than the URL
// session's default bound gets every byte with capture on.
TEST_F(DZURLProtocolService, APageFetchesALargeBodyWholeWhileResponsesAreCaptured) {
    captureResponses();
    const std::string large = patterned(kLargeBytes);
    server.serve("/test/intercept/large", LoopbackResponse::bytes(large));
    show("<html><body><script>"
         "fetch('large').then(r => r.arrayBuffer()).then(b => {"
         "  const bytes = new Uint8Array(b); let sum = 0;"
         "  for (let i = 0; i < bytes.length; ++i) sum = (sum * 31 + bytes[i]) % 1000000007;"
         "  window.got = bytes.length + ' ' + sum; }, e => { window.got = 'failed ' + e; });"
         "</script></body></html>");
    std::uint64_t sum = 0;
    for (const char byte : large) sum = (sum * 31 + std::uint8_t(byte)) % 1000000007;
    core::Value got;
    EXPECT_TRUE(waitFor([&] {
        got = evaluate(*adView->webView(), "window.got || null");
        return !got.isNull();
    }));
    EXPECT_EQ(got, core::Value(std::to_string(kLargeBytes) + " " + std::to_string(sum)));
    EXPECT_EQ(recordedResponse("/test/intercept/large")["bodylength"].intValue(),
              std::int64_t(kLargeBytes));
}

TEST_F(DZURLProtocolService, TheWebKitKindSwapsToTheSameScriptWhileSubstitutionIsOn) {
    ads::DZWebViewConfiguration configuration;
    configuration.setWebViewClassKey("wk");
    const std::string page = "<html><head><script src='mraid.js'></script></head><body>"
                             "<iframe src='/test/intercept/frame'></iframe></body></html>";
    show(page, configuration);
    core::Value variant;
    EXPECT_TRUE(waitFor([&] {
        variant = evaluate(*adView->webView(), "window.mraid ? window.mraid.variant : null");
        return !variant.isNull();
    }));
    EXPECT_EQ(variant, core::Value("banner"));
    // The engine loads this kind's pages itself: only the navigations that
    // the ad view delegate lets load are recorded, filed under the page.
    const auto recorded = resources(2);
    EXPECT_TRUE(recorded.count(server.urlString("/test/intercept/frame")));
    EXPECT_FALSE(recorded.count(server.urlString("/test/intercept/mraid.js")));

    ads::DZMRAIDInterceptor::sharedInstance()->setEnabled(false);
    delegate->finishes = 0;
    show(page, configuration);
    EXPECT_TRUE(waitFor([&] {
        return evaluate(*adView->webView(), "window.ownMRAID === true") == core::Value(true);
    }));
    EXPECT_EQ(evaluate(*adView->webView(), "window.mraid === undefined"), core::Value(true));
}

}  // namespace
