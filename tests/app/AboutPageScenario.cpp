// The about page inside the launched app, reached through its tab: the
// version, and cache cleaning against the image library's disk cache with
// its button texts and toasts.

#include <gtest/gtest.h>

#include <filesystem>

#include "AppHarness.h"
#include "app/services/LocalizableHelper.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/presentation/iap/DZInAppPurchaseTransactionReporter.h"
#include "ads/web/net/DZPinger.h"
#include "app/vc/AboutViewController.h"
#include "core/StringFormat.h"
#include "gfx/Image.h"
#include "store/StoreTesting.h"
#include "ui/AlertController.h"
#include "ui/Button.h"
#include "ui/ImageManager.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "core/UserDefaults.h"

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

}  // namespace
