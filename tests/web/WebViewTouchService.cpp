// A person's touches reach the page as its pointer: taps are real clicks
// (links navigate as user gestures), drags scroll what is under the finger
// without clicking, keys reach the focused field of a view that is first
// responder, and touches the view does not take go where they went before.

#include <algorithm>

#include "WebViewTesting.h"
#include "core/PendingWork.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

namespace {

using namespace webtesting;

// The page logs its pointer events ("mousedown@x,y#id") and posts drawn(name)
// to the "page" handler once what it shows now has left the web process.
constexpr const char* kPage = R"html(<body style='margin:0'><script>
var log = [];
['mousedown', 'mouseup', 'click'].forEach(type => addEventListener(type, event => {
  log.push(type + '@' + event.clientX + ',' + event.clientY +
           (event.target.id ? '#' + event.target.id : ''));
}, true));
var keys = [];
addEventListener('keydown', event => keys.push(event.key), true);
function drawn(name) {
  requestAnimationFrame(() => requestAnimationFrame(
      () => window.webkit.messageHandlers.page.postMessage(name)));
}</script>
<a id=link href='/target' style='position:absolute; left:10px; top:10px; width:100px;
   height:40px; background:red'>link</a>
<button id=button onclick="document.body.style.background = 'rgb(0,0,255)'; drawn('clicked')"
   style='position:absolute; left:150px; top:10px; width:80px; height:40px'>go</button>
<div id=box style='position:absolute; left:10px; top:80px; width:200px; height:100px;
   overflow:auto'><div style='height:1000px'></div></div>
<input id=field style='position:absolute; left:10px; top:200px; width:150px'>
</body>)html";

// Records the touches that reach it.
class TouchRecorder : public ui::View {
public:
    using ui::View::View;
    int began = 0;
    void touchesBegan(const ui::TouchSet&, const ui::Event&) override { ++began; }
};

class WebViewTouchService : public testing::TestWithParam<web::WebViewConfiguration::Kind> {
protected:
    void SetUp() override {
        serveHTML(server, "/target", "<p>target</p>");
        window->setBackgroundColor(gfx::Color::white());
        window->addSubview(behind);
        view = makeView(delegate, configurationOf(GetParam()), {20, 60, 280, 260});
        ASSERT_TRUE(view);
        window->addSubview(view);
        view->addScriptMessageHandler(
            "page", [this](const core::Value& body) { messages.push_back(body.stringValue()); });
        ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, kPage, server.url("/page")));
    }

    // A point of the page (CSS pixels) in the window.
    gfx::Point onPage(double x, double y) const { return view->convertPointTo({x, y}, nullptr); }

    // The page's log once it holds an entry starting with `last`.
    std::vector<std::string> logUntil(const std::string& last) {
        std::vector<std::string> entries;
        (void)waitFor([&] {
            entries.clear();
            const core::Value log = evaluate(*view, "log");
            for (size_t i = 0; i < log.size(); ++i) entries.push_back(log[i].stringValue());
            return std::any_of(entries.begin(), entries.end(),
                               [&](const auto& entry) { return entry.rfind(last, 0) == 0; });
        });
        return entries;
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<TouchRecorder> behind =
        std::make_shared<TouchRecorder>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<web::WebView> view;
    ui::TouchInjector touches{*window};
    std::vector<std::string> messages;
};

TEST_P(WebViewTouchService, ATapOnALinkNavigatesAsAUserGestureLinkClick) {
    touches.tap(onPage(60, 30));
    ASSERT_TRUE(waitFor([&] { return !delegate->navigationsTo("/target").empty(); }));
    const web::NavigationAction action = delegate->navigationsTo("/target").front();
    EXPECT_EQ(action.type, web::NavigationType::linkClicked);
    EXPECT_TRUE(action.userGesture);
    EXPECT_EQ(action.targetsMainFrame, true);
    ASSERT_TRUE(waitFor([&] { return view->url() && view->url()->path() == "/target"; }));
    ASSERT_TRUE(waitFor([&] { return !view->isLoading(); }));
    EXPECT_EQ(delegate->events.back(), "finish");
}

TEST_P(WebViewTouchService, ATapIsAClickAtItsPointAndTheNextFrameShowsWhatItChanged) {
    touches.tap(onPage(190, 30));
    ASSERT_TRUE(waitFor([&] {
        return std::find(messages.begin(), messages.end(), "clicked") != messages.end();
    }));
    EXPECT_EQ(logUntil("click"), (std::vector<std::string>{"mousedown@190,30#button",
                                                            "mouseup@190,30#button",
                                                            "click@190,30#button"}));
    EXPECT_TRUE(view->isFirstResponder());
    EXPECT_EQ(behind->began, 0);

    ASSERT_TRUE(waitFor([] { return !core::PendingWork::any(); }));
    const double scale = ui::DeviceProfile::current().scale;
    const auto frame = ui::Renderer::render(*window, scale);
    const gfx::Point corner = onPage(5, 5);
    const gfx::Color shown = frame->pixelAt(int(corner.x * scale), int(corner.y * scale));
    EXPECT_NEAR(shown.blue, 1, 0.05);
    EXPECT_NEAR(shown.red, 0, 0.05);
}

TEST_P(WebViewTouchService, ADragScrollsWhatIsUnderTheFingerWithoutAClick) {
    // The finger goes up 60 points over the scrollable box.
    touches.drag(onPage(110, 160), onPage(110, 100));
    const auto scrolled = [&] { return evaluate(*view, "box.scrollTop").doubleValue(); };
    ASSERT_TRUE(waitFor([&] { return scrolled() >= 57; })) << scrolled();
    EXPECT_LE(scrolled(), 63);
    EXPECT_EQ(evaluate(*view, "scrollY").doubleValue(), 0);
    const auto log = logUntil("mouseup");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "mousedown@110,160");
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const auto& entry) { return entry.rfind("click", 0) == 0; }),
              0);

    // A touch cancelled on a link makes no click either.
    const auto touch = window->touchDown(onPage(60, 30));
    window->touchCancel(touch);
    const auto cancelled = logUntil("mouseup@60,30");
    ASSERT_GE(cancelled.size(), log.size());
    EXPECT_EQ(std::vector<std::string>(cancelled.begin() + std::ptrdiff_t(log.size()),
                                       cancelled.end()),
              (std::vector<std::string>{"mousedown@60,30#link", "mouseup@60,30#link"}));
    EXPECT_TRUE(delegate->navigationsTo("/target").empty());
    // The next tap is a click again.
    touches.tap(onPage(190, 30));
    const auto clicked = logUntil("click");
    ASSERT_FALSE(clicked.empty());
    EXPECT_EQ(clicked.back(), "click@190,30#button");
}

TEST_P(WebViewTouchService, KeysGoToTheFieldOfTheViewThatIsFirstResponder) {
    touches.tap(onPage(60, 210));
    ASSERT_TRUE(view->isFirstResponder());
    ASSERT_EQ(window->firstResponder(), view.get());
    ASSERT_TRUE(waitFor([&] { return evaluate(*view, "document.activeElement.id") == "field"; }));
    window->firstResponder()->insertText("ab");
    window->firstResponder()->deleteBackward();
    window->firstResponder()->insertText("c");
    window->firstResponder()->returnKeyPressed();
    ASSERT_TRUE(waitFor([&] { return evaluate(*view, "keys.length").intValue() == 5; }));
    EXPECT_EQ(evaluate(*view, "field.value"), "ac");
    EXPECT_EQ(evaluate(*view, "keys.join()"), "a,b,Backspace,c,Enter");

    EXPECT_TRUE(view->resignFirstResponder());
    EXPECT_EQ(window->firstResponder(), nullptr);
}

TEST_P(WebViewTouchService, TouchesTheViewDoesNotTakePassAsBefore) {
    view->setUserInteractionEnabled(false);
    touches.tap(onPage(190, 30));
    EXPECT_EQ(behind->began, 1);
    view->setUserInteractionEnabled(true);
    view->setHidden(true);
    touches.tap(onPage(190, 30));
    EXPECT_EQ(behind->began, 2);
    EXPECT_FALSE(view->isFirstResponder());

    // The page saw none of them: the first click it logs is the next tap's.
    view->setHidden(false);
    touches.tap(onPage(190, 30));
    const auto clicked = logUntil("click");
    ASSERT_FALSE(clicked.empty());
    EXPECT_EQ(clicked.front(), "mousedown@190,30#button");
    EXPECT_EQ(behind->began, 2);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewTouchService, testing::ValuesIn(kKinds), kindName);

}  // namespace
