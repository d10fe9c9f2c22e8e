#include <gtest/gtest.h>

#include "AnalyticsTesting.h"
#include "ads/foundation/DZAdExposureMonitor.h"
#include "ads/web/view/DZViewMonitor.h"
#include "core/NotificationCenter.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/Window.h"

using namespace ads;
using adstest::HostAnalyticsScope;

namespace {

class CountingDelegate : public DZViewMonitorDelegate {
public:
    void viewMonitorDidRefresh(DZViewMonitor& monitor) override {
        samples.push_back(monitor.monitoredViewVisible());
    }
    std::vector<bool> samples;
};

class OnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().becomeActive();
        window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
        window->makeKeyAndVisible();
        clip = std::make_shared<ui::View>(gfx::Rect(0, 400, 320, 80));
        clip->setClipsToBounds(true);
        window->addSubview(clip);
        adView = std::make_shared<ui::View>(gfx::Rect(10, 50, 300, 50));
        clip->addSubview(adView);
    }
    void TearDown() override { ui::Application::shared().resetForTesting(); }

    // Advances the clock and runs what became due on the main thread.
    void advance(double seconds) {
        clock.advance(seconds);
        while (core::RunLoop::main().runOnce(0) > 0) {
        }
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::View> clip;
    std::shared_ptr<ui::View> adView;
};

using DZViewMonitorTest = OnScreen;
using DZAdExposureMonitorTest = OnScreen;

}  // namespace

TEST_F(DZViewMonitorTest, SamplesVisibilityAtTheInterval) {
    const auto monitor = DZViewMonitor::create(adView);
    ASSERT_TRUE(monitor);
    EXPECT_FALSE(DZViewMonitor::create(nullptr));
    const auto delegate = std::make_shared<CountingDelegate>();
    monitor->setDelegate(delegate);

    monitor->startMonitoringWithSamplingInterval(1.0);
    monitor->startMonitoringWithSamplingInterval(0.1);
    advance(0.5);
    EXPECT_TRUE(delegate->samples.empty()) << "a second start keeps the first interval";
    advance(0.5);
    ASSERT_EQ(delegate->samples, std::vector<bool>{true});
    EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect(10, 450, 300, 30));

    adView->setAlpha(0);
    advance(1.0);
    clip->setAlpha(1);
    adView->setAlpha(1);
    clip->setHidden(true);
    advance(1.0);
    EXPECT_EQ(delegate->samples, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect());

    clip->setHidden(false);
    monitor->sample();
    EXPECT_TRUE(monitor->monitoredViewVisible());
    ui::Application::shared().resignActive();
    EXPECT_FALSE(monitor->monitoredViewVisible());
    ui::Application::shared().becomeActive();

    monitor->stopMonitoring();
    advance(5.0);
    EXPECT_EQ(delegate->samples.size(), 4U);
}

// A view nobody can see through is not on screen, whichever view on the way
// up is transparent; any alpha above 0 still shows it.
TEST_F(DZViewMonitorTest, AViewUnderATransparentAncestorIsNotVisible) {
    const auto monitor = DZViewMonitor::create(adView);
    const auto sample = [&] {
        monitor->sample();
        while (core::RunLoop::main().runOnce(0) > 0) {
        }
        return monitor->monitoredViewVisible();
    };
    EXPECT_TRUE(sample());
    clip->setAlpha(0);
    EXPECT_FALSE(sample());
    EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect());
    window->setAlpha(0);
    clip->setAlpha(1);
    EXPECT_FALSE(sample());
    window->setAlpha(1);
    clip->setAlpha(0.01);
    adView->setAlpha(0.01);
    EXPECT_TRUE(sample());
    EXPECT_EQ(monitor->monitoredViewVisibleBounds(), gfx::Rect(10, 450, 300, 30));
}

TEST_F(DZViewMonitorTest, StopsWhenTheViewIsGone) {
    auto view = std::make_shared<ui::View>(gfx::Rect(0, 0, 10, 10));
    window->addSubview(view);
    const auto monitor = DZViewMonitor::create(view);
    const auto delegate = std::make_shared<CountingDelegate>();
    monitor->setDelegate(delegate);
    monitor->startMonitoringWithSamplingInterval(0.4);
    view->removeFromSuperview();
    view.reset();
    advance(0.4);
    advance(0.4);
    EXPECT_EQ(delegate->samples, std::vector<bool>{false});
}

TEST_F(DZAdExposureMonitorTest, ExposureFollowsVisibility) {
    HostAnalyticsScope scope;
    EXPECT_FALSE(DZAdExposureMonitor::create(adView, std::nullopt));
    EXPECT_FALSE(DZAdExposureMonitor::create(nullptr, "unit"));
    const auto monitor = DZAdExposureMonitor::create(adView, "unit");
    ASSERT_TRUE(monitor);
    monitor->startMonitoring();
    EXPECT_TRUE(monitor->viewMonitorDidStartMonitoring());

    advance(DZAdExposureMonitor::kDefaultSamplingInterval);
    advance(DZAdExposureMonitor::kDefaultSamplingInterval);
    EXPECT_EQ(scope.host->exposures(), std::vector<std::string>{"begin unit"});
    adView->setHidden(true);
    advance(DZAdExposureMonitor::kDefaultSamplingInterval);
    adView->setHidden(false);
    advance(DZAdExposureMonitor::kDefaultSamplingInterval);
    EXPECT_EQ(scope.host->exposures(),
              (std::vector<std::string>{"begin unit", "end unit", "begin unit"}));

    monitor->finishMonitoring();
    EXPECT_FALSE(monitor->adUnitExposureBegan());
    adView->setHidden(true);
    advance(5.0);
    core::NotificationCenter::defaultCenter().post(
        std::string(DZAdExposureMonitor::kConstantsDidUpdateNotification));
    monitor->startMonitoring();
    advance(5.0);
    EXPECT_EQ(scope.host->exposures(),
              (std::vector<std::string>{"begin unit", "end unit", "begin unit", "end unit"}));
}

TEST_F(DZAdExposureMonitorTest, ConstantsUpdateStartsMonitoringOnceTheBridgeIsOn) {
    HostAnalyticsScope scope(false);
    const auto monitor = DZAdExposureMonitor::create(adView, "unit");
    monitor->startMonitoring();
    EXPECT_FALSE(monitor->viewMonitorDidStartMonitoring());
    advance(1.0);
    EXPECT_TRUE(scope.host->exposures().empty());

    HostAnalyticsScope::setEnabled(true);
    core::NotificationCenter::defaultCenter().post(
        std::string(DZAdExposureMonitor::kConstantsDidUpdateNotification));
    EXPECT_TRUE(monitor->viewMonitorDidStartMonitoring());
    advance(DZAdExposureMonitor::kDefaultSamplingInterval);
    EXPECT_EQ(scope.host->exposures(), std::vector<std::string>{"begin unit"});

    HostAnalyticsScope::setEnabled(false);
    adView->setHidden(true);
    advance(1.0);
    monitor->finishMonitoring();
    EXPECT_EQ(scope.host->exposures(), std::vector<std::string>{"begin unit"})
        << "with the switch off no exposure is reported";
}
