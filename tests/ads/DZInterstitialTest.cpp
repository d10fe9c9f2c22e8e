// The interstitial with inline ads and a scripted full-screen presenter:
// presenting too early, twice and in vain, the load gates (used, reload,
// orientation), the size fit of split screen, the delayed close of its
// owner on the manual clock, and the publisher-server interstitial's
// custom rendering, correlator and rewards.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "AdWebTesting.h"
#include "InterstitialTesting.h"
#include "SawmillTesting.h"
#include "SlotTesting.h"
#include "ads/foundation/DZSawmill.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/core/request/DZCorrelator.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/ZODCustomRenderedAd.h"
#include "ads/foundation/DZLogger.h"
#include "ads/presentation/interstitial/DZInterstitialOwner.h"
#include "ads/presentation/interstitial/ZODInterstitial.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/web/dmsg/DZDelayPageCloseDMSGHandler.h"
#include "ads/web/dmsg/DZRewardBasedVideoAdDMSGHandler.h"
#include "ads/web/view/DZAdView.h"
#include "core/Console.h"
#include "fixtures/InterstitialScenarios.h"
#include "core/NotificationCenter.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace {

using ads::DZInterstitial;
using fixtures::InterstitialCreative;
using fixtures::InterstitialScenarios;
using interstitialtesting::PresenterScope;
using interstitialtesting::RecordingDelegate;
using slottesting::inlineAd;
using slottesting::requestWithExtras;

const std::string kAlreadyUsed =
    "Request Error: Will not send request because interstitial object has been used.";

class DZInterstitialTest : public testing::Test {
protected:
    void SetUp() override { interstitial->setDelegate(delegate); }

    // Loads an inline ad and waits for its outcome.
    [[nodiscard]] bool load(core::Dictionary extras = {}) {
        extras.set("_ad", inlineAd());
        const size_t before = delegate->events.size();
        interstitial->loadRequest(requestWithExtras(std::move(extras)));
        return adwebtesting::waitFor([&] { return delegate->events.size() > before; });
    }
    [[nodiscard]] static bool drain() { return adwebtesting::drainMainQueue(); }
    static std::vector<std::string> publicLines(const core::Console::Capture& console) {
        ads::DZLogger::sharedInstance().waitForLogging();
        return console.lines();
    }
    static bool logged(const core::Console::Capture& console, const std::string& text) {
        for (const auto& line : publicLines(console))
            if (line.find(text) != std::string::npos) return true;
        return false;
    }

    PresenterScope presenters;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<DZInterstitial> interstitial = DZInterstitial::create("unit/interstitial");
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
};

TEST_F(DZInterstitialTest, APresentBeforeReadyLogsAndLeavesItUsable) {
    core::Console::Capture console;
    interstitial->presentFromRootViewController(root);
    EXPECT_TRUE(logged(console, DZInterstitial::kNotReadyMessage));
    ASSERT_TRUE(drain());
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_FALSE(interstitial->hasBeenUsed());

    ASSERT_TRUE(load());
    EXPECT_EQ(delegate->events, std::vector<std::string>{"receive"});
    ASSERT_TRUE(interstitial->isReady());
    interstitial->presentFromRootViewController(root);
    ASSERT_NE(presenters.last, nullptr);
    EXPECT_EQ(presenters.last->presentedFrom, std::vector{root});
    EXPECT_EQ(presenters.last->slot, interstitial->slot());
    EXPECT_TRUE(interstitial->hasBeenUsed());
    EXPECT_TRUE(interstitial->slot()->viewHasMadeImpression());
}

TEST_F(DZInterstitialTest, AfterAPresentASecondOneLogsCodeSixAndLoadsFailWithIt) {
    ASSERT_TRUE(load());
    interstitial->presentFromRootViewController(root);
    ASSERT_TRUE(interstitial->hasBeenUsed());
    core::Console::Capture console;
    interstitial->presentFromRootViewController(root);
    EXPECT_TRUE(logged(console, kAlreadyUsed));
    EXPECT_EQ(presenters.last->presentedFrom.size(), 1u);
    ASSERT_TRUE(load());
    ASSERT_FALSE(delegate->events.empty());
    EXPECT_EQ(delegate->events.back(), "fail 6");
}

TEST_F(DZInterstitialTest, ARefusedPresentationCountsNothingAndTellsTheDelegate) {
    ASSERT_TRUE(load());
    presenters.last->accept = false;
    interstitial->presentFromRootViewController(root);
    EXPECT_FALSE(interstitial->hasBeenUsed());
    EXPECT_FALSE(interstitial->slot()->viewHasMadeImpression());
    EXPECT_EQ(interstitial->interstitialOwner()->presentedInterstitial(), nullptr);
    ASSERT_TRUE(drain());
    ASSERT_TRUE(drain());
    // Without the failure method the delegate sees a whole empty episode.
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"receive", "willPresent", "willDismiss", "didDismiss"}));

    // No root controller, and a presenter that throws, are refusals too.
    delegate->events.clear();
    delegate->handlesFailure = true;
    interstitial->presentFromRootViewController(nullptr);
    presenters.last->throws = true;
    core::Console::Capture console;
    interstitial->presentFromRootViewController(root);
    EXPECT_TRUE(logged(console, "Presenting the interstitial threw exception: no screen"));
    ASSERT_TRUE(drain());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"failPresent", "failPresent"}));
    EXPECT_FALSE(interstitial->hasBeenUsed());

    // It is still usable.
    presenters.last->throws = false;
    presenters.last->accept = true;
    interstitial->presentFromRootViewController(root);
    EXPECT_TRUE(interstitial->hasBeenUsed());
    EXPECT_TRUE(interstitial->slot()->viewHasMadeImpression());
}

TEST_F(DZInterstitialTest, WithoutAPresenterNothingIsPresented) {
    ads::DZInterstitial::setPresenterFactory(nullptr);
    ASSERT_TRUE(load());
    delegate->handlesFailure = true;
    interstitial->presentFromRootViewController(root);
    ASSERT_TRUE(drain());
    ASSERT_FALSE(delegate->events.empty());
    EXPECT_EQ(delegate->events.back(), "failPresent");
    EXPECT_FALSE(interstitial->hasBeenUsed());
}

TEST_F(DZInterstitialTest, TheControllerTakesTheAdsOrientationsUnlessItOverridesThem) {
    ASSERT_TRUE(load({{"_orientation", "l"}}));
    const std::uint64_t landscape = interstitial->slot()->ad()->supportedOrientations();
    ASSERT_NE(landscape, 30u);
    presenters.last->orientations = 6;
    presenters.last->overridesLock = true;
    presenters.last->accept = false;
    interstitial->presentFromRootViewController(root);
    EXPECT_EQ(presenters.last->orientations, 6u);
    presenters.last->overridesLock = false;
    interstitial->presentFromRootViewController(root);
    EXPECT_EQ(presenters.last->orientations, landscape);
}

TEST_F(DZInterstitialTest, TheLoadGatesRefuseReloadsAndResponsesTheAppCannotShow) {
    EXPECT_EQ(interstitial->slotShouldReloadCurrentRequest(*ads::DZSlot::create()), false);

    class PortraitOnly : public ui::ApplicationDelegate {
    public:
        bool didFinishLaunching(ui::Application&) override { return true; }
        std::optional<unsigned long>
        supportedInterfaceOrientationsForWindow(ui::Application&, const ui::Window*) override {
            return 2;
        }
    };
    ASSERT_TRUE(ui::Application::shared().launch(std::make_shared<PortraitOnly>()));
    adwebtesting::ConstantsScope constants;
    constants.set(DZInterstitial::kOnlyApplicationOrientationKey, true);
    (void)ads::DZApplication::sharedInstance()->supportsOrientations(2);
    ASSERT_TRUE(drain());
    ASSERT_TRUE(load({{"_orientation", "l"}}));
    ASSERT_FALSE(delegate->events.empty());
    EXPECT_EQ(delegate->events.back(), "fail 13");

    // Split screen lifts the gate.
    constants.set("/dozuza/ads/application_supports_split_screen", true);
    ASSERT_TRUE(ads::DZApplication::sharedInstance()->isSplitScreenEnabled());
    interstitial = DZInterstitial::create("unit/2");
    interstitial->setDelegate(delegate);
    ASSERT_TRUE(load({{"_orientation", "l"}}));
    ASSERT_FALSE(delegate->events.empty());
    EXPECT_EQ(delegate->events.back(), "receive");
}

TEST_F(DZInterstitialTest, ItsEventsJoinTheLoadsEventLog) {
    testsupport::SawmillSettingsScope settings;
    const auto executor = std::make_shared<testsupport::RecordingSawmillExecutor>();
    ads::DZSawmill::sharedInstance()->setCommandExecutorForTesting(executor);
    // Made once the event logs are on, so that it buffers its first events.
    interstitial = DZInterstitial::create("unit/interstitial");
    interstitial->setDelegate(delegate);
    ASSERT_TRUE(load());
    interstitial->presentFromRootViewController(root);
    interstitial->slotDidDismissScreen(*interstitial->slot());
    ASSERT_TRUE(drain());
    std::vector<std::string> names;
    core::Value identity;
    for (const core::Array& call : executor->calls())
        for (const core::Value& params : testsupport::paramsOf(call))
            if (const core::Dictionary* event = params["interstitial"].dictionary()) {
                if (event->contains("class")) identity = params["interstitial"];
                for (const auto& [name, value] : *event)
                    if (name != "ad_unit_id" && name != "class") names.push_back(name);
            }
    EXPECT_EQ(identity, core::Value(core::Dictionary{{"ad_unit_id", "unit/interstitial"},
                                                     {"class", "DZInterstitial"}}));
    EXPECT_EQ(names, (std::vector<std::string>{"loading_started", "loading_succeeded", "presented",
                                               "dismissed"}));
}

TEST_F(DZInterstitialTest, TheSplitScreenFitAcceptsTheWindowEitherWayRound) {
    EXPECT_TRUE(DZInterstitial::canFitAdSize({320, 480}, {321, 479}, 2));
    EXPECT_TRUE(DZInterstitial::canFitAdSize({320, 480}, {480, 320}, 2));
    EXPECT_FALSE(DZInterstitial::canFitAdSize({320, 480}, {320, 483}, 2));
    EXPECT_FALSE(DZInterstitial::canFitAdSize({320, 480}, {480, 330}, 2));
    // The threshold is strict.
    EXPECT_FALSE(DZInterstitial::canFitAdSize({320, 480}, {322, 480}, 2));
}

// Delayed close.

class DZInterstitialOwnerTest : public DZInterstitialTest {
protected:
    // Loaded, presented and, when asked, told by its page to delay the close.
    void presentLoaded(bool delay) {
        ASSERT_TRUE(load());
        if (delay) postFromAdView(ads::DZDelayPageCloseDMSGHandler::kStartNotification);
        interstitial->presentFromRootViewController(root);
        ASSERT_TRUE(interstitial->hasBeenUsed());
    }
    void postFromAdView(const char* name) {
        core::NotificationCenter::defaultCenter().post(name, interstitial->slot()->adView().get());
    }
    // Dismisses it and lets the test's reference go; answers a watch on it.
    std::weak_ptr<DZInterstitial> dismissAndRelease() {
        interstitial->slotDidDismissScreen(*interstitial->slot());
        std::weak_ptr<DZInterstitial> weak = interstitial;
        interstitial.reset();
        EXPECT_TRUE(drain());
        return weak;
    }

    testsupport::ManualClockScope clock;
};

TEST_F(DZInterstitialOwnerTest, ADelayedCloseKeepsThePageForTwoSeconds) {
    presentLoaded(true);
    const auto adView = interstitial->slot()->adView();
    const auto weak = dismissAndRelease();
    ASSERT_FALSE(weak.expired());
    EXPECT_EQ(adView->superview(), ads::DZApplication::placeholderWindow());
    EXPECT_NE(weak.lock()->slot()->state(), ads::DZSlot::kInvalidated);
    clock.advance(1.9);
    ASSERT_TRUE(drain());
    EXPECT_FALSE(weak.expired());
    clock.advance(0.2);
    EXPECT_TRUE(adwebtesting::waitFor([&] { return weak.expired(); }, 5));
}

TEST_F(DZInterstitialOwnerTest, AStopReleasesAtOnceAndTheTimeoutFindsNothing) {
    adwebtesting::ConstantsScope constants;
    constants.set(ads::DZInterstitialOwner::kTimeoutKey, 5);
    interstitial = DZInterstitial::create("unit/timeout");
    interstitial->setDelegate(delegate);
    ASSERT_EQ(interstitial->interstitialOwner()->delayPageCloseTimeoutInterval(), 5.0);
    presentLoaded(false);
    // A start that arrives while it is on screen counts too.
    postFromAdView(ads::DZDelayPageCloseDMSGHandler::kStartNotification);
    const auto adView = interstitial->slot()->adView();
    const auto owner = interstitial->interstitialOwner();
    const auto weak = dismissAndRelease();
    ASSERT_FALSE(weak.expired());
    core::NotificationCenter::defaultCenter().post(
        ads::DZDelayPageCloseDMSGHandler::kStopNotification, adView.get());
    EXPECT_TRUE(weak.expired());
    clock.advance(5);
    ASSERT_TRUE(drain());
    EXPECT_EQ(owner->pageCloseDelayedInterstitial(), nullptr);
}

TEST_F(DZInterstitialOwnerTest, WithoutADelayTheSlotIsInvalidatedOnDismissal) {
    presentLoaded(false);
    const auto slot = interstitial->slot();
    const auto weak = dismissAndRelease();
    EXPECT_EQ(slot->state(), ads::DZSlot::kInvalidated);
    EXPECT_TRUE(weak.expired());
}

// The publisher-server interstitial.

class RenderingDelegate : public ads::ZODCustomRenderedInterstitialDelegate {
public:
    bool takes = true;
    std::vector<std::shared_ptr<ads::ZODCustomRenderedAd>> ads;
    bool receivesCustomRenderedAds() const override { return takes; }
    void didReceiveCustomRenderedAd(ads::DZInterstitial&,
                                    const std::shared_ptr<ads::ZODCustomRenderedAd>& ad) override {
        ads.push_back(ad);
    }
};

TEST_F(DZInterstitialTest, ACustomRenderedAdGoesToThePublisherAndIsNeverPresentedBySDK) {
    auto zod = ads::ZODInterstitial::create("unit/zod");
    zod->setDelegate(delegate);
    auto rendering = std::make_shared<RenderingDelegate>();
    zod->createSlot();
    auto ad = std::make_shared<ads::DZAd>();
    ad->setAdHTML("<p>custom</p>");
    ad->setAdBaseURL(core::URL::create("https://ads.test/path/page.html"));

    // A delegate that does not take them: code 12, and nothing handed out.
    std::optional<ads::Error> error;
    EXPECT_FALSE(zod->notifyPublisherToRenderCustomRenderingAd(*zod->slot(), ad, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 12);
    EXPECT_NE(error->message.find("Ignoring delegate callback. Delegate does not conform to "
                                  "ZODCustomRenderedInterstitialDelegate."),
              std::string::npos);

    zod->setCustomRenderedInterstitialDelegate(rendering);
    error.reset();
    EXPECT_TRUE(zod->notifyPublisherToRenderCustomRenderingAd(*zod->slot(), ad, &error));
    ASSERT_EQ(rendering->ads.size(), 1u);
    EXPECT_EQ(rendering->ads[0]->adHTML(), "<p>custom</p>");
    ASSERT_TRUE(rendering->ads[0]->adBaseURL());
    EXPECT_EQ(rendering->ads[0]->adBaseURL()->absoluteString(), "https://ads.test/");
    EXPECT_EQ(zod->slot()->state(), ads::DZSlot::kRendering);

    // The publisher's view makes it valid, yet presenting only logs.
    rendering->ads[0]->finishedRenderingAdView(std::make_shared<ui::View>());
    EXPECT_TRUE(zod->isReady());
    core::Console::Capture console;
    zod->presentFromRootViewController(root);
    EXPECT_TRUE(logged(console, ads::ZODInterstitial::kCustomRenderingMessage));
    EXPECT_TRUE(presenters.last == nullptr || presenters.last->presentedFrom.empty());
    EXPECT_FALSE(zod->hasBeenUsed());
    // Its impression is the publisher's to record.
    rendering->ads[0]->recordImpression();
    EXPECT_TRUE(zod->slot()->viewHasMadeImpression());
}

TEST_F(DZInterstitialTest, ANewCorrelationIDPreemptsTheLoadUnderWay) {
    auto zod = ads::ZODInterstitial::create("unit/zod");
    zod->setCorrelator(nullptr);
    EXPECT_EQ(zod->slot(), nullptr);
    auto correlator = std::make_shared<ads::DZCorrelator>();
    zod->setCorrelator(correlator);
    ASSERT_NE(zod->slot(), nullptr);
    EXPECT_EQ(zod->correlator(), correlator);
    auto& slot = *zod->slot();
    EXPECT_FALSE(zod->slotShouldPreemptInProgressRequest(slot));
    zod->willLoadAdWithRequest(slot, nullptr);
    EXPECT_EQ(zod->previousCorrelationID(), correlator->correlationID());
    EXPECT_FALSE(zod->slotShouldPreemptInProgressRequest(slot));
    const auto before = correlator->correlationID();
    for (int i = 0; i < 5 && correlator->correlationID() == before; ++i) correlator->reset();
    ASSERT_NE(correlator->correlationID(), before);
    EXPECT_TRUE(zod->slotShouldPreemptInProgressRequest(slot));
}

TEST_F(DZInterstitialTest, ThePagesAppEventsAndRewardsReachThePublisher) {
    class AppEvents : public ads::DZAppEventDelegate {
    public:
        std::vector<std::string> heard;
        void didReceiveAppEvent(ads::DZInterstitial&, const std::string& name,
                                const std::optional<std::string>& info) override {
            heard.push_back(name + "=" + info.value_or(""));
        }
    };
    auto zod = ads::ZODInterstitial::create("unit/zod");
    auto appEvents = std::make_shared<AppEvents>();
    zod->setAppEventDelegate(appEvents);
    zod->setDelegate(delegate);
    zod->loadRequest(requestWithExtras(
        {{"_ad", inlineAd(InterstitialScenarios::html(InterstitialCreative::appEvent))}}));
    ASSERT_TRUE(adwebtesting::waitFor([&] { return !appEvents->heard.empty(); }));
    EXPECT_EQ(appEvents->heard, std::vector<std::string>{"level=boss"});

    interstitial->loadRequest(requestWithExtras(
        {{"_ad", inlineAd(InterstitialScenarios::html(InterstitialCreative::reward))}}));
    ASSERT_TRUE(adwebtesting::waitFor([&] {
        return std::find(delegate->events.begin(), delegate->events.end(), "reward coins") !=
               delegate->events.end();
    }));
    const auto start = std::find(delegate->events.begin(), delegate->events.end(), "videoStart");
    const auto reward = std::find(delegate->events.begin(), delegate->events.end(), "reward coins");
    EXPECT_LT(start, reward);
}

TEST_F(DZInterstitialTest, ItsPlayersReportToTheAudioVideoManagerOnlyWhenTheServerSaysSo) {
    ASSERT_TRUE(load());
    adwebtesting::ConstantsScope constants;
    const auto slot = interstitial->slot();
    const auto adView = slot->adView();
    ASSERT_TRUE(adView);
    const auto manager = ads::DZMobileAds::sharedInstance().audioVideoManager();
    ASSERT_TRUE(manager);
    // A player in the interstitial's page asks the interstitial, whose
    // answer outweighs the player's own server setting.
    constants.set(ads::DZVideoPlayer::kReportingDisabledKey, true);
    const auto playerReportingDisabled = [&] {
        return ads::DZVideoPlayer::create(adView)->playerToAudioVideoManagerReportingDisabled();
    };
    const std::string key(DZInterstitial::kPlayerReportingEnabledKey);
    for (const core::Value& on : {core::Value(true), core::Value("1"), core::Value("YES"),
                                  core::Value(1)}) {
        SCOPED_TRACE(core::describe(on));
        constants.set(key, on);
        EXPECT_EQ(slot->shouldDisableVideoEventReportToAudioVideoManager(manager.get()), false);
        EXPECT_FALSE(playerReportingDisabled());
    }
    constants.set(ads::DZVideoPlayer::kReportingDisabledKey, false);
    for (const core::Value& off : {core::Value(false), core::Value("0"), core::Value(0),
                                   core::Value(core::Array{true}), core::Value()}) {
        SCOPED_TRACE(core::describe(off));
        if (off.isNull())
            core::UserDefaults::standard()->removeObjectForKey(key);
        else
            constants.set(key, off);
        EXPECT_EQ(slot->shouldDisableVideoEventReportToAudioVideoManager(manager.get()), true);
        EXPECT_TRUE(playerReportingDisabled());
    }
}

TEST_F(DZInterstitialTest, RewardsPreferTheAdsOwnReward) {
    ASSERT_TRUE(load());
    ads::DZRewardBasedVideoAdDMSGHandler handler;
    interstitial->rewardBasedVideoAdDMSGHandlerDidReceiveStartVideoNotification(handler);
    interstitial->didReceiveRewardNotificationWithRewardItem(
        handler, std::make_shared<ads::DZAdReward>("page", *core::Decimal::parse("1")));
    interstitial->slot()->ad()->setReward(std::make_shared<ads::DZAdReward>("server", *core::Decimal::parse("2")));
    interstitial->didReceiveRewardNotificationWithRewardItem(
        handler, std::make_shared<ads::DZAdReward>("page", *core::Decimal::parse("1")));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"receive", "videoStart", "reward page",
                                                          "reward server"}));
}

}  // namespace
