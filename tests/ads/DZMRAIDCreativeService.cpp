// MRAID creatives of our own, written for these tests, shown as a publisher
// shows them: a banner view in a window, its unit answered by the local ad
// server's scenario through our core page, the page's "mraid.js" replaced by
// our banner MRAID script. Each call is made from the page (a tap on the
// compliance page's buttons, or its script), and the test reads its effect
// in the app (the expanded or resized controller over the app, the URL
// opener) and the state and events the page saw afterwards.

#include "MediationSlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZRequest.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/presentation/browser/DZBrowserViewController.h"
#include "ads/presentation/click/DZMRAIDResizeOverlayPresenter.h"
#include "ads/presentation/fullscreen/DZExpandedAdAppViewController.h"
#include "ads/presentation/fullscreen/DZSupplementalAdAppViewController.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZWebView.h"
#include "fixtures/AdScenarios.h"
#include "store/URLOpener.h"
#include "ui/Application.h"
#include "ui/BarButtonItem.h"
#include "ui/Button.h"
#include "ui/ScrollView.h"
#include "ui/TouchInjector.h"
#include "ui/ViewController.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace {

using adwebtesting::waitFor;
using ads::DZBannerView;

class Listener : public ads::DZBannerViewDelegate {
public:
    int received = 0;
    int failed = 0;
    // "present", "dismiss" and "leave", in order.
    std::vector<std::string> screens;
    void adViewDidReceiveAd(DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(DZBannerView&, const ads::DZRequestError&) override {
        ++failed;
    }
    void adViewWillPresentScreen(DZBannerView&) override { screens.push_back("present"); }
    void adViewDidDismissScreen(DZBannerView&) override { screens.push_back("dismiss"); }
    void adViewWillLeaveApplication(DZBannerView&) override { screens.push_back("leave"); }
};

class DZMRAIDCreativeService : public mediationtesting::MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [](ads::DZSDKCoreController::ScriptBuilder) {});
        std::string error;
        auto scenarios = fixtures::AdScenarios::load(fixtures::AdScenarios::defaultFolder(), &error);
        ASSERT_TRUE(scenarios) << error;
        server.setScenarios(std::move(*scenarios));
        // The page as the network serves it: its Live View verdicts on.
        server.setCorePage({});
        const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
        interceptorWasEnabled = interceptor->canRedirect();
        scripts = {interceptor->bannerImplementationURLString(),
                   interceptor->expandedBannerImplementationURLString(),
                   interceptor->interstitialImplementationURLString()};
        store::URLOpener::shared().clearForTesting();
        ui::Application::shared().becomeActive();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        makeController();
    }
    void TearDown() override {
        if (banner) {
            if (const auto adView = banner->slot()->adView()) adView->removeFromSuperview();
            banner->removeFromSuperview();
        }
        banner.reset();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        MediationSlotTest::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
        const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
        interceptor->setBannerImplementationURLString(scripts[0]);
        interceptor->setExpandedBannerImplementationURLString(scripts[1]);
        interceptor->setInterstitialImplementationURLString(scripts[2]);
        interceptor->setEnabled(interceptorWasEnabled);
        store::URLOpener::shared().clearForTesting();
        ui::Application::shared().resetForTesting();
    }

    // A 320x50 banner of the scenario at y 100 of host (the root's view
    // unless given), loaded and its MRAID page ready.
    [[nodiscard]] bool showBanner(const std::string& scenario,
                                  std::shared_ptr<ui::View> host = nullptr) {
        banner = DZBannerView::createWithAdSize(ads::kDZAdSizeBanner, {0, 100});
        if (!banner) return false;
        banner->setDelegate(listener);
        banner->setRootViewController(root);
        banner->setAdUnitID("dz-app-pub-0000000000000000/" + scenario + "." + token());
        banner->slot()->setSDKCoreController(controller);
        (host ? host : root->view())->addSubview(banner);
        banner->loadRequest(std::make_shared<ads::DZRequest>());
        return tickUntil([&] {
                   return listener->received + listener->failed > 0 &&
                          page("window.mraid ? mraid.getState() : ''") == core::Value("default");
               }) &&
               listener->received == 1;
    }
    [[nodiscard]] std::shared_ptr<ads::DZAdView> adView() const { return banner->slot()->adView(); }
    // The value of a script in the banner's page.
    [[nodiscard]] core::Value page(const std::string& script) const {
        const auto view = adView();
        return view ? adwebtesting::evaluate(*view->webView(), script) : core::Value();
    }
    // The arguments of each MRAID event of that kind the compliance page
    // heard, oldest first.
    [[nodiscard]] std::vector<core::Value> heard(const std::string& kind) const {
        const core::Value all = page("window.mraidEvents.filter(function (e) { return e.name === '" +
                                     kind + "'; }).map(function (e) { return e.args; })");
        return all.array() ? *all.array() : std::vector<core::Value>{};
    }
    // The page's script errors, as it reported them to the server.
    [[nodiscard]] std::vector<std::string> scriptErrors() const {
        std::vector<std::string> errors;
        for (const auto& hit : server.requestsFor(token()))
            if (hit.queryValue("name") == "scriptError" ||
                hit.queryValue("name") == "mraid:scriptError")
                errors.push_back(hit.queryValue("detail").value_or(""));
        return errors;
    }
    // A tap on the middle of a control of the banner's page, once the page
    // is drawn (before that a tap finds nothing to press).
    void tapControl(const std::string& id) {
        ASSERT_TRUE(tickUntil([&] { return adView()->webView()->webView()->isRendered(); }));
        const core::Value box =
            page("(function () { var r = document.getElementById('" + id +
                 "').getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; })()");
        ASSERT_TRUE(box.array() && box.array()->size() == 2) << id;
        const auto view = adView();
        const gfx::Rect onScreen = view->convertRectTo(view->bounds(), nullptr);
        ui::TouchInjector(*window).tap(
            {onScreen.minX() + (*box.array())[0].doubleValue(),
             onScreen.minY() + (*box.array())[1].doubleValue()});
    }
    // The expanded controller the root presents.
    [[nodiscard]] std::shared_ptr<ads::DZExpandedAdAppViewController> presented() const {
        return std::dynamic_pointer_cast<ads::DZExpandedAdAppViewController>(
            root->presentedViewController());
    }
    // The full-screen controller that holds the ad view, presented or laid
    // over the window.
    [[nodiscard]] std::shared_ptr<ads::DZExpandedAdAppViewController> holder() const {
        return std::dynamic_pointer_cast<ads::DZExpandedAdAppViewController>(
            adView()->viewController());
    }
    // Ticks of the manual clock, each after a short real wait for the pages
    // and the server, until the predicate holds.
    [[nodiscard]] bool tickUntil(const std::function<bool()>& done, double limitSeconds = 20) {
        for (double elapsed = 0; elapsed <= limitSeconds; elapsed += 0.1) {
            if (waitFor(done, 0.1)) return true;
            clock.advance(0.1);
        }
        return done();
    }
    [[nodiscard]] bool stateIs(const char* state) {
        return tickUntil([&] { return page("mraid.getState()") == core::Value(state); });
    }

    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 375, 667});
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
    std::shared_ptr<DZBannerView> banner;
    std::shared_ptr<Listener> listener = std::make_shared<Listener>();
    bool interceptorWasEnabled = true;
    std::vector<std::optional<std::string>> scripts;
};

TEST_F(DZMRAIDCreativeService, ExpandShowsTheAdFullScreenWithItsCloseButtonAndCloseReturnsIt) {
    ASSERT_TRUE(showBanner("mraid"));
    EXPECT_EQ(page("mraid.variant"), core::Value("banner"));
    EXPECT_EQ(page("mraid.getPlacementType()"), core::Value("inline"));
    EXPECT_EQ(page("mraid.getVersion()"), core::Value("3.0"));
    ASSERT_EQ(heard("ready").size(), 1u);

    tapControl("expand");
    ASSERT_TRUE(tickUntil([&] { return presented() != nullptr; }));
    ASSERT_TRUE(stateIs("expanded"));
    const auto controller = presented();
    // The ad view fills the screen, the SDK's close button over it.
    EXPECT_EQ(adView()->superview(), controller->view());
    EXPECT_EQ(adView()->convertRectTo(adView()->bounds(), nullptr), window->bounds());
    const auto& button = controller->closeButton();
    ASSERT_TRUE(button);
    EXPECT_TRUE(button->superview() && !button->isHidden());
    EXPECT_EQ(heard("stateChange"), (std::vector<core::Value>{
                                        core::Value(core::Array{core::Value("default")}),
                                        core::Value(core::Array{core::Value("expanded")})}));
    // Its size follows once the ad is measured there.
    ASSERT_TRUE(tickUntil([&] {
        return page("mraid.getCurrentPosition().height") ==
               core::Value(adView()->bounds().height());
    }));
    ASSERT_FALSE(heard("sizeChange").empty());
    EXPECT_EQ(heard("sizeChange").back()[1], core::Value(adView()->bounds().height()));
    // Expanding again is an error, not a second controller.
    EXPECT_EQ(page("mraid.expand(), mraid.getState()"), core::Value("expanded"));
    ASSERT_TRUE(tickUntil([&] { return !heard("error").empty(); }));
    EXPECT_EQ(heard("error").back()[1], core::Value("expand"));

    // The page closes it: back in the banner, state "default".
    EXPECT_EQ(page("mraid.close(), true"), core::Value(true));
    ASSERT_TRUE(tickUntil([&] { return root->presentedViewController() == nullptr; }));
    ASSERT_TRUE(stateIs("default"));
    EXPECT_EQ(adView()->superview(), banner);
    EXPECT_EQ(heard("stateChange").size(), 3u);
    EXPECT_EQ(heard("stateChange").back(), core::Value(core::Array{core::Value("default")}));

    // Expanded again, the SDK's own close button closes it the same way.
    tapControl("expand");
    ASSERT_TRUE(stateIs("expanded"));
    ASSERT_TRUE(presented());
    const gfx::Rect frame =
        presented()->closeButton()->convertRectTo(presented()->closeButton()->bounds(), nullptr);
    ui::TouchInjector(*window).tap(frame.center());
    ASSERT_TRUE(stateIs("default"));
    EXPECT_TRUE(tickUntil([&] { return root->presentedViewController() == nullptr; }));
    EXPECT_EQ(heard("stateChange").size(), 5u);
    // The publisher heard of each full-screen episode.
    EXPECT_TRUE(tickUntil([&] { return listener->screens.size() >= 4; }));
    EXPECT_EQ(listener->screens,
              (std::vector<std::string>{"present", "dismiss", "present", "dismiss"}));
    EXPECT_TRUE(scriptErrors().empty());
}

// Expanding to a URL shows that page full screen with the expanded
// banner's script; closing it returns the banner to "default".
TEST_F(DZMRAIDCreativeService, ExpandWithAURLShowsTheSecondPartAndItsCloseReturnsTheBanner) {
    ASSERT_TRUE(showBanner("mraid"));
    const std::string partTwo = server.tokenURL(token(), "/c/mraid-part-two.html");
    EXPECT_EQ(page("mraid.expand('" + partTwo + "'), true"), core::Value(true));
    std::shared_ptr<ads::DZSupplementalAdAppViewController> second;
    ASSERT_TRUE(tickUntil([&] {
        second = std::dynamic_pointer_cast<ads::DZSupplementalAdAppViewController>(
            root->presentedViewController());
        return second != nullptr;
    }));
    const auto secondPage = [&](const std::string& script) {
        return adwebtesting::evaluate(*second->adView()->webView(), script);
    };
    ASSERT_TRUE(tickUntil([&] {
        return secondPage("window.mraid ? mraid.getState() : ''") == core::Value("expanded");
    }));
    EXPECT_EQ(secondPage("mraid.variant"), core::Value("expanded_banner"));
    EXPECT_EQ(secondPage("JSON.stringify(partTwoEvents)"),
              core::Value(R"([["stateChange","expanded"],["ready"]])"));
    // The banner stays where it was and knows it is expanded.
    EXPECT_EQ(adView()->superview(), banner);
    ASSERT_TRUE(stateIs("expanded"));
    // The second part cannot expand again.
    EXPECT_EQ(secondPage("mraid.expand(), JSON.stringify(partTwoEvents.pop())"),
              core::Value(R"(["error","Cannot expand an ad in the \"expanded\" state.","expand"])"));

    EXPECT_EQ(secondPage("mraid.close(), true"), core::Value(true));
    ASSERT_TRUE(tickUntil([&] { return root->presentedViewController() == nullptr; }));
    ASSERT_TRUE(stateIs("default"));
    EXPECT_EQ(heard("stateChange").back(), core::Value(core::Array{core::Value("default")}));
    EXPECT_TRUE(scriptErrors().empty());
}

TEST_F(DZMRAIDCreativeService, ResizeWithValidPropertiesResizesTheAdAndFiresSizeChange) {
    ASSERT_TRUE(showBanner("mraid"));
    // Without properties, and with properties too small, nothing resizes.
    EXPECT_EQ(page("mraid.resize(), mraid.setResizeProperties({width: 20, height: 250,"
                   " offsetX: 0, offsetY: 0}), mraid.getState()"),
              core::Value("default"));
    ASSERT_TRUE(tickUntil([&] { return heard("error").size() >= 2; }));
    EXPECT_EQ(heard("error")[0][1], core::Value("resize"));
    EXPECT_EQ(heard("error")[1][1], core::Value("setResizeProperties"));

    tapControl("resize");
    ASSERT_TRUE(stateIs("resized"));
    const auto controller = holder();
    ASSERT_TRUE(controller);
    // Over the app, which stays usable around it: nothing is presented.
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<ads::DZMRAIDResizeOverlayPresenter>(
        controller->presenter()));
    // 320x250 from the banner's top left corner, on screen.
    ASSERT_TRUE(tickUntil([&] {
        return adView()->convertRectTo(adView()->bounds(), nullptr) == gfx::Rect(0, 100, 320, 250);
    }));
    ASSERT_TRUE(tickUntil([&] { return !heard("sizeChange").empty() &&
                                       heard("sizeChange").back() ==
                                           core::Value(core::Array{core::Value(320),
                                                                   core::Value(250)}); }));
    EXPECT_EQ(page("[mraid.getCurrentPosition().width, mraid.getCurrentPosition().height]"),
              core::Value(core::Array{core::Value(320), core::Value(250)}));
    EXPECT_EQ(heard("stateChange").back(), core::Value(core::Array{core::Value("resized")}));

    // Closing the resized ad brings it back to its banner size.
    EXPECT_EQ(page("mraid.close(), true"), core::Value(true));
    ASSERT_TRUE(stateIs("default"));
    ASSERT_TRUE(tickUntil([&] { return holder() == nullptr && !controller->view()->window(); }));
    EXPECT_EQ(adView()->superview(), banner);
    EXPECT_TRUE(tickUntil([&] {
        return heard("sizeChange").back() ==
               core::Value(core::Array{core::Value(320), core::Value(50)});
    }));
    EXPECT_TRUE(scriptErrors().empty());
}

// A resized ad resizes again: new properties, a second resize(), the new
// size, and no error on the way. Each resize follows a touch on the page
// (its buttons set aside, so that the touch starts nothing of its own).
TEST_F(DZMRAIDCreativeService, AResizedAdResizesAgainWithNewProperties) {
    ASSERT_TRUE(showBanner("mraid"));
    ASSERT_TRUE(tickUntil([&] { return adView()->webView()->webView()->isRendered(); }));
    ASSERT_EQ(page("document.getElementById('controls').style.pointerEvents = 'none'"),
              core::Value("none"));
    const auto touchTheAd = [&] {
        const gfx::Rect onScreen = adView()->convertRectTo(adView()->bounds(), nullptr);
        ui::TouchInjector(*window).tap({onScreen.minX() + 20, onScreen.minY() + 20});
    };
    const auto size = [](int width, int height) {
        return core::Value(core::Array{core::Value(width), core::Value(height)});
    };

    touchTheAd();
    EXPECT_EQ(page("mraid.setResizeProperties({width: 200, height: 100, offsetX: 0, offsetY: 0}),"
                   " mraid.resize(), true"),
              core::Value(true));
    ASSERT_TRUE(stateIs("resized"));
    ASSERT_TRUE(tickUntil([&] { return !heard("sizeChange").empty() &&
                                       heard("sizeChange").back() == size(200, 100); }));

    touchTheAd();
    EXPECT_EQ(page("mraid.setResizeProperties({width: 250, height: 120, offsetX: 0, offsetY: 0}),"
                   " mraid.resize(), true"),
              core::Value(true));
    ASSERT_TRUE(tickUntil([&] { return heard("sizeChange").back() == size(250, 120); }));
    EXPECT_EQ(page("mraid.getState()"), core::Value("resized"));
    EXPECT_TRUE(tickUntil([&] {
        return adView()->convertRectTo(adView()->bounds(), nullptr) == gfx::Rect(0, 100, 250, 120);
    }));
    EXPECT_TRUE(heard("error").empty());
    EXPECT_TRUE(scriptErrors().empty());
}

TEST_F(DZMRAIDCreativeService, OpenAfterATapOpensTheURLInTheOpener) {
    ASSERT_TRUE(showBanner("mraid"));
    const std::string landing = server.tokenURL(token(), "/land");
    // A call without a URL is the page's error.
    EXPECT_EQ(page("mraid.open(), mraid.open(42), true"), core::Value(true));
    tapControl("open");
    ASSERT_TRUE(tickUntil([&] { return !store::URLOpener::shared().requests().empty(); }));
    const auto requests = store::URLOpener::shared().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].url.absoluteString().substr(0, landing.size()), landing);
    EXPECT_EQ(heard("error").size(), 2u);
    for (const auto& error : heard("error")) EXPECT_EQ(error[1], core::Value("open"));
    // The publisher hears that the ad leaves the app; the ad stays as it was.
    EXPECT_EQ(listener->screens, std::vector<std::string>{"leave"});
    EXPECT_EQ(page("mraid.getState()"), core::Value("default"));
}

// A video plays in the in-app browser, which its Done button closes.
TEST_F(DZMRAIDCreativeService, PlayVideoShowsTheInAppBrowserUntilItsDoneButton) {
    ASSERT_TRUE(showBanner("mraid"));
    const std::string video = server.tokenURL(token(), "/land");
    EXPECT_EQ(page("mraid.playVideo('" + video + "'), true"), core::Value(true));
    std::shared_ptr<ads::DZBrowserViewController> browser;
    ASSERT_TRUE(tickUntil([&] {
        browser = std::dynamic_pointer_cast<ads::DZBrowserViewController>(
            root->presentedViewController());
        return browser != nullptr;
    }));
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
    ASSERT_TRUE(browser->doneButton()->sendAction());
    EXPECT_TRUE(tickUntil([&] { return root->presentedViewController() == nullptr; }));
    EXPECT_EQ(page("mraid.getState()"), core::Value("default"));
}

TEST_F(DZMRAIDCreativeService, AnMRAID1PageThatSetsItsExpandPropertiesRunsOn) {
    ASSERT_TRUE(showBanner("mraid-v1"));
    ASSERT_TRUE(tickUntil([&] { return page("window.v1Ready === true") == core::Value(true); }));
    EXPECT_EQ(page("JSON.stringify(mraid.getExpandProperties())"),
              core::Value(R"({"width":320,"height":480,"useCustomClose":true,"isModal":true})"));
    // Its tap expands it, its own close control stands in for the SDK's.
    ASSERT_TRUE(tickUntil([&] { return adView()->webView()->webView()->isRendered(); }));
    ui::TouchInjector(*window).tap({160, 125});
    ASSERT_TRUE(stateIs("expanded"));
    ASSERT_TRUE(presented());
    EXPECT_TRUE(presented()->useCustomClose());
    EXPECT_EQ(page("mraid.close(), true"), core::Value(true));
    ASSERT_TRUE(stateIs("default"));
    EXPECT_TRUE(scriptErrors().empty());
}

// The calls the SDK has no message for, and calls with bad arguments, end
// as "error" events with their action; the page's script goes on.
TEST_F(DZMRAIDCreativeService, CallsWithoutAnSDKMessageReportErrorsInsteadOfThrowing) {
    ASSERT_TRUE(showBanner("mraid"));
    const core::Value results = page(
        "[mraid.getLocation(), mraid.close(), mraid.unload(), mraid.storePicture(),"
        " mraid.createCalendarEvent('x'), mraid.setExpandProperties(null),"
        " mraid.setOrientationProperties({forceOrientation: 'sideways'}),"
        " mraid.addEventListener('nonsense', function () {}), mraid.playVideo(),"
        " mraid.useCustomClose('maybe'), mraid.getState()]");
    ASSERT_TRUE(results.array());
    EXPECT_EQ(results.array()->front(), core::Value(-1));
    EXPECT_EQ(results.array()->back(), core::Value("default"));
    std::vector<std::string> actions;
    ASSERT_TRUE(tickUntil([&] { return heard("error").size() >= 10; }));
    for (const auto& error : heard("error")) {
        EXPECT_TRUE(error[0].isString() && !error[0].stringValue().empty());
        actions.push_back(error[1].stringValue());
    }
    EXPECT_EQ(actions, (std::vector<std::string>{
                           "getLocation", "close", "unload", "storePicture", "createCalendarEvent",
                           "setExpandProperties", "setOrientationProperties", "addEventListener",
                           "playVideo", "useCustomClose"}));

    // The SDK refuses to store pictures and create events with its own
    // errors, which reach the page the same way.
    EXPECT_EQ(page("mraid.storePicture('pic.png'), mraid.createCalendarEvent({description: 'x',"
                   " start: '2030-01-01T10:00'}), true"),
              core::Value(true));
    ASSERT_TRUE(tickUntil([&] { return heard("error").size() >= 12; }));
    EXPECT_EQ(heard("error")[10],
              core::Value(core::Array{core::Value("Saving pictures is not permitted in this "
                                                  "application."),
                                      core::Value("storePicture")}));
    EXPECT_EQ(heard("error")[11][1], core::Value("createCalendarEvent"));

    // What the page may ask without the SDK.
    EXPECT_EQ(page("mraid.supports('storePicture') || mraid.supports('calendar') ||"
                   " mraid.supports('location')"),
              core::Value(false));
    EXPECT_EQ(page("mraid.supports('inlineVideo')"), core::Value(true));
    EXPECT_EQ(page("mraid.getCurrentAppOrientation().orientation"), core::Value("portrait"));
    EXPECT_EQ(page("MRAID_ENV.version"), core::Value("3.0"));
    EXPECT_EQ(page("MRAID_ENV.sdkVersion"), core::Value(ads::DZRequest::sdkVersion()));
    const auto screen = page("[mraid.getScreenSize().width, mraid.getMaxSize().width]");
    EXPECT_EQ(screen, core::Value(core::Array{core::Value(375), core::Value(375)}));
    EXPECT_TRUE(scriptErrors().empty());
}

// On the network's core page, which measures Live View: the banner on
// screen is viewable, scrolled off it is not, and each change reaches the
// page once however many samples pass.
TEST_F(DZMRAIDCreativeService, ViewabilityFollowsTheBannerOnAndOffScreenOncePerChange) {
    const auto scroller = std::make_shared<ui::ScrollView>(window->bounds());
    scroller->setContentSize({375, 3000});
    root->view()->addSubview(scroller);
    ASSERT_TRUE(showBanner("mraid", scroller));
    ASSERT_TRUE(tickUntil([&] { return page("mraid.isViewable()") == core::Value(true); }));
    const auto viewable = [&] {
        std::vector<bool> changes;
        for (const auto& change : heard("viewableChange"))
            changes.push_back(change[0] == core::Value(true));
        return changes;
    };
    // Many samples later, one change.
    for (int i = 0; i < 10; ++i) clock.advance(0.4);
    ASSERT_TRUE(tickUntil([&] { return !heard("exposureChange").empty(); }));
    EXPECT_EQ(viewable(), std::vector<bool>{true});
    EXPECT_EQ(heard("exposureChange").back()[0], core::Value(100));

    scroller->setContentOffset({0, 1000});
    ASSERT_TRUE(tickUntil([&] { return page("mraid.isViewable()") == core::Value(false); }));
    for (int i = 0; i < 10; ++i) clock.advance(0.4);
    scroller->setContentOffset({0, 0});
    ASSERT_TRUE(tickUntil([&] { return page("mraid.isViewable()") == core::Value(true); }));
    for (int i = 0; i < 10; ++i) clock.advance(0.4);
    ASSERT_TRUE(tickUntil([&] { return viewable().size() >= 3; }));
    EXPECT_EQ(viewable(), (std::vector<bool>{true, false, true}));
    // The SDK was told no more than the changes.
    const core::Value told = page(
        "DUZO_mraidLog.filter(function (e) { return e.name === 'onAdVisibilityChanged'; }).length");
    EXPECT_EQ(told, core::Value(3));
    EXPECT_TRUE(scriptErrors().empty());
}

}  // namespace
