// The debug menu against the local ad server's debug endpoints: the
// creative information when no feature is on, device linking with a new
// identifier, the troubleshooting and creative preview answers, Copy and
// Report, and a feature the server has not switched on.

#include "ads/presentation/debug/DZDebugOptionsViewController.h"

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZBadAdReport.h"
#include "core/JSON.h"
#include "core/UUID.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "store/SafariViewController.h"
#include "ui/AlertController.h"
#include "ui/Pasteboard.h"
#include "ui/Window.h"

namespace {

using adwebtesting::drainMainQueue;
using adwebtesting::waitFor;
using Menu = ads::DZDebugOptionsViewController;

class DZDebugOptionsViewControllerService : public testing::Test {
protected:
    void SetUp() override {
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        ASSERT_TRUE(drainMainQueue());
        clear();
    }
    void TearDown() override {
        clear();
        ads::DZApplication::sharedInstance()->setDebugModeEnabled(false);
        ads::DZApplication::sharedInstance()->setInAppPreviewCreativeToken(std::nullopt);
    }
    static void clear() {
        const auto defaults = core::UserDefaults::standard();
        for (const char* key : {Menu::kEnableInAppPreviewKey, Menu::kEnableDebugSignalsKey,
                                Menu::kDebugDeviceLinkingURLKey, Menu::kDebugSignalStatusURLKey,
                                Menu::kInAppPreviewStatusURLKey, Menu::kDebugDeviceIdentifierKey})
            defaults->removeObjectForKey(key);
        defaults->removeObjectForKey(kBadAdReportKey);
    }
    static constexpr const char* kBadAdReportKey = "/dozuza/ads/bad_ad_report_path";
    void enableFeatures() const {
        const auto defaults = core::UserDefaults::standard();
        defaults->setObject(Menu::kEnableInAppPreviewKey, true);
        defaults->setObject(Menu::kEnableDebugSignalsKey, "1");
        defaults->setObject(Menu::kDebugDeviceLinkingURLKey, server.urlString("/debug/link"));
        defaults->setObject(Menu::kDebugSignalStatusURLKey, server.urlString("/debug/signal"));
        defaults->setObject(Menu::kInAppPreviewStatusURLKey, server.urlString("/debug/preview"));
    }
    std::shared_ptr<Menu> open(std::optional<std::string> dialog = "creative 42") {
        auto menu = Menu::debugOptionsViewControllerWithAdUnitID("/6499/example");
        menu->setAdDebugDialogString(std::move(dialog));
        root->presentViewController(menu, false);
        EXPECT_TRUE(waitFor([&] { return menu->presentedViewController() != nullptr; }));
        return menu;
    }
    static std::shared_ptr<ui::AlertController> alertOf(const Menu& menu) {
        return std::dynamic_pointer_cast<ui::AlertController>(menu.presentedViewController());
    }
    // Answers the alert on screen and waits until the next one, or the end.
    static void answer(const std::shared_ptr<Menu>& menu, size_t index) {
        const auto alert = alertOf(*menu);
        ASSERT_TRUE(alert);
        alert->selectAction(index);
        ASSERT_TRUE(waitFor([&] {
            const auto next = alertOf(*menu);
            return (next && next != alert) || menu->isFinished() ||
                   !menu->childViewControllers().empty();
        }));
    }
    static std::string titleOf(const Menu& menu) {
        const auto alert = alertOf(menu);
        return alert ? alert->title() : "";
    }

    fixtures::AdServer server;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ViewController> root;
};

TEST_F(DZDebugOptionsViewControllerService, WithoutFeaturesItShowsTheCreativeAndCopies) {
    auto menu = open();
    auto alert = alertOf(*menu);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Debug Ad Information");
    EXPECT_EQ(alert->message(), "creative 42");
    ASSERT_EQ(alert->actions().size(), 3u);
    EXPECT_EQ(alert->actions()[1].title, "Copy");

    ui::Pasteboard::general().setString("before");
    answer(menu, 1);
    EXPECT_EQ(ui::Pasteboard::general().string(), "creative 42");
    EXPECT_TRUE(menu->isFinished());

    // A feature without a linking page still opens on the information.
    core::UserDefaults::standard()->setObject(Menu::kEnableDebugSignalsKey, true);
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    menu = open(std::nullopt);
    alert = alertOf(*menu);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "Creative information is not available");
    EXPECT_EQ(alert->actions().size(), 1u);
}

TEST_F(DZDebugOptionsViewControllerService, ReportSendsTheCreativeAsABadAd) {
    core::UserDefaults::standard()->setString(kBadAdReportKey, server.urlString("/report"));
    const auto menu = open();
    ASSERT_EQ(alertOf(*menu)->actions().size(), 3u);
    EXPECT_EQ(alertOf(*menu)->actions()[2].title, "Report");
    ui::Pasteboard::general().setString("before");
    answer(menu, 2);
    EXPECT_TRUE(menu->isFinished());
    ASSERT_TRUE(server.waitForRequestsTo("/report", 1, adwebtesting::kLoadLimit));
    const auto sent = server.requestsTo("/report");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(core::JSON::parse(sent[0].body),
              core::Value(core::Dictionary{{"debugHeader", "creative 42"}}));
    EXPECT_EQ(ui::Pasteboard::general().string(), "before") << "Report copies nothing";
}

TEST_F(DZDebugOptionsViewControllerService, AFeatureTheServerLeftOffSaysSo) {
    enableFeatures();
    core::UserDefaults::standard()->setObject(Menu::kEnableInAppPreviewKey, false);
    core::UserDefaults::standard()->setObject(Menu::kDebugDeviceIdentifierKey,
                                              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    server.serve("/debug/preview",
                 fixtures::LoopbackResponse::json(core::Dictionary{{"gct", "token-1"}}));
    const auto menu = open();
    EXPECT_EQ(titleOf(*menu), "Debug Options");
    answer(menu, 2);
    EXPECT_EQ(titleOf(*menu), "Feature Not Enabled");
    EXPECT_FALSE(menu->isFinished());
    answer(menu, 0);
    EXPECT_TRUE(menu->isFinished());
    EXPECT_TRUE(server.requestsTo("/debug/preview").empty());
    EXPECT_FALSE(ads::DZApplication::sharedInstance()->inAppPreviewCreativeToken());
}

TEST_F(DZDebugOptionsViewControllerService, TroubleshootingLinksTheDeviceFirst) {
    enableFeatures();
    auto menu = open();
    EXPECT_EQ(titleOf(*menu), "Debug Options");
    ASSERT_EQ(alertOf(*menu)->actions().size(), 4u);
    answer(menu, 3);
    const auto identifier =
        core::UserDefaults::standard()->stringForKey(Menu::kDebugDeviceIdentifierKey);
    ASSERT_TRUE(identifier);
    const auto uuid = core::UUID::fromString(*identifier);
    ASSERT_TRUE(uuid);
    EXPECT_EQ(uuid->string(), *identifier) << "upper case";
    ASSERT_EQ(menu->childViewControllers().size(), 1u);
    const auto browser =
        std::dynamic_pointer_cast<store::SafariViewController>(menu->childViewControllers()[0]);
    ASSERT_TRUE(browser);
    const auto& linking = browser->url();
    EXPECT_EQ(linking.path(), "/debug/link");
    EXPECT_NE(linking.query().value_or("").find("linkedDeviceId=" + *identifier),
              std::string::npos);
    EXPECT_NE(linking.query().value_or("").find("adSlotPath=%2F6499%2Fexample"), std::string::npos);
    EXPECT_TRUE(server.requestsTo("/debug/signal").empty());

    // Linked, the status request decides.
    browser->done();
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    server.serve("/debug/signal",
                 fixtures::LoopbackResponse::json(core::Dictionary{{"debug_mode", "1"}}));
    menu = open();
    answer(menu, 3);
    EXPECT_EQ(titleOf(*menu), "The device is successfully linked for troubleshooting.");
    EXPECT_TRUE(ads::DZApplication::sharedInstance()->debugModeEnabled());
    const auto asked = server.requestsTo("/debug/signal");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].rawQuery.find("linkedDeviceId=" + *identifier), std::string::npos);
}

TEST_F(DZDebugOptionsViewControllerService, AnyAnswerButDebugModeOneSwitchesTroubleshootingOff) {
    enableFeatures();
    core::UserDefaults::standard()->setObject(Menu::kDebugDeviceIdentifierKey,
                                              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    const auto application = ads::DZApplication::sharedInstance();
    const std::pair<const char*, fixtures::LoopbackResponse> cases[] = {
        {"\"0\"", fixtures::LoopbackResponse::json(core::Dictionary{{"debug_mode", "0"}})},
        {"\"true\"", fixtures::LoopbackResponse::json(core::Dictionary{{"debug_mode", "true"}})},
        {"none", fixtures::LoopbackResponse::json(core::Dictionary{{"status", "1"}})},
        {"a list", fixtures::LoopbackResponse::json(core::Array{"1"})},
        {"not JSON", fixtures::LoopbackResponse::text("debug_mode=1")},
        {"500", fixtures::LoopbackResponse::json(core::Dictionary{{"debug_mode", "1"}}, 500)},
    };
    for (const auto& [name, response] : cases) {
        SCOPED_TRACE(name);
        application->setDebugModeEnabled(true);
        server.serve("/debug/signal", response);
        const auto menu = open();
        EXPECT_EQ(alertOf(*menu)->message(), "Troubleshooting mode is enabled.");
        answer(menu, 3);
        EXPECT_FALSE(application->debugModeEnabled()) << "the device is not linked any more";
        // ...and the linking page opens to link it again.
        ASSERT_EQ(menu->childViewControllers().size(), 1u);
        const auto browser =
            std::dynamic_pointer_cast<store::SafariViewController>(menu->childViewControllers()[0]);
        ASSERT_TRUE(browser);
        EXPECT_EQ(browser->url().path(), "/debug/link");
        browser->done();
        ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    }
}

TEST_F(DZDebugOptionsViewControllerService, AnAlertAnsweredTwiceAsksTheServerOnce) {
    enableFeatures();
    core::UserDefaults::standard()->setObject(Menu::kDebugDeviceIdentifierKey,
                                              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    server.serve("/debug/signal",
                 fixtures::LoopbackResponse::json(core::Dictionary{{"debug_mode", "1"}}));
    const auto menu = open();
    const auto alert = alertOf(*menu);
    ASSERT_TRUE(alert);
    menu->alertViewClickedButtonAtIndex(*alert, 3);
    menu->alertViewClickedButtonAtIndex(*alert, 3);
    EXPECT_FALSE(menu->isFinished()) << "the second answer is not a second request";
    ASSERT_TRUE(waitFor([&] { return menu->currentAlert() != nullptr; }));
    EXPECT_EQ(menu->currentAlert()->title(),
              "The device is successfully linked for troubleshooting.");
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(server.requestsTo("/debug/signal").size(), 1u);
}

TEST_F(DZDebugOptionsViewControllerService, CreativePreviewAnswers) {
    enableFeatures();
    core::UserDefaults::standard()->setObject(Menu::kDebugDeviceIdentifierKey,
                                              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    const auto application = ads::DZApplication::sharedInstance();
    struct Case {
        fixtures::LoopbackResponse response;
        std::string title;
        std::optional<std::string> token;
    };
    const Case cases[] = {
        {fixtures::LoopbackResponse::json(core::Dictionary{{"gct", "token-1"}}),
         "The device is successfully linked for creative preview.", "token-1"},
        {fixtures::LoopbackResponse::json(core::Dictionary{{"status", "2"}}),
         "There was no creative pushed from ZOD to the device.", "token-1"},
        {fixtures::LoopbackResponse::empty(500), Menu::kSystemErrorTitle, "token-1"},
        {fixtures::LoopbackResponse::json(core::Dictionary{{"status", "7"}}),
         Menu::kSystemErrorTitle, "token-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        server.serve("/debug/preview", c.response);
        const auto menu = open();
        answer(menu, 2);
        EXPECT_EQ(titleOf(*menu), c.title);
        EXPECT_EQ(application->inAppPreviewCreativeToken(), c.token);
        answer(menu, 0);
        EXPECT_TRUE(menu->isFinished());
        ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    }
    // "1": the token goes and the device is linked again.
    server.serve("/debug/preview",
                 fixtures::LoopbackResponse::json(core::Dictionary{{"status", "1"}}));
    const auto menu = open();
    answer(menu, 2);
    EXPECT_FALSE(application->inAppPreviewCreativeToken());
    EXPECT_EQ(menu->childViewControllers().size(), 1u);
}

}  // namespace
