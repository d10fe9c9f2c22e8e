#include <gtest/gtest.h>

#include "ads/foundation/DZHTTPURLResponseAdditions.h"
#include "support/ManualClockScope.h"

using namespace ads;

namespace {

constexpr double k1994 = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT

std::optional<double> expiry(core::HTTPHeaders headers) {
    const core::HTTPURLResponse response(*core::URL::create("http://h/"), 200, std::move(headers));
    const auto date = dz_expirationDate(response);
    if (!date) return std::nullopt;
    return date->secondsSince1970;
}

}  // namespace

TEST(DZHTTPDate, ReadsTheThreeHTTPForms) {
    EXPECT_EQ(dz_dateFromHttpDateString("Sun, 06 Nov 1994 08:49:37 GMT"), core::Date{k1994});
    EXPECT_EQ(dz_dateFromHttpDateString("Sun Nov  6 08:49:37 1994"), core::Date{k1994});
    EXPECT_EQ(dz_dateFromHttpDateString("Sunday, 06-Nov-94 08:49:37 GMT"), core::Date{k1994});
}

TEST(DZHTTPDate, RefusesOtherText) {
    EXPECT_FALSE(dz_dateFromHttpDateString(""));
    EXPECT_FALSE(dz_dateFromHttpDateString("1994-11-06T08:49:37Z"));
    EXPECT_FALSE(dz_dateFromHttpDateString("Sun, 06 Nov 1994 08:49:37 GMT trailing"));
    EXPECT_FALSE(dz_dateFromHttpDateString("Sun, 36 Nov 1994 08:49:37 GMT"));
}

class DZExpirationDate : public testing::Test {
protected:
    void SetUp() override { clock->setWallSeconds(k1994 + 1000); }
    testsupport::ManualClockScope clock;
    const double now = k1994 + 1000;
};

TEST_F(DZExpirationDate, MaxAgeCountsFromTheDateField) {
    EXPECT_EQ(expiry({{"Cache-Control", "private, max-age=60"}}), now + 60);
    EXPECT_EQ(expiry({{"Date", "Sun, 06 Nov 1994 08:49:37 GMT"}, {"Cache-Control", "max-age=60"}}),
              k1994 + 60);
    // max-age wins over Expires.
    EXPECT_EQ(
        expiry({{"Cache-Control", "max-age=5"}, {"Expires", "Sun, 06 Nov 2094 08:49:37 GMT"}}),
        now + 5);
}

TEST_F(DZExpirationDate, NothingWhenTheResponseMustNotBeReused) {
    EXPECT_FALSE(expiry({{"Cache-Control", "max-age=0"}}));
    EXPECT_FALSE(expiry({{"Cache-Control", "max-age=-5"}}));
    EXPECT_FALSE(expiry({{"Cache-Control", "no-store, max-age=60"}}));
    EXPECT_FALSE(
        expiry({{"Cache-Control", "No-Store"}, {"Expires", "Sun, 06 Nov 2094 08:49:37 GMT"}}));
    EXPECT_FALSE(expiry({{"Pragma", "no-cache"}, {"Cache-Control", "max-age=60"}}));
    EXPECT_FALSE(expiry({}));
    EXPECT_FALSE(expiry({{"Cache-Control", "public"}}));
}

TEST_F(DZExpirationDate, ExpiresIsTakenRelativeToTheServersDate) {
    // The server's clock is an hour behind: the lifetime of 120 s counts from now.
    EXPECT_EQ(expiry({{"Date", "Sun, 06 Nov 1994 07:49:37 GMT"},
                      {"Expires", "Sun, 06 Nov 1994 07:51:37 GMT"}}),
              now + 120);
    EXPECT_EQ(expiry({{"Cache-Control", "public"}, {"Expires", "Sun, 06 Nov 1994 09:16:17 GMT"}}),
              now + 600);
    EXPECT_FALSE(expiry({{"Expires", "Sun, 06 Nov 1994 08:49:37 GMT"}}));  // already past
    EXPECT_FALSE(expiry({{"Expires", "0"}}));
}

TEST(DZAllHeaderFields, OneEntryPerNameWithRepeatsJoined) {
    const core::HTTPURLResponse response(*core::URL::create("http://h/"), 200,
                                         {{"X-Duzo-Tracking-Urls", "http://a/1"},
                                          {"Content-Type", "text/html"},
                                          {"x-duzo-tracking-urls", "http://a/2"}});
    const core::Dictionary fields = dz_allHeaderFields(response);
    EXPECT_EQ(fields.keys(), (std::vector<std::string>{"X-Duzo-Tracking-Urls", "Content-Type"}));
    EXPECT_EQ(fields["X-Duzo-Tracking-Urls"], core::Value("http://a/1, http://a/2"));
}
