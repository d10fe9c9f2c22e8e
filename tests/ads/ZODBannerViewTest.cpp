// The publisher banner around its slot: valid sizes and resizing with the
// process-wide request marks, correlator pre-emption, app events and size
// changes from the slot, custom-rendered ads with and without a delegate,
// and the class side the ad loader sees.

#include "ads/presentation/banner/ZODBannerView.h"

#include "SlotTesting.h"
#include "ads/core/request/DZCorrelator.h"
#include "ads/core/response/ZODCustomRenderedAd.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/native/DZAdLoader.h"
#include "ads/presentation/DZAdSizeDelegate.h"
#include "ads/presentation/DZAppEventDelegate.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/ViewController.h"

namespace {

using namespace slottesting;
using ads::DZAdSize;
using ads::DZSlot;
using ads::ZODBannerView;

class PublisherDelegate : public ads::DZBannerViewDelegate,
                          public ads::DZAdSizeDelegate,
                          public ads::DZAppEventDelegate,
                          public ads::ZODCustomRenderedBannerViewDelegate {
public:
    int received = 0;
    std::vector<ads::DZRequestError> failures;
    std::vector<DZAdSize> sizeChanges;
    // "<name>=<info>" with the sending banner.
    std::vector<std::pair<ads::DZBannerView*, std::string>> appEvents;
    std::vector<std::shared_ptr<ads::ZODCustomRenderedAd>> customAds;

    void adViewDidReceiveAd(ads::DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(ads::DZBannerView&,
                                     const ads::DZRequestError& error) override {
        failures.push_back(error);
    }
    void willChangeAdSizeTo(ads::DZBannerView&, const DZAdSize& size) override {
        sizeChanges.push_back(size);
    }
    void didReceiveAppEvent(ads::DZBannerView& banner, const std::string& name,
                            const std::optional<std::string>& info) override {
        appEvents.emplace_back(&banner, name + "=" + info.value_or("-"));
    }
    void didReceiveCustomRenderedAd(ZODBannerView&,
                                    const std::shared_ptr<ads::ZODCustomRenderedAd>& ad) override {
        customAds.push_back(ad);
    }
    [[nodiscard]] size_t outcomes() const { return size_t(received) + failures.size(); }
};

class ZODBannerViewTest : public testing::Test {
protected:
    void TearDown() override {
        banner.reset();
        ui::Application::shared().resetForTesting();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }
    [[nodiscard]] bool make(const DZAdSize& size = ads::kDZAdSizeBanner) {
        banner = ZODBannerView::createWithAdSize(size);
        if (!banner) return false;
        banner->setDelegate(delegate);
        banner->setAdSizeDelegate(delegate);
        banner->setAdUnitID("unit/zod");
        banner->setRootViewController(controller);
        return true;
    }
    [[nodiscard]] bool waitForOutcomes(size_t count) {
        return waitFor([&] { return delegate->outcomes() >= count; });
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<PublisherDelegate> delegate = std::make_shared<PublisherDelegate>();
    std::shared_ptr<ui::ViewController> controller = std::make_shared<ui::ViewController>();
    std::shared_ptr<ZODBannerView> banner;
};

TEST_F(ZODBannerViewTest, ValidSizesAndResizingMarkEveryLaterRequestOfTheProcess) {
    ASSERT_TRUE(make());
    banner->setValidAdSizesWithSizes(
        {ads::kDZAdSizeBanner, ads::kDZAdSizeMediumRectangle, ads::kDZAdSizeLargeBanner});
    ASSERT_TRUE(banner->validAdSizes());
    ASSERT_EQ(banner->validAdSizes()->size(), 3u);
    EXPECT_TRUE(ads::DZAdSizesEqual(ads::DZAdSizeUnboxedValue((*banner->validAdSizes())[1]),
                                    ads::kDZAdSizeMediumRectangle));
    EXPECT_TRUE(ads::DZAdSizesEqual(ads::DZAdSizeUnboxedValue((*banner->validAdSizes())[2]),
                                    ads::kDZAdSizeLargeBanner));
    // The slot sends them, in order, with every request.
    const core::Dictionary parameters =
        banner->requestParametersForRequest(std::make_shared<ads::DZRequest>());
    EXPECT_EQ(parameters["sz_array"],
              core::Value(core::Array{"320x50", "300x250", "320x100"}));
    EXPECT_EQ(parameters["dcs"], core::Value("1"));

    // Resizing takes the new size without a reload.
    banner->resize(ads::kDZAdSizeMediumRectangle);
    EXPECT_TRUE(ads::DZAdSizesEqual(banner->adSize(), ads::kDZAdSizeMediumRectangle));
    EXPECT_EQ(banner->frame().size, (gfx::Size{300, 250}));
    EXPECT_EQ(banner->slot()->state(), DZSlot::kIdle);
    EXPECT_FALSE(banner->slot()->loadingRequest());

    // Both marks reach the requests of any banner from now on.
    const auto plain = ads::DZBannerView::createWithAdSize(ads::kDZAdSizeBanner);
    ASSERT_TRUE(plain);
    const core::Dictionary other =
        plain->requestParametersForRequest(std::make_shared<ads::DZRequest>());
    EXPECT_EQ(other["dcs"], core::Value("1"));
    EXPECT_EQ(other["dcr"], core::Value("1"));
}

TEST_F(ZODBannerViewTest, OnlyANewCorrelatorPreemptsALoadUnderWay) {
    ASSERT_TRUE(make());
    const auto request = requestWithExtras({{"_ad", inlineAd()}});
    // The first load never pre-empts: it recorded no correlation.
    banner->loadRequest(request);
    ASSERT_EQ(banner->slot()->state(), DZSlot::kFetching);
    EXPECT_EQ(banner->previousCorrelationID(), 0u);
    const auto first = banner->slot()->adFetcher();
    banner->setCorrelator(std::make_shared<ads::DZCorrelator>());
    banner->loadRequest(request);
    EXPECT_EQ(banner->slot()->adFetcher(), first);
    ASSERT_TRUE(waitForOutcomes(1));
    ASSERT_EQ(delegate->received, 1);

    // A load under that correlator is not pre-empted by another under it.
    banner->loadRequest(request);
    EXPECT_EQ(banner->previousCorrelationID(), banner->correlator()->correlationID());
    const auto second = banner->slot()->adFetcher();
    ASSERT_NE(second, first);
    banner->loadRequest(request);
    EXPECT_EQ(banner->slot()->adFetcher(), second);
    // A new correlator takes over.
    auto fresh = std::make_shared<ads::DZCorrelator>();
    ASSERT_NE(fresh->correlationID(), banner->correlator()->correlationID());
    banner->setCorrelator(fresh);
    banner->loadRequest(request);
    EXPECT_NE(banner->slot()->adFetcher(), second);
    EXPECT_EQ(banner->previousCorrelationID(), fresh->correlationID());
    ASSERT_TRUE(waitForOutcomes(2));
    EXPECT_TRUE(delegate->failures.empty());
}

TEST_F(ZODBannerViewTest, AppEventsAndSizeChangesFromTheSlotReachThePublisher) {
    ASSERT_TRUE(make());
    const auto slotDelegate = banner->slot()->slotDelegate();
    ASSERT_TRUE(slotDelegate);
    EXPECT_TRUE(slotDelegate->receivesAppEvents());
    // Without an app event delegate the event is dropped.
    slotDelegate->didReceiveAppEvent(*banner->slot(), "early", "x");
    banner->setAppEventDelegate(delegate);
    slotDelegate->didReceiveAppEvent(*banner->slot(), "color", "red");
    slotDelegate->didReceiveAppEvent(*banner->slot(), "bare", std::nullopt);
    ASSERT_EQ(delegate->appEvents.size(), 2u);
    EXPECT_EQ(delegate->appEvents[0].first, banner.get());
    EXPECT_EQ(delegate->appEvents[0].second, "color=red");
    EXPECT_EQ(delegate->appEvents[1].second, "bare=-");

    // The size delegate hears of a different size only.
    slotDelegate->willResizeToAdSize(*banner->slot(), ads::kDZAdSizeBanner);
    EXPECT_TRUE(delegate->sizeChanges.empty());
    slotDelegate->willResizeToAdSize(*banner->slot(), ads::kDZAdSizeMediumRectangle);
    ASSERT_EQ(delegate->sizeChanges.size(), 1u);
    EXPECT_TRUE(ads::DZAdSizesEqual(delegate->sizeChanges[0], ads::kDZAdSizeMediumRectangle));
}

TEST_F(ZODBannerViewTest, CustomRenderedAdsNeedTheirDelegate) {
    ASSERT_TRUE(make());
    const auto customRequest = requestWithExtras(
        {{"_ad", core::Dictionary{{"ad_html", "<p>custom</p>"},
                                  {"ad_base_url", "https://ads.test/creatives/c1.html"}}},
         {"_adHeaders", core::Dictionary{{"X-Duzo-Custom-Rendering-Allowed", "true"}}}});
    // No delegate: the load fails with code 12 and says why.
    banner->loadRequest(customRequest);
    ASSERT_TRUE(waitForOutcomes(1));
    ASSERT_EQ(delegate->failures.size(), 1u);
    EXPECT_EQ(delegate->failures[0].code, ads::kDZErrorInvalidArgument);
    EXPECT_NE(delegate->failures[0].message.find(
                  "Ignoring delegate callback. Delegate does not conform to "
                  "ZODCustomRenderedBannerViewDelegate."),
              std::string::npos)
        << delegate->failures[0].message;
    EXPECT_NE(delegate->failures[0].message.find("Delegate: (null)"), std::string::npos);

    // With one, it gets the markup and the site's root as base URL; the
    // ad is valid once the publisher has rendered it. (The refusing slot
    // keeps its state, so a fresh banner takes the next one.)
    ASSERT_TRUE(make());
    banner->setCustomRenderedBannerViewDelegate(delegate);
    banner->loadRequest(customRequest);
    ASSERT_TRUE(waitFor([&] { return !delegate->customAds.empty(); }));
    const auto& custom = delegate->customAds[0];
    EXPECT_EQ(custom->adHTML(), "<p>custom</p>");
    ASSERT_TRUE(custom->adBaseURL());
    EXPECT_EQ(custom->adBaseURL()->absoluteString(), "https://ads.test/");
    EXPECT_EQ(banner->slot()->state(), DZSlot::kRendering);
    custom->finishedRenderingAdView(std::make_shared<ui::View>());
    EXPECT_EQ(banner->slot()->state(), DZSlot::kValidAd);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(delegate->failures.size(), 1u);
}

class BannerLoaderDelegate : public ads::ZODBannerAdLoaderDelegate {
public:
    std::vector<ads::DZBoxedValue> sizes;
    std::vector<std::shared_ptr<ZODBannerView>> banners;

    void adLoaderDidFailToReceiveAdWithError(ads::DZAdLoader&, const ads::DZRequestError&) override {}
    std::vector<ads::DZBoxedValue> validBannerSizesForAdLoader(ads::DZAdLoader&) override {
        return sizes;
    }
    void adLoaderDidReceiveZODBannerView(ads::DZAdLoader&,
                                         const std::shared_ptr<ZODBannerView>& banner) override {
        banners.push_back(banner);
    }
};

class PlainLoaderDelegate : public ads::DZAdLoaderDelegate {
public:
    void adLoaderDidFailToReceiveAdWithError(ads::DZAdLoader&, const ads::DZRequestError&) override {}
};

TEST_F(ZODBannerViewTest, TheAdLoaderSeesABannerClassThatNeedsSizes) {
    const ads::DZLoadableClass* adClass = ads::DZLoadableClassNamed("ZODBannerView");
    ASSERT_EQ(adClass, &ZODBannerView::adClass());
    const auto loader = ads::DZAdLoader::create("unit/loader", controller, {"-1"}, {});
    ASSERT_TRUE(loader);
    const auto bannerDelegate = std::make_shared<BannerLoaderDelegate>();
    const PlainLoaderDelegate plain;
    EXPECT_TRUE(adClass->requiredDelegateProtocol().adoptedBy(*bannerDelegate));
    EXPECT_FALSE(adClass->requiredDelegateProtocol().adoptedBy(plain));
    loader->setDelegate(bannerDelegate);
    ASSERT_EQ(loader->delegate(), bannerDelegate);

    // No sizes: nothing to ask for, and the loader may not start.
    std::optional<ads::Error> error;
    EXPECT_TRUE(adClass->requestParametersForAdLoader(*loader).empty());
    EXPECT_FALSE(adClass->canInitWithAdLoader(*loader, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, ads::kDZErrorInvalidArgument);
    EXPECT_EQ(error->message, "Must provide at least one ad size to load banner ads.");

    bannerDelegate->sizes = {ads::DZAdSizeBoxedValue(ads::kDZAdSizeBanner),
                             ads::DZAdSizeBoxedValue(ads::kDZAdSizeMediumRectangle)};
    EXPECT_TRUE(adClass->canInitWithAdLoader(*loader, nullptr));
    EXPECT_EQ(core::Value(adClass->requestParametersForAdLoader(*loader)),
              core::Value(core::Dictionary{{"allowed_response_types", core::Array{"iba"}},
                                           {"sz_array", core::Array{"320x50", "300x250"}}}));

    // A banner network gets a banner connector; others get none.
    ads::Error configError;
    const auto config = ads::DZMConfig::initWithAppKey(
        "unit/loader",
        core::Dictionary{{"ad_networks",
                          core::Array{core::Dictionary{{"id", "1"},
                                                       {"adapters", core::Array{"A"}},
                                                       {"response_type", "banner"}},
                                      core::Dictionary{{"id", "2"},
                                                       {"adapters", core::Array{"B"}},
                                                       {"response_type", "native"}}}}},
        &configError);
    ASSERT_TRUE(config) << configError.message;
    const auto& networks = config->adNetworkConfigs();
    ASSERT_EQ(networks.size(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<ads::DZMAdNetworkConnectorBanner>(
        ZODBannerView::adClass().mediationConnectorForConfiguration(config, networks[0])));
    EXPECT_FALSE(ZODBannerView::adClass().mediationConnectorForConfiguration(config, networks[1]));

    // A delivered banner has no assets and reaches the loader's delegate.
    ASSERT_TRUE(make());
    std::vector<std::optional<ads::Error>> assetResults;
    banner->loadAssetsWithCompletionHandler(
        [&](const std::optional<ads::Error>& result) { assetResults.push_back(result); });
    EXPECT_TRUE(assetResults.empty()) << "called later, on the main queue";
    ASSERT_TRUE(waitFor([&] { return !assetResults.empty(); }));
    EXPECT_FALSE(assetResults[0]);
    banner->adLoaderDidReceiveAd(*loader);
    ASSERT_TRUE(waitFor([&] { return !bannerDelegate->banners.empty(); }));
    EXPECT_EQ(bannerDelegate->banners[0], banner);
}

}  // namespace
