// What the "WK" kind adds: the JavaScript preference, the response decision
// that may cancel a load, and provisional failures told from committed ones.

#include "WebViewTesting.h"

namespace {

using namespace webtesting;

class WebViewWKService : public testing::Test {
protected:
    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(WebViewWKService, WithoutJavaScriptThePageRunsNoScript) {
    web::WebViewConfiguration configuration;
    configuration.javaScriptEnabled = false;
    const auto view = makeView(delegate, configuration);
    ASSERT_TRUE(view);
    serveHTML(server, "/page", "<script>new Image().src = '/ran';</script><img src='/after'>");
    serveHTML(server, "/after", "");
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/page")));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(server.requestsTo("/after").size(), 1u);  // loaded after where the script was
    EXPECT_TRUE(server.requestsTo("/ran").empty());
}

TEST_F(WebViewWKService, ARefusedResponseFailsTheLoadAndKeepsItsStatus) {
    const auto view = makeView(delegate);
    ASSERT_TRUE(view);
    serveHTML(server, "/first", "<p>first</p>");
    server.on("GET", "/ping", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("<p>ping body</p>", 202, "text/html");
    });
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/first")));
    std::vector<int> offered;
    delegate->acceptResponse = [&](const core::HTTPURLResponse& response, bool mainFrame) {
        offered.push_back(response.statusCode());
        return !mainFrame;
    };
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/ping")));
    EXPECT_EQ(offered, std::vector<int>{202});
    ASSERT_FALSE(delegate->errors.empty());
    EXPECT_EQ(delegate->errors.back().code, web::LoadError::kInterruptedByPolicy);
    EXPECT_TRUE(delegate->errors.back().provisional);
    EXPECT_EQ(view->mainFrameStatusCode(), 202);
    EXPECT_EQ(evaluate(*view, "document.body.textContent"), core::Value("first"));
}

TEST_F(WebViewWKService, ProvisionalAndCommittedFailuresAreToldApart) {
    const auto view = makeView(delegate);
    ASSERT_TRUE(view);
    std::string refused;
    {
        fixtures::LoopbackServer gone;
        refused = gone.url("/").absoluteString();
    }
    ASSERT_TRUE(loadAndWait(*view, *delegate, core::URL::create(refused).value()));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_TRUE(delegate->errors.back().provisional);

    server.on("GET", "/late.png", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::bytes(pngBytes(2, 2, {0, 0, 0, 1}), "image/png")
            .after(5000);
    });
    serveHTML(server, "/page", "<img src='/late.png'>");
    view->loadRequest(core::URLRequest(server.url("/page")));
    // The image's request can reach the server before the commit reaches us.
    ASSERT_TRUE(waitFor([&] {
        return !server.requestsTo("/late.png").empty() && delegate->count("commit") == 1;
    }));
    ASSERT_EQ(delegate->events.back(), "commit");
    view->stopLoading();
    ASSERT_EQ(delegate->errors.size(), 2u);
    EXPECT_EQ(delegate->errors.back().code, web::LoadError::kCancelled);
    EXPECT_FALSE(delegate->errors.back().provisional);
}

}  // namespace
