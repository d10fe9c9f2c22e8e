#include <gtest/gtest.h>

#include "ads/foundation/DZQueryParameters.h"

using namespace ads;

namespace {

std::optional<core::URL> url(std::string_view text) {
    auto made = core::URL::create(text);
    EXPECT_TRUE(made) << text;
    return made;
}

std::string adding(std::string_view base, const core::Dictionary& parameters) {
    auto result = DZURLByAddingQueryParameters(url(base), parameters);
    return result ? result->absoluteString() : "<none>";
}

}  // namespace

TEST(DZPercentEscapedString, EscapesEverythingButUnreservedCharacters) {
    EXPECT_EQ(DZPercentEscapedString("aZ09-._~"), "aZ09-._~");
    EXPECT_EQ(DZPercentEscapedString("!*'();:@&=+$,/?%#[]"),
              "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D");
    EXPECT_EQ(DZPercentEscapedString("\" <>\\^`{|}\n"), "%22%20%3C%3E%5C%5E%60%7B%7C%7D%0A");
    EXPECT_EQ(DZPercentEscapedString("é中"), "%C3%A9%E4%B8%AD");
}

TEST(DZURLByAddingQueryParameters, KeepsTheDestinationParameterLastAndUntouched) {
    EXPECT_EQ(adding("http://h/p?adurl=http://d/?q=1", {{"a", "x y&z"}}),
              "http://h/p?a=x%20y%26z&adurl=http://d/?q=1");
    EXPECT_EQ(adding("http://h/p?x=1&adurl=http://d/#top", {{"a", "1"}, {"b", "2"}}),
              "http://h/p?x=1&a=1&b=2&adurl=http://d/#top");
    // "adurl" only counts as a parameter of its own.
    EXPECT_EQ(adding("http://h/p?badurl=1", {{"a", "1"}}), "http://h/p?badurl=1&a=1");
}

TEST(DZURLByAddingQueryParameters, ChoosesTheSeparatorFromTheQuery) {
    EXPECT_EQ(adding("http://h/p", {{"k", ""}}), "http://h/p?k");
    EXPECT_EQ(adding("http://h/p?x=1", {{"k", "v"}}), "http://h/p?x=1&k=v");
    // A URL that already ends in a separator gets no second one.
    EXPECT_EQ(adding("http://h/p?", {{"k", "v"}}), "http://h/p?k=v");
    EXPECT_EQ(adding("http://h/p?x=1&", {{"k", "v"}}), "http://h/p?x=1&k=v");
}

// "adurl=" or "?" outside the query (in the path, the host or a value) is
// no parameter boundary: the new key goes at the end of the real query and
// reads back.
TEST(DZURLByAddingQueryParameters, WorksOnTheQueryOfTheParsedURL) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"http://a.example/p&adurl=http://t", "http://a.example/p&adurl=http://t?k=v"},
        {"http://ae&adurl=y/", "http://ae&adurl=y/?k=v"},
        {"http://a.example/p?u=http://b/c?", "http://a.example/p?u=http://b/c?&k=v"},
        {"http://h/?q=??adurl=z", "http://h/?q=??adurl=z&k=v"},
        {"http://h/?q=?&adurl=z", "http://h/?q=?&k=v&adurl=z"},
    };
    for (const auto& [base, expected] : cases) {
        const auto result = DZURLByAddingQueryParameters(url(base), {{"k", "v"}});
        ASSERT_TRUE(result) << base;
        EXPECT_EQ(result->absoluteString(), expected);
        EXPECT_EQ(DZQueryValueForKey(result, "k"), "v") << base;
    }
}

TEST(DZURLByAddingQueryParameters, PutsParametersBeforeTheFragment) {
    EXPECT_EQ(adding("http://h/p#section", {{"k", "v"}}), "http://h/p?k=v#section");
    EXPECT_EQ(adding("http://h/p?x=1#a?b", {{"k", "v"}}), "http://h/p?x=1&k=v#a?b");
    // An "adurl=" inside the fragment is not the click's destination.
    EXPECT_EQ(adding("http://h/p#x&adurl=y", {{"k", "v"}}), "http://h/p?k=v#x&adurl=y");
}

TEST(DZURLByAddingQueryParameters, WritesValuesInOrderAsTheirDescription) {
    const core::Dictionary parameters{{"z", 1}, {"b", 30.0}, {"a", true}, {"f", 0.5}, {"n", -2}};
    EXPECT_EQ(adding("http://h/", parameters), "http://h/?z=1&b=30&a=1&f=0.5&n=-2");
}

TEST(DZURLByAddingQueryParameters, AnswersTheSameURLOrNothing) {
    EXPECT_EQ(adding("http://h/p?#f", {}), "http://h/p?#f");
    EXPECT_FALSE(DZURLByAddingQueryParameters(std::nullopt, {{"a", "1"}}));
    // Keys go in unescaped: a key that breaks the URL gives no URL.
    EXPECT_FALSE(DZURLByAddingQueryParameters(url("http://h/"), {{"a b", "1"}}));
}

TEST(DZQueryDictionaryFromURL, SplitsAtAmpersandsAndSemicolons) {
    EXPECT_EQ(DZQueryDictionaryFromURL(url("dmsg://x?a=1;b=2&c"), false),
              (core::Dictionary{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(DZQueryDictionaryFromURL(url("http://h/?A=1"), true), (core::Dictionary{{"a", "1"}}));
    EXPECT_EQ(DZQueryDictionaryFromURL(url("http://h/?A=1"), false),
              (core::Dictionary{{"A", "1"}}));
}

TEST(DZQueryDictionaryFromURL, UnescapesAndSkipsWhatDoesNotSplitOrDecode) {
    const core::Dictionary query =
        DZQueryDictionaryFromURL(url("http://h/?n%20k=v%2Bw+x&a=b=c&bad=%FF&k=1&k=2"), false);
    EXPECT_EQ(query, (core::Dictionary{{"n k", "v+w+x"}, {"k", "2"}}));
    EXPECT_TRUE(DZQueryDictionaryFromURL(url("http://h/p"), false).empty());
    EXPECT_TRUE(DZQueryDictionaryFromURL(std::nullopt, false).empty());
}

TEST(DZQueryValuesForKey, CollectsEveryValueOfTheExactKey) {
    const auto link = url("http://h/?ai=1&AI=2&ai=a%20b&ai&ai=x=y&ai=3;x");
    EXPECT_EQ(DZQueryValuesForKey(link, "ai"), (std::vector<std::string>{"1", "a b", "3;x"}));
    EXPECT_EQ(DZQueryValueForKey(link, "ai"), "1");
    EXPECT_EQ(DZQueryValueForKey(link, "AI"), "2");
}

TEST(DZQueryValuesForKey, AnswersNothingWithoutKeyOrValues) {
    const auto link = url("http://h/?a=1&bad=%FF");
    EXPECT_FALSE(DZQueryValuesForKey(link, std::nullopt));
    EXPECT_FALSE(DZQueryValuesForKey(link, "b"));
    EXPECT_FALSE(DZQueryValueForKey(link, "bad"));  // never an empty or broken value
    EXPECT_FALSE(DZQueryValueForKey(std::nullopt, "a"));
}
