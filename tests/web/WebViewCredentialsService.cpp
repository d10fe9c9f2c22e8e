// Pages that give credentials (in a URL, to an XHR), loads that fail on the
// way, and redirects whose bodies are large, the same in both kinds of web
// view. A "WK"-kind view, where the engine loads the page itself, must see
// what a browser sees (the facts each case is sure of); a "UI"-kind view,
// whose loads go through the app's proxy, must see what the "WK" kind saw,
// and its origin must receive the same requests with the same credentials.
// Credentials one page gives never reach another page's loads, and what the
// proxy asks of the engine never reaches a page or an origin.
//
// Each test has origins of its own (new ports), so that credentials the
// engine keeps for an origin in one test are not found in the next.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <thread>

#include "WebViewTesting.h"
#include "core/JSON.h"
#include "core/MD5.h"
#include "support/RawOrigin.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;

using Kind = WebViewConfiguration::Kind;
using Observations = std::map<std::string, std::string>;

constexpr double kPageLimit = 15;

// Put before every page: what the page observed goes to window.obs.
constexpr const char* kHelpers = R"(<!doctype html><meta charset=utf-8><body><script>
window.obs = {};
function note(key, value) { obs[key] = typeof value === 'string' ? value : JSON.stringify(value); }
function done() { window.pageDone = true; }
function settle(p, ms) {
  return Promise.race([
    Promise.resolve(p).then(v => v, e => 'error ' + (e && e.name ? e.name : String(e))),
    new Promise(r => setTimeout(() => r('timeout'), ms || 5000))]);
}
function xhr(url, user, password) {
  return new Promise(resolve => {
    const request = new XMLHttpRequest();
    if (user === undefined) request.open('GET', url, true);
    else request.open('GET', url, true, user, password);
    request.onload = () => resolve(request.status + ' ' + request.responseText);
    request.onerror = () => resolve('error ' + request.status);
    request.send();
  });
}
function text(url) { return fetch(url).then(r => r.status + ' ' + r.statusText + ' ' + r.text()); }
async function fetched(url, options) {
  const response = await fetch(url, options);
  return response.status + ' ' + (await response.text());
}
</script>)";

std::string page(const std::string& script) {
  return std::string(kHelpers) + "<script>(async () => {\n" + script + "\ndone();\n})();</script>";
}

class WebViewCredentialsService : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        // Asks for u:p; answers with the user it was given.
        origin.on("GET", "/auth", [](const LoopbackRequest& request) {
            const auto given = request.headers.value("Authorization");
            if (given && *given == "Basic dTpw") return LoopbackResponse::text("ok u");
            auto challenge = LoopbackResponse::text("who?", 401);
            challenge.headers.set("WWW-Authenticate", "Basic realm=\"test\"");
            return challenge;
        });
        origin.on("GET", "/plain", [](const LoopbackRequest&) {
            return LoopbackResponse::text("plain");
        });
    }

    // Loads path of the origin in a fresh view of the kind; what its page
    // observed once it is done.
    Observations run(const std::string& path, Kind kind) {
        const auto delegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(delegate, configurationOf(kind));
        if (!view) return {};
        view->loadRequest(core::URLRequest(origin.url(path)));
        const bool finished = waitFor(
            [&] {
                const web::JSResult result = evaluateScript(*view, "window.pageDone === true");
                return result.ok() && result.value() == core::Value(true);
            },
            kPageLimit);
        EXPECT_TRUE(finished) << "the page did not finish in time";
        for (const auto& e : delegate->events) std::cerr << "event " << e << "\n";
        std::cerr << "html " << evaluateScript(*view, "document.documentElement.outerHTML.slice(0,200)").value().stringValue() << " status " << view->mainFrameStatusCode().value_or(-1) << "\n";
        Observations observed;
        const web::JSResult read = evaluateScript(*view, "JSON.stringify(window.obs || {})");
        if (read.ok())
            if (auto parsed = core::JSON::parse(read.value().stringValue());
                parsed && parsed->dictionary())
                for (const auto& [key, value] : *parsed->dictionary())
                    observed[key] = value.stringValue();
        return observed;
    }

    fixtures::LoopbackServer origin;
};

TEST_P(WebViewCredentialsService, XHRCredentials) {
    serveHTML(origin, "/xhr.html", page(R"(
  note('first', await xhr('/auth', 'u', 'p'));
  note('after', await xhr('/auth'));
  note('plain', await fetched('/plain'));
)"));
    const Observations observed = run("/xhr.html", GetParam());
    for (const auto& [key, value] : observed) std::cerr << key << " = " << value << "\n";
    for (const auto& request : origin.requests())
        std::cerr << request.method << " " << request.path << " auth="
                  << request.headers.value("Authorization").value_or("-") << " proxy="
                  << request.headers.value("Proxy-Authorization").value_or("-") << "\n";
    serveHTML(origin, "/xhr2.html", page("note('plain', await fetched('/plain'));"));
    const Observations other = run("/xhr2.html", GetParam());
    for (const auto& [key, value] : other) std::cerr << "other " << key << " = " << value << "\n";
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewCredentialsService, testing::ValuesIn(kKinds), kindName);

}  // namespace
