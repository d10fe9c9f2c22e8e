// Images and stylesheets that a page asks for at its own origin but that a
// redirect fetches from another one: they show as before, yet script reads
// neither (no pixels through a canvas, no rules through the style sheet)
// unless the other origin allows it with its CORS headers and the page
// asked with crossorigin. The same for both kinds of view.

#include "WebViewTesting.h"

namespace {

using namespace webtesting;

// Leaves in window.result, once the image has loaded: its natural size and
// either the first pixel's colour or the name of the error reading it.
std::string imageRead(const std::string& url, bool crossOrigin) {
    return std::string("{ const i = new Image();") +
           (crossOrigin ? " i.crossOrigin = 'anonymous';" : "") +
           " i.onload = () => { const c = document.createElement('canvas');"
           " const g = c.getContext('2d'); g.drawImage(i, 0, 0); let read;"
           " try { read = String(g.getImageData(0, 0, 1, 1).data); } catch (e) { read = e.name; }"
           " window.result = i.naturalWidth + 'x' + i.naturalHeight + ' ' + read; };"
           " i.onerror = () => window.result = 'failed'; i.src = '" +
           url + "'; }";
}

// Leaves in window.result, once the sheet has loaded: the probe's width it
// set, and the text of every style rule script can reach from the sheet
// (through its imports too), or the name of the first error reading one.
std::string sheetRead(const std::string& url, bool crossOrigin) {
    return std::string("{ const l = document.createElement('link'); l.rel = 'stylesheet';") +
           (crossOrigin ? " l.crossOrigin = 'anonymous';" : "") +
           " const texts = s => { const out = []; for (const r of s.cssRules)"
           " out.push(...(r.styleSheet ? texts(r.styleSheet) : [r.cssText])); return out; };"
           " l.onload = () => { let read; try { read = texts(l.sheet).join(' '); }"
           " catch (e) { read = e.name; }"
           " window.result = getComputedStyle(probe).width + ' ' + read; l.remove(); };"
           " l.onerror = () => window.result = 'failed'; l.href = '" +
           url +
           "';"
           " document.head.appendChild(l); }";
}

class WebViewRedirectedReadService
    : public testing::TestWithParam<web::WebViewConfiguration::Kind> {
protected:
    void SetUp() override {
        view = makeView(delegate, configurationOf(GetParam()));
        ASSERT_TRUE(view);
        serveHTML(page, "/page.html", "<div id=probe></div>");
        for (const bool shared : {false, true}) {
            const std::string prefix = shared ? "/shared-" : "/";
            other.on("GET", prefix + "pixel.png", [shared](const fixtures::LoopbackRequest&) {
                auto response =
                    fixtures::LoopbackResponse::bytes(pngBytes(5, 3, {1, 0, 0, 1}), "image/png");
                if (shared) response.headers.set("Access-Control-Allow-Origin", "*");
                return response;
            });
            other.on("GET", prefix + "style.css", [shared](const fixtures::LoopbackRequest&) {
                auto response =
                    fixtures::LoopbackResponse::text("#probe { width: 37px; }", 200, "text/css");
                if (shared) response.headers.set("Access-Control-Allow-Origin", "*");
                return response;
            });
            for (const char* name : {"pixel.png", "style.css"}) {
                const std::string path = prefix + name;
                page.on("GET", "/to" + path, [this, path](const fixtures::LoopbackRequest&) {
                    return fixtures::LoopbackResponse::redirect(other.url(path).absoluteString());
                });
            }
        }
        ASSERT_TRUE(loadAndWait(*view, *delegate, page.url("/page.html")));
        ASSERT_EQ(delegate->events.back(), "finish");
    }

    // Runs the script and waits for its result.
    std::string run(const std::string& script) {
        (void)evaluate(*view, "window.result = undefined; " + script + "; true");
        std::string result;
        const bool settled = waitFor([&] {
            result = evaluate(*view, "window.result || ''").stringValue();
            return !result.empty();
        });
        return settled ? result : "no result";
    }

    fixtures::LoopbackServer page;
    fixtures::LoopbackServer other;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view;
};

TEST_P(WebViewRedirectedReadService, ContentFromAnotherOriginShowsButIsNotRead) {
    EXPECT_EQ(run(imageRead("/to/pixel.png", false)), "5x3 SecurityError");
    EXPECT_EQ(run(sheetRead("/to/style.css", false)), "37px SecurityError");
    // Asked for with crossorigin, without the other origin's leave: nothing.
    EXPECT_EQ(run(imageRead("/to/pixel.png", true)), "failed");
    EXPECT_EQ(run(sheetRead("/to/style.css", true)), "failed");
}

TEST_P(WebViewRedirectedReadService, ContentTheOtherOriginSharesIsReadWhenAskedForWithCORS) {
    EXPECT_EQ(run(imageRead("/to/shared-pixel.png", true)), "5x3 255,0,0,255");
    EXPECT_EQ(run(sheetRead("/to/shared-style.css", true)), "37px #probe { width: 37px; }");
    // Without crossorigin the page does not ask to read it.
    EXPECT_EQ(run(imageRead("/to/shared-pixel.png", false)), "5x3 SecurityError");
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewRedirectedReadService, testing::ValuesIn(kKinds), kindName);

}  // namespace
