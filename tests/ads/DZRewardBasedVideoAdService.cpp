// The rewarded ad's HTML path with the real full-screen controller over a
// publisher's root controller: a rewarded creative loads through the
// private interstitial, and a present gives open, start, reward and close
// in order, the response's own reward winning over the page's; presents
// and loads at the wrong time only log.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FullScreenTesting.h"
#include "RewardedTesting.h"
#include "ads/foundation/DZLogger.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "core/Console.h"
#include "fixtures/RewardedScenarios.h"
#include "ui/Button.h"
#include "ui/TouchInjector.h"

namespace {

using adwebtesting::waitFor;
using fixtures::RewardedScenarios;
using rewardedtesting::RecordingHost;

class DZRewardBasedVideoAdService : public fullscreentesting::FullScreenTest {
protected:
    void SetUp() override {
        FullScreenTest::SetUp();
        ads::DZApplication::setScriptBuilderReceiverForTesting([](auto) {});
        ads::DZInterstitial::setPresenterFactory(ads::DZInterstitial::defaultPresenterFactory());
        rewarded->setDelegate(host);
    }
    void TearDown() override {
        rewarded.reset();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        FullScreenTest::TearDown();
    }
    void startLoad(bool withReward) {
        rewarded->loadRequest(
            slottesting::requestWithExtras({{"_ad", RewardedScenarios::inlineAd(withReward)},
                                            {"_adHeaders", RewardedScenarios::inlineHeaders()}}),
            "unit/rewarded");
    }
    [[nodiscard]] bool loaded(bool withReward) {
        const size_t before = host->events.size();
        startLoad(withReward);
        return waitFor([&] { return host->events.size() > before; }) &&
               host->events.back() == "receive";
    }
    [[nodiscard]] std::shared_ptr<ads::DZAdAppViewController> presented() const {
        return std::dynamic_pointer_cast<ads::DZAdAppViewController>(root->presentedViewController());
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
    // Presents, lets the page grant its reward, and closes the ad.
    void presentAndClose() {
        rewarded->presentFromRootViewController(root);
        ASSERT_NE(presented(), nullptr);
        settle();
        ASSERT_TRUE(waitFor([&] {
            return std::any_of(host->events.begin(), host->events.end(),
                               [](const std::string& event) { return event.rfind("reward", 0) == 0; });
        }));
        tapCloseButton();
        for (int turn = 0; turn < 20 && host->events.back() != "close"; ++turn) settle();
        EXPECT_EQ(host->events.back(), "close");
    }
    static bool logged(const core::Console::Capture& console, const std::string& text) {
        ads::DZLogger::sharedInstance().waitForLogging();
        for (const auto& line : console.lines())
            if (line.find(text) != std::string::npos) return true;
        return false;
    }

    std::shared_ptr<RecordingHost> host = std::make_shared<RecordingHost>();
    std::shared_ptr<ads::DZRewardBasedVideoAd> rewarded = ads::DZRewardBasedVideoAd::create();
};

TEST_F(DZRewardBasedVideoAdService, APresentOpensStartsRewardsAndClosesInOrder) {
    ASSERT_TRUE(loaded(false));
    EXPECT_TRUE(rewarded->isReady());
    const auto interstitial = rewarded->interstitial();
    ASSERT_NE(interstitial, nullptr);
    EXPECT_TRUE(interstitial->isMediated());
    EXPECT_TRUE(interstitial->servesRewardedAd());

    presentAndClose();
    EXPECT_EQ(host->events,
              (std::vector<std::string>{"receive", "open", "start",
                                        std::string("reward ") + RewardedScenarios::kRewardType + " " +
                                            RewardedScenarios::kRewardAmount,
                                        "close"}));
    EXPECT_FALSE(rewarded->isReady());

    // Presented once: a second present only logs.
    core::Console::Capture console;
    rewarded->presentFromRootViewController(root);
    EXPECT_TRUE(logged(console, ads::DZRewardBasedVideoAd::kNotReadyMessage));
    settle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(host->events.size(), 5u);
}

TEST_F(DZRewardBasedVideoAdService, TheResponsesOwnRewardWinsOverThePages) {
    ASSERT_TRUE(loaded(true));
    presentAndClose();
    EXPECT_EQ(host->events, (std::vector<std::string>{"receive", "open", "start", "reward gems 2.5", "close"}));
}

TEST_F(DZRewardBasedVideoAdService, PresentsAndLoadsDuringALoadOnlyLog) {
    core::Console::Capture console;
    rewarded->presentFromRootViewController(root);
    EXPECT_TRUE(logged(console, ads::DZRewardBasedVideoAd::kNotReadyMessage));

    startLoad(false);
    EXPECT_TRUE(rewarded->requestInProgress());
    rewarded->presentFromRootViewController(root);
    startLoad(true);
    EXPECT_TRUE(logged(console, ads::DZRewardBasedVideoAd::kRequestInProgressMessage));
    ASSERT_TRUE(waitFor([&] { return !host->events.empty(); }));
    settle();
    EXPECT_EQ(host->events, std::vector<std::string>{"receive"});
    EXPECT_EQ(root->presentedViewController(), nullptr);
    // The load that went on is the first one: the page's reward, not the
    // response's.
    EXPECT_EQ(rewarded->ad()->reward(), nullptr);

    // A new load from the ready state is taken and replaces the ad.
    ASSERT_TRUE(loaded(true));
    ASSERT_NE(rewarded->ad()->reward(), nullptr);
    EXPECT_EQ(rewarded->ad()->reward()->rewardAmount().string(), "2.5");
}

TEST_F(DZRewardBasedVideoAdService, ResponsesOfOtherKindsOrWithoutMarkupFailWithCodeEleven) {
    for (const char* header : {"X-Duzo-Ad-Format", "X-Duzo-Custom-Rendering-Allowed"}) {
        const std::string value = std::string(header) == "X-Duzo-Ad-Format" ? "native" : "true";
        rewarded->loadRequest(
            slottesting::requestWithExtras({{"_ad", RewardedScenarios::inlineAd(false)},
                                            {"_adHeaders", core::Dictionary{{header, value}}}}),
            "unit/rewarded");
        ASSERT_TRUE(waitFor([&] { return !host->failures.empty(); })) << header;
        EXPECT_EQ(host->failures.back().code, 11) << header;
        EXPECT_EQ(host->failures.back().message, "Invalid ad response.") << header;
        host->failures.clear();
    }
    EXPECT_FALSE(rewarded->isReady());
    EXPECT_FALSE(rewarded->requestInProgress());
}

}  // namespace
