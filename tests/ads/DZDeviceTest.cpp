#include "ads/foundation/DZDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DeviceSignalsTesting.h"
#include "ads/core/app/DZMobileAds.h"
#include "core/JSON.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace {

using testsupport::DeviceProfileOverride;
using testsupport::FakeDeviceHost;

std::string readDataFile(const std::string& name) {
    std::filesystem::path folder = std::filesystem::path(__FILE__).parent_path() / "data";
    if (const char* source = std::getenv("VANTOR_SOURCE_DIR"); source && *source) {
        folder = std::filesystem::path(source) / "tests/ads/data";
    }
    std::ifstream file(folder / name);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

std::string json(const core::Value& value) {
    return core::JSON::write(value).value_or("<unwritable>");
}

// Equality that also tells integers, doubles, texts and bools apart.
::testing::AssertionResult sameTypedValue(const core::Value& actual, const core::Value& expected,
                                          const std::string& path) {
    if (actual.kind() != expected.kind()) {
        return ::testing::AssertionFailure()
               << path << ": " << json(actual) << " is not of the type of " << json(expected);
    }
    if (const core::Dictionary* dictionary = expected.dictionary()) {
        if (actual.dictionary()->keys() != dictionary->keys()) {
            return ::testing::AssertionFailure()
                   << path << ": keys " << json(actual) << " vs " << json(expected);
        }
        for (const auto& [key, value] : *dictionary) {
            auto result = sameTypedValue((*actual.dictionary())[key], value, path + "." + key);
            if (!result) return result;
        }
        return ::testing::AssertionSuccess();
    }
    if (const core::Array* array = expected.array()) {
        if (array->size() != actual.array()->size()) {
            return ::testing::AssertionFailure() << path << ": " << json(actual);
        }
        for (size_t i = 0; i < array->size(); ++i) {
            auto result = sameTypedValue((*actual.array())[i], (*array)[i],
                                         path + "[" + std::to_string(i) + "]");
            if (!result) return result;
        }
        return ::testing::AssertionSuccess();
    }
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << path << ": " << json(actual) << " vs " << json(expected);
}

// Puts the user defaults and the publisher's audio settings back.
class DZDeviceTest : public testing::Test {
protected:
    void TearDown() override {
        auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey(core::UserDefaults::kLanguagesKey);
        defaults->removeObjectForKey(ads::DZDevice::kIDFAInRequestKey);
        defaults->removeObjectForKey(ads::DZDevice::kVolumeViewKey);
        ads::DZMobileAds::sharedInstance().setApplicationVolume(1.0f);
        ads::DZMobileAds::sharedInstance().setApplicationMuted(false);
    }

    std::shared_ptr<FakeDeviceHost> host_ = std::make_shared<FakeDeviceHost>();
};

TEST_F(DZDeviceTest, GoldenParametersOfTheFixtureProfile) {
    DeviceProfileOverride profile(readDataFile("golden-device-profile.json"));
    ASSERT_EQ(ui::DeviceProfile::current().name, "golden");
    const auto expected = core::JSON::parse(readDataFile("golden-device-parameters.json"));
    ASSERT_TRUE(expected);

    host_->metadata = core::Dictionary{{"itemId", 42}};
    host_->info = (*expected)["ios_info_plist"];
    host_->mainWindowOrientations = (1UL << 1) | (1UL << 3) | (1UL << 4);
    auto defaults = core::UserDefaults::standard();
    defaults->setObject(std::string(core::UserDefaults::kLanguagesKey), core::Array{"en-GB", "fr"});
    defaults->setBool(ads::DZDevice::kIDFAInRequestKey, true);
    ads::DZMobileAds::sharedInstance().setApplicationVolume(0.8f);
    ads::DZMobileAds::sharedInstance().setApplicationMuted(true);

    auto device = ads::DZDevice::create(host_);
    device->cacheStaticParameters();
    device->cacheAdditionalStaticParameters();
    device->updateDynamicParameters();

    const core::Dictionary parameters = device->parameters();
    EXPECT_TRUE(sameTypedValue(parameters, *expected, "parameters"));
    // The request body carries floats in their short form.
    EXPECT_NE(json(parameters).find("\"ios_app_volume\":0.8,"), std::string::npos);
}

TEST_F(DZDeviceTest, BeforeCachingOnlyTheAlwaysPresentEntriesAreMade) {
    DeviceProfileOverride profile(readDataFile("golden-device-profile.json"));
    host_->appVersion = std::nullopt;
    auto device = ads::DZDevice::create(host_);

    const core::Dictionary parameters = device->parameters();
    EXPECT_FALSE(parameters.contains("ios_ipadc"));
    EXPECT_FALSE(parameters.contains("ios_info_plist"));
    EXPECT_FALSE(parameters.contains("platform"));
    EXPECT_FALSE(parameters.contains("should_silence_audio"));
    EXPECT_FALSE(parameters.contains("cap_bs"));
    EXPECT_FALSE(parameters.contains("pii"));
    EXPECT_EQ(parameters["app_name"], core::Value("iphone.com.example.golden"));
    EXPECT_EQ(parameters["ios_output_volume"], core::Value("1"));
    EXPECT_EQ(parameters["u_w"], core::Value("0"));
    EXPECT_TRUE(parameters["ios_metadata"].isDictionary());
}

TEST_F(DZDeviceTest, LandscapeLaunchStoresPortraitBounds) {
    DeviceProfileOverride profile(R"({"screen": {"width": 667, "height": 375, "scale": 3},
                                      "interfaceOrientation": 3})");
    host_->windowSize = gfx::Size{667, 375};
    auto device = ads::DZDevice::create(host_);
    device->cacheStaticParameters();

    EXPECT_EQ(device->standardizedPortraitScreenBounds().size, (gfx::Size{375, 667}));
    EXPECT_EQ(device->standardizedLandscapeScreenBounds().size, (gfx::Size{667, 375}));
    EXPECT_TRUE(device->orientationLandscape());
    EXPECT_EQ(device->standardizedPortraitKeyWindowSize(), (gfx::Size{375, 667}));
    const core::Dictionary parameters = device->parameters();
    EXPECT_EQ(parameters["u_w"], core::Value("375"));
    EXPECT_EQ(parameters["u_so"], core::Value("l"));
    EXPECT_EQ(parameters["ios_key_window_w"], core::Value("375"));
    EXPECT_EQ(parameters["u_sd"], core::Value("3"));
}

TEST_F(DZDeviceTest, OrientationChangesArePickedUp) {
    auto portrait = DeviceProfileOverride::fromJSON(R"({"screen": {"width": 375, "height": 667}})");
    DeviceProfileOverride profile(portrait);
    auto device = ads::DZDevice::create(host_);
    device->cacheStaticParameters();
    EXPECT_FALSE(device->orientationLandscape());
    EXPECT_EQ(device->standardizedOrientedApplicationFrame(), (gfx::Rect{0, 20, 375, 647}));

    portrait.interfaceOrientation = 4;
    ui::DeviceProfile::overrideForTesting(portrait);
    core::NotificationCenter::defaultCenter().post(
        ui::DeviceProfile::StatusBarOrientationDidChangeNotification);
    EXPECT_TRUE(device->orientationLandscape());
    EXPECT_EQ(device->standardizedOrientedScreenBounds().size, (gfx::Size{667, 375}));
}

TEST_F(DZDeviceTest, AdvertisingIdentifierFollowsTheTrackingSwitch) {
    auto tracked = DeviceProfileOverride::fromJSON(R"({"screen": {"width": 1, "height": 1},
        "advertising": {"identifier": "6D92078A-8246-4BA4-AE5B-76104861E7DC"}})");
    DeviceProfileOverride profile(tracked);
    auto device = ads::DZDevice::create(host_);
    EXPECT_FALSE(device->limitAdTracking());
    EXPECT_EQ(device->limitAdTrackingString(), "0");
    EXPECT_EQ(device->rawDeviceIdentifier(), "6D92078A-8246-4BA4-AE5B-76104861E7DC");
    EXPECT_EQ(device->deviceIdentifier(), "f2d1311ca5c1ecb214c19a26e9ddbad0");

    tracked.advertisingTrackingEnabled = false;
    ui::DeviceProfile::overrideForTesting(tracked);
    EXPECT_EQ(device->limitAdTrackingString(), "1");
    EXPECT_EQ(device->rawDeviceIdentifier(), ads::DZDevice::kZeroAdvertisingIdentifier);
    EXPECT_EQ(device->deviceIdentifier(), "");
}

TEST_F(DZDeviceTest, SystemVersionIsPaddedAndCompared) {
    for (const auto& [version, text, atLeast8] :
         {std::tuple{"7.1.2", "7.1.2", false}, {"8", "8.0.0", true}, {"10.3.1", "10.3.1", true}}) {
        auto made = DeviceProfileOverride::fromJSON(R"({"screen": {"width": 1, "height": 1}})");
        made.systemVersion = version;
        DeviceProfileOverride profile(made);
        auto device = ads::DZDevice::create(host_);
        EXPECT_EQ(device->systemVersion(), text);
        EXPECT_EQ(device->isOSAtLeastMajor(8, 0, 0), atLeast8) << version;
        EXPECT_TRUE(device->OSIsSupported());
    }
}

TEST_F(DZDeviceTest, QueriedSchemesGateWhatCanBeOpened) {
    DeviceProfileOverride profile(R"({"screen": {"width": 1, "height": 1},
                                      "openableSchemes": ["tel", "kindle"]})");
    host_->info = core::Dictionary{{"LSApplicationQueriesSchemes", core::Array{"tel", "sms"}}};
    auto device = ads::DZDevice::create(host_);
    const core::Dictionary answers =
        device->canOpenURLs({"tel://1", "sms://", "kindle://home", ":"});
    EXPECT_EQ(answers["tel://1"], core::Value(true));
    EXPECT_EQ(answers["sms://"], core::Value(false));         // listed, no app
    EXPECT_EQ(answers["kindle://home"], core::Value(false));  // app, not listed
    EXPECT_EQ(answers[":"], core::Value(false));

    // A scheme listed in capitals counts for the URL's lower-case one.
    DeviceProfileOverride openable(R"({"screen": {"width": 1, "height": 1},
                                       "openableSchemes": ["myapp"]})");
    host_->info = core::Dictionary{{"LSApplicationQueriesSchemes", core::Array{"MyApp"}}};
    EXPECT_EQ(ads::DZDevice::create(host_)->canOpenURLs({"myapp://x"})["myapp://x"],
              core::Value(true));
}

TEST_F(DZDeviceTest, OnceComputedValuesAndTheVolumeView) {
    DeviceProfileOverride profile(R"({"screen": {"width": 1, "height": 1}, "machine": "m1,2",
                                      "audio": {"volume": 0.25}})");
    core::UserDefaults::standard()->setObject(std::string(core::UserDefaults::kLanguagesKey),
                                              core::Array{"ZH-Hans-CN"});
    host_->info = core::Dictionary{{"DTSDKName", "sdk4.2"}};
    host_->markerPath = testsupport::testHome() + "/unlocked-marker";
    std::ofstream(host_->markerPath) << "1";
    auto device = ads::DZDevice::create(host_);
    EXPECT_EQ(device->locale(), "zh-hans-cn");
    EXPECT_EQ(device->deviceSubmodel(), "m1,2");
    EXPECT_EQ(device->baseSDKVersion(), "sdk4.2");
    EXPECT_TRUE(device->jailbroken());

    core::UserDefaults::standard()->setObject(std::string(core::UserDefaults::kLanguagesKey),
                                              core::Array{"fr"});
    host_->markerPath = "/nonexistent";
    EXPECT_EQ(device->locale(), "zh-hans-cn");
    EXPECT_TRUE(device->jailbroken());

    EXPECT_FLOAT_EQ(device->audioVolume(), 1.0f);
    core::UserDefaults::standard()->setBool(ads::DZDevice::kVolumeViewKey, true);
    device->updateAudio();
    EXPECT_FLOAT_EQ(device->audioVolume(), 0.25f);
    EXPECT_EQ(device->shouldSilenceAudioValue(), false);
}

}  // namespace
