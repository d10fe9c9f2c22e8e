// Where a resized banner ad may go: nudged back on screen when it allows no
// off-screen placement, refused when its close region would leave the
// screen, and closed when a rotation leaves it no valid place.

#include "ads/presentation/click/DZMRAIDResizeOverlayPresenter.h"

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "DeviceSignalsTesting.h"
#include "ads/core/slot/DZMRAIDEventHandling.h"
#include "ads/presentation/fullscreen/DZUnclickableView.h"
#include "ads/presentation/fullscreen/DZViewController.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/InterfaceOrientation.h"
#include "ui/View.h"
#include "ui/Window.h"

namespace {

using ads::DZMRAIDResizeOverlayPresenter;
using ads::DZMRAIDResizeProperties;

class RecordingHandler : public ads::DZMRAIDEventHandling {
public:
    void MRAIDAdDidLoad() override {}
    void MRAIDAdDidUnload() override {}
    void updateVisibility(bool) override {}
    void updatePositionFromView(const ui::View*) override {}
    void notifyOrientationToMRAIDCreative() override {}
    void handleError(const std::string& message, const std::string& action) override {
        errors.push_back(action + ": " + message);
    }
    std::vector<std::string> errors;
};

std::shared_ptr<DZMRAIDResizeProperties> properties(gfx::Rect frame, bool allowOffscreen,
                                                    std::int64_t closePosition) {
    auto p = std::make_shared<DZMRAIDResizeProperties>();
    p->setOffset({frame.origin.x, frame.origin.y});
    p->setSize(frame.size);
    p->setAllowOffscreen(allowOffscreen);
    p->setCustomClosePosition(closePosition);
    return p;
}

class DZMRAIDResizeOverlayPresenterTest : public testing::Test {
protected:
    void SetUp() override {
        window->makeKeyAndVisible();
        screen = ui::Application::shared().applicationFrame();
        // A 320 x 50 banner's container at the bottom of the screen.
        container->setFrame({0, screen.maxY() - 50, 320, 50});
        window->addSubview(container);
        presenter->setMRAIDEventHandler(handler);
    }

    std::shared_ptr<ui::Window> window =
        std::make_shared<ui::Window>(ui::DeviceProfile::current().screenBounds());
    std::shared_ptr<ui::View> container = std::make_shared<ui::View>();
    std::shared_ptr<RecordingHandler> handler = std::make_shared<RecordingHandler>();
    std::shared_ptr<DZMRAIDResizeOverlayPresenter> presenter =
        std::make_shared<DZMRAIDResizeOverlayPresenter>(container);
    gfx::Rect screen;
};

TEST_F(DZMRAIDResizeOverlayPresenterTest, ARequestBelowTheScreenMovesUpIntoIt) {
    const auto request = properties({0, 0, 320, 250}, false, 0);
    EXPECT_TRUE(presenter->resizePropertiesAreValid(request, container.get()));
    presenter->setResizeProperties(request);
    EXPECT_EQ(presenter->resizeProperties(), request);
    EXPECT_TRUE(handler->errors.empty());

    const auto crop = std::make_shared<ads::DZUnclickableView>(screen);
    window->addSubview(crop);
    presenter->setCropView(crop);
    // The bottom edge meets the screen's.
    EXPECT_EQ(presenter->contentFrame(), gfx::Rect(0, screen.height() - 250, 320, 250));
}

TEST_F(DZMRAIDResizeOverlayPresenterTest, OffscreenRequestsNeedTheirCloseRegionOnScreen) {
    const auto closeBelow = properties({0, 0, 320, 250}, true, 4);
    presenter->setResizeProperties(closeBelow);
    EXPECT_EQ(presenter->resizeProperties(), nullptr);
    ASSERT_EQ(handler->errors.size(), 1u);
    EXPECT_EQ(handler->errors[0], "setResizeProperties: Received invalid resize properties " +
                                      DZMRAIDResizeOverlayPresenter::describe(*closeBelow));

    const auto closeAbove = properties({0, 0, 320, 250}, true, 0);
    presenter->setResizeProperties(closeAbove);
    EXPECT_EQ(presenter->resizeProperties(), closeAbove);
    EXPECT_EQ(handler->errors.size(), 1u);
    const auto crop = std::make_shared<ads::DZUnclickableView>(screen);
    window->addSubview(crop);
    presenter->setCropView(crop);
    EXPECT_EQ(presenter->contentFrame(), gfx::Rect(0, screen.height() - 50, 320, 250))
        << "placed partly off screen as asked";
}

TEST_F(DZMRAIDResizeOverlayPresenterTest, TooWideIsRejectedAfterTheNudge) {
    const gfx::Rect wide(-20, -100, screen.width() + 40, 100);
    EXPECT_EQ(DZMRAIDResizeOverlayPresenter::adjustedContentFrame(wide, screen).origin.x,
              screen.minX());
    presenter->setResizeProperties(properties(wide, false, 0));
    EXPECT_EQ(presenter->resizeProperties(), nullptr);
    EXPECT_EQ(handler->errors.size(), 1u);
    EXPECT_FALSE(presenter->isReadyToPresent()) << "nothing valid to show";
}

TEST(DZMRAIDResizeOverlayPresenterNudge, EdgesMoveInOrder) {
    const gfx::Rect bounds(0, 0, 100, 100);
    EXPECT_EQ(DZMRAIDResizeOverlayPresenter::adjustedContentFrame({-10, 90, 20, 20}, bounds),
              gfx::Rect(0, 80, 20, 20));
    EXPECT_EQ(DZMRAIDResizeOverlayPresenter::adjustedContentFrame({95, -5, 20, 20}, bounds),
              gfx::Rect(80, 0, 20, 20));
    EXPECT_EQ(DZMRAIDResizeOverlayPresenter::adjustedContentFrame({10, 10, 20, 20}, bounds),
              gfx::Rect(10, 10, 20, 20));
    EXPECT_EQ(DZMRAIDResizeOverlayPresenter::adjustedContentFrame({50, 50, 150, 150}, bounds),
              gfx::Rect(0, 0, 150, 150));
}

TEST_F(DZMRAIDResizeOverlayPresenterTest, ARotationWithoutRoomClosesTheAd) {
    testsupport::ManualClockScope clock;
    // Composed in the window as a presentation does: pivot, crop, the ad.
    const auto crop = std::make_shared<ads::DZUnclickableView>(screen);
    window->addSubview(presenter->pivotView());
    presenter->setCropView(crop);
    const auto controller = std::make_shared<ads::DZViewController>();
    controller->setPresenter(presenter);
    presenter->setPresentedViewController(controller);
    crop->addSubview(controller->view());
    presenter->setResizeProperties(properties({0, -200, 320, 250}, true, 0));
    ASSERT_TRUE(presenter->resizeProperties());
    presenter->composeTransparentInterstitialViewsForPresentation();
    EXPECT_EQ(controller->view()->frame(), presenter->contentFrame());
    EXPECT_EQ(controller->view()->autoresizingMask(), 0u);

    // A turn to landscape leaves the close region below the shorter screen.
    ui::DeviceProfile turned = ui::DeviceProfile::current();
    turned.interfaceOrientation = ui::kOrientationLandscapeRight;
    turned.screenSize = {turned.screenSize.height, turned.screenSize.width};
    const testsupport::DeviceProfileOverride landscape(turned);
    presenter->updateTransparentInterstitialOrientation();
    ASSERT_GT(crop->frame().width(), crop->frame().height());
    EXPECT_TRUE(handler->errors.empty()) << "the frame moved; checked again later";
    clock.advance(0.1);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    ASSERT_EQ(handler->errors.size(), 1u);
    EXPECT_EQ(handler->errors[0],
              "resize: Resize properties became invalid after device rotation.");
    EXPECT_EQ(controller->relinquishCount(), 1);
}

}  // namespace
