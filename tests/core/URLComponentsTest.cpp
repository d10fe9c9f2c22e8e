#include "core/URLComponents.h"

#include <gtest/gtest.h>

#include "URLPrinting.h"

namespace core {
namespace {

TEST(URLComponentsTest, AnUnchangedURLComesBackAsItWas) {
    for (const std::string_view text :
         {"https://user:pw@Example.com:8080/a/b%20c?x=1&y#frag", "http://[::1]:80/", "http://h",
          "http://h/?", "http://@h/#", "file:///tmp/x", "mailto:bob@example.com", "a/b?c", "//h/p",
          "http://[fe80::1%25eth0]/"}) {
        const std::optional<URL> url = URL::create(text);
        ASSERT_TRUE(url) << text;
        const std::optional<URL> rebuilt = URLComponents(*url).url();
        ASSERT_TRUE(rebuilt) << text;
        EXPECT_EQ(rebuilt->absoluteString(), text);
    }
}

TEST(URLComponentsTest, BuildsFromPlainTextParts) {
    URLComponents components;
    components.setScheme("https");
    components.setHost("example.com");
    components.setPath("/a b/\xE4\xB8\xAD");
    components.setQueryItems(std::vector<URLQueryItem>{{"q", "x y"}, {"flag", std::nullopt}});
    components.setFragment("top part");
    const std::optional<URL> url = components.url();
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), "https://example.com/a%20b/%E4%B8%AD?q=x%20y&flag#top%20part");

    URLComponents credentials;
    credentials.setScheme("http");
    credentials.setUser("a@b");
    credentials.setPassword("p:w");
    credentials.setHost("::1");
    credentials.setPort(8080);
    const std::optional<URL> withCredentials = credentials.url();
    ASSERT_TRUE(withCredentials);
    EXPECT_EQ(withCredentials->absoluteString(), "http://a%40b:p%3Aw@[::1]:8080");
    EXPECT_EQ(withCredentials->user(), "a@b");
    EXPECT_EQ(withCredentials->password(), "p:w");
    EXPECT_EQ(withCredentials->host(), "::1");
}

TEST(URLComponentsTest, QueryItemsSurviveDelimitersInTheirText) {
    const std::vector<URLQueryItem> items = {
        {"a&b", "1=2"}, {"plus", "x+y"}, {"text", "\xE4\xB8\xAD \xF0\x9F\x98\x80?/"}, {"", ""}};
    URLComponents components(*URL::create("http://h/p?old=1#f"));
    components.setQueryItems(items);
    EXPECT_EQ(components.query(), "a%26b=1%3D2&plus=x%2By&text=%E4%B8%AD%20%F0%9F%98%80?/&=");
    EXPECT_EQ(components.queryItems(), items);
    const std::optional<URL> url = components.url();
    ASSERT_TRUE(url);
    EXPECT_EQ(url->queryItems(), items);
    EXPECT_EQ(url->fragment(), "f");

    components.setQueryItems(std::vector<URLQueryItem>{});
    EXPECT_EQ(components.url()->absoluteString(), "http://h/p?#f");
    components.setQueryItems(std::nullopt);
    EXPECT_EQ(components.url()->absoluteString(), "http://h/p#f");
}

TEST(URLComponentsTest, PartsThatMakeNoURLGiveNothing) {
    URLComponents relativePath;
    relativePath.setHost("h");
    relativePath.setPath("a");
    EXPECT_FALSE(relativePath.url());

    URLComponents doubleSlash;
    doubleSlash.setScheme("x");
    doubleSlash.setPath("//a");
    EXPECT_FALSE(doubleSlash.url());

    URLComponents badScheme;
    badScheme.setScheme("1x");
    badScheme.setHost("h");
    EXPECT_FALSE(badScheme.url());

    URLComponents badPort(*URL::create("http://h/"));
    badPort.setPort(70000);
    EXPECT_FALSE(badPort.url());
    badPort.setPort(-1);
    EXPECT_FALSE(badPort.url());

    URLComponents colon;
    colon.setPath("b:c");
    const std::optional<URL> url = colon.url();
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "");
    EXPECT_EQ(url->pathComponents(), std::vector<std::string>{"b:c"});
}

}  // namespace
}  // namespace core
