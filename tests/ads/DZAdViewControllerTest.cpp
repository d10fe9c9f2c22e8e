// The banner container on the manual clock: when its banner is made, the
// slide constants at the bottom and the top with the frames they give,
// hiding and showing, the swipe's five-second pause driven by injected
// touches, rotation to the landscape smart banner, and the publisher
// banner that a publisher request brings.

#include "ads/presentation/banner/DZAdViewController.h"

#include "SlotTesting.h"
#include "ads/core/request/ZODRequest.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/ZODBannerView.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/GestureRecognizer.h"
#include "ui/InterfaceOrientation.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

namespace {

using namespace slottesting;
using ads::DZAdViewController;
using ads::DZSlot;

class DZAdViewControllerTest : public testing::Test {
protected:
    void TearDown() override {
        window->setRootViewController(nullptr);
        controller.reset();
        ui::Application::shared().resetForTesting();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }
    [[nodiscard]] static std::shared_ptr<ads::DZRequest> inlineRequest() {
        return requestWithExtras({{"_ad", inlineAd()}});
    }
    // A controller in the window with a banner loading an inline ad.
    [[nodiscard]] bool
    showController(const ads::DZAdSize& size = ads::kDZAdSizeSmartBannerPortrait) {
        controller->setAdSize(size);
        controller->setRequest(inlineRequest());
        controller->setAdViewAdUnitID("unit/container");
        window->setRootViewController(controller);
        window->makeKeyAndVisible();
        controller->view()->layoutIfNeeded();
        return controller->bannerView() != nullptr;
    }
    [[nodiscard]] gfx::Rect bannerFrame() const { return controller->bannerView()->frame(); }
    [[nodiscard]] gfx::Rect contentFrame() const {
        return controller->originalContentView()->frame();
    }
    [[nodiscard]] gfx::Rect laidOutBanner() const {
        controller->view()->layoutIfNeeded();
        return bannerFrame();
    }
    [[nodiscard]] double bottom() const { return controller->view()->bounds().maxY(); }
    [[nodiscard]] double guideBottom() const {
        return controller->topLayoutGuide()->frame().maxY();
    }
    [[nodiscard]] double bannerHeight() const { return bannerFrame().height(); }
    [[nodiscard]] double verticalConstant() const {
        return controller->bannerPositionConstraintVertical()->constant();
    }
    // Waits for the banner's slot to end a load with a valid ad.
    [[nodiscard]] bool waitForAd() const {
        return waitFor([&] {
            return controller->bannerView()->slot()->state() == DZSlot::kValidAd &&
                   controller->hasReceivedValidAd();
        });
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<ui::Window> window =
        std::make_shared<ui::Window>(ui::DeviceProfile::current().screenBounds());
    std::shared_ptr<DZAdViewController> controller = std::make_shared<DZAdViewController>();
};

TEST_F(DZAdViewControllerTest, TheBannerComesWithALoadedViewAndAnAdUnitAndHidesUntilItsAd) {
    controller->setRequest(inlineRequest());
    controller->setAdViewAdUnitID("");
    controller->setAdViewAdUnitID("unit/container");
    EXPECT_FALSE(controller->bannerView()) << "no view loaded yet";
    // Loading the view makes the banner, which starts loading.
    window->setRootViewController(controller);
    window->makeKeyAndVisible();
    const auto banner = controller->bannerView();
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->className(), "DZBannerView");
    EXPECT_TRUE(banner->slot()->loadingRequest());

    // Until its ad the banner waits just below the screen; the content fills it.
    const double height = bannerHeight();
    ASSERT_GT(height, 0);
    EXPECT_EQ(laidOutBanner().minY(), bottom());
    EXPECT_EQ(contentFrame().minY(), guideBottom());
    EXPECT_EQ(contentFrame().maxY(), bottom());

    // The ad slides it in at once (the animation's end state); the content
    // gives up the banner's height.
    ASSERT_TRUE(waitForAd());
    EXPECT_EQ(bannerFrame().maxY(), bottom());
    EXPECT_EQ(contentFrame().maxY(), bottom() - height);

    // A content view of the publisher's is wrapped in the same container.
    auto other = std::make_shared<DZAdViewController>();
    auto content = std::make_shared<ui::View>();
    other->setView(content);
    EXPECT_EQ(other->view(), other->contentView());
    EXPECT_EQ(content->superview(), other->contentView());
}

TEST_F(DZAdViewControllerTest, SlideConstantsAtTheBottomAndTheTop) {
    ASSERT_TRUE(showController(ads::kDZAdSizeBanner));
    const double height = bannerHeight();
    const double width = controller->view()->bounds().width();
    EXPECT_EQ(height, 50);
    // Bottom, hidden and shown.
    EXPECT_EQ(controller->bottomConstraint()->constant(), 0);
    EXPECT_EQ(verticalConstant(), height);
    EXPECT_EQ(laidOutBanner().minX(), (width - 320) / 2);
    controller->adViewDidReceiveAd(*controller->bannerView());
    EXPECT_EQ(controller->bottomConstraint()->constant(), -height);
    EXPECT_EQ(verticalConstant(), 0);
    EXPECT_EQ(bannerFrame().maxY(), bottom()) << "laid out by the animation block";

    // Moving to the top happens without animation and keeps it shown,
    // since an ad has arrived.
    controller->setAdViewPositionVertical(DZAdViewController::kPositionTop);
    EXPECT_EQ(bannerFrame().maxY(), bottom()) << "not laid out yet";
    EXPECT_EQ(controller->topConstraint()->constant(), height);
    EXPECT_EQ(verticalConstant(), 0);
    EXPECT_EQ(laidOutBanner().minY(), guideBottom());
    EXPECT_EQ(contentFrame().minY(), guideBottom() + height);
    EXPECT_EQ(contentFrame().maxY(), bottom());

    // Against the trailing edge; a position that means nothing keeps it.
    controller->setAdViewPositionHorizontal(DZAdViewController::kPositionTrailing);
    controller->setAdViewPositionHorizontal(7);
    EXPECT_EQ(laidOutBanner().maxX(), width);

    // A controller at the top without an ad keeps it 20 points above the screen.
    window->setRootViewController(nullptr);
    controller = std::make_shared<DZAdViewController>();
    controller->setAdViewPositionVertical(DZAdViewController::kPositionTop);
    ASSERT_TRUE(showController(ads::kDZAdSizeBanner));
    EXPECT_EQ(verticalConstant(), -20 - height);
    EXPECT_EQ(controller->topConstraint()->constant(), 0);
    EXPECT_EQ(laidOutBanner().maxY(), guideBottom() - 20);
    EXPECT_EQ(contentFrame().minY(), guideBottom());
    controller->adViewDidReceiveAd(*controller->bannerView());
    EXPECT_EQ(verticalConstant(), 0);
    EXPECT_EQ(controller->topConstraint()->constant(), height);
}

TEST_F(DZAdViewControllerTest, ShowingAHiddenAdLoadsANewOneAndWaitsForIt) {
    ASSERT_TRUE(showController());
    ASSERT_TRUE(waitForAd());
    const auto banner = controller->bannerView();
    const double height = bannerHeight();
    const auto firstLoad = banner->slot()->loadingRequest();

    controller->setAdViewHidden(true);
    EXPECT_TRUE(banner->isHidden());
    // A new ad arriving while hidden leaves it out of sight.
    controller->adViewDidReceiveAd(*banner);
    EXPECT_EQ(verticalConstant(), height);

    controller->setAdViewHidden(false);
    EXPECT_FALSE(banner->isHidden());
    EXPECT_NE(banner->slot()->loadingRequest(), firstLoad) << "a new load";
    EXPECT_EQ(verticalConstant(), height) << "back only with the new ad";
    EXPECT_TRUE(waitFor([&] { return verticalConstant() == 0; }));
}

TEST_F(DZAdViewControllerTest, ASwipePausesTheBannerForFiveSecondsAndASecondSwipeDoesNothing) {
    controller->setAllowsHidingAds(true);
    ASSERT_TRUE(showController());
    const auto banner = controller->bannerView();
    ASSERT_TRUE(waitForAd());
    const double height = bannerHeight();
    const gfx::Rect shown = laidOutBanner();
    const auto firstLoad = banner->slot()->loadingRequest();
    ui::TouchInjector fingers{*window};
    const auto swipe = [&] {
        fingers.fling({shown.minX() + 20, shown.midY()}, {shown.minX() + 200, shown.midY()}, 0.1,
                      5);
    };

    swipe();
    EXPECT_EQ(verticalConstant(), height);
    clock.advance(2);
    swipe();  // during the pause: nothing
    clock.advance(2.7);
    EXPECT_EQ(banner->slot()->loadingRequest(), firstLoad) << "still paused";
    EXPECT_TRUE(controller->handlingSwipe());
    clock.advance(0.3);  // five seconds after the first swipe
    ASSERT_TRUE(waitFor([&] { return !controller->handlingSwipe(); }));
    const auto reload = banner->slot()->loadingRequest();
    EXPECT_NE(reload, firstLoad);
    ASSERT_TRUE(waitFor([&] { return verticalConstant() == 0; })) << "back with the next ad";
    // The second swipe scheduled no load of its own.
    clock.advance(3);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(banner->slot()->loadingRequest(), reload);
}

TEST_F(DZAdViewControllerTest, TurningToLandscapeHidesTheBannerAndGivesItTheLandscapeSize) {
    ASSERT_TRUE(showController());
    ASSERT_TRUE(waitForAd());
    const double height = bannerHeight();
    ASSERT_EQ(verticalConstant(), 0);
    ui::Application::shared().rotateInterface(ui::kOrientationLandscapeRight);
    EXPECT_TRUE(ads::DZAdSizesEqual(controller->bannerView()->adSize(),
                                    ads::kDZAdSizeSmartBannerLandscape));
    EXPECT_EQ(verticalConstant(), height);
    // Between the two landscapes nothing is hidden again.
    controller->adViewDidReceiveAd(*controller->bannerView());
    ui::Application::shared().rotateInterface(ui::kOrientationLandscapeLeft);
    EXPECT_EQ(verticalConstant(), 0);
    ui::Application::shared().rotateInterface(ui::kOrientationPortrait);
    EXPECT_TRUE(
        ads::DZAdSizesEqual(controller->bannerView()->adSize(), ads::kDZAdSizeSmartBannerPortrait));
}

TEST_F(DZAdViewControllerTest, APublisherRequestBringsAPublisherBannerThatStays) {
    controller->setAllowsHidingAds(true);
    ASSERT_TRUE(showController());
    const auto plain = controller->bannerView();
    auto publisherRequest = ads::ZODRequest::request();
    publisherRequest->registerAdNetworkExtras(
        std::make_shared<ads::DZExtras>(core::Dictionary{{"_ad", inlineAd()}}));
    controller->setRequest(publisherRequest);
    const auto publisher = controller->bannerView();
    ASSERT_TRUE(publisher);
    EXPECT_TRUE(std::dynamic_pointer_cast<ads::ZODBannerView>(publisher));
    EXPECT_FALSE(plain->superview());
    // The swipe goes with the banner on screen.
    EXPECT_TRUE(plain->gestureRecognizers().empty());
    ASSERT_EQ(publisher->gestureRecognizers().size(), 1u);
    EXPECT_EQ(publisher->gestureRecognizers()[0], controller->swipeRecognizer());
    EXPECT_EQ(laidOutBanner().minY(), bottom());
    // A plain request again keeps the publisher banner.
    controller->setRequest(inlineRequest());
    EXPECT_EQ(controller->bannerView(), publisher);
}

}  // namespace
