#include <gtest/gtest.h>

#include "core/JSON.h"
#include "ui/AudioSession.h"
#include "ui/DeviceProfile.h"

namespace {

using ui::DeviceProfile;

std::optional<DeviceProfile> parse(std::string_view json) {
    const auto value = core::JSON::parse(json);
    return value ? DeviceProfile::fromValue(*value) : std::nullopt;
}

TEST(DeviceProfileSignalsTest, BundledProfilesCarryTheSignalFacts) {
    for (const char* name : {"phone-x", "pad", "phone"}) {
        ASSERT_TRUE(DeviceProfile::select(name)) << name;
        const DeviceProfile& profile = DeviceProfile::current();
        EXPECT_FALSE(profile.machine.empty()) << name;
        EXPECT_EQ(profile.advertisingIdentifier.size(), 36u) << name;
        EXPECT_FALSE(profile.audio.route.empty()) << name;
        EXPECT_TRUE(profile.canOpenScheme("HTTPS")) << name;
    }
    EXPECT_EQ(DeviceProfile::current().radioTechnology, "LTE");
    EXPECT_EQ(DeviceProfile::current().carrier.mobileCountryCode, "310");
}

TEST(DeviceProfileSignalsTest, FactsAreReadWithTheirDefaults) {
    const auto profile = parse(R"({"screen": {"width": 10, "height": 20},
        "languages": ["de-CH", "en"], "locale": "de_CH",
        "advertising": {"identifier": "ABC", "trackingEnabled": false},
        "network": {"connection": "cellular", "radioAccessTechnology": "Edge",
                    "carrier": {"mobileCountryCode": "228", "mobileNetworkCode": "01"}},
        "audio": {"volume": 0.3, "route": [{"type": "HDMI"}], "category": "Playback",
                  "categoryOptions": 2, "otherAudioPlaying": true},
        "interfaceOrientation": 4, "canSendText": false})");
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->languages, (std::vector<std::string>{"de-CH", "en"}));
    EXPECT_EQ(profile->localeIdentifier, "de_CH");
    EXPECT_FALSE(profile->advertisingTrackingEnabled);
    EXPECT_EQ(profile->networkConnection, "cellular");
    EXPECT_EQ(profile->carrier.mobileNetworkCode, "01");
    EXPECT_FLOAT_EQ(profile->audio.outputVolume, 0.3f);
    EXPECT_EQ(profile->audio.route, (std::vector<ui::AudioPort>{{"HDMI", std::nullopt}}));
    EXPECT_EQ(profile->audio.mode, "Default");
    EXPECT_EQ(profile->audio.categoryOptions, 2u);
    EXPECT_EQ(profile->interfaceOrientation, 4);
    EXPECT_FALSE(profile->canSendText);
    EXPECT_TRUE(profile->canMakePayments);

    const auto bare = parse(R"({"screen": {"width": 10, "height": 20}})");
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->languages.empty());  // from the environment
    EXPECT_FALSE(bare->localeIdentifier.empty());
    EXPECT_EQ(bare->audio.route.size(), 1u);
}

TEST(DeviceProfileSignalsTest, MistypedFactsRejectTheProfile) {
    for (const char* facts :
         {R"("languages": "en")", R"("advertising": {"trackingEnabled": 1})",
          R"("audio": {"volume": 1.5})", R"("audio": {"route": [{"name": "x"}]})",
          R"("interfaceOrientation": 5)", R"("network": {"carrier": []})",
          R"("audio": {"categoryOptions": -1})"}) {
        const std::string json =
            std::string(R"({"screen": {"width": 10, "height": 20}, )") + facts + "}";
        EXPECT_FALSE(parse(json)) << facts;
    }
}

TEST(DeviceProfileSignalsTest, OverrideMakesAProfileCurrentUntilTheNextSelect) {
    auto made = parse(R"({"name": "made", "screen": {"width": 10, "height": 20},
                          "audio": {"category": "Playback", "volume": 0.1}})");
    ASSERT_TRUE(made);
    DeviceProfile::overrideForTesting(*made);
    EXPECT_EQ(DeviceProfile::current().name, "made");
    ui::AudioSession& session = ui::AudioSession::shared();
    session.resetForTesting();
    EXPECT_EQ(session.category(), ui::AudioSession::CategoryPlayback);
    EXPECT_FLOAT_EQ(session.outputVolume(), 0.1f);
    EXPECT_FALSE(session.setCategory("Karaoke"));
    EXPECT_EQ(session.category(), ui::AudioSession::CategoryPlayback);

    ASSERT_TRUE(DeviceProfile::select("phone"));
    session.resetForTesting();
    EXPECT_EQ(session.category(), ui::AudioSession::CategorySoloAmbient);
}

}  // namespace
