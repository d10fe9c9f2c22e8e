#include "core/KeyedArchive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ValueTesting.h"

using core::Array;
using core::Data;
using core::Date;
using core::Dictionary;
using core::KeyedArchive;
using core::Value;
using testsupport::expectIdentical;

namespace {

Data archive(const Value& value) {
    std::string error;
    auto bytes = KeyedArchive::encode(value, &error);
    EXPECT_TRUE(bytes) << error;
    return bytes.value_or(Data{});
}

Value nested(size_t depth) {
    Value value;
    for (size_t i = 0; i < depth; ++i) value = Value(Array{std::move(value)});
    return value;
}

// A tree with every kind, nested, for the corruption tables.
Value sample() {
    return Value(Dictionary{
        {"z", Value(true)},
        {"a", Value(Array{Value(-2), Value(std::uint64_t{7}), Value(0.5), Value(nullptr)})},
        {"text", Value("é")},
        {"when", Value(Date{12.25})},
        {"bytes", Value(Data{0, 255})},
        {"nested", Value(Dictionary{{"k", Value(false)}})},
    });
}

TEST(KeyedArchiveTest, RoundTripKeepsEveryKind) {
    const struct {
        const char* name;
        Value value;
    } cases[] = {
        {"null", Value()},
        {"true", Value(true)},
        {"false", Value(false)},
        {"zero", Value(0)},
        {"negative", Value(std::numeric_limits<std::int64_t>::min())},
        {"unsigned small", Value(std::uint64_t{1})},
        {"unsigned max", Value(std::numeric_limits<std::uint64_t>::max())},
        {"double", Value(-0.1)},
        {"negative zero", Value(-0.0)},
        {"infinity", Value(std::numeric_limits<double>::infinity())},
        {"nan", Value(std::nan(""))},
        {"text with nul", Value(std::string("a\0b", 3))},
        {"empty data", Value(Data{})},
        {"data", Value(Data{0, 1, 0xfe, 0xff})},
        {"date", Value(Date{1700000000.5})},
        {"empty array", Value(Array{})},
        {"empty dictionary", Value(Dictionary{})},
        {"sample", sample()},
        {"deepest", nested(KeyedArchive::kMaxDepth)},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto decoded = KeyedArchive::decode(archive(c.value), &error);
        ASSERT_TRUE(decoded) << c.name << ": " << error;
        expectIdentical(*decoded, c.value, c.name);
    }
}

TEST(KeyedArchiveTest, TooDeepTreeIsNotArchived) {
    std::string error;
    EXPECT_FALSE(KeyedArchive::encode(nested(KeyedArchive::kMaxDepth + 1), &error));
    EXPECT_NE(error.find("deeper"), std::string::npos) << error;
}

TEST(KeyedArchiveTest, EveryTruncationIsAnError) {
    const Data full = archive(sample());
    for (size_t size = 0; size < full.size(); ++size) {
        std::string error;
        const auto decoded = KeyedArchive::decode({full.data(), size}, &error);
        EXPECT_FALSE(decoded) << "cut at " << size;
        EXPECT_FALSE(error.empty()) << "cut at " << size;
    }
}

TEST(KeyedArchiveTest, CorruptArchivesAreErrors) {
    const Data header = {'V', 'K', 'A', 'R', KeyedArchive::kVersion};
    auto with = [&](std::initializer_list<std::uint8_t> body) {
        Data bytes = header;
        bytes.insert(bytes.end(), body);
        return bytes;
    };
    Data deep = header;
    for (size_t i = 0; i <= KeyedArchive::kMaxDepth; ++i) {
        deep.insert(deep.end(), {9, 1, 0, 0, 0});
    }
    deep.push_back(0);
    Data trailing = archive(sample());
    trailing.push_back(0);

    const struct {
        const char* name;
        Data bytes;
        const char* error;
    } cases[] = {
        {"wrong magic", {'V', 'K', 'A', 'X', 1, 0}, "not a keyed archive"},
        {"newer version", {'V', 'K', 'A', 'R', 2, 0}, "version 2"},
        {"unknown tag", with({11}), "unknown tag 11"},
        {"unknown tag in array", with({9, 1, 0, 0, 0, 0xff}), "unknown tag 255"},
        {"huge text length", with({7, 0xff, 0xff, 0xff, 0xff}), "runs past the end"},
        {"text length one past", with({7, 2, 0, 0, 0, 'a'}), "runs past the end"},
        {"huge array count", with({9, 0xff, 0xff, 0xff, 0x7f, 0}), "runs past the end"},
        {"huge dictionary count", with({10, 0xff, 0xff, 0xff, 0xff}), "runs past the end"},
        {"huge key length", with({10, 1, 0, 0, 0, 0xff, 0xff, 0, 0, 0}), "runs past the end"},
        {"repeated key", with({10, 2, 0, 0, 0, 1, 0, 0, 0, 'k', 0, 1, 0, 0, 0, 'k', 1}),
         "repeated"},
        {"too deep", deep, "deeper"},
        {"trailing byte", trailing, "after the root value"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(KeyedArchive::decode(c.bytes, &error)) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    }
}

}  // namespace
