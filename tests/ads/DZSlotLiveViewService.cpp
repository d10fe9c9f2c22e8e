// A slot's Live View reporting with inline ads on the local ad server's
// origin and core pages lent by a controller of its own.

#include "SlotLiveViewTesting.h"
#include "ads/core/response/DZAdResponseType.h"
#include "ads/web/view/DZAdViewLiveViewReporter.h"

namespace {

using namespace slotliveviewtesting;
using ads::DZAdViewLiveViewMonitoring;

class DZSlotLiveViewService : public SlotLiveViewTest {
protected:
    // Ticks until the ad page has count samples.
    [[nodiscard]] bool adPageSampleCount(size_t count) {
        return waitFor([&] {
            tick();
            return adPageSamples().size() >= count;
        });
    }
    // A shown ad with a Live View configuration, measured by the core page.
    [[nodiscard]] bool showConfiguredAd() {
        core::Dictionary ad = adOf(kMeasuringPage);
        ad.set("live_view", core::Dictionary{{"metric", "view"}});
        return show(ad) && waitFor([&] {
                   return slot->SDKCoreWebView() &&
                          slot->SDKCoreWebView()->state() == ads::DZSDKCoreWebView::kLoaded;
               });
    }
};

TEST_F(DZSlotLiveViewService, NothingRunsBeforeTheImpressionNorForAMediatedAd) {
    ASSERT_TRUE(show(adOf(kMeasuringPage, true), false));
    const auto& reporter = slot->adView()->liveViewReporter();
    reporter->start();
    EXPECT_TRUE(reporter->reporting());
    EXPECT_FALSE(slot->liveViewMonitoringStarted(3));
    EXPECT_EQ(slot->measurementReceivers(), DZAdViewLiveViewMonitoring::kAdPage);
    EXPECT_FALSE(slot->liveViewMonitor());
    EXPECT_FALSE(slot->SDKCoreWebView());

    // Seen, it makes its impression: only its own page hears the samples.
    window->addSubview(slot->adView());
    ASSERT_TRUE(adPageSampleCount(3));
    ASSERT_TRUE(slot->viewHasMadeImpression());
    ASSERT_TRUE(slot->SDKCoreWebView());
    const core::Value first = unit(adPageSamples().front());
    EXPECT_EQ(first["hashCode"].intValue(), std::int64_t(slot->liveViewID()));
    EXPECT_EQ(first["adFormat"], core::Value("banner_mb"));
    EXPECT_TRUE(first["doneReasonCode"].isNull());
    EXPECT_EQ(unit(adPageSamples().back())["isVisible"], core::Value("1"));
    EXPECT_TRUE(corePageSamples(slot->SDKCoreWebView()).empty());
    // Visibility verdicts only show or hide the ad view of an ad without MRAID.
    slot->liveViewVisibilityChanged(true);
    EXPECT_TRUE(slot->adView()->visible());
    EXPECT_FALSE(slot->monitoredViewVisible());

    // A mediated response ends the run, and no impression restarts it.
    auto mediated = std::make_shared<ads::DZAd>();
    mediated->setResponseType(ads::DZAdResponseTypeMediation);
    mediated->setLiveViewConfigurations(core::Dictionary{{"metric", "view"}});
    slot->finishedLoadingAdResponse(mediated);
    slot->didMakeAdImpression();
    EXPECT_TRUE(slot->liveViewMonitoringStarted(DZAdViewLiveViewMonitoring::kSDKCorePage));
    EXPECT_FALSE(slot->liveViewMonitor());
    EXPECT_FALSE(slot->SDKCoreWebView());
}

TEST_F(DZSlotLiveViewService, ConfiguredAdsReportToTheCorePageThenBothAndBothHearTheUnload) {
    ASSERT_TRUE(showConfiguredAd());
    EXPECT_EQ(slot->measurementReceivers(), DZAdViewLiveViewMonitoring::kSDKCorePage);
    const auto lent = slot->SDKCoreWebView();
    ASSERT_TRUE(waitFor([&] {
        tick();
        return corePageSamples(lent).size() >= 2;
    }));
    EXPECT_EQ(unit(corePageSamples(lent).front())["liveViewJSON"],
              core::Value(core::Dictionary{{"metric", "view"}}));
    EXPECT_TRUE(adPageSamples().empty());

    slot->adView()->liveViewReporter()->start();
    ASSERT_TRUE(adPageSampleCount(2));
    EXPECT_EQ(slot->SDKCoreWebView(), lent);

    // The end of the run: the unloaded sample to both, the lent page, which
    // still measures, given back to the controller's cache; then silence.
    slot->finishLiveViewReporting();
    EXPECT_FALSE(slot->liveViewMonitor());
    EXPECT_FALSE(slot->SDKCoreWebView());
    ASSERT_TRUE(waitFor([&] {
        const auto ad = adPageSamples();
        const auto onCore = corePageSamples(lent);
        return !ad.empty() && !onCore.empty() && !unit(ad.back())["doneReasonCode"].isNull() &&
               !unit(onCore.back())["doneReasonCode"].isNull();
    }));
    EXPECT_EQ(unit(adPageSamples().back())["doneReasonCode"], core::Value("u"));
    EXPECT_EQ(controller->liveViewSDKCoreWebViews(),
              std::vector<std::shared_ptr<ads::DZSDKCoreWebView>>{lent});
    const size_t adAfter = adPageSamples().size();
    const size_t coreAfter = corePageSamples(lent).size();
    for (int i = 0; i < 3; ++i) tick();
    ASSERT_TRUE(adPageScriptsRan());
    EXPECT_EQ(adPageSamples().size(), adAfter);
    EXPECT_EQ(corePageSamples(lent).size(), coreAfter);
}

TEST_F(DZSlotLiveViewService, WhenBothStopTheRunEndsAndAnOldMonitorCountsNoMore) {
    ASSERT_TRUE(showConfiguredAd());
    const auto& reporter = slot->adView()->liveViewReporter();
    reporter->start();
    const auto lent = slot->SDKCoreWebView();
    const auto old = slot->liveViewMonitor();
    reporter->stop();
    EXPECT_EQ(slot->measurementReceivers(), DZAdViewLiveViewMonitoring::kSDKCorePage);
    ASSERT_EQ(slot->liveViewMonitor(), old);

    // The core page untracks the unit: no receiver is left.
    (void)adwebtesting::evaluate(*lent->adView()->webView(),
                                 "DUZO_send('untrackLiveViewUnit', {hashCode: '" +
                                     std::to_string(slot->liveViewID()) + "'}), true");
    ASSERT_TRUE(waitFor([&] { return !slot->liveViewMonitor(); }));
    EXPECT_EQ(slot->measurementReceivers(), 0u);
    EXPECT_FALSE(slot->SDKCoreWebView());
    EXPECT_TRUE(controller->liveViewSDKCoreWebViews().empty());

    // A new run under a new id; the old monitor's refreshes send nothing.
    const std::uint64_t oldID = slot->liveViewID();
    reporter->start();
    const auto current = slot->liveViewMonitor();
    ASSERT_TRUE(current);
    EXPECT_NE(slot->liveViewID(), oldID);
    ASSERT_TRUE(waitFor([&] { return !adPageSamples().empty(); }));
    ASSERT_TRUE(adPageScriptsRan());
    const size_t before = adPageSamples().size();
    slot->liveViewMonitorDidRefresh(*old);
    ASSERT_TRUE(adPageScriptsRan());
    EXPECT_EQ(adPageSamples().size(), before);
    slot->liveViewMonitorDidRefresh(*current);
    ASSERT_TRUE(adPageScriptsRan());
    EXPECT_EQ(adPageSamples().size(), before + 1);
}

TEST_F(DZSlotLiveViewService, TheOwnersWindowAndTheApplicationDriveTheSampling) {
    ASSERT_TRUE(show(adOf(kMeasuringPage)));
    slot->adView()->liveViewReporter()->start();
    ASSERT_TRUE(adPageSampleCount(2));
    slot->ownerViewDidMoveToWindow(nullptr);
    ASSERT_TRUE(adPageScriptsRan());
    size_t count = adPageSamples().size();
    for (int i = 0; i < 3; ++i) tick();
    slot->appWillBecomeInactive();
    ASSERT_TRUE(adPageScriptsRan());
    EXPECT_EQ(adPageSamples().size(), count + 1) << "the application's event only";

    slot->ownerViewDidMoveToWindow(window);
    count = adPageSamples().size();
    ASSERT_TRUE(adPageSampleCount(count + 2));
}

}  // namespace
