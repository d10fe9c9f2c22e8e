// What a page sends with a body, in both kinds of web view: a fetch of a
// Blob, a form of fields and a file, a beacon and a text, reach the server
// whole, and a Blob posted to a scheme the app serves arrives without harm.
// (Asked for a body that holds a blob, the engine crashes the app's
// process.)

#include "WebViewTesting.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;

class WebViewBodyService : public testing::TestWithParam<WebViewConfiguration::Kind> {
protected:
    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view = makeView(delegate, configurationOf(GetParam()));
};

TEST_P(WebViewBodyService, BodiesOfEveryKindArriveWhole) {
    ASSERT_TRUE(view);
    serveHTML(server, "/page", "<p>page</p>");
    // The answer says what arrived; a file's part as name=file:type:content.
    server.on("POST", "/sink", [](const fixtures::LoopbackRequest& request) {
        std::string got = request.body;
        for (const auto& part : request.parts)
            got += (got.empty() ? "" : " ") + part.name + "=" + part.filename + ":" +
                   part.contentType + ":" + part.content;
        return fixtures::LoopbackResponse::text(got);
    });
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    (void)evaluate(*view, R"(
        const form = new FormData();
        form.append('t', 'v');
        form.append('up', new File(['file content'], 'a.txt', {type: 'text/plain'}));
        window.got = {};
        const post = (name, body) => fetch('/sink', {method: 'POST', body})
            .then(r => r.text()).then(t => window.got[name] = t, e => window.got[name] = 'failed');
        post('blob', new Blob(['blob bytes']));
        post('form', form);
        post('text', 'plain text');
        window.beacon = navigator.sendBeacon('/sink', new Blob(['beacon bytes']));
        0)");
    ASSERT_TRUE(waitFor(
        [&] { return evaluate(*view, "Object.keys(window.got).length") == core::Value(3); }));
    EXPECT_EQ(evaluate(*view, "window.got"),
              core::Value(core::Dictionary{{"blob", "blob bytes"},
                                           {"form", "t=::v up=a.txt:text/plain:file content"},
                                           {"text", "plain text"}}));
    EXPECT_EQ(evaluate(*view, "window.beacon"), core::Value(true));
    ASSERT_TRUE(waitFor([&] { return server.requestsTo("/sink").size() == 4; }));
    EXPECT_TRUE(view->isLoading() == false);
}

TEST_P(WebViewBodyService, ABlobPostedToTheAppsSchemeArrivesWithoutItsBody) {
    ASSERT_TRUE(view);
    std::vector<std::string> asked;
    view->setURLSchemeHandler("app-res", [&](std::shared_ptr<web::URLSchemeTask> task) {
        asked.push_back(task->request().method() + " " +
                        std::to_string(task->request().body().size()));
        task->respond(200, {{"Access-Control-Allow-Origin", "*"}}, std::string_view("ok"));
    });
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, R"(<script>
        fetch('app-res://sink', {method: 'POST', body: new Blob(['x'])})
            .then(r => r.text()).then(t => window.done = t, e => window.done = 'failed');
        </script>)",
                                server.url("/page")));
    ASSERT_TRUE(waitFor([&] { return evaluate(*view, "!!window.done") == core::Value(true); }));
    EXPECT_EQ(evaluate(*view, "window.done"), core::Value("ok"));
    EXPECT_EQ(asked, std::vector<std::string>{"POST 0"});
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewBodyService, testing::ValuesIn(kKinds), kindName);

}  // namespace
