// Banner views against the local ad server by scenario, through our core
// page and WebKit: the demo banner for two tokens at once, the page that
// delays its load, the fluid banner, a mediated banner whose HTML network
// passes back and whose custom event fills, an unknown scenario, and the
// search ad page.

#include <algorithm>

#include "MediationSlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZDynamicHeightSearchRequest.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/presentation/DZAdSizeDelegate.h"
#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/presentation/banner/DZSearchBannerView.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZWebView.h"
#include "core/PendingWork.h"
#include "fixtures/AdScenarios.h"
#include "fixtures/ResponseGate.h"
#include "ui/Application.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace {

using adwebtesting::waitFor;
using ads::DZBannerView;
using ads::DZSlot;
using fixtures::AdServer;

class BannerRecorder : public ads::DZBannerViewDelegate, public ads::DZAdSizeDelegate {
public:
    int received = 0;
    std::vector<ads::DZRequestError> failures;
    std::vector<ads::DZAdSize> sizeChanges;

    void adViewDidReceiveAd(DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(DZBannerView&, const ads::DZRequestError& error) override {
        failures.push_back(error);
    }
    void willChangeAdSizeTo(DZBannerView&, const ads::DZAdSize& size) override {
        sizeChanges.push_back(size);
    }
    [[nodiscard]] size_t outcomes() const { return size_t(received) + failures.size(); }
};

class DZBannerScenarioService : public mediationtesting::MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [](ads::DZSDKCoreController::ScriptBuilder) {});
        std::string error;
        auto scenarios = fixtures::AdScenarios::load(fixtures::AdScenarios::defaultFolder(), &error);
        ASSERT_TRUE(scenarios) << error;
        server.setScenarios(std::move(*scenarios));
        server.setCorePage({});
        ui::Application::shared().becomeActive();
        window->makeKeyAndVisible();
        makeController();
    }
    void TearDown() override {
        for (auto& banner : banners) banner->removeFromSuperview();
        banners.clear();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        MediationSlotTest::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
        ui::Application::shared().resetForTesting();
    }

    // A banner in the window, one below the other, asking for the unit's
    // scenario through the test's core page.
    std::shared_ptr<DZBannerView> addBanner(const std::string& unit,
                                            const ads::DZAdSize& size = ads::kDZAdSizeBanner) {
        auto banner = DZBannerView::createWithAdSize(size, {0, 60.0 * double(banners.size())});
        EXPECT_TRUE(banner);
        if (!banner) return nullptr;
        auto recorder = std::make_shared<BannerRecorder>();
        recorders.push_back(recorder);
        banner->setDelegate(recorder);
        banner->setAdSizeDelegate(recorder);
        banner->setRootViewController(rootController);
        banner->setAdUnitID("dz-app-pub-0000000000000000/" + unit);
        banner->slot()->setSDKCoreController(controller);
        window->addSubview(banner);
        banners.push_back(banner);
        return banner;
    }
    // Ticks of the manual clock, each after a short real wait for the
    // pages and the server (whose work the clock does not see), until the
    // predicate holds.
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
    // The events the token's creative reported, as "name detail".
    [[nodiscard]] std::vector<std::string> pageEvents(const std::string& token) const {
        std::vector<std::string> events;
        for (const auto& hit : hits(token, "/event"))
            events.push_back(hit.queryValue("name").value_or("") + " " +
                             hit.queryValue("detail").value_or(""));
        return events;
    }
    [[nodiscard]] bool pageSaid(const std::string& token, const std::string& event) const {
        const auto events = pageEvents(token);
        return std::find(events.begin(), events.end(), event) != events.end();
    }

    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 375, 667});
    std::shared_ptr<ui::ViewController> rootController = std::make_shared<ui::ViewController>();
    std::vector<std::shared_ptr<DZBannerView>> banners;
    std::vector<std::shared_ptr<BannerRecorder>> recorders;
};

TEST_F(DZBannerScenarioService, TwoBannersOfDifferentTokensShowTheDemoAdAndKeepTheirOwnLogs) {
    const auto first = addBanner("demo.one");
    const auto second = addBanner("demo.two");
    ASSERT_TRUE(first && second);
    first->loadRequest(std::make_shared<ads::DZRequest>());
    second->loadRequest(std::make_shared<ads::DZRequest>());
    ASSERT_TRUE(tickUntil([&] {
        return recorders[0]->outcomes() > 0 && recorders[1]->outcomes() > 0 &&
               !hits("one", "/imp").empty() && !hits("two", "/imp").empty();
    }));
    EXPECT_EQ(recorders[0]->received, 1);
    EXPECT_EQ(recorders[1]->received, 1);
    EXPECT_EQ(first->slot()->state(), DZSlot::kValidAd);
    for (const char* token : {"one", "two"}) {
        SCOPED_TRACE(token);
        const auto ads = hits(token, "/ad");
        ASSERT_EQ(ads.size(), 1u);
        EXPECT_EQ(ads[0].queryValue("slotname"),
                  "dz-app-pub-0000000000000000/demo." + std::string(token));
        EXPECT_EQ(hits(token, "/imp").size(), 1u);
        // The creative's stylesheet and script came under the same token,
        // and the page told the server it loaded.
        EXPECT_EQ(hits(token, "/c/demo.css").size(), 1u);
        EXPECT_TRUE(pageSaid(token, "load "));
        for (const auto& request : server.requestsFor(token))
            EXPECT_EQ(request.path.rfind(AdServer::kTokenPrefix + std::string(token) + "/", 0), 0u)
                << request.path;
    }
    EXPECT_TRUE(server.logLines().empty());
}

// Banner rows shown early, while the SDK's core page has its first load
// under way, and late, long after it loaded: each shows its ad with one ad
// request, though the first load of the page is lost (held past its
// deadline) or the page's web process ended since.
TEST_F(DZBannerScenarioService, BannersShownEarlyAndLateShowTheirAdsThoughThePageFailed) {
    const auto gate = fixtures::ResponseGate::make();
    server.script(
        fixtures::CorePage::kPath,
        {fixtures::LoopbackResponse::text("<html></html>", 200, "text/html").heldBy(gate)});
    controller->setSDKCoreWebViewLoadTimeout(ads::DZSDKCoreWebView::kDefaultLoadTimeout);
    if (const auto page = controller->activeSDKCoreWebView())
        page->setLoadTimeout(ads::DZSDKCoreWebView::kDefaultLoadTimeout);
    const auto early = addBanner("demo.early");
    ASSERT_TRUE(early);
    early->loadRequest(std::make_shared<ads::DZRequest>());
    ASSERT_TRUE(waitFor([&] { return gate->heldCount() == 1; }));
    clock.advance(ads::DZSDKCoreWebView::kDefaultLoadTimeout);
    ASSERT_TRUE(
        tickUntil([&] { return recorders[0]->outcomes() > 0 && !hits("early", "/imp").empty(); }));
    EXPECT_EQ(recorders[0]->received, 1);
    EXPECT_TRUE(recorders[0]->failures.empty());
    EXPECT_EQ(hits("early", "/ad").size(), 1u);
    gate->release();

    // Late: the page loaded long ago, then its web process ended.
    clock.advance(120);
    const auto page = controller->activeSDKCoreWebView();
    ASSERT_TRUE(page);
    page->adView()->webView()->terminateWebProcess();
    ASSERT_TRUE(waitFor([&] { return page->state() == ads::DZSDKCoreWebView::kFailed; }));
    const auto late = addBanner("demo.late");
    ASSERT_TRUE(late);
    late->loadRequest(std::make_shared<ads::DZRequest>());
    ASSERT_TRUE(
        tickUntil([&] { return recorders[1]->outcomes() > 0 && !hits("late", "/imp").empty(); }));
    EXPECT_EQ(recorders[1]->received, 1);
    EXPECT_TRUE(recorders[1]->failures.empty());
    EXPECT_EQ(hits("late", "/ad").size(), 1u);
}

TEST_F(DZBannerScenarioService, APageThatDelaysItsLoadIsShownOnlyOnceItStops) {
    const auto banner = addBanner("delay-page-loaded.held");
    ASSERT_TRUE(banner);
    banner->loadRequest(std::make_shared<ads::DZRequest>());
    const auto& pageDelegate = banner->slot()->adViewDelegate();
    ASSERT_TRUE(tickUntil([&] {
        return pageDelegate->isLoadFinished() && pageDelegate->isLoadDelayed() &&
               pageSaid("held", "delay start");
    }));
    // Held: the page has loaded, and still no ad.
    clock.advance(2);
    (void)waitFor([] { return !core::PendingWork::any(); });
    EXPECT_EQ(recorders[0]->outcomes(), 0u);
    EXPECT_EQ(banner->slot()->state(), DZSlot::kRendering);

    banner->adView()->executeJavaScriptAsynchronouslyFromString("dzStopDelay()");
    ASSERT_TRUE(tickUntil([&] { return recorders[0]->outcomes() > 0; }));
    EXPECT_EQ(recorders[0]->received, 1);
    EXPECT_EQ(banner->slot()->state(), DZSlot::kValidAd);
    // The page's report of it travels apart from its message to the SDK.
    EXPECT_TRUE(waitFor([&] { return pageSaid("held", "delay stop"); }));
}

TEST_F(DZBannerScenarioService, APageThatCancelsItsDelayedLoadFailsAsANetworkError) {
    const auto banner = addBanner("delay-page-loaded.cancelled");
    ASSERT_TRUE(banner);
    banner->loadRequest(std::make_shared<ads::DZRequest>());
    const auto& pageDelegate = banner->slot()->adViewDelegate();
    ASSERT_TRUE(tickUntil([&] { return pageDelegate->isLoadDelayed(); }));
    banner->adView()->executeJavaScriptAsynchronouslyFromString("dzCancelDelay()");
    ASSERT_TRUE(tickUntil([&] { return recorders[0]->outcomes() > 0; }));
    ASSERT_EQ(recorders[0]->failures.size(), 1u);
    EXPECT_EQ(recorders[0]->failures[0].code, ads::kDZErrorNetworkError);
    EXPECT_EQ(recorders[0]->received, 0);
}

TEST_F(DZBannerScenarioService, AFluidBannerTakesTheHeightOfItsContent) {
    const auto banner = addBanner("banner-fluid.f", ads::DZAdSizeFluidWithCGSize({320, 50}));
    ASSERT_TRUE(banner);
    banner->loadRequest(std::make_shared<ads::DZRequest>());
    ASSERT_TRUE(tickUntil([&] {
        return recorders[0]->outcomes() > 0 && banner->adSize().size.height == 180;
    }));
    EXPECT_EQ(recorders[0]->received, 1);
    EXPECT_TRUE(ads::DZAdSizeIsFluid(banner->adSize()));
    EXPECT_EQ(banner->frame().width(), 320);
    EXPECT_EQ(banner->frame().height(), 180);
    ASSERT_FALSE(recorders[0]->sizeChanges.empty());
    EXPECT_EQ(recorders[0]->sizeChanges.back().size.height, 180);
}

TEST_F(DZBannerScenarioService, AnHTMLNetworkPassesBackAndTheCustomEventFillsTheBanner) {
    const auto banner = addBanner("passback-custom-event.med");
    ASSERT_TRUE(banner);
    banner->loadRequest(std::make_shared<ads::DZRequest>());
    ASSERT_TRUE(tickUntil([&] {
        return recorders[0]->outcomes() > 0 && !hits("med", "/imp").empty();
    }));
    ASSERT_EQ(recorders[0]->received, 1);
    const auto event = mediationtesting::ScriptedBannerEvent::latest();
    ASSERT_TRUE(event && event->view);
    // The banner shows the custom event's view, made through its own
    // banner connector.
    EXPECT_EQ(banner->mediatedAdView(), event->view);
    EXPECT_EQ(banner->rootAdView(), event->view);
    EXPECT_EQ(banner->adNetworkClassName(), "DZMAdapterCustomEvents");
    EXPECT_TRUE(banner->slot()->isMediating());
    EXPECT_TRUE(mediationtesting::settlePings());
    const auto impressions = hits("med", "/imp");
    ASSERT_EQ(impressions.size(), 1u);
    EXPECT_EQ(impressions[0].queryValue("aec"), "1,0");
    EXPECT_EQ(impressions[0].queryValue("net"), "2");
    EXPECT_TRUE(hits("med", "/nofill").empty());
    EXPECT_EQ(hits("med", "/fill").size(), 1u);
    EXPECT_EQ(hits("med", "/ad").size(), 1u);
}

TEST_F(DZBannerScenarioService, AnUnknownScenarioGetsNoFillAndALineInTheServersLog) {
    const auto banner = addBanner("no-such-scenario.u");
    ASSERT_TRUE(banner);
    banner->loadRequest(std::make_shared<ads::DZRequest>());
    ASSERT_TRUE(tickUntil([&] { return recorders[0]->outcomes() > 0; }));
    ASSERT_EQ(recorders[0]->failures.size(), 1u);
    EXPECT_EQ(recorders[0]->failures[0].code, ads::kDZErrorNoFill);
    ASSERT_EQ(server.logLines().size(), 1u);
    EXPECT_NE(server.logLines()[0].find("\"no-such-scenario\""), std::string::npos);
}

// The fluid search banner loading the server's search ad page.
class SearchRecorder : public BannerRecorder {};

TEST_F(DZBannerScenarioService, TheSearchAdPageReportsItsHeightOrItsFailure) {
    const struct {
        const char* unit;
        int received;
        long failure;
        double height;
    } cases[] = {
        {"search.s1", 1, 0, 120},
        {"search-no-ad.s2", 0, ads::kDZErrorNoFill, 0},
        {"search-script-failed.s3", 0, ads::kDZErrorNetworkError, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        const auto search = ads::DZSearchBannerView::create({0, 300, 320, 0}, ads::kDZAdSizeFluid);
        ASSERT_TRUE(search && search->dynamicHeightAdView());
        const auto recorder = std::make_shared<SearchRecorder>();
        search->setDelegate(recorder);
        search->setAdSizeDelegate(recorder);
        search->setAdUnitID("dz-app-pub-0000000000000000/" + std::string(c.unit));
        window->addSubview(search);
        auto request = std::make_shared<ads::DZDynamicHeightSearchRequest>();
        request->setQuery("wallpapers");
        request->setAdvancedOptionValue("127.0.0.1:" + std::to_string(server.server().securePort()),
                                        "customDomain");
        search->loadRequest(request);
        ASSERT_TRUE(tickUntil([&] { return recorder->outcomes() > 0; }));
        EXPECT_EQ(recorder->received, c.received);
        if (c.failure) {
            ASSERT_EQ(recorder->failures.size(), 1u);
            EXPECT_EQ(recorder->failures[0].code, c.failure);
            EXPECT_EQ(search->dynamicHeightAdView()->adState(), 3);
        } else {
            EXPECT_EQ(search->dynamicHeightAdView()->adState(), 2);
            EXPECT_EQ(search->dynamicHeightAdView()->frame().height(), c.height);
            ASSERT_FALSE(recorder->sizeChanges.empty());
            EXPECT_EQ(recorder->sizeChanges.back().size.height, c.height);
        }
        search->removeFromSuperview();
    }
}

}  // namespace
