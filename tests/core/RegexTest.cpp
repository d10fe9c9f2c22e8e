#include "core/Regex.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/Unicode.h"

namespace core {
namespace {

std::shared_ptr<Regex> compile(std::string_view pattern, const RegexOptions& options = {}) {
    std::string error;
    std::shared_ptr<Regex> regex = Regex::create(pattern, options, &error);
    EXPECT_TRUE(regex) << pattern << ": " << error;
    return regex;
}

std::vector<std::string> texts(const std::vector<RegexMatch>& matches) {
    std::vector<std::string> out;
    for (const RegexMatch& match : matches) out.push_back(match.text());
    return out;
}

TEST(RegexTest, BadPatternsAreRefusedWithAReason) {
    for (const std::string_view bad : {"(", "[a-", "a{2,1}", "(?<=a+)b", "*", "\\"}) {
        std::string error;
        EXPECT_EQ(Regex::create(bad, {}, &error), nullptr) << bad;
        EXPECT_NE(error.find("U_REGEX"), std::string::npos) << bad << ": " << error;
    }
    EXPECT_EQ(Regex::create("(", {}), nullptr);
}

TEST(RegexTest, LookbehindAndOptions) {
    EXPECT_EQ(texts(compile("(?<=\\$)\\d+")->matches("cost $42 or 17")),
              std::vector<std::string>{"42"});
    EXPECT_EQ(texts(compile("(?<![$\\d])\\d+")->matches("cost $42 or 17")),
              std::vector<std::string>{"17"});

    EXPECT_EQ(compile("hello")->numberOfMatches("HeLLo"), 0u);
    EXPECT_EQ(compile("hello", {.caseInsensitive = true})->numberOfMatches("HeLLo"), 1u);
    EXPECT_EQ(compile("\xCF\x83", {.caseInsensitive = true})->numberOfMatches("\xCE\xA3"), 1u);

    EXPECT_EQ(compile("^b$")->numberOfMatches("a\nb"), 0u);
    EXPECT_EQ(compile("^b$", {.multiline = true})->numberOfMatches("a\nb"), 1u);
    EXPECT_EQ(compile("a.b")->numberOfMatches("a\nb"), 0u);
    EXPECT_EQ(compile("a.b", {.dotAll = true})->numberOfMatches("a\nb"), 1u);
}

TEST(RegexTest, GroupsReportTheirTextAndRangesInBothUnits) {
    // Bytes: a b 中(2-4) 文(5-7) c d 😀(10-13) 中(14-16); units: a b 中 文 c d 😀(6-7) 中(8).
    const std::string text =
        "ab\xE4\xB8\xAD\xE6\x96\x87"
        "cd\xF0\x9F\x98\x80\xE4\xB8\xAD";
    const auto regex = compile("(\\p{Han}+)(x)?");
    EXPECT_EQ(regex->numberOfCaptureGroups(), 2u);
    const std::vector<RegexMatch> found = regex->matches(text);
    ASSERT_EQ(found.size(), 2u);

    ASSERT_EQ(found[0].groups.size(), 3u);
    EXPECT_EQ(found[0].whole().utf16, (TextRange{2, 2}));
    EXPECT_EQ(found[0].whole().utf8, (TextRange{2, 6}));
    EXPECT_EQ(found[0].text(1), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_FALSE(found[0].groups[2].has_value());
    EXPECT_EQ(found[0].text(2), "");
    EXPECT_EQ(found[0].text(7), "");

    EXPECT_EQ(found[1].whole().utf16, (TextRange{8, 1}));
    EXPECT_EQ(found[1].whole().utf8, (TextRange{14, 3}));
    for (const RegexMatch& match : found) {
        const RegexGroup& whole = match.whole();
        EXPECT_EQ(text.substr(whole.utf8.location, whole.utf8.length), whole.text);
        EXPECT_EQ(Unicode::substring(text, whole.utf16), whole.text);
    }

    const auto mail = compile("(\\w+)@(\\w+)\\.com")->firstMatch("mail bob@example.com now");
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->text(), "bob@example.com");
    EXPECT_EQ(mail->text(1), "bob");
    EXPECT_EQ(mail->text(2), "example");
    EXPECT_FALSE(compile("\\d")->firstMatch("none"));
}

TEST(RegexTest, FindsEveryMatchIncludingEmptyOnes) {
    const auto digits = compile("\\d+");
    EXPECT_EQ(texts(digits->matches("1 22 x 333")), (std::vector<std::string>{"1", "22", "333"}));
    EXPECT_EQ(digits->numberOfMatches("1 22 x 333"), 3u);
    EXPECT_EQ(digits->numberOfMatches(""), 0u);
    EXPECT_EQ(compile("x*")->numberOfMatches("ab"), 3u);
    EXPECT_EQ(compile("x*")->replaceAll("ab", "-"), "-a-b-");
}

TEST(RegexTest, TemplatesExpandGroupsAndEscapes) {
    const auto words = compile("(\\w+) (\\w+)");
    EXPECT_EQ(words->replaceAll("hello world", "$2 $1"), "world hello");
    EXPECT_EQ(words->replaceAll("hello world", "[$0]"), "[hello world]");
    EXPECT_EQ(words->replaceAll("hello world", "$12"), "hello2");  // no group 12
    EXPECT_EQ(words->replaceAll("hello world", "$9"), "");         // no group 9
    EXPECT_EQ(words->replaceAll("hello world", "\\$1 \\\\"), "$1 \\");
    EXPECT_EQ(words->replaceAll("hello world", "$ $x $"), "$ $x $");

    const auto price = compile("(\\d+)(\\.\\d+)?");
    EXPECT_EQ(price->replaceAll("cost 5 or 7.5", "\\$$1$2"), "cost $5 or $7.5");

    const auto twelve = compile("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)");
    EXPECT_EQ(twelve->replaceAll("abcdefghijkl", "$12$10$1"), "lja");
}

TEST(RegexTest, ReplaceWithACallbackKeepsTheTextAroundMatches) {
    const std::string text =
        "\xF0\x9F\x98\x80"
        "a\xF0\x9F\x98\x80"
        "b!";
    const auto letters = compile("[a-z]");
    EXPECT_EQ(letters->replace(text, [](const RegexMatch& m) { return "<" + m.text() + ">"; }),
              "\xF0\x9F\x98\x80<a>\xF0\x9F\x98\x80<b>!");
    EXPECT_EQ(letters->replace("123", [](const RegexMatch&) { return "x"; }), "123");
}

TEST(RegexTest, IllFormedTextMatchesAsReplacementCharacters) {
    const std::string text =
        "a\xFF"
        "b\xE4\xB8";
    const auto match = compile("b")->firstMatch(text);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->whole().utf8, (TextRange{2, 1}));
    EXPECT_EQ(match->whole().utf16, (TextRange{2, 1}));
    EXPECT_EQ(compile("\\x{FFFD}")->numberOfMatches(text), 2u);
    EXPECT_EQ(compile("b")->replaceAll(text, "X"),
              "a\xFF"
              "X\xE4\xB8");
}

TEST(RegexTest, OneRegexServesSeveralThreads) {
    const auto regex = compile("(\\d+)-(\\d+)");
    std::string text;
    for (int i = 0; i < 200; ++i) text += std::to_string(i) + "-" + std::to_string(i * 2) + " ";
    const size_t expected = regex->numberOfMatches(text);
    ASSERT_EQ(expected, 200u);
    std::vector<size_t> counts(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < counts.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) counts[t] += regex->matches(text).size();
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const size_t count : counts) EXPECT_EQ(count, expected * 20);
}

}  // namespace
}  // namespace core
