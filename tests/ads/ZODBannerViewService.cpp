// Publisher banners against the local ad server and our core page: valid
// sizes, resizing without a load, and their marks on every ad request of
// the process; the app events of an ad page in the order it sent them; a
// custom-rendered ad refused without its delegate, and one whose
// rendering, impression and click the publisher reports; correlator
// pre-emption; the class side the ad loader sees.

#include "SDKCoreTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZCorrelator.h"
#include "ads/core/response/ZODCustomRenderedAd.h"
#include "ads/native/DZAdLoader.h"
#include "ads/presentation/DZAppEventDelegate.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/presentation/banner/ZODBannerView.h"
#include "fixtures/CorePage.h"
#include "ui/Application.h"
#include "ui/ViewController.h"

namespace {

using namespace slottesting;
using ads::DZSlot;
using ads::ZODBannerView;
using fixtures::AdServer;
using fixtures::AdVariant;

class PublisherRecorder : public ads::DZBannerViewDelegate,
                          public ads::DZAppEventDelegate,
                          public ads::ZODCustomRenderedBannerViewDelegate {
public:
    int received = 0;
    std::vector<ads::DZRequestError> failures;
    std::vector<std::string> appEvents;
    std::vector<std::shared_ptr<ads::ZODCustomRenderedAd>> customAds;

    void adViewDidReceiveAd(ads::DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(ads::DZBannerView&,
                                     const ads::DZRequestError& error) override {
        failures.push_back(error);
    }
    void didReceiveAppEvent(ads::DZBannerView&, const std::string& name,
                            const std::optional<std::string>& info) override {
        appEvents.push_back(name + "=" + info.value_or("-"));
    }
    void didReceiveCustomRenderedAd(ZODBannerView&,
                                    const std::shared_ptr<ads::ZODCustomRenderedAd>& ad) override {
        customAds.push_back(ad);
    }
    [[nodiscard]] size_t outcomes() const { return size_t(received) + failures.size(); }
};

class ZODBannerViewService : public sdkcoretesting::SDKCoreTest {
protected:
    void SetUp() override {
        SDKCoreTest::SetUp();
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [](ads::DZSDKCoreController::ScriptBuilder) {});
        fixtures::CorePageOptions options;
        options.adAnswer = fixtures::CorePageOptions::AdAnswer::url;
        server.setCorePage(options);
        makeController();
    }
    void TearDown() override {
        banners.clear();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        SDKCoreTest::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
        ui::Application::shared().resetForTesting();
    }
    // A publisher banner (or a plain one) on the test's core page.
    template <typename Banner = ZODBannerView>
    std::shared_ptr<Banner> addBanner() {
        auto banner = Banner::createWithAdSize(ads::kDZAdSizeBanner);
        EXPECT_TRUE(banner);
        if (!banner) return nullptr;
        banner->setDelegate(recorder);
        banner->setRootViewController(rootController);
        banner->setAdUnitID("unit/publisher");
        banner->slot()->setSDKCoreController(controller);
        banners.push_back(banner);
        return banner;
    }
    [[nodiscard]] bool loadAndWait(ads::DZBannerView& banner) {
        const size_t before = recorder->outcomes();
        banner.loadRequest(std::make_shared<ads::DZRequest>());
        return waitFor([&] { return recorder->outcomes() > before; });
    }

    std::shared_ptr<PublisherRecorder> recorder = std::make_shared<PublisherRecorder>();
    std::shared_ptr<ui::ViewController> rootController = std::make_shared<ui::ViewController>();
    std::vector<std::shared_ptr<ads::DZBannerView>> banners;
};

TEST_F(ZODBannerViewService, EveryAdRequestAfterValidSizesAndAResizeCarriesBothMarks) {
    const auto publisher = addBanner();
    ASSERT_TRUE(publisher);
    publisher->setValidAdSizesWithSizes({ads::kDZAdSizeBanner, ads::kDZAdSizeMediumRectangle});
    // Resizing takes the new size without a load.
    publisher->resize(ads::kDZAdSizeMediumRectangle);
    EXPECT_EQ(publisher->frame().size, (gfx::Size{300, 250}));
    EXPECT_FALSE(publisher->slot()->loadingRequest());
    ASSERT_TRUE(loadAndWait(*publisher));
    // A plain banner of the same process asks with them too.
    const auto plain = addBanner<ads::DZBannerView>();
    ASSERT_TRUE(plain);
    ASSERT_TRUE(loadAndWait(*plain));
    EXPECT_EQ(recorder->received, 2);

    const auto asked = logged("DUZO_getAd", 2);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0]["sz"], core::Value("320x50|300x250"));
    const auto fetches = server.requestsTo(AdServer::kAdPath);
    ASSERT_EQ(fetches.size(), 2u);
    for (size_t i = 0; i < fetches.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(asked[i]["dcs"], core::Value("1"));
        EXPECT_EQ(asked[i]["dcr"], core::Value("1"));
        EXPECT_EQ(fetches[i].queryValue("dcs"), "1");
        EXPECT_EQ(fetches[i].queryValue("dcr"), "1");
    }
}

TEST_F(ZODBannerViewService, TheAdPagesAppEventsArriveInTheOrderSent) {
    server.setAdVariant(AdVariant::appEvents);
    const auto banner = addBanner();
    ASSERT_TRUE(banner);
    banner->setAppEventDelegate(recorder);
    ASSERT_TRUE(loadAndWait(*banner));
    ASSERT_EQ(recorder->received, 1);
    std::vector<std::string> expected;
    for (const auto& [name, info] : AdServer::kAppEvents)
        expected.push_back(std::string(name) + "=" + info);
    ASSERT_TRUE(waitFor([&] { return recorder->appEvents.size() >= expected.size(); }));
    EXPECT_EQ(recorder->appEvents, expected);
}

TEST_F(ZODBannerViewService, ACustomRenderedAdNeedsItsDelegateAndReportsToTheServer) {
    server.setAdVariant(AdVariant::customRendering);
    // Without a delegate the load fails with code 12 and says why.
    const auto refusing = addBanner();
    ASSERT_TRUE(refusing);
    ASSERT_TRUE(loadAndWait(*refusing));
    ASSERT_EQ(recorder->failures.size(), 1u);
    EXPECT_EQ(recorder->failures[0].code, ads::kDZErrorInvalidArgument);
    EXPECT_NE(recorder->failures[0].message.find(
                  "Ignoring delegate callback. Delegate does not conform to "
                  "ZODCustomRenderedBannerViewDelegate.\nBanner view: <ZODBannerView: "),
              std::string::npos)
        << recorder->failures[0].message;
    EXPECT_NE(recorder->failures[0].message.find("Delegate: (null)"), std::string::npos);

    const auto banner = addBanner();
    ASSERT_TRUE(banner);
    banner->setCustomRenderedBannerViewDelegate(recorder);
    banner->loadRequest(std::make_shared<ads::DZRequest>());
    ASSERT_TRUE(waitFor([&] { return !recorder->customAds.empty(); }));
    const auto custom = recorder->customAds[0];
    EXPECT_EQ(custom->adHTML(), server.adHTML());
    ASSERT_TRUE(custom->adBaseURL());
    EXPECT_EQ(custom->adBaseURL()->absoluteString(), server.secureBaseURL() + "/");
    EXPECT_EQ(banner->slot()->state(), DZSlot::kRendering);

    // Clicks and impressions count once the publisher has drawn the ad.
    custom->recordImpression();
    custom->recordClick();
    custom->finishedRenderingAdView(std::make_shared<ui::View>());
    EXPECT_EQ(banner->slot()->state(), DZSlot::kValidAd);
    custom->recordImpression();
    custom->recordClick();
    ASSERT_TRUE(waitFor([&] {
        return !server.requestsTo(AdServer::kImpressionPath).empty() &&
               !server.requestsTo(AdServer::kClickPath).empty();
    }));
    ASSERT_EQ(server.requestsTo(AdServer::kImpressionPath).size(), 1u);
    ASSERT_EQ(server.requestsTo(AdServer::kClickPath).size(), 1u);
    EXPECT_EQ(server.requestsTo(AdServer::kImpressionPath)[0].queryValue("id"), "manual");
    EXPECT_EQ(server.requestsTo(AdServer::kClickPath)[0].queryValue("id"), "custom");
    EXPECT_EQ(recorder->failures.size(), 1u);
}

TEST_F(ZODBannerViewService, OnlyANewCorrelatorPreemptsALoadUnderWay) {
    const auto banner = addBanner();
    ASSERT_TRUE(banner);
    const auto request = requestWithExtras({{"_ad", inlineAd()}});
    // The first load never pre-empts: it recorded no correlation.
    banner->loadRequest(request);
    ASSERT_EQ(banner->slot()->state(), DZSlot::kFetching);
    const auto first = banner->slot()->adFetcher();
    banner->setCorrelator(std::make_shared<ads::DZCorrelator>());
    banner->loadRequest(request);
    EXPECT_EQ(banner->slot()->adFetcher(), first);
    ASSERT_TRUE(waitFor([&] { return recorder->received == 1; }));

    // A load under that correlator is not pre-empted by another under it...
    banner->loadRequest(request);
    const auto second = banner->slot()->adFetcher();
    ASSERT_NE(second, first);
    banner->loadRequest(request);
    EXPECT_EQ(banner->slot()->adFetcher(), second);
    // ...but a new correlator takes over.
    auto fresh = std::make_shared<ads::DZCorrelator>();
    ASSERT_NE(fresh->correlationID(), banner->correlator()->correlationID());
    banner->setCorrelator(fresh);
    banner->loadRequest(request);
    EXPECT_NE(banner->slot()->adFetcher(), second);
    EXPECT_EQ(banner->previousCorrelationID(), fresh->correlationID());
    ASSERT_TRUE(waitFor([&] { return recorder->outcomes() == 2; }));
    EXPECT_TRUE(recorder->failures.empty());
}

class BannerLoaderDelegate : public ads::ZODBannerAdLoaderDelegate {
public:
    std::vector<ads::DZBoxedValue> sizes;
    std::vector<std::shared_ptr<ZODBannerView>> banners;

    void adLoaderDidFailToReceiveAdWithError(ads::DZAdLoader&,
                                             const ads::DZRequestError&) override {}
    std::vector<ads::DZBoxedValue> validBannerSizesForAdLoader(ads::DZAdLoader&) override {
        return sizes;
    }
    void adLoaderDidReceiveZODBannerView(ads::DZAdLoader&,
                                         const std::shared_ptr<ZODBannerView>& banner) override {
        banners.push_back(banner);
    }
};

TEST_F(ZODBannerViewService, TheAdLoaderSeesABannerClassThatNeedsSizes) {
    const ads::DZLoadableClass* adClass = ads::DZLoadableClassNamed("ZODBannerView");
    ASSERT_EQ(adClass, &ZODBannerView::adClass());
    const auto loader = ads::DZAdLoader::create("unit/loader", rootController, {"-1"}, {});
    ASSERT_TRUE(loader);
    const auto loaderDelegate = std::make_shared<BannerLoaderDelegate>();
    loader->setDelegate(loaderDelegate);
    ASSERT_EQ(loader->delegate(), loaderDelegate);

    // No sizes: nothing to ask for, and the loader may not start.
    std::optional<ads::Error> error;
    EXPECT_TRUE(adClass->requestParametersForAdLoader(*loader).empty());
    EXPECT_FALSE(adClass->canInitWithAdLoader(*loader, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, ads::kDZErrorInvalidArgument);
    EXPECT_EQ(error->message, "Must provide at least one ad size to load banner ads.");
    loaderDelegate->sizes = {ads::DZAdSizeBoxedValue(ads::kDZAdSizeBanner),
                             ads::DZAdSizeBoxedValue(ads::kDZAdSizeMediumRectangle)};
    EXPECT_TRUE(adClass->canInitWithAdLoader(*loader, nullptr));
    EXPECT_EQ(core::Value(adClass->requestParametersForAdLoader(*loader)),
              core::Value(core::Dictionary{{"allowed_response_types", core::Array{"iba"}},
                                           {"sz_array", core::Array{"320x50", "300x250"}}}));

    // A delivered banner has no assets and reaches the loader's delegate.
    const auto banner = addBanner();
    ASSERT_TRUE(banner);
    std::vector<std::optional<ads::Error>> assetResults;
    banner->loadAssetsWithCompletionHandler(
        [&](const std::optional<ads::Error>& result) { assetResults.push_back(result); });
    EXPECT_TRUE(assetResults.empty()) << "called later, on the main queue";
    ASSERT_TRUE(waitFor([&] { return !assetResults.empty(); }));
    EXPECT_FALSE(assetResults[0]);
    banner->adLoaderDidReceiveAd(*loader);
    ASSERT_TRUE(waitFor([&] { return !loaderDelegate->banners.empty(); }));
    EXPECT_EQ(loaderDelegate->banners[0], banner);
}

TEST_F(ZODBannerViewService, ALoaderForBannersAsksWithItsValidSizesAndTakesItsFrameFromTheFirst) {
    const auto loader = ads::DZAdLoader::create("unit/loader", rootController, {"-1"}, {});
    ASSERT_TRUE(loader);
    const auto loaderDelegate = std::make_shared<BannerLoaderDelegate>();
    loader->setDelegate(loaderDelegate);
    // Without sizes the slot's banner type gives the frame.
    EXPECT_EQ(loader->bounds(), (gfx::Rect{0, 0, 320, 50}));
    loaderDelegate->sizes = {ads::DZAdSizeBoxedValue(ads::kDZAdSizeMediumRectangle),
                             ads::DZAdSizeBoxedValue(ads::kDZAdSizeBanner)};
    const auto sizes = loader->validAdSizes();
    ASSERT_TRUE(sizes);
    ASSERT_EQ(sizes->size(), 2u);
    EXPECT_TRUE(ads::DZAdSizesEqual(ads::DZAdSizeUnboxedValue(sizes->at(0)),
                                    ads::kDZAdSizeMediumRectangle));
    EXPECT_EQ(loader->bounds(), (gfx::Rect{0, 0, 300, 250}));
    EXPECT_EQ(loader->frame(), loader->bounds());

    const core::Dictionary parameters =
        loader->slot()->requestParametersForRequest(std::make_shared<ads::DZRequest>());
    EXPECT_EQ(parameters["sz"], core::Value("300x250|320x50"));
    EXPECT_EQ(parameters["sz_array"], core::Value(core::Array{"300x250", "320x50"}));
    for (const char* rectangle : {"ad_frame", "ad_bounds"}) {
        SCOPED_TRACE(rectangle);
        EXPECT_EQ(parameters[rectangle]["width"], core::Value(300.0));
        EXPECT_EQ(parameters[rectangle]["height"], core::Value(250.0));
    }
}

}  // namespace
