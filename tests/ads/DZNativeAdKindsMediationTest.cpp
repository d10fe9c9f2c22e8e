// The app install, content and custom template ads around another
// network's mediated native ad: the network ad's assets, the kinds that
// give no ad, the media content of mediated ads and their asset load.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "MediatedNativeTesting.h"
#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/mediation/native/DZMediationNativeAdMediaContent.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZNativeCustomTemplateAd.h"
#include "ads/video/DZVideoController.h"

namespace {

using namespace mediatednativetesting;
using adwebtesting::waitFor;
using ads::DZNativeAppInstallAd;
using ads::DZNativeContentAd;

std::shared_ptr<ads::DZMediatedNativeAd> mediated(
    const std::shared_ptr<ads::DZMediatedNativeAdProtocol>& ad) {
    auto mediatedAd = std::make_shared<ads::DZMediatedNativeAd>();
    mediatedAd->setAd(ad);
    mediatedAd->setAdNetworkClassName("NetworkAdapter");
    return mediatedAd;
}

// An app install network ad with an AdChoices view of its own.
class BadgedAppInstallAd : public AppInstallNetworkAd {
public:
    std::shared_ptr<ui::View> adChoicesView() const override { return badge; }
    std::shared_ptr<ui::View> badge;
};

std::shared_ptr<BadgedAppInstallAd> appInstallNetworkAd() {
    auto ad = std::make_shared<BadgedAppInstallAd>();
    ad->assets.headline = "Network app";
    ad->assets.callToAction = "Get";
    ad->assets.body = "From a network";
    ad->assets.images = {imageAt("https://n.test/1.png"), nullptr, imageAt("https://n.test/2.png")};
    ad->iconImage = ads::DZNativeAdImage::initWithImage(
        gfx::Image::create(2, 2, gfx::Image::Pixels(4, 0xff0000ffu)));
    ad->rating = 3.5;
    ad->storeText = "Store";
    return ad;
}

TEST(DZNativeAdKindsMediation, AppInstallAdsTakeTheNetworkAdsAssets) {
    const auto network = appInstallNetworkAd();
    auto option = std::make_shared<ads::DZNativeAdImageAdLoaderOptions>();
    option->setDisableImageLoading(true);
    const auto ad = DZNativeAppInstallAd::createWithMediatedNativeAd(
        mediated(network), {{ads::DZNativeAdImageAdLoaderOptions::kClassName, option}});
    ASSERT_TRUE(ad);
    EXPECT_EQ(ad->headline(), "Network app");
    EXPECT_EQ(ad->callToAction(), "Get");
    EXPECT_EQ(ad->body(), "From a network");
    EXPECT_EQ(ad->store(), "Store");
    EXPECT_EQ(ad->price(), std::nullopt);
    EXPECT_EQ(ad->starRating(), 3.5);
    EXPECT_EQ(ad->icon(), network->iconImage);
    ASSERT_EQ(ad->images().size(), 2u) << "ready at once, the null entry left out";
    EXPECT_EQ(ad->images()[1], network->assets.images[2]);
    EXPECT_TRUE(ad->disableImageLoading());
    EXPECT_EQ(ad->adNetworkClassName(), "NetworkAdapter");
    EXPECT_TRUE(ad->mediatedNativeAd());
    EXPECT_FALSE(ad->attribution());
    EXPECT_FALSE(ad->overlayView());
    EXPECT_FALSE(ad->publisherOwnedAdViewAllowed());
    EXPECT_FALSE(ad->adChoicesContentView()) << "the network gave no AdChoices view";
    network->badge = std::make_shared<ui::View>();
    EXPECT_EQ(DZNativeAppInstallAd::createWithMediatedNativeAd(mediated(network), {})
                  ->adChoicesContentView(),
              network->badge);
    EXPECT_TRUE(std::dynamic_pointer_cast<ads::DZMediationNativeAdMediaContent>(ad->mediaContent()));
    ASSERT_TRUE(ad->videoController());

    // The load completes with the network's media content as the video.
    std::optional<std::string> outcome;
    ad->loadAssetsWithCompletionHandler(
        [&](const std::optional<ads::Error>& error) { outcome = error ? error->message : "ok"; });
    ASSERT_TRUE(waitFor([&] { return outcome.has_value(); }));
    EXPECT_EQ(outcome, "ok");
    EXPECT_EQ(ad->videoController()->internalVideoController(),
              ad->mediaContent()->videoController());
    EXPECT_EQ(ad->images().size(), 2u) << "images made ready by the network are not added again";

    // Through the class, as the mediated ad asks.
    EXPECT_TRUE(DZNativeAppInstallAd::adClass().initWithMediatedNativeAd(mediated(network), {}));
}

TEST(DZNativeAdKindsMediation, MissingAssetsAndOtherKindsGiveNoAd) {
    auto noIcon = appInstallNetworkAd();
    noIcon->iconImage = nullptr;
    EXPECT_FALSE(DZNativeAppInstallAd::createWithMediatedNativeAd(mediated(noIcon), {}));
    auto noAction = appInstallNetworkAd();
    noAction->assets.callToAction.reset();
    EXPECT_FALSE(DZNativeAppInstallAd::createWithMediatedNativeAd(mediated(noAction), {}));

    const auto content = std::make_shared<ContentNetworkAd>();
    content->assets.headline = "Article";
    content->assets.body = "Text";
    content->advertiserText = "Brand";
    content->logoImage = imageAt("https://n.test/logo.png");
    EXPECT_FALSE(DZNativeAppInstallAd::createWithMediatedNativeAd(mediated(content), {}))
        << "a content ad makes no app install ad";
    EXPECT_FALSE(DZNativeContentAd::createWithMediatedNativeAd(mediated(appInstallNetworkAd()), {}));
    EXPECT_FALSE(DZNativeContentAd::createWithMediatedNativeAd(
        mediated(std::make_shared<PlainNetworkAd>()), {}));
    EXPECT_FALSE(DZNativeContentAd::createWithMediatedNativeAd(nullptr, {}));

    const auto made = DZNativeContentAd::adClass().initWithMediatedNativeAd(mediated(content), {});
    const auto contentAd = std::dynamic_pointer_cast<DZNativeContentAd>(made);
    ASSERT_TRUE(contentAd) << "valid without a call to action";
    EXPECT_EQ(contentAd->advertiser(), "Brand");
    EXPECT_EQ(contentAd->logo(), content->logoImage);
    EXPECT_FALSE(contentAd->callToAction());
    content->assets.body.reset();
    EXPECT_FALSE(DZNativeContentAd::createWithMediatedNativeAd(mediated(content), {}));

    EXPECT_FALSE(ads::DZNativeCustomTemplateAd::adClass().initWithMediatedNativeAd(
        mediated(std::make_shared<PlainNetworkAd>()), {}))
        << "there is no mediated custom template ad";
}

}  // namespace
