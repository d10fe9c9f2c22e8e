// An interstitial from the local ad server shown by the real full-screen
// controller over a publisher's root controller in a key window: the page
// hears "onshow" and then, once its close button is tapped, "onhide"; a
// present the platform refuses pings no impression and leaves the ad
// usable for a later present; an MRAID creative runs the interstitial MRAID
// script and closes itself through it; a mediation answer fills the
// interstitial through the network that answers, which then presents it; a
// banner whose page plays a video under the interstitial is told to pause.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FullScreenTesting.h"
#include "InterstitialTesting.h"
#include "MediationTesting.h"
#include "SlotTesting.h"
#include "VideoTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "ads/web/view/DZAdView.h"
#include "fixtures/AdServer.h"
#include "fixtures/InterstitialScenarios.h"
#include "fixtures/MRAIDScript.h"
#include "ui/Button.h"
#include "ui/TouchInjector.h"
#include "web/WebView.h"

namespace {

using fixtures::InterstitialCreative;
using fixtures::InterstitialScenarios;
using fullscreentesting::waitFor;

constexpr const char* kAdPath = "/mads/interstitial";

class DZInterstitialPresentationService : public fullscreentesting::FullScreenTest {
protected:
    void SetUp() override {
        FullScreenTest::SetUp();
        // Slots refresh stale app settings through the shared core page;
        // these loads need none.
        ads::DZApplication::setScriptBuilderReceiverForTesting([](auto) {});
        ads::DZInterstitial::setPresenterFactory(ads::DZInterstitial::defaultPresenterFactory());
        server.serve(kAdPath, InterstitialScenarios::response(server, InterstitialCreative::html));
        interstitial->setDelegate(delegate);
    }
    void TearDown() override {
        interstitial.reset();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        FullScreenTest::TearDown();
    }
    [[nodiscard]] bool loaded() {
        interstitial->loadRequest(
            slottesting::requestWithExtras({{"_requestUrl", server.urlString(kAdPath)}}));
        return waitFor([&] { return !delegate->events.empty(); }) &&
               delegate->events == std::vector<std::string>{"receive"};
    }
    [[nodiscard]] std::vector<std::string> lifecycle(ads::DZAdView& adView) const {
        std::vector<std::string> names;
        const core::Value all =
            adwebtesting::evaluate(*adView.webView(), "window.lifecycle || []");
        if (const core::Array* list = all.array())
            for (const core::Value& name : *list)
                if (const std::string* text = name.string()) names.push_back(*text);
        return names;
    }
    [[nodiscard]] size_t impressions() const {
        return server.requestsTo(InterstitialScenarios::kImpressionPath).size();
    }
    [[nodiscard]] std::shared_ptr<ads::DZAdAppViewController> presented() const {
        return std::dynamic_pointer_cast<ads::DZAdAppViewController>(
            root->presentedViewController());
    }
    void tapCloseButton() {
        const auto controller = presented();
        ASSERT_NE(controller, nullptr);
        const auto& button = controller->closeButton();
        ASSERT_NE(button->superview(), nullptr);
        const gfx::Rect frame = button->convertRectTo(button->bounds(), nullptr);
        ui::TouchInjector(*window).tap(
            {frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2});
    }

    fixtures::AdServer server;
    std::shared_ptr<interstitialtesting::RecordingDelegate> delegate =
        std::make_shared<interstitialtesting::RecordingDelegate>();
    std::shared_ptr<ads::DZInterstitial> interstitial =
        ads::DZInterstitial::create("unit/presented");
};

TEST_F(DZInterstitialPresentationService, ThePageHearsOnshowThenOnhideAfterTheCloseButton) {
    ASSERT_TRUE(loaded());
    const auto adView = interstitial->slot()->adView();
    ASSERT_NE(adView, nullptr);
    EXPECT_TRUE(lifecycle(*adView).empty());

    interstitial->presentFromRootViewController(root);
    EXPECT_TRUE(interstitial->hasBeenUsed());
    ASSERT_NE(presented(), nullptr);
    settle();
    ASSERT_TRUE(waitFor([&] { return !lifecycle(*adView).empty(); }));
    EXPECT_EQ(lifecycle(*adView), std::vector<std::string>{"onshow"});
    ASSERT_TRUE(waitFor([&] { return impressions() == 1; }));

    tapCloseButton();
    ASSERT_TRUE(waitFor([&] { return lifecycle(*adView).size() == 2; }));
    EXPECT_EQ(lifecycle(*adView), (std::vector<std::string>{"onshow", "onhide"}));
    settle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"receive", "willPresent", "willDismiss", "didDismiss"}));
}

TEST_F(DZInterstitialPresentationService, ARefusedPresentCountsNoImpressionAndALaterOneWorks) {
    ASSERT_TRUE(loaded());
    delegate->handlesFailure = true;
    // The root already presents something, so the platform refuses.
    auto blocker = std::make_shared<ui::ViewController>();
    ASSERT_TRUE(root->presentViewController(blocker, false));
    settle();

    interstitial->presentFromRootViewController(root);
    settle();
    EXPECT_EQ(root->presentedViewController(), blocker);
    EXPECT_FALSE(interstitial->hasBeenUsed());
    EXPECT_FALSE(interstitial->slot()->viewHasMadeImpression());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"receive", "failPresent"}));
    EXPECT_TRUE(interstitial->isReady());

    root->dismissViewController(false);
    settle();
    ASSERT_EQ(root->presentedViewController(), nullptr);
    interstitial->presentFromRootViewController(root);
    ASSERT_NE(presented(), nullptr);
    EXPECT_TRUE(interstitial->hasBeenUsed());
    settle();
    EXPECT_TRUE(waitFor([&] { return !lifecycle(*interstitial->slot()->adView()).empty(); }));
    // The one impression is the later present's; the refused one sent none.
    ASSERT_TRUE(waitFor([&] { return impressions() == 1; }));
    EXPECT_FALSE(waitFor([&] { return impressions() > 1; }, 0.5));
}

TEST_F(DZInterstitialPresentationService, AnMRAIDCreativeGetsTheInterstitialScript) {
    ads::DZRegisterURLProtocol();
    const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
    interceptor->setInterstitialImplementationURLString(
        server.urlString(fixtures::MRAIDScript::kInterstitialPath));
    struct Reset {
        ~Reset() {
            ads::DZMRAIDInterceptor::sharedInstance()->restoreDefaultImplementationURLStrings();
        }
    } reset;
    server.serve(kAdPath, InterstitialScenarios::response(server, InterstitialCreative::mraid));
    ASSERT_TRUE(loaded());
    const auto adView = interstitial->slot()->adView();
    const auto page = [&](const std::string& script) {
        return adwebtesting::evaluate(*adView->webView(), script);
    };
    ASSERT_TRUE(waitFor([&] {
        return page("window.mraid ? window.mraid.getState() : ''") == core::Value("default");
    }));
    EXPECT_EQ(page("window.mraid.variant"), core::Value("interstitial"));
    EXPECT_EQ(page("window.mraid.getPlacementType()"), core::Value("interstitial"));

    interstitial->presentFromRootViewController(root);
    ASSERT_NE(presented(), nullptr);
    settle();
    ASSERT_TRUE(waitFor([&] { return !lifecycle(*adView).empty(); }));
    tapCloseButton();
    ASSERT_TRUE(waitFor([&] { return lifecycle(*adView).size() == 2; }));
    EXPECT_EQ(lifecycle(*adView), (std::vector<std::string>{"onshow", "onhide"}));
    settle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    ASSERT_FALSE(delegate->events.empty());
    EXPECT_EQ(delegate->events.back(), "didDismiss");
}

// An MRAID interstitial closes itself with mraid.close() and is "hidden"
// afterwards; it can neither expand nor resize.
TEST_F(DZInterstitialPresentationService, AnMRAIDInterstitialClosesItselfAndIsHiddenAfter) {
    ads::DZRegisterURLProtocol();
    const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
    interceptor->setInterstitialImplementationURLString(
        server.urlString(fixtures::MRAIDScript::kInterstitialPath));
    struct Reset {
        ~Reset() {
            ads::DZMRAIDInterceptor::sharedInstance()->setInterstitialImplementationURLString(
                std::nullopt);
        }
    } reset;
    server.serve(kAdPath, InterstitialScenarios::response(server, InterstitialCreative::mraid));
    ASSERT_TRUE(loaded());
    const auto adView = interstitial->slot()->adView();
    const auto page = [&](const std::string& script) {
        return adwebtesting::evaluate(*adView->webView(), script);
    };
    ASSERT_TRUE(waitFor([&] {
        return page("window.mraid ? window.mraid.getState() : ''") == core::Value("default");
    }));
    EXPECT_EQ(page("window.heard = [];"
                   "mraid.addEventListener('error', function (m, a) { heard.push(a); });"
                   "mraid.addEventListener('stateChange', function (s) { heard.push(s); });"
                   "mraid.expand(), mraid.resize(), heard.join()"),
              core::Value("expand,resize"));

    interstitial->presentFromRootViewController(root);
    ASSERT_NE(presented(), nullptr);
    settle();
    ASSERT_TRUE(waitFor([&] { return !lifecycle(*adView).empty(); }));
    EXPECT_EQ(page("mraid.close(), true"), core::Value(true));
    ASSERT_TRUE(waitFor([&] { return lifecycle(*adView).size() == 2; }));
    settle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    ASSERT_FALSE(delegate->events.empty());
    EXPECT_EQ(delegate->events.back(), "didDismiss");
    EXPECT_TRUE(waitFor([&] { return page("mraid.getState()") == core::Value("hidden"); }));
    EXPECT_EQ(page("heard.join()"), core::Value("expand,resize,hidden"));
}

TEST_F(DZInterstitialPresentationService, AMediationAnswerFillsThroughTheNetworkThatPresentsIt) {
    using mediationtesting::ScriptedAdapter;
    ads::DZServerHosts::setMediationHost("127.0.0.1:" +
                                         std::to_string(server.server().securePort()));
    mediationtesting::registerTestClasses();
    struct Reset {
        ~Reset() {
            ScriptedAdapter::made().clear();
            ads::DZServerHosts::setMediationHost(std::nullopt);
        }
    } reset;
    constexpr const char* kToken = "interstitial-mediation";
    server.serve(kAdPath, InterstitialScenarios::mediation(
                              server, kToken,
                              core::Array{mediationtesting::scriptedNetwork("A", "noFill"),
                                          mediationtesting::scriptedNetwork("B", "fill")}));
    ASSERT_TRUE(loaded());
    const auto first = ScriptedAdapter::forNetwork("A");
    const auto second = ScriptedAdapter::forNetwork("B");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(interstitial->isReady());

    interstitial->presentFromRootViewController(root);
    EXPECT_EQ(second->presented, 1);
    EXPECT_EQ(first->presented, 0);
    EXPECT_TRUE(interstitial->hasBeenUsed());
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

// A banner's page that plays a clip in the native player and keeps every
// video event in window.log; told of a pause it did not ask for, it pauses
// the player too, as a page that follows the player's state does.
std::string videoCreative() {
    return std::string(R"(<html><body style='margin:0'><script>
window.log = [];
window.playing = false;
function send(query) {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = 'dmsg://duzo/video?' + query;
  document.body.appendChild(frame);
}
window.DUZO_ReceiveMessage = function (name, argument) {
  if (name !== 'onVideoEvent') return;
  window.log.push(argument.event);
  if (argument.event === 'canplaythrough') { window.playing = true; send('action=play'); }
  if (argument.event === 'pause' && window.playing) { window.playing = false; send('action=pause'); }
};
send('action=new&x=0&y=0&w=320&h=50');
send('action=src&src=' + encodeURIComponent(')") +
           videotesting::kClipURL + R"('));
</script></body></html>)";
}

TEST_F(DZInterstitialPresentationService, ABannersVideoPausesWhenAnInterstitialCoversIt) {
    const auto engine = media::ScriptedEngine::create();
    mediatest::EngineScope engineScope{engine};
    engine->script(videotesting::kClipURL, videotesting::clip(30));
    ads::DZDevice::sharedInstance()->cacheStaticParameters();

    const auto banner = ads::DZBannerView::createWithAdSize(ads::kDZAdSizeBanner, {0, 100});
    ASSERT_TRUE(banner);
    banner->setRootViewController(root);
    banner->setAdUnitID("unit/banner");
    root->view()->addSubview(banner);
    struct Remove {
        std::shared_ptr<ads::DZBannerView> banner;
        ~Remove() { banner->removeFromSuperview(); }
    } remove{banner};
    banner->loadRequest(
        slottesting::requestWithExtras({{"_ad", slottesting::inlineAd(videoCreative())}}));
    const auto adView = [&] { return banner->slot()->adView(); };
    const auto player = [&]() -> std::shared_ptr<ads::DZVideoPlayer> {
        return adView() ? adView()->videoPlayer() : nullptr;
    };
    ASSERT_TRUE(waitFor([&] { return player() && player()->isPlaying(); }));
    ASSERT_TRUE(adView()->window());
    const auto pageLog = [&] {
        std::vector<std::string> events;
        const core::Value log = adwebtesting::evaluate(*adView()->webView(), "window.log || []");
        if (const core::Array* list = log.array())
            for (const core::Value& event : *list) events.push_back(event.stringValue());
        return events;
    };
    ASSERT_TRUE(waitFor([&] { return pageLog().size() >= 2; }));
    ASSERT_EQ(pageLog(), (std::vector<std::string>{"canplaythrough", "play"}));

    ASSERT_TRUE(loaded());
    interstitial->presentFromRootViewController(root);
    ASSERT_NE(presented(), nullptr);
    // The page hears the pause and pauses the player.
    ASSERT_TRUE(waitFor([&] { return !player()->isPlaying(); }));
    EXPECT_EQ(player()->player()->rate(), 0);
    const auto log = pageLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2], "pause");
    settle();
}

}  // namespace
