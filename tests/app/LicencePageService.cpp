// The about page's licence link against a licence page of our own, served
// over HTTPS by a local server that the web views trust: the page shows
// inside the in-app browser, under its own title, and nothing goes to the
// URL opener.

#include <gtest/gtest.h>

#include <memory>

#include "app/services/AppConfiguration.h"
#include "app/services/LocalizableHelper.h"
#include "app/vc/AboutViewController.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/TestCertificates.h"
#include "store/SafariViewController.h"
#include "store/StoreTesting.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/Renderer.h"
#include "ui/Window.h"
#include "web/TrustedAuthorities.h"
#include "web/WebView.h"

namespace {

constexpr double kLimit = 20;

class LicencePageService : public testing::Test {
protected:
    void SetUp() override {
        store_->setProducts({storetest::tipProduct()});
        store::URLOpener::shared().clearForTesting();
        web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
        server_.startTLS();
        server_.on("GET", "/license", [](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::text(
                "<!DOCTYPE html><html><head><title>License</title></head>"
                "<body style='margin:0; background:white'><h1 style='margin:0; height:120px; "
                "background:rgb(200,60,20)'>License</h1></body></html>",
                200, "text/html; charset=utf-8");
        });
        // The licence is at the photo site's host and port, over HTTPS.
        app::AppConfiguration::set(
            {"", "http://127.0.0.1:" + std::to_string(server_.securePort()), ""});
    }
    void TearDown() override {
        store::URLOpener::shared().clearForTesting();
        web::TrustedAuthorities::setPEM({});
        app::AppConfiguration::set(previous_);
    }

    void settle(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 0.05) {
            clock_.advance(0.05);
            core::RunLoop::main().runOnce();
        }
    }

    bool languageReady_ = [] {
        app::LocalizableHelper::shared().setupLanguageBundle();
        return true;
    }();
    storetest::ScriptedStoreScope store_;
    testsupport::ManualClockScope clock_;
    fixtures::LoopbackServer server_;
    app::AppConfiguration previous_ = app::AppConfiguration::current();
    std::shared_ptr<app::AboutViewController> page_ = std::make_shared<app::AboutViewController>();
    std::shared_ptr<ui::NavigationController> navigation_ = ui::NavigationController::create(page_);
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
};

TEST_F(LicencePageService, TheLicenceShowsInsideTheInAppBrowser) {
    window_->setRootViewController(navigation_);
    window_->makeKeyAndVisible();
    settle(0.5);
    page_->unSplashAuthorizationLinkButton()->sendActions(ui::ControlEvent::TouchUpInside);
    settle(0.5);
    const auto browser = std::dynamic_pointer_cast<store::SafariViewController>(
        navigation_->presentedViewController());
    ASSERT_TRUE(browser);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return browser->title() == "License"; },
                                               kLimit))
        << browser->title() << " / " << browser->failureLabel()->text();
    EXPECT_TRUE(browser->failureLabel()->isHidden());

    ASSERT_TRUE(web::WebView::awaitSnapshots(kLimit));
    ASSERT_TRUE(core::RunLoop::main().runUntil([] { return !core::PendingWork::any(); }, kLimit));
    const auto shot = ui::Renderer::render(*window_, 1);
    const gfx::Point heading = browser->webView()->convertPointTo({200, 60}, nullptr);
    const gfx::Color shown = shot->pixelAt(int(heading.x), int(heading.y));
    EXPECT_NEAR(shown.red, 200 / 255.0, 0.05);
    EXPECT_NEAR(shown.green, 60 / 255.0, 0.05);
    EXPECT_NEAR(shown.blue, 20 / 255.0, 0.05);

    EXPECT_EQ(server_.requestsTo("/license").size(), 1u);
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
}

}  // namespace
