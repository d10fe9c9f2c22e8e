// The ad view's own state: how it is set up, where its web view lives while
// it is off screen, saved placements, the browser variant, the script delay,
// the web view's frame, and touches.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZWiggleGestureRecognizer.h"
#include "ads/presentation/browser/DZBrowserViewController.h"
#include "ads/presentation/debug/DZDebugOptionsViewController.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/view/DZBrowserAdView.h"
#include "ads/web/view/DZUIKitWebView.h"
#include "support/ManualClockScope.h"
#include "ui/AlertController.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

namespace {

using namespace adwebtesting;
using ads::DZAdView;

std::shared_ptr<DZAdView> makeAdView(const ads::DZWebViewConfiguration& configuration = {}) {
    auto adView = DZAdView::create({0, 0, 320, 50}, configuration);
    EXPECT_TRUE(adView);
    return adView;
}

// A visible window whose root is a plain controller, for what the ad view presents.
struct ShownController {
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<ui::ViewController> controller = std::make_shared<ui::ViewController>();
    ShownController() {
        window->setRootViewController(controller);
        window->makeKeyAndVisible();
    }
};

TEST(DZAdViewTest, ANewAdViewIsSetUp) {
    const auto adView = makeAdView();
    ASSERT_TRUE(adView);
    const auto& webView = adView->webView();
    EXPECT_TRUE(std::dynamic_pointer_cast<ads::DZUIKitWebView>(webView));
    EXPECT_EQ(webView->delegate().get(), static_cast<ads::DZWebViewDelegate*>(adView.get()));
    EXPECT_EQ(webView->contentSizeDelegate().get(),
              static_cast<ads::DZWebViewContentSizeDelegate*>(adView.get()));
    ASSERT_FALSE(adView->subviews().empty());
    EXPECT_TRUE(std::dynamic_pointer_cast<ui::ScrollView>(adView->subviews().front()));
    EXPECT_TRUE(adView->showDebug());
    EXPECT_TRUE(adView->visible());
    EXPECT_TRUE(adView->liveViewReporter());
    EXPECT_TRUE(adView->videoController());
    EXPECT_TRUE(adView->eventQueue()->isSuspended());
    EXPECT_EQ(adView->eventQueue()->maxConcurrentOperationCount(), 1);
    EXPECT_EQ(adView->autoresizingMask(), DZAdView::kFlexibleSizeMask);
    EXPECT_FALSE(adView->isOpaque());
    EXPECT_FALSE(webView->isOpaque());
    EXPECT_TRUE(webView->clipsToBounds());
    EXPECT_EQ(adView->backgroundColor(), gfx::Color::clear());
    EXPECT_TRUE(adView->scrollView().bounces);
    EXPECT_TRUE(adView->scrollView().scrollEnabled);
    EXPECT_FALSE(adView->scrollView().scrollsToTop);
    EXPECT_EQ(adView->orientation(), 0);

    adView->configureAsBannerAdView();
    EXPECT_FALSE(adView->scrollView().bounces);
    EXPECT_TRUE(adView->isHidden());

    ConstantsScope constants;
    constants.set(ads::DZWebViewConfiguration::kWebViewClassKey, "wk");
    const auto webKitAdView = makeAdView();
    ASSERT_TRUE(webKitAdView);
    const auto webKit = std::dynamic_pointer_cast<ads::DZWebKitWebView>(webKitAdView->webView());
    ASSERT_TRUE(webKit);
    EXPECT_EQ(webKit->MRAIDDelegate().get(),
              static_cast<ads::DZWebKitWebViewMRAIDDelegate*>(webKitAdView.get()));
    // Without a slot, the expanded banner's script.
    EXPECT_EQ(webKitAdView->MRAIDJavaScriptURLStringForWebView(*webKit),
              ads::DZMRAIDInterceptor::sharedInstance()->expandedBannerImplementationURLString());
}

TEST(DZAdViewTest, OffScreenTheWebViewOrTheAdViewLivesInThePlaceholderWindow) {
    const auto placeholder = ads::DZApplication::placeholderWindow();
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    const size_t before = placeholder->subviews().size();
    {
        const auto adView = makeAdView();
        ASSERT_TRUE(adView);
        const auto& webView = adView->webView();
        EXPECT_EQ(webView->superview(), placeholder);
        EXPECT_EQ(adView->superview(), nullptr);

        window->addSubview(adView);
        EXPECT_EQ(webView->superview(), adView);
        EXPECT_EQ(webView->window(), window);
        adView->removeFromSuperview();
        EXPECT_EQ(webView->superview(), placeholder);
        window->addSubview(adView);
        adView->removeFromSuperview();
        EXPECT_EQ(placeholder->subviews().size(), before + 1);
    }
    // The web view of an ad view that has gone leaves the placeholder window.
    EXPECT_EQ(placeholder->subviews().size(), before);

    ConstantsScope constants;
    constants.set(DZAdView::kPlaceholderWindowKey, "YES");
    const auto adView = makeAdView();
    ASSERT_TRUE(adView);
    EXPECT_EQ(adView->superview(), placeholder);
    EXPECT_EQ(adView->webView()->superview(), adView);
    window->addSubview(adView);
    EXPECT_EQ(adView->webView()->superview(), adView);
    adView->removeFromSuperview();
    EXPECT_EQ(adView->webView()->superview(), adView);
}

TEST(DZAdViewTest, SavedPlacementsComeBackOnceAndOnlyTheFirstIsKept) {
    const auto adView = makeAdView();
    ASSERT_TRUE(adView);
    const auto home = std::make_shared<ui::View>(gfx::Rect(0, 0, 320, 480));
    const auto elsewhere = std::make_shared<ui::View>(gfx::Rect(0, 0, 320, 480));
    const auto delegate = std::make_shared<RecordingAdViewDelegate>();
    const auto controller = std::make_shared<ui::ViewController>();
    home->addSubview(adView);
    adView->setFrame({0, 10, 320, 50});
    adView->setDelegate(delegate);
    adView->setViewController(controller);

    adView->restoreState();  // nothing saved: nothing happens
    EXPECT_EQ(adView->superview(), home);

    adView->saveState();
    elsewhere->addSubview(adView);
    adView->setFrame({0, 0, 320, 480});
    adView->setDelegate({});
    adView->setViewController({});
    adView->setAutoresizingMask(0);
    adView->saveState();  // keeps the first record
    adView->restoreState();
    EXPECT_EQ(adView->superview(), home);
    EXPECT_EQ(adView->frame(), gfx::Rect(0, 10, 320, 50));
    EXPECT_EQ(adView->delegate(), delegate);
    EXPECT_EQ(adView->viewController(), controller);
    EXPECT_EQ(adView->autoresizingMask(), DZAdView::kFlexibleSizeMask);
    EXPECT_FALSE(adView->savedState());
}

TEST(DZAdViewTest, TheBrowserAdViewTakesOnlyABrowserController) {
    const auto adView = ads::DZBrowserAdView::create({0, 0, 320, 480});
    ASSERT_TRUE(adView);
    const auto browser = std::make_shared<ads::DZBrowserViewController>();
    adView->setViewController(browser);
    adView->setViewController(std::make_shared<ui::ViewController>());
    EXPECT_EQ(adView->viewController(), browser);
    EXPECT_EQ(adView->browserViewController(), browser);
}

TEST(DZAdViewTest, ScriptsWaitForTheServersDelayWhenItIsUsable) {
    ConstantsScope constants;
    EXPECT_EQ(DZAdView::scriptForAsynchronousExecution("f();"), "f();");
    constants.set(DZAdView::kScriptDelayKey, "0.25");
    EXPECT_EQ(DZAdView::scriptForAsynchronousExecution("f();"),
              "setTimeout(function(){f();}, 250);");
    for (const char* unusable : {"0", "-1", "nan", "1e400", "61"}) {
        constants.set(DZAdView::kScriptDelayKey, unusable);
        EXPECT_EQ(DZAdView::scriptForAsynchronousExecution("f();"), "f();") << unusable;
    }
}

TEST(DZAdViewTest, AFluidWebKitAdViewSizesItsWebViewAfterTheDelay) {
    testsupport::ManualClockScope clock;
    ConstantsScope constants;
    constants.set(ads::DZWebViewConfiguration::kWebViewClassKey, "wk");
    const auto adView = makeAdView();
    ASSERT_TRUE(adView);
    const auto& webView = adView->webView();
    const gfx::Rect small{0, 0, 320, 1};

    // Not fluid: at once, also for the WebKit kind.
    webView->setFrame(small);
    adView->updateWebViewFrame();
    EXPECT_EQ(webView->frame(), adView->bounds());

    adView->setIsFluidAdView(true);
    for (const auto& [delay, seconds] :
         std::vector<std::pair<const char*, double>>{{"0.5", 0.5}, {"1e400", 0.02}, {"-3", 0.02}}) {
        SCOPED_TRACE(delay);
        constants.set(DZAdView::kContentSizeDelayKey, delay);
        webView->setFrame(small);
        adView->updateWebViewFrame();
        clock.advance(seconds * 0.9);
        ASSERT_TRUE(drainMainQueue());
        EXPECT_EQ(webView->frame(), small);
        clock.advance(seconds * 0.2);
        ASSERT_TRUE(drainMainQueue());
        EXPECT_EQ(webView->frame(), adView->bounds());
    }
}

TEST(DZAdViewTest, ATouchOnTheAdViewMarksItTouched) {
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    const auto adView = makeAdView();
    ASSERT_TRUE(adView);
    window->addSubview(adView);
    adView->setFrame({0, 100, 320, 50});
    window->layoutTree();
    EXPECT_EQ(adView->gestureRecognizers().size(), 2u);
    adView->addGestureRecognizers();
    EXPECT_EQ(adView->gestureRecognizers().size(), 2u);

    const auto outside = window->touchDown({10, 10});
    window->touchUp(outside, {10, 10});
    EXPECT_FALSE(adView->touched());
    const auto inside = window->touchDown({10, 120});
    EXPECT_TRUE(adView->touched());
    window->touchUp(inside, {10, 120});

    // Two debug gestures do not recognize together; anything else may.
    const auto& debug = *adView->debugGestureRecognizer();
    EXPECT_FALSE(debug.recognizesSimultaneouslyWith(ads::DZWiggleGestureRecognizer()));
    EXPECT_TRUE(debug.recognizesSimultaneouslyWith(*adView->touchGestureRecognizer()));
    EXPECT_TRUE(adView->touchGestureRecognizer()->recognizesSimultaneouslyWith(debug));
}

class AllowingOpener : public ads::DZOpener {
public:
    bool shouldPerformOpenAction() override { return true; }
};

class DelegateWithOpener : public RecordingAdViewDelegate {
public:
    std::shared_ptr<ads::DZOpener> openerToGive;
    std::shared_ptr<ads::DZOpener> opener() override { return openerToGive; }
};

TEST(DZAdViewTest, PageAlertsShowOnlyWhenTheOpenerAllowsOpenActions) {
    testsupport::ManualClockScope clock;  // for the alert's animations
    const ShownController shown;
    const auto& controller = shown.controller;
    const auto adView = makeAdView();
    ASSERT_TRUE(adView);
    const auto delegate = std::make_shared<DelegateWithOpener>();
    adView->setDelegate(delegate);
    adView->setViewController(controller);
    int answered = 0;

    // Without an opener, and with one whose auto-click protection refuses an
    // untouched ad: the page goes on at once and nothing shows.
    for (const bool withOpener : {false, true}) {
        if (withOpener) {
            delegate->openerToGive = std::make_shared<ads::DZOpener>();
            const auto protection = std::make_shared<ads::DZAutoClickProtection>(true);
            // Its report goes to a core controller without a page.
            protection->setSDKCoreController(ads::DZSDKCoreController::create(
                [](const ads::DZWebViewConfiguration&) { return nullptr; }));
            delegate->openerToGive->setAutoClickProtection(protection);
        }
        adView->runJavaScriptAlertPanelWithTitle(*adView->webView(), "h", "m", [&] { ++answered; });
        EXPECT_EQ(answered, withOpener ? 1 : 0);  // later, on the main queue
        ASSERT_TRUE(drainMainQueue());
        EXPECT_EQ(answered, withOpener ? 2 : 1);
        EXPECT_EQ(controller->presentedViewController(), nullptr);
    }

    delegate->openerToGive = std::make_shared<AllowingOpener>();
    adView->runJavaScriptAlertPanelWithTitle(*adView->webView(), "host", "hello",
                                             [&] { ++answered; });
    const auto alert =
        std::dynamic_pointer_cast<ui::AlertController>(controller->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "host");
    EXPECT_EQ(alert->message(), "hello");
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0].title, "OK");
    EXPECT_EQ(answered, 2);
    alert->selectAction(0);
    clock.advance(1);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(answered, 3);
}

TEST(DZAdViewTest, AWiggleOnTheAdOpensTheDebugMenuWhenAllowed) {
    const ShownController shown;
    const auto& window = shown.window;
    const auto& controller = shown.controller;
    const auto adView = makeAdView();
    ASSERT_TRUE(adView);
    controller->view()->addSubview(adView);
    adView->setFrame({0, 100, 320, 50});
    adView->setViewController(controller);
    adView->setAdDebugDialogString("creative 42");
    window->layoutTree();
    const auto wiggle = [&] {
        const auto touch = window->touchDown({100, 120});
        for (const double x : {130.0, 100.0, 130.0, 100.0}) window->touchMove(touch, {x, 120});
        window->touchUp(touch, {100, 120});
    };

    adView->setShowDebug(false);
    wiggle();
    EXPECT_EQ(controller->presentedViewController(), nullptr);
    adView->setShowDebug(true);
    wiggle();
    const auto menu = std::dynamic_pointer_cast<ads::DZDebugOptionsViewController>(
        controller->presentedViewController());
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->adDebugDialogString(), "creative 42");
}

}  // namespace
