// What the view monitor samples of a view on screen, and when the
// impression monitor reports an impression for each definition.

#include <gtest/gtest.h>

#include "ads/web/view/DZImpressionMonitor.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

using namespace ads;

namespace {

class Counter : public DZImpressionMonitorDelegate {
public:
    void impressionMonitorDidMonitorImpression(DZImpressionMonitor&) override {
        ++impressions;
        if (onImpression) onImpression();
    }
    int impressions = 0;
    std::function<void()> onImpression;
};

// A 320x480 window holding a 320x100 scroll view at y 100 whose content
// holds the ad, 300x50 at (10, 20).
class DZImpressionMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().becomeActive();
        window->makeKeyAndVisible();
        window->addSubview(scroll);
        scroll->addSubview(adView);
    }
    void TearDown() override { ui::Application::shared().resetForTesting(); }
    void advance(double seconds) {
        clock.advance(seconds);
        while (core::RunLoop::main().runOnce(0) > 0) {
        }
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<ui::ScrollView> scroll =
        std::make_shared<ui::ScrollView>(gfx::Rect(0, 100, 320, 100));
    std::shared_ptr<ui::View> adView = std::make_shared<ui::View>(gfx::Rect(10, 20, 300, 50));
    std::shared_ptr<Counter> delegate = std::make_shared<Counter>();
};

}  // namespace

TEST_F(DZImpressionMonitorTest, ViewMonitorSamplesWhatTheClippingChainLeaves) {
    const struct {
        double offset;
        bool windowHidden;
        ui::ApplicationState state;
        gfx::Rect visible;
    } cases[] = {
        {0, false, ui::ApplicationState::Active, {10, 120, 300, 50}},
        {45, false, ui::ApplicationState::Active, {10, 100, 300, 25}},  // half scrolled out
        {70, false, ui::ApplicationState::Active, {}},
        {0, true, ui::ApplicationState::Active, {}},
        {0, false, ui::ApplicationState::Inactive, {}},
        {0, false, ui::ApplicationState::Background, {}},
    };
    for (const auto& c : cases) {
        scroll->setContentOffset({0, c.offset});
        window->setHidden(c.windowHidden);
        if (c.state == ui::ApplicationState::Inactive) ui::Application::shared().resignActive();
        if (c.state == ui::ApplicationState::Background)
            ui::Application::shared().enterBackground();
        const auto monitor = DZViewMonitor::create(adView);
        monitor->sample();
        EXPECT_EQ(monitor->monitoredViewVisibleBounds(), c.visible) << c.offset;
        EXPECT_EQ(monitor->monitoredViewVisible(), !c.visible.isEmpty()) << c.offset;
        ui::Application::shared().becomeActive();
    }
}

TEST_F(DZImpressionMonitorTest, TheDefinitionDecidesWhen) {
    adView->setHidden(true);
    for (const auto definition : {0, 2, -1}) {
        const auto monitor = DZImpressionMonitor::create(adView, definition);
        monitor->setDelegate(delegate);
        monitor->startMonitoring();
        EXPECT_FALSE(monitor->viewMonitor());
    }
    EXPECT_EQ(delegate->impressions, 1) << "at once for 0 only, even hidden";
    const auto noView = DZImpressionMonitor::create(nullptr, 1);
    noView->setDelegate(delegate);
    noView->startMonitoring();

    // Already visible: during the start, without a timer; the slot lets go
    // of the monitor when told.
    adView->setHidden(false);
    auto visible = DZImpressionMonitor::create(adView, 1);
    visible->setDelegate(delegate);
    delegate->onImpression = [&] { visible.reset(); };
    visible->startMonitoring();
    EXPECT_EQ(delegate->impressions, 2);
    EXPECT_FALSE(visible);
    advance(5);
    EXPECT_EQ(delegate->impressions, 2);
}

TEST_F(DZImpressionMonitorTest, AViewOutOfSightReportsOnceWhenItFirstShows) {
    const auto monitor = DZImpressionMonitor::create(adView, 1);
    monitor->setDelegate(delegate);
    scroll->setContentOffset({0, 200});
    monitor->startMonitoring();
    advance(2);
    EXPECT_EQ(delegate->impressions, 0);
    scroll->setContentOffset({0, 0});
    advance(0.4);  // the core controller's default sampling interval
    EXPECT_EQ(delegate->impressions, 1);
    scroll->setContentOffset({0, 200});
    advance(1);
    scroll->setContentOffset({0, 0});
    advance(1);
    EXPECT_EQ(delegate->impressions, 1);
}
