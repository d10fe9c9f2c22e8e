// The Live View state of a monitored ad view: the last sample, the view's
// and window's geometry, the flags as "1"/"0" texts, the optional keys, and
// the delegate told after each sample.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ads/core/app/DZMobileAds.h"
#include "ads/core/request/DZRequest.h"
#include "ads/web/view/DZLiveViewMonitor.h"
#include "core/JSON.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "support/ValuePrinting.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace {

using ads::DZLiveViewMonitor;

core::Value edges(double top, double bottom, double left, double right) {
    return core::Dictionary{{"top", top}, {"bottom", bottom}, {"left", left}, {"right", right}};
}

// The one unit of a state, after checking there is exactly one.
core::Dictionary unitOf(const core::Dictionary& state) {
    EXPECT_EQ(state.size(), 1u);
    const core::Value& units = state["units"];
    EXPECT_EQ(units.size(), 1u);
    return units.size() == 1 && units[0].dictionary() ? *units[0].dictionary() : core::Dictionary();
}

class RefreshRecorder : public ads::DZLiveViewMonitorDelegate {
public:
    void liveViewMonitorDidRefresh(DZLiveViewMonitor& monitor) override {
        visible.push_back(unitOf(monitor.liveViewStateWithID(1, false, false))["isVisible"]);
    }
    std::vector<core::Value> visible;
};

class DZLiveViewMonitorTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().becomeActive();
        window->makeKeyAndVisible();
        clip->setClipsToBounds(true);
        window->addSubview(clip);
        clip->addSubview(adView);
    }
    void TearDown() override { ui::Application::shared().resetForTesting(); }
    void advance(double seconds) {
        clock.advance(seconds);
        while (core::RunLoop::main().runOnce(0) > 0) {
        }
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<ui::View> clip = std::make_shared<ui::View>(gfx::Rect(0, 400, 320, 80));
    std::shared_ptr<ui::View> adView = std::make_shared<ui::View>(gfx::Rect(10, 50, 300, 50));
};

TEST_F(DZLiveViewMonitorTest, TheStateBeforeAndAfterTheFirstSample) {
    const auto monitor =
        DZLiveViewMonitor::create(adView, "banner_mb", core::Dictionary{{"interval", 2}});
    ASSERT_TRUE(monitor);
    EXPECT_FALSE(DZLiveViewMonitor::create(nullptr, std::nullopt, std::nullopt));

    const core::Dictionary before = unitOf(monitor->liveViewStateWithID(7, true, false));
    EXPECT_EQ(before.keys(),
              (std::vector<std::string>{"adBox", "globalVisibleBox", "viewBox", "screenDimension",
                                        "screenOrientation", "ad_type_mraid",
                                        "isSubViewOfVisibleWindow", "isVisible", "duzoVersion",
                                        "adFormat", "liveViewJSON", "timestamp", "hashCode",
                                        "appMuted", "appVolume", "deviceVolume"}));
    EXPECT_EQ(before["globalVisibleBox"], edges(0, 0, 0, 0));
    EXPECT_EQ(before["isVisible"], core::Value("0"));
    EXPECT_EQ(before["adBox"], edges(450, 500, 10, 310));
    EXPECT_EQ(before["viewBox"], edges(0, 480, 0, 320));
    const gfx::Rect frame = ui::Application::shared().applicationFrame();
    EXPECT_EQ(before["screenDimension"], edges(frame.minY(), frame.maxY(), frame.minX(), frame.maxX()));
    EXPECT_EQ(before["screenOrientation"],
              core::Value(ui::Application::shared().statusBarOrientation()));
    EXPECT_EQ(before["ad_type_mraid"], core::Value("1"));
    EXPECT_EQ(before["isSubViewOfVisibleWindow"], core::Value("1"));
    EXPECT_EQ(before["duzoVersion"], core::Value(ads::DZRequest::sdkVersion()));
    EXPECT_EQ(before["adFormat"], core::Value("banner_mb"));
    EXPECT_EQ(before["liveViewJSON"], core::Value(core::Dictionary{{"interval", 2}}));
    EXPECT_TRUE(before["timestamp"].isUnsigned());
    EXPECT_EQ(before["hashCode"].uintValue(), 7u);
    EXPECT_TRUE(before["appMuted"].isBool());
    EXPECT_EQ(before["appVolume"].doubleValue(),
              ads::DZMobileAds::sharedInstance().applicationVolume());

    monitor->sample();
    const core::Dictionary after = unitOf(monitor->liveViewStateWithID(7, false, true));
    // Clipped by its superview at the window's bottom.
    EXPECT_EQ(after["globalVisibleBox"], edges(450, 480, 10, 310));
    EXPECT_EQ(after["isVisible"], core::Value("1"));
    EXPECT_EQ(after["ad_type_mraid"], core::Value("0"));
    EXPECT_EQ(after["doneReasonCode"], core::Value("u"));
    EXPECT_GE(after["timestamp"].uintValue(), before["timestamp"].uintValue());
}

TEST_F(DZLiveViewMonitorTest, OptionalKeysAndViewsOutOfAShownWindow) {
    const auto loose = std::make_shared<ui::View>(gfx::Rect(0, 0, 100, 40));
    const auto child = std::make_shared<ui::View>(gfx::Rect(5, 6, 20, 10));
    loose->addSubview(child);
    const auto monitor = DZLiveViewMonitor::create(child, std::nullopt, std::nullopt);
    monitor->sample();
    const core::Dictionary unit = unitOf(monitor->liveViewStateWithID(3, false, false));
    EXPECT_FALSE(unit.contains("adFormat"));
    EXPECT_FALSE(unit.contains("liveViewJSON"));
    EXPECT_FALSE(unit.contains("doneReasonCode"));
    EXPECT_EQ(unit["viewBox"], edges(0, 0, 0, 0));
    EXPECT_EQ(unit["isSubViewOfVisibleWindow"], core::Value("0"));
    EXPECT_EQ(unit["isVisible"], core::Value("0"));
    // Converted as far as its tree goes.
    EXPECT_EQ(unit["adBox"], edges(6, 16, 5, 25));

    // In a window, but the window hidden or the app inactive.
    const auto shown = DZLiveViewMonitor::create(adView, std::nullopt, std::nullopt);
    window->setHidden(true);
    EXPECT_EQ(unitOf(shown->liveViewStateWithID(1, false, false))["isSubViewOfVisibleWindow"],
              core::Value("0"));
    window->setHidden(false);
    ui::Application::shared().resignActive();
    EXPECT_EQ(unitOf(shown->liveViewStateWithID(1, false, false))["isSubViewOfVisibleWindow"],
              core::Value("0"));

    // A view that has gone gives zero boxes.
    auto goneView = std::make_shared<ui::View>(gfx::Rect(1, 2, 3, 4));
    const auto orphan = DZLiveViewMonitor::create(goneView, std::nullopt, std::nullopt);
    orphan->sample();
    goneView.reset();
    const core::Dictionary gone = unitOf(orphan->liveViewStateWithID(1, false, false));
    EXPECT_EQ(gone["adBox"], edges(0, 0, 0, 0));
    EXPECT_EQ(gone["isVisible"], core::Value("0"));
    EXPECT_FALSE(orphan->monitoredView());
}

TEST_F(DZLiveViewMonitorTest, TheDelegateReadsEachSampleWhenTold) {
    const auto monitor = DZLiveViewMonitor::create(adView, std::nullopt, std::nullopt);
    const auto recorder = std::make_shared<RefreshRecorder>();
    monitor->setDelegate(recorder);
    EXPECT_EQ(monitor->delegate(), recorder);
    monitor->startMonitoringWithSamplingInterval(0.5);
    advance(0.5);
    adView->setHidden(true);
    advance(0.5);
    monitor->stopMonitoring();
    advance(1.0);
    EXPECT_EQ(recorder->visible, (std::vector<core::Value>{"1", "0"}));
}

TEST_F(DZLiveViewMonitorTest, TheCommandCarriesTheStateAsJSON) {
    const auto monitor = DZLiveViewMonitor::create(adView, "interstitial_mb", std::nullopt);
    const core::Dictionary state = monitor->liveViewStateWithID(9, false, false);
    const auto command = DZLiveViewMonitor::commandForLiveViewState(state);
    ASSERT_TRUE(command);
    const std::string prefix = "DUZO_updateLiveView(";
    ASSERT_EQ(command->rfind(prefix, 0), 0u);
    ASSERT_EQ(command->back(), ')');
    const auto parsed =
        core::JSON::parse(command->substr(prefix.size(), command->size() - prefix.size() - 1));
    ASSERT_TRUE(parsed);
    EXPECT_EQ((*parsed)["units"][0]["adFormat"], core::Value("interstitial_mb"));
    EXPECT_EQ((*parsed)["units"][0]["hashCode"], core::Value(9));
    EXPECT_FALSE(DZLiveViewMonitor::commandForLiveViewState(
        {{"units", core::Array{std::numeric_limits<double>::quiet_NaN()}}}));
}

}  // namespace
