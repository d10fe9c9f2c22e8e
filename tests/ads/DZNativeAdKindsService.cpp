// The app install and content ads: what they read of their entry, which
// fields they need, their asset loads against the local ad server's images
// (failures that count and ones that do not, image loading switched off),
// the AdChoices content, the overlay given the slot's page, and the request
// parameters with the statistics of their own template.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "LogCapture.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZMultipleAdsAdLoaderOptions.h"
#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZNativeAdAttribution.h"
#include "ads/native/DZNativeAdAttributionView.h"
#include "ads/native/DZNativeAdViewPolicy.h"
#include "ads/native/DZNativeAdViewPolicyDelegate.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZNativeContentAdView.h"
#include "ads/native/DZOverlayView.h"
#include "ads/video/DZVideoController.h"
#include "fixtures/AdServer.h"
#include "fixtures/NativeAds.h"
#include "ui/Label.h"

namespace {

using adwebtesting::waitFor;
using ads::DZNativeAppInstallAd;
using ads::DZNativeContentAd;

ads::DZLoadableClass::Options imageOptions(bool disable, bool multiple) {
    auto option = std::make_shared<ads::DZNativeAdImageAdLoaderOptions>();
    option->setDisableImageLoading(disable);
    option->setShouldRequestMultipleImages(multiple);
    return {{ads::DZNativeAdImageAdLoaderOptions::kClassName, option}};
}

class DZNativeAdKindsService : public ::testing::Test {
protected:
    core::Dictionary image(const std::string& name) const {
        return {{"url", server.urlString(std::string(fixtures::NativeAds::kImagePrefix) + name)}};
    }
    core::Dictionary appInstall(const std::string& icon = "icon.png") const {
        return {{"headline", "Vantor Photos"},
                {"call_to_action", "Install"},
                {"app_icon", image(icon)}};
    }
    core::Dictionary attribution(const std::string& icon) const {
        return {{"text", "Ad"}, {"images", core::Array{image(icon)}}};
    }
    // The outcome of one asset load: "ok" or the error's code and message.
    std::string load(const std::shared_ptr<ads::DZNativeAd>& ad) {
        std::optional<std::string> outcome;
        ad->loadAssetsWithCompletionHandler([&](const std::optional<ads::Error>& error) {
            outcome = error ? std::to_string(error->code) + " " + error->message : "ok";
        });
        EXPECT_TRUE(waitFor([&] { return outcome.has_value(); }));
        return outcome.value_or("none");
    }
    size_t imageRequests(const std::string& name) const {
        return server.requestsTo(std::string(fixtures::NativeAds::kImagePrefix) + name).size();
    }

    fixtures::AdServer server;
};

TEST_F(DZNativeAdKindsService, AppInstallAdsReadTheirEntryAndNeedHeadlineActionAndIcon) {
    auto entry = appInstall();
    entry.set("body", "Browse");
    entry.set("store", "Store");
    entry.set("price", "Free");
    entry.set("images", core::Array{image("photo@2x.jpg"), image("icon.png"), image("junk")});
    entry.set("allow_pub_owned_ad_view", "1");
    const auto ad = DZNativeAppInstallAd::create(entry, {});
    ASSERT_TRUE(ad);
    EXPECT_EQ(ad->headline(), "Vantor Photos");
    EXPECT_EQ(ad->callToAction(), "Install");
    EXPECT_EQ(ad->body(), "Browse");
    EXPECT_EQ(ad->store(), "Store");
    EXPECT_EQ(ad->price(), "Free");
    EXPECT_EQ(ad->starRating(), 0.0) << "no rating gives zero";
    ASSERT_TRUE(ad->icon());
    EXPECT_EQ(ad->icon()->imageURL().path(), "/native/img/icon.png");
    EXPECT_EQ(ad->nativeAdImages().size(), 1u) << "only the first without the multiple option";
    EXPECT_TRUE(ad->images().empty()) << "none is ready before loading";
    EXPECT_TRUE(ad->publisherOwnedAdViewAllowed());
    ASSERT_TRUE(ad->overlayView());
    EXPECT_TRUE(ad->overlayView()->isHidden());
    ASSERT_TRUE(ad->videoController());
    EXPECT_TRUE(ad->mediaContent()) << "media content also without a video";
    EXPECT_EQ(ad->requiredAssets(), (std::set<std::string>{"headline", "callToAction", "icon"}));
    EXPECT_FALSE(ad->attribution());
    EXPECT_FALSE(ad->adChoicesContentView()) << "no attribution, no badge";

    entry.set("rating", "4.5");
    entry.set("attribution", attribution("icon.png"));
    const auto rated = DZNativeAppInstallAd::create(entry, imageOptions(false, true));
    ASSERT_TRUE(rated);
    EXPECT_EQ(rated->starRating(), 4.5);
    EXPECT_EQ(rated->nativeAdImages().size(), 3u);
    EXPECT_TRUE(rated->requiredAssets().contains("attribution"));
    const auto badge = rated->adChoicesContentView();
    EXPECT_TRUE(std::dynamic_pointer_cast<ads::DZNativeAdAttributionView>(badge));
    EXPECT_EQ(rated->adChoicesContentView(), badge) << "made once, then kept";
    const auto own = std::make_shared<ui::View>();
    rated->setAdChoicesContentView(own);
    EXPECT_EQ(rated->adChoicesContentView(), own);

    for (const char* missing : {"headline", "call_to_action", "app_icon"}) {
        auto without = appInstall();
        (void)without.remove(missing);
        EXPECT_FALSE(DZNativeAppInstallAd::create(without, {})) << missing;
    }
    EXPECT_FALSE(DZNativeAppInstallAd::create(
        {{"headline", "h"}, {"call_to_action", "c"}, {"app_icon", core::Dictionary{{"url", 3}}}},
        {}));
}

TEST_F(DZNativeAdKindsService, ContentAdsNeedHeadlineAndBodyOnly) {
    const auto ad = DZNativeContentAd::create(
        {{"headline", "Daily"}, {"body", "Wallpapers"}, {"advertiser", "Vantor"},
         {"secondary_image", image("icon.png")}},
        {});
    ASSERT_TRUE(ad) << "valid without a call to action";
    EXPECT_EQ(ad->callToAction(), std::nullopt);
    EXPECT_EQ(ad->advertiser(), "Vantor");
    ASSERT_TRUE(ad->logo());
    EXPECT_EQ(ad->requiredAssets(), (std::set<std::string>{"headline", "body"}));
    EXPECT_FALSE(DZNativeContentAd::create({{"headline", "Daily"}, {"call_to_action", "Go"}}, {}));
    EXPECT_FALSE(DZNativeContentAd::create({{"body", "b"}}, {}));
}

TEST_F(DZNativeAdKindsService, LoadsIconImagesAndBadgeAndLeavesOutFailedOptionalAssets) {
    auto entry = appInstall();
    entry.set("images", core::Array{image("photo@2x.jpg"), image("missing")});
    entry.set("attribution", attribution("icon.png"));
    const auto ad = DZNativeAppInstallAd::create(entry, imageOptions(false, true));
    ASSERT_TRUE(ad);
    ASSERT_GT(ad->nativeAdImages().size(), 1u);
    const auto missing = ad->nativeAdImages()[1];
    EXPECT_EQ(load(ad), "ok");
    ASSERT_TRUE(ad->icon()->image());
    ASSERT_EQ(ad->images().size(), 1u) << "the missing image is left out";
    EXPECT_TRUE(ad->images()[0]->image());
    ASSERT_TRUE(ad->adChoicesIcon());
    ASSERT_TRUE(ad->attribution() && ad->attribution()->icons());
    ASSERT_FALSE(ad->attribution()->icons()->empty());
    EXPECT_EQ(ad->adChoicesIcon(), ad->attribution()->icons()->front());
    // The badge sizes itself around its text and the 8x6 icon, so that a
    // corner pin alone places it.
    const auto badge =
        std::dynamic_pointer_cast<ads::DZNativeAdAttributionView>(ad->adChoicesContentView());
    ASSERT_TRUE(badge);
    const gfx::Size text = badge->textView()->intrinsicContentSize();
    const gfx::Size fitting = badge->intrinsicContentSize();
    EXPECT_GT(text.width, 0);
    EXPECT_DOUBLE_EQ(fitting.width, text.width + 8 + 2 * 0.37 * text.height);
    EXPECT_DOUBLE_EQ(fitting.height, std::max(text.height, 6.0));
    EXPECT_TRUE(ad->completedAssets().contains(DZNativeAppInstallAd::mainImageAssetName(*missing)));
    EXPECT_TRUE(ad->completedAssets().contains("native_ad_media"))
        << "a media load without a video fails and is only left out";
    EXPECT_FALSE(ad->videoController()->hasVideoContent());

    // A content ad's logo that does not load is only left out, too.
    const auto content = DZNativeContentAd::create(
        {{"headline", "h"}, {"body", "b"}, {"secondary_image", image("missing")}}, {});
    EXPECT_EQ(load(content), "ok");
    EXPECT_FALSE(content->logo()->image());
}

TEST_F(DZNativeAdKindsService, AFailedIconOrBadgeFailsTheLoad) {
    const std::string failed = "11 Failed to load a required asset.";
    EXPECT_EQ(load(DZNativeAppInstallAd::create(appInstall("missing"), {})), failed);

    auto entry = appInstall();
    entry.set("attribution", attribution("junk"));
    EXPECT_EQ(load(DZNativeAppInstallAd::create(entry, {})), failed);

    const auto content = DZNativeContentAd::create(
        {{"headline", "h"}, {"body", "b"}, {"attribution", attribution("missing")}}, {});
    EXPECT_EQ(load(content), failed);
}

TEST_F(DZNativeAdKindsService, WithImageLoadingOffImagesAreListedWithoutTheirPictures) {
    auto entry = appInstall();
    entry.set("images", core::Array{image("photo@2x.jpg"), image("slow.png")});
    entry.set("attribution", attribution("icon.png"));
    const auto ad = DZNativeAppInstallAd::create(entry, imageOptions(true, true));
    ASSERT_TRUE(ad);
    EXPECT_TRUE(ad->disableImageLoading());
    EXPECT_EQ(load(ad), "ok");
    ASSERT_EQ(ad->images().size(), 2u);
    EXPECT_FALSE(ad->images()[0]->image());
    EXPECT_FALSE(ad->icon()->image()) << "the icon is not loaded either";
    EXPECT_TRUE(ad->adChoicesIcon()) << "the badge still loads";
    EXPECT_EQ(imageRequests("photo@2x.jpg"), 0u);
    EXPECT_EQ(imageRequests("slow.png"), 0u);
    EXPECT_EQ(imageRequests("icon.png"), 1u) << "the badge's icon only";

    const auto content = DZNativeContentAd::create(
        {{"headline", "h"}, {"body", "b"}, {"secondary_image", image("missing")},
         {"images", core::Array{image("junk")}}},
        imageOptions(true, false));
    EXPECT_EQ(load(content), "ok");
    EXPECT_EQ(content->images().size(), 1u);
    EXPECT_EQ(imageRequests("missing") + imageRequests("junk"), 0u);
}

TEST_F(DZNativeAdKindsService, TheOverlayShowsTheSlotsPage) {
    const auto ad = DZNativeContentAd::create({{"headline", "h"}, {"body", "b"}}, {});
    const auto slot = ads::DZSlot::create();
    ASSERT_TRUE(ad && slot && slot->adView());
    ad->setSlot(slot);
    EXPECT_EQ(ad->slot(), slot);
    EXPECT_EQ(ad->overlayView()->adView(), slot->adView());
}

TEST(DZNativeAdKinds, PublisherOwnedViewsAreRefusedInOrderAndRegisteredThroughAPolicy) {
    const std::string prefix = "<Dozuza> ";
    const auto headline = std::make_shared<ui::Label>();
    const auto adView = std::make_shared<ui::View>(gfx::Rect{0, 0, 300, 200});
    adView->addSubview(headline);
    const ads::DZNativeAdvancedAd::AssetViews assets{{"2001", headline}};

    adtesting::LogCapture console;
    const auto closed = DZNativeAppInstallAd::create(
        {{"headline", "h"}, {"call_to_action", "c"}, {"app_icon", core::Dictionary{{"url", "https://a.test/i.png"}}}},
        {});
    ASSERT_TRUE(closed);
    closed->registerAdView(nullptr, std::nullopt);
    closed->unregisterAdView();
    EXPECT_FALSE(closed->nativeAdViewPolicy());

    const auto ad = DZNativeAppInstallAd::create({{"headline", "h"},
                                                  {"call_to_action", "c"},
                                                  {"app_icon", core::Dictionary{{"url", "https://a.test/i.png"}}},
                                                  {"allow_pub_owned_ad_view", true}},
                                                 {});
    ASSERT_TRUE(ad);
    ad->registerAdView(nullptr, assets);
    ad->registerAdView(adView, std::nullopt);
    const auto sdkView = ads::DZNativeContentAdView::create(gfx::Rect{0, 0, 10, 20});
    ad->registerAdView(sdkView, assets);
    EXPECT_FALSE(ad->nativeAdViewPolicy());

    ad->registerAdView(adView, assets);
    const auto policy = ad->nativeAdViewPolicy();
    ASSERT_TRUE(policy);
    EXPECT_EQ(policy->nativeAd(), std::static_pointer_cast<ads::DZNativeAd>(ad));
    EXPECT_EQ(policy->delegate(), std::static_pointer_cast<ads::DZNativeAdViewPolicyDelegate>(ad));
    ad->registerAdView(std::make_shared<ui::View>(), assets);
    EXPECT_EQ(ad->nativeAdViewPolicy(), policy) << "the first registration stays";

    ad->unregisterAdView();
    EXPECT_FALSE(ad->nativeAdViewPolicy());
    const auto content = DZNativeContentAd::create(
        {{"headline", "h"}, {"body", "b"}, {"allow_pub_owned_ad_view", 1}}, {});
    content->registerAdView(adView, ads::DZNativeAdvancedAd::AssetViews{{"1001", headline}});
    ASSERT_TRUE(content->nativeAdViewPolicy()) << "the view is free again";

    ads::DZLogger::sharedInstance().waitForLogging();
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(sdkView.get()));
    EXPECT_EQ(console.lines(),
              (std::vector<std::string>{
                  prefix + ads::DZNativeAdvancedAd::kNotAllowedMessage,
                  prefix + ads::DZNativeAdvancedAd::kNotAllowedMessage,
                  prefix + "Cannot register nil ad view or nil asset view dictionary.",
                  prefix + "Cannot register nil ad view or nil asset view dictionary.",
                  prefix + "Not allowed to register VuRaz native ad view: <DZNativeContentAdView: " +
                      address + "; frame = (0 0; 10 20)>",
                  prefix + "Failed to register ad view and asset views: please first unregister "
                           "the previous ad view."}));
    content->unregisterAdView();
}

TEST(DZNativeAdKinds, RequestParametersCarryTheStatisticsOfTheirOwnTemplate) {
    const auto store = ads::DZApplication::sharedInstance()->nativeAdStatistics();
    store->setObject(core::Value(), "1", false);
    store->setObject(core::Value(), "2", false);
    const std::string unit = "native/statistics";
    {
        const auto content = DZNativeContentAd::create({{"headline", "h"}, {"body", "b"}}, {});
        content->setAdUnitID(unit);
        content->reportIsMediaContentRendered(true);
        const auto other = DZNativeContentAd::create({{"headline", "h"}, {"body", "b"}}, {});
        other->setAdUnitID("native/elsewhere");
        other->reportIsMediaContentRendered(false);
    }
    const auto loader = ads::DZAdLoader::create(unit, {}, {"1", "2"}, {});
    ASSERT_TRUE(loader);
    const core::Dictionary contentParameters =
        DZNativeContentAd::adClass().requestParametersForAdLoader(*loader);
    EXPECT_EQ(contentParameters["format"], core::Value(1));
    EXPECT_EQ(contentParameters["allowed_response_types"], core::Value(core::Array{"ina"}));
    const core::Value& records = contentParameters["native_advanced_statistics"];
    ASSERT_EQ(records.size(), 1u) << "only this ad unit's";
    EXPECT_EQ(records[0]["template_id"], core::Value("1"));
    EXPECT_EQ(records[0]["uses_media_view"], core::Value(1));

    const core::Dictionary appInstallParameters =
        DZNativeAppInstallAd::adClass().requestParametersForAdLoader(*loader);
    EXPECT_EQ(appInstallParameters["format"], core::Value(2));
    EXPECT_EQ(appInstallParameters["native_advanced_statistics"], core::Value(core::Array{}))
        << "none of template 1, and an empty array rather than nothing";
    store->setObject(core::Value(), "1", false);
    store->setObject(core::Value(), "2", false);
}

}  // namespace
