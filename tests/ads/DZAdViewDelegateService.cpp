// The ad view delegate routing a real page's dmsg messages and deciding its
// navigations: order of arrival, re-posted messages, flushes, and the
// navigation table (composers, app schemes, anchors, "deeplink+").

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "DMSGTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/presentation/click/DZOpener.h"
#include "store/MailComposeViewController.h"
#include "store/MessageComposeViewController.h"
#include "store/URLOpener.h"
#include "ui/AlertController.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "core/NotificationCenter.h"
#include "fixtures/AdServer.h"
#include "store/URLOpener.h"

namespace {

using namespace adwebtesting;
using dmsgtesting::message;
using dmsgtesting::RecordingHandler;

// Sends each URL of the list through a hidden iframe, all in one turn.
std::string pageSending(const std::vector<std::string>& urls) {
    std::string list;
    for (const auto& url : urls) list += (list.empty() ? "'" : ",'") + url + "'";
    return "<html><body><script>[" + list +
           "].forEach(function (u) { var f = document.createElement('iframe');"
           " f.style.display = 'none'; f.src = u; document.body.appendChild(f); });"
           "</script></body></html>";
}

class DZAdViewDelegateService : public testing::Test {
protected:
    void SetUp() override {
        adView = ads::DZAdView::create({0, 0, 320, 50});
        ASSERT_TRUE(adView);
        adView->setDelegate(delegate);
        delegate->addDMSGHandler(first);
        delegate->addDMSGHandler(second);
        ads::DZCallLog::clear();
    }
    void TearDown() override {
        adView->removeFromSuperview();
        store::URLOpener::shared().clearForTesting();
    }

    void load(const std::string& html) {
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML(html);
        ad->setAdBaseURL(server.url("/test/avd/page"));
        adView->setAd(ad);
        ASSERT_TRUE(waitFor([&] { return delegate->hasLoadedAtLeastOnce(); }));
    }
    // Shows the ad view in the window, for a person to touch.
    void place(ui::Window& window) {
        adView->setFrame({0, 100, 320, 50});
        window.addSubview(adView);
    }
    // A window showing the ad view on a root controller, which presents
    // what the opener shows.
    std::pair<std::shared_ptr<ui::Window>, std::shared_ptr<ui::ViewController>> presenting() {
        const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
        const auto root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        place(*window);
        return {window, root};
    }
    void tapTheAd(ui::Window& window) {
        ui::TouchInjector(window).tap(adView->convertPointTo({160, 25}, nullptr));
    }
    bool decide(const std::string& url, long type = 0) {
        return delegate->shouldStartLoadWithRequest(
            *adView, core::URLRequest(*core::URL::create(url)), type);
    }

    fixtures::AdServer server;
    std::shared_ptr<ads::DZAdViewDelegate> delegate = std::make_shared<ads::DZAdViewDelegate>();
    std::shared_ptr<RecordingHandler> first =
        std::make_shared<RecordingHandler>(std::vector<std::string>{"m", "shared"});
    std::shared_ptr<RecordingHandler> second =
        std::make_shared<RecordingHandler>(std::vector<std::string>{"shared", "late"});
    std::shared_ptr<ads::DZAdView> adView;
};

TEST_F(DZAdViewDelegateService, MessagesSentInOneTurnArriveInOrderAndOnlyTheFirstClaimerSeesThem) {
    load(pageSending({"dmsg://x/m?i=0", "dmsg://x/m?i=1", "dmsg://x/shared?i=2", "dmsg://x/m?i=3",
                      "dmsg://x/late?i=4", "dmsg://x/m?i=5"}));
    ASSERT_TRUE(waitFor([&] { return first->performed.size() == 5; }));
    EXPECT_EQ(first->performed,
              (std::vector<std::string>{R"(m {"i":"0"})", R"(m {"i":"1"})", R"(shared {"i":"2"})",
                                        R"(m {"i":"3"})", R"(m {"i":"5"})"}));
    ASSERT_TRUE(waitFor([&] { return !second->performed.empty(); }));
    EXPECT_EQ(second->performed, (std::vector<std::string>{R"(late {"i":"4"})"}));
    // The frames never loaded their dmsg URLs: nothing reached the server
    // but the page's own base.
    EXPECT_TRUE(server.requestsTo("/x/m").empty());
}

TEST_F(DZAdViewDelegateService, OnlyTheNativeAdsMessagesAreRepostedWhenUnclaimed) {
    std::vector<core::Value> overlays;
    size_t collected = 0;
    auto& center = core::NotificationCenter::defaultCenter();
    const auto overlayToken = center.addObserver("showOverlay", adView.get(), nullptr,
                                                 [&](const core::Notification& notification) {
                                                     EXPECT_TRUE(core::RunLoop::isMainThread());
                                                     overlays.push_back(notification.userInfo);
                                                 });
    const auto collectToken = center.addObserver("COLLECT_STATUS_CHANGED", adView.get(), nullptr,
                                                 [&](const core::Notification&) { ++collected; });

    load(pageSending({"dmsg://x/showOverlay?p=1&q=two", "dmsg://x/COLLECT_STATUS_CHANGED?s=1",
                      "dmsg://x/m?end=1"}));
    ASSERT_TRUE(waitFor([&] { return !first->performed.empty(); }));
    ASSERT_TRUE(drainMainQueue());
    center.removeObserver(overlayToken);
    center.removeObserver(collectToken);

    ASSERT_EQ(overlays.size(), 1u);
    EXPECT_EQ(overlays[0], core::Value(core::Dictionary{{"p", "1"}, {"q", "two"}}));
    EXPECT_EQ(collected, 0u);
}

TEST_F(DZAdViewDelegateService, MovingToAPlacementFlushesEveryHandlerInOrder) {
    first->hold = second->hold = true;
    ASSERT_TRUE(first->handleNotification(message("m", {{"n", "1"}}), adView));
    ASSERT_TRUE(second->handleNotification(message("late", {{"n", "2"}}), adView));

    // The flush is posted to the main queue; still held then, still kept.
    delegate->didMoveToPlacement(*adView, nullptr);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(first->performed.empty());
    EXPECT_EQ(second->bufferedNotifications().size(), 1u);

    first->hold = second->hold = false;
    delegate->didMoveToPlacement(*adView, nullptr);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(first->performed, (std::vector<std::string>{R"(m {"n":"1"})"}));
    EXPECT_EQ(second->performed, (std::vector<std::string>{R"(late {"n":"2"})"}));
}

TEST_F(DZAdViewDelegateService, NavigationTable) {
    load("<html><body>page</body></html>");
    const std::string page = server.urlString("/test/avd/page");
    // What the opener does with what it is handed: a composer or a
    // confirmation on screen, or an app opened.
    const auto shown = presenting();
    const auto& window = shown.first;
    const auto& root = shown.second;
    store::MailComposeViewController::setCanSendMailForTesting(true);
    store::MessageComposeViewController::setCanSendTextForTesting(true);
    auto& system = store::URLOpener::shared();
    struct Case {
        std::string url;
        long type;
        bool loads;
        std::string outcome;
    };
    const Case cases[] = {
        {"file:///etc/hosts", 0, false, ""},
        {page + "#section", 0, false, ""},  // an anchor of the same page
        {page + "#section", 2, true, ""},   // back/forward to it loads
        {"dmsg://x/nothing", 0, false, ""},
        {"about:blank", 0, true, ""},
        {"mailto:a@b.test", 0, false, "mail a@b.test"},
        {"sms:123", 0, false, "message 123"},
        {"tel:123", 0, false, "confirm 123"},
        {"myapp://open/x", 3, false, "open myapp://open/x"},
        {"https://landing.test/x", 0, true, ""},  // no click before slots exist
        {"http://landing.test/x", 2, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        system.clearForTesting();
        system.setHandler("myapp", [](const core::URL&) { return true; });
        // What leaves the app needs a person's touch.
        tapTheAd(*window);
        EXPECT_EQ(decide(c.url, c.type), c.loads);
        ASSERT_TRUE(drainMainQueue());
        ASSERT_TRUE(drainMainQueue());
        std::string outcome;
        const auto shown = root->presentedViewController();
        if (const auto mail = std::dynamic_pointer_cast<store::MailComposeViewController>(shown))
            outcome = "mail " + mail->toRecipients().at(0);
        else if (const auto text =
                     std::dynamic_pointer_cast<store::MessageComposeViewController>(shown))
            outcome = "message " + text->recipients().at(0);
        else if (const auto alert = std::dynamic_pointer_cast<ui::AlertController>(shown))
            outcome = "confirm " + alert->message();
        else if (!system.openedURLs().empty())
            outcome = "open " + system.openedURLs()[0].absoluteString();
        EXPECT_EQ(outcome, c.outcome);
        // Composers end as the user ends them; the confirmation is cancelled.
        if (const auto mail = std::dynamic_pointer_cast<store::MailComposeViewController>(shown))
            mail->finish(store::MailComposeResult::Cancelled);
        else if (const auto text =
                     std::dynamic_pointer_cast<store::MessageComposeViewController>(shown))
            text->finish(store::MessageComposeResult::Cancelled);
        else if (const auto alert = std::dynamic_pointer_cast<ui::AlertController>(shown))
            alert->selectAction(0);
        ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
        ASSERT_TRUE(delegate->opener()->navigationRequest());
        EXPECT_EQ(delegate->opener()->navigationRequest()->url().absoluteString(), c.url);
        EXPECT_EQ(delegate->opener()->adView(), adView);
    }
    system.clearForTesting();
    store::MailComposeViewController::setCanSendMailForTesting(false);
    store::MessageComposeViewController::setCanSendTextForTesting(false);
}

// A person's tap on a link the page wrote with spaces reaches the opener:
// a call is confirmed first, a mail address with a name opens the composer,
// each shown as the page wrote it.
TEST_F(DZAdViewDelegateService, LinksWrittenWithSpacesReachTheOpener) {
    load("<html><body style='margin:0'>"
         "<a href='tel:+1 555 0100' style='position:absolute;left:0;top:0;width:160px;"
         "height:50px'>call</a><a href='mailto:Ann Lee <ann@example.com>' "
         "style='position:absolute;left:160px;top:0;width:160px;height:50px'>mail</a>"
         "</body></html>");
    const auto shown = presenting();
    const auto& window = shown.first;
    const auto& root = shown.second;
    store::MailComposeViewController::setCanSendMailForTesting(true);
    ui::TouchInjector(*window).tap(adView->convertPointTo({80, 25}, nullptr));
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() != nullptr; }));
    const auto alert =
        std::dynamic_pointer_cast<ui::AlertController>(root->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "+1 555 0100");
    alert->selectAction(0);
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));

    ui::TouchInjector(*window).tap(adView->convertPointTo({240, 25}, nullptr));
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() != nullptr; }));
    const auto mail = std::dynamic_pointer_cast<store::MailComposeViewController>(
        root->presentedViewController());
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->toRecipients(), std::vector<std::string>{"Ann Lee <ann@example.com>"});
    mail->finish(store::MailComposeResult::Cancelled);
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    store::MailComposeViewController::setCanSendMailForTesting(false);
}

TEST_F(DZAdViewDelegateService, DeeplinkPlusOpensTheFallbackAndPingsItsTrackers) {
    const std::string deeplink =
        "deeplink+://navigate?primaryUrl=" + std::string("noapp%3A%2F%2Fitem") +
        "&primaryTrackingUrl=" + ads::DZPercentEscapedString(server.urlString("/track/p1")) +
        "&fallbackUrl=" + ads::DZPercentEscapedString(server.urlString("/land")) +
        "&fallbackTrackingUrl=" + ads::DZPercentEscapedString(server.urlString("/track/f1")) +
        "&fallbackTrackingUrl=" + ads::DZPercentEscapedString(server.urlString("/track/f2"));
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    place(*window);
    auto& system = store::URLOpener::shared();
    system.clearForTesting();
    tapTheAd(*window);
    EXPECT_FALSE(decide(deeplink));
    ASSERT_TRUE(waitFor([&] { return !system.requests().empty(); }));
    EXPECT_EQ(system.requests()[0].url.absoluteString(), server.urlString("/land"));
    EXPECT_TRUE(waitFor([&] {
        return !server.requestsTo("/track/f1").empty() && !server.requestsTo("/track/f2").empty();
    }));
    EXPECT_TRUE(server.requestsTo("/track/p1").empty());

    // Other hosts and primaries that make no URL do nothing.
    system.clearForTesting();
    EXPECT_FALSE(decide("deeplink+://other?primaryUrl=a%3A%2F%2Fb&fallbackUrl=b%3A%2F%2Fc"));
    EXPECT_FALSE(decide("deeplink+://navigate?fallbackUrl=b%3A%2F%2Fc"));
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(system.requests().empty());

    // Switched off, the URL goes to the opener like any app scheme.
    ConstantsScope constants;
    constants.set(ads::DZAdViewDelegate::kDeeplinkPlusEnabledKey, "0");
    tapTheAd(*window);
    EXPECT_FALSE(decide(deeplink));
    ASSERT_TRUE(waitFor([&] { return !system.requests().empty(); }));
    EXPECT_EQ(system.requests()[0].url.absoluteString(), deeplink);
    system.clearForTesting();
}

}  // namespace
