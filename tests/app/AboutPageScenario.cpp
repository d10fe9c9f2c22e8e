// The about page inside the launched app, reached through its tab: the
// version, and cache cleaning against the image library's disk cache with
// its button texts and toasts.

#include <gtest/gtest.h>

#include <filesystem>

#include "AppHarness.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/presentation/iap/DZInAppPurchaseTransactionReporter.h"
#include "ads/web/net/DZPinger.h"
#include "app/services/LocalizableHelper.h"
#include "app/vc/AboutViewController.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"
#include "fixtures/StableOrigins.h"
#include "fixtures/TestCertificates.h"
#include "gfx/Image.h"
#include "store/SafariViewController.h"
#include "store/StoreTesting.h"
#include "store/URLOpener.h"
#include "ui/AlertController.h"
#include "ui/Button.h"
#include "ui/ImageManager.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/Renderer.h"
#include "web/TrustedAuthorities.h"
#include "web/WebView.h"

using app::localized;

namespace {

constexpr double kGray = 0.5;

class AboutPageScenario : public testing::Test {
protected:
    void SetUp() override {
        store_->setProducts({storetest::tipProduct()});
        app_.launch();
        app_.tabs().scrollToPage(3);
        app_.settle(1.0);
        app_.window().layoutIfNeeded();
    }

    [[nodiscard]] std::shared_ptr<app::AboutViewController> page() const {
        return std::dynamic_pointer_cast<app::AboutViewController>(app_.tabs().viewCtrls().at(3));
    }
    [[nodiscard]] std::shared_ptr<ui::AlertController> toast() const {
        const auto navigation =
            std::dynamic_pointer_cast<ui::NavigationController>(app_.window().rootViewController());
        return std::dynamic_pointer_cast<ui::AlertController>(
            navigation->presentedViewController());
    }
    void tapCleanButton() {
        const auto& button = page()->cleanButton();
        app_.touches().tap(button->convertRectTo(button->bounds(), nullptr).center());
    }
    // The titles of the toasts that come up while the clock moves on.
    [[nodiscard]] std::vector<std::string> toastsWithin(double seconds) {
        std::vector<std::string> titles;
        std::shared_ptr<ui::AlertController> last;
        for (double t = 0; t < seconds; t += 0.1) {
            app_.settle(0.1);
            const auto shown = toast();
            if (shown && shown != last) titles.push_back(shown->title());
            last = shown;
        }
        return titles;
    }
    // Waits until the disk work queued so far, with its completions, has run.
    void waitForDiskQueue() {
        bool measured = false;
        ui::ImageManager::shared().cache().calculateDiskCacheSize(
            [&measured](std::uint64_t) { measured = true; });
        EXPECT_TRUE(app_.waitFor([&] { return measured; }));
    }
    // Puts one mebibyte under a remote image's URL in the disk cache.
    [[nodiscard]] std::string cacheOneMebibyte() {
        ui::ImageCache& cache = ui::ImageManager::shared().cache();
        const auto url = *core::URL::create("https://images.example.com/cached-photo.jpg");
        const auto image = gfx::Image::create(2, 2, gfx::Image::Pixels(4, 0xFF336699u));
        cache.store(url, image, core::Data(1024 * 1024, 0x5A));
        EXPECT_TRUE(app_.waitFor([&] { return std::filesystem::exists(cache.cachePath(url)); }));
        return cache.cachePath(url);
    }

    storetest::ScriptedStoreScope store_;
    testsupport::AppHarness app_;
};

TEST_F(AboutPageScenario, ShowsTheLocalizedVersionOfTheBundle) {
    EXPECT_EQ(page()->title(), localized("setting"));
    EXPECT_EQ(page()->verLabel()->text(), localized("version") + "1.0.0");
    EXPECT_TRUE(page()->verLabel()->window());
    const gfx::Rect onScreen =
        page()->verLabel()->convertRectTo(page()->verLabel()->bounds(), nullptr);
    EXPECT_GE(onScreen.minX(), 0);
    EXPECT_LE(onScreen.maxX(), app_.window().bounds().width());
}

TEST_F(AboutPageScenario, CleaningEmptiesTheImageDiskCacheThenToasts) {
    const std::string file = cacheOneMebibyte();
    const auto& button = page()->cleanButton();

    tapCleanButton();
    EXPECT_EQ(button->currentTitle(), localized("clearing_up"));
    EXPECT_NEAR(button->currentTitleColor().red, kGray, 0.01);

    ASSERT_TRUE(app_.waitFor([&] { return button->currentTitle() == localized("clean_cache"); }));
    EXPECT_EQ(button->currentTitleColor(), gfx::Color::white());
    EXPECT_FALSE(std::filesystem::exists(file));
    const auto titles = toastsWithin(1.0);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0], localized("cleaned_up"));
    app_.settle(2.0);
    EXPECT_EQ(toast(), nullptr);
}

TEST_F(AboutPageScenario, TwoQuickTapsCleanTwiceAndToastTwice) {
    (void)cacheOneMebibyte();
    tapCleanButton();
    tapCleanButton();
    waitForDiskQueue();
    // The second toast waits for the first to go.
    const auto titles = toastsWithin(5.0);
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], localized("cleaned_up"));
    EXPECT_EQ(titles[1], localized("cleaned_up"));
    EXPECT_EQ(page()->cleanButton()->currentTitle(), localized("clean_cache"));
    EXPECT_EQ(page()->cleanButton()->currentTitleColor(), gfx::Color::white());
}

// The app started as its process entry starts it, so that the SDK watches
// the payment queue.
TEST(AboutPageTipScenario, BuyingTheTipSendsOneConversionPing) {
    using ads::DZInAppPurchaseTransactionReporter;
    ads::DZApplication::resetForTesting();
    ads::DZMobileAds::resetForTesting();
    ads::DZMobileAds::registerForLaunch();
    storetest::ScriptedStoreScope store;
    store->setProducts({storetest::tipProduct()});
    testsupport::AppHarness app;
    const auto defaults = core::UserDefaults::standard();
    const std::string path = "/adpage/conversion/";
    defaults->setObject(DZInAppPurchaseTransactionReporter::kReportFormatKey,
                        app.ads().urlString(path) +
                            "?sku=@sku@&price=@price@&currency_code=@currencycode@"
                            "&quantity=@quantity@&iap_source=@iapsource@");
    defaults->setBool(std::string(ads::DZPinger::kEnableWebViewPingsKey), false);
    app.launch();
    app.tabs().scrollToPage(3);
    app.settle(1.0);
    app.window().layoutIfNeeded();
    ASSERT_TRUE(DZInAppPurchaseTransactionReporter::sharedInstance()->reportingEnabled())
        << "switched on at the SDK's start";

    const auto page =
        std::dynamic_pointer_cast<app::AboutViewController>(app.tabs().viewCtrls().at(3));
    const auto& button = page->iapButton();
    app.touches().tap(button->convertRectTo(button->bounds(), nullptr).center());
    ASSERT_TRUE(app.waitFor([&] { return !app.ads().requestsTo(path).empty(); }));
    ASSERT_TRUE(app.waitForQuiet());
    const auto pings = app.ads().requestsTo(path);
    ASSERT_EQ(pings.size(), 1u);
    EXPECT_EQ(pings[0].rawQuery,
              "sku=veltrogallery_drink_0&price=6&currency_code=CNY&quantity=1&iap_source=auto");

    DZInAppPurchaseTransactionReporter::sharedInstance()->disableReporting();
    defaults->removeObjectForKey(DZInAppPurchaseTransactionReporter::kReportFormatKey);
    defaults->removeObjectForKey(ads::DZPinger::kEnableWebViewPingsKey);
}

// The licence link on the embedded default: the local photo service's
// page over https under its stable name, shown inside the app's browser.
TEST(AboutPageLicenceScenario, TheLicencePageShowsInTheInAppBrowser) {
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    store::URLOpener::shared().clearForTesting();
    testsupport::AppHarness app({.stableOrigin = true});
    app.launch();
    app.tabs().scrollToPage(3);
    app.settle(1.0);
    app.window().layoutIfNeeded();
    const auto page =
        std::dynamic_pointer_cast<app::AboutViewController>(app.tabs().viewCtrls().at(3));
    const auto& link = page->unSplashAuthorizationLinkButton();
    app.touches().tap(link->convertRectTo(link->bounds(), nullptr).center());
    app.settle(0.5);

    const auto navigation =
        std::dynamic_pointer_cast<ui::NavigationController>(app.window().rootViewController());
    const auto browser = std::dynamic_pointer_cast<store::SafariViewController>(
        navigation->presentedViewController());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->url().absoluteString(),
              std::string("https://") + fixtures::kStablePhotoHost + "/license");
    ASSERT_TRUE(app.waitFor([&] { return browser->title() == "License"; })) << browser->title();
    ASSERT_TRUE(app.waitForQuiet());
    // Its heading, dark on white, at the top of the page.
    const auto view = browser->webView();
    ASSERT_TRUE(view);
    const auto shot = ui::Renderer::render(app.window(), 1);
    const gfx::Rect top = view->convertRectTo({0, 0, view->bounds().width(), 80}, nullptr);
    int dark = 0;
    for (int y = int(top.minY()); y < int(top.maxY()); ++y)
        for (int x = int(top.minX()); x < int(top.maxX()); ++x)
            if (shot->pixelAt(x, y).red < 0.3) ++dark;
    EXPECT_GT(dark, 100) << "no heading drawn under the bar";
    EXPECT_TRUE(browser->failureLabel()->isHidden());
    EXPECT_EQ(app.photos().server().requestsTo("/license").size(), 1u);
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
    browser->dismissViewController(false);
    app.settle(0.5);
    web::TrustedAuthorities::setPEM({});
}

}  // namespace
