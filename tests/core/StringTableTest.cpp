#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/FileManager.h"
#include "core/StringTable.h"
#include "core/Unicode.h"
#include "support/TestEnvironment.h"

using core::StringTable;
using core::StringTableError;

namespace {

StringTable parsed(std::string_view text) {
    StringTableError error;
    auto table = StringTable::parse(text, &error);
    EXPECT_TRUE(table) << "line " << error.line << ": " << error.message;
    return table.value_or(StringTable());
}

StringTableError failure(std::string_view text) {
    StringTableError error;
    EXPECT_FALSE(StringTable::parse(text, &error)) << text;
    return error;
}

std::string value(const StringTable& table, std::string_view key) {
    const std::string* found = table.find(key);
    return found ? *found : "<absent>";
}

std::string utf16WithBOM(std::string_view utf8, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : core::Unicode::toUTF16(utf8)) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

}  // namespace

TEST(StringTableParse, ReadsPairsInOrderAroundCommentsAndWhitespace) {
    const auto table = parsed(R"(/* Title of the home screen */
"home.title" = "Wallpapers";
// a line comment with "quotes" = "ignored";
"save"="Save";/* between */"cancel"
   =
   "Cancel"   ;
"a /* not a comment */ key" = "a // not a comment value";
)");
    std::vector<StringTable::Entry> expected = {
        {"home.title", "Wallpapers"},
        {"save", "Save"},
        {"cancel", "Cancel"},
        {"a /* not a comment */ key", "a // not a comment value"},
    };
    EXPECT_EQ(table.entries(), expected);
    EXPECT_EQ(table.find("missing"), nullptr);
}

TEST(StringTableParse, AcceptsUnquotedKeysAndValues) {
    const auto table = parsed("app_name = Vantor-2.0;\nversion.code = \"7\";");
    EXPECT_EQ(value(table, "app_name"), "Vantor-2.0");
    EXPECT_EQ(value(table, "version.code"), "7");
}

TEST(StringTableParse, DecodesEscapes) {
    const auto table = parsed(R"("k1" = "say \"hi\"\\n";
"k2" = "tab\there\nline\rend";
"k3" = "\U00e9\u4E2D\U0041";
"k4" = "\UD83D\UDE00!";
"k5" = "it\'s";
"k6" = "multi
line";)");
    EXPECT_EQ(value(table, "k1"), "say \"hi\"\\n");
    EXPECT_EQ(value(table, "k2"), "tab\there\nline\rend");
    EXPECT_EQ(value(table, "k3"), "\u00e9\u4e2dA");
    EXPECT_EQ(value(table, "k4"), "\U0001F600!");
    EXPECT_EQ(value(table, "k5"), "it's");
    EXPECT_EQ(value(table, "k6"), "multi\nline");
}

TEST(StringTableParse, ALaterKeyWinsInItsFirstPlace) {
    const auto table = parsed(R"("a" = "1"; "b" = "2"; "a" = "3";)");
    EXPECT_EQ(table.entries(), (std::vector<StringTable::Entry>{{"a", "3"}, {"b", "2"}}));
}

TEST(StringTableParse, EmptyAndCommentOnlyTextsAreEmptyTables) {
    EXPECT_TRUE(parsed("").empty());
    EXPECT_TRUE(parsed("  /* nothing */ \n // here\n").empty());
}

TEST(StringTableEncoding, AcceptsByteOrderMarks) {
    const std::string text = "\"greeting\" = \"你好 \U0001F600\";";
    EXPECT_EQ(value(parsed("\xEF\xBB\xBF" + text), "greeting"), "你好 \U0001F600");
    EXPECT_EQ(value(parsed(utf16WithBOM(text, false)), "greeting"), "你好 \U0001F600");
    EXPECT_EQ(value(parsed(utf16WithBOM(text, true)), "greeting"), "你好 \U0001F600");
}

TEST(StringTableEncoding, RefusesBrokenInput) {
    EXPECT_EQ(failure("\"a\" = \"b\";\n\"c\" = \"\xC3\x28\";").line, 2u);
    EXPECT_FALSE(StringTable::parse("\xFF\xFE\x41"));
}

TEST(StringTableErrors, NameTheLineOfTheFault) {
    struct Case {
        const char* text;
        size_t line;
        const char* mentions;
    };
    const Case cases[] = {
        {"\"a\" = \"1\";\n\"b\" = \"2\"\n\"c\" = \"3\";", 3, "';'"},
        {"\"a\" = \"1\";\n\n\"b\" = \"never closed;\n// more\n", 3, "unterminated string"},
        {"\"a\" = \"1\";\n\"b\" \"2\";", 2, "'='"},
        {"\"a\" = \"1\";\n\"b\" = ;", 2, "value"},
        {"\"a\" = \"1\";\n  # stray\n", 2, "'#'"},
        {"\"a\" = \"1\";\n/* open\ncomment", 2, "unterminated comment"},
        {"\"a\" = \"1\"", 1, "';'"},
        {"\"a\" = \"\\U\";", 1, "hexadecimal"},
    };
    for (const auto& test : cases) {
        const auto error = failure(test.text);
        EXPECT_EQ(error.line, test.line) << test.text;
        EXPECT_NE(error.message.find(test.mentions), std::string::npos)
            << test.text << " -> " << error.message;
    }
}

TEST(StringTableErrors, LoadReportsAMissingFileAndTheFileOfAParseError) {
    const std::string folder = testsupport::testHome() + "/tables";
    ASSERT_TRUE(core::FileManager::createDirectory(folder, true));
    StringTableError error;
    EXPECT_FALSE(StringTable::load(folder + "/absent.strings", &error));
    EXPECT_EQ(error.line, 0u);
    EXPECT_NE(error.message.find("absent.strings"), std::string::npos);

    ASSERT_TRUE(core::FileManager::writeAtomically(folder + "/bad.strings", "\n\"x\" = y z;"));
    EXPECT_FALSE(StringTable::load(folder + "/bad.strings", &error));
    EXPECT_EQ(error.line, 2u);
    EXPECT_NE(error.message.find("bad.strings:2"), std::string::npos) << error.message;
}
