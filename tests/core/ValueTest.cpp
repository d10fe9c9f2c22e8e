#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "core/Value.h"

namespace {

using core::Array;
using core::Dictionary;
using core::Value;

constexpr auto kUInt64Max = std::numeric_limits<std::uint64_t>::max();
constexpr auto kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr auto kInt64Min = std::numeric_limits<std::int64_t>::min();

TEST(ValueTest, KindsAreKeptApart) {
    EXPECT_TRUE(Value().isNull());
    EXPECT_TRUE(Value(nullptr).isNull());
    EXPECT_TRUE(Value(true).isBool());
    EXPECT_FALSE(Value(true).isNumber());
    EXPECT_TRUE(Value(7).isInteger());
    EXPECT_TRUE(Value(2.5).isDouble());
    EXPECT_TRUE(Value("text").isString());
    EXPECT_TRUE(Value(core::Data{1, 2}).isData());
    EXPECT_TRUE(Value(core::Date{10}).isDate());
    EXPECT_TRUE(Value(Array{1, 2}).isArray());
    EXPECT_TRUE(Value(Dictionary{{"a", 1}}).isDictionary());

    EXPECT_NE(Value(true), Value(1));
    EXPECT_NE(Value(false), Value());
    EXPECT_NE(Value("1"), Value(1));
    EXPECT_NE(Value(0), Value());
}

TEST(ValueTest, WholeUnsignedRangeSurvives) {
    const Value max(kUInt64Max);
    EXPECT_TRUE(max.isUnsigned());
    EXPECT_EQ(max.uintValue(), kUInt64Max);
    EXPECT_EQ(max.stringValue(), "18446744073709551615");
    EXPECT_NE(max, Value(-1));
    EXPECT_NE(max, Value(18446744073709551616.0));

    const Value min(kInt64Min);
    EXPECT_FALSE(min.isUnsigned());
    EXPECT_EQ(min.intValue(), kInt64Min);
    EXPECT_EQ(min.stringValue(), "-9223372036854775808");
    EXPECT_NE(min, Value(std::uint64_t{1} << 63));
}

TEST(ValueTest, NumbersCompareByExactNumericValue) {
    EXPECT_EQ(Value(1), Value(1.0));
    EXPECT_EQ(Value(1.0), Value(1));
    EXPECT_EQ(Value(std::uint64_t{5}), Value(5));
    EXPECT_NE(Value(1), Value(1.5));
    EXPECT_EQ(Value(std::uint64_t{1} << 63), Value(9223372036854775808.0));
    // 2^53 + 1 has no double of its own; rounding it would make them equal.
    EXPECT_NE(Value(std::int64_t{9007199254740993}), Value(9007199254740992.0));
    EXPECT_NE(Value(kInt64Max), Value(9223372036854775808.0));
    EXPECT_NE(Value(std::nan("")), Value(std::nan("")));
    EXPECT_NE(Value(0), Value(std::nan("")));
}

TEST(ValueTest, OtherKindsCompareByContents) {
    EXPECT_EQ(Value("a"), Value(std::string("a")));
    EXPECT_NE(Value("a"), Value("b"));
    EXPECT_EQ(Value(core::Data{1, 2}), Value(core::Data{1, 2}));
    EXPECT_NE(Value(core::Data{1, 2}), Value(core::Data{2, 1}));
    EXPECT_EQ(Value(core::Date{3}), Value(core::Date{3}));
    EXPECT_NE(Value(core::Date{3}), Value(3));
    EXPECT_EQ(Value(Array{1, "x", Array{}}), Value(Array{1.0, "x", Array{}}));
    EXPECT_NE(Value(Array{1, 2}), Value(Array{2, 1}));
    EXPECT_EQ(Value(Dictionary{{"a", 1}, {"b", 2}}), Value(Dictionary{{"b", 2}, {"a", 1}}));
    EXPECT_NE(Value(Dictionary{{"a", 1}}), Value(Dictionary{{"a", 2}}));
    EXPECT_NE(Value(Dictionary{{"a", 1}}), Value(Dictionary{{"a", 1}, {"b", 1}}));
}

struct Coercion {
    Value value;
    bool asBool;
    std::int64_t asInt;
    double asDouble;
    std::string asString;
};

TEST(ValueTest, ReadersCoerceLikeThePlatform) {
    const std::vector<Coercion> table = {
        {Value(), false, 0, 0, ""},
        {Value(true), true, 1, 1, "1"},
        {Value(false), false, 0, 0, "0"},
        {Value(0), false, 0, 0, "0"},
        {Value(-3), true, -3, -3, "-3"},
        {Value(2.5), true, 2, 2.5, "2.5"},
        {Value(-2.9), true, -2, -2.9, "-2.9"},
        {Value(0.0), false, 0, 0, "0"},
        {Value(3.0), true, 3, 3, "3"},
        {Value(0.1), true, 0, 0.1, "0.1"},
        {Value(1e20), true, kInt64Max, 1e20, "100000000000000000000"},
        {Value(1e21), true, kInt64Max, 1e21, "1e+21"},
        {Value("1"), true, 1, 1, "1"},
        {Value("YES"), true, 0, 0, "YES"},
        {Value("yes"), true, 0, 0, "yes"},
        {Value("True"), true, 0, 0, "True"},
        {Value(" true "), true, 0, 0, " true "},
        {Value("no"), false, 0, 0, "no"},
        {Value("false"), false, 0, 0, "false"},
        {Value("yesterday"), false, 0, 0, "yesterday"},
        {Value("2"), true, 2, 2, "2"},
        {Value("0"), false, 0, 0, "0"},
        {Value("0.5"), true, 0, 0.5, "0.5"},
        {Value(" 42"), true, 42, 42, " 42"},
        {Value("\t-7"), true, -7, -7, "\t-7"},
        {Value("+8"), true, 8, 8, "+8"},
        {Value("12abc"), true, 12, 12, "12abc"},
        {Value("abc"), false, 0, 0, "abc"},
        {Value("3.7"), true, 3, 3.7, "3.7"},
        {Value("1e3"), true, 1, 1000, "1e3"},
        {Value(".5"), true, 0, 0.5, ".5"},
        {Value("inf"), false, 0, 0, "inf"},
        {Value("0x10"), false, 0, 0, "0x10"},
        {Value(""), false, 0, 0, ""},
        {Value(core::Data{1}), false, 0, 0, ""},
        {Value(core::Date{5}), false, 0, 0, ""},
        {Value(Array{1}), false, 0, 0, ""},
        {Value(Dictionary{{"a", 1}}), false, 0, 0, ""},
    };
    for (const Coercion& row : table) {
        SCOPED_TRACE("value " + std::to_string(static_cast<int>(row.value.kind())) + " \"" +
                     row.value.stringValue() + "\"");
        EXPECT_EQ(row.value.boolValue(), row.asBool);
        EXPECT_EQ(row.value.intValue(), row.asInt);
        EXPECT_DOUBLE_EQ(row.value.doubleValue(), row.asDouble);
        EXPECT_EQ(row.value.stringValue(), row.asString);
    }
}

TEST(ValueTest, ReadersSaturateInsteadOfOverflowing) {
    EXPECT_EQ(Value(1e30).intValue(), kInt64Max);
    EXPECT_EQ(Value(-1e30).intValue(), kInt64Min);
    EXPECT_EQ(Value(std::nan("")).intValue(), 0);
    EXPECT_FALSE(Value(std::nan("")).boolValue());
    EXPECT_EQ(Value(1e30).uintValue(), kUInt64Max);
    EXPECT_EQ(Value(-1.0).uintValue(), kUInt64Max);
    EXPECT_EQ(Value("99999999999999999999").intValue(), kInt64Max);
    EXPECT_EQ(Value("-99999999999999999999").intValue(), kInt64Min);
    EXPECT_EQ(Value("18446744073709551615").uintValue(), kUInt64Max);
    EXPECT_EQ(Value("99999999999999999999").uintValue(), kUInt64Max);
    EXPECT_EQ(Value("-1").uintValue(), kUInt64Max);
    EXPECT_EQ(Value("1e400").doubleValue(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Value("-1e400").doubleValue(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Value("1e-400").doubleValue(), 0.0);
    EXPECT_EQ(Value(kUInt64Max).intValue(), -1);
    EXPECT_EQ(Value(kUInt64Max).doubleValue(), 18446744073709551616.0);
}

TEST(ValueTest, DoubleTextReadsBackExactly) {
    for (double d : {1.0 / 3, 0.1 + 0.2, 1e-7, 123456.789, -2.5e-300, 1.7976931348623157e308,
                     4.9e-324, 9007199254740993.0, 1e300}) {
        const std::string text = Value(d).stringValue();
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
        EXPECT_EQ(Value(text).doubleValue(), d) << text;
    }
    EXPECT_EQ(Value(std::nan("")).stringValue(), "nan");
    EXPECT_EQ(Value(-std::numeric_limits<double>::infinity()).stringValue(), "-inf");
}

TEST(ValueTest, LookupsAnswerNullWhenAbsent) {
    const Value dict(Dictionary{{"a", Array{10, 20}}});
    EXPECT_EQ(dict["a"][1], Value(20));
    EXPECT_TRUE(dict["missing"].isNull());
    EXPECT_TRUE(dict["a"][2].isNull());
    EXPECT_TRUE(dict["a"]["key"].isNull());
    EXPECT_TRUE(Value(5)[0].isNull());
    EXPECT_EQ(dict.size(), 1u);
    EXPECT_EQ(dict["a"].size(), 2u);
    EXPECT_EQ(Value("abc").size(), 0u);
}

TEST(DictionaryTest, KeepsInsertionOrderThroughSetAndRemove) {
    Dictionary dict{{"z", 1}, {"a", 2}, {"m", 3}};
    dict.set("a", "replaced");
    dict.set("b", 4);
    EXPECT_EQ(dict.keys(), (std::vector<std::string>{"z", "a", "m", "b"}));
    EXPECT_EQ(dict["a"], Value("replaced"));

    EXPECT_TRUE(dict.remove("a"));
    EXPECT_FALSE(dict.remove("a"));
    EXPECT_EQ(dict.keys(), (std::vector<std::string>{"z", "m", "b"}));
    EXPECT_EQ(dict["b"], Value(4));

    dict.at("new") = 9;
    dict.at("z") = 0;
    EXPECT_EQ(dict.keys(), (std::vector<std::string>{"z", "m", "b", "new"}));
    EXPECT_EQ(dict["z"], Value(0));
    EXPECT_TRUE(dict.at("empty").isNull());
    EXPECT_EQ(dict.size(), 5u);
}

TEST(DictionaryTest, DuplicateKeysInALiteralKeepFirstPositionAndLastValue) {
    const Dictionary dict{{"a", 1}, {"b", 2}, {"a", 3}};
    EXPECT_EQ(dict.keys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(dict["a"], Value(3));
}

// Large dictionaries switch to a hash index: lookups must follow every
// insertion, replacement and removal, and order must not change.
TEST(DictionaryTest, LargeDictionariesStayConsistent) {
    Dictionary dict;
    std::vector<std::string> expected;
    for (int i = 0; i < 60; ++i) {
        dict.set("key" + std::to_string(i), i);
        expected.push_back("key" + std::to_string(i));
    }
    for (int i = 0; i < 60; i += 3) {
        ASSERT_TRUE(dict.remove("key" + std::to_string(i)));
        std::erase(expected, "key" + std::to_string(i));
    }
    dict.set("key10", "ten");
    EXPECT_EQ(dict.keys(), expected);
    for (int i = 0; i < 60; ++i) {
        const Value* found = dict.find("key" + std::to_string(i));
        if (i % 3 == 0) {
            EXPECT_EQ(found, nullptr) << i;
        } else {
            ASSERT_NE(found, nullptr) << i;
            EXPECT_EQ(*found, i == 10 ? Value("ten") : Value(i)) << i;
        }
    }

    Dictionary copy = dict;
    copy.set("key1", "changed");
    copy.remove("key2");
    EXPECT_EQ(dict["key1"], Value(1));
    EXPECT_TRUE(dict.contains("key2"));
    EXPECT_EQ(copy["key1"], Value("changed"));
    EXPECT_FALSE(copy.contains("key2"));

    while (dict.size() > 3) ASSERT_TRUE(dict.remove(dict.keys().front()));
    EXPECT_EQ(dict.keys(), (std::vector<std::string>(expected.end() - 3, expected.end())));
    EXPECT_EQ(dict[expected.back()], Value(59));
}

TEST(DictionaryTest, CopiesAreIndependentValues) {
    Value original(Dictionary{{"list", Array{1, 2}}});
    Value copy = original;
    copy.dictionary()->at("list").array()->push_back(3);
    EXPECT_EQ(original["list"].size(), 2u);
    EXPECT_EQ(copy["list"].size(), 3u);
    Dictionary assigned;
    assigned = *copy.dictionary();
    EXPECT_EQ(Value(assigned), copy);
    assigned.clear();
    EXPECT_TRUE(assigned.empty());
    EXPECT_TRUE(assigned["list"].isNull());
}

}  // namespace
