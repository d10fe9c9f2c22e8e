// The ad view's Live View reporter tells its observer when the ad's own page
// starts and stops measuring.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ads/web/view/DZAdViewLiveViewReporter.h"
#include "core/RunLoop.h"

namespace {

class RecordingObserver : public ads::DZAdViewLiveViewMonitoring {
public:
    bool accepts = true;
    std::vector<std::string> calls;

    void liveViewVisibilityChanged(bool visible) override {
        calls.push_back(visible ? "visible" : "hidden");
    }
    bool liveViewMonitoringStarted(std::uint64_t kind) override {
        calls.push_back("started " + std::to_string(kind));
        return accepts;
    }
    void liveViewMonitoringDidStop(std::uint64_t kind) override {
        calls.push_back("stopped " + std::to_string(kind));
    }
};

TEST(DZAdViewLiveViewReporterTest, StartAndStopReachTheObserverAsTheAdsOwnPage) {
    ads::DZAdViewLiveViewReporter reporter;
    reporter.start();  // no observer
    EXPECT_FALSE(reporter.reporting());
    reporter.stop();

    const auto observer = std::make_shared<RecordingObserver>();
    reporter.setObserver(observer);
    observer->accepts = false;
    reporter.start();
    reporter.stop();  // nothing started: nothing to stop
    EXPECT_EQ(observer->calls, std::vector<std::string>{"started 2"});

    observer->accepts = true;
    reporter.start();
    EXPECT_TRUE(reporter.reporting());
    reporter.stop();
    reporter.stop();
    EXPECT_FALSE(reporter.reporting());
    EXPECT_EQ(observer->calls, (std::vector<std::string>{"started 2", "started 2", "stopped 2"}));
}

TEST(DZAdViewLiveViewReporterTest, AReporterThatGoesAwayWhileReportingStopsLater) {
    const auto observer = std::make_shared<RecordingObserver>();
    {
        ads::DZAdViewLiveViewReporter reporter;
        reporter.setObserver(observer);
        reporter.start();
    }
    EXPECT_EQ(observer->calls, std::vector<std::string>{"started 2"});
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return observer->calls.size() == 2; }, 10));
    EXPECT_EQ(observer->calls.back(), "stopped 2");
}

}  // namespace
