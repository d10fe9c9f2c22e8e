#include <gtest/gtest.h>

#include "ads/foundation/DZAdServerDomains.h"
#include "ads/foundation/DZURLLists.h"
#include "ads/foundation/DZURLUtilities.h"
#include "core/UserDefaults.h"

using namespace ads;

namespace {

std::optional<core::URL> url(std::string_view text) {
    auto made = core::URL::create(text);
    EXPECT_TRUE(made) << text;
    return made;
}

std::string canonical(std::string_view text) {
    auto result = DZCanonicalURL(url(text));
    return result ? result->absoluteString() : "<none>";
}

std::vector<std::string> texts(const std::optional<std::vector<core::URL>>& urls) {
    std::vector<std::string> out;
    if (urls) {
        for (const auto& u : *urls) out.push_back(u.absoluteString());
    }
    return out;
}

}  // namespace

TEST(DZCanonicalURL, AddsTheDefaultPortAndDropsFragmentAndTrailingSlashes) {
    EXPECT_EQ(canonical("http://Host/a/"), "http://Host:80/a");
    EXPECT_EQ(canonical("https://h:8443/x#y"), "https://h:8443/x");
    EXPECT_EQ(canonical("https://h/a//#f"), "https://h:80/a");
    EXPECT_EQ(canonical("http://h:/x"), "http://h:80/x");
    EXPECT_EQ(canonical("http://h?q=1"), "http://h:80?q=1");
}

TEST(DZCanonicalURL, PutsThePortIntoTheAuthorityOnly) {
    EXPECT_EQ(canonical("http://h/h/x?h=h"), "http://h:80/h/x?h=h");
    EXPECT_EQ(canonical("http://h@h/"), "http://h@h:80");
    EXPECT_EQ(canonical("http://[::1]/a"), "http://[::1]:80/a");
}

TEST(DZCanonicalURL, LeavesURLsWithoutHostAlone) {
    EXPECT_EQ(canonical("mailto:a@b/"), "mailto:a@b/");
    EXPECT_EQ(canonical("file:///tmp/x/"), "file:///tmp/x/");
    EXPECT_FALSE(DZCanonicalURL(std::nullopt));
}

// A URL as an engine writes it keeps every byte in its canonical form, so
// that the stash and the caches find its loads under it.
TEST(DZCanonicalURL, KeepsTheBytesOfURLsAsEnginesWriteThem) {
    const auto canonical = [](const char* text) {
        const auto made = DZCanonicalURL(core::URL::createFromWeb(text));
        return made ? made->absoluteString() : "<none>";
    };
    EXPECT_EQ(canonical("http://h/a|b/{c}/%zz/\xC3\xA9?cb=[1]&x=a|b#f|g"),
              "http://h:80/a|b/{c}/%zz/\xC3\xA9?cb=[1]&x=a|b");
    EXPECT_EQ(canonical("https://h:8443/br[ack]/^`/"), "https://h:8443/br[ack]/^`");
}

TEST(DZURLUtilities, TextHelpers) {
    EXPECT_EQ(DZURLStringWithoutFragment(url("http://h/p?q#f?g")), "http://h/p?q");
    EXPECT_EQ(DZStringByRemovingTrailingSlash("a//"), "a/");
    EXPECT_EQ(DZStringByRemovingTrailingSlash("a"), "a");
    EXPECT_FALSE(DZStringByRemovingTrailingSlash(std::nullopt));
}

TEST(DZURLUtilities, HostAndSchemeMatchIgnoringCase) {
    EXPECT_TRUE(DZURLHostMatches(url("HTTP://Ads.Example/p"), "ads.example"));
    EXPECT_FALSE(DZURLHostMatches(url("http://ads.example.org/"), "ads.example"));
    EXPECT_TRUE(DZURLSchemeMatches(url("DMSG://x"), "dmsg"));
    // Nothing to compare is never a match, not even with an empty text.
    EXPECT_FALSE(DZURLHostMatches(url("mailto:x"), ""));
    EXPECT_FALSE(DZURLSchemeMatches(url("a/b"), ""));
    EXPECT_FALSE(DZURLHostMatches(url("http://h/"), std::nullopt));
}

TEST(DZURLUtilities, HostIsInDomainOnlyAtALabelBoundary) {
    const struct {
        const char* url;
        const char* domain;
        bool inDomain;
    } cases[] = {
        {"https://dozuza.com/x", "dozuza.com", true},
        {"https://ads.dozuza.com/x", "dozuza.com", true},
        {"https://a.b.DOZUZA.com/x", "dozuza.COM", true},
        {"https://ads.dozuza.com./x", "dozuza.com", true},
        {"https://ads.dozuza.com/x", ".dozuza.com", true},
        {"https://evildozuza.com/x", "dozuza.com", false},
        {"https://dozuza.com.evil.net/x", "dozuza.com", false},
        {"https://evil.net/?u=a.dozuza.com", "dozuza.com", false},
        {"https://dozuza.com@evil.net/", "dozuza.com", false},
        {"https://dozuza.com/x", "", false},
        {"https://dozuza.com/x", ".", false},
        {"mailto:a@dozuza.com", "dozuza.com", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DZURLHostIsInDomain(url(c.url), c.domain), c.inDomain)
            << c.url << " in " << c.domain;
    }
    EXPECT_FALSE(DZURLHostIsInDomain(std::nullopt, "dozuza.com"));
}

TEST(DZAdServerDomains, StoredListReplacesTheBuiltInOne) {
    auto defaults = core::UserDefaults::standard();
    const std::vector<std::string> builtIn = DZAdServerDomains();
    EXPECT_EQ(builtIn.size(), 3u);
    const struct {
        core::Value stored;
        std::vector<std::string> domains;
    } cases[] = {
        {core::Value("example.net"), {"example.net"}},
        {core::Value(" a.test , ,b.test,"), {"a.test", "b.test"}},
        {core::Value(""), builtIn},
        {core::Value(" , "), builtIn},
        {core::Value(core::Array{core::Value("a.test")}), builtIn},
    };
    for (const auto& c : cases) {
        defaults->setObject(std::string(kDZAdServerDomainsKey), c.stored);
        EXPECT_EQ(DZAdServerDomains(), c.domains) << c.stored.stringValue();
    }

    defaults->setObject(std::string(kDZAdServerDomainsKey), core::Value("example.net"));
    EXPECT_TRUE(DZIsAdServerURL(url("https://ads.example.net/c?ai=1")));
    EXPECT_FALSE(DZIsAdServerURL(url("https://badexample.net/c?ai=1")));
    EXPECT_FALSE(DZIsAdServerURL(url("https://dozuza.com/c?ai=1")));
    defaults->removeObjectForKey(kDZAdServerDomainsKey);
    ASSERT_FALSE(builtIn.empty());
    EXPECT_TRUE(DZIsAdServerURL(url("https://" + builtIn.front() + "/c")));
    EXPECT_FALSE(DZIsAdServerURL(url("https://evil" + builtIn.front() + "/c")));
}

TEST(DZURLUtilities, PathSegmentPairNeedsFourComponents) {
    EXPECT_EQ(DZURLPathSegmentPair(url("http://h/x/y/z")), "y/z");
    EXPECT_EQ(DZURLPathSegmentPair(url("http://h/x/y%20y/z/w")), "y y/z");
    EXPECT_FALSE(DZURLPathSegmentPair(url("http://h/x/y")));
}

TEST(DZURLLists, ConvertsListsKeepingOrderAndAnsweringNothingForNone) {
    EXPECT_EQ(texts(DZURLArrayFromStrings({"http://a/", "not a url", "http://b/"})),
              (std::vector<std::string>{"http://a/", "http://b/"}));
    EXPECT_FALSE(DZURLArrayFromStrings({"", "a b"}));
    EXPECT_EQ(DZStringsFromURLs({*url("http://b/"), *url("http://a/")}),
              (std::vector<std::string>{"http://b/", "http://a/"}));
    EXPECT_FALSE(DZStringsFromURLs({}));
}

TEST(DZURLLists, SplitsAtSpacesAndTabsButNotLineBreaks) {
    EXPECT_EQ(texts(DZURLsFromWhitespaceSeparatedString("http://a/ \thttp://b/\u3000http://c/")),
              (std::vector<std::string>{"http://a/", "http://b/", "http://c/"}));
    // A line break stays inside its piece, which then does not parse.
    EXPECT_EQ(texts(DZURLsFromWhitespaceSeparatedString("http://a/\nhttp://b/ http://c/")),
              (std::vector<std::string>{"http://c/"}));
    EXPECT_FALSE(DZURLsFromWhitespaceSeparatedString("  \t "));
    EXPECT_FALSE(DZURLsFromWhitespaceSeparatedString(std::nullopt));
}

TEST(DZURLLists, MatchesPatternsCaseInsensitivelyAndSkipsBadOnes) {
    const auto link = url("https://Tracker.example/click?id=7");
    EXPECT_TRUE(DZURLMatchesAnyPattern(link, {"(unclosed", "tracker\\.example/CLICK"}));
    EXPECT_FALSE(DZURLMatchesAnyPattern(link, {"(unclosed", "^http:"}));
    EXPECT_FALSE(DZURLMatchesAnyPattern(link, {}));
    EXPECT_TRUE(DZRegularExpressionWithPattern("a+"));
    EXPECT_FALSE(DZRegularExpressionWithPattern("(unclosed"));
    EXPECT_FALSE(DZRegularExpressionWithPattern("A")->firstMatch("a"));  // no options
}
