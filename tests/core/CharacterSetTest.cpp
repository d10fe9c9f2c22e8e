#include "core/CharacterSet.h"

#include <gtest/gtest.h>

#include <string>

namespace core {
namespace {

TEST(CharacterSetTest, PredefinedSetsFollowTheGeneralCategories) {
    const struct {
        const CharacterSet& set;
        std::u32string members;
        std::u32string nonMembers;
    } cases[] = {
        {CharacterSet::whitespace(), U" \t\u00A0\u3000\u2009", U"\n\r\u2028a"},
        {CharacterSet::whitespaceAndNewline(), U" \t\n\v\f\r\u0085\u2028\u3000", U"a_"},
        {CharacterSet::newline(), U"\n\r\u0085\u2028\u2029", U" \t"},
        {CharacterSet::alphanumeric(), U"aZ9\u00E9\u4E2D\u0663\u0301\u00BD", U"-_ !"},
        {CharacterSet::letters(), U"a\u00E9\u4E2D\u0301", U"3\u0663 "},
        {CharacterSet::decimalDigits(), U"09\u0663\uFF15", U"a\u00BD"},
        {CharacterSet::punctuation(), U"!?,.\u3001\u00BF_-", U"+$a "},
        {CharacterSet::printable(), U"a9 +%\u00A0\u4E2D\u0301\u20AC\uFFFD",
         U"\n\r\t\u007F\u0085\u200E\u202E\u2066\u2028\uFEFF\uE000\U000E0001\u0378"},
    };
    for (const auto& c : cases) {
        for (const char32_t member : c.members)
            EXPECT_TRUE(c.set.contains(member)) << unsigned(member);
        for (const char32_t other : c.nonMembers)
            EXPECT_FALSE(c.set.contains(other)) << unsigned(other);
    }
}

TEST(CharacterSetTest, URLSetsAllowExactlyTheirASCIICharacters) {
    const std::string unreserved =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    const std::string subDelims = "!$&'()*+,;=";
    const struct {
        const CharacterSet& set;
        std::string allowed;
    } cases[] = {
        {CharacterSet::urlQueryAllowed(), unreserved + subDelims + ":@/?"},
        {CharacterSet::urlFragmentAllowed(), unreserved + subDelims + ":@/?"},
        {CharacterSet::urlPathAllowed(), unreserved + subDelims + ":@/"},
        {CharacterSet::urlHostAllowed(), unreserved + subDelims + ":[]"},
        {CharacterSet::urlUserAllowed(), unreserved + subDelims},
        {CharacterSet::urlPasswordAllowed(), unreserved + subDelims},
    };
    for (const auto& c : cases) {
        for (char32_t ch = 0; ch < 128; ++ch) {
            const bool expected = c.allowed.find(static_cast<char>(ch)) != std::string::npos;
            EXPECT_EQ(c.set.contains(ch), expected) << "U+" << std::hex << unsigned(ch);
        }
        EXPECT_FALSE(c.set.contains(U'\u00E9'));
    }
}

TEST(CharacterSetTest, CombiningMakesNewSetsAndLeavesTheOperandsAlone) {
    const CharacterSet ab = CharacterSet::fromCharacters("ab\xF0\x9F\x98\x80");
    const CharacterSet digits = CharacterSet::fromRange(U'0', U'9');
    EXPECT_TRUE(ab.contains(U'\U0001F600'));
    EXPECT_FALSE(ab.contains(U'c'));

    const CharacterSet both = ab.unionWith(digits);
    EXPECT_TRUE(both.contains(U'b'));
    EXPECT_TRUE(both.contains(U'7'));
    EXPECT_FALSE(ab.contains(U'7'));

    const CharacterSet lettersOnly = both.subtracting(digits);
    EXPECT_TRUE(lettersOnly.contains(U'a'));
    EXPECT_FALSE(lettersOnly.contains(U'0'));

    const CharacterSet notAB = ab.inverted();
    EXPECT_FALSE(notAB.contains(U'a'));
    EXPECT_TRUE(notAB.contains(U'c'));
    EXPECT_TRUE(notAB.contains(U'\u4E2D'));
    EXPECT_TRUE(ab.contains(U'a'));

    EXPECT_FALSE(CharacterSet().contains(U'a'));
    EXPECT_FALSE(CharacterSet::fromRange(U'9', U'0').contains(U'5'));
}

TEST(CharacterSetTest, TrimRemovesMembersAtBothEndsOnly) {
    const CharacterSet& space = CharacterSet::whitespaceAndNewline();
    EXPECT_EQ(space.trim("  \t h\xC3\xA9llo  w\xC3\xB6rld \n\xE3\x80\x80"),
              "h\xC3\xA9llo  w\xC3\xB6rld");
    EXPECT_EQ(space.trim(" \n "), "");
    EXPECT_EQ(space.trim(""), "");
    EXPECT_EQ(space.trim("x"), "x");

    const CharacterSet smile = CharacterSet::fromCharacters("\xF0\x9F\x98\x80");
    EXPECT_EQ(smile.trim("\xF0\x9F\x98\x80\xF0\x9F\x98\x80"
                         "a\xF0\x9F\x98\x80"
                         "b\xF0\x9F\x98\x80"),
              "a\xF0\x9F\x98\x80"
              "b");
}

}  // namespace
}  // namespace core
