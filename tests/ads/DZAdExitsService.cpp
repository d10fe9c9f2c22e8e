// Ad pages that try to leave the app, shown in a banner in a window. An
// untouched page is refused every way out (its own navigation, a frame, a
// new window, each "open" action, composers and dials in any case), with
// the auto-click protection on and off; a tapped page leaves once, and a
// retry after the touch has gone stale is refused (a touch counts from the
// finger's lift; the engine's word that a person started a navigation
// stands for a touch). Dialling schemes in capitals still ask first, and
// HTML never gets a base outside http(s).

#include <gtest/gtest.h>

#include "HandlerTesting.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/foundation/DZSafariSupport.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/web/dmsg/DZOpenerDMSGHandler.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/web/view/DZUIKitWebView.h"
#include "core/Console.h"
#include "store/MailComposeViewController.h"
#include "store/MessageComposeViewController.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/AlertController.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"
#include "web/NavigationAction.h"
#include "web/WebView.h"

namespace {

using namespace handlertesting;

constexpr const char* kRefusalLine = "without a person's touch";

// The page's helpers: frame(u) loads u in a hidden frame, send(query) sends
// the "open" message, e(u) escapes a parameter.
const std::string kHelpers =
    "function frame(u) { var f = document.createElement('iframe');"
    " f.style.display = 'none'; f.src = u; document.body.appendChild(f); }"
    "function e(u) { return encodeURIComponent(u); }"
    "function send(q) { frame('dmsg://x/open?' + q); }";

// Once window.go is set, tries every way out, 30 ms apart, then says
// "done". The timer that starts it was set up at load, so no gesture of a
// person's is behind any step.
const std::string kHostilePage =
    "<html><body style='margin:0'><script>" + kHelpers +
    "var steps = ["
    " function () { location = 'myapp://navigation'; },"
    " function () { location.href = 'TEL:557'; },"
    " function () { location = 'MAILTO:a@b.test'; },"
    " function () { location = 'sms:123'; },"
    " function () { frame('myapp://frame'); },"
    " function () { frame('Tel:558'); },"
    " function () { frame('mailto:c@d.test'); },"
    " function () { window.open('myapp://window'); },"
    " function () { send('a=app&u=' + e('myapp://message')); },"
    " function () { send('u=' + e('https://shop.test/browser')); },"
    " function () { send('a=call&u=' + e('TEL:559')); },"
    " function () { send('a=app&u=' + e('MAILTO:e@f.test')); },"
    " function () { send('a=deep_link&event_id=e1&u=' + e('myapp://deep')); },"
    " function () { send('a=deep_link&event_id=e2&u=' + e('https://shop.test/universal')); },"
    " function () { send('a=in_app_store&product_id=42&wait_for_fetch=false&u=' +"
    "   e('https://shop.test/fallback')); },"
    " function () { frame('deeplink+://navigate?primaryUrl=' + e('noapp://primary') +"
    "   '&fallbackUrl=' + e('https://shop.test/fallback2')); },"
    " function () { setTimeout(function () { frame('dmsg://x/done'); }, 300); }];"
    "var i = 0;"
    "function next() { if (i < steps.length) { steps[i++](); setTimeout(next, 30); } }"
    "var start = setInterval(function () {"
    " if (window.go) { clearInterval(start); next(); } }, 20);"
    "</script></body></html>";

// Leaves once when tapped, by window.kind ('navigation' or 'message'); a
// timer set up at load (so no gesture of the person's is behind it) makes
// one more try when window.retry is set, then says "done".
const std::string kTappablePage =
    "<html><body style='margin:0'>"
    "<div style='width:320px;height:50px' onclick='leave(\"tapped\")'></div><script>" +
    kHelpers +
    "window.kind = 'navigation'; window.retry = false;"
    "function leave(tag) {"
    " if (window.kind == 'navigation') location = 'myapp://' + tag;"
    " else send('a=app&u=' + e('myapp://' + tag)); }"
    "setInterval(function () { if (!window.retry) return; window.retry = false;"
    " leave('retry'); frame('dmsg://x/done'); }, 20);"
    "</script></body></html>";

class DZAdExitsService : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(page.slot);
        system().clearForTesting();
        for (const char* scheme : {"myapp", "tel", "mailto", "https"})
            system().setHandler(scheme, [](const core::URL&) { return true; });
        store::MailComposeViewController::setCanSendMailForTesting(true);
        store::MessageComposeViewController::setCanSendTextForTesting(true);
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        page.adView()->setFrame({0, 100, 320, 50});
        window->addSubview(page.adView());
        page.slot->adViewDelegate()->addDMSGHandler(done);
        previousSink = core::Console::setSink([this](std::string_view line) {
            if (line.find(kRefusalLine) != std::string_view::npos) ++refusalsLogged;
        });
    }
    void TearDown() override {
        core::Console::setSink(previousSink);
        page.adView()->removeFromSuperview();
        store::MailComposeViewController::setCanSendMailForTesting(false);
        store::MessageComposeViewController::setCanSendTextForTesting(false);
        core::UserDefaults::standard()->removeObjectForKey(ads::DZOpener::kConfirmationSchemesKey);
        system().clearForTesting();
    }
    static store::URLOpener& system() { return store::URLOpener::shared(); }

    // The protection reports to a core controller of its own, without a
    // page: what matters here is that a refusal goes to the protection
    // instead of the log.
    void protect(bool on) {
        std::shared_ptr<ads::DZAutoClickProtection> protection;
        if (on) {
            protection = std::make_shared<ads::DZAutoClickProtection>(true);
            protection->setSDKCoreController(ads::DZSDKCoreController::create(
                [](const ads::DZWebViewConfiguration&) { return nullptr; }));
        }
        page.opener->setAutoClickProtection(protection);
    }
    // Runs the main loop, moving the clock on, until done: presenting and
    // dismissing take time on the clock.
    [[nodiscard]] bool tickUntil(const std::function<bool()>& done) {
        return waitFor([&] {
            if (done()) return true;
            clock.advance(0.05);
            return false;
        });
    }
    void tapTheAd() {
        ui::TouchInjector(*window).tap(page.adView()->convertPointTo({160, 25}, nullptr));
    }
    // Waits for the page's "done" and for what its messages queued.
    [[nodiscard]] bool pageIsDone(size_t count = 1) {
        return waitFor([&] { return done->performed.size() >= count; }) && drainMainQueue() &&
               drainMainQueue();
    }
    // Everything by which the app could have been left.
    void expectNothingLeft() {
        EXPECT_EQ(requested(), std::vector<std::string>{});
        EXPECT_EQ(root->presentedViewController(), nullptr);
        EXPECT_TRUE(page.opener->confirmationAlerts().empty());
        EXPECT_FALSE(page.opener->didOpenAnotherApplication());
        EXPECT_EQ(page.owner->clicks, 0);
    }
    [[nodiscard]] std::vector<std::string> requested() const {
        std::vector<std::string> urls;
        for (const auto& request : system().requests())
            urls.push_back(request.url.scheme() + "://" + request.url.host());
        return urls;
    }

    testsupport::ManualClockScope clock;
    adwebtesting::ConstantsScope constants;
    SlotPage page;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<dmsgtesting::RecordingHandler> done =
        std::make_shared<dmsgtesting::RecordingHandler>(std::vector<std::string>{"done"});
    std::function<void(std::string_view)> previousSink;
    int refusalsLogged = 0;
};

TEST_F(DZAdExitsService, AnUntouchedPageLeavesByNoWayWhateverTheProtectionSays) {
    for (const bool protection : {false, true}) {
        SCOPED_TRACE(protection ? "protection on" : "protection off");
        done->performed.clear();
        refusalsLogged = 0;
        ASSERT_TRUE(page.load(kHostilePage));
        // The ad's response set the protection at load; the test's own goes
        // in before the page starts.
        protect(protection);
        (void)adwebtesting::evaluate(*page.adView()->webView(), "window.go = true");
        ASSERT_TRUE(pageIsDone());
        expectNothingLeft();
        // Refusals go to the protection when it is on, else to the log,
        // once for the ad.
        EXPECT_EQ(refusalsLogged, protection ? 0 : 1);
        EXPECT_FALSE(page.adView()->touched());
    }
    // A new ad is logged again.
    done->performed.clear();
    refusalsLogged = 0;
    ASSERT_TRUE(page.load(kHostilePage));
    protect(false);
    (void)adwebtesting::evaluate(*page.adView()->webView(), "window.go = true");
    ASSERT_TRUE(pageIsDone());
    EXPECT_EQ(refusalsLogged, 1);
}

TEST_F(DZAdExitsService, ATappedPageLeavesOnceAndARetryTwoSecondsLaterIsRefused) {
    for (const bool protection : {false, true}) {
        for (const char* kind : {"navigation", "message"}) {
            SCOPED_TRACE(std::string(kind) + (protection ? ", protection on" : ", protection off"));
            system().clearForTesting();
            system().setHandler("myapp", [](const core::URL&) { return true; });
            done->performed.clear();
            refusalsLogged = 0;
            ASSERT_TRUE(page.load(kTappablePage));
            protect(protection);
            (void)adwebtesting::evaluate(*page.adView()->webView(),
                                         "window.kind = '" + std::string(kind) + "'");

            tapTheAd();
            ASSERT_TRUE(waitFor([&] { return !system().requests().empty(); }));
            ASSERT_TRUE(drainMainQueue() && drainMainQueue());
            EXPECT_EQ(requested(), std::vector<std::string>{"myapp://tapped"});

            clock.advance(2);
            (void)adwebtesting::evaluate(*page.adView()->webView(), "window.retry = true");
            // The retry is refused (and, without the protection, logged).
            if (!protection) {
                EXPECT_TRUE(waitFor([&] { return refusalsLogged == 1; }));
            }
            ASSERT_TRUE(pageIsDone());
            EXPECT_EQ(requested(), std::vector<std::string>{"myapp://tapped"});
            if (!protection) {
                EXPECT_EQ(refusalsLogged, 1);
            }
        }
    }
}

// Each route that decides on a scheme, with the scheme written in capitals
// or mixed case, after a real touch on the ad.
TEST_F(DZAdExitsService, SchemesInAnyCaseTakeTheRoutesOfTheirLowerCaseForms) {
    ASSERT_TRUE(page.load());
    const auto handler = handlerOf<ads::DZOpenerDMSGHandler>(*page.slot->adViewDelegate());
    ASSERT_TRUE(handler);
    const auto cancelConfirmation = [&](const std::string& number) {
        ASSERT_TRUE(tickUntil([&] { return !page.opener->confirmationAlerts().empty(); }));
        const auto alerts = page.opener->confirmationAlerts();
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0]->message(), number);
        alerts[0]->selectAction(0);
        ASSERT_TRUE(tickUntil([&] { return root->presentedViewController() == nullptr; }));
    };
    const auto navigate = [&](const std::string& url) {
        return page.slot->adViewDelegate()->shouldStartLoadWithRequest(
            *page.adView(), core::URLRequest(*core::URL::create(url)), 0);
    };

    for (const char* tel : {"TEL:557", "Tel:557"}) {
        SCOPED_TRACE(tel);
        tapTheAd();
        EXPECT_FALSE(navigate(tel));
        cancelConfirmation("557");
        tapTheAd();
        ASSERT_TRUE(page.send(*handler, "open", {{"a", "call"}, {"u", tel}}));
        cancelConfirmation("557");
        tapTheAd();
        ASSERT_TRUE(page.send(*handler, "open", {{"a", "deep_link"}, {"u", tel}, {"event_id", "d"}}));
        ASSERT_TRUE(drainMainQueue());
        cancelConfirmation("557");
        EXPECT_TRUE(system().requests().empty()) << "nothing dialled without the confirmation";
    }

    // A mail link in capitals is a composer, as in lower case.
    tapTheAd();
    EXPECT_FALSE(navigate("MAILTO:ann@shop.test?Subject=hi"));
    ASSERT_TRUE(tickUntil([&] { return root->presentedViewController() != nullptr; }));
    const auto mail = std::dynamic_pointer_cast<store::MailComposeViewController>(
        root->presentedViewController());
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->toRecipients(), std::vector<std::string>{"ann@shop.test"});
    EXPECT_EQ(mail->subject(), "hi");
    mail->finish(store::MailComposeResult::Cancelled);
    ASSERT_TRUE(tickUntil([&] { return root->presentedViewController() == nullptr; }));
    // Sent as "open", it goes to the system as any app URL does.
    tapTheAd();
    ASSERT_TRUE(page.send(*handler, "open", {{"a", "app"}, {"u", "MAILTO:bo@shop.test"}}));
    ASSERT_TRUE(waitFor([&] { return !system().requests().empty(); }));
    ASSERT_EQ(system().requests().size(), 1u);
    EXPECT_TRUE(system().requests()[0].url.hasScheme("mailto"));
    EXPECT_EQ(root->presentedViewController(), nullptr);

    // The server's names of schemes to confirm, and of the in-app
    // browser's schemes, count in any case too.
    core::UserDefaults::standard()->setObject(ads::DZOpener::kConfirmationSchemesKey,
                                              core::Dictionary{{"MyApp", "Go"}});
    EXPECT_EQ(page.opener->confirmationMessageForURL(*core::URL::create("MYAPP://x")), "Go");
    EXPECT_EQ(page.opener->confirmationMessageForURL(*core::URL::create("tel:1")), std::nullopt);
    constants.set(ads::kDZSafariSupportedSchemesKey, core::Array{"HTTPS"});
    EXPECT_TRUE(ads::DZSafariViewControllerSupportsURL(core::URL::create("https://shop.test/")));
    EXPECT_FALSE(ads::DZSafariViewControllerSupportsURL(core::URL::create("http://shop.test/")));
}

TEST_F(DZAdExitsService, ATouchOpensTheWayForOneSecondAndAGestureForItsNavigationOnly) {
    ASSERT_TRUE(page.load());
    const core::URL app = *core::URL::create("myapp://offer");
    // One second, whatever the constant says.
    tapTheAd();
    clock.advance(0.9);
    page.opener->openApp(app);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(system().requests().size(), 1u);

    clock.advance(0.2);
    page.opener->openApp(app);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(system().requests().size(), 1u) << "the touch has gone stale";
    EXPECT_TRUE(page.adView()->touched()) << "though the ad stays touched";

    // The engine's word that a person started the navigation being
    // decided lets it leave; it holds for that decision only.
    page.opener->setNavigationUserGesture(true);
    page.opener->openApp(app);
    page.opener->setNavigationUserGesture(false);
    page.opener->openApp(app);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(system().requests().size(), 2u);

    // A confirmed dial opens however long the person took to answer.
    tapTheAd();
    page.opener->openApp(*core::URL::create("tel:10086"));
    ASSERT_TRUE(tickUntil([&] { return !page.opener->confirmationAlerts().empty(); }));
    clock.advance(30);
    page.opener->confirmationAlerts()[0]->selectAction(1);
    ASSERT_TRUE(tickUntil([&] { return system().requests().size() == 3; }));
    EXPECT_EQ(system().requests()[2].url.absoluteString(), "tel:10086");

    // A new ad forgets the touch on the last one.
    tapTheAd();
    ASSERT_TRUE(page.load());
    page.opener->openApp(app);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(system().requests().size(), 3u);
}

// A finger that rests on the ad counts from the moment it lifts: a
// navigation the page starts half a second after a 1.5 s press leaves.
TEST_F(DZAdExitsService, LiftingAFingerCountsAsTheLatestTouch) {
    ASSERT_TRUE(page.load());
    const gfx::Point at = page.adView()->convertPointTo({160, 25}, nullptr);
    const auto finger = window->touchDown(at);
    ASSERT_TRUE(drainMainQueue());
    clock.advance(1.5);
    window->touchUp(finger, at);
    ASSERT_TRUE(drainMainQueue());
    clock.advance(0.5);
    (void)adwebtesting::evaluate(*page.adView()->webView(),
                                 "setTimeout(function () { location = 'myapp://lifted'; }, 0), true");
    ASSERT_TRUE(waitFor([&] { return !system().requests().empty(); }));
    EXPECT_EQ(requested(), std::vector<std::string>{"myapp://lifted"});
    EXPECT_EQ(refusalsLogged, 0);
}

// The engine's word on a navigation it asks about reaches the opener: a
// person's gesture leaves without a touch on the ad view, a script's does
// not.
TEST_F(DZAdExitsService, TheEnginesGestureFlagDecidesANavigationWithoutATouch) {
    ASSERT_TRUE(page.load());
    const auto& engineView = page.adView()->webView()->webView();
    ASSERT_TRUE(engineView);
    const auto engine = engineView->delegate();
    ASSERT_TRUE(engine);
    for (const bool gesture : {false, true}) {
        web::NavigationAction action(
            core::URLRequest(*core::URL::create(gesture ? "myapp://person" : "myapp://script")));
        action.type = web::NavigationType::linkClicked;
        action.targetsMainFrame = true;
        action.userGesture = gesture;
        EXPECT_FALSE(engine->shouldStartLoad(*engineView, action));
        ASSERT_TRUE(drainMainQueue());
    }
    EXPECT_EQ(requested(), std::vector<std::string>{"myapp://person"});
    EXPECT_FALSE(page.adView()->touched());
    EXPECT_EQ(page.opener->navigationUserGesture(), std::nullopt) << "outside a decision";
}

TEST_F(DZAdExitsService, TheEngineTellsTheDelegateWhetherAPersonStartedANavigation) {
    class GestureDelegate : public ads::DZWebViewDelegate {
    public:
        std::vector<std::string> seen;
        bool shouldStartLoadWithRequest(ads::DZWebView& view, const core::URLRequest& request,
                                        long) override {
            if (!request.url().hasScheme("myapp")) return true;
            const auto gesture = view.navigationUserGesture();
            seen.push_back(request.url().host() +
                           (gesture ? (*gesture ? " person" : " script") : " unknown"));
            return false;
        }
    };
    const auto view = ads::DZUIKitWebView::create({0, 200, 320, 50});
    ASSERT_TRUE(view);
    const auto delegate = std::make_shared<GestureDelegate>();
    view->setDelegate(delegate);
    window->addSubview(view);
    view->loadHTMLString(
        "<body style='margin:0'><a href='myapp://tapped' "
        "style='display:block;width:320px;height:50px'>ad</a><script>"
        "setTimeout(function () { location = 'myapp://scripted'; }, 0);</script></body>",
        core::URL::create("https://ads.test/"));
    ASSERT_TRUE(waitFor([&] { return !delegate->seen.empty() && !view->isLoading(); }));
    ui::TouchInjector(*window).tap({160, 225});
    ASSERT_TRUE(waitFor([&] { return delegate->seen.size() == 2; }));
    EXPECT_EQ(delegate->seen, (std::vector<std::string>{"scripted script", "tapped person"}));
    EXPECT_EQ(view->navigationUserGesture(), std::nullopt) << "outside a decision";
    view->removeFromSuperview();
}

TEST_F(DZAdExitsService, HTMLIsNeverGivenABaseOutsideHTTP) {
    const std::vector<std::string> refused = {"file:///etc/", "FILE:///etc/", "data:text/html,x",
                                              "javascript:alert(1)", "about:blank", "myapp://x/"};
    for (const auto& base : refused)
        EXPECT_FALSE(ads::DZIsAllowedHTMLBaseURL(core::URL::create(base))) << base;
    EXPECT_TRUE(ads::DZIsAllowedHTMLBaseURL(std::nullopt));
    EXPECT_TRUE(ads::DZIsAllowedHTMLBaseURL(core::URL::create("HTTPS://ads.test/")));

    // The page's web app with its own HTML: nothing is shown for a base
    // outside http(s), and no click is counted.
    ASSERT_TRUE(page.load());
    const auto handler = handlerOf<ads::DZOpenerDMSGHandler>(*page.slot->adViewDelegate());
    ASSERT_TRUE(handler);
    for (const auto& base : refused) {
        SCOPED_TRACE(base);
        tapTheAd();
        ASSERT_TRUE(page.send(*handler, "open",
                              {{"a", "webapp"}, {"html", "<p>x</p>"}, {"baseurl", base}}));
        ASSERT_TRUE(drainMainQueue());
        EXPECT_EQ(root->presentedViewController(), nullptr);
        EXPECT_EQ(page.owner->clicks, 0);
    }
    tapTheAd();
    ASSERT_TRUE(page.send(*handler, "open",
                          {{"a", "webapp"}, {"html", "<p>x</p>"}, {"baseurl", "https://ads.test/"}}));
    ASSERT_TRUE(tickUntil([&] { return root->presentedViewController() != nullptr; }));
    EXPECT_EQ(page.owner->clicks, 1);
    const auto webApp =
        std::dynamic_pointer_cast<ads::DZAdAppViewController>(root->presentedViewController());
    ASSERT_TRUE(webApp);
    root->dismissViewController(false, {});
    ASSERT_TRUE(tickUntil([&] { return root->presentedViewController() == nullptr; }));

    // A full-screen ad's own HTML: its view fails the load.
    const auto controller = std::make_shared<ads::DZAdAppViewController>();
    ASSERT_TRUE(controller->adView());
    const auto adViewDelegate = std::make_shared<adwebtesting::RecordingAdViewDelegate>();
    controller->adView()->setDelegate(adViewDelegate);
    controller->loadHTML("<p>x</p>", core::URL::create("file:///etc/"));
    ASSERT_TRUE(waitFor([&] { return !adViewDelegate->errors.empty(); }));
    EXPECT_EQ(adViewDelegate->errors[0].failingURLString, "file:///etc/");
    EXPECT_EQ(adViewDelegate->count("start"), 0u);
    EXPECT_EQ(adViewDelegate->count("finish"), 0u);

    // An ad whose base is a file: the slot fails it.
    auto ad = slottesting::inlineAd("<p>file</p>");
    ad.set("ad_base_url", "file:///etc/");
    const size_t failures = page.owner->failures.size();
    page.slot->loadRequest(slottesting::requestWithExtras({{"_ad", ad}}));
    ASSERT_TRUE(waitFor([&] { return page.owner->failures.size() > failures; }));
    const auto url = page.adView()->URL();
    EXPECT_FALSE(url && url->isFileURL());
}

}  // namespace
