// The native express connector's assets JSON by kind of network ad, and the
// template page that carries it: the JSON as a script literal that nothing
// in the assets can end early, placed before the template's first script.

#include <gtest/gtest.h>

#include "MediatedNativeTesting.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/native/DZMAdNetworkConnectorNativeExpressAd.h"
#include "core/JSON.h"

namespace {

using namespace mediatednativetesting;
using Connector = ads::DZMAdNetworkConnectorNativeExpressAd;

std::shared_ptr<Connector> connectorWithTemplates(core::Array templateIDs) {
    const core::Dictionary network{{"id", "N"},
                                   {"adapters", core::Array{"NativeAdapter"}},
                                   {"template_ids", std::move(templateIDs)},
                                   {"html_template", "<html></html>"}};
    ads::Error error;
    const auto config = ads::DZMConfig::initWithAppKey(
        "app", core::Dictionary{{"ad_networks", core::Array{network}}}, &error);
    if (!config || config->adNetworkConfigs().empty()) return nullptr;
    return Connector::create(config, config->adNetworkConfigs().front());
}

core::Value parsed(const std::optional<std::string>& json) {
    if (!json) return {};
    return core::JSON::parse(*json).value_or(core::Value());
}

TEST(DZMAdNetworkConnectorNativeExpressAd, AContentAdGivesTheTemplateIDsAndItsAssets) {
    const auto connector = connectorWithTemplates(core::Array{"10", "11"});
    ASSERT_TRUE(connector);
    ContentNetworkAd ad;
    ad.logoImage = imageAt("https://cdn.test/logo.png");
    ad.assets.headline = "Quiet lakes";
    const core::Value json = parsed(connector->assetsFromMediatedNativeAd(ad));
    EXPECT_EQ(json["template_id"], core::Value(core::Array{"10", "11"}));
    EXPECT_EQ(json["assets"], core::Value(core::Dictionary{{"icon", "https://cdn.test/logo.png"},
                                                          {"headline", "Quiet lakes"}}));

    // Everything a content ad can carry; images that are not native ad
    // images are left out.
    ad.advertiserText = "Lakes & Co";
    ad.assets.body = "Calm water";
    ad.assets.callToAction = "Visit";
    ad.assets.extras = core::Dictionary{{"badge", "new"}};
    ad.assets.images = {imageAt("https://cdn.test/1.jpg"), nullptr,
                        imageAt("https://cdn.test/2.jpg")};
    const core::Value full = parsed(connector->assetsFromMediatedNativeAd(ad));
    EXPECT_EQ(full["assets"],
              core::Value(core::Dictionary{
                  {"icon", "https://cdn.test/logo.png"},
                  {"advertiser", "Lakes & Co"},
                  {"extras", core::Dictionary{{"badge", "new"}}},
                  {"headline", "Quiet lakes"},
                  {"body", "Calm water"},
                  {"images", core::Array{"https://cdn.test/1.jpg", "https://cdn.test/2.jpg"}},
                  {"call_to_action", "Visit"}}));
    // When no image is left, there is no "images"; empty extras are left out.
    ad.assets.images = {nullptr, ads::DZNativeAdImage::initWithImage(nullptr)};
    ad.assets.extras = core::Dictionary{};
    const core::Value noImages = parsed(connector->assetsFromMediatedNativeAd(ad));
    EXPECT_TRUE(noImages["assets"]["images"].isNull());
    EXPECT_TRUE(noImages["assets"]["extras"].isNull());
}

TEST(DZMAdNetworkConnectorNativeExpressAd, WithoutAssetsOfItsKindAnAdHasNoAssetsAtAll) {
    const auto connector = connectorWithTemplates(core::Array{"10"});
    ASSERT_TRUE(connector);
    AppInstallNetworkAd bare;
    bare.assets.headline = "Only a headline";
    EXPECT_FALSE(connector->assetsFromMediatedNativeAd(bare).has_value());
    EXPECT_FALSE(connector->assetsFromMediatedNativeAd(PlainNetworkAd{}).has_value());

    AppInstallNetworkAd rated = bare;
    rated.rating = 4.5;
    rated.priceText = "Free";
    const core::Value json = parsed(connector->assetsFromMediatedNativeAd(rated));
    EXPECT_EQ(json["assets"], core::Value(core::Dictionary{{"star_rating", "4.5"},
                                                          {"price", "Free"},
                                                          {"headline", "Only a headline"}}));
    rated.rating = 4.0;
    EXPECT_EQ(Connector::JSONAssetsFromMediatedNativeAppInstallAd(rated)["star_rating"],
              core::Value("4"));

    // An ad of both kinds counts as a content ad.
    BothKindsNetworkAd both;
    both.image = imageAt("https://cdn.test/i.png");
    const core::Value mixed = parsed(connector->assetsFromMediatedNativeAd(both));
    EXPECT_EQ(mixed["assets"]["advertiser"], core::Value("advertiser"));
    EXPECT_TRUE(mixed["assets"]["store"].isNull());
}

TEST(DZMAdNetworkConnectorNativeExpressAd, TheAssetsScriptCannotBeEndedByTheAssets) {
    // U+2028, U+2029 and a closing script tag inside a headline.
    const std::string json =
        R"({"assets":{"headline":"a)" "\xE2\x80\xA8" "b" "\xE2\x80\xA9" R"(c</script><!--d"}})";
    const std::string literal = Connector::scriptLiteralFromJSON(json);
    EXPECT_EQ(literal, R"({"assets":{"headline":"a\u2028b\u2029c<\/script>\u003C!--d"}})");
    // Still the same JSON.
    EXPECT_EQ(core::JSON::parse(literal), core::JSON::parse(json));
}

TEST(DZMAdNetworkConnectorNativeExpressAd, TheAssetsComeBeforeTheTemplatesFirstScript) {
    const std::string set = "<script>window.duzoNativeAssets = {};</script>";
    EXPECT_EQ(Connector::templateWithAssets(
                  "<!DOCTYPE html><html><HEAD lang=en><script>go()</script></head></html>", "{}"),
              "<!DOCTYPE html><html><HEAD lang=en>" + set + "<script>go()</script></head></html>");
    // No head: after the html tag; a <header> is not a head.
    EXPECT_EQ(Connector::templateWithAssets("<html><header>x</header></html>", "{}"),
              "<html>" + set + "<header>x</header></html>");
    EXPECT_EQ(Connector::templateWithAssets("<!doctype html><p>x</p>", "{}"),
              "<!doctype html>" + set + "<p>x</p>");
    EXPECT_EQ(Connector::templateWithAssets("<p>x</p>", "{}"), set + "<p>x</p>");
    // A script before the head still runs after the assets are set.
    EXPECT_EQ(Connector::templateWithAssets("<script>early()</script><head></head>", "{}"),
              set + "<script>early()</script><head></head>");
}

}  // namespace
