// Ad pages that misbehave, in real banners through our core page and the
// browser engine: one that spins for ever in its head, ones that allocate
// without end (one of them without ever yielding, its workers spinning
// beside it), one whose web process is ended under it, and one that sends
// a huge message. Each ad fails or is taken down with the publisher told,
// the banner's next ad still loads, and a huge message is dropped unread
// (a frame's never crosses the engine: only its length reaches the app)
// while a normal one still arrives.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "DMSGTesting.h"
#include "MediationSlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZLogger.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZWebView.h"
#include "core/Console.h"
#include "core/PendingWork.h"
#include "fixtures/AdScenarios.h"
#include "support/ProcessTree.h"
#include "ui/Application.h"
#include "ui/ViewController.h"
#include "ui/Window.h"
#include "web/WebProcessProtocol.h"

namespace {

using adwebtesting::waitFor;
using ads::DZBannerView;
using ads::DZSlot;

class BannerRecorder : public ads::DZBannerViewDelegate {
public:
    int received = 0;
    std::vector<ads::DZRequestError> failures;

    void adViewDidReceiveAd(DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(DZBannerView&, const ads::DZRequestError& error) override {
        failures.push_back(error);
    }
    [[nodiscard]] size_t outcomes() const { return size_t(received) + failures.size(); }
};

class DZHostileAdPageService : public mediationtesting::MediationSlotTest {
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
        banner = DZBannerView::createWithAdSize(ads::kDZAdSizeBanner, {0, 0});
        ASSERT_TRUE(banner);
        banner->setDelegate(recorder);
        banner->setRootViewController(rootController);
        banner->slot()->setSDKCoreController(controller);
        window->addSubview(banner);
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

    // Asks for the unit's scenario and ticks until the publisher hears
    // more than it had.
    [[nodiscard]] bool load(const std::string& unit, double limitSeconds = 20) {
        const size_t before = recorder->outcomes();
        banner->setAdUnitID("dz-app-pub-0000000000000000/" + unit);
        banner->loadRequest(std::make_shared<ads::DZRequest>());
        return tickUntil([&] { return recorder->outcomes() > before; }, limitSeconds);
    }
    // Ticks of the manual clock, each after a short real wait in which
    // nothing was under way: the engine's processes, the server and the
    // network take the real time they need, however busy the machine, and
    // the SDK's limits run out only while nothing else moves.
    [[nodiscard]] bool tickUntil(const std::function<bool()>& done, double limitSeconds = 20) {
        for (double elapsed = 0; elapsed <= limitSeconds; elapsed += 0.2) {
            if (waitFor(done, 0.2)) return true;
            if (!core::PendingWork::offMainThread()) clock.advance(0.2);
        }
        return done();
    }

    // Ticks like tickUntil, and samples the resident size of every web
    // process at least every 50 ms meanwhile: the largest seen goes to
    // peak. A process past killAbove is killed at once, so that a page
    // nothing holds back cannot take the machine's memory.
    [[nodiscard]] bool sampleUntil(const std::function<bool()>& done, double limitSeconds,
                                   size_t killAbove, size_t& peak) {
        for (double elapsed = 0; elapsed <= limitSeconds; elapsed += 0.05) {
            for (const pid_t pid : testsupport::webProcesses()) {
                std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
                size_t pages = 0;
                size_t resident = 0;
                if (!(statm >> pages >> resident)) continue;
                resident *= size_t(sysconf(_SC_PAGESIZE));
                peak = std::max(peak, resident);
                if (resident > killAbove) kill(pid, SIGKILL);
            }
            if (waitFor(done, 0.05)) return true;
            clock.advance(0.05);
        }
        return done();
    }

    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 375, 667});
    std::shared_ptr<ui::ViewController> rootController = std::make_shared<ui::ViewController>();
    std::shared_ptr<DZBannerView> banner;
    std::shared_ptr<BannerRecorder> recorder = std::make_shared<BannerRecorder>();
};

TEST_F(DZHostileAdPageService, APageSpinningInItsHeadFailsAtItsLimitAndTheNextAdLoads) {
    core::Console::Capture log;
    banner->slot()->setRenderTimeout(2);
    banner->setAdUnitID("dz-app-pub-0000000000000000/spin-head.spin");
    banner->loadRequest(std::make_shared<ads::DZRequest>());
    // Its load never ends: the clock moves by hand once the page is under
    // way, up to the limit and past it.
    ASSERT_TRUE(tickUntil([&] {
        const auto& view = banner->adView()->webView();
        return banner->slot()->state() == DZSlot::kRendering && view && view->isLoading();
    }));
    clock.advance(1.9);
    EXPECT_FALSE(waitFor([&] { return recorder->outcomes() > 0; }, 0.3));
    clock.advance(0.2);
    ASSERT_TRUE(waitFor([&] { return recorder->outcomes() > 0; }));
    ASSERT_EQ(recorder->failures.size(), 1u);
    EXPECT_EQ(recorder->failures[0].code, ads::kDZErrorTimeout);
    EXPECT_EQ(recorder->received, 0);
    EXPECT_EQ(banner->slot()->state(), DZSlot::kFailed);
    // Its web process was let go, and the load with it; nothing more is
    // heard of the ad.
    ASSERT_TRUE(waitFor([&] { return !banner->adView()->webView()->isLoading(); }));
    // The SDK's lines reach the console through the logger's queue.
    ads::DZLogger::sharedInstance().waitForLogging();
    EXPECT_TRUE(log.contains("The ad did not render within 2 seconds."));
    EXPECT_TRUE(waitFor([&] { return log.contains("the web process was ended by the app"); }));
    (void)waitFor([] { return false; }, 0.5);
    EXPECT_EQ(recorder->failures.size(), 1u);

    ASSERT_TRUE(load("demo.after"));
    EXPECT_EQ(recorder->received, 1);
    EXPECT_EQ(banner->slot()->state(), DZSlot::kValidAd);
}

TEST_F(DZHostileAdPageService, AnAdThatRendersInTimeIsNotCutShort) {
    banner->slot()->setRenderTimeout(2);
    ASSERT_TRUE(load("demo.quick"));
    EXPECT_EQ(recorder->received, 1);
    // Long past the limit, the shown ad stays.
    clock.advance(10);
    (void)waitFor([] { return false; }, 0.3);
    EXPECT_TRUE(recorder->failures.empty());
    EXPECT_EQ(banner->slot()->state(), DZSlot::kValidAd);
}

TEST_F(DZHostileAdPageService, AnAdOverTheMemoryLimitIsTakenDownAndThePublisherHears) {
    ASSERT_TRUE(load("memory-hog.hog"));
    ASSERT_EQ(recorder->received, 1);
    // Shown, then ended by the engine once over the limit.
    ASSERT_TRUE(tickUntil([&] { return !recorder->failures.empty(); }, 60));
    EXPECT_EQ(recorder->failures[0].code, ads::kDZErrorInternalError);
    EXPECT_TRUE(banner->adView()->isHidden());
    EXPECT_EQ(banner->slot()->state(), DZSlot::kFailed);
    // The core page lives in another process: the next ad loads.
    ASSERT_TRUE(load("demo.after"));
    EXPECT_EQ(recorder->received, 2);
    EXPECT_FALSE(banner->adView()->isHidden());
}

TEST_F(DZHostileAdPageService, AnAdAllocatingWithoutYieldingNeverHoldsMoreThanItsCapAndFails) {
    constexpr size_t kBound = size_t(1280) << 20;  // 1.25 GiB
    core::Console::Capture log;
    ASSERT_TRUE(load("memory-burst.burst"));
    ASSERT_EQ(recorder->received, 1);
    size_t peak = 0;
    const bool failed = sampleUntil([&] { return !recorder->failures.empty(); }, 60, kBound, peak);
    EXPECT_LE(peak, kBound) << "a web process held " << (peak >> 20) << " MiB";
    ASSERT_TRUE(failed);
    EXPECT_EQ(recorder->failures[0].code, ads::kDZErrorInternalError);
    EXPECT_TRUE(log.contains("the web process went over its memory limit and was ended"));
    EXPECT_TRUE(banner->adView()->isHidden());
    EXPECT_EQ(banner->slot()->state(), DZSlot::kFailed);
    ASSERT_TRUE(load("demo.after"));
    EXPECT_EQ(recorder->received, 2);
}

TEST_F(DZHostileAdPageService, AShownAdWhoseProcessEndsIsTakenDownOnce) {
    ASSERT_TRUE(load("demo.shown"));
    ASSERT_EQ(recorder->received, 1);
    banner->adView()->webView()->terminateWebProcess();
    ASSERT_TRUE(tickUntil([&] { return !recorder->failures.empty(); }));
    (void)waitFor([] { return false; }, 0.3);
    ASSERT_EQ(recorder->failures.size(), 1u);
    EXPECT_EQ(recorder->failures[0].code, ads::kDZErrorInternalError);
    EXPECT_TRUE(banner->adView()->isHidden());
    // Another banner's ad (its own process) is not touched by it.
    ASSERT_TRUE(load("demo.again"));
    EXPECT_EQ(recorder->received, 2);
}

TEST_F(DZHostileAdPageService, AnAdsProcessIsNotTheCorePagesOne) {
    ASSERT_TRUE(load("demo.apart"));
    ASSERT_EQ(recorder->received, 1);
    const auto& page = controller->activeSDKCoreWebView()->adView()->webView()->webView();
    const auto& ad = banner->adView()->webView()->webView();
    EXPECT_TRUE(ad->configuration().ownWebProcess);
    EXPECT_FALSE(page->configuration().ownWebProcess);
    banner->adView()->webView()->terminateWebProcess();
    ASSERT_TRUE(tickUntil([&] { return !recorder->failures.empty(); }));
    // The core page still answers.
    EXPECT_EQ(adwebtesting::evaluate(*controller->activeSDKCoreWebView()->adView()->webView(),
                                     "typeof DUZO_send"),
              core::Value("function"));
}

// A plain ad view, its delegate routing messages to a recording handler.
class DZHugeMessageService : public testing::Test {
protected:
    void SetUp() override {
        adView = ads::DZAdView::create({0, 0, 320, 50});
        ASSERT_TRUE(adView);
        adView->setDelegate(delegate);
        delegate->addDMSGHandler(handler);
    }
    void load(const std::string& html, const std::shared_ptr<ads::DZAdView>& view) {
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML(html);
        ad->setAdBaseURL(server.url("/test/huge/page"));
        view->setAd(ad);
        ASSERT_TRUE(waitFor([&] { return view->hasLoadedAtLeastOnce(); }));
    }
    // A page that sends a message whose "d" holds n bytes, then "m?end=1".
    static std::string pageSending(size_t bytes) {
        return "<html><body><script>function send(u) { var f = document.createElement('iframe');"
               " f.style.display = 'none'; f.src = u; document.body.appendChild(f); }"
               "send('dmsg://x/m?d=' + 'z'.repeat(" +
               std::to_string(bytes) + ")); send('dmsg://x/m?end=1');</script></body></html>";
    }

    fixtures::AdServer server;
    std::shared_ptr<ads::DZAdViewDelegate> delegate = std::make_shared<ads::DZAdViewDelegate>();
    std::shared_ptr<dmsgtesting::RecordingHandler> handler =
        std::make_shared<dmsgtesting::RecordingHandler>(std::vector<std::string>{"m"});
    std::shared_ptr<ads::DZAdView> adView;
};

TEST_F(DZHugeMessageService, AnAdsMessageOverTheBoundIsDroppedAndLoggedAndTheNextArrives) {
    core::Console::Capture log;
    load(pageSending(ads::DZWebViewConfiguration::kMaximumMessageURLBytes), adView);
    ASSERT_TRUE(waitFor([&] {
        return std::find(handler->performed.begin(), handler->performed.end(),
                         R"(m {"end":"1"})") != handler->performed.end();
    }));
    EXPECT_EQ(handler->performed, std::vector<std::string>{R"(m {"end":"1"})"});
    EXPECT_TRUE(log.contains(" bytes (dmsg:...) was refused"));
}

TEST_F(DZHugeMessageService, AMessageUnderTheBoundArrivesWhole) {
    load(pageSending(512 * 1024), adView);
    ASSERT_TRUE(waitFor([&] { return handler->performed.size() == 2; }));
    EXPECT_EQ(handler->performed[0].size(), std::string(R"(m {"d":""})").size() + 512 * 1024);
    EXPECT_EQ(handler->performed[1], R"(m {"end":"1"})");
}

TEST_F(DZHugeMessageService, LongMessagesOfAFrameComeBesideTheEngineAndAreDecidedInOrder) {
    load("<html><body><script>function send(u) { var f = document.createElement('iframe');"
         " f.style.display = 'none'; f.src = u; document.body.appendChild(f);"
         " return f.getAttribute('src').split(':')[0]; }</script></body></html>",
         adView);
    const auto spy = adwebtesting::DecisionSpy::install(adView);
    core::Console::Capture log;
    // Under the bound, over it (ten times: the engine would carry it all
    // before refusing it), and a short one.
    const size_t kUnder = 512 * 1024;
    const size_t kOver = 10 * ads::DZWebViewConfiguration::kMaximumMessageURLBytes;
    const core::Value sources = adwebtesting::evaluate(
        *adView->webView(), "[send('dmsg://x/m?d=' + 'u'.repeat(" + std::to_string(kUnder) +
                                ")), send('dmsg://x/m?d=' + 'o'.repeat(" + std::to_string(kOver) +
                                ")), send('dmsg://x/m?end=1')]");
    ASSERT_TRUE(waitFor([&] { return handler->performed.size() >= 2; }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    const core::Value reference(web::protocol::kMessageReferenceScheme);
    EXPECT_EQ(sources, core::Value(core::Array{reference, reference, core::Value("dmsg")}));
    // The one over the bound went no further than its length.
    ASSERT_EQ(handler->performed.size(), 2u);
    EXPECT_EQ(handler->performed[0].size(), std::string(R"(m {"d":""})").size() + kUnder);
    EXPECT_EQ(handler->performed[1], R"(m {"end":"1"})");
    EXPECT_TRUE(log.contains("a navigation to a URL of " + std::to_string(kOver + 13) +
                             " bytes (dmsg:...) was refused"));
    // The others went through the web view's and the ad view's steps.
    const auto decisions = spy->decisionsFor("dmsg:");
    ASSERT_EQ(decisions.size(), 2u);
    EXPECT_EQ(decisions[0].url.size(), kUnder + 13);
    EXPECT_EQ(decisions[1].url, "dmsg://x/m?end=1");
    for (const auto& decision : decisions) {
        EXPECT_TRUE(decision.agent && !decision.agent->empty());
        EXPECT_FALSE(decision.allowed);
    }
}

TEST_F(DZHugeMessageService, TheCorePagesViewTakesAnswersThatCarryWholeAds) {
    // Its bound admits any ad response the SDK fetches, each byte escaped.
    ads::DZWebViewConfiguration configuration;
    configuration.setOwnWebProcess(false);
    configuration.setMaximumMessageURLBytes(
        ads::DZWebViewConfiguration::kMaximumCorePageMessageURLBytes);
    const auto page = ads::DZAdView::create({0, 0, 320, 50}, configuration);
    ASSERT_TRUE(page);
    page->setDelegate(delegate);
    load(pageSending(3 << 20), page);
    ASSERT_TRUE(waitFor([&] { return handler->performed.size() == 2; }));
    EXPECT_EQ(handler->performed[0].size(), std::string(R"(m {"d":""})").size() + (3 << 20));
    EXPECT_GE(ads::DZWebViewConfiguration::kMaximumCorePageMessageURLBytes,
              3 * size_t(core::URLSessionConfiguration::kDefaultMaximumResponseBytes));
}

}  // namespace
