// The desktop's wheel over a web view scrolls the page under the pointer;
// a page that fits leaves the wheel to the feed around it.

#include <gtest/gtest.h>

#include "core/RunLoop.h"
#include "display/WindowInput.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"
#include "web/HeadlessDisplay.h"
#include "web/WebView.h"

namespace {

constexpr double kLimit = 20;

class Loads : public web::WebViewDelegate {
public:
    int finished = 0;
    void didFinishLoad(web::WebView&) override { ++finished; }
};

class WebViewWheelService : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(web::HeadlessDisplay::ensure(&error)) << error;
        window->addSubview(feed);
        feed->setContentSize({320, 2000});
        view = web::WebView::create({20, 40, 280, 200}, {}, &error);
        ASSERT_TRUE(view) << error;
        view->setDelegate(loads);
        feed->addSubview(view);
    }

    void load(const std::string& html, gfx::Size contentSize) {
        const int before = loads->finished;
        view->loadHTMLString(html, std::nullopt);
        ASSERT_TRUE(wait([&] { return loads->finished > before; }));
        ASSERT_TRUE(wait([&] { return view->contentSize() == contentSize; }));
    }

    static bool wait(const std::function<bool()>& predicate) {
        return core::RunLoop::main().runUntil(predicate, kLimit);
    }

    double pageScroll() {
        std::optional<double> answer;
        view->evaluateJavaScript("scrollY",
                                 [&](web::JSResult result) { answer = result.value().doubleValue(); });
        return wait([&] { return answer.has_value(); }) ? *answer : -1;
    }

    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<ui::ScrollView> feed =
        std::make_shared<ui::ScrollView>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<Loads> loads = std::make_shared<Loads>();
    std::shared_ptr<web::WebView> view;
};

TEST_F(WebViewWheelService, TheWheelScrollsThePageUnderThePointer) {
    load("<body style='margin:0'><div style='height:2000px'></div></body>", {280, 2000});
    ASSERT_TRUE(display::WindowInput::scroll(*window, {150, 140}, {0, 48}));
    ASSERT_TRUE(wait([&] { return pageScroll() >= 47; }));
    EXPECT_LE(pageScroll(), 49);
    EXPECT_EQ(feed->contentOffset(), (gfx::Point{0, 0}));
}

TEST_F(WebViewWheelService, APageThatFitsLeavesTheWheelToTheFeed) {
    load("<body style='margin:0'><p>fits</p></body>", {280, 200});
    ASSERT_TRUE(display::WindowInput::scroll(*window, {150, 140}, {0, 48}));
    EXPECT_EQ(feed->contentOffset(), (gfx::Point{0, 48}));
    EXPECT_EQ(pageScroll(), 0);
}

}  // namespace
