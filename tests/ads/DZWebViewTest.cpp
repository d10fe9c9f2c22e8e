// The web view layer: which kind a configuration gives, the books kept of
// issued loads, the stuck-load poll, the engine's events as each kind
// reads them (the WebKit kind's decisions included), and pages fitted to
// the view's width.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "ads/web/view/DZUIKitWebView.h"
#include "ads/web/view/DZWebKitWebView.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"

namespace {

using namespace adwebtesting;
using ads::DZWebViewClass;
using ads::DZWebViewConfiguration;

constexpr std::string_view kClassKey = DZWebViewConfiguration::kWebViewClassKey;

// A web view without an engine view: it only keeps its books.
class BookkeepingWebView : public ads::DZWebView {
public:
    BookkeepingWebView() : DZWebView({0, 0, 320, 50}, {}) {}
    [[nodiscard]] bool contentSizeUpdatesSynchronously() const override { return true; }

protected:
    bool engineShouldStartLoad(const web::NavigationAction&) override { return true; }
};

core::URLRequest requestFor(const std::string& url) {
    return core::URLRequest(*core::URL::create(url));
}

// 980 CSS pixels wide, without a viewport tag.
constexpr const char* kWidePage =
    "<html><body style='margin:0'><div style='width:980px;height:60px'>wide</div></body></html>";
// As wide as its view.
constexpr const char* kNarrowPage = "<html><body style='margin:0'><p>narrow</p></body></html>";

// The width the page is laid out at and its content's width, in its CSS
// pixels.
std::pair<double, double> pageWidths(ads::DZWebView& view) {
    const core::Value widths =
        evaluate(view, "[window.innerWidth, document.documentElement.scrollWidth]");
    return {widths[size_t(0)].doubleValue(), widths[size_t(1)].doubleValue()};
}

// Waits until the page is laid out at that width: the engine takes a new
// size or zoom in its own time.
[[nodiscard]] bool laidOutAt(ads::DZWebView& view, double width) {
    struct Asking {
        std::optional<double> seen;
        bool waiting = false;
    };
    const auto asking = std::make_shared<Asking>();
    return waitFor([&] {
        if (asking->seen == width) return true;
        if (!asking->waiting) {
            asking->waiting = true;
            view.webView()->evaluateJavaScript("window.innerWidth", [asking](web::JSResult result) {
                asking->seen = result.value().doubleValue();
                asking->waiting = false;
            });
        }
        return false;
    });
}

// Loads the HTML and waits for its finish and, when given, for the zoom.
[[nodiscard]] bool loadAndWait(ads::DZWebView& view, RecordingWebViewDelegate& delegate,
                               const std::string& html, const core::URL& base,
                               const std::function<bool(double)>& zoom = {}) {
    delegate.events.clear();
    view.loadHTMLString(html, base);
    return waitFor([&] {
        return !delegate.events.empty() && delegate.events.back() == "finish" &&
               (!zoom || zoom(view.webView()->zoomLevel()));
    });
}

TEST(DZWebViewTest, TheKindComesFromTheClassKeyAndTheSwitch) {
    ConstantsScope constants;
    EXPECT_EQ(DZWebViewConfiguration().webViewClassKey(), "ui");
    struct Case {
        core::Value stored;
        std::string key;
        DZWebViewClass kind;
    };
    const Case cases[] = {
        {core::Value("wk"), "wk", DZWebViewClass::WebKit},
        {core::Value("WK"), "WK", DZWebViewClass::UIKit},
        {core::Value("ui"), "ui", DZWebViewClass::UIKit},
        {core::Value("other"), "other", DZWebViewClass::UIKit},
        {core::Value(""), "ui", DZWebViewClass::UIKit},
        {core::Value(1), "ui", DZWebViewClass::UIKit},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.stored.stringValue());
        constants.set(kClassKey, test.stored);
        const DZWebViewConfiguration configuration;
        EXPECT_EQ(configuration.webViewClassKey(), test.key);
        EXPECT_EQ(ads::DZWebViewClassForConfiguration(configuration), test.kind);
    }

    constants.set(kClassKey, "wk");
    ads::DZWebKitWebView::setAvailable(false);
    EXPECT_EQ(ads::DZWebViewClassForConfiguration({}), DZWebViewClass::UIKit);
    EXPECT_EQ(ads::DZWebKitWebView::create({0, 0, 10, 10}), nullptr);
    ads::DZWebKitWebView::setAvailable(true);
    EXPECT_EQ(ads::DZWebViewClassForConfiguration({}), DZWebViewClass::WebKit);
}

// The engine's own refusals keep the engine's domain; the URL layer's
// failures are network errors.
TEST(DZWebViewTest, LoadErrorsKeepTheDomainOfWhoFailedThem) {
    for (const long code : {web::LoadError::kCannotShowURL, web::LoadError::kInterruptedByPolicy,
                            web::LoadError::kCannotUseRestrictedPort}) {
        const ads::Error error = ads::DZErrorFromLoadError({code, "refused", "http://h:9/", true});
        EXPECT_EQ(error.domain, "web.engine") << code;
        EXPECT_EQ(error.code, code);
        EXPECT_EQ(error.failingURLString, "http://h:9/");
    }
    EXPECT_EQ(ads::DZErrorFromLoadError({-1004, "no", "http://h/", true}).domain, "core.network");
}

TEST(DZWebViewTest, DefaultsComeFromTheServerAndCopiesKeepTheirValues) {
    ConstantsScope constants;
    EXPECT_FALSE(DZWebViewConfiguration().mediaPlaybackRequiresUserAction());
    constants.set(DZWebViewConfiguration::kPreventAutoplayKey, "1");
    DZWebViewConfiguration configuration;
    EXPECT_TRUE(configuration.mediaPlaybackRequiresUserAction());
    EXPECT_FALSE(configuration.scalesPageToFit());
    EXPECT_EQ(configuration.dataDetectorType(), 0u);
    configuration.setScalesPageToFit(true);
    configuration.setWebViewClassKey("wk");
    constants.set(DZWebViewConfiguration::kPreventAutoplayKey, "0");
    const DZWebViewConfiguration copy = configuration;
    EXPECT_TRUE(copy.mediaPlaybackRequiresUserAction());
    EXPECT_TRUE(copy.scalesPageToFit());
    EXPECT_EQ(copy.webViewClassKey(), "wk");
}

TEST(DZWebViewTest, IssuedLoadsBecomeCurrentWhenAllowed) {
    const auto view = std::make_shared<BookkeepingWebView>();
    const auto delegate = std::make_shared<RecordingWebViewDelegate>();
    view->setDelegate(delegate);

    // One trailing "/" does not count.
    view->loadRequest(requestFor("http://h/p/"));
    EXPECT_EQ(view->pendingRequestURLStrings(), std::set<std::string>{"http://h/p"});
    view->didMakeLoadDecision(true, requestFor("http://h/p"));
    EXPECT_EQ(view->currentRequestURLString(), "http://h/p");
    EXPECT_TRUE(view->pendingRequestURLStrings().empty());

    // The page's own navigations never become current; a refused one that
    // was never issued ends the current load.
    view->didMakeLoadDecision(true, requestFor("http://h/frame"));
    EXPECT_EQ(view->currentRequestURLString(), "http://h/p");
    view->didMakeLoadDecision(false, requestFor("dmsg://h/open"));
    EXPECT_EQ(view->currentRequestURLString(), std::nullopt);

    // A refused issued load leaves the current one and is no longer pending.
    view->loadHTMLString("<p>", core::URL::create("http://h/q"));
    view->didMakeLoadDecision(true, requestFor("http://h/q"));
    view->loadRequest(requestFor("http://h/r"));
    view->didMakeLoadDecision(false, requestFor("http://h/r"));
    EXPECT_EQ(view->currentRequestURLString(), "http://h/q");
    EXPECT_TRUE(view->pendingRequestURLStrings().empty());

    // Missing HTML issues nothing; a missing base URL is not tracked.
    view->loadHTMLString(std::nullopt, core::URL::create("http://h/s"));
    view->loadHTMLString("<p>", std::nullopt);
    EXPECT_TRUE(view->pendingRequestURLStrings().empty());

    view->stopLoading();
    EXPECT_EQ(view->currentRequestURLString(), std::nullopt);
    view->loadRequest(requestFor("http://h/t"));
    view->didMakeLoadDecision(true, requestFor("http://h/t"));
    view->didFailLoadWithError(ads::DZErrorWithCode(2));
    EXPECT_EQ(view->currentRequestURLString(), std::nullopt);
    EXPECT_EQ(delegate->events, std::vector<std::string>{"fail 2"});
}

// A load of a URL the engine writes otherwise (braces escaped, dot segments
// resolved) is still the one issued when its decision comes, under the
// engine's URL.
TEST(DZWebViewTest, AnIssuedLoadIsKnownByItsURLAsTheEngineWritesIt) {
    const auto view = ads::DZUIKitWebView::create({0, 0, 320, 50});
    ASSERT_TRUE(view);
    // The UI kind decides at once; nothing answers there.
    view->loadRequest(core::URLRequest(*core::URL::createFromWeb("http://127.0.0.1:9/a/./{b}")));
    EXPECT_EQ(view->currentRequestURLString().value_or("(none)"), "http://127.0.0.1:9/a/%7Bb%7D");
    EXPECT_TRUE(view->pendingRequestURLStrings().empty());
    view->stopLoading();
}

TEST(DZWebViewTest, ContentSizeChangesWithoutRepeatsAndAFreshStartAfterEachFinish) {
    const auto view = ads::DZUIKitWebView::create({0, 0, 320, 50});
    ASSERT_TRUE(view);
    const auto delegate = std::make_shared<RecordingWebViewDelegate>();
    view->setDelegate(delegate);
    view->setContentSizeDelegate(delegate);
    web::WebView& engineView = *view->webView();
    const auto engine = engineView.delegate();
    ASSERT_TRUE(engine);

    engine->contentSizeDidChange(engineView, {320, 50});
    engine->contentSizeDidChange(engineView, {320, 50});
    engine->contentSizeDidChange(engineView, {320, 90});
    EXPECT_EQ(view->lastContentSize(), (gfx::Size{320, 90}));
    engine->didFinishLoad(engineView);
    EXPECT_EQ(view->lastContentSize(), (gfx::Size{}));
    engine->contentSizeDidChange(engineView, {320, 90});
    EXPECT_EQ(delegate->sizes, (std::vector<gfx::Size>{{320, 50}, {320, 90}, {320, 90}}));
}

TEST(DZWebViewTest, EngineEventsAsEachKindReadsThem) {
    const auto delegate = std::make_shared<RecordingWebViewDelegate>();
    const auto webKit = ads::DZWebKitWebView::create({0, 0, 320, 50});
    const auto uiKit = ads::DZUIKitWebView::create({0, 0, 320, 50});
    ASSERT_TRUE(webKit && uiKit);
    for (const auto& view : std::vector<std::shared_ptr<ads::DZWebView>>{webKit, uiKit}) {
        view->setDelegate(delegate);
        web::WebView& engineView = *view->webView();
        const auto engine = engineView.delegate();
        const bool isWebKit = view == webKit;
        SCOPED_TRACE(isWebKit ? "WK" : "UI");
        delegate->decisions.clear();
        delegate->events.clear();

        // The warm-up page is refused by the WebKit kind without asking.
        web::NavigationAction warmUp(requestFor("file://dz_wk_initialization_url/"));
        EXPECT_EQ(engine->shouldStartLoad(engineView, warmUp), !isWebKit);
        EXPECT_EQ(delegate->decisions.size(), isWebKit ? 0u : 1u);
        delegate->decisions.clear();

        web::NavigationAction click(requestFor("http://h/click"));
        click.type = web::NavigationType::linkClicked;
        delegate->decide = [](const core::URLRequest&) { return false; };
        EXPECT_FALSE(engine->shouldStartLoad(engineView, click));
        delegate->decide = {};
        EXPECT_TRUE(
            engine->shouldStartLoad(engineView, web::NavigationAction(requestFor("http://h/o"))));

        // window.open asks the delegate and opens nothing, even when allowed.
        web::NavigationAction open(requestFor("http://h/new"));
        open.opensNewWindow = true;
        EXPECT_FALSE(engine->shouldStartLoad(engineView, open));
        EXPECT_EQ(delegate->decisions,
                  (std::vector<std::string>{"0 http://h/click", "5 http://h/o", "5 http://h/new"}));

        // The WebKit kind's load starts when the page commits.
        engine->didStartLoad(engineView);
        engine->didCommitLoad(engineView);
        EXPECT_EQ(delegate->events, std::vector<std::string>{"start"});

        web::LoadError failure{-1003, "no host", "http://h/gone", true};
        engine->didFailLoad(engineView, failure);
        failure.code = web::LoadError::kInterruptedByPolicy;
        engine->didFailLoad(engineView, failure);
        ASSERT_EQ(delegate->errors.size(), 2u);
        EXPECT_EQ(delegate->errors[0].domain, "core.network");
        EXPECT_EQ(delegate->errors[0].failingURLString, "http://h/gone");
        EXPECT_EQ(delegate->errors[1].domain, "web.engine");
        delegate->errors.clear();

        engine->runJavaScriptAlert(engineView, "h", "hello", [] {});
        ASSERT_FALSE(delegate->alerts.empty());
        EXPECT_EQ(delegate->alerts.back(), "h|hello");
    }
}

TEST(DZWebViewTest, ALoadThatStopsUnheardIsReportedOnceAtThePollsNextTick) {
    testsupport::ManualClockScope clock;
    ConstantsScope constants;
    constants.set(ads::DZWebView::kRequestPollIntervalKey, "2");
    fixtures::LoopbackServer server;
    const core::URL page = server.url("/stuck/");
    const auto view = ads::DZUIKitWebView::create({0, 0, 320, 50});
    ASSERT_TRUE(view);
    ASSERT_TRUE(view->scheduler());
    const auto delegate = std::make_shared<RecordingWebViewDelegate>();
    view->setDelegate(delegate);
    // The engine's view goes deaf once the load is allowed: it finishes,
    // and nobody hears of it.
    delegate->decide = [&](const core::URLRequest&) {
        view->webView()->setDelegate({});
        return true;
    };
    view->loadHTMLString("<p>stuck</p>", page);
    ASSERT_TRUE(
        waitFor([&] { return !delegate->decisions.empty() && !view->webView()->isLoading(); }));
    EXPECT_EQ(view->currentRequestURLString(), server.url("/stuck").absoluteString());

    for (int tick = 0; tick < 3; ++tick) {
        clock.advance(2);
        ASSERT_TRUE(drainMainQueue());
    }
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0].domain, "core.network");
    EXPECT_EQ(delegate->errors[0].code, -1009);
    EXPECT_EQ(delegate->errors[0].failingURLString, server.url("/stuck").absoluteString());
    EXPECT_EQ(view->currentRequestURLString(), std::nullopt);
}

TEST(DZWebViewTest, WithoutAUsablePollIntervalThereIsNoPoll) {
    testsupport::ManualClockScope clock;
    ConstantsScope constants;
    for (const char* interval : {"", "0", "-1", "nan", "1e400", "7200"}) {
        SCOPED_TRACE(interval);
        constants.set(ads::DZWebView::kRequestPollIntervalKey, interval);
        const auto view = ads::DZUIKitWebView::create({0, 0, 320, 50});
        ASSERT_TRUE(view);
        EXPECT_EQ(view->scheduler(), nullptr);
    }
}

TEST(DZWebViewTest, TheWarmUpLoadIsRefusedAndNeverReachesTheDelegate) {
    ConstantsScope constants;
    constants.set(ads::DZWebKitWebView::kInitializationLoadKey, "YES");
    fixtures::LoopbackServer server;
    const auto view = ads::DZWebKitWebView::create({0, 0, 320, 50});
    ASSERT_TRUE(view);
    const auto delegate = std::make_shared<RecordingWebViewDelegate>();
    view->setDelegate(delegate);
    // The engine decides in order: the warm-up page before this one.
    view->loadHTMLString("<p>ad</p>", server.url("/ad"));
    ASSERT_TRUE(
        waitFor([&] { return !delegate->events.empty() && delegate->events.back() == "finish"; }));
    EXPECT_EQ(delegate->decisions,
              std::vector<std::string>{"5 " + server.url("/ad").absoluteString()});
    EXPECT_EQ(view->URL(), server.url("/ad"));
}

TEST(DZWebViewTest, AWidePageIsFittedToTheWidthAnewForEachDocumentAndEachWidth) {
    fixtures::LoopbackServer server;
    const core::URL base = server.url("/page");
    DZWebViewConfiguration fitting;
    fitting.setScalesPageToFit(true);
    for (const auto kind : {DZWebViewClass::UIKit, DZWebViewClass::WebKit}) {
        SCOPED_TRACE(kind == DZWebViewClass::UIKit ? "UI" : "WK");
        const auto delegate = std::make_shared<RecordingWebViewDelegate>();
        // Without the switch a wide page overflows a 375-point view.
        const auto plain = ads::DZWebView::create(kind, {0, 0, 375, 667});
        ASSERT_TRUE(plain);
        plain->setDelegate(delegate);
        ASSERT_TRUE(loadAndWait(*plain, *delegate, kWidePage, base));
        EXPECT_EQ(plain->webView()->zoomLevel(), 1);
        EXPECT_EQ(pageWidths(*plain), std::make_pair(375.0, 980.0));

        const auto view = ads::DZWebView::create(kind, {0, 0, 375, 667}, fitting);
        ASSERT_TRUE(view);
        view->setDelegate(delegate);
        ASSERT_TRUE(loadAndWait(*view, *delegate, kWidePage, base, [](double z) { return z < 1; }));
        EXPECT_NEAR(view->webView()->zoomLevel(), 375.0 / 980, 1e-6);
        EXPECT_EQ(pageWidths(*view), std::make_pair(980.0, 980.0));

        // Turned, the view fits the same page at its new width.
        view->setFrame({0, 0, 490, 375});
        view->layoutIfNeeded();
        EXPECT_NEAR(view->webView()->zoomLevel(), 0.5, 1e-6);
        ASSERT_TRUE(laidOutAt(*view, 980));
        EXPECT_EQ(pageWidths(*view), std::make_pair(980.0, 980.0));

        // A page that fits starts again at zoom 1, and a wide one after it
        // is fitted again.
        ASSERT_TRUE(loadAndWait(*view, *delegate, kNarrowPage, base));
        ASSERT_TRUE(laidOutAt(*view, 490));
        EXPECT_EQ(view->webView()->zoomLevel(), 1);
        EXPECT_EQ(pageWidths(*view), std::make_pair(490.0, 490.0));
        ASSERT_TRUE(loadAndWait(*view, *delegate, kWidePage, base, [](double z) { return z < 1; }));
        EXPECT_NEAR(view->webView()->zoomLevel(), 0.5, 0.01);
        ASSERT_TRUE(laidOutAt(*view, 980));
    }
}

}  // namespace
