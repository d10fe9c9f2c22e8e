// The mediation configuration as far as a slot hands it on: a JSON object
// and its refresh interval.

#include <gtest/gtest.h>

#include <cmath>

#include "ads/mediation/DZMConfig.h"

namespace {

using ads::DZMConfig;

double refreshOf(core::Value refresh) {
    ads::Error error;
    const auto config = DZMConfig::initWithAppKey(
        "unit", core::Dictionary{{"settings", core::Dictionary{{"refresh", std::move(refresh)}}}},
        &error);
    return config ? config->refreshInterval() : -1;
}

TEST(DZMConfigTest, OnlyAnObjectIsAConfiguration) {
    ads::Error error;
    EXPECT_FALSE(DZMConfig::initWithAppKey("unit", core::Array{1, 2}, &error));
    EXPECT_EQ(error.code, ads::kDZErrorMediationDataError);
    const auto config =
        DZMConfig::initWithAppKey("unit", core::Dictionary{{"qdata", "q"}}, nullptr);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->appKey(), "unit");
    EXPECT_EQ(config->configDict()["qdata"], core::Value("q"));
    EXPECT_EQ(config->refreshInterval(), 0.0);
}

TEST(DZMConfigTest, RefreshIntervalsAtOrAboveTheBoundOrNotNumbersMeanNone) {
    EXPECT_EQ(refreshOf(29999.5), 29999.5);
    EXPECT_EQ(refreshOf(30000.0), 0.0);
    EXPECT_EQ(refreshOf(std::nan("")), 0.0);
    EXPECT_EQ(refreshOf("45"), 45.0);
    EXPECT_EQ(refreshOf("soon"), 0.0);
}

}  // namespace
