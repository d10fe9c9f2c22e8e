// The page's click and open requests turned into the opener's operations:
// the orientation masks, what each "open" sub-action passes on, and the
// requests that are claimed but do nothing.

#include "ads/web/dmsg/DZOpenerDMSGHandler.h"

#include <gtest/gtest.h>

#include "HandlerTesting.h"
#include "store/URLOpener.h"

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
    std::shared_ptr<DZOpenerDMSGHandler> handler =
        std::make_shared<DZOpenerDMSGHandler>(page.opener);
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
    page.opener->setSlot({});
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

TEST_F(DZOpenerDMSGHandlerTest, ABrowserOpenOfAWebPageLeavesTheAppAndOthersDoNot) {
    store::URLOpener::shared().clearForTesting();
    EXPECT_TRUE(open({{"a", "browser"}, {"u", "https://land.test/b"}}));
    EXPECT_TRUE(open({{"a", "browser"}, {"u", "file:///etc/hosts"}}));
    EXPECT_TRUE(open({{"a", "inline_browser"}, {"u", "https://land.test/c"}}));
    const auto requests = store::URLOpener::shared().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].url.absoluteString(), "https://land.test/b");
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
