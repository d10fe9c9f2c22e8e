// Publisher banners against the local ad server and our core page: the
// valid-size and resize marks on every ad request of the process, the app
// events of an ad page in the order it sent them, and a custom-rendered ad
// whose rendering, impression and click the publisher reports.

#include "SDKCoreTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/response/ZODCustomRenderedAd.h"
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
    publisher->resize(ads::kDZAdSizeBanner);
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

TEST_F(ZODBannerViewService, ACustomRenderedAdIsValidOnceRenderedAndReportsToTheServer) {
    server.setAdVariant(AdVariant::customRendering);
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
    EXPECT_TRUE(recorder->failures.empty());
}

}  // namespace
