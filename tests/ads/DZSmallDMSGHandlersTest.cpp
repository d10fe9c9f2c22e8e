// The small handlers of ad pages, one group each: app events held for a
// placement, delayed page closes and loads, refresh pauses, timing marks,
// forced orientations, rewards, native video clicks, host analytics events
// and full-screen ad settings.

#include <gtest/gtest.h>

#include "AnalyticsTesting.h"
#include "HandlerTesting.h"
#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZCSIConfiguration.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "ads/presentation/fullscreen/DZTransparentOverlayPresenter.h"
#include "ads/web/dmsg/DZAdAppDMSGHandler.h"
#include "ads/web/dmsg/DZAdRefreshDMSGHandler.h"
#include "ads/web/dmsg/DZAnalyticsDMSGHandler.h"
#include "ads/web/dmsg/DZAppEventDMSGHandler.h"
#include "ads/web/dmsg/DZCSIDMSGHandler.h"
#include "ads/web/dmsg/DZCSIDMSGHandlerDelegate.h"
#include "ads/web/dmsg/DZDelayLoadDelegate.h"
#include "ads/web/dmsg/DZDelayPageCloseDMSGHandler.h"
#include "ads/web/dmsg/DZDelayPageLoadDMSGHandler.h"
#include "ads/web/dmsg/DZNativeAdVideoClickDMSGHandler.h"
#include "ads/web/dmsg/DZOrientationDMSGHandler.h"
#include "ads/web/dmsg/DZRewardBasedVideoAdDMSGHandler.h"
#include "ads/web/dmsg/DZRewardBasedVideoAdDMSGHandlerDelegate.h"
#include "core/NotificationCenter.h"

namespace {

using namespace handlertesting;

// Records the notifications of one name posted with any object.
class PostedScope {
public:
    explicit PostedScope(const std::string& name)
        : token_(core::NotificationCenter::defaultCenter().addObserver(
              name, nullptr, nullptr, [this](const core::Notification& notification) {
                  objects.push_back(notification.object);
                  userInfos.push_back(notification.userInfo);
              })) {}
    ~PostedScope() { core::NotificationCenter::defaultCenter().removeObserver(token_); }
    PostedScope(const PostedScope&) = delete;
    PostedScope& operator=(const PostedScope&) = delete;

    std::vector<const void*> objects;
    std::vector<core::Value> userInfos;

private:
    core::NotificationCenter::Token token_;
};

class DZSmallDMSGHandlersTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(page.slot); }
    const ads::DZBannerAdViewDelegate& delegate() const { return *page.slot->adViewDelegate(); }

    SlotPage page;
};

TEST_F(DZSmallDMSGHandlersTest, AppEventsWaitForThePlacementAndArriveOnceInOrder) {
    const auto handler = handlerOf<ads::DZAppEventDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    EXPECT_TRUE(page.send(*handler, "appEvent", {{"name", "first"}, {"info", "1"}}));
    EXPECT_TRUE(page.send(*handler, "appEvent", {{"info", "nameless"}}));
    EXPECT_TRUE(page.send(*handler, "appEvent", {{"name", "second"}}));
    // The ad view moving somewhere while the slot has no placement keeps them.
    page.adView()->didMoveToPlacement(nullptr);
    EXPECT_TRUE(page.owner->appEvents.empty());
    EXPECT_EQ(handler->bufferedNotifications().size(), 3u);

    const auto placement = std::make_shared<int>(1);
    page.slot->setPlacement(placement);
    EXPECT_EQ(page.owner->appEvents, (std::vector<std::string>{"first 1", "second -"}));
    page.adView()->didMoveToPlacement(placement);
    EXPECT_EQ(page.owner->appEvents.size(), 2u);
    EXPECT_TRUE(handler->bufferedNotifications().empty());
    // Once placed, an event goes through at once.
    EXPECT_TRUE(page.send(*handler, "appEvent", {{"name", "third"}}));
    ASSERT_FALSE(page.owner->appEvents.empty());
    EXPECT_EQ(page.owner->appEvents.back(), "third -");
}

TEST_F(DZSmallDMSGHandlersTest, DelayedPageClosesWaitForTheAttachedAdView) {
    const auto handler = handlerOf<ads::DZDelayPageCloseDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    PostedScope starts(ads::DZDelayPageCloseDMSGHandler::kStartNotification);
    PostedScope stops(ads::DZDelayPageCloseDMSGHandler::kStopNotification);
    EXPECT_TRUE(page.send(*handler, "delayPageClosed", {{"start", "1"}, {"stop", "true"}}));
    EXPECT_TRUE(page.send(*handler, "delayPageClosed", {{"start", "0"}, {"stop", "no"}}));
    EXPECT_TRUE(starts.objects.empty());

    page.adView()->didMoveToPlacement(std::make_shared<int>(1));
    EXPECT_EQ(starts.objects, std::vector<const void*>{page.adView().get()});
    EXPECT_EQ(stops.objects, std::vector<const void*>{page.adView().get()});
    EXPECT_TRUE(page.send(*handler, "delayPageClosed", {{"stop", "1"}}));
    EXPECT_EQ(starts.objects.size(), 1u);
    EXPECT_EQ(stops.objects.size(), 2u);
}

TEST_F(DZSmallDMSGHandlersTest, RefreshPausesAndResumesTheSlotUnlessProtected) {
    const auto handler = handlerOf<ads::DZAdRefreshDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    // A refused load is still an attempt, after which the timer may run.
    page.owner->shouldLoad = false;
    page.slot->loadRequest(nullptr);
    ASSERT_TRUE(page.slot->slotHasAttemptedAnAdRequestAtLeastOnce());

    EXPECT_TRUE(page.send(*handler, "refresh", {{"action", "resume"}}));
    EXPECT_TRUE(page.slot->reloadable());
    EXPECT_TRUE(page.slot->reloadTimerArmed());
    EXPECT_TRUE(page.send(*handler, "refresh", {{"action", "Pause"}}));
    EXPECT_TRUE(page.slot->reloadTimerArmed());
    EXPECT_TRUE(page.send(*handler, "refresh", {{"action", "pause"}}));
    EXPECT_FALSE(page.slot->reloadable());
    EXPECT_FALSE(page.slot->reloadTimerArmed());

    adwebtesting::ConstantsScope constants;
    constants.set(ads::DZAdRefreshDMSGHandler::kProtectionKey, "1");
    EXPECT_TRUE(page.send(*handler, "refresh", {{"action", "resume"}}));
    EXPECT_FALSE(page.slot->reloadable());
    constants.set(ads::DZAdRefreshDMSGHandler::kProtectionKey, "0");
    EXPECT_TRUE(page.send(*handler, "refresh", {{"action", "resume"}}));
    EXPECT_TRUE(page.slot->reloadable());
    constants.set(ads::DZAdRefreshDMSGHandler::kProtectionKey, true);
    EXPECT_TRUE(page.send(*handler, "refresh", {{"action", "pause"}}));
    EXPECT_TRUE(page.slot->reloadable());
}

TEST_F(DZSmallDMSGHandlersTest, TimingMarksGoToTheMakeWebViewRecorder) {
    // The banner's timing hub is its slot's.
    const auto wired = handlerOf<ads::DZCSIDMSGHandler>(delegate());
    ASSERT_TRUE(wired && wired->CSIDelegate());
    EXPECT_EQ(wired->CSIDelegate()->CSIForDMSGHandler(), page.slot->CSI());

    struct Hub : ads::DZCSIDMSGHandlerDelegate {
        std::shared_ptr<ads::DZCSI> hub;
        std::shared_ptr<ads::DZCSI> CSIForDMSGHandler() override { return hub; }
    };
    const auto source = std::make_shared<Hub>();
    ads::DZCSIDMSGHandler handler;
    handler.setCSIDelegate(source);
    // Without a hub nothing is recorded, and nothing breaks.
    EXPECT_TRUE(
        page.send(handler, "instrument", {{"action", "tick"}, {"label", "a"}, {"timestamp", "5"}}));

    auto configuration = std::make_shared<ads::DZCSIConfiguration>("dzmob_sdk");
    configuration->setServer("");
    source->hub = ads::DZCSI::create(configuration);
    const auto& hub = source->hub;
    hub->setTimestamp(1000, "native:view_create");
    hub->setTimestamp(1100, "custom:start");
    const auto tick = [&](core::Dictionary parameters) {
        parameters.set("action", "tick");
        EXPECT_TRUE(page.send(handler, "instrument", std::move(parameters)));
    };
    tick({{"label", "page:load"}, {"timestamp", "1250"}});
    tick({{"label", "page:ready"}, {"timestamp", "1400"}, {"start_label", "custom:start"}});
    tick({{"label", "page:early"}, {"timestamp", "900"}});
    tick({{"label", "page:unknown"}, {"timestamp", "1500"}, {"start_label", "nowhere"}});
    tick({{"label", "page:zero"}, {"timestamp", "0"}});
    tick({{"timestamp", "1600"}});
    EXPECT_TRUE(page.send(handler, "instrument", {{"action", "experiment"}, {"value", "exp-7"}}));
    EXPECT_TRUE(page.send(handler, "instrument", {{"action", "experiment"}}));
    EXPECT_TRUE(
        page.send(handler, "instrument", {{"action", "extra"}, {"name", "wv"}, {"value", "wk"}}));
    EXPECT_TRUE(page.send(handler, "instrument", {{"action", "extra"}, {"name", "half"}}));

    // Every tick with a label and a time is stored, even the early one.
    EXPECT_EQ(hub->timestampForLabel("page:early"), 900);
    EXPECT_EQ(hub->timestampForLabel("page:unknown"), 1500);
    EXPECT_EQ(hub->timestampForLabel("page:zero"), 0);
    const auto recorder = hub->timeRecorderForAction("make_wv");
    ASSERT_TRUE(recorder);
    const auto completed = recorder->completedVariables();
    ASSERT_EQ(completed.size(), 2u);
    EXPECT_EQ(completed[0].key, "page:load");
    EXPECT_DOUBLE_EQ(completed[0].timing->start(), 1.0);
    EXPECT_DOUBLE_EQ(completed[0].timing->length(), 0.25);
    EXPECT_EQ(completed[1].key, "page:ready");
    EXPECT_DOUBLE_EQ(completed[1].timing->start(), 1.1);
    EXPECT_DOUBLE_EQ(completed[1].timing->length(), 0.3);
    const auto experiments = recorder->experimentIDs();
    ASSERT_FALSE(experiments.empty());
    EXPECT_EQ(experiments.back(), "exp-7");
    EXPECT_EQ(recorder->customizedParameters()["wv"], core::Value("wk"));
    EXPECT_FALSE(recorder->customizedParameters().contains("half"));
}

TEST_F(DZSmallDMSGHandlersTest, ForcedOrientationsKeepALockUnlessOverridden) {
    const auto handler = handlerOf<ads::DZOrientationDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    // A banner has no full-screen controller to turn.
    EXPECT_TRUE(page.send(*handler, "forceOrientation", {{"orientation", "portrait"}}));
    const auto controller = page.presentFullScreen();
    struct Case {
        std::uint64_t before;
        core::Dictionary parameters;
        std::uint64_t after;
        bool overrides;
        double duration;
    };
    const Case cases[] = {
        {0, {{"orientation", "portrait"}, {"animationDuration", "0.5"}}, 6, false, 0.5},
        {30, {{"orientation", "landscape"}, {"animationDuration", "soon"}}, 24, false, 0},
        {26, {{"orientation", "any"}}, 30, false, 0},
        // Locked to one family: kept without override...
        {24, {{"orientation", "portrait"}, {"animationDuration", "2"}}, 24, true, 9},
        {6, {{"orientation", "landscape"}, {"override", "true"}}, 6, true, 9},
        // ...and changed with it.
        {24,
         {{"orientation", "portrait"}, {"override", "1"}, {"animationDuration", "1"}},
         6,
         true,
         1},
        // An unknown name changes nothing.
        {30, {{"orientation", "Portrait"}, {"override", "1"}}, 30, true, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(core::JSON::write(c.parameters).value_or(""));
        controller->setAdOrientations(c.before);
        controller->setAdOrientationsOverridesLockedOrientation(true);
        controller->setOrientationUpdateAnimationDuration(9);
        EXPECT_TRUE(page.send(*handler, "forceOrientation", c.parameters));
        EXPECT_EQ(controller->adOrientations(), c.after);
        EXPECT_EQ(controller->adOrientationsOverridesLockedOrientation(), c.overrides);
        EXPECT_DOUBLE_EQ(controller->orientationUpdateAnimationDuration(), c.duration);
    }
}

TEST_F(DZSmallDMSGHandlersTest, RewardsGrantTheirDecimalAmount) {
    struct Listener : ads::DZRewardBasedVideoAdDMSGHandlerDelegate {
        int starts = 0;
        std::vector<std::shared_ptr<ads::DZAdReward>> rewards;
        void rewardBasedVideoAdDMSGHandlerDidReceiveStartVideoNotification(
            ads::DZRewardBasedVideoAdDMSGHandler&) override {
            ++starts;
        }
        void didReceiveRewardNotificationWithRewardItem(
            ads::DZRewardBasedVideoAdDMSGHandler&,
            const std::shared_ptr<ads::DZAdReward>& reward) override {
            rewards.push_back(reward);
        }
    };
    const auto handler = handlerOf<ads::DZRewardBasedVideoAdDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    // Nobody listening: nothing to tell.
    EXPECT_TRUE(
        page.send(*handler, "reward", {{"action", "grant"}, {"type", "coins"}, {"amount", "1"}}));
    const auto listener = std::make_shared<Listener>();
    page.adView()->setRewardBasedVideoAdDMSGHandlerDelegate(listener);

    EXPECT_TRUE(page.send(*handler, "reward", {{"action", "video_start"}}));
    EXPECT_TRUE(
        page.send(*handler, "reward", {{"action", "grant"}, {"type", "coins"}, {"amount", "2.5"}}));
    EXPECT_TRUE(
        page.send(*handler, "reward", {{"action", "grant"}, {"type", ""}, {"amount", " 1e2 "}}));
    // Without a type or a decimal amount nothing is granted.
    EXPECT_TRUE(page.send(*handler, "reward", {{"action", "grant"}, {"amount", "3"}}));
    EXPECT_TRUE(page.send(*handler, "reward",
                          {{"action", "grant"}, {"type", "coins"}, {"amount", "lots"}}));
    EXPECT_TRUE(
        page.send(*handler, "reward", {{"action", "grant"}, {"type", "coins"}, {"amount", "nan"}}));
    EXPECT_TRUE(
        page.send(*handler, "reward", {{"action", "Grant"}, {"type", "coins"}, {"amount", "4"}}));

    EXPECT_EQ(listener->starts, 1);
    ASSERT_EQ(listener->rewards.size(), 2u);
    EXPECT_EQ(listener->rewards[0]->rewardType(), "coins");
    EXPECT_EQ(listener->rewards[0]->rewardAmount().string(), "2.5");
    EXPECT_EQ(listener->rewards[1]->rewardType(), "");
    EXPECT_EQ(listener->rewards[1]->rewardAmount().string(), "100");
}

TEST_F(DZSmallDMSGHandlersTest, DelayedPageLoadsCountOpenDelays) {
    struct Listener : ads::DZDelayLoadDelegate {
        std::vector<std::string> heard;
        void loadHandlerDidCancel(ads::DZDelayPageLoadDMSGHandler&) override {
            heard.emplace_back("cancel");
        }
        void loadHandlerDidChangeDelay(ads::DZDelayPageLoadDMSGHandler&, std::int64_t from,
                                       std::int64_t to) override {
            heard.push_back(std::to_string(from) + "->" + std::to_string(to));
        }
    };
    const auto listener = std::make_shared<Listener>();
    const auto handler = std::make_shared<ads::DZDelayPageLoadDMSGHandler>(listener);
    const auto send = [&](core::Dictionary parameters) {
        EXPECT_TRUE(page.send(*handler, "delayPageLoaded", std::move(parameters)));
    };
    send({{"stop", "1"}});
    send({{"start", "0"}, {"stop", "1"}});  // the first key present wins
    send({{"start", ""}});
    send({{"stop", "0"}});
    send({{"stop", "1"}});
    send({{"pause", "1"}});
    EXPECT_TRUE(listener->heard.empty());  // all on a later turn
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"0->1", "1->2", "2->1", "1->0"}));
    EXPECT_EQ(handler->delayCount(), 0);

    send({{"start", "1"}});
    send({{"cancel", "1"}});
    send({{"start", "1"}});
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(listener->heard.back(), "cancel");
    EXPECT_EQ(listener->heard.size(), 6u);
    EXPECT_FALSE(handler->delegate());
    EXPECT_EQ(handler->delayCount(), 1);
}

TEST_F(DZSmallDMSGHandlersTest, TheBannerHoldsAFinishedLoadWhileThePageDelaysIt) {
    const auto handler = handlerOf<ads::DZDelayPageLoadDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    page.slot->setState(ads::DZSlot::kRendering);
    EXPECT_TRUE(page.send(*handler, "delayPageLoaded", {{"start", "1"}}));
    ASSERT_TRUE(drainMainQueue());
    page.slot->adViewDelegate()->adViewDidFinishLoad(*page.adView());
    EXPECT_EQ(page.owner->finished, 0);
    EXPECT_TRUE(page.send(*handler, "delayPageLoaded", {{"stop", "1"}}));
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(page.owner->finished, 1);
    EXPECT_EQ(page.slot->state(), ads::DZSlot::kValidAd);

    // A cancel fails a load that is not valid yet, as a page failure.
    page.slot->setState(ads::DZSlot::kRendering);
    EXPECT_TRUE(page.send(*handler, "delayPageLoaded", {{"cancel", "1"}}));
    ASSERT_TRUE(drainMainQueue());
    ASSERT_EQ(page.owner->failures.size(), 1u);
    EXPECT_EQ(page.owner->failures[0].code, ads::kDZErrorNetworkError);
}

TEST_F(DZSmallDMSGHandlersTest, NativeVideoClicksArePostedWithTheirParameters) {
    const auto handler = handlerOf<ads::DZNativeAdVideoClickDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    PostedScope clicks(ads::DZNativeAdVideoClickDMSGHandler::kVideoClickNotification);
    EXPECT_TRUE(page.send(*handler, "videoClicked", {{"t", "3.2"}, {"src", "v.mp4"}}));
    EXPECT_EQ(clicks.objects, std::vector<const void*>{page.adView().get()});
    const core::Value parameters(core::Dictionary{{"t", "3.2"}, {"src", "v.mp4"}});
    EXPECT_EQ(clicks.userInfos, std::vector<core::Value>{parameters});
}

TEST_F(DZSmallDMSGHandlersTest, AnalyticsEventsReachTheHostAndTheSlot) {
    adstest::HostAnalyticsScope analytics;
    const auto handler = handlerOf<ads::DZAnalyticsDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    EXPECT_TRUE(page.send(*handler, "logScionEvent", {{"eventName", "_ai"}, {"eventId", "E9"}}));
    EXPECT_TRUE(page.send(*handler, "logScionEvent", {{"eventName", "_ac"}, {"eventId", "E9"}}));
    EXPECT_TRUE(page.send(*handler, "logScionEvent", {{"eventName", "_ai"}}));
    EXPECT_TRUE(page.send(*handler, "logScionEvent", {{"eventName", "custom"}, {"eventId", "E9"}}));
    EXPECT_EQ(page.owner->slotEvents, (std::vector<std::string>{"impression", "click"}));
    const auto events = analytics.host->events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].name, "_ai");
    EXPECT_EQ(events[2].name, "custom");
}

TEST_F(DZSmallDMSGHandlersTest, FullScreenSettingsWaitForAControllerAndNeedAnAdOne) {
    const auto handler = handlerOf<ads::DZAdAppDMSGHandler>(delegate());
    ASSERT_TRUE(handler);
    EXPECT_TRUE(page.send(*handler, "customClose", {{"custom_close", "1"}}));
    EXPECT_TRUE(page.send(*handler, "setInterstitialProperties", {{"transparentBackground", "1"}}));
    EXPECT_EQ(handler->bufferedNotifications().size(), 2u);

    // Another kind of controller takes none of it.
    const auto other = std::make_shared<ui::ViewController>();
    page.adView()->setViewController(other);
    handler->flushBuffer();
    EXPECT_TRUE(handler->bufferedNotifications().empty());

    const auto controller = page.presentFullScreen();
    EXPECT_TRUE(page.send(*handler, "customClose", {{"custom_close", "1"}}));
    EXPECT_TRUE(controller->useCustomClose());
    EXPECT_TRUE(page.send(*handler, "customClose", {{"custom_close", "yes"}}));
    EXPECT_FALSE(controller->useCustomClose());

    EXPECT_TRUE(page.send(*handler, "setInterstitialProperties", {{"transparentBackground", "1"}}));
    EXPECT_TRUE(
        std::dynamic_pointer_cast<ads::DZTransparentOverlayPresenter>(controller->presenter()));
    EXPECT_TRUE(page.send(*handler, "setInterstitialProperties", {{"other", "1"}}));
    EXPECT_TRUE(controller->presenter());
    EXPECT_TRUE(page.send(*handler, "setInterstitialProperties", {{"transparentBackground", "0"}}));
    EXPECT_FALSE(controller->presenter());
    // Once shown, the presenter stays.
    const auto window = std::make_shared<ui::View>();
    window->addSubview(controller->view());
    EXPECT_TRUE(page.send(*handler, "setInterstitialProperties", {{"transparentBackground", "1"}}));
    EXPECT_FALSE(controller->presenter());
}

}  // namespace
