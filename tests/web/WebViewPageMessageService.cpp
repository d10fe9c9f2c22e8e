// A view that takes a scheme's navigations as the page's messages: each
// message reaches its handler as the text the engine would have navigated
// to, in the order the page sent them, whichever way it went (the long ones
// a frame is given are taken in the web process; the others come through
// the engine's policy step), in both kinds. The view's bound refuses what is
// over it, and the delegate never hears of the messages. A view whose
// delegate decides them instead: the delegate is asked about each, the long
// ones too, with their whole URL.

#include <cstdio>
#include <cstring>

#include "WebViewTesting.h"
#include "core/Console.h"
#include "web/PageMessageServer.h"
#include "web/WebProcessProtocol.h"

namespace {

using namespace webtesting;

class WebViewPageMessageService : public testing::TestWithParam<web::WebViewConfiguration::Kind> {
protected:
    void SetUp() override { ASSERT_TRUE(open()); }

    [[nodiscard]] bool open(size_t bound = 0) {
        delegate = std::make_shared<RecordingDelegate>();
        web::WebViewConfiguration configuration = configurationOf(GetParam());
        configuration.maximumNavigationURLBytes = bound;
        view = makeView(delegate, configuration);
        if (!view) return false;
        view->receivePageMessages("dmsg", [this](std::string url, web::NavigationType type) {
            messages.push_back(std::move(url));
            types.push_back(type);
        });
        serveHTML(server, "/page.html",
                  "<script>function send(u) { var f = document.createElement('iframe');"
                  " f.src = u; document.body.appendChild(f); return f; }</script><p>page</p>");
        return loadAndWait(*view, *delegate, server.url("/page.html"));
    }

    // The page's text of length bytes that starts with start.
    static std::string padded(const std::string& start, size_t length) {
        return "'" + start + "' + 'z'.repeat(" + std::to_string(length - start.size()) + ")";
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate;
    std::shared_ptr<web::WebView> view;
    std::vector<std::string> messages;
    std::vector<web::NavigationType> types;
};

TEST_P(WebViewPageMessageService, EveryWayOfSendingArrivesWholeInTheOrderSent) {
    const size_t kLong = web::protocol::kMessageThresholdBytes * 3;
    // A frame given a long source before it is in the document (it sends
    // when it is put in), a long one by src, a short one, a long one by
    // setAttribute, the early frame put in, a long one by a location change
    // (not a frame's: through the policy step; the engine makes it once the
    // script has run), and a short last one.
    const std::string script =
        "var early = document.createElement('iframe');"
        "early.src = " +
        padded("dmsg://x/four?d=", kLong) +
        ";"
        "var a = send(" +
        padded("dmsg://x/one?d=", kLong) +
        ");"
        "send('dmsg://x/two');"
        "var c = document.createElement('iframe');"
        "c.setAttribute('src', " +
        padded("dmsg://x/three?d=", kLong) +
        ");"
        "document.body.appendChild(c);"
        "document.body.appendChild(early);"
        "location.href = " +
        padded("dmsg://x/five?d=", kLong) +
        ";"
        "setTimeout(function () { send('dmsg://x/six'); }, 100);"
        // The long frames were given references; the page still reads its URL.
        "[a.getAttribute('src').split(':')[0], c.getAttribute('src').split(':')[0],"
        " a.src.length, c.getAttribute('src') === c.src]";
    const core::Value answer = evaluate(*view, script);
    ASSERT_TRUE(waitFor([&] { return messages.size() >= 6; }));
    ASSERT_EQ(messages.size(), 6u);
    const char* names[] = {"one", "two", "three", "four", "five", "six"};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(messages[i].substr(0, 9 + std::strlen(names[i])),
                  std::string("dmsg://x/") + names[i])
            << i;
    EXPECT_EQ(messages[0], "dmsg://x/one?d=" + std::string(kLong - 15, 'z'));
    for (const size_t at : {2, 3, 4}) EXPECT_EQ(messages[at].size(), kLong) << at;
    EXPECT_EQ(types, std::vector<web::NavigationType>(6, web::NavigationType::other));
    EXPECT_EQ(answer,
              core::Value(core::Array{core::Value(web::protocol::kMessageReferenceScheme),
                                      core::Value(web::protocol::kMessageReferenceScheme),
                                      core::Value(std::int64_t(kLong)), core::Value(false)}));
    for (const auto& action : delegate->navigations)
        EXPECT_FALSE(action.request.url().hasScheme("dmsg"))
            << action.request.url().absoluteString();
    EXPECT_EQ(web::PageMessageServer::shared(nullptr)->waitingCount(view->pageIdentifier()), 0u);
}

TEST_P(WebViewPageMessageService, ALongMessageReadsAsTheEngineWouldHaveNavigatedToIt) {
    // Upper-case scheme, a blank, a character beyond ASCII and a fragment:
    // the engine's URL parser rewrites them, and so must the taking.
    const size_t kLong = web::protocol::kMessageThresholdBytes * 2;
    const std::string text = padded("DMSG://Host/m?a=b c&e=\u00e9#f", kLong);
    (void)evaluate(*view, "send(" + text + "); location.href = " + text + "; true");
    ASSERT_TRUE(waitFor([&] { return messages.size() >= 2; }));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].substr(0, 34), "dmsg://Host/m?a=b%20c&e=%C3%A9#fzz");
    EXPECT_EQ(messages[0], messages[1]);
}

TEST_P(WebViewPageMessageService, AMessageOverTheViewsBoundIsRefusedAndLoggedAndTheNextArrives) {
    const size_t kBound = web::protocol::kMessageThresholdBytes * 2;
    ASSERT_TRUE(open(kBound));
    core::Console::Capture log;
    // Taken (a frame's) and not (a location change): both are refused.
    (void)evaluate(*view, "send(" + padded("dmsg://x/big?d=", kBound + 1) +
                              ");"
                              "send(" +
                              padded("dmsg://x/fits?d=", kBound) +
                              ");"
                              "location.href = " +
                              padded("dmsg://x/big?d=", kBound + 2) +
                              ";"
                              "setTimeout(function () { send('dmsg://x/end'); }, 100); true");
    ASSERT_TRUE(waitFor([&] { return messages.size() >= 2; }));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].size(), kBound);
    EXPECT_EQ(messages[1], "dmsg://x/end");
    for (const size_t size : {kBound + 1, kBound + 2})
        EXPECT_TRUE(log.contains("a navigation to a URL of " + std::to_string(size) +
                                 " bytes (dmsg:...) was refused: more than " +
                                 std::to_string(kBound)))
            << size;
}

TEST_P(WebViewPageMessageService, MessagesTheAppCannotKeepGoThroughThePolicyStepInTheirPlace) {
    // Frames given their sources before any is in the document: the app
    // keeps as many as it may, and the frames past that get their URLs.
    const size_t kCount = web::PageMessageServer::kMostWaitingMessages + 4;
    const size_t kLong = web::protocol::kMessageThresholdBytes + 100;
    const core::Value references = evaluate(
        *view, "var frames = [], body = 'z'.repeat(" + std::to_string(kLong) +
                   ");"
                   "for (var i = 0; i < " +
                   std::to_string(kCount) +
                   "; ++i) {"
                   "  var f = document.createElement('iframe');"
                   "  f.src = 'dmsg://x/' + String(i).padStart(4, '0') + '?d=' + body;"
                   "  frames.push(f); }"
                   "frames.forEach(function (f) { document.body.appendChild(f); });"
                   "frames.filter(function (f) {"
                   "  return f.getAttribute('src').indexOf('vantor-message:') === 0; }).length");
    ASSERT_TRUE(waitFor([&] { return messages.size() >= kCount; }, 60));
    EXPECT_EQ(references, core::Value(std::int64_t(web::PageMessageServer::kMostWaitingMessages)));
    ASSERT_EQ(messages.size(), kCount);
    for (size_t i = 0; i < kCount; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%04zu", i);
        EXPECT_EQ(messages[i].substr(0, 13), std::string("dmsg://x/") + name) << i;
        EXPECT_EQ(messages[i].size(), 16 + kLong) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewPageMessageService, testing::ValuesIn(kKinds), kindName);

// A view whose delegate decides the page's messages: every message is a
// navigation it is asked about, in the order sent, the long ones a frame is
// given taken beside the engine and asked about with their whole URL.
class WebViewDelegatedPageMessageService
    : public testing::TestWithParam<web::WebViewConfiguration::Kind> {
protected:
    [[nodiscard]] bool open() {
        delegate = std::make_shared<RecordingDelegate>();
        delegate->decide = [](const web::NavigationAction& action) {
            return !action.request.url().hasScheme("dmsg");
        };
        view = makeView(delegate, configurationOf(GetParam()));
        if (!view) return false;
        view->receivePageMessagesThroughDelegate("dmsg");
        serveHTML(server, "/page.html",
                  "<script>function send(u) { var f = document.createElement('iframe');"
                  " f.src = u; document.body.appendChild(f);"
                  " return f.getAttribute('src').split(':')[0]; }</script><p>page</p>");
        return loadAndWait(*view, *delegate, server.url("/page.html"));
    }
    [[nodiscard]] std::vector<web::NavigationAction> messages() const {
        std::vector<web::NavigationAction> found;
        for (const auto& action : delegate->navigations)
            if (action.request.url().hasScheme("dmsg")) found.push_back(action);
        return found;
    }
    static std::string padded(const std::string& start, size_t length) {
        return "'" + start + "' + 'z'.repeat(" + std::to_string(length - start.size()) + ")";
    }

    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate;
    std::shared_ptr<web::WebView> view;
};

TEST_P(WebViewDelegatedPageMessageService, EveryMessageIsAskedAboutWholeInTheOrderSent) {
    ASSERT_TRUE(open());
    const size_t kLong = web::protocol::kMessageThresholdBytes * 3;
    // Short and long by frames (by src and by setAttribute), and a short
    // one by a location change, which the engine makes once the script has
    // run.
    const core::Value sources = evaluate(
        *view, "var sources = [send('dmsg://x/one'), send(" + padded("dmsg://x/two?d=", kLong) +
                   ")];"
                   "var c = document.createElement('iframe');"
                   "c.setAttribute('src', " +
                   padded("dmsg://x/three?d=", kLong) +
                   ");"
                   "document.body.appendChild(c);"
                   "sources.push(c.getAttribute('src').split(':')[0], send('dmsg://x/four'));"
                   "location.href = 'dmsg://x/five';"
                   "sources");
    ASSERT_TRUE(waitFor([&] { return messages().size() >= 5; }));
    const core::Value reference(web::protocol::kMessageReferenceScheme);
    EXPECT_EQ(sources, core::Value(core::Array{core::Value("dmsg"), reference, reference,
                                               core::Value("dmsg")}));
    const auto asked = messages();
    ASSERT_EQ(asked.size(), 5u);
    const char* names[] = {"one", "two", "three", "four", "five"};
    for (size_t at = 0; at < 5; ++at) {
        const std::string& url = asked[at].request.url().absoluteString();
        EXPECT_EQ(url.substr(0, 9 + std::strlen(names[at])), std::string("dmsg://x/") + names[at])
            << at;
        EXPECT_EQ(asked[at].type, web::NavigationType::other) << at;
        const auto agent = asked[at].request.value("User-Agent");
        EXPECT_TRUE(agent && !agent->empty()) << at;
        EXPECT_FALSE(asked[at].opensNewWindow) << at;
    }
    EXPECT_EQ(asked[1].request.url().absoluteString(),
              "dmsg://x/two?d=" + std::string(kLong - 15, 'z'));
    EXPECT_EQ(asked[2].request.url().absoluteString().size(), kLong);
    EXPECT_EQ(web::PageMessageServer::shared(nullptr)->waitingCount(view->pageIdentifier()), 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewDelegatedPageMessageService, testing::ValuesIn(kKinds),
                         kindName);

}  // namespace
