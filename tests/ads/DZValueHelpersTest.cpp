#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "ads/foundation/DZValueHelpers.h"

using namespace ads;

TEST(DZValueHelpers, CompactDecimalStrings) {
    EXPECT_EQ(DZCompactDecimalString(1.5), "1.5");
    EXPECT_EQ(DZCompactDecimalString(10.0), "10");
    EXPECT_EQ(DZCompactDecimalString(30.0), "30");
    EXPECT_EQ(DZCompactDecimalString(0.25), "0.25");
    EXPECT_EQ(DZCompactDecimalString(0), "0");
    EXPECT_EQ(DZCompactDecimalString(0.1234567), "0.123457");
    EXPECT_EQ(DZCompactDecimalString(100), "100");
    EXPECT_EQ(DZCompactDecimalString(-2.50), "-2.5");
    EXPECT_EQ(DZCompactDecimalString(0.0000001), "0");
}

TEST(DZValueHelpers, BoolsAsTextAndNumber) {
    EXPECT_EQ(DZStringFromBool(true), "1");
    EXPECT_EQ(DZStringFromBool(false), "0");
    EXPECT_TRUE(DZNumberFromBool(true).isInteger());
    EXPECT_EQ(DZNumberFromBool(true).intValue(), 1);
    EXPECT_EQ(DZNumberFromBool(false).intValue(), 0);
}

TEST(DZValueHelpers, ObjectOfClassAnswersOnlyThatKind) {
    const core::Dictionary dictionary{
        {"s", "x"}, {"i", 1}, {"d", 0.5}, {"b", true}, {"a", core::Array{}}};
    EXPECT_EQ(DZObjectOfClassForKey(&dictionary, "s", DZValueClass::String), dictionary.find("s"));
    EXPECT_TRUE(DZObjectOfClassForKey(&dictionary, "i", DZValueClass::Number));
    EXPECT_TRUE(DZObjectOfClassForKey(&dictionary, "d", DZValueClass::Number));
    EXPECT_FALSE(DZObjectOfClassForKey(&dictionary, "b", DZValueClass::Number));
    EXPECT_TRUE(DZObjectOfClassForKey(&dictionary, "b", DZValueClass::Bool));
    EXPECT_FALSE(DZObjectOfClassForKey(&dictionary, "i", DZValueClass::String));
    EXPECT_TRUE(DZObjectOfClassForKey(&dictionary, "a", DZValueClass::Array));
    EXPECT_FALSE(DZObjectOfClassForKey(&dictionary, "missing", DZValueClass::Array));
    EXPECT_FALSE(DZObjectOfClassForKey(nullptr, "s", DZValueClass::String));
}

TEST(DZValueHelpers, SetObjectIfPresentNeedsKeyAndObject) {
    core::Dictionary dictionary;
    DZSetObjectIfPresent(dictionary, "a", core::Value(1));
    DZSetObjectIfPresent(dictionary, std::nullopt, core::Value(2));
    DZSetObjectIfPresent(dictionary, "b", std::nullopt);
    DZSetObjectIfPresent(dictionary, "c", core::Value());
    DZSetObjectIfPresent(dictionary, std::optional<std::string>("a"),
                         std::optional<std::string>("x"));
    EXPECT_EQ(dictionary, (core::Dictionary{{"a", "x"}}));
}

TEST(DZValueHelpers, FilteredArrayKeepsOrderAndHonoursStop) {
    const std::vector<int> items{1, 2, 3, 4, 5, 6};
    const auto even =
        DZFilteredArray(items, [](const int& v, size_t, bool&) { return v % 2 == 0; });
    EXPECT_EQ(even, (std::vector<int>{2, 4, 6}));
    const auto untilFour = DZFilteredArray(items, [](const int& v, size_t index, bool& stop) {
        stop = index == 3;
        return v != 2;
    });
    EXPECT_EQ(untilFour, (std::vector<int>{1, 3, 4}));
    EXPECT_FALSE(DZFilteredArray(items, [](const int&, size_t, bool&) { return false; }));
}

TEST(DZValueHelpers, VersionComparisonGoesPartByPart) {
    EXPECT_TRUE(DZVersionIsAtLeast(7, 22, 0, 7, 22, 0));
    EXPECT_FALSE(DZVersionIsAtLeast(7, 21, 9, 7, 22, 0));
    EXPECT_TRUE(DZVersionIsAtLeast(8, 0, 0, 7, 99, 99));
    EXPECT_FALSE(DZVersionIsAtLeast(7, 22, 0, 7, 22, 1));
    EXPECT_TRUE(DZVersionIsAtLeast(7, 22, 10, 7, 22, 9));
}

TEST(DZValueHelpers, IntegersOutsideTheirTypeAreNoValue) {
    // Doubles truncate toward zero; each end of the range is exact.
    EXPECT_EQ(DZIntegerFromDouble<std::int64_t>(-2.9), -2);
    EXPECT_EQ(DZIntegerFromDouble<std::int64_t>(-9223372036854775808.0), INT64_MIN);
    EXPECT_EQ(DZIntegerFromDouble<std::int64_t>(9223372036854775808.0), std::nullopt);
    EXPECT_EQ(DZIntegerFromDouble<std::int64_t>(9223372036854774784.0), 9223372036854774784);
    EXPECT_EQ(DZIntegerFromDouble<std::uint64_t>(18446744073709551616.0), std::nullopt);
    EXPECT_EQ(DZIntegerFromDouble<std::uint64_t>(-0.5), 0u);
    EXPECT_EQ(DZIntegerFromDouble<std::uint64_t>(-1), std::nullopt);
    EXPECT_EQ(DZIntegerFromDouble<std::int32_t>(2147483648.0), std::nullopt);
    for (const double number : {1e300, -1e300, std::nan(""), HUGE_VAL, -HUGE_VAL})
        EXPECT_EQ(DZIntegerFromDouble<std::int64_t>(number), std::nullopt) << number;

    // Values: texts that are wholly a number, and integers kept exact.
    EXPECT_EQ(DZIntegerValue<std::int64_t>(core::Value("1e300")), std::nullopt);
    EXPECT_EQ(DZIntegerValue<std::int64_t>(core::Value(" 42 ")), 42);
    EXPECT_EQ(DZIntegerValue<std::int64_t>(core::Value("42px")), std::nullopt);
    EXPECT_EQ(DZIntegerValue<std::int64_t>(core::Value(true)), std::nullopt);
    EXPECT_EQ(DZIntegerValue<std::int64_t>(core::Value(INT64_MAX)), INT64_MAX);
    EXPECT_EQ(DZIntegerValue<std::int64_t>(core::Value(UINT64_MAX)), std::nullopt);
    EXPECT_EQ(DZIntegerValue<std::uint64_t>(core::Value(UINT64_MAX)), UINT64_MAX);
    EXPECT_EQ(DZIntegerValue<std::uint64_t>(core::Value(-1)), std::nullopt);
    EXPECT_EQ(DZIntegerValue<std::uint8_t>(core::Value(256)), std::nullopt);
}
