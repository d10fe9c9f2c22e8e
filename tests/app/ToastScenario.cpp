#include <gtest/gtest.h>

#include "AlertsOnScreen.h"

#include "app/AppDelegate.h"
#include "app/services/Common.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "app/services/AppConfiguration.h"
#include "fixtures/LocalServices.h"
#include "support/ManualClockScope.h"
#include "ui/AlertController.h"

namespace {

class ToastScenario : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().resetForTesting();
        // The feeds fetch at launch: from the local services, never a real host.
        app::AppConfiguration::set(
            {services.photoAPIBase(), services.photoWebBase(), services.quoteURL()});
        delegate = std::make_shared<app::AppDelegate>();
        ASSERT_TRUE(ui::Application::shared().launch(delegate));
        settle(1.0);
    }
    void TearDown() override { ui::Application::shared().resetForTesting(); }

    void settle(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 0.05) {
            clock.advance(0.05);
            core::RunLoop::main().runOnce();
        }
    }
    [[nodiscard]] std::vector<std::shared_ptr<ui::AlertController>> alertsOnScreen() const {
        return testsupport::alertsOnScreen(delegate->window());
    }

    testsupport::ManualClockScope clock;
    fixtures::LocalServices services;
    std::shared_ptr<app::AppDelegate> delegate;
};

}  // namespace

TEST_F(ToastScenario, AToastGoesAwayByItselfAfterItsDelay) {
    auto page = delegate->qzTabVc()->viewCtrls()[3];
    app::showToast("Saved", page, 1.5);
    settle(0.5);
    auto alerts = alertsOnScreen();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title(), "Saved");
    EXPECT_TRUE(alerts[0]->actions().empty());

    settle(0.9);  // 1.4 s after the toast was asked for
    EXPECT_EQ(alertsOnScreen().size(), 1u);
    settle(0.5);  // the dismissal itself is animated
    EXPECT_TRUE(alertsOnScreen().empty());
}

TEST_F(ToastScenario, ARefusedToastLeavesNoAlertAndItsDismissalDoesNothing) {
    auto container = delegate->qzTabVc();
    auto sheet = std::make_shared<ui::ViewController>();
    container->presentViewController(sheet, false);
    settle(0.5);
    auto presenter = sheet->presentingViewController();
    ASSERT_TRUE(presenter);

    core::Console::Capture console;
    app::Common::shared().commonToast(container->viewCtrls()[3], "Refused", 1.5);
    settle(2.5);
    EXPECT_TRUE(alertsOnScreen().empty());
    EXPECT_TRUE(console.contains("Warning"));
    EXPECT_EQ(presenter->presentedViewController(), sheet);
    EXPECT_TRUE(sheet->view()->window());
}

TEST_F(ToastScenario, WaitingToastsShowOneAfterAnotherInTheOrderAsked) {
    auto page = delegate->qzTabVc()->viewCtrls()[3];
    app::showToastWhenFree("first", page, 1.5);
    app::showToastWhenFree("second", page, 1.5);
    {
        // A toast for a screen that is gone before its turn is dropped.
        auto gone = std::make_shared<ui::ViewController>();
        app::showToastWhenFree("never", gone, 1.5);
    }
    app::showToastWhenFree("third", page, 1.5);

    std::vector<std::string> titles;
    std::shared_ptr<ui::AlertController> last;
    for (int step = 0; step < 140; ++step) {
        settle(0.05);
        const auto alerts = alertsOnScreen();
        EXPECT_LE(alerts.size(), 1u);
        if (!alerts.empty() && alerts.front() != last) titles.push_back(alerts.front()->title());
        last = alerts.empty() ? nullptr : alerts.front();
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_TRUE(alertsOnScreen().empty());
}
