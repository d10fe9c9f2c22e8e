#include <gtest/gtest.h>

#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/request/DZCorrelatorAdLoaderOptions.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZMultipleAdsAdLoaderOptions.h"
#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/core/request/DZNativeAdViewAdOptions.h"
#include "ads/core/request/ZODBannerViewOptions.h"
#include "core/RunLoop.h"
#include "support/ValuePrinting.h"

using namespace ads;

TEST(DZAdLoaderConfiguration, AdTypesBecomeClassesOrNothing) {
    const auto content = DZAdLoaderConfiguration::create({"1", "1"}, {});
    ASSERT_TRUE(content);
    EXPECT_EQ(content->adTypes(), std::set<std::string>{"1"});
    EXPECT_EQ(content->adTypeClasses(), std::set<DZAdClass>{DZAdClass("DZNativeContentAd")});

    const auto all = DZAdLoaderConfiguration::create({"3", "2", "-1"}, {});
    ASSERT_TRUE(all);
    EXPECT_EQ(all->adTypeClasses(),
              (std::set<DZAdClass>{DZAdClass("DZNativeCustomTemplateAd"),
                                   DZAdClass("DZNativeAppInstallAd"), DZAdClass("ZODBannerView")}));

    EXPECT_FALSE(DZAdLoaderConfiguration::create({"1", "9"}, {}));
    EXPECT_FALSE(DZAdLoaderConfiguration::create({}, {}));
}

TEST(DZAdLoaderConfiguration, OptionsAddTheirRequestParameters) {
    auto images = std::make_shared<DZNativeAdImageAdLoaderOptions>();
    images->setPreferredImageOrientation(DZNativeAdImageAdLoaderOptions::kLandscape);
    auto multiple = std::make_shared<DZMultipleAdsAdLoaderOptions>();
    multiple->setNumberOfAds(4);
    auto banner = std::make_shared<ZODBannerViewOptions>();
    banner->setEnableManualImpressions(true);
    const auto configuration = DZAdLoaderConfiguration::create({"1"}, {images, multiple, banner});
    ASSERT_TRUE(configuration);
    EXPECT_EQ(configuration->requestParameters(),
              (core::Dictionary{{"native_image_orientation", "landscape"},
                                {"max_num_ads", 4},
                                {"d_imp_hdr", "1"}}));
    ASSERT_TRUE(configuration->options());
    EXPECT_EQ(configuration->options()->size(), 3u);
    // The configuration keeps copies: later changes to the given objects do not reach it.
    multiple->setNumberOfAds(9);
    EXPECT_EQ(configuration->requestParameters()["max_num_ads"].intValue(), 4);

    configuration->setAdClassRequestParameters(
        {{"DZNativeContentAd", core::Dictionary{{"k", "v"}}}});
    EXPECT_EQ(configuration->adClassRequestParameters()["DZNativeContentAd"]["k"].stringValue(),
              "v");
}

TEST(DZAdLoaderOptions, ImageOptionParametersByOrientationAndImageCount) {
    struct Case {
        std::int64_t orientation;
        bool multiple;
        std::optional<core::Dictionary> expected;
    };
    const Case cases[] = {
        {0, false, std::nullopt},
        {0, true, core::Dictionary{{"multiple_images", "1"}}},
        {1, false, core::Dictionary{{"native_image_orientation", "any"}}},
        {2, true,
         core::Dictionary{{"native_image_orientation", "portrait"}, {"multiple_images", "1"}}},
        {3, false, core::Dictionary{{"native_image_orientation", "landscape"}}},
        {4, false, std::nullopt},
        {-1, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        DZNativeAdImageAdLoaderOptions options;
        options.setPreferredImageOrientation(c.orientation);
        options.setShouldRequestMultipleImages(c.multiple);
        EXPECT_EQ(options.requestParameters(), c.expected);
    }
    EXPECT_FALSE(ZODBannerViewOptions().requestParameters());
    EXPECT_FALSE(DZNativeAdViewAdOptions().requestParameters());
    EXPECT_FALSE(DZCorrelatorAdLoaderOptions().requestParameters());
    EXPECT_EQ(DZMultipleAdsAdLoaderOptions().requestParameters(),
              (core::Dictionary{{"max_num_ads", 1}}));
}

TEST(DZAdLoaderOptions, CopiesKeepFieldsAndHoldDelegatesWeakly) {
    DZMultipleAdsAdLoaderOptions multiple;
    multiple.setNumberOfAds(3);
    const auto multipleCopy = multiple.copy();
    EXPECT_EQ(multipleCopy->className(), "DZMultipleAdsAdLoaderOptions");
    EXPECT_EQ(std::static_pointer_cast<DZMultipleAdsAdLoaderOptions>(multipleCopy)->numberOfAds(),
              3);

    ZODBannerViewOptions banner;
    auto appEvents = std::make_shared<DZAppEventDelegate>();
    auto sizes = std::make_shared<DZAdSizeDelegate>();
    banner.setAppEventDelegate(appEvents);
    banner.setAdSizeDelegate(sizes);
    const auto bannerCopy = std::static_pointer_cast<ZODBannerViewOptions>(banner.copy());
    EXPECT_EQ(bannerCopy->appEventDelegate(), appEvents);
    EXPECT_EQ(bannerCopy->adSizeDelegate(), sizes);
    appEvents.reset();
    sizes.reset();
    EXPECT_FALSE(bannerCopy->appEventDelegate());
    EXPECT_FALSE(bannerCopy->adSizeDelegate());

    DZExtras extras;
    extras.setAdditionalParameters(core::Dictionary{{"key", "value"}});
    const auto extrasCopy = extras.copy();
    extras.setAdditionalParameters(std::nullopt);
    EXPECT_EQ(extrasCopy->additionalParameters(), (core::Dictionary{{"key", "value"}}));
}
