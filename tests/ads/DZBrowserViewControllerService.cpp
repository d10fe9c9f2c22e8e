// The SDK's in-app browser against the local ad server: the referrer it
// sends, a page asked for before the view exists, the toolbar while a slow
// page loads, the toolbar's height, wide pages fitted to its width, the
// landing-page statistics of links opened in it, Back and Forward with
// either kind of web view (through links, through a page's own entries, and
// to a form's POST), and its Done button.

#include "ads/presentation/browser/DZBrowserViewController.h"

#include <gtest/gtest.h>

#include "HandlerTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZWebViewConfiguration.h"
#include "ads/web/view/DZWebKitWebView.h"
#include "fixtures/AdServer.h"
#include "fixtures/ResponseGate.h"
#include "store/URLOpener.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/Application.h"
#include "ui/Toolbar.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

namespace {

using namespace handlertesting;
using ads::DZBrowserViewController;

class DZBrowserViewControllerService : public testing::Test {
protected:
    void SetUp() override {
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        ASSERT_TRUE(drainMainQueue());
    }
    void TearDown() override {
        if (root->presentedViewController()) {
            bool gone = false;
            root->dismissViewController(false, [&] { gone = true; });
            ASSERT_TRUE(waitFor([&] { return gone; }));
        }
    }
    std::shared_ptr<DZBrowserViewController>
    present(const std::function<void(DZBrowserViewController&)>& before = {}) {
        auto browser = std::make_shared<DZBrowserViewController>();
        if (before) before(*browser);
        root->presentViewController(browser, false);
        EXPECT_TRUE(drainMainQueue());
        return browser;
    }
    [[nodiscard]] static std::vector<std::string> labels(const ui::Toolbar& toolbar) {
        std::vector<std::string> names;
        for (const auto& item : toolbar.items())
            if (!item->isFlexibleSpace()) names.push_back(item->accessibilityLabel());
        return names;
    }

    fixtures::AdServer server;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ViewController> root;
};

TEST_F(DZBrowserViewControllerService, APageAskedForEarlyLoadsOnFirstShowWithTheHostAsReferer) {
    server.serve("/echo", fixtures::LoopbackResponse::text("<html><body>landing</body></html>", 200,
                                                           "text/html; charset=utf-8"));
    const auto page = core::URL::create(server.urlString("/echo"));
    auto browser = std::make_shared<DZBrowserViewController>();
    browser->load(page, core::URL::create("https://publisher.test/articles/1?ref=feed#top"));
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(server.requestsTo("/echo").empty()) << "no view yet";
    EXPECT_EQ(browser->URLToLoad(), page);

    root->presentViewController(browser, false);
    ASSERT_TRUE(waitFor([&] { return !server.requestsTo("/echo").empty(); }));
    EXPECT_EQ(server.requestsTo("/echo")[0].headers.value("Referer"), "publisher.test");
    EXPECT_FALSE(browser->URLToLoad());
}

TEST_F(DZBrowserViewControllerService, ASlowPageShowsTheSpinnerAndDisablesTheSystemBrowser) {
    const auto gate = fixtures::ResponseGate::make();
    auto slow = fixtures::LoopbackResponse::text("<html><body>slow</body></html>", 200,
                                                 "text/html; charset=utf-8");
    slow.hold = gate;
    server.serve("/slow", slow);
    const auto browser = present();
    ASSERT_TRUE(browser->toolbar());
    EXPECT_EQ(labels(*browser->toolbar()),
              (std::vector<std::string>{"Back", "Forward", "Reload", "View in Safari", "Done"}));

    browser->load(core::URL::create(server.urlString("/slow")), std::nullopt);
    ASSERT_TRUE(waitFor([&] { return !server.requestsTo("/slow").empty(); }));
    ASSERT_TRUE(waitFor([&] { return browser->spinner()->isAnimating(); }));
    EXPECT_EQ(labels(*browser->toolbar()),
              (std::vector<std::string>{"Back", "Forward", "Spinner", "View in Safari", "Done"}));
    EXPECT_FALSE(browser->safariButton()->isEnabled());
    EXPECT_FALSE(browser->backButton()->isEnabled());

    gate->release();
    ASSERT_TRUE(waitFor([&] { return !browser->spinner()->isAnimating(); }));
    ASSERT_GT(labels(*browser->toolbar()).size(), 2u);
    EXPECT_EQ(labels(*browser->toolbar())[2], "Reload");
    EXPECT_TRUE(browser->safariButton()->isEnabled());
}

TEST_F(DZBrowserViewControllerService, ToolbarHeightFollowsIdiomAndOrientation) {
    {
        OrientationScope landscape(3);
        const auto browser = present();
        EXPECT_EQ(browser->toolbar()->frame().height(),
                  DZBrowserViewController::kLandscapePhoneToolbarHeight);
        EXPECT_EQ(browser->toolbar()->frame().maxY(), browser->view()->bounds().height() + 1);
        TearDown();
    }
    ui::DeviceProfile pad = ui::DeviceProfile::current();
    pad.idiom = ui::UserInterfaceIdiom::Pad;
    pad.interfaceOrientation = 3;
    testsupport::DeviceProfileOverride tablet(pad);
    const auto browser = present();
    EXPECT_EQ(browser->toolbar()->frame().height(), DZBrowserViewController::kToolbarHeight);
}

TEST_F(DZBrowserViewControllerService, APageWiderThanTheBrowserFitsItsWidthInEitherKind) {
    // 980 CSS pixels wide, without a viewport tag.
    server.serve("/wide", fixtures::LoopbackResponse::text(
                              "<html><body style='margin:0'><div style='width:980px;height:80px'>"
                              "wide</div></body></html>",
                              200, "text/html; charset=utf-8"));
    adwebtesting::ConstantsScope constants;
    for (const char* kind : {"ui", "wk"}) {
        SCOPED_TRACE(kind);
        constants.set(ads::DZWebViewConfiguration::kWebViewClassKey, kind);
        const auto browser = present([&](DZBrowserViewController& b) {
            b.load(core::URL::create(server.urlString("/wide")), std::nullopt);
        });
        const auto& webView = browser->adView()->webView();
        EXPECT_EQ(std::dynamic_pointer_cast<ads::DZWebKitWebView>(webView) != nullptr,
                  std::string(kind) == "wk");
        ASSERT_TRUE(waitFor([&] {
            const auto url = webView->URL();
            return url && url->path() == "/wide" && !webView->isLoading() &&
                   webView->webView()->zoomLevel() < 1;
        }));
        const double width = webView->bounds().width();
        EXPECT_EQ(width, 375);
        // The page is laid out as wide as its content, and that width fills
        // the browser's.
        const core::Value seen = adwebtesting::evaluate(
            *webView, "[window.innerWidth, document.documentElement.scrollWidth]");
        const double layout = seen[size_t(0)].doubleValue();
        EXPECT_NEAR(layout, 980, 1);
        EXPECT_LE(seen[size_t(1)].doubleValue(), layout);
        EXPECT_NEAR(layout * webView->webView()->zoomLevel(), width, 1);
        TearDown();
    }
}

TEST_F(DZBrowserViewControllerService, OnlyLinksTheUserFollowsCountAsLandingPages) {
    SlotPage ad;
    ASSERT_TRUE(ad.slot && ad.load());
    const auto statistics = ad.slot->ad()->statistics();
    server.serve("/links", fixtures::LoopbackResponse::text("<html><body><a id='s' href='" +
                                                                server.secureBaseURL() + "/next" +
                                                                "'>next</a></body></html>",
                                                            200, "text/html; charset=utf-8"));
    const auto browser = present([&](DZBrowserViewController& b) {
        b.setSlot(ad.slot);
        b.load(core::URL::create(server.urlString("/links")), std::nullopt);
    });
    ASSERT_TRUE(waitFor(
        [&] { return !statistics->objectForKeyedSubscript("tlanding_page_load_end").isNull(); }));
    EXPECT_FALSE(statistics->objectForKeyedSubscript("tlanding_page_load_start").isNull());
    EXPECT_TRUE(statistics->objectForKeyedSubscript("plpnc").isNull());
    EXPECT_TRUE(statistics->objectForKeyedSubscript("plpsnc").isNull());

    (void)adwebtesting::evaluate(*browser->adView()->webView(),
                                 "document.getElementById('s').click(); true");
    ASSERT_TRUE(waitFor([&] { return !statistics->objectForKeyedSubscript("plpsnc").isNull(); }));
    EXPECT_EQ(statistics->objectForKeyedSubscript("plpsnc").intValue(), 1);
    EXPECT_TRUE(statistics->objectForKeyedSubscript("plpnc").isNull());
}

TEST_F(DZBrowserViewControllerService, AFormSentCountsAsALandingPageAndTheSystemBrowserAsLeaving) {
    SlotPage ad;
    ASSERT_TRUE(ad.slot && ad.load());
    const auto statistics = ad.slot->ad()->statistics();
    const std::string html = "text/html; charset=utf-8";
    server.serve("/form", fixtures::LoopbackResponse::text(
                              "<html><body><form action='" + server.urlString("/sent") +
                                  "' method='get'><input name='q' value='v'>"
                                  "<input type='submit' id='go'></form></body></html>",
                              200, html));
    server.serve("/sent", fixtures::LoopbackResponse::text("<html><body>sent</body></html>", 200,
                                                           html));
    const auto browser = present([&](DZBrowserViewController& b) {
        b.setSlot(ad.slot);
        b.load(core::URL::create(server.urlString("/form")), std::nullopt);
    });
    const auto at = [&](const char* path) {
        return waitFor([&] {
            const auto url = browser->adView()->URL();
            return url && url->path() == path && !browser->adView()->isLoading();
        });
    };
    ASSERT_TRUE(at("/form"));
    EXPECT_FALSE(browser->backButton()->isEnabled());

    (void)adwebtesting::evaluate(*browser->adView()->webView(),
                                 "document.getElementById('go').click(); true");
    ASSERT_TRUE(at("/sent"));
    EXPECT_EQ(server.requestsTo("/sent").at(0).queryValue("q"), "v");
    ASSERT_TRUE(waitFor([&] { return !statistics->objectForKeyedSubscript("plpnc").isNull(); }));
    EXPECT_EQ(statistics->objectForKeyedSubscript("plpnc").intValue(), 1) << "sent over http";
    EXPECT_TRUE(statistics->objectForKeyedSubscript("plpsnc").isNull());

    // The page in the system browser: the user left for it.
    store::URLOpener::shared().clearForTesting();
    EXPECT_TRUE(statistics->objectForKeyedSubscript("pcbo").isNull());
    browser->openInSafari();
    ASSERT_TRUE(waitFor([&] { return !store::URLOpener::shared().requests().empty(); }));
    EXPECT_EQ(store::URLOpener::shared().requests()[0].url.path(), "/sent");
    EXPECT_EQ(statistics->objectForKeyedSubscript("pcbo"), core::Value(true));
    store::URLOpener::shared().clearForTesting();
}

// Back and Forward with each kind of web view the server may name.
class DZBrowserViewControllerHistoryService : public DZBrowserViewControllerService,
                                              public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        constants.set(ads::DZWebViewConfiguration::kWebViewClassKey, GetParam());
        DZBrowserViewControllerService::SetUp();
    }
    adwebtesting::ConstantsScope constants;
};

TEST_P(DZBrowserViewControllerHistoryService, BackAndForwardFollowTheLinksTaken) {
    const std::string html = "text/html; charset=utf-8";
    server.serve("/a", fixtures::LoopbackResponse::text(
                           "<html><body style='margin:0'><a href='/b' style='display:block;"
                           "height:300px'>A</a></body></html>",
                           200, html));
    server.serve("/b", fixtures::LoopbackResponse::text("<html><body>B</body></html>", 200, html));
    const auto browser = present([&](DZBrowserViewController& b) {
        b.load(core::URL::create(server.urlString("/a")), std::nullopt);
    });
    const auto webView = [&] { return browser->adView()->webView()->webView(); };
    // Shows path's page, loaded: the URL can change before its load begins.
    const auto at = [&](const char* path, const char* text) {
        return waitFor([&] {
            const auto url = browser->adView()->URL();
            return url && url->path() == path && !browser->adView()->isLoading() &&
                   adwebtesting::evaluate(*browser->adView()->webView(),
                                          "document.body.textContent") == core::Value(text);
        });
    };
    ASSERT_TRUE(at("/a", "A"));
    EXPECT_FALSE(browser->backButton()->isEnabled());
    EXPECT_FALSE(browser->forwardButton()->isEnabled());

    // (A tap before the page is drawn can miss it.)
    ASSERT_TRUE(waitFor([&] { return webView()->isRendered(); }));
    ui::TouchInjector(*window).tap(browser->adView()->convertPointTo({100, 100}, nullptr));
    ASSERT_TRUE(at("/b", "B"));
    EXPECT_TRUE(browser->backButton()->isEnabled());
    EXPECT_FALSE(browser->forwardButton()->isEnabled());

    ASSERT_TRUE(browser->backButton()->sendAction());
    ASSERT_TRUE(at("/a", "A"));
    EXPECT_FALSE(browser->backButton()->isEnabled());
    EXPECT_TRUE(browser->forwardButton()->isEnabled());

    ASSERT_TRUE(browser->forwardButton()->sendAction());
    ASSERT_TRUE(at("/b", "B"));
    EXPECT_TRUE(browser->backButton()->isEnabled());
    EXPECT_FALSE(browser->forwardButton()->isEnabled());

    // The page's own way back.
    (void)adwebtesting::evaluate(*browser->adView()->webView(), "history.back(); true");
    ASSERT_TRUE(at("/a", "A"));
    EXPECT_FALSE(browser->backButton()->isEnabled());
    EXPECT_TRUE(browser->forwardButton()->isEnabled());
}

TEST_P(DZBrowserViewControllerHistoryService, TheButtonsStepThroughAPagesOwnEntries) {
    server.serve("/spa",
                 fixtures::LoopbackResponse::text(
                     "<html><body><script>window.heard = [];"
                     "addEventListener('popstate', e => heard.push(JSON.stringify(e.state)));"
                     "</script></body></html>",
                     200, "text/html; charset=utf-8"));
    const auto browser = present([&](DZBrowserViewController& b) {
        b.load(core::URL::create(server.urlString("/spa")), std::nullopt);
    });
    const auto run = [&](const std::string& script) {
        return adwebtesting::evaluate(*browser->adView()->webView(), script);
    };
    const auto at = [&](const std::string& pathAndFragment, bool back, bool forward) {
        return waitFor([&] {
            const auto url = browser->adView()->URL();
            return url && url->absoluteString() == server.urlString(pathAndFragment) &&
                   !browser->adView()->isLoading() && browser->backButton()->isEnabled() == back &&
                   browser->forwardButton()->isEnabled() == forward;
        });
    };
    ASSERT_TRUE(at("/spa", false, false));
    // (The URL can change before the page's load begins.)
    ASSERT_TRUE(waitFor([&] { return run("Array.isArray(window.heard)") == core::Value(true); }));
    (void)run("location.hash = 'x'; 0");
    ASSERT_TRUE(at("/spa#x", true, false));
    (void)run("history.pushState({n: 1}, '', '/spa/one'); 0");
    (void)run("history.replaceState({n: 2}, '', '/spa/two'); 0");
    ASSERT_TRUE(at("/spa/two", true, false));

    ASSERT_TRUE(browser->backButton()->sendAction());
    ASSERT_TRUE(at("/spa#x", true, true));
    ASSERT_TRUE(browser->backButton()->sendAction());
    ASSERT_TRUE(at("/spa", false, true));
    ASSERT_TRUE(browser->forwardButton()->sendAction());
    ASSERT_TRUE(at("/spa#x", true, true));
    ASSERT_TRUE(browser->forwardButton()->sendAction());
    ASSERT_TRUE(at("/spa/two", true, false));
    EXPECT_EQ(run("history.state"), core::Value(core::Dictionary{{"n", 2}}));
    (void)run("history.back(); 0");
    ASSERT_TRUE(at("/spa#x", true, true));
    // Each step told the page, which was never loaded again.
    EXPECT_EQ(run("heard"),
              core::Value(core::Array{"null", "null", "null", "null", "{\"n\":2}", "null"}));
    EXPECT_EQ(server.requestsTo("/spa").size(), 1u);
    EXPECT_TRUE(server.requestsTo("/spa/two").empty());
}

TEST_P(DZBrowserViewControllerHistoryService, ALandingPagesFormPostsItsFieldsAgainOnForward) {
    const std::string html = "text/html; charset=utf-8";
    server.serve("/signup", fixtures::LoopbackResponse::text(
                                "<html><body><form id=f method=post action='/joined'>"
                                "<input name=email value='a@b.test'></form></body></html>",
                                200, html));
    server.serve("/joined",
                 fixtures::LoopbackResponse::text("<html><body>joined</body></html>", 200, html));
    const auto browser = present([&](DZBrowserViewController& b) {
        b.load(core::URL::create(server.urlString("/signup")), std::nullopt);
    });
    const auto at = [&](const char* path, bool back, bool forward) {
        return waitFor([&] {
            const auto url = browser->adView()->URL();
            return url && url->path() == path && !browser->adView()->isLoading() &&
                   browser->backButton()->isEnabled() == back &&
                   browser->forwardButton()->isEnabled() == forward;
        });
    };
    ASSERT_TRUE(at("/signup", false, false));
    // (The URL can change before the page's load begins.)
    ASSERT_TRUE(waitFor([&] {
        return adwebtesting::evaluate(*browser->adView()->webView(),
                                      "document.getElementById('f') !== null") == core::Value(true);
    }));
    (void)adwebtesting::evaluate(*browser->adView()->webView(),
                                 "document.getElementById('f').submit(); 0");
    ASSERT_TRUE(at("/joined", true, false));
    EXPECT_EQ(adwebtesting::evaluate(*browser->adView()->webView(), "document.body.textContent"),
              core::Value("joined"));
    ASSERT_TRUE(browser->backButton()->sendAction());
    ASSERT_TRUE(at("/signup", false, true));
    ASSERT_TRUE(browser->forwardButton()->sendAction());
    ASSERT_TRUE(at("/joined", true, false));
    EXPECT_EQ(adwebtesting::evaluate(*browser->adView()->webView(), "document.body.textContent"),
              core::Value("joined"));
    // (The "WK" kind may show the page it kept instead of sending it again.)
    const auto sent = server.requestsTo("/joined");
    ASSERT_FALSE(sent.empty());
    for (const auto& request : sent) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.body, "email=a%40b.test");
        EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DZBrowserViewControllerHistoryService, testing::Values("ui", "wk"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace

// Shown without a presenter, as by a plain presentation, the browser still
// leaves the screen by its Done button, and its dismissal ends once.
TEST(DZBrowserViewControllerDone, ThePlatformTakesAPlainlyPresentedBrowserAway) {
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    const auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    auto browser = std::make_shared<DZBrowserViewController>();
    int dismissals = 0;
    browser->setDismissalCompletion([&] { ++dismissals; });
    root->presentViewController(browser, false);
    ASSERT_TRUE(drainMainQueue());
    ASSERT_EQ(root->presentedViewController(), browser);
    ASSERT_TRUE(browser->doneButton()->sendAction());
    EXPECT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    EXPECT_TRUE(waitFor([&] { return dismissals == 1; }));
    EXPECT_TRUE(drainMainQueue());
    EXPECT_EQ(dismissals, 1);
    ui::Application::shared().resetForTesting();
}
