#include <gtest/gtest.h>

#include <cmath>

#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZCrashReporter.h"
#include "ads/presentation/iap/DZInAppPurchaseTransactionReporter.h"
#include "ads/video/DZAudioVideoManager.h"
#include "core/NotificationCenter.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"

using ads::DZApplication;
using ads::DZMobileAds;

namespace {

class DZMobileAdsTest : public testing::Test {
protected:
    void SetUp() override {
        DZMobileAds::resetForTesting();
        token = core::NotificationCenter::defaultCenter().addObserver(
            DZMobileAds::ApplicationVolumeDidChangeNotification, &ads, nullptr,
            [this](const core::Notification&) { ++posts; });
    }
    void TearDown() override {
        core::NotificationCenter::defaultCenter().removeObserver(token);
        DZMobileAds::resetForTesting();
    }

    DZMobileAds& ads = DZMobileAds::sharedInstance();
    int posts = 0;
    core::NotificationCenter::Token token;
};

}  // namespace

TEST_F(DZMobileAdsTest, AudioSettingsAnnounceOnlyRealChangesAndReadClamped) {
    ads.setApplicationVolume(0.5f);
    ads.setApplicationVolume(0.5f);
    ads.setApplicationMuted(true);
    ads.setApplicationMuted(true);
    EXPECT_EQ(posts, 2);
    const struct {
        float volume, clamped;
    } cases[] = {{1.5f, 1.0f}, {-0.2f, 0.0f}, {0.5f, 0.5f}, {INFINITY, 1.0f}, {NAN, 0.0f}};
    for (const auto& c : cases) {
        ads.setApplicationVolume(c.volume);
        if (!std::isnan(c.volume)) {
            EXPECT_EQ(ads.applicationVolume(), c.volume);
        }
        EXPECT_EQ(ads.clampedApplicationVolume(), c.clamped) << c.volume;
    }
    // A volume that is not a number is one change, however often it is set.
    ads.setApplicationVolume(NAN);
    EXPECT_EQ(posts, 7);
}

TEST_F(DZMobileAdsTest, VersionComparisonGoesMajorMinorPatch) {
    EXPECT_TRUE(ads.isSDKVersionAtLeastMajor(7, 22, 0));
    EXPECT_TRUE(ads.isSDKVersionAtLeastMajor(6, 99, 99));
    EXPECT_TRUE(ads.isSDKVersionAtLeastMajor(7, 21, 5));
    EXPECT_FALSE(ads.isSDKVersionAtLeastMajor(7, 22, 1));
    EXPECT_FALSE(ads.isSDKVersionAtLeastMajor(7, 23, 0));
    EXPECT_FALSE(ads.isSDKVersionAtLeastMajor(8, 0, 0));
    EXPECT_FALSE(ads.isSDKVersionAtLeastMajor(7, 23, -5));
    EXPECT_TRUE(ads.isSDKVersionAtLeastMajor(7, 22, -1));
}

TEST_F(DZMobileAdsTest, SwitchesReachTheirServices) {
    const auto reporter = ads::DZInAppPurchaseTransactionReporter::sharedInstance();
    reporter->enableReporting();
    EXPECT_TRUE(reporter->reportingEnabled());
    DZMobileAds::disableAutomatedInAppPurchaseReporting();
    EXPECT_FALSE(reporter->reportingEnabled());
    reporter->enableReporting();
    EXPECT_FALSE(reporter->reportingEnabled()) << "switched off for the process";

    const auto crashes = ads::DZCrashReporter::sharedInstance();
    ASSERT_TRUE(crashes->reportingEnabled());
    DZMobileAds::disableSDKCrashReporting();
    EXPECT_FALSE(crashes->reportingEnabled());
    crashes->setReportingEnabled(true);
}

TEST_F(DZMobileAdsTest, ConfigurationStoresTheIdentifierAndAsksForTheSettings) {
    std::vector<ads::DZSDKCoreController::ScriptBuilder> requests;
    DZApplication::setScriptBuilderReceiverForTesting(
        [&](ads::DZSDKCoreController::ScriptBuilder builder) {
            requests.push_back(std::move(builder));
        });
    DZApplication::resetForTesting();
    DZApplication::sharedInstance()->runAdditionalEarlyActivities();

    DZMobileAds::configureWithApplicationID("dz-app-pub-0000000000000000~0000000000");
    EXPECT_EQ(ads.applicationID(), "dz-app-pub-0000000000000000~0000000000");
    ASSERT_EQ(requests.size(), 1u);
    const auto script = requests.front()("1");
    ASSERT_TRUE(script);
    EXPECT_NE(script->find(R"("is_init":true)"), std::string::npos) << *script;

    DZMobileAds::configureWithApplicationID(std::nullopt);
    EXPECT_EQ(ads.applicationID(), "");

    ASSERT_TRUE(core::RunLoop::main().runUntil([] { return !core::PendingWork::any(); }, 10));
    DZApplication::setScriptBuilderReceiverForTesting(nullptr);
    DZApplication::resetForTesting();
    core::UserDefaults::standard()->removeObjectForKey(DZApplication::kConfigurationDefaultsKey);
}
