// The page's click and open requests turned into the opener's operations:
// the orientation masks, what each "open" sub-action passes on, and the
// requests that are claimed but do nothing.

#include "ads/web/dmsg/DZOpenerDMSGHandler.h"

#include <gtest/gtest.h>

#include "HandlerTesting.h"
#include "ads/presentation/browser/DZBrowserViewController.h"
#include "store/SafariViewController.h"
#include "store/URLOpener.h"
#include "ui/Window.h"

namespace {

using namespace handlertesting;
using ads::DZOpenerDMSGHandler;

class DZOpenerDMSGHandlerTest : public testing::Test {
protected:
    void TearDown() override { store::URLOpener::shared().clearForTesting(); }

    bool open(core::Dictionary parameters) {
        return page.send(*handler, "open", std::move(parameters));
    }

    SlotPage page;
    std::shared_ptr<openertesting::RecordingOpener> recording = page.recordingOpener();
    std::shared_ptr<DZOpenerDMSGHandler> handler =
        std::make_shared<DZOpenerDMSGHandler>(recording);
};

TEST_F(DZOpenerDMSGHandlerTest, OrientationMasks) {
    struct Case {
        std::optional<std::string> code;
        long statusBar;
        std::uint64_t mask;
    };
    const Case cases[] = {
        {std::nullopt, 1, 30}, {"p", 3, 6}, {"l", 1, 24}, {"c", 3, 24}, {"c", 4, 24},
        {"c", 1, 6},           {"c", 2, 6}, {"x", 1, 30}, {"", 1, 30},  {"P", 1, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code.value_or("(absent)") + " in " + std::to_string(c.statusBar));
        OrientationScope orientation(c.statusBar);
        core::Dictionary parameters;
        if (c.code) parameters.set("o", *c.code);
        EXPECT_EQ(DZOpenerDMSGHandler::orientationFromParams(parameters), c.mask);
    }
}

TEST_F(DZOpenerDMSGHandlerTest, OpenWithoutAKnownSubActionOpensAnApp) {
    ASSERT_TRUE(page.slot);
    const std::string url = "myapp://offer/1";
    for (const core::Dictionary& parameters :
         {core::Dictionary{{"u", url}}, core::Dictionary{{"a", "app"}, {"u", url}},
          core::Dictionary{{"a", "teleport"}, {"u", url}},
          core::Dictionary{{"a", "call"}, {"u", url}}}) {
        ads::DZCallLog::clear();
        EXPECT_TRUE(open(parameters));
        EXPECT_EQ(openerCalls(), std::vector<std::string>{"DZOpener.openApp " + url});
    }
    // Without a URL, or without a slot, nothing opens.
    ads::DZCallLog::clear();
    EXPECT_TRUE(open({{"a", "app"}, {"u", "not a url"}}));
    recording->setSlot({});
    EXPECT_TRUE(open({{"u", url}}));
    EXPECT_TRUE(openerCalls().empty());
}

TEST_F(DZOpenerDMSGHandlerTest, SubActionsPassTheirParametersOn) {
    ASSERT_TRUE(page.slot);
    struct Case {
        core::Dictionary parameters;
        std::vector<std::string> calls;
    };
    const std::string land = "https://land.test/a";
    const Case cases[] = {
        {{{"a", "in_app_store"}, {"product_id", "42"}, {"u", land}},
         {"DZOpener.openInAppStoreWithProductID 42 " + land + " 1"}},
        {{{"a", "in_app_store"}, {"product_id", "42"}, {"wait_for_fetch", "false"}},
         {"DZOpener.openInAppStoreWithProductID 42 - 0"}},
        {{{"a", "in_app_store"}, {"wait_for_fetch", "true"}},
         {"DZOpener.openInAppStoreWithProductID - - 1"}},
        {{{"a", "in_app_store"}, {"wait_for_fetch", "1"}},
         {"DZOpener.openInAppStoreWithProductID - - 0"}},
        {{{"a", "browser"}, {"u", land}, {"o", "p"}}, {"DZOpener.openBrowserToURL " + land + " 6"}},
        {{{"a", "video"}, {"u", land}}, {"DZOpener.openBrowserToURL " + land + " 30"}},
        {{{"a", "browser"}}, {}},
        {{{"a", "inline_browser"}, {"u", land}, {"o", "l"}},
         {"DZOpener.openSafariViewControllerToURL " + land + " 24"}},
        {{{"a", "webapp"}, {"u", land}, {"html", "<p>x</p>"}, {"custom_close", "1"}},
         {"DZOpener.openWebApp " + land + " 30 1"}},
        {{{"a", "webapp"}, {"html", "<p>x</p>"}, {"baseurl", land}, {"custom_close", "true"}},
         {"DZOpener.openWebAppWithHTML 8 " + land + " 30 0"}},
        {{{"a", "webapp"}, {"html", "<p>x</p>"}}, {"DZOpener.openWebAppWithHTML 8 - 30 0"}},
        {{{"a", "webapp"}, {"custom_close", "1"}}, {}},
        {{{"a", "expand"}, {"o", "l"}, {"custom_close", "1"}},
         {"DZOpener.expandToWebAppWithSupportedOrientations 24 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(core::JSON::write(c.parameters).value_or(""));
        ads::DZCallLog::clear();
        EXPECT_TRUE(open(c.parameters));
        EXPECT_EQ(openerCalls(), c.calls);
    }
    ads::DZCallLog::clear();
    EXPECT_TRUE(page.send(*handler, "fetchAppStore", {{"product_id", "42"}}));
    EXPECT_EQ(openerCalls(), std::vector<std::string>{"DZOpener.fetchInAppStoreForProductID 42"});
}

TEST_F(DZOpenerDMSGHandlerTest, BrowserOpensShowWebPagesInTheAppAndNothingElse) {
    store::URLOpener::shared().clearForTesting();
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    const auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    const auto real = std::make_shared<DZOpenerDMSGHandler>(page.opener);
    const auto dismiss = [&] {
        bool gone = false;
        root->dismissViewController(false, [&] { gone = true; });
        return waitFor([&] { return gone; });
    };

    EXPECT_TRUE(page.send(*real, "open", {{"a", "browser"}, {"u", "https://land.test/b"}}));
    ASSERT_TRUE(drainMainQueue());
    const auto browser =
        std::dynamic_pointer_cast<ads::DZBrowserViewController>(root->presentedViewController());
    ASSERT_TRUE(browser);
    ASSERT_TRUE(dismiss());

    EXPECT_TRUE(page.send(*real, "open", {{"a", "browser"}, {"u", "file:///etc/hosts"}}));
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(root->presentedViewController(), nullptr);

    EXPECT_TRUE(page.send(*real, "open", {{"a", "inline_browser"}, {"u", "https://land.test/c"}}));
    ASSERT_TRUE(drainMainQueue());
    const auto safari =
        std::dynamic_pointer_cast<store::SafariViewController>(root->presentedViewController());
    ASSERT_TRUE(safari);
    EXPECT_EQ(safari->url().absoluteString(), "https://land.test/c");
    ASSERT_TRUE(dismiss());
    // Both browsers keep their pages in the app: nothing goes to the URL opener.
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
}

TEST_F(DZOpenerDMSGHandlerTest, DeepLinksNeedAnEventAndOpenOnALaterTurn) {
    EXPECT_TRUE(open({{"a", "deep_link"}, {"u", "myapp://deep"}}));
    EXPECT_TRUE(open({{"a", "deep_link"}, {"event_id", "e1"}}));
    EXPECT_TRUE(open({{"a", "deep_link"}, {"u", "myapp://deep"}, {"event_id", "e2"}}));
    EXPECT_TRUE(openerCalls().empty());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(openerCalls(), std::vector<std::string>{"DZOpener.openAppLink myapp://deep e2"});
}

}  // namespace
