// A "UI"-kind page's loads go through the app's URL layer, and still keep
// the engine's same-origin rules: script of a page reads another origin's
// answer (by XMLHttpRequest, synchronous or not, or by fetch, redirects
// included) only when that origin allows it with its CORS headers, while
// the page's own origin, and the images and scripts it embeds from others,
// load as before.

#include "WebViewTesting.h"

namespace {

using namespace webtesting;

// The script reads url and leaves "ok <status> <text>" or "blocked" in
// window.result.
std::string syncXHR(const std::string& url) {
    return "try { const x = new XMLHttpRequest(); x.open('GET', '" + url +
           "', false); x.send(); window.result = 'ok ' + x.status + ' ' + x.responseText; }"
           " catch (e) { window.result = 'blocked'; }";
}

std::string asyncXHR(const std::string& url) {
    return "{ const x = new XMLHttpRequest(); x.open('GET', '" + url +
           "'); x.onload = () => window.result = 'ok ' + x.status + ' ' + x.responseText;"
           " x.onerror = () => window.result = 'blocked'; x.send(); }";
}

std::string fetchOf(const std::string& url) {
    return "fetch('" + url +
           "').then(r => r.text().then(t => window.result = 'ok ' + r.status + ' ' + t))"
           ".catch(() => window.result = 'blocked');";
}

class WebViewOriginService : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(view);
        serveHTML(page, "/page.html", "<p>page</p>");
        for (fixtures::LoopbackServer* server : {&page, &other}) {
            server->on("GET", "/secret.txt", [](const fixtures::LoopbackRequest&) {
                return fixtures::LoopbackResponse::text("secret", 200, "text/plain");
            });
        }
        other.on("GET", "/shared.txt", [this](const fixtures::LoopbackRequest&) {
            auto response = fixtures::LoopbackResponse::text("shared", 200, "text/plain");
            response.headers.set("Access-Control-Allow-Origin", pageOrigin());
            return response;
        });
        other.on("GET", "/public.txt", [](const fixtures::LoopbackRequest&) {
            auto response = fixtures::LoopbackResponse::text("public", 200, "text/plain");
            response.headers.set("Access-Control-Allow-Origin", "*");
            return response;
        });
        // A hop of the page's own origin on to the other one.
        page.on("GET", "/to-secret", [this](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::redirect(other.url("/secret.txt").absoluteString());
        });
        page.on("GET", "/to-public", [this](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::redirect(other.url("/public.txt").absoluteString());
        });
        page.on("GET", "/to-own", [this](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::redirect(page.url("/secret.txt").absoluteString());
        });
        // A hop of the other origin back to the page's: the engine taints
        // the request, so the page's own answer needs CORS headers too.
        other.on("GET", "/back-home", [this](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::redirect(page.url("/secret.txt").absoluteString());
        });
        ASSERT_TRUE(loadAndWait(*view, *delegate, page.url("/page.html")));
        ASSERT_EQ(delegate->events.back(), "finish");
    }

    [[nodiscard]] std::string pageOrigin() const {
        std::string url = page.url("/").absoluteString();
        return url.substr(0, url.size() - 1);
    }

    // Runs the script and waits for its result.
    std::string run(const std::string& script) {
        (void)evaluate(*view, "window.result = undefined; " + script + "; true");
        std::string result;
        const bool settled = waitFor([&] {
            const core::Value value = evaluate(*view, "window.result || ''");
            result = value.stringValue();
            return !result.empty();
        });
        return settled ? result : "no result";
    }

    fixtures::LoopbackServer page;
    fixtures::LoopbackServer other;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view =
        makeView(delegate, configurationOf(web::WebViewConfiguration::Kind::UI));
};

TEST_F(WebViewOriginService, AnotherOriginsAnswerWithoutCORSHeadersIsNotRead) {
    const std::string secret = other.url("/secret.txt").absoluteString();
    EXPECT_EQ(run(syncXHR(secret)), "blocked");
    EXPECT_EQ(run(asyncXHR(secret)), "blocked");
    EXPECT_EQ(run(fetchOf(secret)), "blocked");
}

TEST_F(WebViewOriginService, AnotherOriginsAnswerIsReadWhenItAllowsThePage) {
    for (const char* path : {"/shared.txt", "/public.txt"}) {
        const std::string url = other.url(path).absoluteString();
        const std::string text = std::string(path).substr(1, std::string(path).find('.') - 1);
        EXPECT_EQ(run(syncXHR(url)), "ok 200 " + text) << path;
        EXPECT_EQ(run(asyncXHR(url)), "ok 200 " + text) << path;
        EXPECT_EQ(run(fetchOf(url)), "ok 200 " + text) << path;
    }
}

TEST_F(WebViewOriginService, ThePagesOwnOriginIsReadAsBefore) {
    for (const std::string& url : {std::string("/secret.txt"), page.url("/secret.txt").absoluteString(),
                                  std::string("/to-own")}) {
        EXPECT_EQ(run(syncXHR(url)), "ok 200 secret") << url;
        EXPECT_EQ(run(asyncXHR(url)), "ok 200 secret") << url;
        EXPECT_EQ(run(fetchOf(url)), "ok 200 secret") << url;
    }
}

TEST_F(WebViewOriginService, ARedirectToAnotherOriginKeepsItsRules) {
    for (const std::string& url :
         {std::string("/to-secret"), other.url("/back-home").absoluteString()}) {
        EXPECT_EQ(run(syncXHR(url)), "blocked") << url;
        EXPECT_EQ(run(asyncXHR(url)), "blocked") << url;
        EXPECT_EQ(run(fetchOf(url)), "blocked") << url;
    }
    EXPECT_EQ(run(syncXHR("/to-public")), "ok 200 public");
    EXPECT_EQ(run(asyncXHR("/to-public")), "ok 200 public");
    EXPECT_EQ(run(fetchOf("/to-public")), "ok 200 public");
}

TEST_F(WebViewOriginService, ImagesAndScriptsOfAnotherOriginStillLoad) {
    other.on("GET", "/pixel.png", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::bytes(pngBytes(5, 3, {1, 0, 0, 1}), "image/png");
    });
    other.on("GET", "/lib.js", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text("window.libRan = true;", 200, "text/javascript");
    });
    const std::string script =
        "{ const i = new Image(); i.onload = () => { const s = document.createElement('script');"
        " s.onload = () => window.result = 'ok ' + i.naturalWidth + ' ' + window.libRan;"
        " s.onerror = () => window.result = 'script failed'; s.src = '" +
        other.url("/lib.js").absoluteString() +
        "'; document.body.appendChild(s); };"
        " i.onerror = () => window.result = 'image failed'; i.src = '" +
        other.url("/pixel.png").absoluteString() + "'; }";
    EXPECT_EQ(run(script), "ok 5 true");
}

}  // namespace
