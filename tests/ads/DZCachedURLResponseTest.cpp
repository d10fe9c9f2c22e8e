#include "ads/web/net/DZCachedURLResponse.h"

#include <gtest/gtest.h>

#include "ads/web/net/DZIsHTTPSuccessResponse.h"

namespace {

const core::URL kURL = *core::URL::create("https://ads.example/ad");

core::HTTPURLResponse response(int status) {
    return core::HTTPURLResponse(kURL, status, {});
}

TEST(DZCachedURLResponseTest, NeedsAResponseDataAndAnExpiryButNoDestination) {
    const core::Date expiry{1'800'000'000};
    const core::Data data{'a', 'd'};
    EXPECT_FALSE(ads::DZCachedURLResponse::create(std::nullopt, data, expiry, kURL));
    EXPECT_FALSE(ads::DZCachedURLResponse::create(response(200), std::nullopt, expiry, kURL));
    EXPECT_FALSE(ads::DZCachedURLResponse::create(response(200), data, std::nullopt, kURL));

    const auto entry = ads::DZCachedURLResponse::create(response(200), data, expiry, std::nullopt);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->response().statusCode(), 200);
    EXPECT_EQ(entry->data(), data);
    EXPECT_EQ(entry->cachedURLResponse().data(), data);
    EXPECT_EQ(entry->expirationDate(), expiry);
    EXPECT_FALSE(entry->destinationURL());
    entry->setDestinationURL(kURL);
    EXPECT_EQ(entry->destinationURL(), kURL);
}

TEST(DZCachedURLResponseTest, SuccessIsAStatusFrom200To299) {
    for (const auto& [status, success] : std::vector<std::pair<int, bool>>{
             {199, false}, {200, true}, {204, true}, {299, true}, {300, false}, {404, false}}) {
        EXPECT_EQ(ads::DZIsHTTPSuccessResponse(response(status)), success) << status;
    }
    EXPECT_FALSE(ads::DZIsHTTPSuccessResponse(std::nullopt));
}

}  // namespace
