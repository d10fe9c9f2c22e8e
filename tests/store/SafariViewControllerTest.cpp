#include <gtest/gtest.h>

#include <memory>

#include "gfx/Image.h"
#include "store/SafariViewController.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

using store::SafariViewController;
using store::URLOpener;

namespace {

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

    static core::URL url(const char* text) { return *core::URL::create(text); }

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

TEST_F(SafariViewControllerTest, PresentingOpensTheURLOnceAndDoneDismisses) {
    const auto browser = SafariViewController::create(url("https://example.com/@someone"));
    ASSERT_TRUE(browser);
    // Loading the view alone opens nothing.
    (void)browser->view();
    EXPECT_TRUE(URLOpener::shared().openedURLs().empty());

    root_->presentViewController(browser, true);
    clock_.advance(0.5);
    ASSERT_EQ(root_->presentedViewController(), browser);
    ASSERT_EQ(URLOpener::shared().openedURLs().size(), 1u);
    EXPECT_EQ(URLOpener::shared().openedURLs()[0].absoluteString(), "https://example.com/@someone");

    // Appearing again (after something it presented goes away) opens nothing more.
    browser->beginAppearanceTransition(false, false);
    browser->endAppearanceTransition();
    browser->beginAppearanceTransition(true, false);
    browser->endAppearanceTransition();
    EXPECT_EQ(URLOpener::shared().openedURLs().size(), 1u);

    // The chrome is drawn: the bar's light grey at the top.
    const auto image = ui::Renderer::render(*window_, 1);
    ASSERT_TRUE(image);
    const gfx::Color bar = image->pixelAt(300, 30);
    EXPECT_NEAR(bar.red, 0xF7 / 255.0, 0.02);

    browser->doneButton()->sendActions(ui::ControlEvent::TouchUpInside);
    clock_.advance(0.5);
    EXPECT_EQ(root_->presentedViewController(), nullptr);
    EXPECT_EQ(URLOpener::shared().openedURLs().size(), 1u);
}

TEST_F(SafariViewControllerTest, DoneTellsTheDelegateAfterThePresentedBrowserIsGone) {
    const auto browser = SafariViewController::create(url("https://example.com/a"));
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

TEST_F(SafariViewControllerTest, AsAChildItOpensOnceShownAndDoneOnlyTellsTheDelegate) {
    const auto host = std::make_shared<ui::ViewController>();
    root_->presentViewController(host, false);
    const auto browser = SafariViewController::create(url("https://example.com/linking?x=1"));
    const auto recorder = std::make_shared<FinishRecorder>(root_);
    browser->setDelegate(recorder);

    host->addChildViewController(browser);
    EXPECT_TRUE(URLOpener::shared().openedURLs().empty());
    browser->view()->setFrame(host->view()->bounds());
    host->view()->addSubview(browser->view());
    browser->didMoveToParentViewController(host.get());
    ASSERT_EQ(URLOpener::shared().openedURLs().size(), 1u);
    EXPECT_EQ(URLOpener::shared().openedURLs()[0].query(), "x=1");

    // Laid out inside its parent's view: the bar spans it at the top.
    host->view()->layoutIfNeeded();
    EXPECT_EQ(browser->doneButton()->superview()->frame().width(), host->view()->bounds().width());

    browser->doneButton()->sendActions(ui::ControlEvent::TouchUpInside);
    clock_.advance(0.5);
    ASSERT_EQ(recorder->finished.size(), 1u);
    EXPECT_EQ(root_->presentedViewController(), host);
    EXPECT_EQ(recorder->presentedWhenTold[0], host);

    // Leaving and entering the window again opens nothing more.
    browser->view()->removeFromSuperview();
    host->view()->addSubview(browser->view());
    EXPECT_EQ(URLOpener::shared().openedURLs().size(), 1u);
}

}  // namespace
