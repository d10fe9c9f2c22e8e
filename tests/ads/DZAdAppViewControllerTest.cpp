#include <gtest/gtest.h>

#include <memory>

#include "FullScreenTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZIcons.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/presentation/fullscreen/DZAdAppAdViewDelegate.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/fullscreen/DZExpandedAdAppViewController.h"
#include "ads/presentation/fullscreen/DZIntermission.h"
#include "ads/presentation/fullscreen/DZSupplementalAdAppViewController.h"
#include "ads/web/view/DZAdView.h"
#include "fixtures/FullScreenCreative.h"
#include "ui/AudioSession.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/TouchInjector.h"
#include "web/WebView.h"

namespace {

using fixtures::FullScreenCreative;
using fullscreentesting::drainMainQueue;
using fullscreentesting::FullScreenTest;
using fullscreentesting::received;
using fullscreentesting::waitFor;

class DZAdAppViewControllerTest : public FullScreenTest {
protected:
    // A controller with an ad view of its own showing the creative.
    std::shared_ptr<ads::DZAdAppViewController>
    showing(const FullScreenCreative::Options& options = {}) {
        auto controller = std::make_shared<ads::DZAdAppViewController>();
        controller->setSlot(slot);
        controller->loadHTML(FullScreenCreative::html(options), core::URL::create("https://ads.test/"));
        EXPECT_TRUE(controller->presentFromViewController(root, nullptr));
        settle();
        EXPECT_TRUE(waitFor([&] { return controller->isLoaded(); }));
        return controller;
    }
    // The slot shows a recording page and its ad speaks MRAID.
    void loadMRAIDAd() {
        ASSERT_TRUE(loadAd(FullScreenCreative::html()));
        slot->ad()->setMRAIDEventHandler(slot);
        ASSERT_TRUE(slot->isMRAIDEnabled());
    }
};

TEST_F(DZAdAppViewControllerTest, TheCloseButtonSitsTopLeftAndCloses) {
    auto controller = showing();
    const auto& button = controller->closeButton();
    EXPECT_EQ(button->superview(), controller->view());
    EXPECT_EQ(button->frame(), gfx::Rect(0, 0, 32, 32));
    EXPECT_EQ(button->accessibilityIdentifier(), "Close Advertisement");
    EXPECT_EQ(button->currentImage()->size(), ads::DZCloseIconImage()->size());
    EXPECT_EQ(controller->adView()->superview(), controller->view());
    EXPECT_EQ(controller->adView()->frame(), controller->view()->bounds());
    ui::TouchInjector(*window).tap({10, 10});
    EXPECT_EQ(controller->relinquishCount(), 1);
    settle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(DZAdAppViewControllerTest, CustomCloseOnAPlainAdRemovesTheButton) {
    FullScreenCreative::Options options;
    options.customClose = true;
    auto controller = showing(options);
    ASSERT_TRUE(waitFor([&] { return controller->useCustomClose(); }));
    EXPECT_EQ(controller->closeButton()->superview(), nullptr);
}

TEST_F(DZAdAppViewControllerTest, CustomCloseOnAnMRAIDAdLeavesATransparentTappableArea) {
    loadMRAIDAd();
    auto controller = showing();
    controller->setUseCustomClose(true);
    const auto& button = controller->closeButton();
    EXPECT_EQ(button->superview(), controller->view());
    EXPECT_EQ(button->currentImage()->size(), (gfx::Size{10, 10}));
    // Top-right, the MRAID default; a tap there still closes.
    const gfx::Rect frame = button->frame();
    EXPECT_GT(frame.origin.x, controller->view()->bounds().size.width / 2);
    ui::TouchInjector(*window).tap({frame.origin.x + frame.size.width / 2,
                                    frame.origin.y + frame.size.height / 2});
    EXPECT_EQ(controller->relinquishCount(), 1);
}

TEST_F(DZAdAppViewControllerTest, BlockedCustomCloseKeepsTheButtonAndTellsThePage) {
    adwebtesting::ConstantsScope constants;
    constants.set(ads::DZAdAppViewController::kCustomCloseBlockingKey, "1");
    loadMRAIDAd();
    slot->ad()->setCustomCloseBlocked(true);
    auto controller = showing();
    controller->setUseCustomClose(true);
    EXPECT_EQ(controller->closeButton()->superview(), controller->view());
    EXPECT_EQ(controller->closeButton()->currentImage()->size(), ads::DZCloseIconImage()->size());
    ASSERT_TRUE(waitFor([&] { return !received(*slot->adView(), "onError").empty(); }));
    const core::Value error = received(*slot->adView(), "onError").front()["argument"];
    EXPECT_EQ(error["message"], core::Value(ads::DZAdAppViewController::kCustomCloseBlockedMessage));
    EXPECT_EQ(error["action"], core::Value("useCustomClose"));
}

TEST_F(DZAdAppViewControllerTest, PaddingAndScaleComeFromTheServer) {
    adwebtesting::ConstantsScope constants;
    constants.set(ads::DZAdAppViewController::kCloseButtonPaddingKey, 12);
    constants.set(ads::DZAdAppViewController::kCloseButtonScaleKey, 1.5);
    auto controller = showing();
    EXPECT_EQ(controller->closeButton()->frame(), gfx::Rect(0, 0, 44, 44));
    const gfx::Size natural = ads::DZCloseIconImage()->size();
    EXPECT_EQ(controller->closeButton()->currentImage()->size(),
              (gfx::Size{natural.width * 1.5, natural.height * 1.5}));
}

TEST_F(DZAdAppViewControllerTest, ComingBackFromAnotherAppLeavesTheAdOnScreenOnce) {
    auto controller = showing();
    controller->adViewDelegate()->opener()->setDidOpenAnotherApplication(true);
    ui::Application::shared().enterBackground();
    ui::Application::shared().enterForeground();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(controller->relinquishCount(), 0);
    EXPECT_FALSE(controller->adViewDelegate()->opener()->didOpenAnotherApplication());

    ui::Application::shared().enterBackground();
    ui::Application::shared().enterForeground();
    ASSERT_TRUE(waitFor([&] { return controller->relinquishCount() == 1; }));
    settle();
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss"}));
}

TEST_F(DZAdAppViewControllerTest, TheFirstOrientationReportIsAForcedRotation) {
    auto controller = showing();
    ASSERT_TRUE(drainMainQueue());
    const auto orientations = [&] {
        const core::Value list =
            adwebtesting::evaluate(*controller->adView()->webView(), "window.orientations");
        return list.array() ? *list.array() : core::Array{};
    };
    const size_t before = orientations().size();
    controller->viewChangedToOrientation(3);
    ASSERT_TRUE(waitFor([&] { return orientations().size() == before + 1; }));
    EXPECT_EQ(orientations().back(), core::Value(90));
    controller->viewChangedToOrientation(4);
    ASSERT_TRUE(waitFor([&] {
        return adwebtesting::evaluate(*controller->adView()->webView(), "window.orientation") ==
               core::Value(-90);
    }));
    // A plain rotation: the page's orientation changes without the event.
    EXPECT_EQ(orientations().size(), before + 1);
}

TEST_F(DZAdAppViewControllerTest, LandingStartIsRecordedOnceAndEndAtEveryLoad) {
    ASSERT_TRUE(loadAd("<p>ad</p>"));
    const auto statistics = slot->ad()->statistics();
    auto controller = showing();
    const core::Value start = statistics->objectForKeyedSubscript("tlanding_page_load_start");
    const core::Value firstEnd = statistics->objectForKeyedSubscript("tlanding_page_load_end");
    ASSERT_FALSE(start.isNull());
    ASSERT_FALSE(firstEnd.isNull());
    clock.advance(5);
    controller->loadHTML("<p>second page</p>", std::nullopt);
    ASSERT_TRUE(waitFor([&] {
        return statistics->objectForKeyedSubscript("tlanding_page_load_end") != firstEnd;
    }));
    EXPECT_EQ(statistics->objectForKeyedSubscript("tlanding_page_load_start"), start);
}

TEST_F(DZAdAppViewControllerTest, ALinkClickedInTheAdPingsItsClickUnlessTheServerSaysNot) {
    ASSERT_TRUE(loadAd("<p>ad</p>"));
    adwebtesting::ConstantsScope constants;
    const std::string key = ads::DZAdAppAdViewDelegate::kDisableClickPingOnClickNavigationKey;
    auto controller = showing();
    const auto adView = controller->adView();
    const auto delegate = std::dynamic_pointer_cast<ads::DZAdAppAdViewDelegate>(adView->delegate());
    ASSERT_TRUE(delegate);
    // The clicks the slot hears of once the ad's page asks to go to a place
    // in itself.
    const auto clicksOf = [&](long navigationType) {
        const int before = owner->clicks;
        (void)delegate->shouldStartLoadWithRequest(
            *adView, core::URLRequest(*core::URL::create("https://ads.test/#landed")),
            navigationType);
        EXPECT_TRUE(drainMainQueue());
        return owner->clicks - before;
    };
    constexpr long kLinkClicked = 0;
    constexpr long kOther = 5;
    core::UserDefaults::standard()->removeObjectForKey(key);
    EXPECT_EQ(clicksOf(kLinkClicked), 1);
    EXPECT_EQ(clicksOf(kOther), 0);
    constants.set(key, "0");
    EXPECT_EQ(clicksOf(kLinkClicked), 1);
    constants.set(key, "1");
    EXPECT_EQ(clicksOf(kLinkClicked), 0);
    EXPECT_EQ(clicksOf(kOther), 0);
}

TEST_F(DZAdAppViewControllerTest, AdOrientationsAreIgnoredInSplitScreenOrWhenUnchanged) {
    auto controller = std::make_shared<ads::DZAdAppViewController>();
    controller->setAdOrientations(24);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 24u);
    controller->setSupportedInterfaceOrientations(30);
    controller->setAdOrientations(24);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 30u);

    adwebtesting::ConstantsScope constants;
    constants.set("/dozuza/ads/application_supports_split_screen", true);
    controller->setAdOrientations(6);
    EXPECT_EQ(controller->adOrientations(), 24u);
}

TEST_F(DZAdAppViewControllerTest, AnExpandedBannerLeavesASnapshotInItsPlace) {
    ASSERT_TRUE(loadAd(FullScreenCreative::html()));
    const auto adView = slot->adView();
    const auto holder = std::make_shared<ui::View>(gfx::Rect{0, 100, 320, 50});
    root->view()->addSubview(holder);
    adView->setFrame({0, 0, 320, 50});
    holder->addSubview(adView);
    ASSERT_TRUE(web::WebView::awaitSnapshots(adwebtesting::kLoadLimit));
    EXPECT_EQ(ads::DZExpandedAdAppViewController::create(nullptr), nullptr);
    auto controller = ads::DZExpandedAdAppViewController::create(adView);
    controller->setSlot(slot);
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    settle();
    const auto snapshot = controller->renderedBanner();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->superview(), holder);
    EXPECT_EQ(snapshot->frame(), gfx::Rect(0, 0, 320, 50));
    ASSERT_TRUE(snapshot->image());
    // The snapshot shows the creative's colour, not an empty image.
    const gfx::ImagePtr image = snapshot->image();
    const gfx::Color pixel = image->pixelAt(20, 20);
    EXPECT_NEAR(pixel.red, 0x1d / 255.0, 0.02);
    EXPECT_NEAR(pixel.green, 0x35 / 255.0, 0.02);
    EXPECT_NEAR(pixel.blue, 0x57 / 255.0, 0.02);
    EXPECT_EQ(adView->superview(), controller->view());

    controller->relinquishScreenWithCompletion(nullptr);
    EXPECT_EQ(adView->superview(), holder);
    settle();
    controller.reset();
    EXPECT_EQ(snapshot->superview(), nullptr);
}

}  // namespace

namespace {

class RefusingAudioOwner : public slottesting::RecordingOwner {
public:
    bool shouldChangeAudioSessionCategoryTo(ads::DZSlot&, const std::string&) override {
        return false;
    }
};

TEST_F(DZAdAppViewControllerTest, ARecordingAppPlaysAndRecordsWhileTheAdIsShown) {
    ui::AudioSession& session = ui::AudioSession::shared();
    ASSERT_TRUE(session.setCategory(ui::AudioSession::CategoryRecord));
    auto controller = showing();
    EXPECT_EQ(session.category(), ui::AudioSession::CategoryPlayAndRecord);
    EXPECT_EQ(controller->originalAudioSessionCategory(),
              std::optional<std::string>(ui::AudioSession::CategoryRecord));
    controller->relinquishScreenWithCompletion(nullptr);
    EXPECT_EQ(session.category(), ui::AudioSession::CategoryRecord);
    EXPECT_FALSE(controller->originalAudioSessionCategory());
    settle();

    // The slot's owner says no: nothing changes.
    auto refusing = std::make_shared<RefusingAudioOwner>();
    slot->setSlotDelegate(refusing);
    auto second = showing();
    EXPECT_EQ(session.category(), ui::AudioSession::CategoryRecord);
    EXPECT_FALSE(second->originalAudioSessionCategory());
}

}  // namespace

namespace {

// The "state" or "visible" arguments of the messages of that name.
std::vector<std::string> arguments(ads::DZAdView& adView, const std::string& name,
                                   const std::string& key) {
    std::vector<std::string> values;
    for (const core::Value& entry : received(adView, name))
        if (const std::string* value = entry["argument"][key].string()) values.push_back(*value);
    return values;
}

TEST_F(DZAdAppViewControllerTest, ASecondExpandedPageKeepsBothPagesInStep) {
    ASSERT_TRUE(loadAd(FullScreenCreative::html()));
    auto controller = std::make_shared<ads::DZSupplementalAdAppViewController>();
    controller->setSlot(slot);
    controller->loadHTML(FullScreenCreative::html(), core::URL::create("https://ads.test/"));
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    settle();
    const auto own = controller->adView();
    ASSERT_TRUE(waitFor([&] { return !arguments(*own, "onStateChanged", "state").empty(); }));
    EXPECT_EQ(received(*own, "onReadyEventReceived").size(), 1u);
    EXPECT_EQ(arguments(*own, "onStateChanged", "state"), std::vector<std::string>{"expanded"});
    ASSERT_TRUE(waitFor([&] { return !arguments(*own, "onAdVisibilityChanged", "visible").empty(); }));
    EXPECT_EQ(arguments(*own, "onAdVisibilityChanged", "visible"), std::vector<std::string>{"1"});
    ASSERT_TRUE(
        waitFor([&] { return !arguments(*slot->adView(), "onStateChanged", "state").empty(); }));

    controller->relinquishScreenWithCompletion(nullptr);
    settle();
    ASSERT_TRUE(waitFor([&] {
        return arguments(*slot->adView(), "onStateChanged", "state") ==
               std::vector<std::string>{"expanded", "default"};
    }));
    ASSERT_TRUE(waitFor([&] {
        return arguments(*own, "onAdVisibilityChanged", "visible") ==
               std::vector<std::string>{"1", "0"};
    }));
    // The dismissal ends once: the banner's page hears "default" once.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(arguments(*slot->adView(), "onStateChanged", "state"),
              (std::vector<std::string>{"expanded", "default"}));
}

}  // namespace
