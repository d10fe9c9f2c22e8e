// A slot's MRAID ad with our banner MRAID script from the local ad server.

#include "SlotLiveViewTesting.h"
#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZDevice.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "fixtures/MRAIDScript.h"

namespace {

using namespace slotliveviewtesting;
using fixtures::MRAIDScript;

const std::string kMRAIDPage =
    "<html><head><script src='mraid.js'></script></head><body><p>rich ad</p></body></html>";

// Notes what isViewable() says in its "ready" and "stateChange" listeners.
const std::string kNotingPage =
    "<html><head><script src='mraid.js'></script></head><body><p>rich ad</p><script>"
    "window.noted = [];"
    "mraid.addEventListener('ready', function () { noted.push('ready ' + mraid.isViewable()); });"
    "mraid.addEventListener('stateChange', function (s) {"
    " noted.push(s + ' ' + mraid.isViewable()); });"
    "</script></body></html>";

class DZSlotMRAIDService : public SlotLiveViewTest {
protected:
    void SetUp() override {
        SlotLiveViewTest::SetUp();
        ads::DZRegisterURLProtocol();
        const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
        interceptor->setBannerImplementationURLString(server.urlString(MRAIDScript::kBannerPath));
        interceptor->setExpandedBannerImplementationURLString(
            server.urlString(MRAIDScript::kExpandedBannerPath));
        interceptor->setInterstitialImplementationURLString(
            server.urlString(MRAIDScript::kInterstitialPath));
        // The ad's own "mraid.js" must never run.
        server.serve("/test/slot/mraid.js",
                     fixtures::LoopbackResponse::text("window.ownMRAID = true;", 200,
                                                      "application/javascript"));
    }
    void TearDown() override {
        const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
        interceptor->restoreDefaultImplementationURLStrings();
        SlotLiveViewTest::TearDown();
    }
    // Shows the MRAID ad and waits until its script is ready.
    [[nodiscard]] bool showMRAIDAd() {
        return show(adOf(kMRAIDPage)) && waitFor([&] {
                   return adPage("window.mraid ? window.mraid.getState() : ''") ==
                          core::Value("default");
               });
    }
    // The arguments of the messages of that name the MRAID script took.
    [[nodiscard]] std::vector<core::Value> taken(const std::string& name) const {
        return list(adPage("window.DUZO_mraidLog.filter(function (e) { return e.name === '" + name +
                           "'; }).map(function (e) { return e.argument; })"));
    }
    // Waits until every SDK event dispatched so far has reached the page.
    [[nodiscard]] bool eventsArrived() {
        const std::string marker = "marker" + std::to_string(++markers_);
        slot->adView()->dispatchSDKEvent(marker, std::nullopt);
        return waitFor([&] { return !taken(marker).empty(); });
    }
    // Ticks until the lent core page has count more samples than now.
    [[nodiscard]] bool samplesPass(size_t count) {
        const auto lent = slot->SDKCoreWebView();
        if (!lent) return false;
        const size_t target = corePageSamples(lent).size() + count;
        return waitFor([&] {
            tick();
            return corePageSamples(lent).size() >= target;
        });
    }

private:
    int markers_ = 0;
};

TEST_F(DZSlotMRAIDService, TheLoadSignalIsAnsweredWithScreenFeaturesAndReadiness) {
    ASSERT_TRUE(showMRAIDAd());
    EXPECT_EQ(adPage("window.mraid.variant"), core::Value("banner"));
    EXPECT_EQ(adPage("window.ownMRAID === undefined"), core::Value(true));
    EXPECT_EQ(owner->MRAIDLoads, 1);
    EXPECT_EQ(slot->ad()->MRAIDEventHandler().lock(),
              std::static_pointer_cast<ads::DZMRAIDEventHandling>(slot));
    EXPECT_TRUE(slot->isListeningToDeviceOrientationChangeEvent());

    const auto device = ads::DZDevice::sharedInstance();
    const gfx::Rect screen = device->standardizedOrientedScreenBounds();
    const gfx::Rect application = device->standardizedOrientedApplicationFrame();
    const auto screens = taken("onScreenInfoChanged");
    ASSERT_FALSE(screens.empty());
    EXPECT_EQ(screens.front(), core::Value(core::Dictionary{
                                   {"width", screen.size.width},
                                   {"height", screen.size.height},
                                   {"maxSizeWidth", application.size.width},
                                   {"maxSizeHeight", application.size.height},
                                   {"isOrientationLandscape", 0},
                               }));

    const auto features = taken("onDeviceFeaturesReceived");
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0], core::Value(core::Dictionary{
                               {"sms", device->canText()},
                               {"tel", device->canMakePhoneCalls()},
                               {"calendar", false},
                               {"storePicture", false},
                               {"inlineVideo", true},
                           }));
    const auto ready = taken("onReadyEventReceived");
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_EQ(ready[0], core::Value(core::Dictionary{{"js", ads::DZRequest::sdkVersion()}}));

    // Readiness comes last, after the screen and the features.
    const core::Value order =
        adPage("window.DUZO_mraidLog.map(function (e) { return e.name; }).filter(function (n) {"
               " return n === 'onScreenInfoChanged' || n === 'onDeviceFeaturesReceived' ||"
               " n === 'onReadyEventReceived'; })");
    ASSERT_TRUE(order.array());
    EXPECT_EQ(order.array()->back(), core::Value("onReadyEventReceived"));
    EXPECT_EQ(order.array()->front(), core::Value("onScreenInfoChanged"));

    // Unloading the ad ends the orientation listening.
    slot->MRAIDAdDidUnload();
    EXPECT_FALSE(slot->isListeningToDeviceOrientationChangeEvent());
}

// An ad on screen is viewable as soon as it can ask: in its "ready"
// listener and at its first state change. Off screen it is not.
TEST_F(DZSlotMRAIDService, AnAdKnowsWhetherItIsSeenWhenItBecomesReady) {
    for (const bool onScreen : {true, false}) {
        SCOPED_TRACE(onScreen ? "on screen" : "off screen");
        if (slot && slot->adView()) slot->adView()->removeFromSuperview();
        owner = std::make_shared<PlacingOwner>();
        ASSERT_TRUE(show(adOf(kNotingPage), onScreen));
        ASSERT_TRUE(waitFor([&] { return adPage("window.noted.length").intValue() >= 2; }));
        const std::string seen = onScreen ? " true" : " false";
        EXPECT_EQ(adPage("window.noted"),
                  core::Value(core::Array{core::Value("default" + seen),
                                          core::Value("ready" + seen)}));
        EXPECT_EQ(adPage("mraid.isViewable()"), core::Value(onScreen));
    }
}

TEST_F(DZSlotMRAIDService, PositionsArePushedOnlyWhenTheyChange) {
    owner->interfaceFrame = gfx::Rect(0, 100, 320, 50);
    ASSERT_TRUE(showMRAIDAd());
    // An MRAID ad that made its impression is measured by the core page.
    ASSERT_TRUE(waitFor([&] { return slot->SDKCoreWebView() != nullptr; }));
    EXPECT_EQ(slot->measurementReceivers(), ads::DZAdViewLiveViewMonitoring::kSDKCorePage);
    ASSERT_TRUE(samplesPass(1));
    ASSERT_TRUE(eventsArrived());

    const double top =
        ads::DZDevice::sharedInstance()->standardizedOrientedApplicationFrame().origin.y;
    // Events also carry the SDK's version and the device.
    const auto position = [](double x, double y, double width, double height) {
        return std::vector<double>{x, y, width, height};
    };
    const auto of = [](const core::Value& event) {
        return std::vector<double>{event["x"].doubleValue(), event["y"].doubleValue(),
                                   event["width"].doubleValue(), event["height"].doubleValue()};
    };
    ASSERT_EQ(taken("onSizeChanged").size(), 1u);
    EXPECT_EQ(of(taken("onSizeChanged")[0]), position(0, 100 - top, 320, 50));
    ASSERT_EQ(taken("onDefaultPositionReceived").size(), 1u);
    EXPECT_EQ(of(taken("onDefaultPositionReceived")[0]), position(0, 100 - top, 320, 50));
    EXPECT_EQ(adPage("mraid.getCurrentPosition().width"), core::Value(320));

    // Samples without a change push nothing.
    ASSERT_TRUE(samplesPass(3));
    ASSERT_TRUE(eventsArrived());
    EXPECT_EQ(taken("onSizeChanged").size(), 1u);
    EXPECT_EQ(taken("onDefaultPositionReceived").size(), 1u);

    // The ad view moves: its size event follows, the owner's position stays.
    slot->adView()->setFrame({10, 200, 300, 50});
    ASSERT_TRUE(samplesPass(2));
    ASSERT_TRUE(eventsArrived());
    ASSERT_EQ(taken("onSizeChanged").size(), 2u);
    EXPECT_EQ(of(taken("onSizeChanged")[1]), position(10, 200 - top, 300, 50));
    EXPECT_EQ(taken("onDefaultPositionReceived").size(), 1u);

    // The owner moves; a zero frame counts as none.
    owner->interfaceFrame = gfx::Rect(0, 300, 320, 50);
    ASSERT_TRUE(samplesPass(2));
    owner->interfaceFrame = gfx::Rect();
    ASSERT_TRUE(samplesPass(2));
    ASSERT_TRUE(eventsArrived());
    ASSERT_EQ(taken("onDefaultPositionReceived").size(), 2u);
    EXPECT_EQ(of(taken("onDefaultPositionReceived")[1]), position(0, 300 - top, 320, 50));
    EXPECT_EQ(taken("onSizeChanged").size(), 2u);

    // A new load signal clears what was pushed: the next sample pushes both.
    slot->MRAIDAdDidLoad();
    owner->interfaceFrame = gfx::Rect(0, 300, 320, 50);
    ASSERT_TRUE(samplesPass(1));
    ASSERT_TRUE(eventsArrived());
    EXPECT_EQ(taken("onSizeChanged").size(), 3u);
    EXPECT_EQ(taken("onDefaultPositionReceived").size(), 3u);
}

TEST_F(DZSlotMRAIDService, VisibilityVerdictsReachTheAdExceptWithinAFullScreenEpisode) {
    fixtures::CorePageOptions options;
    options.answerLiveViewVisibility = true;
    server.setCorePage(options);
    ASSERT_TRUE(showMRAIDAd());
    ASSERT_TRUE(waitFor([&] {
        tick();
        return !taken("onAdVisibilityChanged").empty();
    }));
    EXPECT_EQ(taken("onAdVisibilityChanged").back()["visible"], core::Value("1"));
    EXPECT_TRUE(slot->monitoredViewVisible());
    EXPECT_EQ(adPage("mraid.isViewable()"), core::Value(true));

    // Within the episode the page hears no verdict, neither the core
    // page's nor one told to the slot directly, though the ad view takes it.
    slot->setFullScreenEpisodeOpen(true);
    ASSERT_TRUE(samplesPass(1));
    ASSERT_TRUE(eventsArrived());
    const size_t before = taken("onAdVisibilityChanged").size();
    ASSERT_TRUE(samplesPass(3));
    slot->liveViewVisibilityChanged(false);
    EXPECT_FALSE(slot->adView()->visible());
    ASSERT_TRUE(eventsArrived());
    EXPECT_EQ(taken("onAdVisibilityChanged").size(), before);

    // After it, they reach the page again.
    slot->setFullScreenEpisodeOpen(false);
    slot->liveViewVisibilityChanged(false);
    ASSERT_TRUE(eventsArrived());
    const auto after = taken("onAdVisibilityChanged");
    ASSERT_GT(after.size(), before);
    EXPECT_EQ(after[before]["visible"], core::Value("0"));
}

}  // namespace
