#include <gtest/gtest.h>

#include <cmath>

#include "ads/foundation/DZJSONAdditions.h"
#include "core/JSON.h"

using namespace ads;

namespace {

core::Value parsed(const std::optional<std::string>& text) {
    EXPECT_TRUE(text);
    return text ? core::JSON::parse(*text).value_or(core::Value()) : core::Value();
}

const core::URL kURL = *core::URL::create("http://h/");

}  // namespace

TEST(DZJSONAdditions, WritesCollectionsCompactOrPretty) {
    const core::Dictionary dictionary{{"a", 1}, {"u", "http://x/"}, {"l", core::Array{true, 2.5}}};
    Error error;
    const auto compact = dz_JSONStringPretty(dictionary, false, &error);
    EXPECT_EQ(compact, R"({"a":1,"u":"http:\/\/x\/","l":[true,2.5]})");
    const auto pretty = dz_JSONStringPretty(dictionary, true, &error);
    ASSERT_TRUE(pretty);
    EXPECT_NE(pretty->find('\n'), std::string::npos);
    EXPECT_EQ(parsed(pretty), core::Value(dictionary));
    EXPECT_EQ(dz_JSONStringPretty(core::Array{1, "x"}, false, nullptr), R"([1,"x"])");
}

TEST(DZJSONAdditions, RefusesWhatJSONCannotHoldWithSDKError11) {
    for (const core::Value& bad : {core::Value(std::nan("")), core::Value(core::Data{1}),
                                   core::Value(core::Date{5}), core::Value(std::string("\xFF"))}) {
        Error error;
        EXPECT_FALSE(dz_JSONStringPretty(core::Dictionary{{"k", bad}}, false, &error));
        EXPECT_EQ(error.domain, "com.dozuza.ads");
        EXPECT_EQ(error.code, 11);
        EXPECT_EQ(error.message, "Invalid JSON object.");
        ASSERT_TRUE(error.underlying);
        EXPECT_FALSE(error.underlying->message.empty());
    }
    EXPECT_FALSE(dz_JSONStringPretty(core::Array{INFINITY}, true, nullptr));
}

TEST(DZJSONAdditions, RepairTurnsKeysAndURLsIntoText) {
    const DZLooseValue::Dictionary loose{{1, kURL}};
    EXPECT_EQ(dz_JSONSafeDictionary(loose), (core::Dictionary{{"1", "http://h/"}}));

    const DZLooseValue::Array nested{
        DZLooseValue::dictionary({{2.5, DZLooseValue::array({kURL, 1})}, {true, "t"}})};
    EXPECT_EQ(dz_JSONSafeArray(nested),
              (core::Array{core::Dictionary{{"2.5", core::Array{"http://h/", 1}}, {"1", "t"}}}));
}

TEST(DZJSONAdditions, RepairKeepsTheTextKeyWhenKeysCollide) {
    const DZLooseValue::Dictionary textFirst{{"1", "text"}, {1, "number"}};
    const DZLooseValue::Dictionary textLast{{1, "number"}, {"1", "text"}};
    EXPECT_EQ(dz_JSONSafeDictionary(textFirst), (core::Dictionary{{"1", "text"}}));
    EXPECT_EQ(dz_JSONSafeDictionary(textLast), (core::Dictionary{{"1", "text"}}));
    const DZLooseValue::Dictionary twoNumbers{{1, "int"}, {1.0, "double"}, {"a", "x"}};
    EXPECT_EQ(dz_JSONSafeDictionary(twoNumbers).keys(), (std::vector<std::string>{"1", "a"}));
    EXPECT_EQ(dz_JSONSafeDictionary(twoNumbers)["1"], core::Value("int"));
}

TEST(DZJSONAdditions, RepairDescribesValuesJSONCannotHold) {
    const core::Dictionary repaired = dz_JSONSafeDictionary(
        core::Dictionary{{"nan", std::nan("")},
                         {"data", core::Data{1, 2}},
                         {"date", core::Date{1700000000}},
                         {"text", std::string("a\xFF")},
                         {"deep", core::Array{core::Dictionary{{"inf", -INFINITY}}}},
                         {"ok", core::Value()}});
    EXPECT_EQ(repaired, (core::Dictionary{{"nan", "nan"},
                                          {"data", "<0102>"},
                                          {"date", "2023-11-14 22:13:20 +0000"},
                                          {"text", "a\uFFFD"},
                                          {"deep", core::Array{core::Dictionary{{"inf", "-inf"}}}},
                                          {"ok", core::Value()}}));
    EXPECT_TRUE(dz_JSONStringPretty(repaired, false, nullptr));
}

TEST(DZJSONAdditions, RepairLeavesValidCollectionsAsTheyAre) {
    const core::Dictionary valid{
        {"b", 1}, {"a", core::Array{"x", false, 0.5}}, {"n", core::Value()}};
    const core::Dictionary repaired = dz_JSONSafeDictionary(valid);
    EXPECT_EQ(repaired, valid);
    EXPECT_EQ(repaired.keys(), valid.keys());
    EXPECT_TRUE(dz_JSONSafeArray(core::Array{}).empty());
}

TEST(DZJSONAdditions, DecodesFragmentsAndReportsTheReadersError) {
    Error error;
    EXPECT_EQ(dz_decodedJSONObjectError(R"("bare")", &error), core::Value("bare"));
    EXPECT_EQ(dz_decodedJSONObjectError("12", &error), core::Value(12));
    EXPECT_EQ(dz_decodedJSONObjectError(R"({"a":[1]})", &error),
              core::Value(core::Dictionary{{"a", core::Array{1}}}));
    EXPECT_FALSE(dz_decodedJSONObjectError(R"({"a":)", &error));
    EXPECT_EQ(error.domain, "core.JSON");
    EXPECT_FALSE(error.message.empty());
    EXPECT_FALSE(dz_decodedJSONObjectError("", nullptr));
}
