#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "AnalyticsTesting.h"
#include "FullScreenTesting.h"
#include "LogCapture.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZHostAnalyticsRegistry.h"
#include "ads/foundation/DZLogger.h"
#include "ads/presentation/fullscreen/DZInterstitialViewController.h"
#include "ads/web/view/DZAdView.h"
#include "fixtures/FullScreenCreative.h"
#include "support/TestEnvironment.h"
#include "ui/Button.h"
#include "ui/Renderer.h"
#include "web/WebView.h"

namespace {

using fixtures::FullScreenCreative;
using fullscreentesting::FullScreenTest;
using fullscreentesting::receivedNames;
using fullscreentesting::waitFor;

// The host's screen as its analytics library reports it, and the screen
// names the SDK sets.
class ScreenViews : public ads::DZHostScreenViewReporter, public ads::DZHostScreenViewSource {
public:
    ads::DZHostScreenView current;
    std::vector<std::string> set;
    void setScreenName(const std::optional<std::string>& name,
                       const std::optional<std::string>& screenClass) override {
        set.push_back(name.value_or("-") + " " + screenClass.value_or("-"));
    }
    ads::DZHostScreenView getScreenName() const override { return current; }
};

// Serves a rewarded ad through the interstitial.
class RewardedOwner : public slottesting::RecordingOwner {
public:
    bool servesRewardedAd() const override { return true; }
};

class DZInterstitialViewControllerTest : public FullScreenTest {
protected:
    void SetUp() override {
        FullScreenTest::SetUp();
        owner->kind = ads::DZSlotDelegateKind::interstitial;
        slot->setAdType(ads::DZAdType::interstitialAdType(), false);
        slot->setPlacement(placement);
    }
    std::shared_ptr<ads::DZInterstitialViewController> loaded() {
        EXPECT_TRUE(loadAd(FullScreenCreative::html()));
        auto controller = ads::DZInterstitialViewController::create(slot);
        EXPECT_EQ(slot->adView()->viewController(), controller);
        EXPECT_TRUE(controller->isLoaded());
        return controller;
    }
    // A fresh interstitial slot of the given owner, in place of the test's.
    void replaceSlot(const std::shared_ptr<slottesting::RecordingOwner>& newOwner) {
        owner = newOwner;
        owner->kind = ads::DZSlotDelegateKind::interstitial;
        slot = slottesting::bannerSlot(*owner);
        ASSERT_TRUE(slot);
        slot->setAdType(ads::DZAdType::interstitialAdType(), false);
        slot->setPlacement(placement);
    }

    std::shared_ptr<int> placement = std::make_shared<int>(0);
};

TEST_F(DZInterstitialViewControllerTest, ThePageHearsOnshowAfterThePresentationAndOnhideBefore) {
    auto controller = loaded();
    const auto adView = slot->adView();
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    ASSERT_TRUE(fullscreentesting::drainMainQueue());
    EXPECT_TRUE(fullscreentesting::received(*adView, "onshow").empty());
    settle();
    ASSERT_TRUE(waitFor([&] { return !fullscreentesting::received(*adView, "onshow").empty(); }));

    controller->relinquishScreenWithCompletion(nullptr);
    // Still on screen while the page hears it is hidden.
    EXPECT_EQ(root->presentedViewController(), controller);
    settle();
    ASSERT_TRUE(waitFor([&] { return !fullscreentesting::received(*adView, "onhide").empty(); }));
    std::vector<std::string> shown;
    for (const std::string& name : receivedNames(*adView))
        if (name == "onshow" || name == "onhide") shown.push_back(name);
    EXPECT_EQ(shown, (std::vector<std::string>{"onshow", "onhide"}));
    // Shown once: the ad view is dropped after the dismissal.
    EXPECT_EQ(controller->adView(), nullptr);
}

TEST_F(DZInterstitialViewControllerTest, WithoutAPlacementNothingIsPresented) {
    auto controller = loaded();
    slot->setPlacement(nullptr);
    int shown = 0;
    EXPECT_FALSE(controller->presentFromViewController(root, [&] { ++shown; }));
    settle();
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_TRUE(owner->screenEvents.empty());
}

TEST_F(DZInterstitialViewControllerTest, TheHostScreenIsNamedOnceForTheInterstitial) {
    adstest::HostAnalyticsScope analytics;
    auto screens = std::make_shared<ScreenViews>();
    screens->current.screenName = "Home";
    ads::DZHostAnalyticsRegistry::shared().registerObject(
        ads::DZHostAnalyticsRegistry::kScreenViewReporter, screens);
    ads::DZAnalytics::resetSharedInstanceForTesting();
    adwebtesting::ConstantsScope constants;
    constants.set(ads::DZInterstitialViewController::kScreenEnabledKey, true);

    auto controller = loaded();
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    settle();
    EXPECT_EQ(controller->previousScreenName(), std::optional<std::string>("Home"));
    EXPECT_EQ(screens->set, std::vector<std::string>{"Home/Interstitial -"});
    controller->finishAppearing();
    EXPECT_EQ(screens->set.size(), 1u);

    // A rewarded ad through an interstitial, named by class when unnamed.
    screens->current = {std::nullopt, "HomeScreen"};
    controller->relinquishScreenWithCompletion(nullptr);
    settle();
    replaceSlot(std::make_shared<RewardedOwner>());
    auto second = loaded();
    ASSERT_TRUE(second->presentFromViewController(root, nullptr));
    settle();
    ASSERT_FALSE(screens->set.empty());
    EXPECT_EQ(screens->set.back(), "HomeScreen/Rewarded -");

    // Without any host screen nothing is named, whatever the flag says.
    second->relinquishScreenWithCompletion(nullptr);
    settle();
    screens->current = {};
    replaceSlot(std::make_shared<slottesting::RecordingOwner>());
    auto third = loaded();
    ASSERT_TRUE(third->presentFromViewController(root, nullptr));
    settle();
    EXPECT_EQ(screens->set.size(), 2u);
    EXPECT_FALSE(third->hasSetScreenName());
}

TEST_F(DZInterstitialViewControllerTest, ASplitScreenWindowTooSmallForTheContentClosesTheAd) {
    adwebtesting::ConstantsScope constants;
    constants.set("/dozuza/ads/application_supports_split_screen", true);
    auto controller = loaded();
    slot->ad()->setCroppedContentThreshold(20);
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    settle();
    const gfx::Size content = controller->adView()->contentSize();
    ASSERT_GT(content.height, 100);

    controller->viewWillTransitionToSize({content.width, content.height - 20});
    EXPECT_EQ(controller->relinquishCount(), 0);
    EXPECT_EQ(controller->adView()->frame().size, (gfx::Size{content.width, content.height - 20}));
    adtesting::LogCapture capture;
    controller->viewWillTransitionToSize({content.width, content.height - 21});
    EXPECT_EQ(controller->relinquishCount(), 1);
    ads::DZLogger::sharedInstance().waitForLogging();
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{std::string("<Dozuza> ") +
                                       ads::DZInterstitialViewController::kWindowTooSmallMessage});
}

TEST_F(DZInterstitialViewControllerTest, TheRenderedControllerShowsTheCloseButtonTopLeft) {
    auto controller = loaded();
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    settle();
    // The page is drawn from its latest snapshot: wait until one shows the
    // page at its full-screen size.
    const auto filled = [&] {
        (void)web::WebView::awaitSnapshots(1);
        const auto frame = ui::Renderer::render(*window);
        if (!frame) return false;
        const double frameScale = double(frame->pixelWidth()) / window->bounds().size.width;
        const gfx::Color color = frame->pixelAt(int(window->bounds().size.width / 2 * frameScale),
                                                int(600 * frameScale));
        return std::abs(color.red - 0x1d / 255.0) + std::abs(color.blue - 0x57 / 255.0) < 0.1;
    };
    ASSERT_TRUE(waitFor(filled));
    const std::string path = testsupport::testHome() + "/interstitial.png";
    ASSERT_TRUE(ui::Renderer::writePNG(*window, path));
    // For a person to look at.
    if (const char* keep = std::getenv("VANTOR_TEST_PNG_DIR")) {
        EXPECT_TRUE(ui::Renderer::writePNG(*window, std::string(keep) + "/interstitial.png"));
    }
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    const auto image = gfx::Image::decode(bytes);
    ASSERT_TRUE(image);
    const double scale = double(image->pixelWidth()) / window->bounds().size.width;
    const auto isCreative = [&](double x, double y) {
        const gfx::Color color = image->pixelAt(int(x * scale), int(y * scale));
        return std::abs(color.red - 0x1d / 255.0) + std::abs(color.green - 0x35 / 255.0) +
                   std::abs(color.blue - 0x57 / 255.0) <
               0.1;
    };
    // The creative fills the screen; the close icon covers its top-left
    // corner and no other.
    const double right = window->bounds().size.width;
    EXPECT_TRUE(isCreative(right - 16, 16));
    EXPECT_TRUE(isCreative(right / 2, 300));
    int iconPixels = 0;
    for (int y = 2; y < 30; y += 2)
        for (int x = 2; x < 30; x += 2) iconPixels += isCreative(x, y) ? 0 : 1;
    EXPECT_GT(iconPixels, 20);
    EXPECT_EQ(controller->closeButton()->frame(), gfx::Rect(0, 0, 32, 32));
}

}  // namespace
