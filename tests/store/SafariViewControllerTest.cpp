#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/RunLoop.h"
#include "gfx/Image.h"
#include "store/SafariViewController.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Renderer.h"
#include "ui/Toolbar.h"
#include "ui/Window.h"
#include "web/WebView.h"

using store::SafariViewController;
using store::URLOpener;

namespace {

// A loopback port held without listening: a page asked of it fails at once,
// and nothing leaves the machine.
class RefusingPort {
public:
    RefusingPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            ADD_FAILURE() << "no loopback port";
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() {
        if (fd_ >= 0) ::close(fd_);
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    // "http://127.0.0.1:<port>" and path.
    [[nodiscard]] std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

class FinishRecorder : public store::SafariViewControllerDelegate {
public:
    explicit FinishRecorder(std::shared_ptr<ui::ViewController> root) : root_(std::move(root)) {}
    void safariViewControllerDidFinish(SafariViewController& controller) override {
        finished.push_back(&controller);
        presentedWhenTold.push_back(root_->presentedViewController());
    }
    std::vector<SafariViewController*> finished;
    std::vector<std::shared_ptr<ui::ViewController>> presentedWhenTold;

private:
    std::shared_ptr<ui::ViewController> root_;
};

class SafariViewControllerTest : public testing::Test {
protected:
    void SetUp() override {
        URLOpener::shared().clearForTesting();
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override { URLOpener::shared().clearForTesting(); }

    static core::URL url(const std::string& text) { return *core::URL::create(text); }

    RefusingPort refusing_;
    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ViewController> root_ = std::make_shared<ui::ViewController>();
};

TEST_F(SafariViewControllerTest, OnlyForHttpAndHttps) {
    EXPECT_EQ(SafariViewController::create(url("javascript:void(0)")), nullptr);
    EXPECT_EQ(SafariViewController::create(url("file:///tmp/a.html")), nullptr);
    const auto browser = SafariViewController::create(url("https://example.com/@someone"));
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->url().absoluteString(), "https://example.com/@someone");
}

TEST_F(SafariViewControllerTest, PresentingLoadsThePageOnceInItsOwnViewAndDoneDismisses) {
    const auto browser = SafariViewController::create(url(refusing_.url("/@someone")));
    ASSERT_TRUE(browser);
    // Loading the view alone starts no page.
    (void)browser->view();
    EXPECT_EQ(browser->webView(), nullptr);
    EXPECT_EQ(browser->title(), "127.0.0.1");

    root_->presentViewController(browser, true);
    clock_.advance(0.5);
    ASSERT_EQ(root_->presentedViewController(), browser);
    const auto page = browser->webView();
    ASSERT_TRUE(page);
    // The page fills the screen between the bar and the toolbar; the URL
    // opener hears nothing.
    browser->view()->layoutIfNeeded();
    const gfx::Rect bar = browser->doneButton()->superview()->frame();
    const double toolbar = 667 - ui::Toolbar::kHeight;
    EXPECT_EQ(page->frame(), (gfx::Rect{0, bar.maxY(), 375, toolbar - bar.maxY()}));
    EXPECT_EQ(browser->toolbar()->frame(), (gfx::Rect{0, toolbar, 375, ui::Toolbar::kHeight}));
    EXPECT_TRUE(URLOpener::shared().requests().empty());

    // Appearing again (after something it presented goes away) starts nothing more.
    browser->beginAppearanceTransition(false, false);
    browser->endAppearanceTransition();
    browser->beginAppearanceTransition(true, false);
    browser->endAppearanceTransition();
    EXPECT_EQ(browser->webView(), page);

    // The chrome is drawn: the bar's light grey at the top.
    const auto image = ui::Renderer::render(*window_, 1);
    ASSERT_TRUE(image);
    const gfx::Color barColour = image->pixelAt(300, 30);
    EXPECT_NEAR(barColour.red, 0xF7 / 255.0, 0.02);

    browser->doneButton()->sendActions(ui::ControlEvent::TouchUpInside);
    EXPECT_FALSE(page->isLoading()) << "Done stops the load";
    clock_.advance(0.5);
    EXPECT_EQ(root_->presentedViewController(), nullptr);
    EXPECT_TRUE(URLOpener::shared().requests().empty());
}

// The page's port refuses: the browser says the page did not load where the
// page would be, instead of a blank screen, and stops its spinner.
TEST_F(SafariViewControllerTest, APageThatCannotLoadSaysSoInsteadOfShowingNothing) {
    const auto browser = SafariViewController::create(url(refusing_.url("/license")));
    root_->presentViewController(browser, false);
    ASSERT_TRUE(browser->webView());
    EXPECT_TRUE(browser->loadingIndicator()->isAnimating());
    EXPECT_TRUE(browser->failureLabel()->isHidden());

    ASSERT_TRUE(
        core::RunLoop::main().runUntil([&] { return !browser->failureLabel()->isHidden(); }, 20));
    EXPECT_EQ(browser->failureLabel()->text().rfind("Cannot Open the Page", 0), 0u)
        << browser->failureLabel()->text();
    EXPECT_TRUE(browser->webView()->isHidden());
    EXPECT_FALSE(browser->loadingIndicator()->isAnimating());
    EXPECT_TRUE(browser->loadingIndicator()->isHidden());
    EXPECT_EQ(browser->title(), "127.0.0.1");
    EXPECT_TRUE(URLOpener::shared().requests().empty());

    // The message is drawn: dark text in the middle of the white page area.
    const auto image = ui::Renderer::render(*window_, 1);
    const gfx::Rect label = browser->failureLabel()->frame();
    int dark = 0;
    for (int y = int(label.minY()); y < int(label.maxY()); ++y)
        for (int x = int(label.minX()); x < int(label.maxX()); ++x)
            if (image->pixelAt(x, y).red < 0.6) ++dark;
    EXPECT_GT(dark, 50);
}

TEST_F(SafariViewControllerTest, DoneTellsTheDelegateAfterThePresentedBrowserIsGone) {
    const auto browser = SafariViewController::create(url(refusing_.url("/a")));
    const auto recorder = std::make_shared<FinishRecorder>(root_);
    browser->setDelegate(recorder);
    root_->presentViewController(browser, true);
    clock_.advance(0.5);
    browser->doneButton()->sendActions(ui::ControlEvent::TouchUpInside);
    EXPECT_TRUE(recorder->finished.empty());
    clock_.advance(0.5);
    ASSERT_EQ(recorder->finished, std::vector<SafariViewController*>{browser.get()});
    EXPECT_EQ(recorder->presentedWhenTold[0], nullptr);

    // The delegate is held weakly.
    browser->setDelegate(std::make_shared<FinishRecorder>(root_));
    EXPECT_EQ(browser->delegate(), nullptr);
}

TEST_F(SafariViewControllerTest, AsAChildItLoadsOnceShownAndDoneOnlyTellsTheDelegate) {
    const auto host = std::make_shared<ui::ViewController>();
    root_->presentViewController(host, false);
    const auto browser = SafariViewController::create(url(refusing_.url("/linking?x=1")));
    const auto recorder = std::make_shared<FinishRecorder>(root_);
    browser->setDelegate(recorder);

    host->addChildViewController(browser);
    EXPECT_EQ(browser->webView(), nullptr);
    browser->view()->setFrame(host->view()->bounds());
    host->view()->addSubview(browser->view());
    browser->didMoveToParentViewController(host.get());
    const auto page = browser->webView();
    ASSERT_TRUE(page);
    EXPECT_TRUE(URLOpener::shared().requests().empty());

    // Laid out inside its parent's view: the bar spans it at the top, the page below.
    host->view()->layoutIfNeeded();
    EXPECT_EQ(browser->doneButton()->superview()->frame().width(), host->view()->bounds().width());
    EXPECT_EQ(page->frame().width(), host->view()->bounds().width());
    EXPECT_EQ(page->frame().minY(), browser->doneButton()->superview()->frame().maxY());

    browser->doneButton()->sendActions(ui::ControlEvent::TouchUpInside);
    clock_.advance(0.5);
    ASSERT_EQ(recorder->finished.size(), 1u);
    EXPECT_EQ(root_->presentedViewController(), host);
    EXPECT_EQ(recorder->presentedWhenTold[0], host);

    // Leaving and entering the window again starts nothing more.
    browser->view()->removeFromSuperview();
    host->view()->addSubview(browser->view());
    EXPECT_EQ(browser->webView(), page);
    EXPECT_TRUE(URLOpener::shared().requests().empty());
}

}  // namespace
