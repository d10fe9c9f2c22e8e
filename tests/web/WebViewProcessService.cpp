// Web processes: related views share one; a web process that dies fails the
// load under way, and the next load starts a new one.

#include <signal.h>
#include <unistd.h>

#include "WebViewTesting.h"
#include "support/ProcessTree.h"
#include "web/JSContext.h"

namespace {

using namespace webtesting;

using testsupport::webProcesses;

class WebViewProcessService : public testing::Test {
protected:
    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(WebViewProcessService, RelatedViewsShareOneWebProcess) {
    serveHTML(server, "/page", "<p>page</p>");
    const auto first = makeView(delegate);
    ASSERT_TRUE(first);
    ASSERT_TRUE(loadAndWait(*first, *delegate, server.url("/page")));
    const size_t alone = webProcesses().size();

    web::WebViewConfiguration related;
    related.relatedView = first;
    const auto second = makeView(delegate, related);
    ASSERT_TRUE(second);
    ASSERT_TRUE(loadAndWait(*second, *delegate, server.url("/page")));
    EXPECT_EQ(webProcesses().size(), alone);

    const auto unrelated = makeView(delegate);
    ASSERT_TRUE(unrelated);
    ASSERT_TRUE(loadAndWait(*unrelated, *delegate, server.url("/page")));
    EXPECT_EQ(webProcesses().size(), alone + 1);
    EXPECT_EQ(delegate->count("finish"), 3u);
}

TEST_F(WebViewProcessService, ADeadWebProcessFailsTheLoadAndTheNextLoadStartsAnother) {
    serveHTML(server, "/page", "<p>page</p>");
    serveHTML(server, "/slow", "<p>slow</p>", 5000);
    const auto view = makeView(delegate);
    ASSERT_TRUE(view);
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    const auto before = webProcesses();
    ASSERT_EQ(before.size(), 1u);

    delegate->events.clear();
    view->loadRequest(core::URLRequest(server.url("/slow")));
    ASSERT_TRUE(waitFor([&] { return !server.requestsTo("/slow").empty(); }));
    kill(before.front(), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return delegate->count("fail") == 1; }));
    EXPECT_EQ(delegate->events.back(), "fail " +
                                           std::to_string(web::LoadError::kWebProcessTerminated) +
                                           " " + server.url("/slow").absoluteString());
    EXPECT_FALSE(view->isLoading());

    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(evaluate(*view, "document.body.textContent"), core::Value("page"));
    const auto after = webProcesses();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after.front(), before.front());
}

TEST_F(WebViewProcessService, AScriptContextMadeFirstOnTheMainThreadLeavesViewsWorking) {
    // The script engine shared with the browser engine, set up on the main
    // thread before any web view.
    const auto context = web::JSContext::create();
    ASSERT_TRUE(context);
    EXPECT_EQ(context->evaluate("6 * 7").value(), core::Value(42));
    serveHTML(server, "/page", "<p>page</p>");
    const auto view = makeView(delegate);
    ASSERT_TRUE(view);
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    EXPECT_EQ(delegate->events.back(), "finish");
}

}  // namespace
