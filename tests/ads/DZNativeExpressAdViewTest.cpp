// The native express view around its banner: the banner filling it, the native
// express flag on a copy of each request, the banner's outcomes relayed
// with the view as sender, the slot answering to the view, and the ad
// loader configuration a mediated network's native ad gets to fill a
// template.

#include "ads/presentation/banner/DZNativeExpressAdView.h"

#include "SawmillTesting.h"
#include "SlotTesting.h"
#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/native/DZMAdNetworkConnectorNativeExpressAd.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/ViewController.h"

namespace {

using namespace slottesting;
using ads::DZNativeExpressAdView;

class ExpressDelegate : public ads::DZNativeExpressAdViewDelegate {
public:
    std::vector<DZNativeExpressAdView*> received;
    std::vector<std::pair<DZNativeExpressAdView*, ads::DZRequestError>> failures;

    void nativeExpressAdViewDidReceiveAd(DZNativeExpressAdView& view) override {
        received.push_back(&view);
    }
    void didFailToReceiveAdWithError(DZNativeExpressAdView& view,
                                     const ads::DZRequestError& error) override {
        failures.emplace_back(&view, error);
    }
};

class DZNativeExpressAdViewTest : public testing::Test {
protected:
    void TearDown() override {
        view.reset();
        ui::Application::shared().resetForTesting();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }
    // The loader configuration for a network with these entries.
    [[nodiscard]] std::shared_ptr<ads::DZAdLoaderConfiguration>
    configurationFor(core::Dictionary network) {
        network.set("id", "1");
        network.set("adapters", core::Array{"A"});
        ads::Error error;
        const auto config = ads::DZMConfig::initWithAppKey(
            "unit/express", core::Dictionary{{"ad_networks", core::Array{network}}}, &error);
        EXPECT_TRUE(config) << error.message;
        if (!config) return nullptr;
        if (config->adNetworkConfigs().empty()) {
            ADD_FAILURE() << "no network configured";
            return nullptr;
        }
        const auto result =
            view->adLoaderConfigurationForAd(nullptr, config->adNetworkConfigs().front());
        return result ? *result : nullptr;
    }
    [[nodiscard]] static const ads::DZNativeAdImageAdLoaderOptions*
    imageOptions(const ads::DZAdLoaderConfiguration& configuration) {
        if (!configuration.options() || configuration.options()->size() != 1) return nullptr;
        return dynamic_cast<const ads::DZNativeAdImageAdLoaderOptions*>(
            configuration.options()->front().get());
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<ExpressDelegate> delegate = std::make_shared<ExpressDelegate>();
    std::shared_ptr<ui::ViewController> controller = std::make_shared<ui::ViewController>();
    std::shared_ptr<DZNativeExpressAdView> view;
};

TEST_F(DZNativeExpressAdViewTest, RequestsAskForNativeExpressAndOutcomesComeFromTheView) {
    view = DZNativeExpressAdView::createWithAdSize(ads::kDZAdSizeBanner, {10, 20});
    ASSERT_TRUE(view);
    view->layoutIfNeeded();
    EXPECT_EQ(view->bannerView()->frame(), (gfx::Rect{0, 0, 320, 50}));
    view->setDelegate(delegate);
    view->setAdUnitID("unit/express");
    // Without a root view controller the banner refuses: the failure comes
    // from the view, unchanged.
    const auto request = requestWithExtras({{"_ad", inlineAd()}});
    view->loadRequest(request);
    ASSERT_TRUE(waitFor([&] { return !delegate->failures.empty(); }));
    EXPECT_EQ(delegate->failures[0].first, view.get());
    EXPECT_EQ(delegate->failures[0].second.code, ads::kDZErrorInvalidRequest);

    view->setRootViewController(controller);
    view->loadRequest(request);
    const auto& loading = view->bannerView()->slot()->loadingRequest();
    ASSERT_TRUE(loading);
    EXPECT_TRUE(loading->isNativeExpressEnabled());
    EXPECT_FALSE(request->isNativeExpressEnabled()) << "the publisher's request is left alone";
    EXPECT_EQ(view->bannerView()->requestParametersForRequest(loading)["ene"], core::Value(1));
    ASSERT_TRUE(waitFor([&] { return !delegate->received.empty(); }));
    EXPECT_EQ(delegate->received[0], view.get());

    // The slot asks the view about responses; a mediated one runs with the
    // view as its mediation delegate.
    EXPECT_EQ(view->bannerView()->slot()->adResponseDelegate().get(),
              static_cast<ads::DZSlotAdResponseDelegate*>(view.get()));
    const auto ad = std::make_shared<ads::DZAd>();
    view->willProcessMediatedAdResponse(*view->bannerView()->slot(), ad);
    EXPECT_EQ(ad->mediationDelegate().lock().get(),
              static_cast<ads::DZAdMediationDelegate*>(view.get()));
}

TEST_F(DZNativeExpressAdViewTest, EachLoadsLogNamesTheViewsAdUnit) {
    testsupport::SawmillSettingsScope settings;
    const auto executor = std::make_shared<testsupport::RecordingSawmillExecutor>();
    ads::DZSawmill::sharedInstance()->setCommandExecutorForTesting(executor);
    view = DZNativeExpressAdView::createWithAdSize(ads::kDZAdSizeBanner);
    ASSERT_TRUE(view);
    view->setDelegate(delegate);
    view->setRootViewController(controller);
    const auto load = [&] {
        const size_t before = delegate->received.size() + delegate->failures.size();
        view->loadRequest(requestWithExtras({{"_ad", inlineAd()}}));
        return waitFor(
            [&] { return delegate->received.size() + delegate->failures.size() > before; });
    };
    ASSERT_TRUE(load());
    view->setAdUnitID("unit/express");
    ASSERT_TRUE(load());
    EXPECT_EQ(delegate->received.size(), 2u);

    std::vector<core::Value> logged;
    for (const core::Array& call : executor->calls())
        for (const core::Value& params : testsupport::paramsOf(call))
            if (params["native_express_adview"].dictionary())
                logged.push_back(params["native_express_adview"]);
    EXPECT_EQ(logged, (std::vector<core::Value>{core::Dictionary{{"ad_unit_id", ""}},
                                                core::Dictionary{{"ad_unit_id", "unit/express"}}}));
}

TEST_F(DZNativeExpressAdViewTest, MediatedNativeAdsAreAskedForTheTemplatesWithoutImages) {
    view = DZNativeExpressAdView::createWithAdSize(ads::kDZAdSizeBanner);
    ASSERT_TRUE(view);
    struct Case {
        const char* name;
        core::Dictionary options;
        bool multiple;
        std::int64_t orientation;
    };
    const std::int64_t unset = ads::DZNativeAdImageAdLoaderOptions().preferredImageOrientation();
    const Case cases[] = {
        {"none", {}, false, unset},
        {"portrait, several images",
         {{"multiple_images", true}, {"native_image_orientation", "portrait"}},
         true,
         ads::DZNativeAdImageAdLoaderOptions::kPortrait},
        {"horizonal",
         {{"native_image_orientation", "horizonal"}},
         false,
         ads::DZNativeAdImageAdLoaderOptions::kLandscape},
        {"landscape is not a value", {{"native_image_orientation", "landscape"}}, false, unset},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto configuration = configurationFor(
            {{"template_ids", core::Array{"1", 2}}, {"ad_loader_options", c.options}});
        ASSERT_TRUE(configuration);
        EXPECT_EQ(configuration->adTypes(), (std::set<std::string>{"1", "2"}));
        const auto* image = imageOptions(*configuration);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->disableImageLoading());
        EXPECT_EQ(image->shouldRequestMultipleImages(), c.multiple);
        EXPECT_EQ(image->preferredImageOrientation(), c.orientation);
    }
    // A network without templates gives nothing to ask for.
    EXPECT_FALSE(configurationFor({}));
}

TEST_F(DZNativeExpressAdViewTest, EachMediatedNetworkGetsANativeExpressConnectorOfItsOwn) {
    view = DZNativeExpressAdView::createWithAdSize(ads::kDZAdSizeBanner);
    ASSERT_TRUE(view);
    ads::Error error;
    const auto config = ads::DZMConfig::initWithAppKey(
        "unit/express",
        core::Dictionary{{"ad_networks", core::Array{core::Dictionary{
                                             {"id", "1"}, {"adapters", core::Array{"A"}}}}}},
        &error);
    ASSERT_TRUE(config) << error.message;
    ASSERT_FALSE(config->adNetworkConfigs().empty());
    const auto& network = config->adNetworkConfigs().front();
    const auto connector = view->mediationConnectorForConfiguration(config, network);
    ASSERT_TRUE(std::dynamic_pointer_cast<ads::DZMAdNetworkConnectorNativeExpressAd>(connector));
    EXPECT_EQ(connector->networkConfig(), network);
    EXPECT_NE(view->mediationConnectorForConfiguration(config, network), connector);
}

}  // namespace
