#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/StringFormat.h"

using core::format;

TEST(StringFormat, ConversionsFollowTheArgumentsOwnType) {
    EXPECT_EQ(format("%d items, %ld more, %lu left", 3, -4L, 5UL), "3 items, -4 more, 5 left");
    EXPECT_EQ(format("%.2f%% done, %5.1f|%-4d|%03d", 50.0, 2.25, 7, 9), "50.00% done,   2.2|7   |009");
    EXPECT_EQ(format("%f interval", 30.0), "30.000000 interval");
    EXPECT_EQ(format("%x %X %o", 255, 255U, 8), "ff FF 10");
    EXPECT_EQ(format("%c%c", 'o', 'k'), "ok");
    // A length modifier that disagrees with the argument cannot read garbage.
    EXPECT_EQ(format("%lld %hhd %zu", 1u << 31, 300, -1), "2147483648 300 18446744073709551615");
    EXPECT_EQ(format("%d", 18446744073709551615ULL), "-1");
}

TEST(StringFormat, ObjectDirectiveWritesTextAndValuesAsTheyAre) {
    std::string withPercent = "100%d sure";
    EXPECT_EQ(format("<Dozuza> %@", withPercent), "<Dozuza> 100%d sure");
    EXPECT_EQ(format("%@/%@/%@", 0.5, 42, true), "0.5/42/1");
    EXPECT_EQ(format("[%8@][%-4@]", "right", "l"), "[   right][l   ]");
    EXPECT_EQ(format("%.3s", std::string("abcdef")), "abc");

    core::Value dict = core::Dictionary{{"name", "a b"}, {"list", core::Array{1, "x"}}};
    EXPECT_EQ(format("%@", dict), "{\n    name = \"a b\";\n    list = (\n        1,\n        x\n    );\n}");
    EXPECT_EQ(format("%@", core::Value()), "<null>");
    EXPECT_EQ(format("%@", core::Value(core::Data{1, 2, 3, 4, 5})), "<01020304 05>");
}

TEST(StringFormat, DatesOutOfRangeAreWrittenAsTheirNumber) {
    EXPECT_EQ(format("%@", core::Value(core::Date{1700000000})), "2023-11-14 22:13:20 +0000");
    EXPECT_EQ(format("%@", core::Value(core::Date{-86400})), "1969-12-31 00:00:00 +0000");
    const std::pair<double, std::string_view> outside[] = {
        {1e300, "(date 1e+300)"},
        {-1e300, "(date -1e+300)"},
        {std::numeric_limits<double>::infinity(), "(date inf)"},
        {std::nan(""), "(date nan)"},
        {1e17, "(date 100000000000000000)"},
    };
    for (const auto& [seconds, text] : outside) {
        EXPECT_EQ(format("%@", core::Value(core::Date{seconds})), text);
    }
}

TEST(StringFormat, PointersAndMissingArguments) {
    int x = 0;
    std::string p = format("%p", static_cast<const void*>(&x));
    EXPECT_EQ(p.rfind("0x", 0), 0u);
    EXPECT_EQ(format("%@", static_cast<const void*>(nullptr)), "(null)");
    EXPECT_EQ(format("%d and %d", 1), "1 and ");
    EXPECT_EQ(format("%d", 1, 2, 3), "1");
    EXPECT_EQ(format("trailing %"), "trailing ");
    EXPECT_EQ(format("%q"), "");
}
