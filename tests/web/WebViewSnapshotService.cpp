// What a web view shows: the rendered window carries the page's pixels where
// the view is, and the page's content size follows its layout.

#include <functional>
#include <optional>

#include "WebViewTesting.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace {

using namespace webtesting;

class WebViewSnapshotService : public testing::Test {
protected:
    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

// Close to the colour, after the page's colour management and scaling.
testing::AssertionResult near(gfx::Color color, gfx::Color expected) {
    const double d = std::abs(color.red - expected.red) + std::abs(color.green - expected.green) +
                     std::abs(color.blue - expected.blue) + std::abs(color.alpha - expected.alpha);
    if (d < 0.1) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "rgba(" << color.red << ", " << color.green << ", "
                                       << color.blue << ", " << color.alpha << ")";
}

TEST_F(WebViewSnapshotService, TheRenderedWindowShowsThePageAtTheViewsFrame) {
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->setBackgroundColor(gfx::Color::white());
    const auto view = makeView(delegate, {}, {20, 60, 200, 100});
    ASSERT_TRUE(view);
    window->addSubview(view);
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate,
                                R"html(<body style="margin:0; background:rgb(255,0,0)">
        <div style="width:50px; height:100px; background:rgb(0,0,255)"></div></body>)html",
                                server.url("/colours")));
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
    ASSERT_TRUE(view->lastSnapshot());
    EXPECT_TRUE(view->isRendered());

    const double scale = ui::DeviceProfile::current().scale;
    const auto image = ui::Renderer::render(*window, scale);
    ASSERT_TRUE(image);
    const auto at = [&](double x, double y) {
        return image->pixelAt(int(x * scale), int(y * scale));
    };
    EXPECT_TRUE(near(at(20 + 25, 60 + 50), {0, 0, 1, 1}));   // the div, at the view's left
    EXPECT_TRUE(near(at(20 + 150, 60 + 50), {1, 0, 0, 1}));  // the page's background
    EXPECT_TRUE(near(at(20 + 199, 60 + 99), {1, 0, 0, 1}));
    EXPECT_TRUE(near(at(10, 50), {1, 1, 1, 1}));  // the window around it
    EXPECT_TRUE(near(at(20 + 100, 60 + 110), {1, 1, 1, 1}));

    // A new size brings a new snapshot of that size.
    view->setFrame({20, 60, 120, 80});
    view->layoutIfNeeded();
    ASSERT_TRUE(waitFor([&] {
        const auto snapshot = view->lastSnapshot();
        return snapshot && snapshot->pixelWidth() == int(120 * scale) &&
               snapshot->pixelHeight() == int(80 * scale);
    }));

    // A blank page is not "rendered".
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, "<body></body>", server.url("/blank")));
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
    EXPECT_FALSE(view->isRendered());
}

// Tells each commit as it happens, before anything of the new document
// can have been drawn.
class CommitWatchingDelegate : public RecordingDelegate {
public:
    std::function<void(web::WebView&)> onCommit;
    void didCommitLoad(web::WebView& view) override {
        RecordingDelegate::didCommitLoad(view);
        if (onCommit) onCommit(view);
    }
};

TEST_F(WebViewSnapshotService, APictureCountsOnlyForTheDocumentItShows) {
    const auto watcher = std::make_shared<CommitWatchingDelegate>();
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    const auto view = makeView(watcher, {}, {0, 0, 200, 100});
    ASSERT_TRUE(view);
    window->addSubview(view);
    ASSERT_TRUE(loadHTMLAndWait(*view, *watcher, "<body style='background:rgb(255,0,0)'></body>",
                                server.url("/red")));
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
    ASSERT_TRUE(view->isRendered());

    // Committed, the next document has no picture yet: the red one is still
    // drawn (no flash of nothing), but it is not the page's.
    const double scale = ui::DeviceProfile::current().scale;
    const auto at = [&](const gfx::ImagePtr& image, double x, double y) {
        return image->pixelAt(int(x * scale), int(y * scale));
    };
    std::optional<bool> renderedAtCommit;
    gfx::ImagePtr shownAtCommit;
    watcher->onCommit = [&](web::WebView& committed) {
        renderedAtCommit = committed.isRendered();
        shownAtCommit = committed.lastSnapshot();
    };
    ASSERT_TRUE(loadHTMLAndWait(*view, *watcher,
                                R"html(<body style="margin:0"><div style="width:50px; height:100px;
        background:rgb(0,0,255)"></div></body>)html",
                                server.url("/blue")));
    ASSERT_TRUE(renderedAtCommit.has_value());
    EXPECT_FALSE(*renderedAtCommit);
    ASSERT_TRUE(shownAtCommit);
    EXPECT_TRUE(near(at(shownAtCommit, 100, 50), {1, 0, 0, 1}));

    // The new document's own picture counts, and shows it.
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
    EXPECT_TRUE(view->isRendered());
    const auto picture = view->lastSnapshot();
    ASSERT_TRUE(picture);
    EXPECT_TRUE(near(at(picture, 25, 50), {0, 0, 1, 1}));
    EXPECT_TRUE(near(at(picture, 150, 50), {1, 1, 1, 1}));
}

TEST_F(WebViewSnapshotService, ContentSizeFollowsThePageWithoutRepeats) {
    const auto view = makeView(delegate, {}, {0, 0, 320, 240});
    ASSERT_TRUE(view);
    ASSERT_TRUE(loadHTMLAndWait(
        *view, *delegate, "<body style='margin:0'><div id=d style='height:100px'></div></body>",
        server.url("/sized")));
    ASSERT_TRUE(waitFor([&] { return !delegate->contentSizes.empty(); }));
    EXPECT_EQ(delegate->contentSizes.back(), (gfx::Size{320, 240}));  // no smaller than the view

    (void)evaluate(*view, "document.getElementById('d').style.height = '1000px'; 0");
    ASSERT_TRUE(waitFor([&] { return view->contentSize() == (gfx::Size{320, 1000}); }));
    (void)evaluate(*view, "document.getElementById('d').style.height = '1000px'; 0");
    (void)evaluate(*view, "document.getElementById('d').style.width = '600px'; 0");
    ASSERT_TRUE(waitFor([&] { return view->contentSize() == (gfx::Size{600, 1000}); }));
    for (size_t i = 1; i < delegate->contentSizes.size(); ++i)
        EXPECT_NE(delegate->contentSizes[i], delegate->contentSizes[i - 1]);
    EXPECT_EQ(delegate->contentSizes.size(), 3u);
}

}  // namespace
