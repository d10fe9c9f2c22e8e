// What a web view shows follows what its page draws after its load: the
// renderer's next frame carries the page's latest drawing, animations show
// as they run, and a page that draws nothing new, or a view that nobody
// sees, takes no pictures and holds no work.

#include <algorithm>

#include "WebViewTesting.h"
#include "core/PendingWork.h"
#include "fixtures/AppClock.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace {

using namespace webtesting;

// drawn(name) posts name to the "page" handler once the page has drawn what
// it shows now: by the second animation frame, the first one's drawing has
// left the web process, ahead of the message.
constexpr const char* kDrawnScript = R"(<script>
function drawn(name) {
  requestAnimationFrame(() => requestAnimationFrame(
      () => window.webkit.messageHandlers.page.postMessage(name)));
}</script>)";

// A box moving across the page for ever, a pixel or more each frame.
constexpr const char* kMovingBox = R"(<style>
@keyframes across { from { transform: translateX(0) } to { transform: translateX(180px) } }
#box { width: 20px; height: 20px; background: rgb(0,0,255); animation: across 3s linear infinite }
</style><body style='margin:0; background:white'><div id=box></div></body>)";

bool samePixels(const gfx::ImagePtr& a, const gfx::ImagePtr& b) {
    return std::ranges::equal(a->pixels(), b->pixels());
}

testing::AssertionResult near(gfx::Color color, gfx::Color expected) {
    const double d = std::abs(color.red - expected.red) + std::abs(color.green - expected.green) +
                     std::abs(color.blue - expected.blue);
    if (d < 0.1) return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "rgb(" << color.red << ", " << color.green << ", " << color.blue << ")";
}

const gfx::Color kBlue{0, 0, 1, 1};
const gfx::Color kYellow{1, 1, 0, 1};

class WebViewPictureService : public testing::Test {
protected:
    void SetUp() override {
        window->setBackgroundColor(gfx::Color::white());
        window->addSubview(container);
        view = makeView(delegate, {}, {0, 0, 200, 100});
        ASSERT_TRUE(view);
        container->addSubview(view);
        view->addScriptMessageHandler(
            "page", [this](const core::Value& body) { messages.push_back(body.stringValue()); });
    }

    // Loads the page and waits for its first picture.
    void load(const std::string& body) {
        ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, kDrawnScript + body, server.url("/page")));
        ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
    }

    [[nodiscard]] bool heard(const std::string& message) {
        return waitFor([&] {
            return std::find(messages.begin(), messages.end(), message) != messages.end();
        });
    }

    // Until no drawing is on its way.
    [[nodiscard]] static bool drawingsArrived() {
        return waitFor([] { return !core::PendingWork::any(); });
    }

    gfx::ImagePtr render() { return ui::Renderer::render(*window, scale); }

    // The rendered colour at a point of the view.
    gfx::Color at(const gfx::ImagePtr& image, gfx::Point point) const {
        const gfx::Point inWindow = view->convertPointTo(point, nullptr);
        return image->pixelAt(int(inWindow.x * scale), int(inWindow.y * scale));
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<ui::View> container = std::make_shared<ui::View>(gfx::Rect(20, 60, 200, 100));
    std::shared_ptr<web::WebView> view;
    std::vector<std::string> messages;
    const double scale = ui::DeviceProfile::current().scale;
};

TEST_F(WebViewPictureService, TheNextFrameAfterThePageDrewShowsWhatItChangedAfterItsLoad) {
    fixtures::AppClock clock;
    load(R"(<body style='margin:0; background:rgb(255,0,0)'><script>
      onload = () => setTimeout(() => {
        document.body.style.background = 'rgb(0,0,255)';
        drawn('blue');
      }, 300);</script></body>)");
    (void)render();
    window->clearNeedsDisplay();
    const auto pictures = view->pictureCount();

    ASSERT_TRUE(heard("blue"));
    // The drawing on its way is work the app's clock waits for.
    ASSERT_TRUE(clock.settle());
    EXPECT_TRUE(window->needsDisplay());  // the view asked to be drawn again
    EXPECT_TRUE(near(at(render(), {100, 50}), kBlue));
    EXPECT_GT(view->pictureCount(), pictures);
}

TEST_F(WebViewPictureService, AnAnimationShowsDifferentPicturesInFramesApart) {
    load(kMovingBox);
    const auto first = render();
    const auto pictures = view->pictureCount();
    (void)waitFor([] { return false; }, 0.1);
    window->clearNeedsDisplay();
    ASSERT_TRUE(waitFor([&] { return window->needsDisplay(); }));
    const auto second = render();
    EXPECT_FALSE(samePixels(first, second));
    EXPECT_GT(view->pictureCount(), pictures);
    // Each frame reads at most one picture, however often the page drew.
    const auto read = view->pictureCount();
    (void)waitFor([] { return false; }, 0.1);
    (void)render();
    EXPECT_EQ(view->pictureCount(), read + 1);
}

TEST_F(WebViewPictureService, APageThatStoppedChangingTakesNoFurtherPictures) {
    load(R"(<body style='margin:0; background:rgb(255,0,0)'><script>
      const colours = ['rgb(0,255,0)', 'rgb(0,0,255)', 'rgb(255,255,0)'];
      let shown = 0;
      function next() {
        document.body.style.background = colours[shown++];
        if (shown < colours.length) setTimeout(next, 40); else drawn('done');
      }
      onload = () => setTimeout(next, 40);</script></body>)");
    ASSERT_TRUE(heard("done"));
    ASSERT_TRUE(drawingsArrived());
    const auto settled = render();
    EXPECT_TRUE(near(at(settled, {100, 50}), kYellow));
    window->clearNeedsDisplay();
    const auto pictures = view->pictureCount();

    (void)waitFor([] { return false; }, 0.5);
    EXPECT_FALSE(window->needsDisplay());
    const auto later = render();
    EXPECT_EQ(view->pictureCount(), pictures);
    EXPECT_TRUE(samePixels(settled, later));
}

TEST_F(WebViewPictureService, ViewsNobodySeesTakeNoPicturesAndHoldNoWork) {
    load(kMovingBox);
    // Only ever off the main thread here: the engine's drawings on their way.
    const auto busyWhile = [](double seconds) {
        bool busy = false;
        (void)waitFor(
            [&] {
                busy = busy || core::PendingWork::offMainThread();
                return false;
            },
            seconds);
        return busy;
    };
    ASSERT_TRUE(busyWhile(0.3));  // a view that is seen animates

    const auto unseen = [&](const char* how) {
        ASSERT_TRUE(waitFor([] { return !core::PendingWork::any(); }));  // what was on its way
        (void)render();
        window->clearNeedsDisplay();
        const auto pictures = view->pictureCount();
        EXPECT_FALSE(busyWhile(0.3)) << how;
        EXPECT_FALSE(window->needsDisplay()) << how;
        (void)render();
        (void)view->lastSnapshot();
        EXPECT_EQ(view->pictureCount(), pictures) << how;
    };
    view->setHidden(true);
    unseen("hidden");
    view->setHidden(false);
    container->setHidden(true);
    unseen("inside a hidden view");
    container->setHidden(false);
    view->setFrame({0, 0, 200, 0});
    unseen("of no height");
    view->setFrame({0, 0, 200, 100});
    view->removeFromSuperview();
    unseen("in no window");

    // Seen again, the next frame shows the engine's latest drawing.
    container->addSubview(view);
    const auto pictures = view->pictureCount();
    ASSERT_TRUE(waitFor([&] {
        (void)render();
        return view->pictureCount() > pictures;
    }));
}

}  // namespace

// A page that repaints a part of itself: only that part of the view is
// marked for display and copied over the last picture, and the picture still
// shows the whole page as it is; a picture someone still holds keeps what
// it showed.
TEST_F(WebViewPictureService, ARepaintedPartIsAllThatIsMarkedAndCopied) {
    load(R"(<style>div { position: absolute; top: 0; width: 50px; height: 100px }</style>
      <body style='margin:0; background:white'>
      <div id=left style='left:0; background:rgb(255,0,0)'></div>
      <div id=right style='left:150px; background:rgb(0,255,0)'></div></body>)");
    // Until the page has settled: a frame goes by without a paint.
    for (int tries = 0;; ++tries) {
        ASSERT_LT(tries, 20);
        ASSERT_TRUE(drawingsArrived());
        (void)render();
        window->clearNeedsDisplay();
        (void)waitFor([] { return false; }, 0.1);
        if (!window->needsDisplay()) break;
    }
    const gfx::ImagePtr held = view->lastSnapshot();
    ASSERT_TRUE(held);
    const std::vector<std::uint32_t> before(held->pixels().begin(), held->pixels().end());

    (void)evaluate(*view, "document.getElementById('right').style.background = 'rgb(0,0,255)';"
                          "drawn('blue'); true");
    ASSERT_TRUE(heard("blue"));
    ASSERT_TRUE(drawingsArrived());
    const auto marked = window->needsDisplayRect();
    ASSERT_TRUE(marked.has_value());
    const gfx::Rect right = view->convertRectTo({150, 0, 50, 100}, nullptr);
    EXPECT_TRUE(marked->intersects(right));
    EXPECT_FALSE(marked->intersects(view->convertRectTo({0, 0, 50, 100}, nullptr)));

    const auto frame = render();
    const gfx::Color kRed{1, 0, 0, 1};
    for (double y = 5; y < 100; y += 10) {
        for (double x = 5; x < 200; x += 10) {
            const gfx::Color expected = x < 50 ? kRed : x >= 150 ? kBlue : gfx::Color::white();
            EXPECT_TRUE(near(at(frame, {x, y}), expected)) << x << "," << y;
        }
    }
    EXPECT_TRUE(std::ranges::equal(held->pixels(), before));
    EXPECT_NE(view->lastSnapshot(), held);
}
