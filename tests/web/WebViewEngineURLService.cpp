// URLs as the engine writes them, where the view takes them: the
// navigations its delegate is asked about (a frame's, the page's own), the
// page each belongs to, the view's URL, and loads made through the view of
// URLs the engine writes otherwise than they were given. Decisions come
// before any request leaves, so they hold in both kinds whatever the
// network answers.

#include "WebViewTesting.h"
#include "support/RawOrigin.h"

namespace {

std::string textOf(const std::optional<core::URL>& url) {
    return url ? url->absoluteString() : "(none)";
}

using web::WebViewConfiguration;
using namespace webtesting;
using testsupport::RawOrigin;

class WebViewEngineURLService : public testing::TestWithParam<WebViewConfiguration::Kind> {
protected:
    // The single decision asked about url.
    web::NavigationAction decisionFor(const std::string& url) {
        const auto asked = [&] {
            std::vector<web::NavigationAction> found;
            for (const auto& action : delegate->navigations)
                if (action.request.url().absoluteString() == url) found.push_back(action);
            return found;
        };
        EXPECT_TRUE(waitFor([&] { return !asked().empty(); }))
            << "never asked about " << url << "; asked about:\n"
            << [&] {
                   std::string text;
                   for (const auto& action : delegate->navigations)
                       text += "  " + action.request.url().absoluteString() + "\n";
                   return text;
               }();
        const auto found = asked();
        EXPECT_EQ(found.size(), 1u) << url;
        return found.empty() ? web::NavigationAction(
                                   core::URLRequest(core::URL::create("about:blank").value()))
                             : found.front();
    }

    RawOrigin origin;
    const std::string folder = RawOrigin::newRun();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<web::WebView> view = makeView(delegate, configurationOf(GetParam()));
};

// A page whose own URL has what engines leave unescaped: its frame's
// navigation and its own are asked about under the URLs the engine wrote,
// the frame's naming the page as its main document, and the view's URL is
// the page's.
TEST_P(WebViewEngineURLService, NavigationsAreAskedAboutAsTheEngineWroteThem) {
    ASSERT_TRUE(view);
    const auto page = core::URL::createFromWeb(origin.origin() + folder + "/page/ad|page?cb=[1]");
    ASSERT_TRUE(page);
    ASSERT_TRUE(loadHTMLAndWait(*view, *delegate, R"(<body><script>
window.written = {frame: new URL('frame-1/{b}|c?q=[1]&r=%zz', location.href).href,
                  main: new URL('nav-1/a|b%zz?x=[2]#f|g', location.href).href};
const frame = document.createElement('iframe');
frame.src = 'frame-1/{b}|c?q=[1]&r=%zz';
document.body.appendChild(frame);
</script>)",
                                *page));
    EXPECT_EQ(textOf(view->url()), page->absoluteString());

    const std::string frameURL = evaluate(*view, "written.frame").stringValue();
    EXPECT_EQ(frameURL, origin.origin() + folder + "/page/frame-1/%7Bb%7D|c?q=[1]&r=%zz");
    const auto frame = decisionFor(frameURL);
    EXPECT_EQ(frame.targetsMainFrame, false);
    EXPECT_EQ(textOf(frame.mainDocumentURL), page->absoluteString());

    const std::string mainURL = evaluate(*view, "written.main").stringValue();
    (void)evaluate(*view, "setTimeout(() => location.assign(written.main)); 0");
    const auto main = decisionFor(mainURL);
    EXPECT_EQ(main.targetsMainFrame, true);
    EXPECT_EQ(textOf(main.mainDocumentURL), mainURL);
    EXPECT_EQ(main.request.method(), "GET");
}

// Loads made through the view of URLs the engine writes otherwise (its
// scheme and host in lower case, a backslash as a slash, dot segments
// resolved, braces escaped, UTF-8 bytes as their escapes): each is asked
// about once, under the engine's URL, and has one start and one end; the
// view's URL is then the engine's.
TEST_P(WebViewEngineURLService, LoadsOfURLsTheEngineRewritesEndOnce) {
    ASSERT_TRUE(view);
    const std::string port = std::to_string(origin.port());
    const std::string at = origin.origin() + folder;
    for (const auto& [given, written] : std::vector<std::pair<std::string, std::string>>{
             {"HTTP://LocalHost:" + port + folder + "/nav-2/a\\b/../c",
              "http://localhost:" + port + folder + "/nav-2/a/c"},
             {at + "/nav-3/./x//y/", at + "/nav-3/x//y/"},
             {at + "/nav-4/{b}", at + "/nav-4/%7Bb%7D"},
             {at + "/nav-5/\xC3\xA9t\xC3\xA9?q=\xE6\x97\xA5",
              at + "/nav-5/%C3%A9t%C3%A9?q=%E6%97%A5"}}) {
        const auto url = core::URL::createFromWeb(given);
        ASSERT_TRUE(url) << given;
        delegate->events.clear();
        delegate->navigations.clear();
        ASSERT_TRUE(loadAndWait(*view, *delegate, *url));
        // A late second start or failure would come within this.
        (void)waitFor([] { return false; }, 0.3);
        EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}))
            << given;
        std::vector<std::string> asked;
        for (const auto& action : delegate->navigations)
            asked.push_back(action.request.url().absoluteString());
        EXPECT_EQ(asked, std::vector<std::string>{written}) << given;
        EXPECT_EQ(textOf(view->url()), written);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewEngineURLService, testing::ValuesIn(kKinds), kindName);

}  // namespace
