#include <gtest/gtest.h>

#include "app/testvc.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Window.h"

namespace {

TEST(testvcTest, TheRedBandFollowsTheSafeAreaTopFromSystem11On) {
    testsupport::ManualClockScope clock;
    ASSERT_TRUE(ui::DeviceProfile::select("phone-x"));
    const ui::DeviceProfile phoneX = ui::DeviceProfile::current();
    for (const auto& [version, top] : {std::pair{"12.4", 44.0}, std::pair{"10.3", 0.0}}) {
        ui::DeviceProfile profile = phoneX;
        profile.systemVersion = version;
        ui::DeviceProfile::overrideForTesting(profile);
        auto screen = std::make_shared<app::testvc>();
        auto window = std::make_shared<ui::Window>();
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
        window->layoutTree();

        EXPECT_EQ(screen->view()->backgroundColor(), gfx::Color::white());
        ASSERT_EQ(screen->view()->subviews().size(), 1u);
        EXPECT_EQ(screen->band()->backgroundColor(), (gfx::Color{1, 0, 0, 1}));
        EXPECT_EQ(screen->band()->frame(), gfx::Rect(0, top, 375, 100)) << version;
        ui::Application::shared().resetForTesting();
    }
    (void)ui::DeviceProfile::select("phone");
}

}  // namespace
