// Schemes the app serves: an image and a fetch() from an http page, with
// the status, header fields and body the handler gives.

#include "WebViewTesting.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;

class WebViewSchemeService : public testing::TestWithParam<WebViewConfiguration::Kind> {
protected:
    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view = makeView(delegate, configurationOf(GetParam()));
};

TEST_P(WebViewSchemeService, ServesAnImageAndAFetch) {
    ASSERT_TRUE(view);
    std::vector<std::string> asked;
    view->setURLSchemeHandler("app-res", [&](std::shared_ptr<web::URLSchemeTask> task) {
        const std::string url = task->request().url().absoluteString();
        asked.push_back(task->request().method() + " " + url);
        if (url == "app-res://img/dot.png") {
            task->respond(200, {{"Content-Type", "image/png"}}, pngBytes(9, 4, {0, 1, 0, 1}));
        } else if (url == "app-res://data/info.json") {
            task->respond(201,
                          {{"Content-Type", "application/json"},
                           {"Access-Control-Allow-Origin", "*"},
                           {"Access-Control-Expose-Headers", "X-Served-By"},
                           {"X-Served-By", "app"}},
                          std::string_view(R"({"answer": 42})"));
        } else {
            task->fail("nothing here");
        }
    });
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, R"(<img id=dot src="app-res://img/dot.png">
        <script>
        fetch('app-res://data/info.json').then(async r => {
            window.fetched = {status: r.status, served: r.headers.get('X-Served-By'), body: await r.json()};
        });
        fetch('app-res://missing').catch(e => window.missing = 'failed');
        </script>)",
                                server.url("/page")));
    EXPECT_EQ(evaluate(*view, "document.getElementById('dot').naturalWidth"), core::Value(9));
    ASSERT_TRUE(waitFor([&] {
        return evaluate(*view, "!!window.fetched && !!window.missing") == core::Value(true);
    }));
    EXPECT_EQ(evaluate(*view, "window.fetched"),
              core::Value(core::Dictionary{
                  {"status", 201}, {"served", "app"}, {"body", core::Dictionary{{"answer", 42}}}}));
    EXPECT_EQ(evaluate(*view, "window.missing"), core::Value("failed"));
    EXPECT_NE(std::find(asked.begin(), asked.end(), "GET app-res://img/dot.png"), asked.end());
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewSchemeService, testing::ValuesIn(kKinds), kindName);

}  // namespace
