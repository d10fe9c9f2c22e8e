// A slot's Live View reporting with inline ads on the local ad server's
// origin and core pages lent by a controller of its own: nothing before
// the impression or for a mediated ad, samples to the ad page, the core
// page or both, the unloaded sample and the lent page given back, and
// refreshes of a monitor the slot no longer runs.

#include "SlotLiveViewTesting.h"
#include "ads/core/response/DZAdResponseType.h"
#include "ads/web/view/DZAdViewLiveViewReporter.h"

namespace {

using namespace slotliveviewtesting;
using ads::DZAdViewLiveViewMonitoring;

class DZSlotLiveViewService : public SlotLiveViewTest {
protected:
    [[nodiscard]] bool waitForLentPage() const {
        return waitFor([&] {
            return slot->SDKCoreWebView() &&
                   slot->SDKCoreWebView()->state() == ads::DZSDKCoreWebView::kLoaded;
        });
    }
    // Ticks until the ad page has count samples.
    [[nodiscard]] bool adPageSampleCount(size_t count) {
        return waitFor([&] {
            tick();
            return adPageSamples().size() >= count;
        });
    }
};

TEST_F(DZSlotLiveViewService, NothingRunsBeforeTheImpressionThenTheAdPageHearsEachSample) {
    ASSERT_TRUE(show(adOf(kMeasuringPage, true), false));
    EXPECT_FALSE(slot->viewHasMadeImpression());

    // The ad's page starts measuring; the slot takes it but has nothing to
    // measure before the impression.
    const auto& reporter = slot->adView()->liveViewReporter();
    reporter->start();
    EXPECT_TRUE(reporter->reporting());
    EXPECT_EQ(slot->measurementReceivers(), DZAdViewLiveViewMonitoring::kAdPage);
    EXPECT_FALSE(slot->liveViewMonitoringStarted(3));
    EXPECT_FALSE(slot->liveViewMonitoringStarted(0));
    EXPECT_EQ(slot->measurementReceivers(), DZAdViewLiveViewMonitoring::kAdPage);
    EXPECT_FALSE(slot->liveViewMonitor());
    EXPECT_FALSE(slot->SDKCoreWebView());

    // Shown, it is seen and makes its impression: Live View starts.
    window->addSubview(slot->adView());
    ASSERT_TRUE(waitFor([&] {
        tick();
        return slot->viewHasMadeImpression();
    }));
    ASSERT_TRUE(slot->liveViewMonitor());
    ASSERT_TRUE(slot->SDKCoreWebView());
    EXPECT_NE(slot->SDKCoreWebView(), controller->activeSDKCoreWebView());
    EXPECT_EQ(slot->liveViewMonitor()->monitoredView(), slot->adView());
    ASSERT_TRUE(waitForLentPage());
    ASSERT_TRUE(adPageSampleCount(3));

    const core::Value first = unit(adPageSamples().front());
    EXPECT_EQ(first["hashCode"].intValue(), std::int64_t(slot->liveViewID()));
    EXPECT_NE(slot->liveViewID(), 0u);
    EXPECT_EQ(first["adFormat"], core::Value("banner_mb"));
    EXPECT_EQ(first["ad_type_mraid"], core::Value("0"));
    EXPECT_TRUE(first["liveViewJSON"].isNull());
    EXPECT_TRUE(first["doneReasonCode"].isNull());
    EXPECT_EQ(unit(adPageSamples().back())["isVisible"], core::Value("1"));
    // Only the ad page measures this ad.
    EXPECT_TRUE(corePageSamples(slot->SDKCoreWebView()).empty());
}

TEST_F(DZSlotLiveViewService, AMediatedAdNeverStarts) {
    ASSERT_TRUE(show(adOf(kMeasuringPage, true), false));
    auto mediated = std::make_shared<ads::DZAd>();
    mediated->setResponseType(ads::DZAdResponseTypeMediation);
    mediated->setLiveViewConfigurations(core::Dictionary{{"units", "all"}});
    slot->finishedLoadingAdResponse(mediated);
    ASSERT_TRUE(slot->isMediating());

    slot->didMakeAdImpression();
    EXPECT_TRUE(slot->liveViewMonitoringStarted(DZAdViewLiveViewMonitoring::kAdPage));
    EXPECT_TRUE(slot->liveViewMonitoringStarted(DZAdViewLiveViewMonitoring::kSDKCorePage));
    EXPECT_TRUE(slot->viewHasMadeImpression());
    EXPECT_FALSE(slot->canEnableLiveViewMonitoring());
    EXPECT_FALSE(slot->liveViewMonitor());
    EXPECT_FALSE(slot->SDKCoreWebView());
}

TEST_F(DZSlotLiveViewService, AdsWithConfigurationsReportToTheCorePageAndBothHearTheUnload) {
    core::Dictionary ad = adOf(kMeasuringPage);
    ad.set("live_view", core::Dictionary{{"metric", "view"}});
    ASSERT_TRUE(show(ad));
    ASSERT_TRUE(waitFor([&] { return slot->viewHasMadeImpression(); }));
    EXPECT_EQ(slot->measurementReceivers(), DZAdViewLiveViewMonitoring::kSDKCorePage);
    ASSERT_TRUE(waitForLentPage());
    const auto lent = slot->SDKCoreWebView();
    ASSERT_TRUE(waitFor([&] {
        tick();
        return corePageSamples(lent).size() >= 2;
    }));
    const core::Value first = unit(corePageSamples(lent).front());
    EXPECT_EQ(first["liveViewJSON"], core::Value(core::Dictionary{{"metric", "view"}}));
    EXPECT_EQ(first["hashCode"].intValue(), std::int64_t(slot->liveViewID()));
    EXPECT_TRUE(adPageSamples().empty());

    // The ad page joins: from now on both pages hear each sample.
    slot->adView()->liveViewReporter()->start();
    EXPECT_EQ(slot->measurementReceivers(), 3u);
    const auto monitor = slot->liveViewMonitor();
    ASSERT_TRUE(adPageSampleCount(2));
    EXPECT_EQ(slot->liveViewMonitor(), monitor) << "a second receiver keeps the run";
    EXPECT_EQ(slot->SDKCoreWebView(), lent);

    // A new response ends the run: the last sample, marked unloaded, goes
    // to both, and the lent page, still measuring, is given back and kept.
    const size_t coreBefore = corePageSamples(lent).size();
    slot->finishLiveViewReporting();
    EXPECT_FALSE(slot->liveViewMonitor());
    EXPECT_FALSE(slot->SDKCoreWebView());
    ASSERT_TRUE(waitFor([&] {
        return !adPageSamples().empty() &&
               !unit(adPageSamples().back())["doneReasonCode"].isNull() &&
               corePageSamples(lent).size() > coreBefore;
    }));
    EXPECT_EQ(unit(adPageSamples().back())["doneReasonCode"], core::Value("u"));
    EXPECT_EQ(unit(corePageSamples(lent).back())["doneReasonCode"], core::Value("u"));
    EXPECT_EQ(controller->liveViewSDKCoreWebViews(),
              std::vector<std::shared_ptr<ads::DZSDKCoreWebView>>{lent});

    // Nothing follows.
    const size_t adAfter = adPageSamples().size();
    const size_t coreAfter = corePageSamples(lent).size();
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_TRUE(adPageScriptsRan());
    EXPECT_EQ(adPageSamples().size(), adAfter);
    EXPECT_EQ(corePageSamples(lent).size(), coreAfter);
}

TEST_F(DZSlotLiveViewService, WhenBothReceiversStopTheRunEndsAndTheLentPageGoesBack) {
    core::Dictionary ad = adOf(kMeasuringPage);
    ad.set("live_view", core::Dictionary{{"metric", "view"}});
    ASSERT_TRUE(show(ad));
    ASSERT_TRUE(waitFor([&] { return slot->viewHasMadeImpression(); }));
    const auto& reporter = slot->adView()->liveViewReporter();
    reporter->start();
    ASSERT_TRUE(waitForLentPage());
    const auto lent = slot->SDKCoreWebView();
    ASSERT_TRUE(adPageSampleCount(1));

    // The ad page stops; the core page goes on alone.
    reporter->stop();
    EXPECT_EQ(slot->measurementReceivers(), DZAdViewLiveViewMonitoring::kSDKCorePage);
    ASSERT_TRUE(slot->liveViewMonitor());
    ASSERT_TRUE(adPageScriptsRan());
    const size_t adPage = adPageSamples().size();
    const size_t corePage = corePageSamples(lent).size();
    ASSERT_TRUE(waitFor([&] {
        tick();
        return corePageSamples(lent).size() >= corePage + 2;
    }));
    EXPECT_EQ(adPageSamples().size(), adPage);

    // The core page untracks the unit: no receiver is left.
    (void)adwebtesting::evaluate(*lent->adView()->webView(),
                                 "DUZO_send('untrackLiveViewUnit', {hashCode: '" +
                                     std::to_string(slot->liveViewID()) + "'}), true");
    ASSERT_TRUE(waitFor([&] { return !slot->liveViewMonitor(); }));
    EXPECT_EQ(slot->measurementReceivers(), 0u);
    EXPECT_FALSE(slot->SDKCoreWebView());
    EXPECT_FALSE(lent->isLiveViewRunning());
    // A page that measures nothing more is not kept.
    EXPECT_TRUE(controller->liveViewSDKCoreWebViews().empty());

    // A receiver that registers again starts a new run under a new id.
    const std::uint64_t oldID = slot->liveViewID();
    reporter->start();
    ASSERT_TRUE(slot->liveViewMonitor());
    EXPECT_NE(slot->liveViewID(), oldID);
}

TEST_F(DZSlotLiveViewService, ARefreshFromAMonitorThatIsNoLongerTheSlotsIsIgnored) {
    ASSERT_TRUE(show(adOf(kMeasuringPage)));
    ASSERT_TRUE(waitFor([&] { return slot->viewHasMadeImpression(); }));
    slot->adView()->liveViewReporter()->start();
    const auto old = slot->liveViewMonitor();
    ASSERT_TRUE(old);
    slot->finishLiveViewReporting();
    slot->startLiveViewReportingIfEnabled();
    const auto current = slot->liveViewMonitor();
    ASSERT_TRUE(current);
    ASSERT_NE(current, old);
    EXPECT_FALSE(old->delegate()) << "the old monitor no longer reports";

    // The clock stands still: only the refreshes below can send samples.
    ASSERT_TRUE(waitFor([&] { return adPageSamples().size() >= 3; }));
    ASSERT_TRUE(adPageScriptsRan());
    const size_t before = adPageSamples().size();
    slot->liveViewMonitorDidRefresh(*old);
    ASSERT_TRUE(adPageScriptsRan());
    EXPECT_EQ(adPageSamples().size(), before);
    slot->liveViewMonitorDidRefresh(*current);
    ASSERT_TRUE(waitFor([&] { return adPageSamples().size() == before + 1; }));
}

TEST_F(DZSlotLiveViewService, TheOwnersWindowAndTheApplicationStartAndStopTheSampling) {
    ASSERT_TRUE(show(adOf(kMeasuringPage)));
    ASSERT_TRUE(waitFor([&] { return slot->viewHasMadeImpression(); }));
    slot->adView()->liveViewReporter()->start();
    ASSERT_TRUE(adPageSampleCount(2));

    // Out of the window: one last sample, then none on the clock.
    slot->ownerViewDidMoveToWindow(nullptr);
    ASSERT_TRUE(adPageScriptsRan());
    size_t count = adPageSamples().size();
    for (int i = 0; i < 3; ++i) tick();
    ASSERT_TRUE(adPageScriptsRan());
    EXPECT_EQ(adPageSamples().size(), count);

    // Each application event takes one sample.
    slot->appWillBecomeInactive();
    ASSERT_TRUE(waitFor([&] { return adPageSamples().size() == count + 1; }));
    EXPECT_EQ(unit(adPageSamples().back())["isVisible"], core::Value("1"));

    // Back in a window, the clock drives it again.
    slot->ownerViewDidMoveToWindow(window);
    count = adPageSamples().size();
    ASSERT_TRUE(adPageSampleCount(count + 2));
}

}  // namespace
