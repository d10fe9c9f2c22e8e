// A page a little larger than its view still scrolls with the finger, but
// the engine's scrollbars neither show over it nor take the taps that land
// where they would be: the view's bottom and right edges belong to the page.

#include <algorithm>

#include "WebViewTesting.h"
#include "core/PendingWork.h"
#include "ui/DeviceProfile.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

namespace {

using namespace webtesting;

// 8 points wider and taller than the 320x240 view, on a green background,
// with a button along the bottom edge and one along the right edge. Its own
// style asks for scrollbars of its own.
constexpr const char* kPage = R"html(<style>
html { scrollbar-width: auto; }
::-webkit-scrollbar { width: 12px; height: 12px; background: red; }
</style><body style='margin:0; background:rgb(0,255,0)'>
<div style='width:328px; height:248px'></div>
<script>var clicks = [];</script>
<button id=bottom onclick="clicks.push('bottom')"
   style='position:absolute; left:10px; top:200px; width:100px; height:40px; border:0'></button>
<button id=right onclick="clicks.push('right')"
   style='position:absolute; left:280px; top:10px; width:40px; height:100px; border:0'></button>
</body>)html";

class WebViewScrollbarService : public testing::TestWithParam<web::WebViewConfiguration::Kind> {
protected:
    void SetUp() override {
        serveHTML(server, "/page", kPage);
        view = makeView(delegate, configurationOf(GetParam()), {0, 0, 320, 240});
        ASSERT_TRUE(view);
        window->addSubview(view);
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
        ASSERT_EQ(delegate->events.back(), "finish");
    }

    std::string clicks() { return evaluate(*view, "clicks.join()").stringValue(); }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<web::WebView> view;
    ui::TouchInjector touches{*window};
};

TEST_P(WebViewScrollbarService, TapsAtTheViewsEdgesReachThePage) {
    touches.tap({60, 238});
    ASSERT_TRUE(waitFor([&] { return clicks() == "bottom"; })) << clicks();
    touches.tap({318, 60});
    ASSERT_TRUE(waitFor([&] { return clicks() == "bottom,right"; })) << clicks();
}

TEST_P(WebViewScrollbarService, NoScrollbarShowsOverThePage) {
    // Just scrolled, where overlay scrollbars would show before they fade.
    ASSERT_EQ(evaluate(*view, "scrollTo(4, 4); scrollX"), core::Value(4));
    view->takeSnapshot();
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
    const gfx::ImagePtr picture = view->lastSnapshot();
    ASSERT_TRUE(picture);
    const double scale = std::max(1.0, ui::DeviceProfile::current().scale);
    const int width = picture->pixelWidth();
    const int height = picture->pixelHeight();
    ASSERT_EQ(width, int(320 * scale));
    const int edge = int(8 * scale);
    const auto green = [](gfx::Color color) {
        return color.green > 0.95 && color.red < 0.05 && color.blue < 0.05;
    };
    int others = 0;
    // The bottom strip right of the bottom button, and the right strip
    // below the right button.
    for (int y = height - edge; y < height; ++y)
        for (int x = int(120 * scale); x < width; ++x) others += !green(picture->pixelAt(x, y));
    for (int y = int(120 * scale); y < height; ++y)
        for (int x = width - edge; x < width; ++x) others += !green(picture->pixelAt(x, y));
    EXPECT_EQ(others, 0);
}

TEST_P(WebViewScrollbarService, TheFingerStillScrollsThePage) {
    touches.drag({200, 150}, {170, 120});
    const auto scrolled = [&] {
        return evaluate(*view, "[scrollX, scrollY].join()").stringValue();
    };
    ASSERT_TRUE(waitFor([&] { return scrolled() == "8,8"; })) << scrolled();
    EXPECT_EQ(clicks(), "");
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewScrollbarService, testing::ValuesIn(kKinds), kindName);

}  // namespace
