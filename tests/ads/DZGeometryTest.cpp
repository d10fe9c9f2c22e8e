#include <gtest/gtest.h>

#include "ads/foundation/DZColorUtilities.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/foundation/DZViewUtilities.h"
#include "core/UserDefaults.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Window.h"

using namespace ads;

namespace {

// A shown window of the screen's size in an active application.
class VisibleWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().becomeActive();
        window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
        window->makeKeyAndVisible();
    }
    void TearDown() override { ui::Application::shared().resetForTesting(); }

    std::shared_ptr<ui::View> add(const std::shared_ptr<ui::View>& parent, gfx::Rect frame) {
        auto view = std::make_shared<ui::View>(frame);
        parent->addSubview(view);
        return view;
    }

    std::shared_ptr<ui::Window> window;
};

class OldSystem {
public:
    OldSystem() : saved_(ui::DeviceProfile::current()) {
        ui::DeviceProfile old = saved_;
        old.systemVersion = "7.1";
        ui::DeviceProfile::overrideForTesting(old);
    }
    ~OldSystem() { ui::DeviceProfile::overrideForTesting(saved_); }

private:
    ui::DeviceProfile saved_;
};

}  // namespace

TEST(DZOrientation, MasksAndCodes) {
    EXPECT_EQ(DZOrientationCodeForMask(30), "any");
    EXPECT_EQ(DZOrientationCodeForMask(24), "l");
    EXPECT_EQ(DZOrientationCodeForMask(8), "l");
    EXPECT_EQ(DZOrientationCodeForMask(6), "p");
    EXPECT_EQ(DZOrientationCodeForMask(2), "p");
    EXPECT_EQ(DZOrientationCodeForMask(4), std::nullopt);
    EXPECT_EQ(DZOrientationCodeForMask(0), std::nullopt);
    EXPECT_EQ(DZOrientationCodeForMask(20), "any");

    EXPECT_EQ(DZOrientationCodeForOrientation(1), "p");
    EXPECT_EQ(DZOrientationCodeForOrientation(2), "p");
    EXPECT_EQ(DZOrientationCodeForOrientation(3), "l");
    EXPECT_EQ(DZOrientationCodeForOrientation(4), "l");
    EXPECT_EQ(DZOrientationCodeForOrientation(0), std::nullopt);
    EXPECT_EQ(DZOrientationCodeForOrientation(5), std::nullopt);

    EXPECT_EQ(DZInterfaceOrientationMaskFromString("any"), 30u);
    EXPECT_EQ(DZInterfaceOrientationMaskFromString("portrait"), 6u);
    EXPECT_EQ(DZInterfaceOrientationMaskFromString("landscape"), 24u);
    EXPECT_EQ(DZInterfaceOrientationMaskFromString("Portrait"), 0u);
    EXPECT_EQ(DZInterfaceOrientationMaskFromString(""), 0u);
    EXPECT_EQ(DZInterfaceOrientationMaskFromString(std::nullopt), 0u);

    for (long orientation = 1; orientation <= 4; ++orientation) {
        const auto mask = DZInterfaceOrientationMaskForOrientation(orientation);
        EXPECT_EQ(mask, 1u << orientation);
        EXPECT_TRUE(DZOrientationMaskContainsOrientation(30, orientation));
        EXPECT_EQ(DZOrientationMaskContainsOrientation(6, orientation), orientation <= 2);
    }
    EXPECT_EQ(DZInterfaceOrientationMaskForOrientation(-1), 0u);
    EXPECT_EQ(DZInterfaceOrientationMaskForOrientation(64), 0u);
    EXPECT_TRUE(DZOrientationMaskHasPortraitAndLandscape(4 | 16));
    EXPECT_FALSE(DZOrientationMaskHasPortraitAndLandscape(24));
    EXPECT_FALSE(DZOrientationMaskHasPortraitAndLandscape(6));
}

TEST(DZOrientation, SplitScreenAndTheStoredOrientationFlag) {
    EXPECT_FALSE(DZIsSplitScreenEnabled());
    DZSetSplitScreenProvider([] { return true; });
    EXPECT_TRUE(DZIsSplitScreenEnabled());
    DZSetSplitScreenProvider({});

    const std::string key = "/dozuza/ads/view_controller_only_supports_application_orientation";
    EXPECT_FALSE(DZViewControllerOnlySupportsApplicationOrientation());
    core::UserDefaults::standard()->setBool(key, true);
    EXPECT_TRUE(DZViewControllerOnlySupportsApplicationOrientation());
    core::UserDefaults::standard()->removeObjectForKey(key);
}

TEST(DZGeometry, RectAndSizeDictionaries) {
    const core::Dictionary rect = DZDictionaryWithRect({1.5, 2, 30, 40});
    EXPECT_EQ(rect.keys(), (std::vector<std::string>{"x", "y", "width", "height"}));
    EXPECT_TRUE(rect["x"].isDouble());
    EXPECT_EQ(rect["x"].doubleValue(), 1.5);
    EXPECT_EQ(rect["height"].doubleValue(), 40);
    const core::Dictionary size = DZDictionaryWithSize({3, 4});
    EXPECT_EQ(size.keys(), (std::vector<std::string>{"width", "height"}));
    EXPECT_TRUE(size["width"].isDouble());
}

TEST(DZGeometry, OrientedCoordinatesBeforeEightOnly) {
    const gfx::Rect screen(0, 0, 320, 480);
    const gfx::Rect rect(10, 20, 100, 50);  // top 20, bottom 410, left 10, right 210
    EXPECT_EQ(DZRectInOrientedCoordinates(3, rect, screen), rect);
    OldSystem old;
    EXPECT_EQ(DZRectInOrientedCoordinates(1, rect, screen), rect);
    EXPECT_EQ(DZRectInOrientedCoordinates(2, rect, screen), gfx::Rect(210, 410, 100, 50));
    EXPECT_EQ(DZRectInOrientedCoordinates(3, rect, screen), gfx::Rect(20, 210, 50, 100));
    EXPECT_EQ(DZRectInOrientedCoordinates(4, rect, screen), gfx::Rect(410, 10, 50, 100));
    EXPECT_EQ(DZRectInOrientedCoordinates(9, rect, screen), rect);
}

TEST_F(VisibleWindow, VisibleFrameIsClippedByClippingAncestorsOnly) {
    auto clipper = add(window, {50, 50, 100, 100});
    clipper->setClipsToBounds(true);
    auto loose = add(clipper, {0, 0, 80, 80});  // does not clip
    auto view = add(loose, {60, 60, 100, 100});
    EXPECT_EQ(DZVisibleFrameOfView(view.get()), gfx::Rect(110, 110, 40, 40));
    EXPECT_EQ(DZFrameInWindow(view.get()), gfx::Rect(0, 0, 40, 40));

    // Half off the window's left edge.
    auto edge = add(window, {-50, 10, 100, 20});
    EXPECT_EQ(DZVisibleFrameOfView(edge.get()), gfx::Rect(0, 10, 50, 20));
    EXPECT_EQ(DZFrameInWindow(edge.get()), gfx::Rect(50, 0, 50, 20));

    EXPECT_EQ(DZVisibleFrameOfView(nullptr), gfx::Rect());
    EXPECT_EQ(DZFrameInWindow(nullptr), gfx::Rect());
}

TEST_F(VisibleWindow, NothingIsVisibleWhenHiddenOffScreenOrInactive) {
    auto parent = add(window, {0, 0, 100, 100});
    auto view = add(parent, {10, 10, 20, 20});
    ASSERT_FALSE(DZVisibleFrameOfView(view.get()).isEmpty());

    parent->setHidden(true);
    EXPECT_EQ(DZVisibleFrameOfView(view.get()), gfx::Rect());
    parent->setHidden(false);

    auto offscreen = add(window, {400, 0, 100, 100});
    offscreen->setClipsToBounds(true);
    auto inside = add(offscreen, {0, 0, 2000, 50});  // reaches back over the window
    EXPECT_EQ(DZVisibleFrameOfView(inside.get()), gfx::Rect());

    auto detached = std::make_shared<ui::View>(gfx::Rect(0, 0, 10, 10));
    EXPECT_EQ(DZVisibleFrameOfView(detached.get()), gfx::Rect());

    ui::Application::shared().resignActive();
    EXPECT_EQ(DZVisibleFrameOfView(view.get()), gfx::Rect());
    ui::Application::shared().becomeActive();
    window->setHidden(true);
    EXPECT_EQ(DZVisibleFrameOfView(view.get()), gfx::Rect());
}

TEST_F(VisibleWindow, PositionOnScreenReportsPartlyVisibleViews) {
    ui::DeviceProfile screen;
    screen.screenSize = {320, 480};
    screen.statusBarHeight = 20;
    auto parent = add(window, {10, 20, 200, 200});
    auto view = add(parent, {-60, 5, 100, 50});  // half off the left edge
    auto position = DZViewUtilities::positionOfView(view.get(), screen);
    ASSERT_TRUE(position);
    EXPECT_EQ((*position)["x"].doubleValue(), -50);
    EXPECT_EQ((*position)["y"].doubleValue(), 25);
    EXPECT_EQ((*position)["width"].doubleValue(), 100);
    EXPECT_TRUE((*position)["visible"].isInteger());
    EXPECT_EQ((*position)["visible"].intValue(), 1);

    view->setFrame({-300, 5, 100, 50});
    EXPECT_EQ((*DZViewUtilities::positionOfView(view.get(), screen))["visible"].intValue(), 0);
    view->setFrame({0, 445, 100, 50});  // y 465, below the application frame's 460
    EXPECT_EQ((*DZViewUtilities::positionOfView(view.get(), screen))["visible"].intValue(), 0);
    view->setFrame({0, 0, 100, 50});
    view->setHidden(true);
    EXPECT_EQ((*DZViewUtilities::positionOfView(view.get(), screen))["visible"].intValue(), 0);

    EXPECT_FALSE(DZViewUtilities::positionOfView(window.get(), screen));
    auto loose = std::make_shared<ui::View>();
    auto child = add(loose, {0, 0, 1, 1});
    EXPECT_FALSE(DZViewUtilities::positionOfView(child.get(), screen));
    EXPECT_FALSE(DZViewUtilities::positionOfView(nullptr, screen));
}

TEST(DZColorUtilities, HexTextAndValues) {
    EXPECT_EQ(DZColorFromHexString("  #FF0000"), (gfx::Color{1, 0, 0, 1}));
    EXPECT_EQ(DZColorFromHexString("\n#00ff80zz"), (gfx::Color{0, 1, 128 / 255.0, 1}));
    EXPECT_EQ(DZColorFromHexString("zz"), std::nullopt);
    EXPECT_EQ(DZColorFromHexString("#"), std::nullopt);
    EXPECT_EQ(DZColorFromHexString(std::nullopt), std::nullopt);
    // Only the low 32 bits of a long run count; the top byte is ignored.
    EXPECT_EQ(DZColorFromHexString("123456789ABCDEF0"), DZColorFromRGBValue(0x9ABCDEF0));
    EXPECT_EQ(DZColorFromRGBValue(0xAB102030),
              (gfx::Color{0x10 / 255.0, 0x20 / 255.0, 0x30 / 255.0, 1}));

    EXPECT_EQ(DZRGBAValueOfColor(gfx::Color{1, 0, 0.5, 1}), 0xFF007FFFu);
    EXPECT_EQ(DZRGBAValueOfColor(DZColorFromRGBValue(0x123456)), 0x123456FFu);
    EXPECT_EQ(DZRGBAValueOfColor(gfx::Color{2, -1, 0, 0}), 0xFF000000u);
    EXPECT_EQ(DZRGBAValueOfColor(std::nullopt), 0u);
}
