// The about page alone in a window, inside a navigation controller, on a
// manual clock, against a scripted store: its texts and layout, the review
// and licence links, and the tip purchase with every store outcome.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/services/AppConfiguration.h"
#include "app/services/LocalizableHelper.h"
#include "app/vc/AboutViewController.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "store/PaymentQueue.h"
#include "store/SafariViewController.h"
#include "store/StoreTesting.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/AlertController.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/Window.h"

using app::AboutViewController;
using app::localized;

namespace {

class AboutViewControllerTest : public testing::Test {
protected:
    void SetUp() override {
        store_->setProducts({storetest::tipProduct()});
        store::URLOpener::shared().clearForTesting();
    }
    void TearDown() override {
        store::URLOpener::shared().clearForTesting();
        app::AppConfiguration::set(previous_);
    }

    // Shows the page; its products request starts on a global queue.
    void show() {
        window_->setRootViewController(navigation_);
        window_->makeKeyAndVisible();
        settle(0.5);
        window_->layoutIfNeeded();
    }
    void settle(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 0.05) {
            clock_.advance(0.05);
            core::RunLoop::main().runOnce();
        }
    }
    bool productsArrived() {
        return storetest::waitUntil([&] { return !page_->skProducts().empty(); });
    }
    void tap(const std::shared_ptr<ui::Button>& button) {
        button->sendActions(ui::ControlEvent::TouchUpInside);
    }
    [[nodiscard]] static size_t count(const core::Console::Capture& console,
                                      const std::string& line) {
        const auto lines = console.lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
    // Waits for n lines equal to `line`, then for any store call on its way.
    [[nodiscard]] size_t countAfter(const core::Console::Capture& console, const std::string& line,
                                    size_t n) {
        EXPECT_TRUE(storetest::waitUntil([&] { return count(console, line) >= n; })) << line;
        storetest::drainCallbackQueue();
        settle(0.1);
        return count(console, line);
    }
    [[nodiscard]] std::shared_ptr<ui::AlertController> toast() const {
        return std::dynamic_pointer_cast<ui::AlertController>(
            navigation_->presentedViewController());
    }

    // The page takes its texts when it is made, so the language bundle comes first.
    bool languageReady_ = [] {
        app::LocalizableHelper::shared().setupLanguageBundle();
        return true;
    }();
    storetest::ScriptedStoreScope store_;
    testsupport::ManualClockScope clock_;
    app::AppConfiguration previous_ = app::AppConfiguration::current();
    std::shared_ptr<AboutViewController> page_ = std::make_shared<AboutViewController>();
    std::shared_ptr<ui::NavigationController> navigation_ = ui::NavigationController::create(page_);
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
};

TEST_F(AboutViewControllerTest, TheVersionTextRunsStraightIntoTheNumber) {
    const core::Value info(core::Dictionary{{"CFBundleShortVersionString", "1.2.0"}});
    EXPECT_EQ(AboutViewController::versionText("Version ", info), "Version 1.2.0");
    EXPECT_EQ(AboutViewController::versionText("v", info), "v1.2.0");

    show();
    EXPECT_EQ(page_->verLabel()->text(), localized("version") + "1.0.0");
    EXPECT_EQ(page_->verLabel()->text(), "Version 1.0.0");
}

TEST_F(AboutViewControllerTest, LaysTheViewsOutTopToBottomOnBlack) {
    show();
    const auto& root = page_->view();
    EXPECT_EQ(root->backgroundColor(), gfx::Color::black());
    const std::vector<std::shared_ptr<ui::View>> order{page_->iconImageView(),
                                                       page_->verLabel(),
                                                       page_->appDescriptionLabel(),
                                                       page_->iapButton(),
                                                       page_->appReviewButton(),
                                                       page_->cleanButton(),
                                                       page_->unSplashAuthorizationLinkButton()};
    ASSERT_EQ(root->subviews(), order);
    EXPECT_EQ(page_->iconImageView()->frame(), gfx::Rect(157.5, 40, 60, 60));
    EXPECT_TRUE(page_->iconImageView()->image());
    for (size_t i = 1; i < order.size(); ++i) {
        const gfx::Rect frame = order[i]->frame();
        SCOPED_TRACE(i);
        EXPECT_GT(frame.height(), 0);
        EXPECT_NEAR(frame.center().x, 187.5, 0.5);
        EXPECT_GE(frame.minY(), order[i - 1]->frame().maxY());
    }
    EXPECT_DOUBLE_EQ(page_->unSplashAuthorizationLinkButton()->frame().maxY(), 667 - 100);
    EXPECT_EQ(page_->appDescriptionLabel()->frame().minX(), 20);
    EXPECT_EQ(page_->appDescriptionLabel()->frame().width(), 335);
    EXPECT_EQ(page_->iapButton()->currentTitle(), localized("donate"));
    EXPECT_EQ(page_->appReviewButton()->currentTitle(), localized("app_review"));
    EXPECT_EQ(page_->unSplashAuthorizationLinkButton()->currentTitle(),
              localized("unsplash_copyright"));
}

TEST_F(AboutViewControllerTest, TheBarIsHiddenWhileThePageIsShown) {
    show();
    EXPECT_TRUE(navigation_->isNavigationBarHidden());
    navigation_->pushViewController(std::make_shared<ui::ViewController>(), true);
    settle(0.5);
    EXPECT_FALSE(navigation_->isNavigationBarHidden());
    navigation_->popViewController(true);
    settle(0.5);
    EXPECT_TRUE(navigation_->isNavigationBarHidden());
}

TEST_F(AboutViewControllerTest, TheReviewLinkIsRecordedButNotOpened) {
    show();
    tap(page_->appReviewButton());
    EXPECT_TRUE(store::URLOpener::shared().openedURLs().empty());
    const auto refused = store::URLOpener::shared().refusedURLs();
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].scheme(), "itms-apps");
    EXPECT_EQ(refused[0].path().rfind("/app/id", 0), 0u);
    EXPECT_GT(refused[0].path().size(), std::string("/app/id").size());
    EXPECT_EQ(refused[0].query(), "action=write-review");
}

TEST_F(AboutViewControllerTest, TheLicenceOpensInTheInAppBrowserOverHttps) {
    app::AppConfiguration::set({"http://127.0.0.1:9", "http://127.0.0.1:8123", ""});
    show();
    tap(page_->unSplashAuthorizationLinkButton());
    settle(0.5);
    const auto browser = std::dynamic_pointer_cast<store::SafariViewController>(
        navigation_->presentedViewController());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->url().absoluteString(), "https://127.0.0.1:8123/license");
    browser->dismissViewController(false);

    app::AppConfiguration::set({"", "not a site", ""});
    tap(page_->unSplashAuthorizationLinkButton());
    settle(0.5);
    EXPECT_EQ(navigation_->presentedViewController(), nullptr);
}

TEST_F(AboutViewControllerTest, ProductsReachThePageOnTheMainQueueWithTheirPrice) {
    const core::Console::Capture console;
    store_->holdProducts(true);
    show();
    ASSERT_TRUE(storetest::waitUntil([&] { return store_->requestedIdentifiers().size() == 1; }));
    EXPECT_EQ(store_->requestedIdentifiers()[0], AboutViewController::productIdentifiers());

    // Delivered on the store's queue; nothing is seen until the main queue runs.
    store_->releaseProducts();
    storetest::drainCallbackQueue();
    EXPECT_TRUE(page_->skProducts().empty());
    EXPECT_FALSE(console.contains("productsRequest"));

    ASSERT_TRUE(productsArrived());
    ASSERT_TRUE(storetest::waitUntil([&] { return console.contains("requestDidFinish"); }));
    const auto lines = console.lines();
    const auto first =
        std::find(lines.begin(), lines.end(), "productsRequest [<Product: veltrogallery_drink_0>]");
    ASSERT_NE(first, lines.end());
    ASSERT_LT(first + 2, lines.end());
    EXPECT_EQ(*(first + 1), "一杯饮料 价格为: Optional(\"¥6.00\")");
    EXPECT_EQ(*(first + 2), "requestDidFinish");
    EXPECT_TRUE(page_->skRequest());
}

TEST_F(AboutViewControllerTest, PricesAreFormattedInTheProductsOwnCurrency) {
    store::Product product = storetest::tipProduct();
    EXPECT_EQ(AboutViewController::formattedPrice(product), "¥6.00");
    product.price = "0.99";
    product.priceLocale = "en_US";
    EXPECT_EQ(AboutViewController::formattedPrice(product), "$0.99");
    product.priceLocale = "";
    EXPECT_EQ(AboutViewController::formattedPrice(product), std::nullopt);
}

TEST_F(AboutViewControllerTest, AFailedAnswerLeavesNothingToBuy) {
    const core::Console::Capture console;
    store_->setProductsFailure({store::StoreError::CloudServiceNetworkConnectionFailed, "offline"});
    show();
    ASSERT_TRUE(storetest::waitUntil([&] { return console.contains("didFailWithError: "); }));
    storetest::drainCallbackQueue();
    settle(0.1);
    EXPECT_TRUE(console.contains("didFailWithError: Error Domain=store.error Code=7 \"offline\""));
    EXPECT_FALSE(console.contains("requestDidFinish"));

    tap(page_->iapButton());
    EXPECT_EQ(count(console, "none products for purchase"), 1u);
    EXPECT_TRUE(store_->payments().empty());
}

TEST_F(AboutViewControllerTest, ATapBeforeTheProductsArriveBuysNothing) {
    const core::Console::Capture console;
    store_->holdProducts(true);
    show();
    tap(page_->iapButton());
    EXPECT_TRUE(console.contains("none products for purchase"));
    EXPECT_FALSE(console.contains("product to purchase: "));
    EXPECT_EQ(page_->productID(), "");
    settle(0.5);
    EXPECT_EQ(toast(), nullptr);
    store_->releaseProducts();
    ASSERT_TRUE(productsArrived());
    EXPECT_TRUE(store_->payments().empty());
}

TEST_F(AboutViewControllerTest, EachTapBuysOnceAndThePageObservesOnce) {
    const core::Console::Capture console;
    show();
    ASSERT_TRUE(productsArrived());
    for (int i = 0; i < 3; ++i) tap(page_->iapButton());
    EXPECT_EQ(count(console, "product to purchase: veltrogallery_drink_0"), 3u);
    EXPECT_EQ(page_->productID(), "veltrogallery_drink_0");

    EXPECT_EQ(countAfter(console, "updatedTransactions purchased", 3), 3u);
    // Purchasing, then purchased, for each payment: one observer.
    EXPECT_EQ(count(console, "updatedTransactions"), 6u);
    EXPECT_EQ(store_->payments().size(), 3u);
    EXPECT_TRUE(store::PaymentQueue::defaultQueue().transactions().empty());
}

TEST_F(AboutViewControllerTest, FailedAndRestoredTransactionsAreLoggedAndFinished) {
    const core::Console::Capture console;
    store_->setPaymentOutcome({store::PaymentTransactionState::Failed,
                               store::StoreError{store::StoreError::PaymentCancelled, "no"}});
    show();
    ASSERT_TRUE(productsArrived());
    tap(page_->iapButton());
    EXPECT_EQ(countAfter(console, "updatedTransactions failed", 1), 1u);
    EXPECT_FALSE(console.contains("updatedTransactions purchased"));
    EXPECT_TRUE(store::PaymentQueue::defaultQueue().transactions().empty());

    store_->setRestoreAnswer({{"veltrogallery_drink_0"}, std::nullopt});
    store::PaymentQueue::defaultQueue().restoreCompletedTransactions();
    EXPECT_EQ(countAfter(console, "paymentQueueRestoreCompletedTransactionsFinished", 1), 1u);
    EXPECT_EQ(count(console, "updatedTransactions restored - veltrogallery_drink_0"), 1u);
    EXPECT_TRUE(store::PaymentQueue::defaultQueue().transactions().empty());

    store_->setRestoreAnswer({{}, store::StoreError{store::StoreError::Unknown, "no account"}});
    store::PaymentQueue::defaultQueue().restoreCompletedTransactions();
    EXPECT_EQ(countAfter(console, "restoreCompletedTransactionsFailedWithError no account", 1), 1u);
}

TEST_F(AboutViewControllerTest, WithoutPaymentsATapOnlyToasts) {
    const core::Console::Capture console;
    store_->setCanMakePayments(false);
    show();
    ASSERT_TRUE(productsArrived());
    tap(page_->iapButton());
    EXPECT_EQ(count(console, "unable to iap!!!"), 1u);
    EXPECT_FALSE(console.contains("product to purchase: "));
    settle(0.5);
    ASSERT_TRUE(toast());
    EXPECT_EQ(toast()->title(), localized("unable_iap"));
    settle(1.5);
    EXPECT_EQ(toast(), nullptr);
    EXPECT_TRUE(store_->payments().empty());
}

}  // namespace
