#include "core/HTTPHeaders.h"

#include <gtest/gtest.h>

namespace {

using core::HTTPHeaders;

TEST(HTTPHeadersTest, NamesIgnoreCaseAndKeepTheirSpelling) {
    HTTPHeaders headers{{"Content-Type", "text/plain"}};
    EXPECT_TRUE(headers.contains("content-type"));
    EXPECT_EQ(headers.value("CONTENT-TYPE"), "text/plain");
    headers.set("content-TYPE", "application/json");
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers.fields().front().first, "Content-Type");
    EXPECT_EQ(headers.value("Content-Type"), "application/json");
    EXPECT_FALSE(headers.value("Content-Typ"));
    EXPECT_FALSE(HTTPHeaders::sameName("Accept", "Accept-Language"));
}

TEST(HTTPHeadersTest, RepeatedFieldsKeepOrderAndJoin) {
    HTTPHeaders headers;
    headers.add("Set-Cookie", "a=1");
    headers.add("X-Other", "o");
    headers.add("set-cookie", "b=2");
    EXPECT_EQ(headers.values("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(headers.value("Set-Cookie"), "a=1, b=2");

    // set() keeps the first field's place and drops the repeats.
    headers.set("Set-Cookie", "c=3");
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers.fields()[0], HTTPHeaders::Field("Set-Cookie", "c=3"));
    EXPECT_EQ(headers.fields()[1].first, "X-Other");

    EXPECT_TRUE(headers.remove("x-other"));
    EXPECT_FALSE(headers.remove("x-other"));
    EXPECT_EQ(headers.size(), 1u);
}

TEST(HTTPHeadersTest, EmptyValuesArePresent) {
    HTTPHeaders headers;
    headers.set("X-Empty", "");
    EXPECT_EQ(headers.value("x-empty"), "");
    EXPECT_TRUE(headers.contains("X-Empty"));
}

}  // namespace
