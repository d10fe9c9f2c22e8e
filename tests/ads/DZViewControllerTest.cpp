#include <gtest/gtest.h>

#include <memory>

#include "FullScreenTesting.h"
#include "LogCapture.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/presentation/fullscreen/DZIntermission.h"
#include "ads/presentation/fullscreen/DZModalOverlayPresenter.h"
#include "ads/presentation/fullscreen/DZViewController.h"

namespace {

using fullscreentesting::drainMainQueue;
using fullscreentesting::EpisodeNotifications;
using fullscreentesting::FullScreenTest;

class DZViewControllerTest : public FullScreenTest {
protected:
    std::shared_ptr<ads::DZViewController> make() {
        auto controller = std::make_shared<ads::DZViewController>();
        controller->setSlot(slot);
        return controller;
    }
};

TEST_F(DZViewControllerTest, PresentsThroughTheModalPresenterAndGivesTheScreenBack) {
    EpisodeNotifications notifications;
    auto& application = ui::Application::shared();
    application.setIdleTimerDisabled(false);
    application.setStatusBarHidden(false);
    std::weak_ptr<ads::DZViewController> weak;
    int shown = 0;
    int dismissed = 0;
    {
        auto controller = make();
        weak = controller;
        controller->setDismissalCompletion([&] { ++dismissed; });
        EXPECT_EQ(controller->supportedInterfaceOrientations(), 30u);
        ASSERT_TRUE(controller->presentFromViewController(root, [&] { ++shown; }));
        EXPECT_TRUE(std::dynamic_pointer_cast<ads::DZModalOverlayPresenter>(controller->presenter()));
        EXPECT_EQ(root->presentedViewController(), controller);
        EXPECT_EQ(slot->intermission(), controller->intermission());
        EXPECT_FALSE(controller->view()->isUserInteractionEnabled());
        EXPECT_TRUE(application.isIdleTimerDisabled());
        EXPECT_TRUE(application.isStatusBarHidden());
    }
    // It keeps itself alive while on screen.
    ASSERT_FALSE(weak.expired());
    settle();
    EXPECT_EQ(shown, 1);
    const auto controller = weak.lock();
    EXPECT_TRUE(controller->view()->isUserInteractionEnabled());
    EXPECT_EQ(notifications.willPresent, 1);

    controller->relinquishScreenWithCompletion(nullptr);
    EXPECT_FALSE(controller->retainsItself());
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss"}));
    EXPECT_FALSE(application.isIdleTimerDisabled());
    EXPECT_FALSE(application.isStatusBarHidden());
    settle();
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss"}));
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(controller->intermission(), nullptr);
    EXPECT_EQ(notifications.didDismiss, 1);
    EXPECT_EQ(dismissed, 1);
}

TEST_F(DZViewControllerTest, ARefusedPresentationLeavesNothingBehind) {
    EpisodeNotifications notifications;
    auto& application = ui::Application::shared();
    application.setIdleTimerDisabled(false);
    int shown = 0;

    // The publisher's controller already presents another one.
    auto other = std::make_shared<ui::ViewController>();
    ASSERT_TRUE(root->presentViewController(other, false));
    std::weak_ptr<ads::DZViewController> weak;
    {
        auto controller = make();
        weak = controller;
        EXPECT_FALSE(controller->presentFromViewController(root, [&] { ++shown; }));
        EXPECT_EQ(controller->intermission(), nullptr);
        EXPECT_TRUE(controller->view()->isUserInteractionEnabled());
    }
    EXPECT_TRUE(weak.expired());

    // A presenting controller whose view is in no window.
    auto detached = std::make_shared<ui::ViewController>();
    (void)detached->view();
    auto controller = make();
    EXPECT_FALSE(controller->presentFromViewController(detached, [&] { ++shown; }));
    EXPECT_FALSE(controller->retainsItself());

    // No presenting controller at all.
    adtesting::LogCapture capture;
    EXPECT_FALSE(controller->presentFromViewController(nullptr, [&] { ++shown; }));
    ads::DZLogger::sharedInstance().waitForLogging();
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"<Dozuza> No UIViewController supplied to the ad. "
                                       "Cannot continue."});
    settle();
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(slot->intermission(), nullptr);
    EXPECT_EQ(notifications.willPresent, 0);
    EXPECT_TRUE(owner->screenEvents.empty());
    EXPECT_FALSE(application.isIdleTimerDisabled());
}

TEST_F(DZViewControllerTest, APresenterThatIsNotReadyMakesPresentationANoOp) {
    auto controller = make();
    auto presenter = std::make_shared<ads::DZModalOverlayPresenter>();
    controller->setPresenter(presenter);
    EXPECT_EQ(presenter->presentedViewController(), controller);
    presenter->setPresentedViewController(nullptr);
    EXPECT_FALSE(controller->presentFromViewController(root, nullptr));
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_TRUE(owner->screenEvents.empty());
}

TEST_F(DZViewControllerTest, ADismissalStartedByThePlatformEndsTheSameWay) {
    auto controller = make();
    ASSERT_TRUE(controller->presentFromViewController(root, nullptr));
    settle();
    root->dismissViewController(true);
    settle();
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss"}));
    EXPECT_EQ(controller->intermission(), nullptr);

    // A controller presented by other means joins when it appears.
    auto plain = make();
    ASSERT_TRUE(root->presentViewController(plain, false));
    EXPECT_NE(plain->intermission(), nullptr);
    ASSERT_FALSE(owner->screenEvents.empty());
    EXPECT_EQ(owner->screenEvents.back(), "present");
}

TEST_F(DZViewControllerTest, AZeroOrientationMaskIsIgnored) {
    auto controller = make();
    controller->setSupportedOrientations(24);
    controller->setSupportedOrientations(0);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 24u);
    controller->setSupportedInterfaceOrientations(0);
    EXPECT_EQ(controller->supportedInterfaceOrientations(), 0u);
}

TEST_F(DZViewControllerTest, TheDismissalTimeIsRecordedAndPairedWithTheClickTime) {
    ASSERT_TRUE(loadAd("<p>ad</p>"));
    const auto statistics = slot->ad()->statistics();
    make().reset();
    EXPECT_FALSE(statistics->objectForKeyedSubscript("tlanding_page_load_dismiss").isNull());
    EXPECT_TRUE(statistics->objectForKeyedSubscript("tclick").isNull());

    statistics->setObject(core::Value(1234), "tclickcurr", false);
    make().reset();
    const core::Value pairs = statistics->objectForKeyedSubscript("tclick");
    ASSERT_TRUE(pairs.array());
    ASSERT_EQ(pairs.array()->size(), 1u);
    const core::Value& pair = (*pairs.array())[0];
    ASSERT_TRUE(pair.array());
    EXPECT_EQ((*pair.array())[0], core::Value(1234));
    EXPECT_EQ((*pair.array())[1], statistics->objectForKeyedSubscript("tlanding_page_load_dismiss"));
}

}  // namespace
