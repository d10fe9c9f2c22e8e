// History of both kinds of web view: steps and reloads are loads of their
// own that add no entries, a new load after going back drops the entries
// forward of it, and the page's own history object steps through the same
// history.

#include "WebViewTesting.h"

namespace {

using web::NavigationType;
using web::WebViewConfiguration;
using namespace webtesting;

class WebViewHistoryService : public testing::TestWithParam<WebViewConfiguration::Kind> {
protected:
    void SetUp() override {
        for (const char* name : {"a", "b", "c"})
            serveHTML(server, std::string("/") + name,
                      std::string("<a id=next href='/next'>") + name + "</a>");
        serveHTML(server, "/next", "<p>next</p>");
        ASSERT_TRUE(view);
    }
    // Runs step and waits for the load it starts to end: true when the view
    // then shows path.
    [[nodiscard]] bool loads(const std::function<void()>& step, const std::string& path) {
        const auto ended = [&] { return delegate->count("finish") + delegate->count("fail"); };
        const size_t before = ended();
        step();
        if (!waitFor([&] { return ended() > before; })) return false;
        const auto url = view->url();
        return url && url->path() == path;
    }
    [[nodiscard]] bool click() {
        return evaluate(*view, "document.getElementById('next').click(); true").boolValue();
    }
    [[nodiscard]] std::string text() {
        return evaluate(*view, "document.body.textContent").stringValue();
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view = makeView(delegate, configurationOf(GetParam()));
};

TEST_P(WebViewHistoryService, HistoryStepsAndReloadsAreLoadsOfTheirOwn) {
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/a")));
    EXPECT_FALSE(view->canGoBack());
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/b")));
    EXPECT_TRUE(view->canGoBack());
    EXPECT_FALSE(view->canGoForward());

    delegate->navigations.clear();
    view->goBack();
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") == 3; }));
    EXPECT_EQ(view->url(), server.url("/a"));
    EXPECT_EQ(text(), "a");
    ASSERT_EQ(delegate->navigations.size(), 1u);
    EXPECT_EQ(delegate->navigations.front().type, NavigationType::backForward);
    EXPECT_FALSE(view->canGoBack());
    EXPECT_TRUE(view->canGoForward());

    view->reload();
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") == 4; }));
    EXPECT_EQ(delegate->navigations.back().type, NavigationType::reload);
    EXPECT_FALSE(view->canGoBack()) << "a reload adds no entry";
    EXPECT_TRUE(view->canGoForward());

    view->goForward();
    ASSERT_TRUE(waitFor([&] { return delegate->count("finish") == 5; }));
    EXPECT_EQ(view->url(), server.url("/b"));
    EXPECT_EQ(text(), "b");
    EXPECT_EQ(delegate->navigations.back().type, NavigationType::backForward);
    EXPECT_TRUE(view->canGoBack());
    EXPECT_FALSE(view->canGoForward());
    EXPECT_EQ(evaluate(*view, "history.length"), core::Value(2));
    EXPECT_EQ(delegate->count("fail"), 0u);
}

TEST_P(WebViewHistoryService, ANewLoadAfterGoingBackDropsTheEntriesForwardOfIt) {
    for (const char* path : {"/a", "/b", "/c"})
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url(path)));
    ASSERT_TRUE(loads([&] { view->goBack(); }, "/b"));
    ASSERT_TRUE(loads([&] { view->goBack(); }, "/a"));
    EXPECT_EQ(evaluate(*view, "history.length"), core::Value(3));
    ASSERT_TRUE(loads([&] { ASSERT_TRUE(click()); }, "/next"));
    EXPECT_TRUE(view->canGoBack());
    EXPECT_FALSE(view->canGoForward());
    EXPECT_EQ(evaluate(*view, "history.length"), core::Value(2));

    ASSERT_TRUE(loads([&] { view->goBack(); }, "/a"));
    EXPECT_FALSE(view->canGoBack());
    ASSERT_TRUE(loads([&] { view->goForward(); }, "/next"));
    EXPECT_EQ(text(), "next");
    EXPECT_FALSE(view->canGoForward());
}

TEST_P(WebViewHistoryService, ALoadOfTheCurrentPageAddsNoEntry) {
    for (const char* path : {"/a", "/b", "/b"})
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url(path)));
    EXPECT_EQ(evaluate(*view, "history.length"), core::Value(2));
    ASSERT_TRUE(loads([&] { view->goBack(); }, "/a"));
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/a")));
    EXPECT_FALSE(view->canGoBack());
    EXPECT_TRUE(view->canGoForward());
    EXPECT_EQ(evaluate(*view, "history.length"), core::Value(2));
}

TEST_P(WebViewHistoryService, ThePagesOwnHistoryStepsThroughTheViewsHistory) {
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/a")));
    ASSERT_TRUE(loads([&] { ASSERT_TRUE(click()); }, "/next"));
    EXPECT_EQ(evaluate(*view, "history.length"), core::Value(2));

    delegate->navigations.clear();
    ASSERT_TRUE(
        loads([&] { ASSERT_TRUE(evaluate(*view, "history.back(); true").boolValue()); }, "/a"));
    EXPECT_EQ(text(), "a");
    ASSERT_EQ(delegate->navigations.size(), 1u);
    EXPECT_EQ(delegate->navigations.front().type, NavigationType::backForward);
    EXPECT_TRUE(view->canGoForward());

    ASSERT_TRUE(
        loads([&] { ASSERT_TRUE(evaluate(*view, "history.go(1); true").boolValue()); }, "/next"));
    EXPECT_EQ(text(), "next");
    EXPECT_TRUE(view->canGoBack());
    EXPECT_FALSE(view->canGoForward());
    EXPECT_EQ(delegate->count("fail"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewHistoryService, testing::ValuesIn(kKinds), kindName);

}  // namespace
