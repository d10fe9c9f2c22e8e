// A page a little larger than its view still scrolls with the finger, but
// the engine's scrollbars neither show over it nor take the taps that land
// where they would be: the view's bottom and right edges belong to the page,
// and so do a frame's.

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

bool isGreen(gfx::Color color) {
    return color.green > 0.95 && color.red < 0.05 && color.blue < 0.05;
}

class WebViewScrollbarService : public testing::TestWithParam<web::WebViewConfiguration::Kind> {
protected:
    void SetUp() override {
        serveHTML(server, "/page", page);
        view = makeView(delegate, configurationOf(GetParam()), {0, 0, 320, 240});
        ASSERT_TRUE(view);
        window->addSubview(view);
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
        ASSERT_EQ(delegate->events.back(), "finish");
    }

    std::string clicks() { return evaluate(*view, "clicks.join()").stringValue(); }

    const char* page = kPage;
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
    int others = 0;
    // The bottom strip right of the bottom button, and the right strip
    // below the right button.
    for (int y = height - edge; y < height; ++y)
        for (int x = int(120 * scale); x < width; ++x) others += !isGreen(picture->pixelAt(x, y));
    for (int y = int(120 * scale); y < height; ++y)
        for (int x = width - edge; x < width; ++x) others += !isGreen(picture->pixelAt(x, y));
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

// The same inside a frame: a page that fits its view holds, in its bottom
// right quarter, a frame whose document is 8 points wider and taller than
// the frame, with its own scrollbar style and buttons along the frame's
// bottom and right edges (the view's too). The frame tells its page by
// message (a "UI"-kind page's frames come from the app, another origin).
constexpr const char* kFramedPage = R"html(<body style='margin:0; background:rgb(0,255,0)'>
<script>var clicks = [], frameSaid = [];
addEventListener('message', function (e) {
  (e.data === 'bottom' || e.data === 'right' ? clicks : frameSaid).push(e.data);
});</script>
<iframe src='/frame' style='position:absolute; left:160px; top:120px; width:160px;
   height:120px; border:0'></iframe></body>)html";
constexpr const char* kFrame = R"html(<style>
html { scrollbar-width: auto; }
::-webkit-scrollbar { width: 12px; height: 12px; background: red; }
</style><body style='margin:0; background:rgb(0,255,0)'>
<div style='width:168px; height:128px'></div>
<button onclick="parent.postMessage('bottom', '*')"
   style='position:absolute; left:10px; top:80px; width:60px; height:40px; border:0'></button>
<button onclick="parent.postMessage('right', '*')"
   style='position:absolute; left:120px; top:10px; width:40px; height:60px; border:0'></button>
<script>
addEventListener('load', function () { parent.postMessage('loaded', '*'); });
addEventListener('message', function () {
  scrollTo(4, 4);
  parent.postMessage('scrolled ' + scrollX + ',' + scrollY, '*');
});
</script></body>)html";

class WebViewFrameScrollbarService : public WebViewScrollbarService {
protected:
    void SetUp() override {
        serveHTML(server, "/frame", kFrame);
        page = kFramedPage;
        WebViewScrollbarService::SetUp();
        ASSERT_TRUE(waitFor([&] { return frameSaid() == "loaded"; })) << frameSaid();
    }

    std::string frameSaid() { return evaluate(*view, "frameSaid.join()").stringValue(); }
};

TEST_P(WebViewFrameScrollbarService, TheFramesEdgesTakeTapsAndShowNoScrollbar) {
    touches.tap({200, 238});
    ASSERT_TRUE(waitFor([&] { return clicks() == "bottom"; })) << clicks();
    touches.tap({318, 160});
    ASSERT_TRUE(waitFor([&] { return clicks() == "bottom,right"; })) << clicks();

    // Just scrolled, where overlay scrollbars would show before they fade.
    (void)evaluate(*view, "frames[0].postMessage('scroll', '*'), true");
    ASSERT_TRUE(waitFor([&] { return frameSaid() == "loaded,scrolled 4,4"; })) << frameSaid();
    view->takeSnapshot();
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
    const gfx::ImagePtr picture = view->lastSnapshot();
    ASSERT_TRUE(picture);
    const double scale = std::max(1.0, ui::DeviceProfile::current().scale);
    const int width = picture->pixelWidth();
    const int height = picture->pixelHeight();
    const int edge = int(8 * scale);
    int others = 0;
    // The frame's bottom strip right of its bottom button, and its right
    // strip below its right button.
    for (int y = height - edge; y < height; ++y)
        for (int x = int(240 * scale); x < width; ++x) others += !isGreen(picture->pixelAt(x, y));
    for (int y = int(200 * scale); y < height; ++y)
        for (int x = width - edge; x < width; ++x) others += !isGreen(picture->pixelAt(x, y));
    EXPECT_EQ(others, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewFrameScrollbarService, testing::ValuesIn(kKinds), kindName);

}  // namespace
