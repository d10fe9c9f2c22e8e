// The native ad view policy with real ads and pages: an app install ad
// loaded from the local ad server, shown in its publisher view in a
// window, records one impression and turns a tap on its headline into a
// click through the support page; Live View samples go to a core page lent
// by the controller only after the impression, and the last one says the
// ad was unloaded.

#include "NativeTesting.h"
#include "NativeViewTesting.h"
#include "ads/core/request/DZMultipleAdsAdLoaderOptions.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/native/DZNativeAdViewPolicy.h"
#include "ads/native/DZNativeAppInstallAdView.h"
#include "store/URLOpener.h"
#include "ui/Application.h"
#include "ui/Label.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

namespace {

using namespace nativetesting;
using ads::DZNativeAdViewPolicy;
using gfx::Rect;

class DZNativeAdViewPolicyService : public NativeTest {
protected:
    void SetUp() override {
        NativeTest::SetUp();
        ui::Application::shared().becomeActive();
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        for (const auto& view : window->subviews()) view->removeFromSuperview();
        EXPECT_TRUE(drainMainQueue());
        NativeTest::TearDown();
        ui::Application::shared().resetForTesting();
    }
    // The app install ad of the unit's response.
    std::shared_ptr<ads::DZNativeAppInstallAd> loadAppInstallAd(const std::string& unit) {
        auto multiple = std::make_shared<ads::DZMultipleAdsAdLoaderOptions>();
        multiple->setNumberOfAds(3);
        if (!makeLoader(unit, {"1", "2"}, {multiple})) return nullptr;
        loader->loadRequest(nullptr);
        if (!waitFor(
                [&] { return !delegate->events.empty() && delegate->events.back() == "finish"; }))
            return nullptr;
        for (const auto& ad : delegate->ads)
            if (auto appInstall = std::dynamic_pointer_cast<ads::DZNativeAppInstallAd>(ad))
                return appInstall;
        return nullptr;
    }
    // The Live View states the lent core page received, oldest first.
    [[nodiscard]] static std::vector<core::Value> samples(const ads::DZSDKCoreWebView& webView) {
        const core::Value value = adwebtesting::evaluate(
            *webView.adView()->webView(),
            "(window.DUZO_log || []).filter(function (e) { return e.name === "
            "'DUZO_updateLiveView'; }).map(function (e) { return e.argument; })");
        return value.array() ? *value.array() : std::vector<core::Value>{};
    }

    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>();
};

TEST_F(DZNativeAdViewPolicyService, AnAppInstallAdInAWindowRecordsOnceAndItsHeadlineClicks) {
    store::URLOpener::shared().clearForTesting();
    const auto ad = loadAppInstallAd("native/landing");
    ASSERT_TRUE(ad);
    const auto adView = ads::DZNativeAppInstallAdView::create({0, 100, 320, 250});
    ASSERT_TRUE(adView);
    const auto headline = std::make_shared<ui::Label>(Rect(10, 10, 200, 30));
    headline->setText(ad->headline().value_or(""));
    adView->addSubview(headline);
    adView->setHeadlineView(headline);
    adView->setNativeAppInstallAd(ad);
    EXPECT_EQ(adView->nativeAppInstallAd(), ad);
    window->addSubview(adView);

    ASSERT_TRUE(requested(fixtures::NativeAds::kImpressionPath, 1));
    ASSERT_TRUE(waitFor([&] { return received("impression").size() == 1; }));
    const core::Value impression = received("impression")[0];
    EXPECT_EQ(impression["ad_view_signal"]["frame"]["y"].doubleValue(), 100);
    EXPECT_EQ(impression["asset_view_signal"]["2001"]["text"], core::Value(ad->headline().value_or("")));
    EXPECT_EQ(impression["ad"]["headline"], core::Value(ad->headline().value_or("")));
    EXPECT_TRUE(ad->hasRecordedImpression());

    // Layouts and moves track again but record nothing more.
    adView->setNeedsLayout();
    window->layoutIfNeeded();
    window->addSubview(adView);
    ASSERT_TRUE(drainMainQueue());

    ui::TouchInjector(*window).tap({30, 125});
    ASSERT_TRUE(waitFor([&] { return received("click").size() == 1; }));
    const core::Value click = received("click")[0];
    EXPECT_EQ(click["click"]["asset"], core::Value("2001"));
    EXPECT_EQ(click["click"]["template"], core::Value("2"));
    EXPECT_EQ(click["click_signal"]["asset_id"], core::Value("2001"));
    EXPECT_EQ(click["click_signal"]["click_point"]["x"].doubleValue(), 30);
    EXPECT_EQ(click["click_signal"]["click_point"]["y"].doubleValue(), 25);
    EXPECT_EQ(click["click_signal"]["click_point"]["relative_to"], core::Value("ad_view"));
    ASSERT_TRUE(requested(fixtures::NativeAds::kClickPath, 1));
    // The page's click action opens the landing page outside the app.
    ASSERT_TRUE(waitFor([] { return !store::URLOpener::shared().openedURLs().empty(); }));
    const auto opened = store::URLOpener::shared().openedURLs();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].path(), fixtures::AdServer::kLandingPath);
    EXPECT_EQ(server.requestsTo(fixtures::NativeAds::kImpressionPath).size(), 1u);
    EXPECT_EQ(received("impression").size(), 1u);
}

TEST_F(DZNativeAdViewPolicyService, LiveViewRunsOnALentCorePageAfterTheImpressionOnly) {
    const auto adView = std::make_shared<ui::View>(Rect(0, 900, 300, 250));  // below the screen
    window->addSubview(adView);
    const auto policy = DZNativeAdViewPolicy::create(adView, "2009", "2010", "2099", true);
    policy->setSDKCoreController(makeController());
    const auto ad = std::make_shared<nativeviewtesting::RecordingNativeAd>(
        core::Dictionary{{"tracking_urls_and_actions",
                          core::Dictionary{{"live_view", core::Dictionary{{"metric", "view"}}}}}});
    policy->setNativeAd(ad);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_FALSE(ad->hasRecordedImpression());
    EXPECT_FALSE(policy->liveViewMonitor());
    EXPECT_FALSE(policy->SDKCoreWebView()) << "nothing is measured before the impression";

    adView->setFrame({0, 100, 300, 250});
    policy->adViewDidLayoutSubviews();
    ASSERT_TRUE(ad->hasRecordedImpression());
    ASSERT_TRUE(policy->liveViewMonitor());
    EXPECT_EQ(policy->liveViewMonitor()->adFormat(), "native_advanced");
    const auto lent = policy->SDKCoreWebView();
    ASSERT_TRUE(lent);
    ASSERT_TRUE(waitFor([&] { return lent->state() == ads::DZSDKCoreWebView::kLoaded; }));
    ASSERT_TRUE(waitFor([&] {
        clock.advance(controller->liveViewSamplingInterval());
        return samples(*lent).size() >= 2;
    }));
    const core::Value first = samples(*lent).front()["units"][0];
    EXPECT_EQ(first["hashCode"].intValue(), std::int64_t(policy->liveViewID()));
    EXPECT_EQ(first["adFormat"], core::Value("native_advanced"));
    EXPECT_TRUE(first["doneReasonCode"].isNull());

    // Only the core page's own stop ends the run.
    policy->liveViewMonitoringDidStop(ads::DZAdViewLiveViewMonitoring::kAdPage);
    EXPECT_TRUE(policy->liveViewMonitor());
    EXPECT_FALSE(policy->liveViewMonitoringStarted(ads::DZAdViewLiveViewMonitoring::kSDKCorePage));

    // Unregistered: one more state, unloaded, and the page is given back.
    policy->unregisterAdView();
    ASSERT_TRUE(drainMainQueue());
    EXPECT_FALSE(policy->liveViewMonitor());
    EXPECT_FALSE(policy->SDKCoreWebView());
    ASSERT_TRUE(waitFor([&] {
        const auto all = samples(*lent);
        return !all.empty() && all.back()["units"][0]["doneReasonCode"] == core::Value("u");
    }));
}

}  // namespace
