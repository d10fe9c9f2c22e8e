#include <gtest/gtest.h>

#include "SawmillTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZSawmill.h"
#include "ads/foundation/DZSawmillCommand.h"
#include "ads/foundation/DZSawmillConfig.h"
#include "ads/foundation/DZSawmillEvent.h"

using namespace ads;

TEST(DZSawmillCommandTest, CommandWrapsAnEventWithItsIdAndBothClocks) {
    EXPECT_FALSE(DZSawmillCommand("log:1", core::Dictionary{}));
    EXPECT_FALSE(DZSawmillCommand("", core::Dictionary{{"a", core::Dictionary{}}}));

    const core::Dictionary event{{"bannerview", core::Dictionary{{"class", "DZBannerView"}}}};
    const auto command = DZSawmillCommand("log:1", event);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->size(), 4u);
    EXPECT_EQ((*command)["id"], core::Value("log:1"));
    EXPECT_EQ((*command)["params"], core::Value(event));
    EXPECT_TRUE((*command)["awake_timeinterval_since_boot_sec"].isDouble());
    EXPECT_GE((*command)["awake_timeinterval_since_boot_sec"].doubleValue(), 0.001);
    EXPECT_TRUE((*command)["timeinterval_since_boot_sec"].isDouble());

    EXPECT_EQ(
        core::Value(DZSawmillBeaconCommand(30)),
        core::Value(core::Dictionary{{"beacon", core::Dictionary{{"time_interval_sec", 30.0}}}}));
}

TEST(DZSawmillCommandTest, EventsAreOneEntryDictionaries) {
    EXPECT_EQ(core::Value(*DZSawmillFlagEvent("sawmill", "finish")),
              core::Value(core::Dictionary{{"sawmill", core::Dictionary{{"finish", 1}}}}));
    EXPECT_FALSE(DZSawmillFlagEvent("", "finish"));
    EXPECT_FALSE(DZSawmillFlagEvent("sawmill", std::nullopt));

    const core::Dictionary parameters{{"ad_unit_id", "u"}};
    EXPECT_EQ(core::Value(*DZSawmillEvent("slot", parameters)),
              core::Value(core::Dictionary{{"slot", parameters}}));
    EXPECT_FALSE(DZSawmillEvent("", parameters));
    EXPECT_FALSE(DZSawmillEvent("slot", core::Value()));

    Error error = DZErrorWithCodeDescription(kDZErrorNoFill, "No ad.");
    EXPECT_EQ(core::Value(DZSawmillErrorParameters(error)),
              core::Value(core::Dictionary{{"error_code", 1}, {"error_message", "No ad."}}));
    error.message.clear();
    EXPECT_EQ(DZSawmillErrorParameters(error)["error_message"], core::Value(""));
}

TEST(DZSawmillCommandTest, ConfigReadsEveryKeyWithItsDefault) {
    EXPECT_FALSE(DZSawmillConfig::fromValue(core::Value()));
    EXPECT_FALSE(DZSawmillConfig::fromValue(core::Value("enabled")));

    const auto defaults = DZSawmillConfig::fromValue(core::Dictionary{});
    ASSERT_TRUE(defaults);
    EXPECT_FALSE(defaults->enabled);
    EXPECT_DOUBLE_EQ(defaults->beaconInterval, 60.0);
    EXPECT_FALSE(defaults->useJSCore);
    EXPECT_FALSE(defaults->version);
    EXPECT_FALSE(defaults->scriptURL);
    EXPECT_FALSE(defaults->baseURL);
    EXPECT_EQ(defaults->maxBufferedCommandSize, 100);
    EXPECT_EQ(defaults->JSConfig, "");

    const auto config = DZSawmillConfig::fromValue(core::Dictionary{
        {"enabled", "1"},
        {"beacon_interval_in_sec", 30},
        {"use_js_core", true},
        {"version", 7},
        {"script_url", "http://127.0.0.1/s.js"},
        {"base_url", "not a url"},
        {"max_buffer_size", 5},
        {"js_config", "{\"k\":1}"},
    });
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->enabled);
    EXPECT_DOUBLE_EQ(config->beaconInterval, 30.0);
    EXPECT_TRUE(config->useJSCore);
    EXPECT_EQ(config->version, "7");
    ASSERT_TRUE(config->scriptURL);
    EXPECT_EQ(config->scriptURL->absoluteString(), "http://127.0.0.1/s.js");
    EXPECT_FALSE(config->baseURL);
    EXPECT_EQ(config->maxBufferedCommandSize, 5);
    EXPECT_EQ(config->JSConfig, "{\"k\":1}");
}

TEST(DZSawmillCommandTest, UniqueIdsCountFromOneUnderTheProcessUUID) {
    testsupport::SawmillSettingsScope settings;
    const auto sawmill = DZSawmill::sharedInstance();
    const std::string uuid = DZApplication::sharedInstance()->UUIDString();
    EXPECT_EQ(uuid.size(), 36u);
    EXPECT_EQ(sawmill->nextUniqueID(), uuid + ":1");
    EXPECT_EQ(sawmill->nextUniqueID(), uuid + ":2");
    EXPECT_EQ(sawmill->nextUniqueID(), uuid + ":3");
}
