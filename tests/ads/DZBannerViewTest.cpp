// The banner view around its slot: size rules, the load and refresh gates
// (in the background too), the view hierarchy sent with requests, autoload,
// the publisher's callbacks, and the slot's ad view delegate holding a
// delayed page load.

#include "ads/presentation/banner/DZBannerView.h"

#include "AnalyticsTesting.h"
#include "SawmillTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZAdExposureMonitor.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/presentation/DZAdSizeDelegate.h"
#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/web/dmsg/DZDelayPageLoadDMSGHandler.h"
#include "ads/web/view/DZAdView.h"
#include "core/UserDefaults.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace {

using namespace slottesting;
using ads::DZAdSize;
using ads::DZBannerView;
using ads::DZSlot;

class RecordingBannerDelegate : public ads::DZBannerViewDelegate, public ads::DZAdSizeDelegate {
public:
    int received = 0;
    std::vector<ads::DZRequestError> failures;
    std::vector<DZAdSize> sizeChanges;

    void adViewDidReceiveAd(DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(DZBannerView&, const ads::DZRequestError& error) override {
        failures.push_back(error);
    }
    void willChangeAdSizeTo(DZBannerView&, const DZAdSize& size) override {
        sizeChanges.push_back(size);
    }
};

class DZBannerViewTest : public testing::Test {
protected:
    void TearDown() override {
        banner.reset();
        core::UserDefaults::standard()->removeObjectForKey(DZBannerView::kParentViewCountKey);
        ui::Application::shared().resetForTesting();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }
    [[nodiscard]] bool make(const DZAdSize& size = ads::kDZAdSizeBanner, gfx::Point origin = {}) {
        banner = DZBannerView::createWithAdSize(size, origin);
        if (!banner) return false;
        banner->setDelegate(delegate);
        banner->setAdSizeDelegate(delegate);
        banner->setAdUnitID("unit/1");
        return true;
    }
    // Loads an inline ad and waits for the delegate to hear how it went.
    [[nodiscard]] bool loadInline() {
        const size_t before = size_t(delegate->received) + delegate->failures.size();
        banner->loadRequest(requestWithExtras({{"_ad", inlineAd()}}));
        return waitFor(
            [&] { return size_t(delegate->received) + delegate->failures.size() > before; });
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<RecordingBannerDelegate> delegate = std::make_shared<RecordingBannerDelegate>();
    std::shared_ptr<ui::ViewController> controller = std::make_shared<ui::ViewController>();
    std::shared_ptr<DZBannerView> banner;
};

TEST_F(DZBannerViewTest, OutsideSizesSnapToKnownSizesAndKeepTheOrigin) {
    ASSERT_TRUE(make(ads::kDZAdSizeBanner, {10, 20}));
    EXPECT_EQ(banner->frame(), (gfx::Rect{10, 20, 320, 50}));
    EXPECT_EQ(banner->intrinsicContentSize(), (gfx::Size{320, 50}));
    const auto type = banner->slot()->adType();

    // The same size again changes nothing, not even the slot's ad type.
    banner->setAdSize(ads::kDZAdSizeBanner);
    EXPECT_EQ(banner->slot()->adType(), type);

    // A frame of another size becomes the ad size; the origin stays.
    banner->setFrame({0, 0, 300, 250});
    EXPECT_TRUE(ads::DZAdSizesEqual(banner->adSize(), ads::kDZAdSizeMediumRectangle));
    EXPECT_EQ(banner->frame(), (gfx::Rect{10, 20, 300, 250}));
    // A frame of the ad size moves the banner.
    banner->setFrame({30, 40, 300, 250});
    EXPECT_EQ(banner->frame(), (gfx::Rect{30, 40, 300, 250}));
    // The ad view fills the banner while the response names no size.
    EXPECT_EQ(banner->adView()->frame(), (gfx::Rect{0, 0, 300, 250}));
    // Bounds from outside resize as well.
    banner->setBounds({0, 0, 320, 50});
    EXPECT_TRUE(ads::DZAdSizesEqual(banner->adSize(), ads::kDZAdSizeBanner));
    EXPECT_EQ(banner->frame().size, (gfx::Size{320, 50}));
    // An invalid size is refused and the size stays.
    banner->setAdSize(DZAdSize{{5000, 50}, ads::kDZAdSizeFlagCustom});
    EXPECT_TRUE(ads::DZAdSizesEqual(banner->adSize(), ads::kDZAdSizeBanner));
}

TEST_F(DZBannerViewTest, AFluidSizeKeepsItsHeightAndFollowsTheContentHeight) {
    ASSERT_TRUE(make(ads::DZAdSizeFluidWithCGSize({320, 100})));
    EXPECT_EQ(banner->intrinsicContentSize().width, DZBannerView::kNoIntrinsicMetric);
    banner->setFrame({0, 0, 400, 60});
    EXPECT_TRUE(ads::DZAdSizeIsFluid(banner->adSize()));
    EXPECT_EQ(banner->adSize().size, (gfx::Size{400, 100}));
    EXPECT_EQ(banner->frame().size, (gfx::Size{400, 100}));

    banner->contentSizeDidChange({400, 180});
    ASSERT_EQ(delegate->sizeChanges.size(), 1u);
    EXPECT_EQ(delegate->sizeChanges[0].size, (gfx::Size{400, 180}));
    EXPECT_EQ(banner->frame().size, (gfx::Size{400, 180}));
    // The same height again is no change.
    banner->contentSizeDidChange({400, 180});
    EXPECT_EQ(delegate->sizeChanges.size(), 1u);
}

TEST_F(DZBannerViewTest, ASmartBannerTurnedToTheOtherOrientationReloads) {
    ASSERT_TRUE(make(ads::kDZAdSizeSmartBannerPortrait));
    banner->setRootViewController(controller);
    ASSERT_TRUE(loadInline());
    ASSERT_EQ(delegate->received, 1);
    EXPECT_FALSE(banner->adView()->isHidden());

    // Neither size has dimensions of its own: only the flags tell them apart.
    banner->setAdSize(ads::kDZAdSizeSmartBannerLandscape);
    EXPECT_TRUE(ads::DZAdSizesEqual(banner->adSize(), ads::kDZAdSizeSmartBannerLandscape));
    EXPECT_TRUE(banner->adView()->isHidden()) << "the portrait ad is put away for the reload";
    EXPECT_TRUE(waitFor([&] { return delegate->received + int(delegate->failures.size()) >= 2; }))
        << "the new orientation is loaded";

    // A size change of a fluid banner follows its content and loads nothing.
    const int outcomes = delegate->received + int(delegate->failures.size());
    ASSERT_TRUE(make(ads::DZAdSizeFluidWithCGSize({320, 100})));
    banner->setRootViewController(controller);
    ASSERT_TRUE(loadInline());
    banner->setAdSize(ads::DZAdSizeFluidWithCGSize({320, 140}));
    EXPECT_FALSE(banner->adView()->isHidden());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(delegate->received + int(delegate->failures.size()), outcomes + 1);
}

// The "bannerview" events of every "params" the load logs sent, in order.
std::vector<core::Value> bannerEvents(const testsupport::RecordingSawmillExecutor& executor) {
    std::vector<core::Value> found;
    for (const core::Array& call : executor.calls())
        for (const core::Value& params : testsupport::paramsOf(call))
            if (params[std::string(DZBannerView::kEventName)].dictionary())
                found.push_back(params[std::string(DZBannerView::kEventName)]);
    return found;
}

TEST_F(DZBannerViewTest, ItsEventsJoinEachLoadsLogOnceThatLogIsKnown) {
    testsupport::SawmillSettingsScope settings;
    const auto executor = std::make_shared<testsupport::RecordingSawmillExecutor>();
    ads::DZSawmill::sharedInstance()->setCommandExecutorForTesting(executor);
    ASSERT_TRUE(make());
    banner->setRootViewController(controller);
    ASSERT_TRUE(loadInline());
    ASSERT_EQ(delegate->received, 1);
    // A refused load reports into the log of the load before it.
    banner->setRootViewController(nullptr);
    ASSERT_TRUE(loadInline());
    ASSERT_EQ(delegate->failures.size(), 1u);

    const auto events = bannerEvents(*executor);
    ASSERT_EQ(events.size(), 4u);
    // The banner names itself to the new log, then hands over the start it
    // held while no log was known.
    EXPECT_EQ(events[0], core::Value(core::Dictionary{{"ad_unit_id", "unit/1"},
                                                      {"class", "DZBannerView"}}));
    EXPECT_EQ(events[1],
              core::Value(core::Dictionary{
                  {"loading_started",
                   core::Dictionary{{"size", ads::DZDictionaryWithSize({320, 50})}}}}));
    EXPECT_EQ(events[2], core::Value(core::Dictionary{{"loading_succeeded", 1}}));
    EXPECT_EQ(events[3]["loading_failed"]["error_code"], core::Value(ads::kDZErrorInvalidRequest));
    EXPECT_NE(events[3]["loading_failed"]["error_message"].stringValue().find("rootViewController"),
              std::string::npos);
}

TEST_F(DZBannerViewTest, ExposureIsWatchedForTheAdUnitUnlessTheBannerIsMediated) {
    adstest::HostAnalyticsScope analytics;
    ui::Application::shared().becomeActive();
    const auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 400, 800});
    window->makeKeyAndVisible();
    const auto sample = [&] {
        for (int i = 0; i < 2; ++i) {
            clock.advance(ads::DZAdExposureMonitor::kDefaultSamplingInterval);
            while (core::RunLoop::main().runOnce(0) > 0) {
            }
        }
    };
    ASSERT_TRUE(make());
    window->addSubview(banner);
    sample();
    EXPECT_EQ(analytics.host->exposures(), std::vector<std::string>{"begin unit/1"});
    // Another ad unit ends the first one's exposure and watches its own.
    banner->setAdUnitID("unit/2");
    sample();
    EXPECT_EQ(analytics.host->exposures(),
              (std::vector<std::string>{"begin unit/1", "end unit/1", "begin unit/2"}));
    banner->removeFromSuperview();
    sample();

    // A banner that an adapter shows for another network: its slot's
    // exposure is not the publisher's ad unit on screen.
    const auto mediated = DZBannerView::createWithAdSize(ads::kDZAdSizeBanner);
    ASSERT_TRUE(mediated);
    mediated->setMediated();
    mediated->setAdUnitID("unit/3");
    window->addSubview(mediated);
    sample();
    EXPECT_FALSE(mediated->adExposureMonitor());
    EXPECT_EQ(analytics.host->exposures(), (std::vector<std::string>{"begin unit/1", "end unit/1",
                                                                     "begin unit/2", "end unit/2"}));
    mediated->removeFromSuperview();
}

TEST_F(DZBannerViewTest, EachMediatedNetworkGetsABannerConnectorOfItsOwn) {
    ASSERT_TRUE(make());
    ads::Error error;
    const auto config = ads::DZMConfig::initWithAppKey(
        "unit/1",
        core::Dictionary{{"ad_networks", core::Array{core::Dictionary{
                                             {"id", "1"}, {"adapters", core::Array{"A"}}}}}},
        &error);
    ASSERT_TRUE(config) << error.message;
    const auto& network = config->adNetworkConfigs().front();
    const auto connector = banner->mediationConnectorForConfiguration(config, network);
    ASSERT_TRUE(std::dynamic_pointer_cast<ads::DZMAdNetworkConnectorBanner>(connector));
    EXPECT_EQ(connector->mediationConfig(), config);
    EXPECT_EQ(connector->networkConfig(), network);
    EXPECT_NE(banner->mediationConnectorForConfiguration(config, network), connector);
    EXPECT_FALSE(banner->mediationConnectorForConfiguration(config, nullptr));
}

TEST_F(DZBannerViewTest, AlphaIsAllOrNothing) {
    ASSERT_TRUE(make());
    banner->setAlpha(0.3);
    EXPECT_EQ(banner->alpha(), 1.0);
    banner->setAlpha(0);
    EXPECT_EQ(banner->alpha(), 0.0);
}

TEST_F(DZBannerViewTest, LoadingWithoutARootViewControllerFailsWithCodeZeroAndRetries) {
    ASSERT_TRUE(make());
    ASSERT_TRUE(loadInline());
    ASSERT_EQ(delegate->failures.size(), 1u);
    EXPECT_EQ(delegate->failures[0].code, ads::kDZErrorInvalidRequest);
    EXPECT_NE(delegate->failures[0].message.find("You must set the rootViewController property of"),
              std::string::npos);
    EXPECT_NE(delegate->failures[0].message.find("DZBannerView"), std::string::npos);
    EXPECT_TRUE(banner->slot()->reloadTimerArmed());
    EXPECT_FALSE(banner->hasLoadedAd());
}

TEST_F(DZBannerViewTest, TurningAutoloadOnTwiceLoadsOnce) {
    ASSERT_TRUE(make());
    banner->setAutoloadEnabled(true);
    banner->setAutoloadEnabled(true);
    EXPECT_TRUE(banner->isAutoloadEnabled());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    // Without a root view controller each load fails at once: one failure, one load.
    EXPECT_EQ(delegate->failures.size(), 1u);
}

TEST_F(DZBannerViewTest, RefreshesRunOnlyWhileTheAdCanBeSeen) {
    ASSERT_TRUE(make());
    banner->setRootViewController(controller);
    EXPECT_EQ(banner->adView()->viewController(), controller);
    // Before the first success every refresh runs, even out of any window.
    EXPECT_TRUE(banner->shouldReloadCurrentRequest());
    ASSERT_TRUE(loadInline());
    ASSERT_EQ(delegate->received, 1);
    EXPECT_TRUE(banner->hasLoadedAd());
    EXPECT_EQ(banner->rootAdView(), banner->adView());

    // In no window.
    EXPECT_FALSE(banner->shouldReloadCurrentRequest());
    const auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 400, 800});
    const auto holder = std::make_shared<ui::View>(gfx::Rect{0, 0, 400, 400});
    window->addSubview(holder);
    holder->addSubview(banner);
    window->makeKeyAndVisible();
    EXPECT_TRUE(banner->shouldReloadCurrentRequest());
    // A hidden view on the way up.
    holder->setHidden(true);
    EXPECT_FALSE(banner->shouldReloadCurrentRequest());
    holder->setHidden(false);
    // The app in the background, without background reloading.
    ads::DZApplication::sharedInstance()->appDidFinishLaunching();
    ui::Application::shared().enterBackground();
    EXPECT_FALSE(banner->shouldReloadCurrentRequest());
    ui::Application::shared().resetForTesting();
    ads::DZApplication::resetForTesting();

    // The slot's 30 s timer then reloads: a second ad arrives.
    banner->slot()->setReloadInterval(30);
    banner->slot()->scheduleAdReloadTimer();
    clock.advance(30);
    EXPECT_TRUE(waitFor([&] { return delegate->received + int(delegate->failures.size()) >= 2; }));
    holder->removeFromSuperview();
}

TEST_F(DZBannerViewTest, WithBackgroundReloadingTheBannerRefreshesInTheBackground) {
    ASSERT_TRUE(make());
    banner->setRootViewController(controller);
    ASSERT_TRUE(loadInline());
    ASSERT_EQ(delegate->received, 1);
    const auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 400, 800});
    window->addSubview(banner);
    window->makeKeyAndVisible();
    adwebtesting::ConstantsScope constants;
    struct Restore {
        ~Restore() { ads::DZApplication::resetForTesting(); }
    } restore;
    const auto application = ads::DZApplication::sharedInstance();
    application->appDidFinishLaunching();
    ui::Application::shared().enterBackground();
    ASSERT_FALSE(application->active());

    // The server's switch needs background loading, and background loading
    // alone reloads nothing in the background.
    constants.set("/dozuza/ads/bg_reload_enabled", "1");
    EXPECT_FALSE(banner->shouldReloadCurrentRequest());
    application->enableBackgroundAdLoading();
    EXPECT_TRUE(banner->shouldReloadCurrentRequest());
    constants.set("/dozuza/ads/bg_reload_enabled", false);
    EXPECT_FALSE(banner->shouldReloadCurrentRequest());
    constants.set("/dozuza/ads/bg_reload_enabled", true);
    EXPECT_TRUE(banner->shouldReloadCurrentRequest());
    // Still only while the banner is in a window and shown.
    banner->setHidden(true);
    EXPECT_FALSE(banner->shouldReloadCurrentRequest());
    banner->setHidden(false);

    // The slot's timer reloads while the app stays in the background.
    banner->slot()->setReloadInterval(30);
    banner->slot()->scheduleAdReloadTimer();
    clock.advance(30);
    ASSERT_TRUE(waitFor([&] { return delegate->received + int(delegate->failures.size()) >= 2; }));
    EXPECT_EQ(delegate->received, 2);
    EXPECT_FALSE(application->active());
    banner->removeFromSuperview();
}

TEST_F(DZBannerViewTest, TheViewHierarchyRecordsUpToTheLimitOfParents) {
    ASSERT_TRUE(make());
    std::vector<std::shared_ptr<ui::View>> chain;
    for (int i = 0; i < 25; ++i) {
        chain.push_back(std::make_shared<ui::View>());
        if (i > 0) chain[size_t(i) - 1]->addSubview(chain.back());
    }
    chain.back()->addSubview(std::make_shared<ui::View>());
    chain.back()->addSubview(banner);
    chain.back()->setClipsToBounds(true);
    chain[23]->setHidden(true);
    const auto parents = [&] {
        banner->cacheViewHierarchyInformationForSlot(*banner->slot());
        const auto hierarchy = banner->viewHierarchyInformationForSlot(*banner->slot());
        EXPECT_TRUE(hierarchy);
        EXPECT_EQ((*hierarchy)["creator_class"].stringValue(), "DZBannerView");
        return *(*hierarchy)["parents"].array();
    };

    core::Array found = parents();
    ASSERT_EQ(found.size(), 20u);
    EXPECT_EQ(found[0]["type"].stringValue(), "View");
    EXPECT_EQ(found[0]["index_of_child"].intValue(), 1);
    EXPECT_TRUE(found[0]["clips_to_bounds"].boolValue());
    EXPECT_FALSE(found[0]["is_hidden"].boolValue());
    EXPECT_TRUE(found[1]["is_hidden"].boolValue());
    EXPECT_EQ(found[1]["index_of_child"].intValue(), 0);

    core::UserDefaults::standard()->setObject(std::string(DZBannerView::kParentViewCountKey), 3);
    EXPECT_EQ(parents().size(), 3u);
    core::UserDefaults::standard()->setObject(std::string(DZBannerView::kParentViewCountKey), 0);
    EXPECT_TRUE(parents().empty());
}

// A page that holds its load back, driven through the slot's ad view delegate.
class DelayedPageLoadTest : public DZBannerViewTest {
protected:
    [[nodiscard]] ads::DZDelayPageLoadDMSGHandler* handler() const {
        for (const auto& candidate : banner->slot()->adViewDelegate()->DMSGHandlers())
            if (auto* found = dynamic_cast<ads::DZDelayPageLoadDMSGHandler*>(candidate.get()))
                return found;
        return nullptr;
    }
};

TEST_F(DelayedPageLoadTest, ADelayHoldsTheSuccessUntilItStops) {
    ASSERT_TRUE(make());
    banner->setRootViewController(controller);
    const auto& pageDelegate = banner->slot()->adViewDelegate();
    auto* delay = handler();
    ASSERT_TRUE(delay);
    banner->slot()->setState(DZSlot::kRendering);
    pageDelegate->loadHandlerDidChangeDelay(*delay, 0, 1);
    pageDelegate->adViewDidFinishLoad(*banner->adView());
    EXPECT_TRUE(pageDelegate->isLoadFinished());
    EXPECT_EQ(banner->slot()->state(), DZSlot::kRendering);
    // A second start and its stop keep it held.
    pageDelegate->loadHandlerDidChangeDelay(*delay, 1, 2);
    pageDelegate->loadHandlerDidChangeDelay(*delay, 2, 1);
    EXPECT_EQ(banner->slot()->state(), DZSlot::kRendering);
    pageDelegate->loadHandlerDidChangeDelay(*delay, 1, 0);
    EXPECT_EQ(banner->slot()->state(), DZSlot::kValidAd);
    EXPECT_FALSE(banner->adView()->isHidden());
    ASSERT_TRUE(waitFor([&] { return delegate->received == 1; }));

    // A cancel once the ad is valid changes nothing.
    pageDelegate->loadHandlerDidCancel(*delay);
    EXPECT_EQ(banner->slot()->state(), DZSlot::kValidAd);
    EXPECT_TRUE(delegate->failures.empty());
}

TEST_F(DelayedPageLoadTest, ACancelBeforeAValidAdFailsAsANetworkError) {
    ASSERT_TRUE(make());
    banner->setRootViewController(controller);
    auto* delay = handler();
    ASSERT_TRUE(delay);
    banner->slot()->setState(DZSlot::kRendering);
    banner->slot()->adViewDelegate()->loadHandlerDidChangeDelay(*delay, 0, 1);
    banner->slot()->adViewDelegate()->loadHandlerDidCancel(*delay);
    ASSERT_TRUE(waitFor([&] { return !delegate->failures.empty(); }));
    EXPECT_EQ(delegate->failures[0].code, ads::kDZErrorNetworkError);
    EXPECT_EQ(banner->slot()->state(), DZSlot::kFailed);
}

}  // namespace
