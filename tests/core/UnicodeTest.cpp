#include "core/Unicode.h"

#include <gtest/gtest.h>

namespace core {
namespace {

// "a", U+1F600 (a surrogate pair), "b": bytes 0 | 1-4 | 5, UTF-16 units 0 | 1-2 | 3.
constexpr std::string_view kEmojiBetween = "a\xF0\x9F\x98\x80z";

TEST(UnicodeTest, UTF16LengthCountsUnitsNotCharacters) {
    const struct {
        std::string_view text;
        size_t units;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"\xC3\xA9", 1},                                      // é precomposed
        {"e\xCC\x81", 2},                                     // e + combining acute
        {"\xE4\xB8\xAD\xE6\x96\x87", 2},                      // 中文
        {"\xF0\x9F\x98\x80", 2},                              // 😀
        {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", 4},              // thumbs up + skin tone
        {"\xF0\x9F\x87\xAF\xF0\x9F\x87\xB5", 4},              // flag: two regional indicators
        {"\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9", 5},  // man ZWJ woman
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Unicode::utf16Length(c.text), c.units) << c.text;
        EXPECT_EQ(Unicode::toUTF16(c.text).size(), c.units) << c.text;
        EXPECT_EQ(Unicode::toUTF8(Unicode::toUTF16(c.text)), c.text);
    }
}

TEST(UnicodeTest, IllFormedBytesReadAsReplacementCharacters) {
    const struct {
        std::string_view text;
        std::string_view sanitized;
    } cases[] = {
        {"a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"\xE4\xB8", "\xEF\xBF\xBD"},  // truncated 中: one maximal subpart
        {"\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // encoded surrogate
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong "/"
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Unicode::isValidUTF8(c.text));
        EXPECT_EQ(Unicode::sanitized(c.text), c.sanitized);
        EXPECT_TRUE(Unicode::isValidUTF8(c.sanitized));
        EXPECT_EQ(Unicode::utf16Length(c.text), Unicode::utf16Length(c.sanitized));
        EXPECT_EQ(Unicode::toUTF8(Unicode::toUTF16(c.text)), c.sanitized);
    }
    EXPECT_TRUE(Unicode::isValidUTF8(kEmojiBetween));
}

TEST(UnicodeTest, UnpairedSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(Unicode::toUTF8(u"a\xD83D"), "a\xEF\xBF\xBD");
    EXPECT_EQ(Unicode::toUTF8(u"\xDE00z"), "\xEF\xBF\xBDz");
}

TEST(UnicodeTest, OffsetsInsideACharacterMoveToItsStart) {
    EXPECT_EQ(Unicode::utf8Offset(kEmojiBetween, 1), 1u);
    EXPECT_EQ(Unicode::utf8Offset(kEmojiBetween, 2), 1u);  // between the surrogates
    EXPECT_EQ(Unicode::utf8Offset(kEmojiBetween, 3), 5u);
    EXPECT_EQ(Unicode::utf8Offset(kEmojiBetween, 4), 6u);
    EXPECT_EQ(Unicode::utf8Offset(kEmojiBetween, 99), 6u);

    EXPECT_EQ(Unicode::utf16Offset(kEmojiBetween, 3), 1u);
    EXPECT_EQ(Unicode::utf16Offset(kEmojiBetween, 5), 3u);
    EXPECT_EQ(Unicode::utf16Offset(kEmojiBetween, 99), 4u);
}

TEST(UnicodeTest, RangesDropCharactersTheyCut) {
    EXPECT_EQ(Unicode::utf8Range(kEmojiBetween, {1, 2}), (TextRange{1, 4}));
    EXPECT_EQ(Unicode::utf8Range(kEmojiBetween, {0, 2}), (TextRange{0, 1}));
    EXPECT_EQ(Unicode::utf8Range(kEmojiBetween, {2, 2}), (TextRange{5, 1}));
    EXPECT_EQ(Unicode::utf8Range(kEmojiBetween, {2, 0}), (TextRange{5, 0}));

    EXPECT_EQ(Unicode::utf16Range(kEmojiBetween, {1, 4}), (TextRange{1, 2}));
    EXPECT_EQ(Unicode::utf16Range(kEmojiBetween, {2, 4}), (TextRange{3, 1}));
    EXPECT_EQ(Unicode::utf16Range("\xE4\xB8\xAD\xE6\x96\x87", {3, 3}), (TextRange{1, 1}));
}

TEST(UnicodeTest, SubstringByUTF16RangeStaysValid) {
    EXPECT_EQ(Unicode::substring(kEmojiBetween, {1, 2}), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Unicode::substring(kEmojiBetween, {0, 2}), "a");
    EXPECT_EQ(Unicode::substring(kEmojiBetween, {2, 2}), "z");
    EXPECT_EQ(Unicode::substring(kEmojiBetween, {1, 100}), "\xF0\x9F\x98\x80z");
    EXPECT_EQ(Unicode::substring(kEmojiBetween, {50, 3}), "");
    EXPECT_EQ(Unicode::substring(kEmojiBetween, {1, SIZE_MAX}), "\xF0\x9F\x98\x80z");
    EXPECT_EQ(Unicode::substring("e\xCC\x81x", {1, 2}), "\xCC\x81x");
    EXPECT_EQ(Unicode::substring("a\xFF"
                                 "b",
                                 {1, 1}),
              "\xEF\xBF\xBD");
}

TEST(UnicodeTest, CaseMappingFollowsTheLocale) {
    EXPECT_EQ(Unicode::toUpper("i", "en_US"), "I");
    EXPECT_EQ(Unicode::toUpper("i", "tr"), "\xC4\xB0");  // İ
    EXPECT_EQ(Unicode::toLower("I", "en_US"), "i");
    EXPECT_EQ(Unicode::toLower("I", "tr"), "\xC4\xB1");  // ı
    EXPECT_EQ(Unicode::toUpper("stra\xC3\x9F"
                               "e",
                               "en_US"),
              "STRASSE");
    // Final sigma depends on context, not just on the character.
    EXPECT_EQ(Unicode::toLower("\xCE\x9F\xCE\xA3\xCE\x9F\xCE\xA3", ""),
              "\xCE\xBF\xCF\x83\xCE\xBF\xCF\x82");
    EXPECT_EQ(Unicode::toUpper("a\xFF"
                               "b",
                               "en"),
              "A\xEF\xBF\xBD"
              "B");
}

TEST(UnicodeTest, CaseInsensitiveComparisonFoldsFully) {
    EXPECT_TRUE(
        Unicode::equalsCaseInsensitive("Stra\xC3\x9F"
                                       "e",
                                       "STRASSE"));
    EXPECT_TRUE(
        Unicode::equalsCaseInsensitive("\xC3\x89"
                                       "cole",
                                       "\xC3\xA9"
                                       "COLE"));
    EXPECT_FALSE(Unicode::equalsCaseInsensitive("a", "b"));
    EXPECT_FALSE(Unicode::equalsCaseInsensitive("a", "ab"));
    EXPECT_LT(Unicode::compareCaseInsensitive("apple", "Banana"), 0);
    EXPECT_GT(Unicode::compareCaseInsensitive("Banana", "apple"), 0);
}

}  // namespace
}  // namespace core
