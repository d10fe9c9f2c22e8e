#include <gtest/gtest.h>

#include <cmath>
#include <unordered_set>
#include <utility>
#include <vector>

#include "ads/foundation/DZLocation.h"
#include "support/ManualClockScope.h"

using namespace ads;

TEST(DZLocation, DictionaryFormTruncatesTowardZero) {
    testsupport::ManualClockScope clock;
    const DZLocation location(0.00000029, -0.00000029, 65);
    ASSERT_TRUE(location.isPreciseLocation());
    const auto& dictionary = location.dictionaryRepresentation();
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dictionary->keys(), (std::vector<std::string>{"time", "lat", "long", "radius"}));
    EXPECT_TRUE((*dictionary)["lat"].isInteger());
    EXPECT_EQ((*dictionary)["lat"].intValue(), 2);
    EXPECT_EQ((*dictionary)["long"].intValue(), -2);
    EXPECT_TRUE((*dictionary)["radius"].isDouble());
    EXPECT_DOUBLE_EQ((*dictionary)["radius"].doubleValue(), 65000);
    EXPECT_DOUBLE_EQ((*dictionary)["time"].doubleValue(), clock->wallSeconds() * 1e6);

    const DZLocation city(31.2304167, 121.4737019, 10);
    ASSERT_TRUE(city.dictionaryRepresentation());
    EXPECT_EQ((*city.dictionaryRepresentation())["lat"].intValue(), 312304167);
    EXPECT_EQ((*city.dictionaryRepresentation())["long"].intValue(), 1214737019);
}

TEST(DZLocation, PrecisionNeedsBothCoordinatesInRangeAndAwayFromZero) {
    for (const auto& [latitude, longitude] : std::vector<std::pair<double, double>>{
             {0, 10}, {10, 0}, {1e-8, 10}, {90.5, 10}, {10, 180.5}, {std::nan(""), 10}}) {
        const DZLocation location(latitude, longitude, 5);
        EXPECT_FALSE(location.isPreciseLocation()) << latitude << "," << longitude;
        EXPECT_FALSE(location.dictionaryRepresentation()) << latitude << "," << longitude;
        EXPECT_EQ(location.locationDescription(), "");
    }
    EXPECT_TRUE(DZLocation(-90, 180, 5).isPreciseLocation());
    EXPECT_EQ(DZLocation(1.5, -2.25, 5).locationDescription(), "1.500000,-2.250000");
}

TEST(DZLocation, DescriptionOnlyLocations) {
    const DZLocation described(std::optional<std::string>("Shanghai"));
    EXPECT_EQ(described.locationDescription(), "Shanghai");
    EXPECT_EQ(described.timestamp(), 0);
    EXPECT_FALSE(described.dictionaryRepresentation());
    EXPECT_EQ(DZLocation(std::nullopt).locationDescription(), "");
    EXPECT_EQ(DZLocation(std::nullopt), DZLocation(std::optional<std::string>("")));
}

TEST(DZLocation, ReadsBackItsDictionaryForm) {
    const auto read = DZLocation::fromDictionary(core::Value(core::Dictionary{
        {"time", 1.5e15}, {"lat", -899600036}, {"long", 1214737019}, {"radius", 65000.0}}));
    EXPECT_DOUBLE_EQ(read.timestamp(), 1.5e9);
    EXPECT_DOUBLE_EQ(read.accuracy(), 65);
    // The same integers go out again: x / 1e7 * 1e7 may land just below x.
    ASSERT_TRUE(read.dictionaryRepresentation());
    const auto& dictionary = *read.dictionaryRepresentation();
    EXPECT_EQ(dictionary["lat"].intValue(), -899600036);
    EXPECT_EQ(dictionary["long"].intValue(), 1214737019);
    EXPECT_DOUBLE_EQ(dictionary["time"].doubleValue(), 1.5e15);

    const auto empty = DZLocation::fromDictionary(core::Value("not a dictionary"));
    EXPECT_FALSE(empty.isPreciseLocation());
    EXPECT_EQ(empty.timestamp(), 0);
}

TEST(DZLocation, CopiesKeepTheirTimestamp) {
    testsupport::ManualClockScope clock;
    const DZLocation original(10, 20, 30);
    clock.advance(3600);
    const DZLocation copy = original;
    EXPECT_EQ(copy.timestamp(), original.timestamp());
    EXPECT_EQ(copy, original);
    ASSERT_TRUE(copy.dictionaryRepresentation() && original.dictionaryRepresentation());
    EXPECT_EQ(*copy.dictionaryRepresentation(), *original.dictionaryRepresentation());
}

TEST(DZLocation, EqualLocationsHashAlike) {
    const DZLocation a(31.23041671, 121.47370191, 10.0001);
    const DZLocation b(31.23041672, 121.47370192, 10.0002);  // same sent values
    const DZLocation c(31.2304168, 121.47370191, 10.0001);   // one ten-millionth apart
    const DZLocation d(31.23041671, 121.47370191, 10.002);   // two millimetres wider
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.hash(), b.hash());
    EXPECT_NE(a, c);
    EXPECT_NE(a, d);

    const DZLocation described(std::optional<std::string>("31.230417,121.473702"));
    EXPECT_NE(a, described);  // precise never equals description-only
    // Not precise: compared by their (empty) descriptions.
    EXPECT_EQ(DZLocation(0, 5, 1), DZLocation(std::nullopt));
    EXPECT_EQ(DZLocation(0, 5, 1).hash(), DZLocation(std::nullopt).hash());

    const std::unordered_set<DZLocation> set{a, b, c, d, described};
    EXPECT_EQ(set.size(), 4u);
}
