#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "FullScreenTesting.h"
#include "ads/foundation/DZDevice.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/fullscreen/DZIntermission.h"
#include "ads/presentation/fullscreen/DZModalOverlayPresenter.h"
#include "ads/presentation/fullscreen/DZOverlayProxy.h"
#include "ads/presentation/fullscreen/DZTransparentOverlayPresenter.h"
#include "ads/presentation/fullscreen/DZUnclickableView.h"
#include "ads/web/view/DZAdView.h"
#include "ui/Button.h"
#include "ui/TouchInjector.h"

namespace {

using fullscreentesting::drainMainQueue;
using fullscreentesting::FullScreenTest;

class DZOverlayPresentersTest : public FullScreenTest {
protected:
    std::shared_ptr<ads::DZAdAppViewController> adController(std::uint64_t adOrientations) {
        auto controller = std::make_shared<ads::DZAdAppViewController>();
        controller->setSlot(slot);
        controller->setAdOrientations(adOrientations);
        return controller;
    }
};

TEST_F(DZOverlayPresentersTest, ALandscapeAdOnAPortraitScreenIsTurnedAQuarter) {
    ASSERT_EQ(ui::Application::shared().statusBarOrientation(), 1);
    auto controller = adController(24);
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    settle();
    EXPECT_EQ(controller->forcedAdOrientation(), 3);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 2u);
    // The interface stays in portrait; the view alone turns.
    EXPECT_EQ(ui::Application::shared().statusBarOrientation(), 1);
    const gfx::Rect landscape = ads::DZDevice::sharedInstance()->standardizedLandscapeScreenBounds();
    ASSERT_GT(landscape.size.width, landscape.size.height);
    EXPECT_EQ(controller->view()->bounds().size, landscape.size);
    const double d = (landscape.size.width - landscape.size.height) / 2;
    const gfx::AffineTransform turned = controller->view()->transform();
    EXPECT_NEAR(turned.a, 0, 1e-9);
    EXPECT_NEAR(std::abs(turned.b), 1, 1e-9);
    EXPECT_NEAR(turned.tx, -d, 1e-9);
    EXPECT_NEAR(turned.ty, d, 1e-9);
    // The page heard of the forced orientation.
    EXPECT_EQ(controller->adView()->orientation(), 3);
}

TEST_F(DZOverlayPresentersTest, AMixedMaskAllowsEveryOrientationAndTurnsNothing) {
    auto controller = adController(30);
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    settle();
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 30u);
    EXPECT_EQ(controller->forcedAdOrientation(), 0);
    EXPECT_TRUE(controller->view()->transform().isIdentity());

    // The table itself, for every status-bar orientation.
    for (long orientation = 1; orientation <= 4; ++orientation) {
        const auto layout = ads::DZModalOverlayPresenter::forcedLayout(30, orientation);
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->quarterTurns, 0);
    }
    const auto left = ads::DZModalOverlayPresenter::forcedLayout(6, 4);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->forcedOrientation, 1);
    EXPECT_EQ(left->quarterTurns, 1);
    const auto right = ads::DZModalOverlayPresenter::forcedLayout(6, 3);
    ASSERT_TRUE(right);
    EXPECT_EQ(right->quarterTurns, 3);
    EXPECT_FALSE(ads::DZModalOverlayPresenter::forcedLayout(0, 1));
}

TEST_F(DZOverlayPresentersTest, WithTheServerFlagAnAllowedOrientationPresentsNothing) {
    adwebtesting::ConstantsScope constants;
    constants.set("/dozuza/ads/view_controller_only_supports_application_orientation", true);
    auto controller = adController(6);
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(controller->presentedViewController(), nullptr);
    settle();
    EXPECT_EQ(controller->presentedViewController(), nullptr);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 6u);
    EXPECT_EQ(ui::Application::shared().statusBarOrientation(), 1);
    EXPECT_EQ(controller->intermission()->activeParticipantsCount(), 1);
}

TEST_F(DZOverlayPresentersTest, WithTheServerFlagARefusedOrientationTurnsTheInterface) {
    adwebtesting::ConstantsScope constants;
    constants.set("/dozuza/ads/view_controller_only_supports_application_orientation", true);
    auto controller = adController(24);
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    for (int i = 0; i < 4; ++i) settle();
    EXPECT_EQ(ui::Application::shared().statusBarOrientation(), 3);
    EXPECT_EQ(controller->presentedViewController(), nullptr);
    EXPECT_EQ(controller->forcedAdOrientation(), 0);
    EXPECT_EQ(controller->adView()->orientation(), 3);
    // The blank controller came and went inside the one episode.
    EXPECT_EQ(owner->screenEvents, std::vector<std::string>{"present"});
}

class TransparentPresenterTest : public FullScreenTest {
protected:
    void present() {
        controller = std::make_shared<ads::DZViewController>();
        controller->setSlot(slot);
        presenter = std::make_shared<ads::DZTransparentOverlayPresenter>();
        controller->setPresenter(presenter);
        adPart = std::make_shared<ui::View>(gfx::Rect{50, 100, 100, 100});
        controller->view()->addSubview(adPart);
        publisherButton = std::make_shared<ui::Button>(gfx::Rect{0, 0, 120, 18});
        publisherButton->addAction(ui::ControlEvent::TouchUpInside,
                                   [this](ui::Control&) { ++publisherTaps; });
        root->view()->addSubview(publisherButton);
        ASSERT_TRUE(controller->presentFromViewController(root, [this] { ++shown; }));
        settle();
    }
    std::shared_ptr<ads::DZViewController> controller;
    std::shared_ptr<ads::DZTransparentOverlayPresenter> presenter;
    std::shared_ptr<ui::View> adPart;
    std::shared_ptr<ui::Button> publisherButton;
    int publisherTaps = 0;
    int shown = 0;
};

TEST_F(TransparentPresenterTest, TouchesOnTheEmptyOverlayReachThePublisher) {
    present();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(controller->view()->window(), window);
    EXPECT_EQ(controller->view()->superview(), presenter->cropView());
    EXPECT_EQ(presenter->presentationViewController(), root);

    const gfx::Point onAd = adPart->convertPointTo({10, 10}, window.get());
    EXPECT_EQ(window->hitTest(onAd), adPart);
    EXPECT_EQ(window->hitTest({10, 9}), publisherButton);
    ui::TouchInjector(*window).tap({10, 9});
    EXPECT_EQ(publisherTaps, 1);
    EXPECT_EQ(owner->screenEvents, std::vector<std::string>{"present"});

    const auto empty = std::make_shared<ads::DZUnclickableView>(gfx::Rect{0, 0, 10, 10});
    EXPECT_EQ(empty->hitTest({5, 5}), nullptr);
}

TEST_F(TransparentPresenterTest, ThePlacementLeavingItsWindowClosesTheAd) {
    present();
    core::NotificationCenter::defaultCenter().post(ads::DZSlot::kDidLeaveWindowNotification,
                                                   slot.get());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(controller->relinquishCount(), 1);
    settle();
    EXPECT_EQ(presenter->pivotView()->superview(), nullptr);
    EXPECT_EQ(controller->view()->window(), nullptr);
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss"}));

    // Gone from the screen, it no longer listens.
    core::NotificationCenter::defaultCenter().post(ads::DZSlot::kDidLeaveWindowNotification,
                                                   slot.get());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(controller->relinquishCount(), 1);
}

TEST_F(TransparentPresenterTest, FramesAreCentred) {
    EXPECT_EQ(ads::DZTransparentOverlayPresenter::frameWithSize({100, 50}, {10, 20, 300, 150}),
              gfx::Rect(110, 70, 100, 50));
    EXPECT_TRUE(ads::DZTransparentOverlayPresenter::transformForOrientation(3).isIdentity());
}

class DZOverlayProxyTest : public FullScreenTest {};

TEST_F(DZOverlayProxyTest, AControllerHasOneProxyThatTakesPartInTheEpisode) {
    auto sheet = std::make_shared<ui::ViewController>();
    const auto proxy = ads::DZOverlayProxy::create(sheet);
    ASSERT_TRUE(proxy);
    EXPECT_EQ(ads::DZOverlayProxy::create(sheet), nullptr);
    EXPECT_EQ(ads::DZOverlayProxy::overlayProxyForViewController(sheet), proxy);
    EXPECT_FALSE(proxy->shouldDismissOnApplicationEnteringForeground());
    proxy->setSlot(slot);

    int shown = 0;
    ASSERT_TRUE(proxy->presentFromViewController(root, [&] { ++shown; }));
    EXPECT_FALSE(proxy->presentFromViewController(root, [&] { ++shown; }));
    settle();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(owner->screenEvents, std::vector<std::string>{"present"});
    int gone = 0;
    proxy->relinquishScreenWithCompletion([&] { ++gone; });
    settle();
    EXPECT_EQ(gone, 1);
    EXPECT_EQ(proxy->intermission(), nullptr);
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss"}));
}

TEST_F(DZOverlayProxyTest, AFreedControllerEndsItsEpisode) {
    std::weak_ptr<ads::DZOverlayProxy> weakProxy;
    {
        auto alert = std::make_shared<ui::ViewController>();
        auto proxy = ads::DZOverlayProxy::create(alert);
        weakProxy = proxy;
        proxy->setSlot(slot);
        ASSERT_TRUE(proxy->presentFromViewController(root, nullptr));
        settle();
        // The alert closes itself.
        root->dismissViewController(true);
        settle();
    }
    EXPECT_TRUE(weakProxy.expired());
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss"}));
    EXPECT_FALSE(ui::Application::shared().isIdleTimerDisabled());
}

}  // namespace
