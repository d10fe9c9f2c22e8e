// The desktop window with a web view in it: it sleeps in GLib's main loop
// (where the page's events arrive) and shows the page where the view is, as
// the page draws.

#include <gtest/gtest.h>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "display/DesktopWindow.h"
#include "ui/Application.h"
#include "ui/Window.h"
#include "web/HeadlessDisplay.h"
#include "web/WebView.h"

namespace {

TEST(DesktopWindowWebService, ShowsThePageAndWaitsInGLibsLoop) {
    std::string error;
    ASSERT_TRUE(web::HeadlessDisplay::ensure(&error)) << error;
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 200, 200));
    window->setBackgroundColor(gfx::Color::white());
    const auto view = web::WebView::create({50, 50, 100, 100}, {}, &error);
    ASSERT_TRUE(view) << error;
    window->addSubview(view);
    auto desktop = display::DesktopWindow::create(window, "web view", &error);
    ASSERT_TRUE(desktop) << error;
    ASSERT_TRUE(core::RunLoop::main().host());  // the view made GLib the waiter

    // Nothing but the window's own wait runs GLib's loop from here on: the
    // page loads and its snapshot arrives only if that wait serves GLib.
    view->loadHTMLString("<body style='margin:0; background:rgb(0,0,255)'></body>", std::nullopt);
    const double scale = desktop->fit().pixelsPerPoint;
    // What the window showed last: the app window's frame surface.
    const auto at = [&](double x, double y) {
        return window->frameSurface()->makeImage()->pixelAt(int(x * scale), int(y * scale));
    };
    bool shown = false;
    const auto started = std::chrono::steady_clock::now();
    const auto check = core::Timer::schedule(core::RunLoop::main(), 0.05, true, [&](core::Timer&) {
        shown = window->frameSurface() && at(100, 100).blue > 0.95 && at(100, 100).red < 0.05;
        if (shown || std::chrono::steady_clock::now() - started > std::chrono::seconds(20))
            ui::Application::shared().terminate();
    });
    desktop->run();
    check->invalidate();
    ASSERT_TRUE(shown);
    EXPECT_NEAR(at(20, 20).red, 1, 0.05);  // the window around the view
    EXPECT_NEAR(at(149, 149).blue, 1, 0.05);
}

TEST(DesktopWindowWebService, ShowsWhatThePageDrawsAfterItsLoad) {
    std::string error;
    ASSERT_TRUE(web::HeadlessDisplay::ensure(&error)) << error;
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 200, 200));
    window->setBackgroundColor(gfx::Color::white());
    const auto view = web::WebView::create({50, 50, 100, 100}, {}, &error);
    ASSERT_TRUE(view) << error;
    window->addSubview(view);
    auto desktop = display::DesktopWindow::create(window, "web view", &error);
    ASSERT_TRUE(desktop) << error;

    // Red once loaded, green a little later: only the page's own drawing
    // can bring the green to the window.
    view->loadHTMLString(R"html(<body style='margin:0; background:rgb(255,0,0)'><script>
        onload = () => setTimeout(() => document.body.style.background = 'rgb(0,255,0)', 200);
        </script></body>)html",
                         std::nullopt);
    const double scale = desktop->fit().pixelsPerPoint;
    const auto at = [&](double x, double y) {
        return window->frameSurface()->makeImage()->pixelAt(int(x * scale), int(y * scale));
    };
    bool green = false;
    const auto started = std::chrono::steady_clock::now();
    const auto check = core::Timer::schedule(core::RunLoop::main(), 0.05, true, [&](core::Timer&) {
        green = window->frameSurface() && at(100, 100).green > 0.95 && at(100, 100).red < 0.05;
        if (green || std::chrono::steady_clock::now() - started > std::chrono::seconds(20))
            ui::Application::shared().terminate();
    });
    desktop->run();
    check->invalidate();
    ASSERT_TRUE(green);
    EXPECT_NEAR(at(20, 20).red, 1, 0.05);  // the window around the view is kept
    EXPECT_NEAR(at(20, 20).green, 1, 0.05);
    EXPECT_NEAR(at(149, 51).green, 1, 0.05);
}

}  // namespace
