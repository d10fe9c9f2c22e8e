#include <gtest/gtest.h>

#include "ads/core/app/DZMobileAds.h"
#include "core/NotificationCenter.h"

using ads::DZMobileAds;

TEST(DZMobileAds, AudioSettingsAnnounceOnlyRealChanges) {
    DZMobileAds& ads = DZMobileAds::sharedInstance();
    int posts = 0;
    auto token = core::NotificationCenter::defaultCenter().addObserver(
        DZMobileAds::ApplicationVolumeDidChangeNotification, &ads, nullptr,
        [&](const core::Notification&) { ++posts; });

    ads.setApplicationVolume(0.5f);
    ads.setApplicationVolume(0.5f);
    ads.setApplicationMuted(true);
    ads.setApplicationMuted(true);
    EXPECT_EQ(posts, 2);
    EXPECT_FLOAT_EQ(ads.clampedApplicationVolume(), 0.5f);

    ads.setApplicationVolume(3.0f);  // stored as given, read clamped
    EXPECT_FLOAT_EQ(ads.applicationVolume(), 3.0f);
    EXPECT_FLOAT_EQ(ads.clampedApplicationVolume(), 1.0f);
    ads.setApplicationVolume(-1.0f);
    EXPECT_FLOAT_EQ(ads.clampedApplicationVolume(), 0.0f);

    ads.setApplicationVolume(1.0f);
    ads.setApplicationMuted(false);
    core::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST(DZMobileAds, VersionComparisonGoesMajorMinorPatch) {
    const DZMobileAds& ads = DZMobileAds::sharedInstance();
    EXPECT_TRUE(ads.isSDKVersionAtLeast(7, 22, 0));
    EXPECT_TRUE(ads.isSDKVersionAtLeast(6, 99, 99));
    EXPECT_TRUE(ads.isSDKVersionAtLeast(7, 21, 5));
    EXPECT_FALSE(ads.isSDKVersionAtLeast(7, 22, 1));
    EXPECT_FALSE(ads.isSDKVersionAtLeast(8, 0, 0));
    EXPECT_FALSE(ads.isSDKVersionAtLeast(7, 23, -5));
    EXPECT_TRUE(ads.isSDKVersionAtLeast(7, 22, -1));
}

TEST(DZMobileAds, ConfigurationKeepsTheApplicationID) {
    DZMobileAds::configureWithApplicationID("dz-app-pub-0000000000000000~0000000000");
    EXPECT_EQ(DZMobileAds::sharedInstance().applicationID(), "dz-app-pub-0000000000000000~0000000000");
}
