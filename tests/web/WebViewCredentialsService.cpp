// Pages that give credentials (in a URL, to an XHR), loads that fail on the
// way, and redirects whose bodies are large, the same in both kinds of web
// view. A "WK"-kind view (the engine alone) must show the facts each case
// names; a "UI"-kind view, whose loads go through the app's proxy, must show
// what the "WK" kind showed, and its origins must receive the same requests
// with the same credentials, never the proxy's. Credentials a page gives
// answer its origin's challenge alone, and one page never breaks another
// view's loads.
//
// Each test has origins of its own (new ports), as the engine keeps the
// credentials an origin took for the rest of the process.

#include <map>

#include "WebViewTesting.h"
#include "support/RawOrigin.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using testsupport::RawAnswer;

using Kind = WebViewConfiguration::Kind;
using Observations = std::map<std::string, std::string>;

// Seconds a page may take to observe everything; it gives up on each load
// before.
constexpr double kPageLimit = 20;
// "u:p", as a Basic credential.
constexpr const char* kPageCredential = "Basic dTpw";

// Put before every page: what the page observed goes to window.obs.
constexpr const char* kHelpers = R"(<!doctype html><meta charset=utf-8><body><script>
window.obs = {};
const note = (key, value) => { obs[key] = String(value); };
const settle = p => Promise.race([
  Promise.resolve(p).then(v => v, e => 'error ' + (e && e.name ? e.name : String(e))),
  new Promise(r => setTimeout(() => r('timeout'), 6000))]);
const xhr = (url, ...credentials) => settle(new Promise(resolve => {
  const request = new XMLHttpRequest();
  request.open('GET', url, true, ...credentials);
  request.onload = () => resolve(request.status + ' ' + request.responseText);
  request.onerror = () => resolve('error ' + request.status);
  request.send();
}));
const fetched = url => settle(fetch(url).then(async r => r.status + ' ' + (await r.text())));
const framed = src => settle(new Promise(resolve => {
  addEventListener('message', e => resolve(e.data));
  const frame = document.createElement('iframe');
  frame.src = src;
  document.body.appendChild(frame);
}));
</script>)";

// A page's script (an async function's body) runs in a view; the view then
// loads each URL of navigations, and another view runs otherScript. "%RAW%"
// in any of them is the address of an origin that breaks HTTP: it answers
// /ok with "ok" on a connection it keeps, ends the connection unanswered
// for /reset, and answers /unsupported in an HTTP version no client reads.
struct Case {
    std::string script;
    std::vector<std::string> navigations;
    std::string otherScript;
};

// What one kind showed: what its pages observed, how the first view's loads
// ended, and each request the origins received with its credentials.
struct Shown {
    Observations observed;
    std::vector<std::string> received;
};

class WebViewCredentialsService : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        // Asks for u:p; answers with the user it was given.
        const auto challenge = [](const LoopbackRequest& request, const std::string& body) {
            if (request.headers.value("Authorization") == kPageCredential)
                return LoopbackResponse::text(body, 200, "text/html");
            auto asked = LoopbackResponse::text("who?", 401);
            asked.headers.set("WWW-Authenticate", "Basic realm=\"test\"");
            return asked;
        };
        origin.on("GET", "/auth", [challenge](const LoopbackRequest& request) {
            return challenge(request, "ok u");
        });
        origin.on("GET", "/framed", [challenge](const LoopbackRequest& request) {
            return challenge(request, "<script>parent.postMessage('framed ok u', '*')</script>");
        });
        origin.on("GET", "/plain",
                  [](const LoopbackRequest&) { return LoopbackResponse::text("plain"); });
    }

    // A view of the kind on a page running script, once the page is done;
    // what it observed goes to into under prefix.
    std::shared_ptr<web::WebView> open(const std::string& script, Kind kind,
                                       const std::shared_ptr<RecordingDelegate>& delegate,
                                       const std::string& prefix, Observations& into) {
        const std::string path = prefix.empty() ? "/page.html" : "/other.html";
        serveHTML(origin, path,
                  std::string(kHelpers) + "<script>(async () => {\n" + script +
                      "\nwindow.pageDone = true;\n})();</script>");
        const auto view = makeView(delegate, configurationOf(kind));
        if (!view) return view;
        view->loadRequest(core::URLRequest(origin.url(path)));
        EXPECT_TRUE(waitFor(
            [&] { return evaluateScript(*view, "window.pageDone === true").value() == true; },
            kPageLimit))
            << kindLabel(kind) << ": " << script << "\ndid not finish in time";
        for (const auto& [key, value] : pageObservations(*view)) into[prefix + key] = value;
        return view;
    }

    Shown run(const Case& tried, Kind kind) {
        testsupport::RawOrigin broken;
        broken.answer("/ok", {"HTTP/1.1 200 OK", {{"Access-Control-Allow-Origin", "*"}}, "ok"});
        broken.answer("/reset", RawAnswer::raw(""));
        broken.answer("/unsupported", RawAnswer::raw("HTTP/1.2 200 OK\r\nAccess-Control-Allow-"
                                                     "Origin: *\r\nContent-Length: 2\r\n\r\nno"));
        const auto placed = [&](std::string text) {
            for (size_t at; (at = text.find("%RAW%")) != std::string::npos;)
                text.replace(at, 5, broken.origin());
            return text;
        };
        Shown shown;
        const auto delegate = std::make_shared<RecordingDelegate>();
        const auto view = open(placed(tried.script), kind, delegate, "", shown.observed);
        if (!view) return shown;
        for (const std::string& target : tried.navigations) {
            const auto url = core::URL::create(placed(target)).value();
            delegate->errors.clear();
            EXPECT_TRUE(loadAndWait(*view, *delegate, url));
            std::string& noted = shown.observed["navigation " + url.path()];
            if (delegate->errors.empty()) {
                noted = std::to_string(view->mainFrameStatusCode().value_or(0)) + " " +
                        (view->url() ? view->url()->path() : "") + " " +
                        evaluate(*view, "document.body.textContent").stringValue();
            } else {
                noted = "failed";
                // The view's own report tells what the proxy met, in its
                // closing parentheses.
                if (kind == Kind::UI) {
                    const std::string& message = delegate->errors.back().message;
                    EXPECT_TRUE(message.find(" (") != std::string::npos && message.ends_with(")"))
                        << message;
                }
            }
        }
        if (!tried.otherScript.empty())
            (void)open(placed(tried.otherScript), kind, std::make_shared<RecordingDelegate>(),
                       "other.", shown.observed);
        // (The kinds fail with codes of their own.)
        for (const auto& event : delegate->events)
            shown.observed["events"] += (event.starts_with("fail") ? "fail" : event) + ",";
        for (const auto& request : origin.requests()) {
            EXPECT_FALSE(request.headers.contains("Proxy-Authorization")) << request.path;
            shown.received.push_back(request.method + " " + request.path + " " +
                                     request.headers.value("Authorization").value_or("-"));
        }
        origin.clearLog();
        for (const auto& request : broken.log("/")) {
            EXPECT_FALSE(request.field("Proxy-Authorization")) << request.target;
            shown.received.push_back("broken " + request.method + " " + request.target);
        }
        return shown;
    }

    // Runs the case in the "WK" kind and checks what is known of it; for the
    // "UI" kind runs it there too and expects what the "WK" kind showed.
    void conform(const Case& tried, const Observations& known) {
        const Shown wk = run(tried, Kind::WK);
        for (const auto& [key, value] : known)
            EXPECT_EQ(wk.observed.contains(key) ? wk.observed.at(key) : "(none)", value)
                << "WK observation " << key;
        if (GetParam() == Kind::WK) return;
        const Shown ui = run(tried, Kind::UI);
        EXPECT_EQ(ui.observed, wk.observed) << "what the UI kind showed differs from the WK kind";
        EXPECT_EQ(ui.received, wk.received)
            << "what the origins received from the UI kind differs from the WK kind";
    }

    fixtures::LoopbackServer origin;
};

// An XHR given credentials: the origin's challenge gets them, and later
// loads of the origin, the page's and another view's, carry them as the
// engine keeps them; the other view's own loads go on.
TEST_P(WebViewCredentialsService, CredentialsGivenToAnXHRAnswerTheOriginAlone) {
    conform({R"(
  note('given', await xhr('/auth', 'u', 'p'));
  note('again', await xhr('/auth'));
  note('fetch', await fetched('/auth'));)",
             {},
             R"(
  note('plain', await fetched('/plain'));
  note('auth', await fetched('/auth'));)"},
            {{"given", "200 ok u"},
             {"again", "200 ok u"},
             {"fetch", "200 ok u"},
             {"other.plain", "200 plain"},
             {"other.auth", "200 ok u"}});
}

// Credentials in a URL, a frame's and the view's own navigation's: each
// answers the origin's challenge, and the view's next load and another
// view's go on.
TEST_P(WebViewCredentialsService, CredentialsInAURLAnswerTheOriginAlone) {
    const std::string withCredentials = "http://u:p@127.0.0.1:" + std::to_string(origin.port());
    conform({"note('frame', await framed('" + withCredentials +
                 "/framed'));\nnote('after', await fetched('/plain'));",
             {withCredentials + "/auth", origin.url("/plain").absoluteString()},
             "note('next', await fetched('/plain'));"},
            {{"frame", "framed ok u"},
             {"after", "200 plain"},
             {"navigation /auth", "200 /auth ok u"},
             {"navigation /plain", "200 /plain plain"},
             {"other.next", "200 plain"}});
}

// A challenge the page has no credentials for, or only wrong ones: nobody
// can answer a dialog of the engine's in the app's window, so each load
// ends at once (the page's well within its wait) with the origin's answer,
// its 401 page, as the engine alone ends it without a dialog; the view's
// next load goes on.
TEST_P(WebViewCredentialsService, AChallengeWithoutCredentialsEndsWithTheOriginsAnswer) {
    const std::string wrong = "http://u:q@127.0.0.1:" + std::to_string(origin.port());
    conform({R"(
  note('xhr', await xhr('/auth'));
  note('fetch', await fetched('/auth'));
  note('wrong', await xhr('/auth', 'u', 'q'));)",
             {origin.url("/auth").absoluteString(), wrong + "/framed",
              origin.url("/plain").absoluteString()},
             {}},
            {{"xhr", "401 who?"},
             {"fetch", "401 who?"},
             {"wrong", "401 who?"},
             {"navigation /auth", "401 /auth who?"},
             {"navigation /framed", "401 /framed who?"},
             {"navigation /plain", "200 /plain plain"},
             {"events", "start,commit,finish,start,commit,finish,start,commit,finish,start,"
                        "commit,finish,"}});
}

// Loads that fail on the way, after the origin answered on the same
// connection: the page sees the failure the engine alone sees (a fetch
// rejects, an XHR errs) and nothing of the proxy's, and the origin is asked
// as often. A navigation that fails so fails in the view.
TEST_P(WebViewCredentialsService, FailuresOnTheWayReachThePageAsFailures) {
    conform({R"(
  note('ok', await fetched('%RAW%/ok'));
  note('reset', await fetched('%RAW%/reset'));
  note('ok again', await fetched('%RAW%/ok'));
  note('unsupported', await fetched('%RAW%/unsupported'));
  note('xhr', await xhr('%RAW%/unsupported?xhr'));)",
             {"%RAW%/reset", "%RAW%/unsupported"},
             {}},
            {{"ok", "200 ok"},
             {"reset", "error TypeError"},
             {"ok again", "200 ok"},
             {"unsupported", "error TypeError"},
             {"xhr", "error 0"},
             {"navigation /reset", "failed"},
             {"navigation /unsupported", "failed"}});
}

// A redirect whose body is large (100 KB) is followed, by a fetch and by
// the view's navigation.
TEST_P(WebViewCredentialsService, RedirectsWithLargeBodiesAreFollowed) {
    for (const int status : {301, 302}) {
        origin.on("GET", "/moved" + std::to_string(status), [status](const LoopbackRequest&) {
            auto moved = LoopbackResponse::redirect("/plain", status);
            moved.body = std::string(100'000, 'm');
            return moved;
        });
    }
    conform(
        {"note('301', await fetched('/moved301'));\nnote('302', await fetched('/moved302'));",
         {origin.url("/moved302").absoluteString()},
         {}},
        {{"301", "200 plain"}, {"302", "200 plain"}, {"navigation /moved302", "200 /plain plain"}});
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewCredentialsService, testing::ValuesIn(kKinds), kindName);

}  // namespace
