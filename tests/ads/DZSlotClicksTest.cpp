// A slot's clicks and impressions without a server: the statistics they
// write, the URL a click opens (path pair, analytics event, click signal on
// ad-server hosts only), the ad view delegate's click decision, the
// impression monitor by the ad's definition, and a mediated ad's manual
// impression.

#include <string>
#include <vector>

#include "AnalyticsTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/click/DZClickSignal.h"
#include "ads/core/request/DZSignalModule.h"
#include "ads/foundation/DZAdServerDomains.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/view/DZAdView.h"
#include "core/NotificationCenter.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

namespace {

using namespace slottesting;
using ads::DZSlot;

// A click signal module that writes `answer` and records what it was given.
class ScriptedClickSignal final : public ads::DZSignalModule {
public:
    std::string answer = "sig=1";
    std::vector<std::string> values;

    void start(std::string_view) override {}
    bool querySignal(std::string&, bool) override { return false; }
    bool clickSignal(std::string_view clickValue, std::string& signal) override {
        values.emplace_back(clickValue);
        signal = answer;
        return true;
    }
};

class DZSlotClicksTest : public testing::Test {
protected:
    void SetUp() override { ui::Application::shared().becomeActive(); }
    void TearDown() override {
        slot.reset();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
        ads::DZSignalModule::install(nullptr);
        store::URLOpener::shared().clearForTesting();
    }
    // A banner showing an inline ad with these extra ad entries.
    [[nodiscard]] bool showBanner(core::Dictionary entries = {}) {
        slot = bannerSlot(*owner);
        if (!slot) return false;
        core::Dictionary ad = inlineAd("<a href='https://land.test/'>ad</a>");
        for (auto& [key, value] : entries) ad.set(key, value);
        slot->loadRequest(requestWithExtras({{"_ad", ad}}));
        return waitFor([&] { return owner->outcomes() > 0; }) && slot->state() == DZSlot::kValidAd;
    }
    [[nodiscard]] core::Value adStatistic(std::string_view key) const {
        if (!slot->ad() || !slot->ad()->statistics()) {
            ADD_FAILURE() << "the slot has no ad statistics";
            return core::Value();
        }
        return slot->ad()->statistics()->objectForKeyedSubscript(key);
    }
    static core::Value applicationStatistic(std::string_view key) {
        return ads::DZApplication::sharedInstance()->statistics()->objectForKeyedSubscript(key);
    }
    std::shared_ptr<ScriptedClickSignal> installSignal() {
        auto module = std::make_shared<ScriptedClickSignal>();
        ads::DZSignalModule::install(module);
        return module;
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
    std::shared_ptr<DZSlot> slot;
};

}  // namespace

TEST_F(DZSlotClicksTest, ClickURLsKeepDmsgAndBlankRecordThePathPairAndTakeTheClickEvent) {
    ASSERT_TRUE(showBanner());
    const auto module = installSignal();
    for (const char* kept :
         {"about:blank", "dmsg://x/open?u=https%3A%2F%2Fad.dozuza.com%2Fa%2Fb"}) {
        const core::URL url = *core::URL::create(kept);
        EXPECT_EQ(slot->gestureClickURLWithURL(url), url) << kept;
    }
    EXPECT_TRUE(adStatistic("pit").isNull());
    EXPECT_TRUE(module->values.empty());

    const core::URL deep = *core::URL::create("https://land.test/aclk/x/y/z?ai=1");
    EXPECT_EQ(slot->gestureClickURLWithURL(deep), deep) << "not an ad-server host";
    EXPECT_EQ(adStatistic("pit"), core::Value("x/y"));
    // A shorter path leaves the last pair.
    (void)slot->gestureClickURLWithURL(*core::URL::create("https://land.test/one/two"));
    EXPECT_EQ(adStatistic("pit"), core::Value("x/y"));

    // The analytics click event goes in only when the server asks.
    adstest::HostAnalyticsScope analytics;
    adwebtesting::ConstantsScope constants;
    constants.set(ads::DZAnalytics::kUsingMacroKey, "1");
    const core::URL macro = *core::URL::create("https://land.test/c?hst_aeid=%5Bgw_hstaeid%5D");
    EXPECT_EQ(slot->gestureClickURLWithURL(macro), macro);
    constants.set(DZSlot::kClickNavigationAnalyticsKey, "1");
    EXPECT_EQ(slot->gestureClickURLWithURL(macro).absoluteString(),
              "https://land.test/c?hst_aeid=E1");
    ASSERT_EQ(analytics.host->events().size(), 1u);
    EXPECT_EQ(analytics.host->events()[0].name, "_ac");
}

TEST_F(DZSlotClicksTest, TheClickSignalGoesOnlyToAdServerHostsWithAnAiValue) {
    slot = bannerSlot(*owner);
    ASSERT_TRUE(slot);
    const auto module = installSignal();
    const struct {
        const char* url;
        const char* expected;
    } cases[] = {
        {"https://ad.dozuza.com/aclk?ai=abc&adurl=https://land.test/x",
         "https://ad.dozuza.com/aclk?ai=abc&sig=1&adurl=https://land.test/x"},
        {"https://dozuza.com/aclk?ai=abc", "https://dozuza.com/aclk?ai=abc&sig=1"},
        {"https://evildozuza.com/aclk?ai=abc", nullptr},
        {"https://ad.dozuza.com/aclk?ai=&x=1", nullptr},
        {"https://ad.dozuza.com/aclk?x=1", nullptr},
    };
    size_t asked = 0;
    for (const auto& c : cases) {
        const core::URL url = *core::URL::create(c.url);
        EXPECT_EQ(slot->gestureClickURLWithURL(url).absoluteString(),
                  c.expected ? c.expected : c.url);
        asked += c.expected ? 1 : 0;
    }
    EXPECT_EQ(module->values, std::vector<std::string>(asked, "abc"));

    // A module that writes nothing usable leaves the URL as it is, as does
    // this build's module while no ad view has been touched.
    const core::URL click = *core::URL::create("https://ad.dozuza.com/aclk?ai=abc");
    for (const char* bad : {"a&b=c", "=1"}) {
        module->answer = bad;
        EXPECT_EQ(slot->gestureClickURLWithURL(click), click) << bad;
    }
    ads::DZSignalModule::install(nullptr);
    ads::DZForgetLatestTouchForTesting();
    EXPECT_EQ(slot->gestureClickURLWithURL(click), click);

    // The server's list replaces the built-in one.
    adwebtesting::ConstantsScope constants;
    constants.set(ads::kDZAdServerDomainsKey, "clicks.test");
    installSignal();
    EXPECT_EQ(slot->gestureClickURLWithURL(click), click);
    EXPECT_EQ(slot->gestureClickURLWithURL(*core::URL::create("https://a.clicks.test/c?ai=1"))
                  .absoluteString(),
              "https://a.clicks.test/c?ai=1&sig=1");
}

TEST_F(DZSlotClicksTest, ATapOnTheAdViewSignsTheNextClickWithTheBuiltInModule) {
    ASSERT_TRUE(showBanner());
    ads::DZForgetLatestTouchForTesting();
    const auto adView = slot->adView();
    adView->setHidden(false);
    adView->setFrame({0, 0, 320, 50});
    const auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 320, 480});
    window->addSubview(adView);
    window->makeKeyAndVisible();
    ui::TouchInjector(*window).tap({30, 20});
    clock.advance(1);
    // The ad view's own recognizer keeps the touch for the click-signal module.
    ASSERT_TRUE(ads::DZLatestTouch());
    const core::URL click = *core::URL::create("https://ad.dozuza.com/aclk?ai=abc&adurl=x");
    const std::string sent = slot->gestureClickURLWithURL(click).absoluteString();
    const auto at = sent.find("&nb=30.20.");
    ASSERT_NE(at, std::string::npos) << sent;
    EXPECT_LT(at, sent.find("adurl=")) << sent;
    adView->removeFromSuperview();
    ads::DZForgetLatestTouchForTesting();
}

TEST_F(DZSlotClicksTest, ClicksCountInTheApplicationAndTheDisplayedAd) {
    ASSERT_TRUE(showBanner());
    const auto clicksBefore = applicationStatistic("pclick").intValue();
    slot->adWasClicked();
    clock.advance(2);
    slot->adWasClicked();
    EXPECT_EQ(applicationStatistic("pclick").intValue(), clicksBefore + 2);
    EXPECT_EQ(adStatistic("pcc").intValue(), 2);
    EXPECT_EQ(adStatistic("tclickcurr").uintValue(), ads::DZMonotonicMilliseconds());
    EXPECT_EQ(owner->clicks, 0) << "counting is not pinging";

    slot->pingClickURLs();
    EXPECT_EQ(owner->clicks, 1);

    slot->willLeaveAppDueToClick();
    EXPECT_EQ(adStatistic("pclb"), core::Value(true));
}

TEST_F(DZSlotClicksTest, TheAdViewDelegateCountsOnlyTouchedForwardNavigationsAfterTheDelay) {
    ASSERT_TRUE(showBanner());
    const auto delegate = slot->adViewDelegate();
    // A touch is a person's finger on the ad, away from its link.
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    window->addSubview(slot->adView());
    const auto decide = [&](double afterLoad, bool touched, long type, std::int64_t state) {
        if (touched)
            ui::TouchInjector(*window).tap(slot->adView()->convertPointTo({300, 40}, nullptr));
        else
            slot->adView()->setTouched(false);
        const double target = slot->timeLastLoaded() / 1000.0 + afterLoad;
        const double now = double(ads::DZMonotonicMilliseconds()) / 1000.0;
        if (target > now) clock.advance(target - now);
        slot->setState(state);
        return delegate->shouldStartLoadWithRequest(
            *slot->adView(), core::URLRequest(*core::URL::create("https://land.test/go")), type);
    };
    const struct {
        double afterLoad;
        bool touched;
        long type;
        std::int64_t state;
        bool click;
    } cases[] = {
        {0.1, true, 0, DZSlot::kValidAd, false},
        {0.2, false, 0, DZSlot::kValidAd, false},
        {0.3, true, 2, DZSlot::kValidAd, false},
        {0.3, true, 3, DZSlot::kValidAd, false},
        {0.3, true, 5, DZSlot::kRendering, false},
        {0.3, true, 5, DZSlot::kSDKCoreFailed, false},
        {0.4, true, 0, DZSlot::kValidAd, true},
        {0.4, true, 5, DZSlot::kFailed, true},
        {0.5, true, 1, DZSlot::kRequestingAdURL, true},
    };
    int clicks = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.afterLoad << " s, type " << c.type << ", state " << c.state);
        EXPECT_EQ(decide(c.afterLoad, c.touched, c.type, c.state), !c.click);
        // The opener hands the URL to the system on a later turn.
        ASSERT_TRUE(adwebtesting::drainMainQueue());
        clicks += c.click ? 1 : 0;
        EXPECT_EQ(adStatistic("pcc").intValue(), clicks);
        EXPECT_EQ(owner->clicks, clicks) << "the opener pings the click URLs";
        EXPECT_EQ(store::URLOpener::shared().openedURLs().size(), size_t(clicks));
    }
    EXPECT_EQ(delegate->opener()->referringURL(), slot->adView()->URL());

    // A frame's navigation is no click when the server says so.
    slot->setState(DZSlot::kValidAd);
    adwebtesting::ConstantsScope constants;
    constants.set(ads::DZAdViewDelegate::kHandleIframeNavigationKey, "1");
    core::URLRequest inFrame(*core::URL::create("https://land.test/frame"));
    inFrame.setMainDocumentURL(core::URL::create("https://land.test/"));
    EXPECT_TRUE(delegate->shouldStartLoadWithRequest(*slot->adView(), inFrame, 0));
    inFrame.setMainDocumentURL(core::URL::create("https://land.test/frame"));
    EXPECT_FALSE(delegate->shouldStartLoadWithRequest(*slot->adView(), inFrame, 0));
}

TEST_F(DZSlotClicksTest, NoClickBeforeTheFirstLoadOrWhereTheDelegateTakesNone) {
    class NoClicks : public ads::DZBannerAdViewDelegate {
    public:
        using DZBannerAdViewDelegate::DZBannerAdViewDelegate;
        bool handlesClicks() const override { return false; }
    };
    slot = bannerSlot(*owner);
    ASSERT_TRUE(slot);
    clock.advance(1);
    slot->adView()->setTouched(true);
    const core::URLRequest link(*core::URL::create("https://land.test/go"));
    EXPECT_TRUE(slot->adViewDelegate()->shouldStartLoadWithRequest(*slot->adView(), link, 0));

    ASSERT_TRUE(showBanner());
    const auto noClicks = std::make_shared<NoClicks>(slot);
    clock.advance(1);
    slot->adView()->setTouched(true);
    EXPECT_TRUE(noClicks->shouldStartLoadWithRequest(*slot->adView(), link, 0));
    EXPECT_TRUE(store::URLOpener::shared().openedURLs().empty());
}

TEST_F(DZSlotClicksTest, ImpressionsFollowTheAdsDefinition) {
    const auto impressions = [] { return applicationStatistic("pimp").intValue(); };
    std::int64_t before = impressions();
    ASSERT_TRUE(showBanner());
    EXPECT_TRUE(slot->viewHasMadeImpression()) << "definition 0: when the content loaded";
    EXPECT_FALSE(slot->impressionMonitor()) << "dropped after its impression";
    EXPECT_EQ(impressions(), before + 1);

    // Definition 1: when the ad view is first seen.
    before = impressions();
    owner = std::make_shared<RecordingOwner>();
    ASSERT_TRUE(showBanner({{"use_displayed_impression", true}}));
    EXPECT_FALSE(slot->viewHasMadeImpression());
    const auto monitor = slot->impressionMonitor();
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->delegate(), slot);
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    window->addSubview(slot->adView());
    clock.advance(1);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(slot->viewHasMadeImpression());
    EXPECT_EQ(impressions(), before + 1);
    EXPECT_FALSE(slot->impressionMonitor());
    EXPECT_FALSE(monitor->delegate());

    // A new start leaves the old monitor without a delegate.
    slot->adView()->removeFromSuperview();
    slot->startImpressionMonitoring();
    const auto first = slot->impressionMonitor();
    slot->startImpressionMonitoring();
    ASSERT_TRUE(first && slot->impressionMonitor());
    EXPECT_NE(first, slot->impressionMonitor());
    EXPECT_FALSE(first->delegate());

    // An interstitial's presentation decides its impression, not a monitor.
    const auto interstitial = DZSlot::create();
    ASSERT_TRUE(interstitial);
    ASSERT_TRUE(interstitial->adType()->isInterstitial());
    interstitial->startImpressionMonitoring();
    EXPECT_FALSE(interstitial->impressionMonitor());
}

TEST_F(DZSlotClicksTest, AManualImpressionOfAMediatedAdReachesItsConnector) {
    slot = bannerSlot(*owner);
    ASSERT_TRUE(slot);
    std::vector<core::Value> heard;
    auto& center = core::NotificationCenter::defaultCenter();
    const auto token = center.addObserver(
        ads::DZMAdNetworkConnector::kDidRecordManualImpressionNotification, nullptr, nullptr,
        [&](const core::Notification& notification) { heard.push_back(notification.userInfo); });
    slot->pingManualTrackingURLs();
    EXPECT_TRUE(heard.empty()) << "no waterfall filled";
    const auto config = ads::DZMConfig::initWithAppKey(
        "unit",
        core::Dictionary{{"ad_networks",
                          core::Array{core::Dictionary{
                              {"id", "1"}, {"adapters", core::Array{"DZMAdapterHTML"}}}}}},
        nullptr);
    ASSERT_TRUE(config);
    ASSERT_FALSE(config->adNetworkConfigs().empty());
    slot->mediationManager()->setReceivedConnector(
        ads::DZMAdNetworkConnector::create(config, config->adNetworkConfigs().front()));
    slot->pingManualTrackingURLs();
    center.removeObserver(token);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0]["adapter"], core::Value("DZMAdapterHTML"));
}
