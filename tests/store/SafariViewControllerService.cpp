// The in-app browser against a local server: the page shows inside it under
// its own title, with the spinner turning while it loads; links a person
// follows stay in it, a mail link alone goes to the URL opener; Back and
// Forward follow the page's history; and Done in the middle of a load
// leaves nothing behind.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/ResponseGate.h"
#include "store/SafariViewController.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/BarButtonItem.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Renderer.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"
#include "web/WebView.h"

using store::SafariViewController;
using store::URLOpener;

namespace {

// Seconds a real load may take, sanitizers included.
constexpr double kLimit = 20;

// A page under its title: a heading of the colour over its top 100 points,
// then three links, 100 points high each across the page: one to /second,
// one to /third in a new window, one to write a mail.
std::string page(const std::string& title, const std::string& colour) {
    return "<!DOCTYPE html><html><head><meta charset='utf-8'><title>" + title +
           "</title></head><body style='margin:0; background:white'>"
           "<h1 style='margin:0; height:100px; background:" +
           colour + "'>" + title +
           "</h1><a href='/second' style='display:block; height:100px'>second</a>"
           "<a href='/third' target='_blank' style='display:block; height:100px'>third</a>"
           "<a href='mailto:ada@example.com' style='display:block; height:100px'>mail</a>"
           "</body></html>";
}

testing::AssertionResult near(gfx::Color color, gfx::Color expected) {
    const double d = std::abs(color.red - expected.red) + std::abs(color.green - expected.green) +
                     std::abs(color.blue - expected.blue);
    if (d < 0.1) return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "rgb(" << color.red << ", " << color.green << ", " << color.blue << ")";
}

class FinishRecorder : public store::SafariViewControllerDelegate {
public:
    void safariViewControllerDidFinish(SafariViewController&) override { ++finished; }
    int finished = 0;
};

class SafariViewControllerService : public testing::Test {
protected:
    void SetUp() override {
        URLOpener::shared().clearForTesting();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
    }
    void TearDown() override { URLOpener::shared().clearForTesting(); }

    void serve(const std::string& path, std::string html,
               std::shared_ptr<fixtures::ResponseGate> gate = nullptr) {
        server.on("GET", path, [html = std::move(html), gate](const fixtures::LoopbackRequest&) {
            auto response = fixtures::LoopbackResponse::text(html, 200, "text/html; charset=utf-8");
            if (gate) response.heldBy(gate);
            return response;
        });
    }
    std::shared_ptr<SafariViewController> present(const std::string& path) {
        auto browser = SafariViewController::create(server.url(path));
        EXPECT_TRUE(browser);
        root->presentViewController(browser, true);
        clock.advance(0.5);
        core::RunLoop::main().runOnce();
        EXPECT_TRUE(browser->webView());
        return browser;
    }
    static bool waitFor(const std::function<bool()>& predicate) {
        return core::RunLoop::main().runUntil(predicate, kLimit);
    }
    // Back and Forward enabled as given, once the page has loaded.
    static bool steps(const SafariViewController& browser, bool back, bool forward) {
        return waitFor([&] {
            return !browser.webView()->isLoading() && browser.backButton()->isEnabled() == back &&
                   browser.forwardButton()->isEnabled() == forward;
        });
    }
    // A tap on a toolbar item where it is drawn.
    void tapItem(const std::shared_ptr<ui::BarButtonItem>& item) {
        const auto view = item->view();
        touches.tap(view->convertPointTo(view->bounds().center(), nullptr));
    }
    // An address on this machine where nothing listens.
    static std::string closedPortURL(const std::string& path) {
        int port = 0;
        {
            fixtures::LoopbackServer gone;
            port = gone.port();
        }
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    // A point of the page (CSS pixels) in the window.
    static gfx::Point onPage(const SafariViewController& browser, double x, double y) {
        return browser.webView()->convertPointTo({x, y}, nullptr);
    }

    fixtures::LoopbackServer server;
    testsupport::ManualClockScope clock;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
    ui::TouchInjector touches{*window};
};

TEST_F(SafariViewControllerService, ThePageShowsInsideUnderItsTitleAndNothingGoesToTheOpener) {
    const auto gate = fixtures::ResponseGate::make();
    serve("/@ada", page("Ada Lovelace", "rgb(20,120,220)"), gate);
    const auto browser = present("/@ada");

    // On its way: the host as the title, the spinner turning in the bar.
    ASSERT_TRUE(waitFor([&] { return gate->heldCount() == 1; }));
    EXPECT_TRUE(browser->webView()->isLoading());
    EXPECT_EQ(browser->title(), "127.0.0.1");
    const auto& spinner = browser->loadingIndicator();
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_EQ(spinner->superview(), browser->doneButton()->superview());
    EXPECT_EQ(spinner->window(), window);

    gate->release();
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Ada Lovelace"; })) << browser->title();
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_TRUE(spinner->isHidden());
    EXPECT_TRUE(browser->failureLabel()->isHidden());

    // Drawn where the page belongs: the heading's blue under the bar, the
    // bar's grey above it.
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLimit));
    ASSERT_TRUE(waitFor([] { return !core::PendingWork::any(); }));
    const auto image = ui::Renderer::render(*window, 1);
    const gfx::Point heading = onPage(*browser, 300, 50);
    EXPECT_TRUE(near(image->pixelAt(int(heading.x), int(heading.y)),
                     gfx::Color{20 / 255.0, 120 / 255.0, 220 / 255.0, 1}));
    const gfx::Point bar = onPage(*browser, 300, -10);
    EXPECT_TRUE(near(image->pixelAt(int(bar.x), int(bar.y)), gfx::Color::fromRGB(0xF7F7F7)));

    EXPECT_TRUE(URLOpener::shared().requests().empty());
    EXPECT_EQ(server.requestsTo("/@ada").size(), 1u);
}

TEST_F(SafariViewControllerService, LinksThePersonFollowsStayInsideAndOnlyAMailLinkLeaves) {
    serve("/@ada", page("Ada Lovelace", "rgb(20,120,220)"));
    serve("/second", page("Second", "rgb(220,40,40)"));
    serve("/third", page("Third", "rgb(40,200,40)"));
    const auto browser = present("/@ada");
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Ada Lovelace"; }));

    touches.tap(onPage(*browser, 100, 150));
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Second"; })) << browser->title();
    ASSERT_TRUE(browser->webView()->url());
    EXPECT_EQ(browser->webView()->url()->path(), "/second");

    // A link for a new window opens in the browser's one page.
    touches.tap(onPage(*browser, 100, 250));
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Third"; })) << browser->title();
    ASSERT_TRUE(browser->webView()->url());
    EXPECT_EQ(browser->webView()->url()->path(), "/third");
    EXPECT_TRUE(URLOpener::shared().requests().empty());

    // A mail link is the system's, as in any browser; the page stays.
    touches.tap(onPage(*browser, 100, 350));
    ASSERT_TRUE(waitFor([] { return !URLOpener::shared().requests().empty(); }));
    ASSERT_TRUE(waitFor([] { return !core::PendingWork::any(); }));
    ASSERT_EQ(URLOpener::shared().requests().size(), 1u);
    EXPECT_EQ(URLOpener::shared().requests()[0].url.absoluteString(), "mailto:ada@example.com");
    ASSERT_TRUE(browser->webView()->url());
    EXPECT_EQ(browser->webView()->url()->path(), "/third");
    EXPECT_TRUE(browser->failureLabel()->isHidden());
    for (const char* path : {"/@ada", "/second", "/third"})
        EXPECT_EQ(server.requestsTo(path).size(), 1u) << path;
}

TEST_F(SafariViewControllerService, BackAndForwardFollowThePagesHistoryAndStepThroughIt) {
    serve("/@ada", page("Ada Lovelace", "rgb(20,120,220)"));
    serve("/second", page("Second", "rgb(220,40,40)"));
    const auto browser = present("/@ada");
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Ada Lovelace"; }));
    EXPECT_TRUE(steps(*browser, false, false));
    EXPECT_FALSE(browser->stepInHistory(ui::HistoryStep::Back));

    // An entry of the page's own, which no load tells of.
    browser->webView()->evaluateJavaScript("history.pushState({}, '', '#more')");
    ASSERT_TRUE(steps(*browser, true, false));
    tapItem(browser->backButton());
    ASSERT_TRUE(steps(*browser, false, true));
    ASSERT_TRUE(waitFor([&] {
        const auto url = browser->webView()->url();
        return url && !url->fragment();
    }));

    // A link followed drops what was ahead.
    touches.tap(onPage(*browser, 100, 150));
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Second"; })) << browser->title();
    ASSERT_TRUE(steps(*browser, true, false));

    tapItem(browser->backButton());
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Ada Lovelace"; })) << browser->title();
    ASSERT_TRUE(steps(*browser, false, true));
    ASSERT_TRUE(browser->webView()->url());
    EXPECT_EQ(browser->webView()->url()->path(), "/@ada");

    ASSERT_TRUE(browser->stepInHistory(ui::HistoryStep::Forward));
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Second"; })) << browser->title();
    ASSERT_TRUE(steps(*browser, true, false));
    EXPECT_FALSE(browser->stepInHistory(ui::HistoryStep::Forward));
}

// A link to a server that is not there: the failure says so in words a
// person reads, and Back, its key included, leaves it for the page the link
// was on, which the history still holds as it was.
TEST_F(SafariViewControllerService, AfterAFailedLinkBackReturnsToTheLastPage) {
    const auto withDeadLink = [](const std::string& title) {
        return "<!DOCTYPE html><html><head><title>" + title +
               "</title></head><body style='margin:0'><a href='" + closedPortURL("/gone") +
               "' style='display:block; height:100px'>gone</a></body></html>";
    };
    serve("/@ada", withDeadLink("Ada Lovelace"));
    serve("/second", withDeadLink("Second"));
    const auto browser = present("/@ada");
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Ada Lovelace"; }));

    touches.tap(onPage(*browser, 100, 50));
    ASSERT_TRUE(waitFor([&] { return !browser->failureLabel()->isHidden(); }));
    const std::string said = browser->failureLabel()->text();
    EXPECT_EQ(said, "Cannot Open the Page\n\nCannot connect to the server.");
    ASSERT_TRUE(steps(*browser, true, false));

    tapItem(browser->backButton());
    EXPECT_TRUE(browser->failureLabel()->isHidden());
    EXPECT_FALSE(browser->webView()->isHidden());
    EXPECT_EQ(browser->title(), "Ada Lovelace");
    ASSERT_TRUE(browser->webView()->url());
    EXPECT_EQ(browser->webView()->url()->path(), "/@ada");
    ASSERT_TRUE(steps(*browser, false, false));
    EXPECT_FALSE(browser->stepInHistory(ui::HistoryStep::Back));

    // From a later page, the desktop window's step returns to that page,
    // and the one before it stays a step further back.
    browser->webView()->loadRequest(core::URLRequest(server.url("/second")));
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Second"; })) << browser->title();
    touches.tap(onPage(*browser, 100, 50));
    ASSERT_TRUE(waitFor([&] { return !browser->failureLabel()->isHidden(); }));
    ASSERT_TRUE(steps(*browser, true, false));
    ASSERT_TRUE(browser->stepInHistory(ui::HistoryStep::Back));
    EXPECT_TRUE(browser->failureLabel()->isHidden());
    ASSERT_TRUE(browser->webView()->url());
    EXPECT_EQ(browser->webView()->url()->path(), "/second");
    ASSERT_TRUE(steps(*browser, true, false));
    ASSERT_TRUE(browser->stepInHistory(ui::HistoryStep::Back));
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Ada Lovelace"; })) << browser->title();
    ASSERT_TRUE(steps(*browser, false, true));
    EXPECT_EQ(server.requestsTo("/second").size(), 1u);
}

TEST_F(SafariViewControllerService, APageOpeningWindowsWithoutAPersonsTapOpensNothing) {
    // The page asks for a window of a web page and of a mail as it loads;
    // no one tapped.
    serve("/@ada", "<!DOCTYPE html><html><head><title>Ada Lovelace</title></head><body>"
                   "<script>window.open('/popup'); window.open('mailto:ada@example.com');</script>"
                   "</body></html>");
    serve("/popup", page("Popup", "rgb(220,40,40)"));
    const auto browser = present("/@ada");
    ASSERT_TRUE(waitFor([&] { return browser->title() == "Ada Lovelace"; })) << browser->title();
    ASSERT_TRUE(waitFor([] { return !core::PendingWork::any(); }));
    // Whatever was allowed would be under way by now.
    EXPECT_FALSE(core::RunLoop::main().runUntil(
        [&] { return !server.requestsTo("/popup").empty() || browser->title() != "Ada Lovelace"; },
        1.0));
    EXPECT_TRUE(server.requestsTo("/popup").empty());
    ASSERT_TRUE(browser->webView()->url());
    EXPECT_EQ(browser->webView()->url()->path(), "/@ada");
    EXPECT_TRUE(URLOpener::shared().requests().empty());
}

TEST_F(SafariViewControllerService, DoneMidLoadStopsItAndTheWebViewGoesWithTheBrowser) {
    const auto gate = fixtures::ResponseGate::make();
    serve("/slow", page("Slow", "rgb(20,120,220)"), gate);
    auto browser = present("/slow");
    const auto recorder = std::make_shared<FinishRecorder>();
    browser->setDelegate(recorder);
    ASSERT_TRUE(waitFor([&] { return gate->heldCount() == 1; }));
    const std::weak_ptr<web::WebView> page = browser->webView();

    browser->doneButton()->sendActions(ui::ControlEvent::TouchUpInside);
    EXPECT_FALSE(page.lock()->isLoading());
    EXPECT_FALSE(browser->loadingIndicator()->isAnimating());
    clock.advance(0.5);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(recorder->finished, 1);
    EXPECT_TRUE(browser->failureLabel()->isHidden()) << "a stopped load is no failure";

    browser.reset();
    EXPECT_TRUE(page.expired()) << "the web view outlived its browser";

    // The answer that comes after goes nowhere.
    gate->release();
    ASSERT_TRUE(waitFor([&] { return server.requestsInFlight() == 0; }));
    ASSERT_TRUE(waitFor([] { return !core::PendingWork::any(); }));
    EXPECT_TRUE(URLOpener::shared().requests().empty());
    EXPECT_EQ(recorder->finished, 1);
}

}  // namespace
