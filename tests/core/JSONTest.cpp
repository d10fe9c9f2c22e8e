#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/JSON.h"

namespace {

using core::Array;
using core::Dictionary;
using core::JSON;
using core::JSONError;
using core::JSONReadOptions;
using core::JSONStyle;
using core::Value;

Value parsed(std::string_view text, JSONReadOptions options = {}) {
    JSONError error;
    auto value = JSON::parse(text, options, &error);
    EXPECT_TRUE(value.has_value()) << text << ": " << error.message;
    return value.value_or(Value());
}

Value fragment(std::string_view text) {
    JSONReadOptions options;
    options.allowFragments = true;
    return parsed(text, options);
}

JSONError parseError(std::string_view text, JSONReadOptions options = {}) {
    JSONError error;
    const auto value = JSON::parse(text, options, &error);
    EXPECT_FALSE(value.has_value()) << "accepted: " << text;
    EXPECT_FALSE(error.message.empty());
    return error;
}

std::string written(const Value& value, JSONStyle style = JSONStyle::Compact) {
    JSONError error;
    const auto text = JSON::write(value, style, &error);
    EXPECT_TRUE(text.has_value()) << error.message;
    return text.value_or("");
}

std::string nested(size_t depth) {
    return std::string(depth, '[') + "1" + std::string(depth, ']');
}

Value everyKind() {
    return Dictionary{
        {"null", Value()},
        {"yes", true},
        {"no", false},
        {"int", -42},
        {"big", std::numeric_limits<std::uint64_t>::max()},
        {"min", std::numeric_limits<std::int64_t>::min()},
        {"half", 0.5},
        {"tiny", 1e-300},
        {"text", "caf\xC3\xA9 \xE5\xA3\x81\xE7\xBA\xB8 \"q\" \\ / \n\t\x01 \xF0\x9F\x93\xB7"},
        {"empty", ""},
        {"list", Array{1, "two", Array{}, Dictionary{}, Array{Value(), 3.25}}},
        {"object", Dictionary{{"z", 1}, {"a", Dictionary{{"deep", Array{true}}}}}},
    };
}

TEST(JSONTest, EveryKindRoundTripsInBothStyles) {
    const Value original = everyKind();
    for (JSONStyle style : {JSONStyle::Compact, JSONStyle::Pretty}) {
        const Value back = parsed(written(original, style));
        EXPECT_EQ(back, original);
        EXPECT_EQ(back.dictionary()->keys(), original.dictionary()->keys());
        EXPECT_TRUE(back["big"].isUnsigned());
        EXPECT_EQ(back["big"].uintValue(), std::numeric_limits<std::uint64_t>::max());
        EXPECT_EQ(back["min"].intValue(), std::numeric_limits<std::int64_t>::min());
        EXPECT_TRUE(back["half"].isDouble());
        EXPECT_TRUE(back["int"].isInteger());
        EXPECT_TRUE(back["yes"].isBool());
    }
}

TEST(JSONTest, CompactOutputIsExact) {
    EXPECT_EQ(written(Dictionary{{"a", 1}, {"b", Array{true, Value()}}}),
              R"({"a":1,"b":[true,null]})");
    EXPECT_EQ(written(Array{}), "[]");
    EXPECT_EQ(written(Dictionary{}), "{}");
    EXPECT_EQ(written(Array{std::numeric_limits<std::uint64_t>::max(),
                            std::numeric_limits<std::int64_t>::min()}),
              "[18446744073709551615,-9223372036854775808]");
}

TEST(JSONTest, PrettyOutputIsExact) {
    const Value doc = Dictionary{{"a", 1},
                                 {"b", Array{true, Value(), Array{}}},
                                 {"c", Dictionary{}},
                                 {"d", Dictionary{{"e", "f"}}}};
    EXPECT_EQ(written(doc, JSONStyle::Pretty), "{\n"
                                               "  \"a\" : 1,\n"
                                               "  \"b\" : [\n"
                                               "    true,\n"
                                               "    null,\n"
                                               "    []\n"
                                               "  ],\n"
                                               "  \"c\" : {},\n"
                                               "  \"d\" : {\n"
                                               "    \"e\" : \"f\"\n"
                                               "  }\n"
                                               "}");
}

TEST(JSONTest, StringsAreEscapedThePlatformWay) {
    EXPECT_EQ(written(Array{"http://a/b"}), R"(["http:\/\/a\/b"])");
    EXPECT_EQ(written(Array{"\"\\\b\f\n\r\t\x01\x1f\x7f"}), R"(["\"\\\b\f\n\r\t\u0001\u001f)"
                                                            "\x7f\"]");
    EXPECT_EQ(written(Array{"\xE5\xA3\x81"}), "[\"\xE5\xA3\x81\"]");
    EXPECT_EQ(written(Dictionary{{"a/b", 1}}), R"({"a\/b":1})");
    EXPECT_EQ(parsed(R"(["\u58c1\ud83d\udcf7\/\u0041"])")[0],
              Value("\xE5\xA3\x81\xF0\x9F\x93\xB7/A"));
}

TEST(JSONTest, DoublesAreWrittenShortestAndIntegralWithoutFraction) {
    EXPECT_EQ(written(Array{3.0, -2.0, 0.0, 0.5, 0.1, 1e20, 1e21, 1.5e-7}),
              "[3,-2,0,0.5,0.1,100000000000000000000,1e+21,1.5e-07]");
    for (double d : {1.0 / 3, 2.0 / 3 * 1e-200, 6.02214076e23, 9007199254740993.0}) {
        const Value back = parsed(written(Array{d}))[0];
        EXPECT_TRUE(back.isNumber());
        EXPECT_EQ(back.doubleValue(), d);
    }
    // Negative zero stays a negative double, not the integer 0.
    const Value zero = parsed(written(Array{-0.0}))[0];
    EXPECT_TRUE(zero.isDouble());
    EXPECT_TRUE(std::signbit(zero.doubleValue()));
}

TEST(JSONTest, NumbersTakeTheNarrowestFittingKind) {
    const Value doc =
        parsed("[5, -0, 9223372036854775807, 9223372036854775808, 18446744073709551615,"
               " -9223372036854775808, -9223372036854775809, 18446744073709551616,"
               " 123456789012345678901234567890, 1.0, 1e2, 1e-400]");
    EXPECT_TRUE(doc[0].isInteger());
    EXPECT_FALSE(doc[0].isUnsigned());
    EXPECT_EQ(doc[1], Value(0));
    EXPECT_EQ(doc[2].intValue(), std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(doc[2].isUnsigned());
    EXPECT_TRUE(doc[3].isUnsigned());
    EXPECT_EQ(doc[3].uintValue(), std::uint64_t{1} << 63);
    EXPECT_EQ(doc[4].uintValue(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(doc[5].intValue(), std::numeric_limits<std::int64_t>::min());
    EXPECT_TRUE(doc[6].isDouble());
    EXPECT_EQ(doc[6].doubleValue(), -9223372036854775809.0);
    EXPECT_TRUE(doc[7].isDouble());
    EXPECT_EQ(doc[7].doubleValue(), 18446744073709551616.0);
    EXPECT_TRUE(doc[8].isDouble());
    EXPECT_EQ(doc[8].doubleValue(), 1.2345678901234568e29);
    EXPECT_TRUE(doc[9].isDouble());
    EXPECT_TRUE(doc[10].isDouble());
    EXPECT_EQ(doc[10], Value(100));
    EXPECT_EQ(doc[11], Value(0.0));
    EXPECT_EQ(doc.size(), 12u);
}

TEST(JSONTest, FragmentsNeedTheOption) {
    for (const char* text : {"\"x\"", "12", "true", "null", " -1.5 "}) {
        const JSONError error = parseError(text);
        EXPECT_NE(error.message.find("did not start with array or object"), std::string::npos);
        EXPECT_EQ(error.position, std::string_view(text).find_first_not_of(' ')) << text;
    }
    EXPECT_EQ(fragment("\"x\""), Value("x"));
    EXPECT_EQ(fragment("12"), Value(12));
    EXPECT_EQ(fragment("true"), Value(true));
    EXPECT_TRUE(fragment("null").isNull());
    EXPECT_EQ(fragment(" -1.5 "), Value(-1.5));
    EXPECT_EQ(fragment("99999999999999999999"), Value(1e20));
    EXPECT_EQ(fragment("[1]"), Value(Array{1}));
    EXPECT_EQ(written("x"), "\"x\"");
}

struct BadText {
    std::string text;
    size_t position;
    std::string message;
};

TEST(JSONTest, ErrorsNameTheOffendingByte) {
    const std::vector<BadText> cases = {
        {"", 0, "No JSON text"},
        {"  \n ", 4, "No JSON text"},
        {"[1,]", 3, "Unexpected character ']'"},
        {"[1] x", 4, "expected nothing after"},
        {"[1]]", 3, "expected nothing after"},
        {"{\"a\" 1}", 5, "expected ':'"},
        {"{\"a\":1,}", 7, "expected a string key"},
        {"{1:2}", 1, "expected a string key"},
        {"[1 2]", 3, "expected ',' or ']'"},
        {"{\"a\":1", 6, "Unexpected end"},
        {"[\"abc", 1, "Unterminated string"},
        {"[tru]", 1, "Invalid literal"},
        {"[01]", 2, "Unexpected character '1'"},
        {"[-]", 1, "Invalid number"},
        {"[1.]", 1, "Invalid number"},
        {"[1e400]", 1, "out of range"},
        {"[0, -1e400]", 4, "out of range"},
        {"[1" + std::string(400, '0') + "]", 1, "out of range"},
        {"[\"\\x\"]", 2, "Invalid escape"},
        {"[\"\\u12G4\"]", 2, "Invalid \\u escape"},
        {"[\"ab\\uD800\"]", 4, "Unpaired surrogate"},
        {"[\"\\uDC00\"]", 2, "Unpaired surrogate"},
        {"[\"a\x01\"]", 3, "Unescaped control character"},
        {"[\"ab\xFF\"]", 4, "Invalid UTF-8"},
        {"[\"\xC3(\"]", 2, "Invalid UTF-8"},
        {"[\"\xE0\x80\x80\"]", 2, "Invalid UTF-8"},
        {"[\"\xED\xA0\x80\"]", 2, "Invalid UTF-8"},
        {"[\"\xF4\x90\x80\x80\"]", 2, "Invalid UTF-8"},
        {"[\"ok\"] \xFF", 7, "Invalid UTF-8"},
        {"[1, \"\xFF\", ]", 5, "Invalid UTF-8"},
        {std::string("[1,\0]", 5), 3, "Unexpected character 0x0"},
    };
    for (const BadText& bad : cases) {
        SCOPED_TRACE(bad.text);
        const JSONError error = parseError(bad.text);
        EXPECT_EQ(error.position, bad.position) << error.message;
        EXPECT_NE(error.message.find(bad.message), std::string::npos) << error.message;
    }
}

TEST(JSONTest, NullTextAndMissingErrorOutputAreSafe) {
    EXPECT_EQ(parseError(std::string_view()).position, 0u);
    EXPECT_FALSE(JSON::parse("[1,").has_value());
}

TEST(JSONTest, DepthIsLimited) {
    EXPECT_EQ(parsed(nested(512)).size(), 1u);
    const JSONError tooDeep = parseError(nested(513));
    EXPECT_EQ(tooDeep.position, 512u);
    EXPECT_NE(tooDeep.message.find("deeper"), std::string::npos);

    std::string objects;
    for (int i = 0; i < 513; ++i) objects += "{\"k\":";
    objects += "1" + std::string(513, '}');
    EXPECT_EQ(parseError(objects).position, 512u * 5);

    JSONReadOptions shallow;
    shallow.maxDepth = 2;
    EXPECT_EQ(parsed("[[1],{\"a\":2}]", shallow).size(), 2u);
    EXPECT_EQ(parseError("[[1],{\"a\":[]}]", shallow).position, 10u);
    JSONReadOptions unlimited;
    unlimited.maxDepth = std::numeric_limits<size_t>::max();
    const size_t deepest = JSON::kMaxSupportedDepth;
    EXPECT_EQ(written(parsed(nested(deepest), unlimited)), nested(deepest));
    EXPECT_EQ(parseError(nested(deepest + 1), unlimited).position, deepest);
    Value overNested = 1;
    for (size_t i = 0; i <= deepest; ++i) {
        Array wrapper;
        wrapper.push_back(std::move(overNested));
        overNested = Value(std::move(wrapper));
    }
    JSONError writeError;
    EXPECT_FALSE(JSON::write(overNested, JSONStyle::Compact, &writeError).has_value());
    EXPECT_NE(writeError.message.find("too deep"), std::string::npos);

    shallow.maxDepth = 0;
    shallow.allowFragments = true;
    EXPECT_EQ(parsed("7", shallow), Value(7));
    EXPECT_EQ(parseError("[]", shallow).position, 0u);
}

TEST(JSONTest, ObjectsKeepKeyOrderAndTheLastDuplicate) {
    const Value doc = parsed(R"({"b":1,"a":2,"b":3,"c":{"y":1,"x":2}})");
    EXPECT_EQ(doc.dictionary()->keys(), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(doc["b"], Value(3));
    EXPECT_EQ(doc["c"].dictionary()->keys(), (std::vector<std::string>{"y", "x"}));

    std::string wide = "{";
    for (int i = 99; i >= 0; --i)
        wide += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
    wide += "\"k50\":\"again\"}";
    const Value many = parsed(wide);
    ASSERT_EQ(many.size(), 100u);
    EXPECT_EQ(many.dictionary()->keys().front(), "k99");
    EXPECT_EQ(many.dictionary()->keys()[49], "k50");
    EXPECT_EQ(many["k50"], Value("again"));
    EXPECT_EQ(many["k0"], Value(0));
}

TEST(JSONTest, ValuesWithoutJSONFormAreRefused) {
    const std::vector<std::pair<Value, std::string>> cases = {
        {Array{std::nan("")}, "NaN"},
        {Dictionary{{"a", Array{std::numeric_limits<double>::infinity()}}}, "infinite"},
        {Array{core::Data{1}}, "data"},
        {Dictionary{{"when", core::Date{1}}}, "date"},
        {Array{"bad \xFF text"}, "UTF-8"},
        {Dictionary{{"\xC3", 1}}, "UTF-8"},
    };
    for (const auto& [value, word] : cases) {
        JSONError error;
        EXPECT_FALSE(JSON::write(value, JSONStyle::Compact, &error).has_value()) << word;
        EXPECT_NE(error.message.find(word), std::string::npos) << error.message;
        EXPECT_FALSE(JSON::write(value, JSONStyle::Pretty).has_value()) << word;
    }
}

TEST(JSONTest, LargeDocumentsParse) {
    std::string text = "[";
    const std::string element = R"({"id":"abc","n":12345,"f":0.25,"s":"a\nb"},)";
    while (text.size() < (9u << 20)) text += element;
    text.back() = ']';
    const Value doc = parsed(text);
    ASSERT_EQ(doc.size(), (text.size() - 1) / element.size());
    EXPECT_EQ(doc[doc.size() - 1]["s"], Value("a\nb"));
    // A refused large text still gets a position.
    text[text.size() - 2] = ',';
    EXPECT_EQ(parseError(text).position, text.size() - 1);
}

TEST(JSONTest, ThreadsParseIndependently) {
    std::vector<std::thread> threads;
    std::vector<int> matches(4, 0);
    for (size_t t = 0; t < matches.size(); ++t) {
        threads.emplace_back([t, &matches] {
            const std::string text = R"({"thread":)" + std::to_string(t) + R"(,"list":[1,2,3]})";
            for (int i = 0; i < 200; ++i) {
                const auto value = JSON::parse(text);
                if (value && (*value)["thread"] == Value(static_cast<int>(t))) ++matches[t];
                JSONReadOptions deep;
                deep.maxDepth = 3 + t;
                (void)JSON::parse(nested(4), deep);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(matches, std::vector<int>(matches.size(), 200));
}

}  // namespace

namespace {

// The writer's escaping, one byte at a time, for text known to be valid.
std::string escapedByByte(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\' || c == '/') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == 0x01) {
            out += "\\u0001";
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

TEST(JSONTest, EscapesAndUTF8AreFoundAtEveryPlaceOfLongAndShortText) {
    // Whatever lands at a 16-byte boundary: each special piece at each
    // position of texts around one and two blocks long.
    const std::string pieces[] = {"/",    "\"",       "\\",           "\n",
                                  "\x01", "\xC3\xA9", "\xE5\xA3\x81", "\xF0\x9F\x98\x80"};
    for (const size_t length : {1, 15, 16, 17, 31, 32, 33, 47}) {
        for (const std::string& piece : pieces) {
            for (size_t at = 0; at < length; ++at) {
                std::string text(length, 'a');
                text.replace(at, 1, piece);
                const auto written = JSON::write(Array{Value(text)});
                ASSERT_TRUE(written) << length << " " << at;
                ASSERT_EQ(*written, "[" + escapedByByte(text) + "]") << length << " " << at;
                ASSERT_EQ(parsed(*written)[size_t{0}], Value(text));
            }
        }
    }
    // Ill-formed UTF-8 anywhere is refused: a stray continuation byte, a
    // cut sequence, an overlong form, a surrogate, past U+10FFFF.
    const std::string bad[] = {"\x80",     "\xC3",         "\xE5\xA3",
                               "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"};
    for (const size_t length : {4, 16, 17, 40}) {
        for (const std::string& piece : bad) {
            for (size_t at = 0; at < length; at += 3) {
                std::string text(length, 'b');
                text.insert(at, piece);
                EXPECT_FALSE(JSON::write(Value(text)).has_value()) << length << " " << at;
            }
        }
    }
}

TEST(JSONTest, OnlyTheTextOfAStringIsWrittenWhateverItsBufferHoldsPastIt) {
    // Texts cut short in place keep their old bytes past the end (moved into
    // the value, a long text keeps its buffer); text that is all escapes
    // writes six times what it reads.
    for (const size_t length : {3, 14, 40, 5000}) {
        std::string text(length + 30, '"');
        text.replace(0, length, length, '\x01');
        text.resize(length);
        const std::string expected = escapedByByte(text);
        ASSERT_EQ(JSON::write(Value(std::move(text))), expected) << length;
        std::string cut(length + 30, '\x80');
        cut.resize(1);
        cut.front() = 'x';
        EXPECT_EQ(JSON::write(Value(std::move(cut))), "\"x\"") << length;
    }
}

TEST(JSONTest, ARepeatedKeyWithAContainerKeepsItsPlaceAndTakesTheLastValue) {
    const Value doc = parsed(R"({"a":{"x":1},"b":[1,{"c":2}],"a":[3,{"d":[4]}],"b":5})");
    EXPECT_EQ(doc.dictionary()->keys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(doc["a"], Value(Array{3, Dictionary{{"d", Array{4}}}}));
    EXPECT_EQ(doc["b"], Value(5));
}

}  // namespace
