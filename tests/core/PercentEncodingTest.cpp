#include "core/PercentEncoding.h"

#include <gtest/gtest.h>

namespace core {
namespace {

TEST(PercentEncodingTest, EncodesEveryByteOfDisallowedCharactersInUppercase) {
    EXPECT_EQ(percentEncode("a b&c/\xC3\xA9", CharacterSet::urlQueryAllowed()), "a%20b&c/%C3%A9");
    EXPECT_EQ(percentEncode("a?b#c", CharacterSet::urlPathAllowed()), "a%3Fb%23c");
    EXPECT_EQ(percentEncode("\xF0\x9F\x98\x80", CharacterSet::urlQueryAllowed()), "%F0%9F%98%80");
    EXPECT_EQ(percentEncode("100%", CharacterSet::urlQueryAllowed()), "100%25");
    EXPECT_EQ(percentEncode("\xC3\xA9x", CharacterSet::fromCharacters("\xC3\xA9")), "\xC3\xA9%78");
    EXPECT_EQ(percentEncode("a\xFF"
                            "b",
                            CharacterSet::urlPathAllowed()),
              "a%EF%BF%BDb");
}

TEST(PercentEncodingTest, DecodingReversesEncoding) {
    const std::string texts[] = {
        "",
        "plain",
        "a b+c&d=e%f",
        "\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 e\xCC\x81",
        "/path/with?query#and fragment",
    };
    const CharacterSet nothing;
    const CharacterSet* sets[] = {&CharacterSet::urlQueryAllowed(), &CharacterSet::urlPathAllowed(),
                                  &CharacterSet::urlUserAllowed(), &nothing};
    for (const std::string& text : texts) {
        for (const CharacterSet* set : sets) {
            EXPECT_EQ(percentDecode(percentEncode(text, *set)), text);
        }
    }
}

TEST(PercentEncodingTest, DecodingAcceptsLowercaseAndUnescapedText) {
    EXPECT_EQ(percentDecode("%e4%b8%ad"), "\xE4\xB8\xAD");
    EXPECT_EQ(percentDecode("\xC3\xA9%20+"), "\xC3\xA9 +");
    EXPECT_EQ(percentDecode("%2525"), "%25");
}

TEST(PercentEncodingTest, MalformedEscapesAndBadUTF8FailToDecode) {
    for (const std::string_view bad :
         {"%", "%4", "abc%", "%zz", "%4g", "%C3", "%FF", "%C0%AF", "a%E4%B8", "%ED%A0%80"}) {
        EXPECT_EQ(percentDecode(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace core
