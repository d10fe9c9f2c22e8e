// The reward value and the rewarded ad's set-up of adapters from the app
// settings before any request: exact decimal amounts, refused rewards, the
// server flag, the wait for the first refresh since start, and the entries
// of one adapter class set up together, an entry without "id" included.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AdWebTesting.h"
#include "RewardedTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZConfiguration.h"
#include "ads/core/request/DZRequest.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkConnector.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "fixtures/RewardedScenarios.h"

namespace {

using ads::DZAdReward;
using rewardedtesting::kMulti;
using rewardedtesting::ScriptedRewardedAdapter;

std::string amountOf(const core::Value& dictionary) {
    const auto reward = DZAdReward::create(dictionary);
    return reward ? reward->rewardType() + " " + reward->rewardAmount().string() : "none";
}

// The user's location is private: only a network whose entry says
// "gwhirl_share_location": "1" hears it, and no network sees that switch.
TEST(DZMRewardBasedVideoAdNetworkConnector, OnlyNetworksAllowedItHearTheUsersLocation) {
    const auto connectorFor = [](const char* share, const std::shared_ptr<ads::DZRequest>& request) {
        core::Dictionary data{{"pubid", "p1"}};
        if (share) data.set(ads::DZMAdNetworkConfig::kShareLocationKey, share);
        ads::Error error;
        const auto config = ads::DZMAdNetworkConfig::initWithDictionary(
            core::Dictionary{{"id", "1"}, {"adapters", core::Array{"A"}}, {"data", data}}, &error);
        EXPECT_TRUE(config);
        auto connector = ads::DZMRewardBasedVideoAdNetworkConnector::create();
        connector->setAdNetworkConfig(config);
        connector->setRequest(request);
        return connector;
    };
    const auto precise = std::make_shared<ads::DZRequest>();
    precise->setLocationWithLatitude(47.5, 8.25, 30);
    const auto described = std::make_shared<ads::DZRequest>();
    described->setLocationWithDescription("Zurich");

    const auto allowed = connectorFor("1", precise);
    EXPECT_TRUE(allowed->userHasLocation());
    EXPECT_EQ(allowed->userLatitude(), 47.5);
    EXPECT_EQ(allowed->userLongitude(), 8.25);
    EXPECT_EQ(allowed->userLocationAccuracyInMeters(), 30);
    EXPECT_EQ(connectorFor("1", described)->userLocationDescription(), "Zurich");
    ASSERT_TRUE(allowed->credentials());
    EXPECT_EQ(*allowed->credentials(), (core::Dictionary{{"pubid", "p1"}}));

    for (const char* share : {static_cast<const char*>(nullptr), "0", "true", ""}) {
        SCOPED_TRACE(share ? share : "no switch");
        const auto refused = connectorFor(share, precise);
        EXPECT_FALSE(refused->userHasLocation());
        EXPECT_EQ(refused->userLatitude(), 0);
        EXPECT_EQ(refused->userLongitude(), 0);
        EXPECT_EQ(refused->userLocationAccuracyInMeters(), 0);
        EXPECT_EQ(connectorFor(share, described)->userLocationDescription(), std::nullopt);
        EXPECT_EQ(*refused->credentials(), (core::Dictionary{{"pubid", "p1"}}));
    }
    // Allowed, but the publisher gave no location.
    EXPECT_FALSE(connectorFor("1", std::make_shared<ads::DZRequest>())->userHasLocation());
}

TEST(DZAdRewardTest, AmountsKeepTheirDecimalValueAndOnlyNumbersCount) {
    const auto entry = [](core::Value amount, core::Value type = "coins") {
        return core::Value(core::Dictionary{{"rb_type", std::move(type)}, {"rb_amount", std::move(amount)}});
    };
    EXPECT_EQ(amountOf(entry(2.50)), "coins 2.5");
    EXPECT_EQ(amountOf(entry(0.1)), "coins 0.1");
    EXPECT_EQ(amountOf(entry(7)), "coins 7");
    EXPECT_EQ(amountOf(entry(-1.25)), "coins -1.25");
    EXPECT_EQ(amountOf(entry(1e21)), "coins 1000000000000000000000");
    EXPECT_EQ(amountOf(entry(2.5e-7)), "coins 0.00000025");
    EXPECT_EQ(amountOf(entry(3, "")), " 3");
    // Text amounts, missing or odd types and the plain initializer give none.
    EXPECT_EQ(amountOf(entry("10")), "none");
    EXPECT_EQ(amountOf(entry(true)), "none");
    EXPECT_EQ(amountOf(entry(5, 5)), "none");
    EXPECT_EQ(amountOf(core::Dictionary{{"rb_amount", 5}}), "none");
    EXPECT_EQ(amountOf(core::Value()), "none");
    EXPECT_EQ(DZAdReward::create(), nullptr);
    EXPECT_EQ(DZAdReward::create(std::string("coins"), std::nullopt), nullptr);
    // Texts of the ad page: spaces and exponents, nothing else.
    ASSERT_TRUE(DZAdReward::decimalFromText(" 1e2 "));
    EXPECT_EQ(DZAdReward::decimalFromText(" 1e2 ")->string(), "100");
    ASSERT_TRUE(DZAdReward::decimalFromText("2.50"));
    EXPECT_EQ(DZAdReward::decimalFromText("2.50")->string(), "2.5");
    EXPECT_FALSE(DZAdReward::decimalFromText("nan"));
    EXPECT_FALSE(DZAdReward::decimalFromText("1e"));
    EXPECT_FALSE(DZAdReward::decimalFromText(""));
}

class DZRewardBasedVideoAdTest : public testing::Test {
protected:
    void SetUp() override {
        ScriptedRewardedAdapter::reset();
        ScriptedRewardedAdapter::registerClasses();
        clearSettings();
    }
    void TearDown() override {
        rewarded.reset();
        ScriptedRewardedAdapter::reset();
        clearSettings();
    }
    void clearSettings() {
        core::UserDefaults::standard()->removeObjectForKey(
            std::string(ads::DZRewardBasedVideoAd::kEarlySetUpKey));
        const auto configuration = ads::DZApplication::sharedInstance()->configuration();
        for (const std::string& key : std::vector<std::string>{"ad_unit_id_settings", std::string(kRefreshed)})
            configuration->setObject(std::nullopt, key, ads::DZApplication::kServerPriority);
    }
    // The app settings as the server sends them, then their announcement.
    void serveSettings(bool refreshed) {
        const auto configuration = ads::DZApplication::sharedInstance()->configuration();
        const core::Dictionary settings = fixtures::RewardedScenarios::appSettings(kMulti);
        configuration->setObject(settings["ad_unit_id_settings"], "ad_unit_id_settings",
                                 ads::DZApplication::kServerPriority);
        configuration->setObject(core::Value(refreshed), std::string(kRefreshed),
                                 ads::DZApplication::kServerPriority);
        core::NotificationCenter::defaultCenter().post(
            ads::DZApplication::kConfigurationChangedNotification, configuration.get());
        ASSERT_TRUE(adwebtesting::drainMainQueue());
    }
    void make() {
        rewarded = ads::DZRewardBasedVideoAd::create();
        ASSERT_TRUE(adwebtesting::drainMainQueue());
    }

    static constexpr std::string_view kRefreshed = ads::DZApplication::kRefreshedSinceAppStartKey;
    std::shared_ptr<ads::DZRewardBasedVideoAd> rewarded;
};

TEST_F(DZRewardBasedVideoAdTest, WithTheFlagOffTheAppSettingsSetNothingUp) {
    make();
    serveSettings(true);
    EXPECT_TRUE(rewarded->connectors().empty());
    EXPECT_TRUE(ScriptedRewardedAdapter::made().empty());
    EXPECT_TRUE(rewarded->isObservingApplicationConfiguration());
}

TEST_F(DZRewardBasedVideoAdTest, WithTheFlagOnTheSetUpWaitsForARefreshSinceStart) {
    core::UserDefaults::standard()->setObject(std::string(ads::DZRewardBasedVideoAd::kEarlySetUpKey), true);
    serveSettings(false);
    make();
    EXPECT_TRUE(rewarded->connectors().empty());
    EXPECT_TRUE(rewarded->isObservingApplicationConfiguration());

    serveSettings(true);
    ASSERT_EQ(rewarded->connectors().size(), 1u);
    const auto connector = rewarded->connectors().begin()->second;
    EXPECT_EQ(rewarded->connectors().begin()->first, kMulti);
    std::vector<std::string> ids;
    for (const auto& config : connector->adNetworkConfigsFromAppConfiguration())
        ids.push_back(config->networkID());
    EXPECT_EQ(ids, (std::vector<std::string>{"7", "{TBD}"}));
    // (The shared instance, when it exists, sets up its own adapter too.)
    std::shared_ptr<ScriptedRewardedAdapter> adapter;
    for (const auto& made : ScriptedRewardedAdapter::made())
        if (made->connector() == connector) adapter = made;
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(connector->adapter(), adapter);
    EXPECT_EQ(adapter->setUpCall, "setUpWithUserID");
    ASSERT_EQ(adapter->multipleCredentials().size(), 2u);
    EXPECT_EQ(adapter->multipleCredentials()[1]["app_key"].stringValue(), "key-unnamed");
    EXPECT_EQ(connector->currentAdapterName(), std::optional<std::string>(kMulti));
    // Its set-up reported: no longer pending; and done at most once.
    EXPECT_TRUE(rewarded->pendingSetUpConnectorsTimestamp().empty());
    EXPECT_FALSE(rewarded->isObservingApplicationConfiguration());
    const auto setUp = connector;
    serveSettings(true);
    ASSERT_EQ(rewarded->connectors().size(), 1u);
    EXPECT_EQ(rewarded->connectors().begin()->second, setUp);
    EXPECT_FALSE(adapter->stopped);
}

}  // namespace
