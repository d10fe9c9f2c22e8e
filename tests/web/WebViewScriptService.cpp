// Scripts in a web view: user scripts around the page's own, messages from
// the page, evaluation results and exceptions, and alerts.

#include "WebViewTesting.h"

namespace {

using web::WebView;
using namespace webtesting;

class WebViewScriptService : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(view); }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<WebView> view = makeView(delegate);
};

TEST_F(WebViewScriptService, UserScriptsRunAroundThePageForEveryLoad) {
    view->addUserScript("window.order = ['start:' + document.readyState];",
                        WebView::InjectionTime::documentStart);
    view->addUserScript("window.order.push('end');", WebView::InjectionTime::documentEnd);
    const std::string page = "<script>window.order.push('page');</script>";
    for (const char* path : {"/first", "/second"}) {
        ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, page, server.url(path)));
        EXPECT_EQ(evaluate(*view, "window.order.join()"), core::Value("start:loading,page,end"))
            << path;
    }
    view->removeAllUserScripts();
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, "<p>plain</p>", server.url("/third")));
    EXPECT_EQ(evaluate(*view, "typeof window.order"), core::Value("undefined"));
}

TEST_F(WebViewScriptService, MessagesFromThePageArriveAsValues) {
    std::vector<core::Value> received;
    view->addScriptMessageHandler("native",
                                  [&](const core::Value& body) { received.push_back(body); });
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, R"(<script>
        window.webkit.messageHandlers.native.postMessage({name: 'ready', list: [1, 'two', true]});
        window.webkit.messageHandlers.native.postMessage('plain');
        </script>)",
                                server.url("/page")));
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0]["name"], core::Value("ready"));
    EXPECT_EQ(received[0]["list"], core::Value(core::Array{1, "two", true}));
    EXPECT_EQ(received[1], core::Value("plain"));

    view->removeScriptMessageHandler("native");
    EXPECT_EQ(evaluate(*view, "typeof (window.webkit && window.webkit.messageHandlers.native)"),
              core::Value("undefined"));
}

TEST_F(WebViewScriptService, EvaluationAnswersValuesOrTheException) {
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, "<p id=p>text</p>", server.url("/page")));
    EXPECT_EQ(evaluate(*view, "1 + 2"), core::Value(3));
    EXPECT_EQ(evaluate(*view, "document.getElementById('p').textContent"), core::Value("text"));
    EXPECT_EQ(evaluate(*view, "({a: 1.5, b: [null]})"),
              core::Value(core::Dictionary{{"a", 1.5}, {"b", core::Array{core::Value()}}}));
    EXPECT_EQ(evaluate(*view, "undefined"), core::Value());

    const web::JSResult thrown =
        evaluateScript(*view, "var x = 1;\nthrow new TypeError('bad thing');");
    ASSERT_FALSE(thrown.ok());
    EXPECT_EQ(thrown.exception()->name, "TypeError");
    EXPECT_EQ(thrown.exception()->message, "bad thing");
    EXPECT_EQ(thrown.exception()->line, 2);
    const web::JSResult missing = evaluateScript(*view, "noSuchFunction()");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.exception()->name, "ReferenceError");
}

TEST_F(WebViewScriptService, AlertsWaitForTheirCompletion) {
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, "<p>page</p>", server.url("/page")));
    (void)evaluate(*view, "setTimeout(() => { alert('hello'); window.after = true; }, 0); 0");
    ASSERT_TRUE(waitFor([&] { return !delegate->alerts.empty(); }));
    EXPECT_EQ(delegate->alerts.front(), "127.0.0.1|hello");
    EXPECT_TRUE(
        waitFor([&] { return evaluate(*view, "window.after === true") == core::Value(true); }));

    // Answered later: the page waits for the answer.
    std::vector<std::function<void()>> unanswered;
    delegate->unansweredAlerts = &unanswered;
    (void)evaluate(*view, "setTimeout(() => { alert('later'); window.afterLater = true; }, 0); 0");
    ASSERT_TRUE(waitFor([&] { return unanswered.size() == 1; }));
    std::optional<web::JSResult> during;
    view->evaluateJavaScript("window.afterLater === true",
                             [&](web::JSResult result) { during = std::move(result); });
    unanswered.front()();
    ASSERT_TRUE(waitFor([&] { return during.has_value(); }));
    EXPECT_EQ(during->value(), core::Value(true));
}

}  // namespace
