// What the view monitor samples of a view on screen, and when the
// impression monitor reports an impression for each definition.

#include <gtest/gtest.h>

#include "ads/web/view/DZImpressionMonitor.h"
#include "ads/web/view/DZViewMonitor.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

using namespace ads;

namespace {

class CountingDelegate : public DZImpressionMonitorDelegate {
public:
    void impressionMonitorDidMonitorImpression(DZImpressionMonitor& monitor) override {
        ++impressions;
        if (onImpression) onImpression(monitor);
    }
    int impressions = 0;
    std::function<void(DZImpressionMonitor&)> onImpression;
};

// A 320x480 window holding a 320x100 scroll view at y 100 whose content
// holds the ad, 300x50 at (10, 20).
class Monitors : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().becomeActive();
        window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
        window->makeKeyAndVisible();
        scroll = std::make_shared<ui::ScrollView>(gfx::Rect(0, 100, 320, 100));
        scroll->setContentSize({320, 1000});
        window->addSubview(scroll);
        adView = std::make_shared<ui::View>(gfx::Rect(10, 20, 300, 50));
        scroll->addSubview(adView);
    }
    void TearDown() override { ui::Application::shared().resetForTesting(); }

    void advance(double seconds) {
        clock.advance(seconds);
        while (core::RunLoop::main().runOnce(0) > 0) {
        }
    }
    // A fresh sample of the ad view.
    std::shared_ptr<DZViewMonitor> sampled() {
        auto monitor = DZViewMonitor::create(adView);
        monitor->sample();
        return monitor;
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ScrollView> scroll;
    std::shared_ptr<ui::View> adView;
};

using DZViewMonitorSampling = Monitors;
using DZImpressionMonitorTest = Monitors;

}  // namespace

TEST_F(DZViewMonitorSampling, OnlyWhatTheClippingChainLeavesIsVisible) {
    auto monitor = sampled();
    EXPECT_TRUE(monitor->monitoredViewVisible());
    EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect(10, 120, 300, 50));

    // Half scrolled out at the top: the inside half, in window coordinates.
    scroll->setContentOffset({0, 45});
    monitor = sampled();
    EXPECT_TRUE(monitor->monitoredViewVisible());
    EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect(10, 100, 300, 25));

    scroll->setContentOffset({0, 70});
    monitor = sampled();
    EXPECT_FALSE(monitor->monitoredViewVisible());
    EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect());
    scroll->setContentOffset({0, 0});

    window->setHidden(true);
    monitor = sampled();
    EXPECT_FALSE(monitor->monitoredViewVisible());
    EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect());
    window->setHidden(false);

    for (const bool background : {false, true}) {
        if (background) {
            ui::Application::shared().enterBackground();
        } else {
            ui::Application::shared().resignActive();
        }
        monitor = sampled();
        EXPECT_FALSE(monitor->monitoredViewVisible()) << background;
        EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect()) << background;
        ui::Application::shared().becomeActive();
    }
    EXPECT_TRUE(sampled()->monitoredViewVisible());
}

TEST_F(DZViewMonitorSampling, ARestartAfterAStopTakesTheNewInterval) {
    struct Counter : DZViewMonitorDelegate {
        void viewMonitorDidRefresh(DZViewMonitor&) override { ++samples; }
        int samples = 0;
    };
    const auto counter = std::make_shared<Counter>();
    const auto monitor = DZViewMonitor::create(adView);
    monitor->setDelegate(counter);
    monitor->startMonitoringWithSamplingInterval(1.0);
    monitor->startMonitoringWithSamplingInterval(0.25);
    advance(1.0);
    EXPECT_EQ(counter->samples, 1);
    monitor->stopMonitoring();
    monitor->startMonitoringWithSamplingInterval(0.25);
    advance(1.0);
    EXPECT_EQ(counter->samples, 5);
    monitor->stopMonitoring();
}

TEST_F(DZImpressionMonitorTest, DefinitionZeroReportsAtOnce) {
    const auto delegate = std::make_shared<CountingDelegate>();
    adView->setHidden(true);
    for (const auto& view : {adView, std::shared_ptr<ui::View>()}) {
        const auto monitor = DZImpressionMonitor::create(view, 0);
        monitor->setDelegate(delegate);
        monitor->startMonitoring();
        EXPECT_FALSE(monitor->viewMonitor());
    }
    EXPECT_EQ(delegate->impressions, 2);
}

TEST_F(DZImpressionMonitorTest, AVisibleViewReportsDuringTheStartWithoutATimer) {
    const auto delegate = std::make_shared<CountingDelegate>();
    auto monitor = DZImpressionMonitor::create(adView, 1);
    monitor->setDelegate(delegate);
    // The slot lets go of the monitor when told.
    delegate->onImpression = [&](DZImpressionMonitor&) { monitor.reset(); };
    const std::weak_ptr<DZImpressionMonitor> weak = monitor;
    monitor->startMonitoring();
    EXPECT_EQ(delegate->impressions, 1);
    EXPECT_TRUE(weak.expired());
    advance(5);
    EXPECT_EQ(delegate->impressions, 1);
}

TEST_F(DZImpressionMonitorTest, AHiddenViewReportsOnceWhenItFirstShows) {
    const auto delegate = std::make_shared<CountingDelegate>();
    const auto monitor = DZImpressionMonitor::create(adView, 1);
    monitor->setDelegate(delegate);
    scroll->setContentOffset({0, 200});
    monitor->startMonitoring();
    ASSERT_TRUE(monitor->viewMonitor());
    advance(2);
    EXPECT_EQ(delegate->impressions, 0);
    scroll->setContentOffset({0, 0});
    // The core controller's default interval.
    advance(0.4);
    EXPECT_EQ(delegate->impressions, 1);
    EXPECT_FALSE(monitor->viewMonitor()->delegate());
    scroll->setContentOffset({0, 200});
    advance(1);
    scroll->setContentOffset({0, 0});
    advance(1);
    EXPECT_EQ(delegate->impressions, 1);

    // Stopped before the view shows: nothing.
    const auto stopped = DZImpressionMonitor::create(adView, 1);
    stopped->setDelegate(delegate);
    adView->setHidden(true);
    stopped->startMonitoring();
    stopped->stopMonitoring();
    adView->setHidden(false);
    advance(2);
    EXPECT_EQ(delegate->impressions, 1);
}

TEST_F(DZImpressionMonitorTest, OtherDefinitionsAndMissingViewsNeverReport) {
    const auto delegate = std::make_shared<CountingDelegate>();
    const auto never = DZImpressionMonitor::create(adView, 2);
    const auto negative = DZImpressionMonitor::create(adView, -1);
    const auto noView = DZImpressionMonitor::create(nullptr, 1);
    for (const auto& monitor : {never, negative, noView}) {
        monitor->setDelegate(delegate);
        monitor->startMonitoring();
        EXPECT_FALSE(monitor->viewMonitor());
    }
    advance(5);
    EXPECT_EQ(delegate->impressions, 0);
}
