#include <gtest/gtest.h>

#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZBannerAd.h"
#include "ads/core/response/DZInterstitialAd.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "core/JSON.h"

using namespace ads;

namespace {

std::shared_ptr<DZAd> adFromJSON(std::string_view json) {
    const auto value = core::JSON::parse(json);
    return DZAd::initWithDictionary(value.value_or(core::Value()));
}

}  // namespace

TEST(DZAd, MarkupPrefersHTMLWithABaseThenJSON) {
    const struct {
        const char* json;
        std::optional<std::string> html;
        std::optional<std::string> base;
        std::optional<std::string> url;
    } table[] = {
        {R"({"ad_html": "<p>", "ad_base_url": "https://a.test/", "ad_json": "{}"})", "<p>",
         "https://a.test/", std::nullopt},
        {R"({"ad_html": "<p>", "ad_url": "https://a.test/ad"})", std::nullopt, std::nullopt,
         "https://a.test/ad"},
        {R"({"ad_html": "", "ad_base_url": "https://a.test/", "ad_url": "https://a.test/ad"})",
         std::nullopt, std::nullopt, "https://a.test/ad"},
        {R"({"ad_html": "<p>", "ad_json": "{\"k\":1}"})", "{\"k\":1}", std::nullopt, std::nullopt},
        {R"({"ad_json": {"k": [1, "two"]}})", R"({"k":[1,"two"]})", std::nullopt, std::nullopt},
        {R"({"ad_url": "not a url", "ad_json": 5})", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& row : table) {
        const auto ad = adFromJSON(row.json);
        EXPECT_EQ(ad->adHTML(), row.html) << row.json;
        EXPECT_EQ(ad->adBaseURL() ? std::optional(ad->adBaseURL()->absoluteString()) : std::nullopt,
                  row.base)
            << row.json;
        EXPECT_EQ(ad->adURL() ? std::optional(ad->adURL()->absoluteString()) : std::nullopt,
                  row.url)
            << row.json;
    }
}

TEST(DZAd, SettingsFromTheDictionary) {
    const auto ad = adFromJSON(R"({
        "ad_size": "300x250", "orientation": "landscape", "ad_is_javascript": 1,
        "ad_passback_url": "https://a.test/pass", "debug_dialog": "dbg",
        "live_view": {"v": 1}, "use_displayed_impression": "1",
        "click_urls": ["https://t.test/c", "https://t.test/c", "bad url", 3],
        "impression_urls": ["https://t.test/i"], "manual_impression_urls": ["https://t.test/m"],
        "safe_browsing": {"click_string": "c", "report_url": "https://sb.test/r"},
        "rewards": [{"rb_type": "coins", "rb_amount": 5}, "second"],
        "custom_close_blocked": "YES", "dws_query_id": "q-1", "refresh_rate": 30})");
    EXPECT_EQ(ad->size(), (gfx::Size{300, 250}));
    EXPECT_EQ(ad->supportedOrientations(), 24u);
    EXPECT_TRUE(ad->hasAdNetworkJavaScript());
    ASSERT_TRUE(ad->adNetworkPassbackURL());
    EXPECT_EQ(ad->debugDialogString(), "dbg");
    EXPECT_EQ(ad->liveViewConfigurations(), (core::Dictionary{{"v", 1}}));
    EXPECT_EQ(ad->impressionDefinition(), 1);
    EXPECT_EQ(ad->clickURLs(), std::vector<core::URL>{*core::URL::create("https://t.test/c")});
    EXPECT_EQ(ad->impressionURLs().size(), 1u);
    EXPECT_EQ(ad->manualImpressionURLs().size(), 1u);
    ASSERT_TRUE(ad->safeBrowsingReporter());
    EXPECT_EQ(ad->safeBrowsingReporter()->clickString(), "c");
    ASSERT_TRUE(ad->reward());
    EXPECT_EQ(ad->reward()->rewardType(), "coins");
    EXPECT_EQ(ad->reward()->rewardAmount().string(), "5");
    EXPECT_TRUE(ad->customCloseBlocked());
    EXPECT_EQ(ad->DWSQueryID(), "q-1");
    EXPECT_EQ(ad->reloadInterval(), 0.0);  // only banner ads read the refresh rate
    EXPECT_TRUE(ad->statistics());

    const auto plain = adFromJSON(R"({"orientation": "sideways", "ad_is_javascript": "1",
        "ad_passback_url": "https://a.test/pass", "live_view": [1], "rewards": ["x"]})");
    EXPECT_EQ(plain->size(), (gfx::Size{}));
    EXPECT_EQ(plain->supportedOrientations(), 30u);
    EXPECT_FALSE(plain->hasAdNetworkJavaScript());
    EXPECT_FALSE(plain->adNetworkPassbackURL());
    EXPECT_FALSE(plain->liveViewConfigurations());
    EXPECT_FALSE(plain->reward());
    EXPECT_EQ(plain->croppedContentThreshold(), 10000.0);
    EXPECT_TRUE(plain->isScrollEnabled());
}

TEST(DZAd, BannerAdsTakeANumericRefreshRate) {
    const auto numeric = DZBannerAd::initWithDictionary(
        *core::JSON::parse(R"({"refresh_rate": 30, "ad_size": "320x50"})"));
    EXPECT_EQ(numeric->reloadInterval(), 30.0);
    EXPECT_EQ(numeric->size(), (gfx::Size{320, 50}));
    const auto text =
        DZBannerAd::initWithDictionary(*core::JSON::parse(R"({"refresh_rate": "30"})"));
    EXPECT_EQ(text->reloadInterval(), 0.0);
    const auto interstitial =
        DZInterstitialAd::initWithDictionary(*core::JSON::parse(R"({"refresh_rate": 30})"));
    EXPECT_EQ(interstitial->reloadInterval(), 0.0);
}

TEST(DZAd, RefreshRatesAndSizesOutOfBoundsAreNotTaken) {
    // The same bounds as the refresh-rate header: finite, 0 to a day.
    for (const char* rate : {"-30", "1e308", "86401"}) {
        const auto banner = DZBannerAd::initWithDictionary(
            *core::JSON::parse(std::string(R"({"refresh_rate": )") + rate + "}"));
        EXPECT_EQ(banner->reloadInterval(), 0.0) << rate;
    }
    // Sizes are whole, non-negative and finite, else zero.
    for (const char* size : {"-320x-50", "infxnan", "1e308x1e308", "320.5x50.25", "320x-0.5"}) {
        const auto ad =
            DZAd::initWithDictionary(core::Value(core::Dictionary{{"ad_size", std::string(size)}}));
        EXPECT_EQ(ad->size(), (gfx::Size{})) << size;
    }
    EXPECT_EQ(DZAd::initWithDictionary(*core::JSON::parse(R"({"ad_size": "0x0"})"))->size(),
              (gfx::Size{}));
}

TEST(DZAd, NativeKeysInServerJSONAreIgnored) {
    const auto value = core::JSON::parse(R"({
        "ad_size": "320x50",
        "_native_interstitial_size_width": 10, "_native_interstitial_size_height": 10,
        "_native_cropped_content_threshold": 1,
        "_native_original_request": {"url": "https://evil.test/"},
        "_native_request_redirects": [{"url": "https://evil.test/r"}]})");
    const auto fromServer = DZAd::initWithDictionary(*value);
    EXPECT_EQ(fromServer->size(), (gfx::Size{320, 50}));
    EXPECT_EQ(fromServer->croppedContentThreshold(), 10000.0);
    EXPECT_FALSE(fromServer->originalRequest());
    EXPECT_TRUE(fromServer->redirects().empty());

    // The mediation connector hands them over natively.
    DZAdNativeProperties native;
    native.interstitialSize = gfx::Size{480, 320};
    native.croppedContentThreshold = 0.5;
    native.originalRequest = core::URLRequest(*core::URL::create("https://ads.test/mediated"));
    const auto mediated = DZInterstitialAd::initWithDictionary(*value, &native);
    EXPECT_EQ(mediated->size(), (gfx::Size{480, 320}));
    EXPECT_EQ(mediated->croppedContentThreshold(), 0.5);
    ASSERT_TRUE(mediated->originalRequest());
    EXPECT_EQ(mediated->originalRequest()->url().absoluteString(), "https://ads.test/mediated");
}
