#include <gtest/gtest.h>

#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZUserAgent.h"

using namespace ads;

namespace {

// Installs a user agent for one test and puts the previous source back.
class UserAgentScope {
public:
    explicit UserAgentScope(std::string agent)
        : previous_(DZSetUserAgentProvider([agent] { return agent; })) {}
    ~UserAgentScope() { DZSetUserAgentProvider(std::move(previous_)); }

private:
    DZUserAgentProvider previous_;
};

const core::URL kURL = *core::URL::create("http://ads.example/fetch");

}  // namespace

TEST(DZMakeURLRequest, IsAGetWithTheGivenHeadersAndTheSDKAgent) {
    UserAgentScope agent("SDKAgent/1");
    const auto request = DZMakeURLRequest(
        kURL, std::nullopt, core::Dictionary{{"X-One", "1"}, {"user-agent", "theirs"}, {"N", 2}},
        "application/json");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->url(), kURL);
    EXPECT_EQ(request->method(), "GET");
    EXPECT_TRUE(request->body().empty());
    EXPECT_EQ(request->value("X-One"), "1");
    EXPECT_EQ(request->value("User-Agent"), "SDKAgent/1");
    EXPECT_FALSE(request->value("N"));  // not text
    EXPECT_FALSE(request->value("Content-Type"));
    EXPECT_FALSE(request->hasTimeoutInterval());
}

TEST(DZMakeURLRequest, PostsOnlyWithBothBodyAndContentType) {
    UserAgentScope agent("SDKAgent/1");
    const core::Data body{'{', '}'};
    const auto post = DZMakeURLRequest(kURL, body, std::nullopt, "application/json");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->method(), "POST");
    EXPECT_EQ(post->body(), body);
    EXPECT_EQ(post->value("Content-Length"), "2");
    EXPECT_EQ(post->value("Content-Type"), "application/json");

    const auto bodyOnly = DZMakeURLRequest(kURL, body, std::nullopt, std::nullopt);
    ASSERT_TRUE(bodyOnly);
    EXPECT_EQ(bodyOnly->method(), "GET");
    EXPECT_TRUE(bodyOnly->body().empty());
    EXPECT_FALSE(bodyOnly->value("Content-Length"));
}

TEST(DZMakeURLRequest, LeavesTheGivenAgentWhenTheSDKHasNone) {
    UserAgentScope agent("");
    const auto request = DZMakeURLRequest(kURL, std::nullopt,
                                          core::Dictionary{{"User-Agent", "theirs"}}, std::nullopt);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->value("User-Agent"), "theirs");
    EXPECT_FALSE(DZMakeURLRequest(std::nullopt, std::nullopt, std::nullopt, std::nullopt));
}

TEST(DZUserAgent, FallsBackToTheDefaultWithoutAProvider) {
    auto previous = DZSetUserAgentProvider({});
    EXPECT_EQ(DZUserAgent(), DZDefaultUserAgent());
    EXPECT_NE(DZDefaultUserAgent().find("duzo-sdk-i-v7.22.0"), std::string::npos);
    DZSetUserAgentProvider(std::move(previous));
}

// What a page sends through "fetchHttpRequest" can add no line to the request.
TEST(DZMakeURLRequest, PageHeadersCannotEndTheLine) {
    UserAgentScope agent("SDKAgent/1");
    const auto request = DZMakeURLRequest(
        kURL, core::Data{'b'},
        core::Dictionary{{"X-Page", "a\r\nX-Smuggled: 1"}, {"Bad Name", "v"}, {"X-Good", "ok"}},
        "text/plain\r\nX-Smuggled: 2");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->value("X-Good"), "ok");
    EXPECT_FALSE(request->value("X-Page"));
    EXPECT_FALSE(request->value("Bad Name"));
    EXPECT_FALSE(request->value("Content-Type"));
    for (const auto& [name, value] : request->headers()) {
        EXPECT_EQ(value.find('\n'), std::string::npos) << name;
    }
}
