// The HTML adapter on the browser engine and the manual clock: creatives
// that stay transparent, paint at once or later, and pass back by URL or
// scheme; the bound on the length of what its page navigates to; its
// credentials' errors; and the rendered checker's share of background
// pixels.

#include <gtest/gtest.h>

#include <cmath>

#include "AdWebTesting.h"
#include "ads/core/request/DZAdSize.h"
#include "ads/mediation/adapters/DZMAdapterHTML.h"
#include "ads/mediation/adapters/DZMWebViewRenderedChecker.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/web/view/DZWebViewConfiguration.h"
#include "core/Console.h"
#include "fixtures/MediationScenarios.h"
#include "support/ManualClockScope.h"
#include "web/WebView.h"

namespace {

using ads::DZMAdapterHTML;
using adwebtesting::waitFor;

// A connector of one HTML network that keeps what its adapter reports.
class HTMLConnector : public ads::DZMAdNetworkConnectorBanner {
public:
    using DZMAdNetworkConnectorBanner::DZMAdNetworkConnectorBanner;
    static std::shared_ptr<HTMLConnector> make(core::Dictionary data) {
        const auto config = ads::DZMConfig::initWithAppKey(
            "unit",
            core::Dictionary{
                {"ad_networks",
                 core::Array{core::Dictionary{{"id", "1"},
                                              {"adapters", core::Array{"DZMAdapterHTML"}},
                                              {"data", std::move(data)}}}}},
            nullptr);
        auto connector = std::shared_ptr<HTMLConnector>(
            new HTMLConnector(config, config->adNetworkConfigs().front()));
        connector->setUpAdapter();
        return connector;
    }
    void adapterDidReceiveAdView(const ads::DZMAdNetworkAdapter*,
                                 const std::shared_ptr<ui::View>& view) override {
        views.push_back(view);
    }
    void adapterDidFailAd(const ads::DZMAdNetworkAdapter*, const ads::Error& error) override {
        failures.push_back(error);
    }
    [[nodiscard]] DZMAdapterHTML& html() const { return static_cast<DZMAdapterHTML&>(*adapter()); }

    std::vector<std::shared_ptr<ui::View>> views;
    std::vector<ads::Error> failures;
};

// A creative that shows nothing until paint() runs, and go(url) navigates.
const std::string kLatePainter =
    "<!DOCTYPE html><html><body style=\"margin:0;background:transparent\"><script>"
    "function paint() { document.body.style.background = '#2a6f97'; return true; }"
    "function go(url) { location.href = url; return true; }</script></body></html>";

class DZMAdapterHTMLTest : public testing::Test {
protected:
    // Starts a banner and waits until its page has loaded. (The blank page
    // before it has pictures too, and a web process already running shows
    // it at once: the creative's own document must be there.)
    [[nodiscard]] bool load(HTMLConnector& connector) {
        connector.html().getBannerWithSize(ads::kDZAdSizeBanner);
        const auto& view = connector.html().webView();
        if (!view) return false;
        for (int tries = 0; tries < 200; ++tries) {
            std::optional<bool> shown;
            view->evaluateJavaScript(
                "location.protocol.startsWith('http') && document.readyState == 'complete'",
                [&](web::JSResult result) { shown = result.ok() && result.value().boolValue(); });
            if (!waitFor([&] { return shown.has_value(); })) return false;
            if (*shown) break;
            (void)waitFor([] { return false; }, 0.01);
        }
        return waitFor([&] { return !view->isLoading() && view->pictureCount() > 0; });
    }
    // One tick of the rendering timer, and its check's answer.
    [[nodiscard]] bool check(HTMLConnector& connector) {
        const auto before = connector.html().renderingCheckCount();
        clock.advance(DZMAdapterHTML::kRenderingCheckInterval);
        return waitFor([&] { return connector.html().renderingCheckCount() == before + 1; });
    }
    [[nodiscard]] static bool run(HTMLConnector& connector, const std::string& script) {
        bool done = false;
        connector.html().webView()->evaluateJavaScript(script, [&](web::JSResult) { done = true; });
        return waitFor([&] { return done; });
    }

    testsupport::ManualClockScope clock;
};

TEST_F(DZMAdapterHTMLTest, ATransparentCreativeIsChecked101TimesAndLeftToTheTimeout) {
    const auto connector = HTMLConnector::make(
        {{"adxtym_html", fixtures::MediationScenarios::creative("transparent")}});
    ASSERT_TRUE(load(*connector));
    const auto& view = connector->html().webView();
    EXPECT_FALSE(view->drawsBackground());
    EXPECT_EQ(view->frame(), (gfx::Rect{0, 0, 320, 50}));
    for (int i = 0; i < 101; ++i) ASSERT_TRUE(check(*connector)) << i;
    EXPECT_FALSE(connector->html().renderingTimerArmed());
    // About 20 s of checks, then silence.
    clock.advance(5);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(connector->html().renderingCheckCount(), 101u);
    EXPECT_TRUE(connector->views.empty());
    EXPECT_TRUE(connector->failures.empty());
}

TEST_F(DZMAdapterHTMLTest, ACreativeIsDeliveredAtTheFirstCheckAfterItPaints) {
    auto connector =
        HTMLConnector::make({{"adxtym_html", fixtures::MediationScenarios::creative("paint")}});
    ASSERT_TRUE(load(*connector));
    ASSERT_TRUE(check(*connector));
    ASSERT_EQ(connector->views.size(), 1u);
    EXPECT_EQ(connector->views[0], connector->html().webView());
    EXPECT_FALSE(connector->html().renderingTimerArmed());

    connector = HTMLConnector::make({{"adxtym_html", kLatePainter}});
    ASSERT_TRUE(load(*connector));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(check(*connector));
    EXPECT_TRUE(connector->views.empty());
    ASSERT_TRUE(run(*connector, "paint()"));
    ASSERT_TRUE(check(*connector));
    EXPECT_EQ(connector->views.size(), 1u);
    EXPECT_EQ(connector->html().renderingCheckCount(), 4u);
}

TEST_F(DZMAdapterHTMLTest, EachBannerCountsItsChecksAfresh) {
    const auto connector = HTMLConnector::make({{"adxtym_html", kLatePainter}});
    ASSERT_TRUE(load(*connector));
    for (int i = 0; i < 101; ++i) ASSERT_TRUE(check(*connector));
    ASSERT_FALSE(connector->html().renderingTimerArmed());

    // The next banner of the same network gets its own 101 checks.
    ASSERT_TRUE(load(*connector));
    EXPECT_EQ(connector->html().renderingCheckCount(), 0u);
    ASSERT_TRUE(check(*connector));
    EXPECT_TRUE(connector->html().renderingTimerArmed());
    ASSERT_TRUE(run(*connector, "paint()"));
    ASSERT_TRUE(check(*connector));
    EXPECT_EQ(connector->views.size(), 1u);
}

TEST_F(DZMAdapterHTMLTest, PassbacksByURLOrSchemeAreNoFill) {
    auto connector = HTMLConnector::make(
        {{"adxtym_html", kLatePainter}, {"adxtym_passback_url", "https://pb.test/back"}});
    ASSERT_TRUE(load(*connector));
    ASSERT_TRUE(run(*connector, "go('https://pb.test/back/')"));
    ASSERT_TRUE(waitFor([&] { return !connector->failures.empty(); }));
    EXPECT_EQ(connector->failures[0].domain, ads::kDZErrorDomain);
    EXPECT_EQ(connector->failures[0].code, ads::kDZErrorNoFill);
    EXPECT_EQ(connector->failures[0].message, "Ad network returned no ad.");
    EXPECT_FALSE(connector->html().renderingTimerArmed());

    // Without a passback URL only the scheme passes back; other pages load.
    connector = HTMLConnector::make({{"adxtym_html", kLatePainter}});
    ASSERT_TRUE(load(*connector));
    ASSERT_TRUE(run(*connector, "go('passback://nothing')"));
    ASSERT_TRUE(waitFor([&] { return !connector->failures.empty(); }));
    EXPECT_EQ(connector->failures[0].code, ads::kDZErrorNoFill);
}

TEST_F(DZMAdapterHTMLTest, PassbackRequestsMatchHostAndPathExactly) {
    const auto connector = HTMLConnector::make(
        {{"adxtym_html", kLatePainter}, {"adxtym_passback_url", "https://pb.test/back/"}});
    ASSERT_TRUE(load(*connector));
    const struct {
        const char* url;
        bool passback;
    } cases[] = {
        {"https://pb.test/back", true},     {"https://pb.test/back/?x=1#f", true},
        {"http://pb.test/back", true},      {"passback://anything", true},
        {"https://PB.test/back", false},    {"https://pb.test/Back", false},
        {"https://other.test/back", false}, {"https://pb.test/back/more", false},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(
            connector->html().isPassbackRequest(core::URLRequest(*core::URL::create(entry.url))),
            entry.passback)
            << entry.url;
    }
    EXPECT_EQ(DZMAdapterHTML::stripTrailingSlashFromPath("/a//"), "/a/");
    EXPECT_TRUE(DZMAdapterHTML::isPathEquivalentToPath("", "/"));
}

// A network's page gets an ad page's bound on its messages: a navigation
// one byte over it is refused before the adapter reads it (and logged),
// and the next one still reaches the adapter. Both are passbacks, so each
// that arrives fails the banner.
TEST_F(DZMAdapterHTMLTest, ANavigationOverTheMessageBoundIsRefusedAndTheNextArrives) {
    core::Console::Capture log;
    const auto connector = HTMLConnector::make({{"adxtym_html", kLatePainter}});
    ASSERT_TRUE(load(*connector));
    const std::string prefix = "passback://big?d=";
    const size_t bytes = ads::DZWebViewConfiguration::kMaximumMessageURLBytes + 1;
    ASSERT_TRUE(run(*connector,
                    "(function () { function frame(u) { var f = document.createElement('iframe');"
                    " f.style.display = 'none'; f.src = u; document.body.appendChild(f); }"
                    " frame('" + prefix + "' + 'z'.repeat(" +
                        std::to_string(bytes - prefix.size()) +
                        ")); frame('passback://small'); })()"));
    ASSERT_TRUE(waitFor([&] { return !connector->failures.empty(); }));
    ASSERT_TRUE(waitFor([&] {
        return log.contains("a navigation to a URL of " + std::to_string(bytes) +
                            " bytes (passback:...) was refused");
    }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    ASSERT_EQ(connector->failures.size(), 1u);
    EXPECT_EQ(connector->failures[0].code, ads::kDZErrorNoFill);
}

TEST_F(DZMAdapterHTMLTest, BadCredentialsAndInterstitialsFailWithTheirCodes) {
    const struct {
        core::Dictionary data;
        long code;
        const char* message;
    } cases[] = {
        {{{"adxtym_html", "<p>x</p>"}, {"adxtym_passback_url", ""}},
         2,
         "Empty passback URL in TYM response."},
        {{{"adxtym_html", "<p>x</p>"}, {"adxtym_passback_url", "not a url"}},
         2,
         "Invalid passback URL in TYM response."},
        {{{"adxtym_passback_url", "https://pb.test/"}}, 2, "Missing HTML in TYM response."},
        {{{"adxtym_html", ""}}, 2, "Missing HTML in TYM response."},
    };
    for (const auto& entry : cases) {
        const auto connector = HTMLConnector::make(entry.data);
        connector->html().getBannerWithSize(ads::kDZAdSizeBanner);
        ASSERT_EQ(connector->failures.size(), 1u) << entry.message;
        EXPECT_EQ(connector->failures[0].code, entry.code);
        EXPECT_EQ(connector->failures[0].message, entry.message);
        EXPECT_FALSE(connector->html().webView());
    }
    const auto connector = HTMLConnector::make({{"adxtym_html", "<p>x</p>"}});
    connector->html().getInterstitial();
    ASSERT_EQ(connector->failures.size(), 1u);
    EXPECT_EQ(connector->failures[0].code, 0);
    EXPECT_EQ(connector->failures[0].message, "Interstitials not supported.");
    EXPECT_EQ(connector->adapterVersion(), "adapter: DZMAdapterHTML, version: 1.1");
}

TEST(DZMWebViewRenderedChecker, BackgroundShareCountsEveryPixel) {
    using ads::DZMWebViewRenderedChecker;
    const gfx::Color clear = gfx::Color::clear();
    const gfx::Color ink{0.2, 0.4, 0.6, 1};
    const auto image = [&](int painted) {
        gfx::Image::Pixels pixels(100, clear.premultipliedARGB());
        for (int i = 0; i < painted; ++i) pixels[size_t(i)] = ink.premultipliedARGB();
        return gfx::Image::create(100, 1, pixels);
    };
    EXPECT_EQ(DZMWebViewRenderedChecker::percentOfImage(image(0).get(), clear), 1.0);
    // The first pixels differing do not end the count.
    EXPECT_DOUBLE_EQ(DZMWebViewRenderedChecker::percentOfImage(image(10).get(), clear), 0.9);
    EXPECT_DOUBLE_EQ(DZMWebViewRenderedChecker::percentOfImage(image(11).get(), clear), 0.89);
    EXPECT_TRUE(std::isnan(DZMWebViewRenderedChecker::percentOfImage(nullptr, clear)));
    EXPECT_EQ(DZMWebViewRenderedChecker::create(nullptr, {}), nullptr);
}

}  // namespace
