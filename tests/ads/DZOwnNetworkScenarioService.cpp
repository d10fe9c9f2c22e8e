// The SDK's own network end to end: a banner made as the featured feed
// makes its banner rows (a full-row frame, the feed as root view
// controller, the simulator as test device) asks our core page for its
// unit's scenario, whose mediation response names the own network first
// with an inline ad; the banner shows that ad and the server holds one
// mediation impression with exit code "0". Also the ad URL network, whose
// ad the core page's "DUZO_getAdapterLessMediationAd" answers.

#include "AdapterTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/request/DZSimulatorID.h"
#include "ads/mediation/adapters/DZMAdURLAdapter.h"
#include "ads/mediation/adapters/DZMAdapterDozuzaVuRazAds.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/web/view/DZAdView.h"
#include "fixtures/AdScenarios.h"
#include "ui/Application.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace {

using adwebtesting::waitFor;
using fixtures::AdServer;
using fixtures::MediationScenarios;

class Outcomes : public ads::DZBannerViewDelegate {
public:
    void adViewDidReceiveAd(ads::DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(ads::DZBannerView&, const ads::DZRequestError& e) override {
        failures.push_back(e);
    }
    int received = 0;
    std::vector<ads::DZRequestError> failures;
};

class DZOwnNetworkScenarioService : public mediationtesting::MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [](ads::DZSDKCoreController::ScriptBuilder) {});
        ui::Application::shared().becomeActive();
        window->makeKeyAndVisible();
        makeController();
    }
    void TearDown() override {
        if (banner) banner->removeFromSuperview();
        banner.reset();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        MediationSlotTest::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
        ui::Application::shared().resetForTesting();
    }
    // A banner over a feed row of the window, asking for the unit through
    // the test's core page with the feed's request.
    void loadBanner(const std::string& unit) {
        banner = ads::DZBannerView::create();
        ASSERT_TRUE(banner);
        banner->setFrame({0, 100, 375, 50});
        banner->setRootViewController(feed);
        banner->setAdUnitID(unit);
        banner->setDelegate(outcomes);
        banner->slot()->setSDKCoreController(controller);
        window->addSubview(banner);
        auto request = std::make_shared<ads::DZRequest>();
        request->setTestDevices(core::Array{std::string(ads::kDZSimulatorID)});
        banner->loadRequest(request);
    }
    [[nodiscard]] bool tickUntil(const std::function<bool()>& done, double limitSeconds = 20) {
        for (double elapsed = 0; elapsed <= limitSeconds; elapsed += 0.2) {
            if (waitFor(done, 0.2)) return true;
            clock.advance(0.2);
        }
        return done();
    }
    [[nodiscard]] std::vector<fixtures::LoopbackRequest> hits(const std::string& token,
                                                              const std::string& sub) const {
        std::vector<fixtures::LoopbackRequest> found;
        for (auto& request : server.requestsFor(token))
            if (request.path == AdServer::kTokenPrefix + token + sub) found.push_back(request);
        return found;
    }
    // The text of the page the banner shows inside its mediated banner.
    [[nodiscard]] std::string shownText() const {
        const auto inner = std::dynamic_pointer_cast<ads::DZBannerView>(banner->mediatedAdView());
        if (!inner || !inner->adView()) return {};
        return adwebtesting::evaluate(*inner->adView()->webView(), "document.body.innerText")
            .stringValue();
    }

    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 375, 667});
    std::shared_ptr<ui::ViewController> feed = std::make_shared<ui::ViewController>();
    std::shared_ptr<Outcomes> outcomes = std::make_shared<Outcomes>();
    std::shared_ptr<ads::DZBannerView> banner;
};

TEST_F(DZOwnNetworkScenarioService, AFeedBannerWhoseFirstNetworkIsTheOwnNetworkShowsItsInlineAd) {
    std::string error;
    auto scenarios = fixtures::AdScenarios::load(fixtures::AdScenarios::defaultFolder(), &error);
    ASSERT_TRUE(scenarios) << error;
    server.setScenarios(std::move(*scenarios));
    server.setCorePage({});
    ASSERT_NO_FATAL_FAILURE(loadBanner("dz-app-pub-0000000000000000/own-network.feed"));
    ASSERT_TRUE(tickUntil([&] {
        return (outcomes->received + outcomes->failures.size()) > 0 &&
               !hits("feed", "/imp").empty();
    }));
    ASSERT_EQ(outcomes->received, 1);
    EXPECT_EQ(banner->adNetworkClassName(), ads::DZMAdapterDozuzaVuRazAds::kClassName);
    const auto inner = std::dynamic_pointer_cast<ads::DZBannerView>(banner->mediatedAdView());
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->adUnitID(), "dz-app-pub-0000000000000000/own.feed");
    EXPECT_EQ(inner->frame().size, (gfx::Size{320, 50}));
    EXPECT_TRUE(waitFor([&] { return shownText() == "own network"; }));
    EXPECT_TRUE(mediationtesting::settlePings());
    const auto impressions = hits("feed", "/imp");
    ASSERT_EQ(impressions.size(), 1u);
    EXPECT_EQ(impressions[0].queryValue("aec"), "0");
    EXPECT_EQ(impressions[0].queryValue("net"), "1");
    // The waterfall stopped at the own network; its ad was fetched once.
    EXPECT_EQ(hits("feed", "/ad").size(), 1u);
    EXPECT_TRUE(mediationtesting::ScriptedBannerEvent::made().empty());
    EXPECT_FALSE(inner->slot()->reloadable());
}

TEST_F(DZOwnNetworkScenarioService, AnAdURLNetworkIsFilledByThePagesAdapterLessAnswer) {
    server.serveMediation(AdServer::kAdPath, fixtures::MediationScenario::adURL, options());
    fixtures::CorePageOptions page;
    page.adapterLessAd = slottesting::inlineAd(
        "<div style=\"width:320px;height:50px;background:#3a7d44\">adapter-less</div>");
    server.setCorePage(page);
    ASSERT_NO_FATAL_FAILURE(loadBanner("unit/ad-url"));
    ASSERT_TRUE(tickUntil([&] { return (outcomes->received + outcomes->failures.size()) > 0; }));
    ASSERT_EQ(outcomes->received, 1);
    EXPECT_EQ(banner->adNetworkClassName(), ads::DZMAdURLAdapter::kClassName);
    EXPECT_TRUE(waitFor([&] { return shownText() == "adapter-less"; }));
    // The page got one plain request (the response) and one adapter-less
    // request carrying the network's data.
    const auto plain = logged("DUZO_getAd");
    ASSERT_EQ(plain.size(), 1u);
    const auto adapterLess = logged("DUZO_getAdapterLessMediationAd");
    ASSERT_EQ(adapterLess.size(), 1u);
    EXPECT_EQ(adapterLess[0]["data"]["key"].stringValue(), "value");
    EXPECT_EQ(adapterLess[0]["network_id"].stringValue(), "1");
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "aec"), std::vector<std::string>{"0"});
}

}  // namespace
