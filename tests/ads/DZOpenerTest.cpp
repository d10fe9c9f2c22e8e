// What the click opener does with each action: the confirmation of dialling
// schemes, composers filled from mailto and sms URLs, deep links answered to
// the page, the browser a landing page opens in, store pages (loaded ahead,
// failing on screen or while waited for), MRAID expansion events, and the
// URLs no action may hand on.

#include "ads/presentation/click/DZOpener.h"

#include <gtest/gtest.h>

#include "HandlerTesting.h"
#include "ads/foundation/DZSafariSupport.h"
#include "ads/presentation/browser/DZBrowserViewController.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "core/Console.h"
#include "core/UserDefaults.h"
#include "store/MailComposeViewController.h"
#include "store/MessageComposeViewController.h"
#include "store/SafariViewController.h"
#include "store/StoreProductViewController.h"
#include "store/StoreTesting.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/AlertController.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

namespace {

using namespace handlertesting;

core::URL url(const std::string& text) {
    return *core::URL::create(text);
}

// The names of the messages the recording page received, in order.
std::vector<std::string> receivedNames(ads::DZAdView& adView) {
    const core::Value all = adwebtesting::evaluate(
        *adView.webView(), "(window.received || []).map(function (m) { return m.name; })");
    std::vector<std::string> names;
    if (const core::Array* list = all.array())
        for (const core::Value& name : *list) names.push_back(name.stringValue());
    return names;
}

class DZOpenerActionsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(page.slot);
        opener().clearForTesting();
        opener().setHandler("tel", [](const core::URL&) { return true; });
        opener().setHandler("myapp", [](const core::URL&) { return true; });
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        page.adView()->setFrame({0, 100, 320, 50});
        window->addSubview(page.adView());
        ASSERT_TRUE(drainMainQueue());
    }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(ads::DZOpener::kConfirmationSchemesKey);
        store::MailComposeViewController::setCanSendMailForTesting(false);
        store::MessageComposeViewController::setCanSendTextForTesting(false);
        opener().clearForTesting();
        page.adView()->removeFromSuperview();
    }
    static store::URLOpener& opener() { return store::URLOpener::shared(); }
    // A person's finger on the ad: what lets an action leave the app.
    void tapTheAd() {
        ui::TouchInjector(*window).tap(page.adView()->convertPointTo({160, 25}, nullptr));
    }
    [[nodiscard]] std::vector<std::string> opened() const {
        std::vector<std::string> urls;
        for (const auto& request : opener().requests())
            if (request.opened) urls.push_back(request.url.absoluteString());
        return urls;
    }
    [[nodiscard]] bool settle() const { return drainMainQueue() && drainMainQueue(); }
    template <typename T>
    [[nodiscard]] std::shared_ptr<T> presented() const {
        return std::dynamic_pointer_cast<T>(root->presentedViewController());
    }

    SlotPage page;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<ui::ViewController> root;
};

TEST_F(DZOpenerActionsTest, DiallingAsksOnceAndCancelOpensNothing) {
    const core::URL tel = url("tel:10086");
    tapTheAd();
    page.opener->openApp(tel);
    ASSERT_TRUE(settle());
    auto alerts = page.opener->confirmationAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title(), "");
    EXPECT_EQ(alerts[0]->message(), "10086");
    ASSERT_EQ(alerts[0]->actions().size(), 2u);
    EXPECT_EQ(alerts[0]->actions()[0].title, "Cancel");
    EXPECT_EQ(alerts[0]->actions()[1].title, "Call");
    EXPECT_EQ(presented<ui::AlertController>(), alerts[0]);

    alerts[0]->selectAction(0);
    ASSERT_TRUE(waitFor([&] { return page.opener->confirmationAlerts().empty(); }));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(opener().requests().empty());
    EXPECT_EQ(page.owner->clicks, 0);
    EXPECT_FALSE(page.opener->didOpenAnotherApplication());

    tapTheAd();
    page.opener->openApp(tel);
    ASSERT_TRUE(waitFor([&] { return presented<ui::AlertController>() != nullptr; }));
    alerts = page.opener->confirmationAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    alerts[0]->selectAction(1);
    ASSERT_TRUE(waitFor([&] { return !opener().requests().empty(); }));
    EXPECT_EQ(opened(), std::vector<std::string>{"tel:10086"});
    EXPECT_EQ(page.owner->clicks, 1);
    EXPECT_TRUE(page.opener->didOpenAnotherApplication());

    // Confirmed once, the number opens without asking again.
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    tapTheAd();
    page.opener->openApp(tel);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(page.opener->confirmationAlerts().empty());
    EXPECT_EQ(opened(), (std::vector<std::string>{"tel:10086", "tel:10086"}));
}

TEST_F(DZOpenerActionsTest, TheServersSchemesReplaceTheDefaultConfirmations) {
    core::UserDefaults::standard()->setObject(ads::DZOpener::kConfirmationSchemesKey,
                                              core::Dictionary{{"myapp", "Go"}});
    tapTheAd();
    page.opener->openApp(url("tel:10086"));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(page.opener->confirmationAlerts().empty());
    EXPECT_EQ(opened(), std::vector<std::string>{"tel:10086"});

    tapTheAd();
    page.opener->openApp(url("myapp://x"));
    ASSERT_TRUE(settle());
    const auto alerts = page.opener->confirmationAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->message(), "//x");
    ASSERT_GT(alerts[0]->actions().size(), 1u);
    EXPECT_EQ(alerts[0]->actions()[1].title, "Go");
}

TEST_F(DZOpenerActionsTest, MailComposerTakesAddressCopiesAndSubject) {
    store::MailComposeViewController::setCanSendMailForTesting(true);
    tapTheAd();
    page.opener->openEmailComposer(
        url("mailto:ann@shop.test?CC=bo@shop.test,cy@shop.test&Subject=Hello%20there&body=Hi"));
    ASSERT_TRUE(settle());
    const auto mail = presented<store::MailComposeViewController>();
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->toRecipients(), std::vector<std::string>{"ann@shop.test"});
    EXPECT_EQ(mail->ccRecipients(), (std::vector<std::string>{"bo@shop.test", "cy@shop.test"}));
    EXPECT_TRUE(mail->bccRecipients().empty());
    EXPECT_EQ(mail->subject(), "Hello there");
    EXPECT_EQ(mail->messageBody(), "Hi");
    EXPECT_FALSE(mail->isBodyHTML());
    EXPECT_EQ(page.owner->clicks, 1);

    // Finishing it takes it away.
    mail->finish(store::MailComposeResult::Sent);
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));

    tapTheAd();
    page.opener->openEmailComposer(url("mailto:ann@shop.test"));
    ASSERT_TRUE(settle());
    const auto plain = presented<store::MailComposeViewController>();
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->toRecipients(), std::vector<std::string>{"ann@shop.test"});
    EXPECT_TRUE(plain->ccRecipients().empty());
    EXPECT_TRUE(plain->subject().empty());
    EXPECT_TRUE(plain->messageBody().empty());
    plain->finish(store::MailComposeResult::Cancelled);
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
}

TEST_F(DZOpenerActionsTest, MessageComposerSplitsNumbers) {
    tapTheAd();
    page.opener->openSmsComposer(url("sms:10086,10010?body=hi"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(root->presentedViewController(), nullptr) << "no texts on this device";

    store::MessageComposeViewController::setCanSendTextForTesting(true);
    tapTheAd();
    page.opener->openSmsComposer(url("sms:10086,10010?body=hi&subject=s"));
    ASSERT_TRUE(settle());
    const auto message = presented<store::MessageComposeViewController>();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->recipients(), (std::vector<std::string>{"10086", "10010"}));
    EXPECT_EQ(message->body(), "hi");
    EXPECT_EQ(message->subject(), "") << "subjects are not supported";
    message->finish(store::MessageComposeResult::Cancelled);
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
}

// What a page wrote shows as readable text: escapes of line breaks and
// direction overrides stay escapes, and an escaped comma joins rather than
// splits numbers.
TEST_F(DZOpenerActionsTest, ConfirmationsAndRecipientsShowOnlyReadableText) {
    const struct {
        const char* url;
        const char* shown;
    } calls[] = {
        {"tel:+1900555%0A%0AFree%20support%20line", "+1900555%0A%0AFree support line"},
        {"tel:%E2%80%AE0010555", "%E2%80%AE0010555"},
        {"tel:%E2%81%A6555%E2%80%8F0100%09", "%E2%81%A6555%E2%80%8F0100%09"},
    };
    for (const auto& call : calls) {
        tapTheAd();
        page.opener->openApp(url(call.url));
        ASSERT_TRUE(settle());
        const auto alerts = page.opener->confirmationAlerts();
        ASSERT_EQ(alerts.size(), 1u) << call.url;
        EXPECT_EQ(alerts[0]->message(), call.shown) << call.url;
        alerts[0]->selectAction(0);
        ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    }

    store::MessageComposeViewController::setCanSendTextForTesting(true);
    const std::pair<const char*, std::vector<std::string>> messages[] = {
        {"sms:555%2C666", {"555,666"}},
        {"sms:555,666%0A777?body=hi", {"555", "666%0A777"}},
    };
    for (const auto& [address, recipients] : messages) {
        tapTheAd();
        page.opener->openSmsComposer(url(address));
        ASSERT_TRUE(settle());
        const auto message = presented<store::MessageComposeViewController>();
        ASSERT_TRUE(message) << address;
        EXPECT_EQ(message->recipients(), recipients) << address;
        message->finish(store::MessageComposeResult::Cancelled);
        ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    }

    store::MailComposeViewController::setCanSendMailForTesting(true);
    tapTheAd();
    page.opener->openEmailComposer(url("mailto:%E2%80%AEmoc.pohs@nna?cc=bo@shop.test%0D%0ABcc:"
                                       "%20eve@shop.test,cy@shop.test&bcc=%E2%80%8Bdi@shop.test"));
    ASSERT_TRUE(settle());
    const auto mail = presented<store::MailComposeViewController>();
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->toRecipients(), std::vector<std::string>{"%E2%80%AEmoc.pohs@nna"});
    EXPECT_EQ(mail->ccRecipients(),
              (std::vector<std::string>{"bo@shop.test%0D%0ABcc: eve@shop.test", "cy@shop.test"}));
    EXPECT_EQ(mail->bccRecipients(), std::vector<std::string>{"%E2%80%8Bdi@shop.test"});
    mail->finish(store::MailComposeResult::Cancelled);
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
}

TEST_F(DZOpenerActionsTest, ComposerWaitsForABusyFullScreenAdOnlySoLong) {
    testsupport::ManualClockScope clock;
    store::MailComposeViewController::setCanSendMailForTesting(true);
    const auto busy = std::make_shared<ads::DZViewController>();
    busy->view()->setUserInteractionEnabled(false);
    root->presentViewController(busy, false);
    ASSERT_TRUE(settle());
    std::vector<std::string> console;
    const auto previous =
        core::Console::setSink([&](std::string_view line) { console.emplace_back(line); });

    tapTheAd();
    page.opener->openEmailComposer(url("mailto:ann@shop.test"));
    for (int i = 0; i < ads::DZOpener::kMaximumComposerRetries + 5; ++i) {
        clock.advance(ads::DZOpener::kComposerRetryInterval);
        ASSERT_TRUE(drainMainQueue());
    }
    core::Console::setSink(previous);
    EXPECT_EQ(busy->presentedViewController(), nullptr);
    EXPECT_EQ(page.owner->clicks, 0);
    ASSERT_EQ(console.size(), 1u);
    EXPECT_NE(console[0].find("mailto:ann@shop.test"), std::string::npos);

    // A controller that becomes usable again in time gets the composer.
    tapTheAd();
    page.opener->openEmailComposer(url("mailto:bo@shop.test"));
    clock.advance(ads::DZOpener::kComposerRetryInterval);
    ASSERT_TRUE(drainMainQueue());
    busy->view()->setUserInteractionEnabled(true);
    clock.advance(ads::DZOpener::kComposerRetryInterval);
    ASSERT_TRUE(settle());
    const auto mail = std::dynamic_pointer_cast<store::MailComposeViewController>(
        busy->presentedViewController());
    ASSERT_TRUE(mail);
    mail->finish(store::MailComposeResult::Cancelled);
    ASSERT_TRUE(settle());
}

TEST_F(DZOpenerActionsTest, DeepLinksAnswerThePage) {
    ASSERT_TRUE(page.load());
    page.opener->openAppLink(url("file:///etc/hosts"), "e1");
    page.opener->openAppLink(url("about:blank"), "e2");
    ASSERT_TRUE(waitFor([&] { return received(*page.adView(), "openDeepLink").size() == 2; }));
    auto answers = received(*page.adView(), "openDeepLink");
    EXPECT_EQ(answers[0],
              core::Value(core::Dictionary{{"file:///etc/hosts", false}, {"event_id", "e1"}}));
    EXPECT_EQ(answers[1]["about:blank"], core::Value(false));
    EXPECT_TRUE(opener().requests().empty());

    opener().registerAppLinkHost("shop.test");
    tapTheAd();
    page.opener->openAppLink(url("https://shop.test/item/1"), "e3");
    ASSERT_TRUE(waitFor([&] { return received(*page.adView(), "openDeepLink").size() == 3; }));
    answers = received(*page.adView(), "openDeepLink");
    EXPECT_EQ(answers[2], core::Value(core::Dictionary{{"https://shop.test/item/1", true},
                                                       {"event_id", "e3"}}));
    const auto requests = opener().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].universalLinksOnly);
    EXPECT_EQ(page.owner->clicks, 1);

    ui::DeviceProfile old = ui::DeviceProfile::current();
    old.systemVersion = "9.3.5";
    testsupport::DeviceProfileOverride nine(old);
    tapTheAd();
    page.opener->openAppLink(url("https://shop.test/item/2"), "e4");
    ASSERT_TRUE(waitFor([&] { return received(*page.adView(), "openDeepLink").size() == 4; }));
    EXPECT_EQ(received(*page.adView(), "openDeepLink")[3]["https://shop.test/item/2"],
              core::Value(false));
    EXPECT_EQ(opener().requests().size(), 1u);
    EXPECT_EQ(page.owner->clicks, 1);
}

TEST_F(DZOpenerActionsTest, TheServersSwitchSendsLandingPagesToTheSystemStyleBrowser) {
    adwebtesting::ConstantsScope constants;
    const std::string key = ads::DZOpener::kCustomBrowserKey;
    const core::URL landing = url("https://shop.test/landing");
    // Opens the landing page as a person's tap on the ad would; the screen
    // it is shown on, after one click counted.
    const auto open = [&](const core::URL& target) -> std::shared_ptr<ui::ViewController> {
        const int clicks = page.owner->clicks;
        tapTheAd();
        page.opener->openBrowserToURL(target, 30);
        EXPECT_TRUE(waitFor([&] { return page.owner->clicks > clicks; }));
        EXPECT_EQ(page.owner->clicks, clicks + 1);
        EXPECT_TRUE(settle());
        return root->presentedViewController();
    };
    const auto dismissed = [&] {
        root->dismissViewController(false);
        return waitFor([&] { return root->presentedViewController() == nullptr; });
    };

    for (const core::Value& off :
         {core::Value(), core::Value("0"), core::Value(false), core::Value(core::Array{true})}) {
        SCOPED_TRACE(core::describe(off));
        if (off.isNull())
            core::UserDefaults::standard()->removeObjectForKey(key);
        else
            constants.set(key, off);
        const auto shown = open(landing);
        const auto browser = std::dynamic_pointer_cast<ads::DZBrowserViewController>(shown);
        EXPECT_TRUE(browser);
        ASSERT_TRUE(dismissed());
    }
    EXPECT_TRUE(opener().requests().empty());

    for (const core::Value& on : {core::Value(true), core::Value("1")}) {
        SCOPED_TRACE(core::describe(on));
        constants.set(key, on);
        opener().clearForTesting();
        const auto system = std::dynamic_pointer_cast<store::SafariViewController>(open(landing));
        ASSERT_TRUE(system);
        EXPECT_EQ(system->url(), landing);
        // Shown, it loads the page in a view of its own: nothing goes to the
        // URL opener.
        EXPECT_TRUE(system->webView());
        EXPECT_TRUE(opener().requests().empty());
        system->done();
        ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    }

    // A scheme the system-style browser is not given goes to the system.
    constants.set(ads::kDZSafariSupportedSchemesKey, core::Array{"https"});
    opener().clearForTesting();
    const core::URL plain = url("http://shop.test/plain");
    EXPECT_EQ(open(plain), nullptr);
    ASSERT_TRUE(waitFor([&] { return !opener().requests().empty(); }));
    ASSERT_EQ(opener().requests().size(), 1u);
    EXPECT_EQ(opener().requests()[0].url, plain);
}

TEST_F(DZOpenerActionsTest, LocalScriptAndDataURLsAreNeverOpened) {
    for (const char* text : {"file:///etc/passwd", "javascript:alert(1)", "data:text/html,x",
                             "about:blank", "JavaScript:alert(2)"}) {
        SCOPED_TRACE(text);
        const core::URL target = url(text);
        tapTheAd();
        page.opener->openApp(target);
        page.opener->openBrowserToURL(target, 30);
        page.opener->openSafariViewControllerToURL(target, 30);
        page.opener->openWebApp(target, 30, false);
        ASSERT_TRUE(settle());
        EXPECT_TRUE(opener().requests().empty());
        EXPECT_EQ(root->presentedViewController(), nullptr);
        EXPECT_EQ(page.owner->clicks, 0);
    }
    // The same opener still opens an app and the SDK's browser.
    tapTheAd();
    page.opener->openApp(url("myapp://offer"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(opened(), std::vector<std::string>{"myapp://offer"});
}

class DZOpenerStoreTest : public DZOpenerActionsTest {
protected:
    void SetUp() override {
        DZOpenerActionsTest::SetUp();
        store::Product app = storetest::tipProduct();
        app.itemIdentifier = 42;
        scripted->setProducts({app});
    }
    storetest::ScriptedStoreScope scripted;
    const core::URL fallback = url("https://shop.test/fallback");
};

TEST_F(DZOpenerStoreTest, APageLoadedAheadIsShownAndCountsAsItsClick) {
    page.opener->fetchInAppStoreForProductID("42");
    ASSERT_TRUE(
        waitFor([&] { return page.opener->cachedStoreProductViewController().size() == 1; }));
    const auto cached = page.opener->cachedStoreProductViewController().at("42");

    tapTheAd();
    page.opener->openInAppStoreWithProductID("42", fallback, false);
    ASSERT_TRUE(waitFor([&] { return page.owner->clicks == 1; }));
    EXPECT_EQ(root->presentedViewController(), cached);
    EXPECT_TRUE(page.opener->cachedStoreProductViewController().empty());
    EXPECT_EQ(scripted->requestedItems(), std::vector<std::int64_t>{42}) << "loaded once";

    // Done takes it away.
    cached->done();
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
}

TEST_F(DZOpenerStoreTest, AFailingPageOnScreenGivesWayToTheFallback) {
    scripted->setItemFailure(store::StoreError{store::StoreError::Unknown, "no page"});
    tapTheAd();
    page.opener->openInAppStoreWithProductID("7", fallback, false);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(waitFor([&] { return !opener().requests().empty(); }));
    ASSERT_TRUE(waitFor([&] { return root->presentedViewController() == nullptr; }));
    EXPECT_EQ(opened(), std::vector<std::string>{fallback.absoluteString()});
}

TEST_F(DZOpenerStoreTest, AFailingPageThatWasWaitedForOpensTheFallbackToo) {
    scripted->setItemFailure(store::StoreError{store::StoreError::Unknown, "no page"});
    tapTheAd();
    page.opener->openInAppStoreWithProductID("7", fallback, true);
    ASSERT_TRUE(waitFor([&] { return !opener().requests().empty(); }));
    EXPECT_EQ(opened(), std::vector<std::string>{fallback.absoluteString()});
    EXPECT_EQ(root->presentedViewController(), nullptr);

    // A page that loads while waited for is shown then.
    scripted->setItemFailure(std::nullopt);
    tapTheAd();
    page.opener->openInAppStoreWithProductID("42", fallback, true);
    ASSERT_TRUE(waitFor([&] { return presented<store::StoreProductViewController>() != nullptr; }));
    EXPECT_EQ(opened().size(), 1u);
}

TEST_F(DZOpenerActionsTest, ExpandReportsItsStatesInOrder) {
    ASSERT_TRUE(page.load());
    page.opener->setViewController(root);
    page.opener->expandToWebAppWithSupportedOrientations(30, false);
    const auto expanded = presented<ads::DZAdAppViewController>();
    ASSERT_TRUE(expanded);
    ASSERT_TRUE(waitFor([&] { return !received(*page.adView(), "onStateChanged").empty(); }));
    EXPECT_EQ(received(*page.adView(), "onStateChanged")[0]["state"], core::Value("expanded"));
    EXPECT_EQ(page.owner->clicks, 1);

    ASSERT_TRUE(expanded->dismissalCompletion());
    expanded->dismissalCompletion()();
    ASSERT_TRUE(waitFor([&] { return received(*page.adView(), "onStateChanged").size() == 2; }));
    std::vector<std::string> events;
    for (const auto& name : receivedNames(*page.adView()))
        if (name == "expanding" || name == "collapsed" || name == "onStateChanged")
            events.push_back(name);
    EXPECT_EQ(events, (std::vector<std::string>{"expanding", "onStateChanged", "collapsed",
                                                "onStateChanged"}));
    EXPECT_EQ(received(*page.adView(), "onStateChanged")[1]["state"], core::Value("default"));
}

TEST_F(DZOpenerActionsTest, ASecondResizeReportsTheNewSizeWithoutAClick) {
    ASSERT_TRUE(page.load());
    root->view()->addSubview(page.adView());
    page.opener->setViewController(root);
    const auto resize = [](double width, double height) {
        auto properties = std::make_shared<ads::DZMRAIDResizeProperties>();
        // Below the status bar, in the ad view's superview.
        properties->setOffset({0, 100});
        properties->setSize({width, height});
        return properties;
    };
    const auto sizes = [&] {
        // Only the resize's own reports: a position sample carries x and y too.
        std::vector<core::Value> found;
        for (const core::Value& size : received(*page.adView(), "onSizeChanged"))
            if (size["x"].isNull())
                found.push_back(
                    core::Dictionary{{"width", size["width"]}, {"height", size["height"]}});
        return found;
    };
    page.opener->openWebAppWithResizeProperties(resize(300, 200));
    ASSERT_TRUE(waitFor([&] { return !sizes().empty(); }));
    EXPECT_EQ(sizes()[0], core::Value(core::Dictionary{{"width", 300}, {"height", 200}}));
    EXPECT_EQ(page.owner->clicks, 1);
    const auto container = std::dynamic_pointer_cast<ads::DZViewController>(
        page.adView()->viewController());
    ASSERT_TRUE(container);

    // The page's next message comes from the resized ad, in its container.
    page.opener->setViewController(container);
    page.opener->openWebAppWithResizeProperties(resize(250, 100));
    ASSERT_TRUE(waitFor([&] { return sizes().size() == 2; }));
    EXPECT_EQ(sizes()[1], core::Value(core::Dictionary{{"width", 250}, {"height", 100}}));
    const auto states = received(*page.adView(), "onStateChanged");
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0]["state"], core::Value("resized"));
    EXPECT_EQ(states[1]["state"], core::Value("resized"));
    EXPECT_EQ(page.adView()->viewController(), container) << "the same container";
    EXPECT_EQ(page.owner->clicks, 1) << "a resize of a resized ad is no click";
    page.adView()->removeFromSuperview();
}

TEST_F(DZOpenerActionsTest, ExpandOverAnotherFullScreenAdDoesNothing) {
    ASSERT_TRUE(page.load());
    const auto interstitial = std::make_shared<ads::DZViewController>();
    root->presentViewController(interstitial, false);
    ASSERT_TRUE(settle());
    page.opener->expandToWebAppWithSupportedOrientations(30, false);
    ASSERT_TRUE(settle());
    EXPECT_EQ(interstitial->presentedViewController(), nullptr);
    EXPECT_EQ(page.owner->clicks, 0);
    EXPECT_TRUE(received(*page.adView(), "expanding").empty());
}

}  // namespace
