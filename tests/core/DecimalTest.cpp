#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/Decimal.h"

using core::Decimal;

namespace {

std::optional<std::string> canonical(const char* text) {
    const auto decimal = Decimal::parse(text);
    if (!decimal) return std::nullopt;
    return decimal->string();
}

std::string floored(const char* text, int places, int minimumIntegerDigits = 1) {
    const auto decimal = Decimal::parse(text);
    EXPECT_TRUE(decimal) << text;
    return decimal ? decimal->floor(places).string(minimumIntegerDigits) : std::string();
}

TEST(DecimalTest, ReadsPlainDecimalTextAndWritesItCanonically) {
    const struct {
        const char* text;
        std::optional<std::string> written;
    } cases[] = {
        {"6.00", "6"},
        {"006.50", "6.5"},
        {"-12.5", "-12.5"},
        {"+0.25", "0.25"},
        {".5", "0.5"},
        {"5.", "5"},
        {"-0.000", "0"},
        {"0", "0"},
        {"12345678901234567890.123456789012345678", "12345678901234567890.123456789012345678"},
        {"0.00000000000000000001", "0.00000000000000000001"},
        {"", std::nullopt},
        {".", std::nullopt},
        {"-", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1e3", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"0x10", std::nullopt},
        {"--1", std::nullopt},
        {"nan", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(canonical(c.text), c.written) << c.text;
    // Equal values compare equal whatever their spelling; zero has no sign.
    EXPECT_EQ(Decimal::parse("6.00"), Decimal::parse("06"));
    EXPECT_EQ(Decimal::parse("-0.0"), Decimal());
    EXPECT_NE(Decimal::parse("0.5"), Decimal::parse("-0.5"));
    EXPECT_EQ(Decimal::parse("-1.2500")->fractionDigits(), 2);
    EXPECT_TRUE(Decimal::parse("-0.5")->isNegative());
    EXPECT_TRUE(Decimal::parse("0.000")->isZero());
}

TEST(DecimalTest, FloorRoundsTowardNegativeInfinity) {
    const struct {
        const char* text;
        int places;
        const char* expected;
    } cases[] = {
        {"1.2345678", 6, "1.234567"},
        {"-1.2345678", 6, "-1.234568"},
        {"1.2345670", 6, "1.234567"},
        {"-1.234567", 6, "-1.234567"},
        {"6.00", 6, "6"},
        {"0.0000001", 6, "0"},
        {"-0.0000001", 6, "-0.000001"},
        {"-0.9999999", 6, "-1"},
        {"9.9999999", 6, "9.999999"},
        {"-9.9999999", 0, "-10"},
        {"-99.5", 0, "-100"},
        {"2.7", 0, "2"},
        {"2.7", -3, "2"},
        // Far beyond a double's precision, nothing is lost.
        {"123456789012345678901.2345678", 6, "123456789012345678901.234567"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(floored(c.text, c.places), c.expected) << c.text << " to " << c.places;
}

TEST(DecimalTest, IntegerDigitsCanBeLeftOutBelowOne) {
    EXPECT_EQ(floored("0.25", 6, 0), ".25");
    EXPECT_EQ(floored("-0.5", 6, 0), "-.5");
    EXPECT_EQ(floored("0", 6, 0), "0");
    EXPECT_EQ(floored("12.5", 6, 0), "12.5");
    EXPECT_EQ(floored("7.5", 6, 3), "007.5");
}

}  // namespace
