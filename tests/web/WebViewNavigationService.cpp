// Navigation decisions of both kinds of web view: what the delegate is told
// for a page's own location change, an iframe's src, a link inside an
// iframe, window.open() and a message URL, URLs the engine keeps with
// spaces, and that nothing refused ever reaches the server.

#include <algorithm>

#include "WebViewTesting.h"
#include "core/Console.h"
#include "core/JSON.h"

namespace {

using web::NavigationType;
using web::WebViewConfiguration;
using namespace webtesting;

// The frame clicks its link towards what the page posts it: a "UI"-kind
// page's frames have an origin of their own, so the page cannot reach in.
constexpr const char* kPage = R"(<html><body>
<iframe id=frame src="/frame.html"></iframe>
<script>addEventListener('message', e => { if (e.data === 'ready') window.frameReady = true; });</script>
</body></html>)";
constexpr const char* kFrame = R"(<html><body><a id=link href="/from-frame-link">in frame</a>
<script>
addEventListener('message', e => { const a = document.getElementById('link'); a.href = e.data; a.click(); });
parent.postMessage('ready', '*');
</script></body></html>)";

class WebViewNavigationService : public testing::TestWithParam<WebViewConfiguration::Kind> {
protected:
    void SetUp() override {
        serveHTML(server, "/page.html", kPage);
        serveHTML(server, "/frame.html", kFrame);
        for (const char* path : {"/marker", "/framed", "/next", "/from-frame-link"})
            serveHTML(server, path, std::string("<p>") + path + "</p>");
        delegate->decide = [](const web::NavigationAction& action) {
            const std::string& url = action.request.url().absoluteString();
            return url.find("refused") == std::string::npos &&
                   action.request.url().scheme() != "dmsg";
        };
        ASSERT_TRUE(view);
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page.html")));
        ASSERT_EQ(delegate->events.back(), "finish");
        ASSERT_TRUE(frameReady());
        delegate->events.clear();
        delegate->navigations.clear();
    }

    // The single decision asked about a URL ending with suffix.
    web::NavigationAction decisionFor(const std::string& suffix) {
        EXPECT_TRUE(waitFor([&] { return !delegate->navigationsTo(suffix).empty(); })) << suffix;
        const auto found = delegate->navigationsTo(suffix);
        EXPECT_EQ(found.size(), 1u) << suffix;
        return found.empty() ? web::NavigationAction(core::URLRequest(server.url("/none")))
                             : found.front();
    }

    [[nodiscard]] bool frameReady() {
        return waitFor(
            [&] { return evaluate(*view, "window.frameReady === true") == core::Value(true); });
    }

    // Every request the page sent before this one has reached the server.
    // (Retried: loads a document starts while a refused navigation of its
    // frame is being held fail, as when a navigation is stopped.)
    void syncWithServer() {
        (void)evaluate(*view, R"((function retry() {
            fetch('/marker?' + Math.random()).catch(() => setTimeout(retry, 10)); })(); 0)");
        ASSERT_TRUE(waitFor([&] { return !server.requestsTo("/marker").empty(); }));
        server.clearLog();
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view = makeView(delegate, configurationOf(GetParam()));
    const std::string pageURL = server.url("/page.html").absoluteString();
};

TEST_P(WebViewNavigationService, LocationChangeOfTheMainFrame) {
    (void)evaluate(*view, "location.href = '/refused-main'; 0");
    const auto refused = decisionFor("/refused-main");
    EXPECT_EQ(refused.targetsMainFrame, true);
    EXPECT_EQ(refused.mainDocumentURL, refused.request.url());
    EXPECT_EQ(refused.type, NavigationType::other);
    EXPECT_FALSE(refused.opensNewWindow);
    EXPECT_TRUE(refused.request.value("User-Agent").has_value());
    syncWithServer();
    EXPECT_TRUE(server.requestsTo("/refused-main").empty());
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(pageURL));
    EXPECT_TRUE(delegate->events.empty());

    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page.html")));
    delegate->events.clear();
    (void)evaluate(*view, "location.href = '/next'; 0");
    const auto allowed = decisionFor("/next");
    EXPECT_EQ(allowed.targetsMainFrame, true);
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") == 1; }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(server.url("/next").absoluteString()));
}

TEST_P(WebViewNavigationService, FrameNavigationsCarryThePageAsMainDocument) {
    (void)evaluate(*view, "document.getElementById('frame').src = '/framed'; 0");
    const auto framed = decisionFor("/framed");
    EXPECT_EQ(framed.targetsMainFrame, false);
    ASSERT_TRUE(framed.mainDocumentURL);
    EXPECT_EQ(framed.mainDocumentURL->absoluteString(), pageURL);
    ASSERT_TRUE(waitFor([&] { return !server.requestsTo("/framed").empty(); }));

    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page.html")));
    ASSERT_TRUE(frameReady());
    delegate->navigations.clear();
    (void)evaluate(*view, "frames[0].postMessage('/refused-link', '*'); 0");
    const auto link = decisionFor("/refused-link");
    EXPECT_EQ(link.targetsMainFrame, false);
    EXPECT_EQ(link.type, NavigationType::linkClicked);
    ASSERT_TRUE(link.mainDocumentURL);
    EXPECT_EQ(link.mainDocumentURL->absoluteString(), pageURL);
    syncWithServer();
    EXPECT_TRUE(server.requestsTo("/refused-link").empty());
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(pageURL));
}

TEST_P(WebViewNavigationService, LinkClicksAreDecidedBeforeTheEngineBeginsThem) {
    server.on("GET", "/slow-data", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("late").after(300);
    });
    (void)evaluate(*view, R"(
        window.events = [];
        addEventListener('beforeunload', () => events.push('beforeunload'));
        fetch('/slow-data').then(r => r.text()).then(t => events.push(t), () => events.push('failed'));
        const link = document.createElement('a');
        link.href = '/refused-click';
        document.body.appendChild(link);
        link.click(); 0)");
    const auto click = decisionFor("/refused-click");
    EXPECT_EQ(click.targetsMainFrame, true);
    EXPECT_EQ(click.type, NavigationType::linkClicked);
    // Decided before the engine began the navigation: nothing of the page
    // stopped.
    ASSERT_TRUE(waitFor([&] { return evaluate(*view, "events.length") == core::Value(1); }));
    EXPECT_EQ(evaluate(*view, "events"), core::Value(core::Array{"late"}));
    EXPECT_TRUE(server.requestsTo("/refused-click").empty());
    EXPECT_TRUE(delegate->events.empty());

    (void)evaluate(*view, "const next = document.createElement('a'); next.href = '/next';"
                          "document.body.appendChild(next); next.click(); 0");
    EXPECT_EQ(decisionFor("/next").targetsMainFrame, true);
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") == 1; }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(server.url("/next").absoluteString()));
}

TEST_P(WebViewNavigationService, WindowOpenAsksAndOpensNothing) {
    EXPECT_EQ(evaluate(*view, "String(window.open('/popup-refused'))"), core::Value("null"));
    const auto popup = decisionFor("/popup-refused");
    EXPECT_TRUE(popup.opensNewWindow);
    EXPECT_EQ(popup.targetsMainFrame, true);
    syncWithServer();
    EXPECT_TRUE(server.requestsTo("/popup-refused").empty());
    EXPECT_TRUE(delegate->events.empty());
}

TEST_P(WebViewNavigationService, MessageURLsAreDecidedBeforeTheEngineLoadsAnything) {
    (void)evaluate(*view, R"(fetch('/slow-data').then(r => r.text()).then(t => window.got = t);
                            location.href = 'dmsg://note/x?a=1'; 0)");
    const auto message = decisionFor("dmsg://note/x?a=1");
    EXPECT_FALSE(message.targetsMainFrame.has_value());
    EXPECT_FALSE(message.mainDocumentURL.has_value());
    // Refused before the engine began anything: the page's fetch goes on.
    ASSERT_TRUE(waitFor([&] { return evaluate(*view, "window.got || ''") == core::Value("{}"); }));
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(pageURL));
}

// URLs the engine keeps with spaces (what follows "tel:", "mailto:" or
// "data:") reach the delegate as the engine has them, each space escaped,
// whether a link or a location change starts them.
TEST_P(WebViewNavigationService, URLsTheEngineKeepsWithSpacesAreAskedAboutEscaped) {
    delegate->decide = [](const web::NavigationAction& action) {
        return action.request.url().isHTTPorHTTPS();
    };
    const std::pair<std::string, std::string> cases[] = {
        {"tel:+1 555 0100", "tel:+1%20555%200100"},
        {"mailto:Ann Lee <ann@example.com>", "mailto:Ann%20Lee%20<ann@example.com>"},
        {"data:text/html,<p>a b</p>", "data:text/html,<p>a%20b</p>"}};
    for (const auto& [written, asked] : cases) {
        const std::string quoted = core::JSON::write(core::Value(written)).value();
        for (const bool link : {true, false}) {
            SCOPED_TRACE(written + (link ? " by a link" : " by location"));
            delegate->navigations.clear();
            (void)evaluate(*view,
                           link ? "{ const a = document.createElement('a'); a.href = " + quoted +
                                      "; document.body.appendChild(a); a.click(); } 0"
                                : "location.href = " + quoted + "; 0");
            ASSERT_TRUE(waitFor([&] { return !delegate->navigations.empty(); }));
            EXPECT_EQ(delegate->navigations.front().request.url().absoluteString(), asked);
            EXPECT_EQ(delegate->navigations.front().type,
                      link ? NavigationType::linkClicked : NavigationType::other);
        }
    }
    EXPECT_EQ(evaluate(*view, "location.href"), core::Value(pageURL));
    EXPECT_TRUE(delegate->events.empty());
}

// window.open() is bounded as every navigation the page starts: a URL over
// the view's bound, by a byte, is refused and logged, and its delegate never
// hears of it; one of the bound's length is asked about.
TEST_P(WebViewNavigationService, WindowOpenOverTheViewsBoundIsRefusedUnread) {
    constexpr size_t kBound = 1 << 20;
    web::WebViewConfiguration configuration = configurationOf(GetParam());
    configuration.maximumNavigationURLBytes = kBound;
    const auto bounded = makeView(delegate, configuration);
    ASSERT_TRUE(bounded);
    ASSERT_TRUE(loadAndWait(*bounded, *delegate, server.url("/page.html")));
    delegate->navigations.clear();
    core::Console::Capture log;
    // "dmsg://x/big?d=" and the rest: one byte over the bound, then at it.
    EXPECT_EQ(evaluate(*bounded, "String(window.open('dmsg://x/big?d=' + 'z'.repeat(" +
                                     std::to_string(kBound - 14) + ")))"),
              core::Value("null"));
    (void)evaluate(*bounded, "window.open('dmsg://x/big?d=' + 'z'.repeat(" +
                                 std::to_string(kBound - 15) + ")); 0");
    (void)evaluate(*bounded, "window.open('/popup-after'); 0");
    (void)decisionFor("/popup-after");
    ASSERT_EQ(delegate->navigations.size(), 2u);
    EXPECT_EQ(delegate->navigations.front().request.url().absoluteString().size(), kBound);
    const std::string refusal = "a navigation to a URL of " + std::to_string(kBound + 1) +
                                " bytes (dmsg:...) was refused: more than " +
                                std::to_string(kBound);
    const auto lines = log.lines();
    EXPECT_EQ(std::count_if(
                  lines.begin(), lines.end(),
                  [&](const std::string& line) { return line.find(refusal) != std::string::npos; }),
              1)
        << testing::PrintToString(lines);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewNavigationService, testing::ValuesIn(kKinds), kindName);

}  // namespace
