// The app launched the way its process entry launches it: the ad SDK
// registered first, then the app delegate.

#include <gtest/gtest.h>

#include <algorithm>

#include "AppHarness.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/web/net/DZPinger.h"

namespace {

long countOf(const std::vector<std::string>& entries, const std::string& entry) {
    return std::count(entries.begin(), entries.end(), entry);
}

long indexOf(const std::vector<std::string>& entries, const std::string& entry) {
    return std::find(entries.begin(), entries.end(), entry) - entries.begin();
}

}  // namespace

TEST(SDKStartScenario, LaunchRunsStageTwoThenStageOneOnceWithoutAnAdServer) {
    ads::DZApplication::resetForTesting();
    ads::DZMobileAds::resetForTesting();
    // A ping left from an earlier run, to a server that is not there.
    auto defaults = core::UserDefaults::standard();
    ads::DZPinger::resetSharedInstanceForTesting();
    ads::DZPinger::sharedInstance()->storeRetryURLString("http://127.0.0.1:9/gone", "test_fp");
    ads::DZCallLog::clear();
    ads::DZMobileAds::registerForLaunch();

    testsupport::AppHarness app;
    app.launch();
    const auto entries = ads::DZCallLog::entries();
    EXPECT_EQ(countOf(entries, "DZApplication.runAdditionalEarlyActivities"), 1);
    EXPECT_EQ(countOf(entries, "DZApplication.runEarlyActivities"), 1);
    EXPECT_EQ(countOf(entries, "DZApplication.runEarlyActivities.done"), 1);
    EXPECT_LT(indexOf(entries, "DZApplication.runAdditionalEarlyActivities.done"),
              indexOf(entries, "DZApplication.runEarlyActivities"));
    EXPECT_EQ(ads::DZMobileAds::sharedInstance().applicationID(),
              app::AppDelegate::kAdApplicationID);
    EXPECT_TRUE(ads::DZApplication::sharedInstance()->appFinishedLaunching());

    // The app is up and its pages work.
    EXPECT_TRUE(app.window().isKeyWindow());
    EXPECT_EQ(app.tabs().viewCtrls().size(), 4u);
    const auto pinger = ads::DZPinger::sharedInstance();
    ASSERT_TRUE(app.waitFor([&] { return pinger->pingsInFlight() == 0; }));
    app.settle(1.0);
    EXPECT_FALSE(app.tabs().viewCtrls().front()->view()->subviews().empty());

    defaults->removeObjectForKey("test_fp");
    defaults->removeObjectForKey(ads::DZPinger::kRetryGroupKeysKey);
    ads::DZApplication::resetForTesting();
    ads::DZMobileAds::resetForTesting();
}
