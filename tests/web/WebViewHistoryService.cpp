// History of both kinds of web view: steps and reloads are loads of their
// own that add no entries, a new load after going back drops the entries
// forward of it, the page's own history object steps through the same
// history, navigations within a page are entries whose steps load nothing
// (and take nothing from later steps to their addresses),
// and a form's POST is sent whole and again by a step to its result.

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
    [[nodiscard]] bool click(const std::string& id = "next") {
        return evaluate(*view, "document.getElementById('" + id + "').click(); true").boolValue();
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

// A step to an entry the page made itself loads nothing, and a later step
// to the same address from another document still loads it.
TEST_P(WebViewHistoryService, AStepWithinThePageLeavesLaterStepsToItsAddressAlone) {
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/a")));
    (void)evaluate(*view, "history.pushState({}, '', '/a/more'); 0");
    ASSERT_TRUE(waitFor([&] { return view->canGoBack(); }));
    view->goBack();
    ASSERT_TRUE(waitFor([&] { return view->canGoForward() && view->url() == server.url("/a"); }));
    ASSERT_TRUE(loads([&] { ASSERT_TRUE(click()); }, "/next"));
    ASSERT_TRUE(loads([&] { view->goBack(); }, "/a"));
    EXPECT_EQ(text(), "a");
    EXPECT_TRUE(view->canGoForward());
    ASSERT_TRUE(loads([&] { view->goForward(); }, "/next"));
    EXPECT_EQ(delegate->count("fail"), 0u);
}

// A page that logs the history events it hears.
constexpr const char* kSinglePage = R"(<a id=frag href='#y'>y</a>
<div style='height:3000px'></div><p id=x>x</p>
<script>
window.heard = [];
addEventListener('popstate', e => heard.push('popstate ' + JSON.stringify(e.state)));
addEventListener('hashchange', e => heard.push('hashchange ' + new URL(e.newURL).hash));
</script>)";

TEST_P(WebViewHistoryService, NavigationsWithinThePageAreEntriesThatStepsDoNotLoad) {
    serveHTML(server, "/spa", kSinglePage);
    serveHTML(server, "/spa/two", kSinglePage);
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/spa")));
    const auto at = [&](const std::string& path, int length) {
        return waitFor([&] {
            const auto url = view->url();
            return url && url->absoluteString() == server.url(path).absoluteString() &&
                   view->canGoBack() && evaluate(*view, "history.length") == core::Value(length);
        });
    };
    (void)evaluate(*view, "location.hash = 'x'; 0");
    ASSERT_TRUE(at("/spa#x", 2));
    ASSERT_TRUE(click("frag"));
    ASSERT_TRUE(at("/spa#y", 3));
    EXPECT_FALSE(view->isLoading()) << "a fragment of the page is no load";
    const size_t changes = delegate->historyChanges;
    (void)evaluate(*view, "history.pushState({n: 1}, '', '/spa/one'); 0");
    ASSERT_TRUE(at("/spa/one", 4));
    EXPECT_GT(delegate->historyChanges, changes);
    EXPECT_EQ(evaluate(*view, "history.state"), core::Value(core::Dictionary{{"n", 1}}));
    (void)evaluate(*view, "history.replaceState({n: 2}, '', '/spa/two'); 0");
    ASSERT_TRUE(at("/spa/two", 4));
    EXPECT_FALSE(view->canGoForward());

    // Each step puts the entry's URL and state back and tells the page.
    const auto steps = [&](const std::function<void()>& step, const std::string& path,
                           const core::Array& events) {
        (void)evaluate(*view, "heard = []; 0");
        step();
        return waitFor([&] {
            const auto url = view->url();
            return url && url->absoluteString() == server.url(path).absoluteString() &&
                   evaluate(*view, "heard") == core::Value(events);
        });
    };
    EXPECT_TRUE(steps([&] { view->goBack(); }, "/spa#y", {"popstate null"}));
    EXPECT_TRUE(steps([&] { view->goBack(); }, "/spa#x", {"popstate null", "hashchange #x"}));
    EXPECT_TRUE(view->canGoBack());
    EXPECT_TRUE(steps([&] { view->goForward(); }, "/spa#y", {"popstate null", "hashchange #y"}));
    EXPECT_TRUE(steps([&] { view->goForward(); }, "/spa/two", {"popstate {\"n\":2}"}));
    EXPECT_FALSE(view->canGoForward());
    EXPECT_EQ(evaluate(*view, "history.state"), core::Value(core::Dictionary{{"n", 2}}));
    EXPECT_TRUE(
        steps([&] { (void)evaluate(*view, "history.back(); 0"); }, "/spa#y", {"popstate null"}));
    EXPECT_TRUE(view->canGoForward());
    EXPECT_EQ(evaluate(*view, "history.length"), core::Value(4));
    EXPECT_EQ(server.requestsTo("/spa").size(), 1u);
    EXPECT_TRUE(server.requestsTo("/spa/one").empty());
    EXPECT_TRUE(server.requestsTo("/spa/two").empty());
    EXPECT_EQ(delegate->count("start"), 1u);

    // Back from another document returns to the fragment, and the steps
    // from there stay within the document.
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/next")));
    EXPECT_FALSE(view->canGoForward());
    ASSERT_TRUE(loads([&] { view->goBack(); }, "/spa"));
    EXPECT_EQ(view->url(), server.url("/spa#y"));
    const size_t fetched = server.requests().size();
    EXPECT_TRUE(steps([&] { view->goBack(); }, "/spa#x", {"popstate null", "hashchange #x"}));
    EXPECT_EQ(server.requests().size(), fetched);
    EXPECT_EQ(delegate->count("fail"), 0u);
}

TEST_P(WebViewHistoryService, AFormsPostIsSentWholeAndAgainByAStepToItsResult) {
    serveHTML(server, "/form", R"(
        <form id=plain method=post action='/post'><input name=q value='hello there'></form>
        <form id=multi method=post action='/post' enctype='multipart/form-data'>
          <input name=t value=v><input type=file id=file name=up></form>)");
    // The result says what the server got.
    server.on("POST", "/post", [](const fixtures::LoopbackRequest& request) {
        std::string got = request.body + " " + request.header("Content-Type").value_or("none");
        if (!request.parts.empty()) {
            got = "parts";
            for (const auto& part : request.parts)
                got += " " + part.name + "=" + part.filename + ":" + part.contentType + ":" +
                       part.content;
        }
        return fixtures::LoopbackResponse::text("<p>" + got + "</p>", 200, "text/html");
    });
    const std::string plain = "q=hello+there application/x-www-form-urlencoded";
    const std::string multipart = "parts t=::v up=a.txt:text/plain:file content";
    // The result a step shows.
    const auto shown = [&](const std::function<void()>& step) {
        return loads(step, "/post") ? text() : "not at /post";
    };
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/form")));
    EXPECT_EQ(shown([&] { (void)evaluate(*view, "document.getElementById('plain').submit(); 0"); }),
              plain);
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/form")));
    EXPECT_EQ(shown([&] {
                  (void)evaluate(*view, R"(const files = new DataTransfer();
                      files.items.add(new File(['file content'], 'a.txt', {type: 'text/plain'}));
                      document.getElementById('file').files = files.files;
                      document.getElementById('multi').submit(); 0)");
              }),
              multipart);
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/next")));

    // Steps back to each result: the "WK" kind may show a page it kept,
    // else either kind sends the whole POST again.
    delegate->navigations.clear();
    EXPECT_EQ(shown([&] { view->goBack(); }), multipart);
    ASSERT_TRUE(loads([&] { view->goBack(); }, "/form"));
    EXPECT_EQ(shown([&] { view->goBack(); }), plain);
    EXPECT_TRUE(view->canGoForward());
    for (const auto& request : server.requestsTo("/post")) EXPECT_EQ(request.method, "POST");
    // Each step onto a result is told as one, of a POST.
    ASSERT_EQ(delegate->navigations.size(), 3u);
    for (const size_t step : {size_t(0), size_t(2)}) {
        EXPECT_EQ(delegate->navigations[step].type, NavigationType::backForward);
        EXPECT_EQ(delegate->navigations[step].request.method(), "POST");
    }
    EXPECT_EQ(delegate->count("fail"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewHistoryService, testing::ValuesIn(kKinds), kindName);

}  // namespace
