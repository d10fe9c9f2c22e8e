// Reports of blocked automatic clicks: to the core page when the server
// gave no report URLs, else one ping per URL template; and the custom
// rendered ad's gate on clicks and impressions.

#include "ads/core/response/DZAutoClickProtection.h"

#include "SDKCoreTesting.h"
#include "ads/core/response/ZODCustomRenderedAd.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "ads/web/net/DZPinger.h"
#include "ads/web/view/DZAdView.h"
#include "store/MailComposeViewController.h"
#include "store/URLOpener.h"
#include "ui/View.h"

namespace {

using namespace sdkcoretesting;

class DZAutoClickProtectionService : public SDKCoreTest {};

TEST_F(DZAutoClickProtectionService, WithoutTemplatesTheCorePageHearsOfTheBlockedOpen) {
    makeController();
    const auto protection = std::make_shared<ads::DZAutoClickProtection>(true);
    protection->setSDKCoreController(controller);
    ads::DZOpener opener;
    opener.setAutoClickProtection(protection);
    const auto adView = ads::DZAdView::create({0, 0, 320, 50});
    ASSERT_TRUE(adView);
    adView->setAdDebugDialogString("ad 42");
    opener.setAdView(adView);
    opener.setNavigationRequest(core::URLRequest(*core::URL::create("https://land.test/x?a=1")));
    EXPECT_FALSE(opener.shouldPerformOpenAction());
    protection->reportSpamOpenActionWithAdDebugDialogString(std::nullopt, "https://land.test/y");
    protection->reportSpamOpenActionWithAdDebugDialogString(std::nullopt, std::nullopt);

    const auto blocked = logged("navigationBlocked", 3);
    ASSERT_EQ(blocked.size(), 3u);
    EXPECT_EQ(blocked[0], core::Value(core::Dictionary{{"debugDialog", "ad 42"},
                                                       {"navigationURL", "https://land.test/x?a=1"}}));
    EXPECT_EQ(blocked[1],
              core::Value(core::Dictionary{{"navigationURL", "https://land.test/y"}}));
    ASSERT_TRUE(blocked[2].isNull() || blocked[2].dictionary());
    EXPECT_TRUE(blocked[2].isNull() || blocked[2].dictionary()->empty());
}

TEST_F(DZAutoClickProtectionService, WithTemplatesEachIsPingedOnceWithTheEscapedURL) {
    makeController();
    const std::string reportPath = "/report";
    const auto protection = ads::DZAutoClickProtection::create(core::Value(core::Dictionary{
        {"enable_protection", "1"},
        {"reporting_urls",
         core::Array{server.secureBaseURL() + reportPath + "?u={NAVIGATION_URL}&v={NAVIGATION_URL}",
                     server.secureBaseURL() + "/plain", 7}},
    }));
    ASSERT_TRUE(protection && protection->enabled());
    protection->setSDKCoreController(controller);
    protection->reportSpamOpenActionWithAdDebugDialogString("ad 42", "https://land.test/x?a=1&b=2");

    ASSERT_TRUE(server.waitForRequestsTo(reportPath, 1, adwebtesting::kLoadLimit));
    ASSERT_TRUE(server.waitForRequestsTo("/plain", 1, adwebtesting::kLoadLimit));
    const auto reports = server.requestsTo(reportPath);
    ASSERT_EQ(reports.size(), 1u);
    const std::string escaped = "https%3A%2F%2Fland.test%2Fx%3Fa%3D1%26b%3D2";
    EXPECT_EQ(reports[0].rawQuery, "u=" + escaped + "&v=" + escaped);
    EXPECT_EQ(server.requestsTo("/plain").size(), 1u);
    EXPECT_TRUE(logged("navigationBlocked", 0).empty());
}

TEST_F(DZAutoClickProtectionService, EveryRefusedOpenOfAnUntouchedAdIsReportedOnce) {
    makeController();
    const std::string reportPath = "/spam";
    const auto protection = ads::DZAutoClickProtection::create(core::Value(core::Dictionary{
        {"enable_protection", "1"},
        {"reporting_urls", core::Array{server.secureBaseURL() + reportPath + "?u={NAVIGATION_URL}"}},
    }));
    ASSERT_TRUE(protection && protection->enabled());
    protection->setSDKCoreController(controller);
    const auto opener = std::make_shared<ads::DZOpener>();
    opener->setAutoClickProtection(protection);
    const auto adView = ads::DZAdView::create({0, 0, 320, 50});
    ASSERT_TRUE(adView);
    opener->setAdView(adView);
    opener->setNavigationRequest(core::URLRequest(*core::URL::create("https://land.test/x")));
    store::URLOpener::shared().clearForTesting();
    store::URLOpener::shared().setHandler("myapp", [](const core::URL&) { return true; });
    store::MailComposeViewController::setCanSendMailForTesting(true);

    opener->openApp(*core::URL::create("myapp://offer"));
    opener->openAppLink(*core::URL::create("myapp://deep"), "e1");
    opener->openEmailComposer(*core::URL::create("mailto:a@b.test"));
    opener->openInAppStoreWithProductID("42", core::URL::create("https://shop.test/"), false);
    opener->openWebAppWithResizeProperties(std::make_shared<ads::DZMRAIDResizeProperties>());
    ASSERT_TRUE(server.waitForRequestsTo(reportPath, 5, adwebtesting::kLoadLimit));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(server.requestsTo(reportPath).size(), 5u);
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
    EXPECT_FALSE(opener->didOpenAnotherApplication());
    store::MailComposeViewController::setCanSendMailForTesting(false);
    store::URLOpener::shared().clearForTesting();
}

class RecordingEventHandler : public ads::ZODCustomRenderedAdEventHandler {
public:
    void recordClick() override { calls.push_back("click"); }
    void recordCustomAdImpression() override { calls.push_back("impression"); }
    void finishedRenderingAdView(const std::shared_ptr<ui::View>& view) override {
        calls.push_back(view ? "view" : "no view");
    }
    std::vector<std::string> calls;
};

TEST(ZODCustomRenderedAd, ClicksAndImpressionsCountOnlyOnceRendered) {
    const auto handler = std::make_shared<RecordingEventHandler>();
    ads::ZODCustomRenderedAd ad("<b>ad</b>", core::URL::create("https://ads.test/"), handler);
    EXPECT_EQ(ad.adHTML(), "<b>ad</b>");
    ad.recordClick();
    ad.recordImpression();
    EXPECT_TRUE(handler->calls.empty());
    EXPECT_FALSE(ad.isRendered());
    ad.finishedRenderingAdView(std::make_shared<ui::View>());
    EXPECT_TRUE(ad.isRendered());
    ad.recordImpression();
    ad.recordClick();
    EXPECT_EQ(handler->calls, (std::vector<std::string>{"view", "impression", "click"}));
}

}  // namespace
