// The Live View messages of a page: the handler that starts and stops the
// ad view's reporter or tells its delegate, and the SDK core web view that
// routes the page's verdicts to the observer of each Live View identifier.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "DMSGTesting.h"
#include "LiveViewTesting.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/web/dmsg/DZLiveViewDMSGHandler.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZAdViewLiveViewReporter.h"

namespace {

using adwebtesting::drainMainQueue;
using dmsgtesting::message;
using liveviewtesting::RecordingHandlerDelegate;
using liveviewtesting::RecordingObserver;
using Calls = std::vector<std::string>;

class DZLiveViewDMSGHandlerTest : public testing::Test {
protected:
    void SetUp() override {
        handler->setDelegate(delegate);
        adView->liveViewReporter()->setObserver(observer);
    }
    bool handle(const std::string& name, core::Dictionary parameters = {}) {
        return handler->handleNotification(message(name, std::move(parameters)), adView);
    }

    std::shared_ptr<ads::DZLiveViewDMSGHandler> handler =
        std::make_shared<ads::DZLiveViewDMSGHandler>();
    std::shared_ptr<RecordingHandlerDelegate> delegate =
        std::make_shared<RecordingHandlerDelegate>();
    std::shared_ptr<RecordingObserver> observer = std::make_shared<RecordingObserver>();
    std::shared_ptr<ads::DZAdView> adView = ads::DZAdView::create({0, 0, 320, 50});
};

TEST_F(DZLiveViewDMSGHandlerTest, TrackAndUntrackDriveTheAdViewsReporterFirst) {
    EXPECT_TRUE(handle("trackLiveViewUnit"));
    EXPECT_TRUE(adView->liveViewReporter()->reporting());
    // While the ad page reports, untracking stops it and tells no one else.
    EXPECT_TRUE(handle("untrackLiveViewUnit", {{"hashCode", "5"}}));
    EXPECT_FALSE(adView->liveViewReporter()->reporting());
    EXPECT_EQ(observer->calls, (Calls{"started 2", "stopped 2"}));
    EXPECT_TRUE(delegate->calls.empty());

    EXPECT_TRUE(handle("untrackLiveViewUnit", {{"hashCode", "5"}}));
    EXPECT_TRUE(handle("untrackLiveViewUnit"));
    EXPECT_EQ(delegate->calls, Calls{"untrack 5"});
    EXPECT_EQ(observer->calls.size(), 2u);
    EXPECT_FALSE(handle("liveView"));
}

TEST_F(DZLiveViewDMSGHandlerTest, VisibilityNeedsBothParametersAndOnlyOneIsVisible) {
    EXPECT_TRUE(handle("visibilityChanged", {{"hashCode", "3"}, {"isVisible", "1"}}));
    EXPECT_TRUE(handle("visibilityChanged", {{"hashCode", "3"}, {"isVisible", "true"}}));
    EXPECT_TRUE(handle("visibilityChanged", {{"hashCode", "4"}, {"isVisible", "0"}}));
    EXPECT_TRUE(handle("visibilityChanged", {{"isVisible", "1"}}));
    EXPECT_TRUE(handle("visibilityChanged", {{"hashCode", "3"}}));
    EXPECT_EQ(delegate->calls, (Calls{"visibility 3 1", "visibility 3 0", "visibility 4 0"}));
}

TEST_F(DZLiveViewDMSGHandlerTest, AnAdPagesMessagesReachItFirstInTheDelegatesList) {
    const auto adViewDelegate = std::make_shared<ads::DZAdViewDelegate>();
    ASSERT_FALSE(adViewDelegate->DMSGHandlers().empty());
    EXPECT_TRUE(std::dynamic_pointer_cast<ads::DZLiveViewDMSGHandler>(
        adViewDelegate->DMSGHandlers().front()));
    adViewDelegate->handleDMSGURL(*core::URL::create("dmsg://page/trackLiveViewUnit"), adView);
    EXPECT_TRUE(adwebtesting::waitFor([&] { return !observer->calls.empty(); }));
    EXPECT_EQ(observer->calls, Calls{"started 2"});
}

class DZSDKCoreWebViewLiveViewTest : public testing::Test {
protected:
    void TearDown() override {
        webView.reset();
        EXPECT_TRUE(drainMainQueue());
    }
    // What the page's messages do, as the handler passes them on.
    void visibility(std::uint64_t id, bool visible) {
        webView->liveViewDMSGHandlerDidReceiveVisibilityNotification(
            *webView->liveViewDMSGHandler(), visible, id);
    }
    void untrack(std::uint64_t id) {
        webView->liveViewDMSGHandlerDidReceiveUntrackNotification(*webView->liveViewDMSGHandler(),
                                                                  id);
    }

    std::shared_ptr<ads::DZSDKCoreWebView> webView = ads::DZSDKCoreWebView::create();
    std::shared_ptr<RecordingObserver> first = std::make_shared<RecordingObserver>();
    std::shared_ptr<RecordingObserver> second = std::make_shared<RecordingObserver>();
};

TEST_F(DZSDKCoreWebViewLiveViewTest, EachIdentifierKeepsItsFirstObserver) {
    ASSERT_TRUE(webView);
    EXPECT_EQ(webView->liveViewDMSGHandler()->delegate(), webView);
    EXPECT_FALSE(webView->isLiveViewRunning());
    webView->setLiveViewObserver(first, 1);
    webView->setLiveViewObserver(second, 1);
    EXPECT_TRUE(webView->isLiveViewRunning());

    visibility(1, true);
    visibility(2, true);  // nobody's
    EXPECT_TRUE(first->calls.empty()) << "told on the main queue";
    ASSERT_TRUE(drainMainQueue());
    untrack(1);
    EXPECT_FALSE(webView->isLiveViewRunning());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(first->calls, (Calls{"visible", "stopped 1"}));
    EXPECT_TRUE(second->calls.empty());

    // Untracked, the identifier takes a new observer.
    webView->setLiveViewObserver(second, 1);
    visibility(1, false);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(second->calls, Calls{"hidden"});
}

TEST_F(DZSDKCoreWebViewLiveViewTest, RemovedGoneAndClearedObservers) {
    webView->setLiveViewObserver(first, 1);
    webView->setLiveViewObserver(second, 2);
    webView->removeLiveViewObserverForLiveViewID(1);
    // The page still runs the removed observer's instance until it untracks.
    untrack(2);
    EXPECT_TRUE(webView->isLiveViewRunning());
    untrack(1);
    EXPECT_FALSE(webView->isLiveViewRunning());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(first->calls.empty());
    EXPECT_EQ(second->calls, Calls{"stopped 1"});

    // An observer that goes away drops out; one never registered counts as none.
    auto gone = std::make_shared<RecordingObserver>();
    webView->setLiveViewObserver(gone, 3);
    gone.reset();
    webView->setLiveViewObserver(first, 3);
    webView->setLiveViewObserver(second, 4);
    webView->setLiveViewObserver(nullptr, 5);
    // Clearing tells every observer at once, on the calling thread.
    webView->clearAllLiveViewInstances();
    EXPECT_EQ(first->calls, Calls{"stopped 1"});
    EXPECT_EQ(second->calls, (Calls{"stopped 1", "stopped 1"}));
    EXPECT_FALSE(webView->isLiveViewRunning());
}

}  // namespace
