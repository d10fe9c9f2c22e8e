// Core web views lent for Live View by a controller of its own, with the
// local ad server's core page: sharing, reloads on the page's request, a page
// per borrower, the cache of returned pages that still measure, and samples
// answered by the page's verdicts when the visibility changes.

#include "LiveViewTesting.h"
#include "SDKCoreTesting.h"
#include "ads/web/view/DZLiveViewMonitor.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace {

using namespace sdkcoretesting;
using ads::DZSDKCoreWebView;
using liveviewtesting::RecordingObserver;
using Calls = std::vector<std::string>;

class DZLiveViewCoreService : public SDKCoreTest {
protected:
    void deliver(const core::Dictionary& constants) {
        controller->didLoadSDKConstants(*page().SDKCoreDMSGHandler(), constants);
    }
    [[nodiscard]] static bool waitForLoad(const std::shared_ptr<DZSDKCoreWebView>& webView) {
        return waitFor([&] { return webView->state() == DZSDKCoreWebView::kLoaded; });
    }
    [[nodiscard]] std::shared_ptr<DZSDKCoreWebView> borrow() {
        auto webView = controller->SDKCoreWebViewForLiveViewProcessing();
        EXPECT_TRUE(webView);
        EXPECT_NE(webView, controller->activeSDKCoreWebView());
        return webView;
    }
};

TEST_F(DZLiveViewCoreService, BorrowersShareAPageUntilItAsksForAReload) {
    makeController();
    const auto first = borrow();
    EXPECT_EQ(borrow(), first);
    EXPECT_TRUE(waitForLoad(first)) << "a lent page loads at once";

    ASSERT_TRUE(loadPage());
    sendFromPage("requestReload", {});
    ASSERT_TRUE(waitFor([&] { return controller->liveViewRequestedSDKCoreReload(); }));
    const auto reloaded = borrow();
    EXPECT_NE(reloaded, first);
    EXPECT_FALSE(controller->liveViewRequestedSDKCoreReload());
    EXPECT_EQ(borrow(), reloaded);
    EXPECT_TRUE(waitForLoad(reloaded));
    EXPECT_EQ(first->state(), DZSDKCoreWebView::kLoaded) << "the old page keeps working";
}

TEST_F(DZLiveViewCoreService, WithTheSwitchOnEachBorrowerGetsAPageOfItsOwn) {
    makeController();
    deliver({{"use_new_web_views_for_live_view", "1"}});
    const auto first = borrow();
    const auto second = borrow();
    EXPECT_NE(first, second);
    EXPECT_TRUE(waitForLoad(first));
    EXPECT_TRUE(waitForLoad(second));
    deliver({});
    const auto shared = borrow();
    EXPECT_NE(shared, first);
    EXPECT_NE(shared, second);
    EXPECT_EQ(borrow(), shared);
}

TEST_F(DZLiveViewCoreService, ReturnedPagesThatStillMeasureAreCachedNewestFirst) {
    makeController();
    deliver({{"use_new_web_views_for_live_view", "1"}, {"live_view_unload_cache_size", "3"}});
    std::vector<std::shared_ptr<DZSDKCoreWebView>> webViews;
    std::vector<std::shared_ptr<RecordingObserver>> observers;
    for (std::uint64_t id = 1; id <= 4; ++id) {
        webViews.push_back(borrow());
        observers.push_back(std::make_shared<RecordingObserver>());
        webViews.back()->setLiveViewObserver(observers.back(), id);
    }
    // A page that measures nothing is not kept.
    const auto idle = borrow();
    controller->finishedUsingSDKCoreWebViewForLiveViewProcessing(idle);
    EXPECT_TRUE(controller->liveViewSDKCoreWebViews().empty());

    for (size_t i = 0; i < 3; ++i) {
        webViews[i]->removeLiveViewObserverForLiveViewID(i + 1);
        controller->finishedUsingSDKCoreWebViewForLiveViewProcessing(webViews[i]);
    }
    EXPECT_EQ(controller->liveViewSDKCoreWebViews(),
              (std::vector<std::shared_ptr<DZSDKCoreWebView>>{webViews[0], webViews[1],
                                                              webViews[2]}));
    // The fourth return pushes out the oldest, which is cleared: its
    // observer, still registered, hears that the core page stopped.
    webViews[0]->setLiveViewObserver(observers[0], 9);
    controller->finishedUsingSDKCoreWebViewForLiveViewProcessing(webViews[3]);
    EXPECT_EQ(controller->liveViewSDKCoreWebViews(),
              (std::vector<std::shared_ptr<DZSDKCoreWebView>>{webViews[1], webViews[2],
                                                              webViews[3]}));
    EXPECT_FALSE(webViews[0]->isLiveViewRunning());
    EXPECT_EQ(observers[0]->calls, Calls{"stopped 1"});
    EXPECT_TRUE(observers[1]->calls.empty());

    // A cached page whose instances all ended goes at the next lending.
    webViews[1]->clearAllLiveViewInstances();
    (void)borrow();
    EXPECT_EQ(controller->liveViewSDKCoreWebViews(),
              (std::vector<std::shared_ptr<DZSDKCoreWebView>>{webViews[2], webViews[3]}));
}

TEST_F(DZLiveViewCoreService, SamplesReachThePageAndItsVerdictsTheObserver) {
    fixtures::CorePageOptions options;
    options.answerLiveViewVisibility = true;
    options.untrackUnloadedLiveViewUnits = true;
    server.setCorePage(options);
    makeController();
    ui::Application::shared().becomeActive();
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    const auto adView = std::make_shared<ui::View>(gfx::Rect(0, 100, 320, 50));
    window->addSubview(adView);

    const auto webView = borrow();
    const auto observer = std::make_shared<RecordingObserver>();
    webView->setLiveViewObserver(observer, 11);
    const auto monitor = ads::DZLiveViewMonitor::create(adView, "banner_mb", std::nullopt);
    monitor->sample();
    const auto send = [&](bool unloaded) {
        const auto command = ads::DZLiveViewMonitor::commandForLiveViewState(
            monitor->liveViewStateWithID(11, false, unloaded));
        ASSERT_TRUE(command);
        webView->enqueueJavaScriptCommand(*command);
    };
    send(false);  // waits for the page to load
    ASSERT_TRUE(waitFor([&] { return !observer->calls.empty(); }));
    EXPECT_EQ(observer->calls, Calls{"visible"});

    // Samples that change nothing bring no verdict; the next change does,
    // and the unloaded sample only ends the unit.
    send(false);
    send(false);
    adView->setFrame({0, 600, 320, 50});
    monitor->sample();
    send(false);
    ASSERT_TRUE(waitFor([&] { return observer->calls.size() >= 2; }));
    send(true);
    ASSERT_TRUE(waitFor([&] { return observer->calls.size() >= 3; }));
    EXPECT_EQ(observer->calls, (Calls{"visible", "hidden", "stopped 1"}));
    EXPECT_FALSE(webView->isLiveViewRunning());
    controller->finishedUsingSDKCoreWebViewForLiveViewProcessing(webView);
    EXPECT_TRUE(controller->liveViewSDKCoreWebViews().empty());
    ui::Application::shared().resetForTesting();
}

}  // namespace
