// A banner from the local ad server, in a window, touched like a person
// would: its impression hit, a tap on its link as a click ping and one open
// (or, too soon after the load, as the web view's own navigation), history
// navigations that are never clicks, and the load's timing report.

#include <algorithm>

#include "SDKCoreTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZCSIConfiguration.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "ads/web/net/DZPinger.h"
#include "ads/web/view/DZAdView.h"
#include "core/PendingWork.h"
#include "fixtures/LoopbackResponse.h"
#include "store/URLOpener.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace {

using namespace slottesting;
using ads::DZSlot;

class DZSlotClicksService : public sdkcoretesting::SDKCoreTest {
protected:
    void SetUp() override {
        SDKCoreTest::SetUp();
        ui::Application::shared().becomeActive();
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [](ads::DZSDKCoreController::ScriptBuilder) {});
        constants.set(ads::DZPinger::kEnableWebViewPingsKey, "0");
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        (void)waitFor(
            [] { return ads::DZClickTrackerCollection::sharedInstance()->trackers().empty(); });
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        store::URLOpener::shared().clearForTesting();
        if (slot) slot->adView()->removeFromSuperview();
        slot.reset();
        SDKCoreTest::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
    }
    // A 320x50 banner from the ad server, shown at y 100 of the window.
    [[nodiscard]] bool showBanner(bool tick = false) {
        owner->sizes = std::vector<ads::DZAdSize>{ads::kDZAdSizeBanner};
        slot = bannerSlot(*owner);
        if (!slot) return false;
        slot->setSDKCoreController(makeController());
        slot->adView()->setFrame({0, 100, 320, 50});
        window->addSubview(slot->adView());
        slot->loadRequest(std::make_shared<ads::DZRequest>());
        // With tick, the clock moves a millisecond per turn, so that each
        // step of the load takes some time.
        return waitFor([&] {
                   if (tick) clock.advance(0.001);
                   return owner->outcomes() > 0;
               }) &&
               slot->state() == DZSlot::kValidAd;
    }
    // A finger down and up on the ad's link at this moment of the clock.
    void tapTheLink() {
        const gfx::Point link = slot->adView()->convertPointTo({160, 25}, nullptr);
        const auto touch = window->touchDown(link);
        core::RunLoop::main().runOnce(0);
        window->touchUp(touch, link);
        core::RunLoop::main().runOnce(0);
    }
    // Lets every answer and ping under way finish, the clock standing still.
    [[nodiscard]] static bool quiet() {
        return waitFor([] {
            return !core::PendingWork::any() &&
                   ads::DZClickTrackerCollection::sharedInstance()->trackers().empty();
        });
    }
    [[nodiscard]] size_t hits(const char* path) const { return server.requestsTo(path).size(); }

    adwebtesting::ConstantsScope constants;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
    std::shared_ptr<DZSlot> slot;
};

}  // namespace

TEST_F(DZSlotClicksService, TheShownAdMakesOneImpressionAndALaterTapOneClick) {
    ASSERT_TRUE(showBanner());
    ASSERT_TRUE(waitFor([&] { return hits(fixtures::AdServer::kImpressionPath) == 1; }));
    EXPECT_TRUE(slot->viewHasMadeImpression());

    clock.advance(0.2);
    tapTheLink();
    ASSERT_TRUE(waitFor([&] { return hits(fixtures::AdServer::kClickPath) == 1; }));
    ASSERT_TRUE(quiet());
    EXPECT_TRUE(slot->adView()->touched());
    const auto opened = store::URLOpener::shared().openedURLs();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].path(), fixtures::AdServer::kLandingPath);
    EXPECT_EQ(hits(fixtures::AdServer::kLandingPath), 0u) << "opened outside, not in the ad";
    EXPECT_EQ(owner->clicks, 1);
    EXPECT_EQ(slot->ad()->statistics()->objectForKeyedSubscript("pcc").intValue(), 1);

    // Nothing more reaches the server later.
    clock.advance(1);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(hits(fixtures::AdServer::kImpressionPath), 1u);
    EXPECT_EQ(hits(fixtures::AdServer::kClickPath), 1u);
}

TEST_F(DZSlotClicksService, ATapTooSoonAndAReloadLoadInTheAd) {
    ASSERT_TRUE(showBanner());
    clock.advance(0.1);
    tapTheLink();
    ASSERT_TRUE(waitFor([&] { return hits(fixtures::AdServer::kLandingPath) == 1; }));
    ASSERT_TRUE(waitFor([&] {
        const auto url = slot->adView()->URL();
        return url && url->path() == fixtures::AdServer::kLandingPath &&
               !slot->adView()->isLoading();
    }));

    // Long after the load, touched: a reload still loads. (Back and forward
    // have no item here: the engine keeps one entry for the ad's page and
    // the link it followed; their decision is tested without a server.)
    clock.advance(5);
    ASSERT_TRUE(slot->adView()->touched());
    slot->adView()->reload();
    ASSERT_TRUE(waitFor([&] { return hits(fixtures::AdServer::kLandingPath) == 2; }));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(hits(fixtures::AdServer::kClickPath), 0u);
    EXPECT_TRUE(store::URLOpener::shared().openedURLs().empty());
    EXPECT_EQ(owner->clicks, 0);
}

TEST_F(DZSlotClicksService, TheLoadTimingsGoOutAsOneReportNamingTheAd) {
    constants.set(ads::DZCSIConfiguration::kReportingProbabilityKey, "1");
    constants.set(ads::DZCSIConfiguration::kReportingURLKey, server.urlString("/csi"));
    auto answer = server.adResponse(fixtures::AdVariant::html);
    answer.headers.set("X-Duzo-Dws-Query-Id", "q-1");
    server.serve(fixtures::AdServer::kAdPath, answer);
    ASSERT_TRUE(showBanner(true));
    const auto loadReports = [&] {
        std::vector<fixtures::LoopbackRequest> found;
        for (const auto& request : server.requestsTo("/csi"))
            if (request.queryValue("action") == DZSlot::kLoadAction) found.push_back(request);
        return found;
    };
    ASSERT_TRUE(waitFor([&] { return !loadReports().empty(); }));
    const auto report = loadReports().front();
    EXPECT_EQ(report.queryValue("gqi"), "q-1");
    EXPECT_EQ(report.queryValue("sdkVersion"), ads::DZRequest::sdkVersion());
    const std::string timings = report.queryValue("it").value_or("");
    for (const char* name : {"ttc_ios.", "arf_ios.", "awr_ios.", "nwl_ios.", "rur_ios."})
        EXPECT_NE(timings.find(name), std::string::npos) << name << " in " << timings;

    // The report took the timings: the slot's end sends no second one.
    slot->adView()->removeFromSuperview();
    slot.reset();
    ASSERT_TRUE(quiet());
    EXPECT_EQ(loadReports().size(), 1u);
}
