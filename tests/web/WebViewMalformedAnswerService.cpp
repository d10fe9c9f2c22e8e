// Answers with unusual or malformed status lines, heads and framing, the
// same in both kinds of web view. A raw origin (testsupport::RawOrigin)
// sends each answer byte for byte and ends the connection; a page reads it
// with fetch and XHR, and views load some of them as their main frame. A
// WebSocket's 101 with two spaces opens in both.
//
// A "WK"-kind view, where the engine loads the page itself, must read each
// answer as the engine's network stack reads it (the facts below); a
// "UI"-kind view, whose loads go through the app's proxy and libcurl, must
// read it exactly as the "WK" kind did. A load that fails is compared as
// failed, whatever the failure looked like. A few answers the engine reads
// are ones libcurl refuses before the app sees any of them: the "UI" kind
// fails those loads.

#include <algorithm>
#include <set>

#include "WebViewTesting.h"
#include "core/JSON.h"
#include "support/RawOrigin.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using testsupport::RawAnswer;
using testsupport::RawOrigin;

using Kind = WebViewConfiguration::Kind;
using Observations = std::map<std::string, std::string>;

constexpr double kPageLimit = 15;

struct Case {
    std::string name;
    std::string bytes;
    // What the engine reads of it: "<status> / <statusText> / <x- fields>
    // / <body>", or "failed".
    std::string read;
    // libcurl refuses it before the app sees any of it.
    bool refusedByLibcurl = false;
};

std::string chunked(const std::string& fields) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n" + fields +
           "\r\n5\r\nhello\r\n0\r\n\r\n";
}

std::string sized(const std::string& statusLine, const std::string& fields = {}) {
    return statusLine + "\r\nContent-Type: text/plain\r\n" + fields +
           "Content-Length: 5\r\n\r\nhello";
}

const std::vector<Case>& cases() {
    static const std::vector<Case> list = {
        {"two spaces", sized("HTTP/1.1  200 OK"), "200 / OK /  / hello"},
        {"tab after the status", sized("HTTP/1.1 200\tOK"), "200 / OK /  / hello"},
        {"blanks around the reason", sized("HTTP/1.1 200   Very  OK  "),
         "200 / Very  OK /  / hello"},
        {"reason against the status", sized("HTTP/1.1 203Fine"), "203 / Fine /  / hello"},
        {"HTTP/1.0 and two spaces", "HTTP/1.0  200 OK\r\nContent-Type: text/plain\r\n\r\nhello",
         "200 / OK /  / hello"},
        {"head ended by the close", "HTTP/1.1 299 DOES IT MATTER\r\n",
         "299 / DOES IT MATTER /  / "},
        {"fields ended by the close",
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-A: a\r\n b\r\n",
         "200 / OK / x-a: a b / "},
        {"999 ended by the close", "HTTP/1.1 999 DOES IT MATTER\r\n", "999 / DOES IT MATTER /  / "},
        {"status line ended by the close", "HTTP/1.1 299 DOES IT MATTER", "failed"},
        {"folded field", sized("HTTP/1.1 200 OK", "X-Fold: a\r\n b\r\n\tc\r\n"),
         "200 / OK / x-fold: a b c / hello"},
        {"blank in a field name", sized("HTTP/1.1 200 OK", "X-Bad : v\r\nX-Good: w\r\n"),
         "200 / OK / x-good: w / hello"},
        {"chunked, deflate", chunked("Transfer-Encoding: chunked, deflate\r\n"), "failed"},
        {"chunkedchunked", chunked("Transfer-Encoding: chunkedchunked\r\n"), "failed"},
        {"folded after chunked", chunked("Transfer-Encoding: chunked\r\n , identity\r\n"),
         "failed"},
        {"gzip, chunked", chunked("Transfer-Encoding: gzip, chunked\r\n"), "failed"},
        {"chunked, then gzip", chunked("Transfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n"),
         "failed"},
        {"gzip, then chunked", chunked("Transfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n"),
         "200 / OK /  / hello"},
        {"identity and a length", sized("HTTP/1.1 200 OK", "Transfer-Encoding: identity\r\n"),
         "200 / OK /  / hello"},
        {"length no number",
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5x\r\n\r\nhello",
         "failed"},
        // What the engine reads and libcurl does not.
        {"tab before the status", sized("HTTP/1.1\t200 OK"), "200 / OK /  / hello", true},
        {"line end before the status line", "\r\n" + sized("HTTP/1.1 200 OK"),
         "200 / OK /  / hello", true},
        {"CR before the status line", "\r" + sized("HTTP/1.1 200 OK"), "200 / OK /  / hello", true},
        {"blank before the first field",
         "HTTP/1.1 200 OK\r\n X-Lead: v\r\nContent-Type: text/plain\r\nContent-Length: "
         "5\r\n\r\nhello",
         "200 / OK /  / hello", true},
    };
    return list;
}

// The page: each case read by fetch and by XHR, as "fetch <name>" and
// "xhr <name>".
std::string page() {
    core::Array names;
    for (const Case& each : cases()) names.emplace_back(each.name);
    return R"(<!doctype html><meta charset=utf-8><body><script>
const NAMES = )" +
           core::JSON::write(core::Value(std::move(names))).value_or("[]") + R"(;
const BASE = location.href.replace(/page\.html$/, '');
window.obs = {};
const settle = p => Promise.race([Promise.resolve(p).catch(() => 'failed'),
                                  new Promise(r => setTimeout(() => r('timeout'), 8000))]);
const xFields = pairs => pairs.filter(([n]) => n.startsWith('x-')).map(([n, v]) => n + ': ' + v)
                              .sort().join(' | ');
const xhred = url => new Promise(resolve => {
  const x = new XMLHttpRequest();
  x.open('GET', url);
  x.onload = () => resolve([x.status, x.statusText,
    xFields(x.getAllResponseHeaders().split('\r\n').filter(l => l).map(l => {
      const at = l.indexOf(': ');
      return [l.slice(0, at).toLowerCase(), l.slice(at + 2)];
    })), x.responseText].join(' / '));
  x.onerror = () => resolve('failed');
  x.send();
});
const echoed = url => new Promise((resolve, reject) => {
  const socket = new WebSocket(url.replace(/^http/, 'ws'));
  socket.onopen = () => socket.send('hi');
  socket.onmessage = e => { resolve('echo ' + e.data); socket.close(); };
  socket.onerror = socket.onclose = reject;
});
Promise.all([...NAMES.map(async (name, i) => {
  const url = BASE + 'answer-' + i + '/';
  obs['fetch ' + name] = await settle(fetch(url).then(async r =>
    [r.status, r.statusText, xFields([...r.headers]), await r.text()].join(' / ')));
  obs['xhr ' + name] = await settle(xhred(url + '?xhr'));
}), settle(echoed(BASE + 'socket/')).then(v => { obs.socket = v; })])
  .then(() => { window.answersRead = true; });
</script>)";
}

std::string shown(const std::optional<std::string>& text) {
    return text ? "\"" + RawOrigin::printable(*text) + "\"" : "(none)";
}

std::optional<std::string> valueOf(const Observations& map, const std::string& key) {
    const auto found = map.find(key);
    return found == map.end() ? std::nullopt : std::optional(found->second);
}

class WebViewMalformedAnswerService : public testing::TestWithParam<Kind> {
protected:
    struct Viewer {
        Kind kind;
        std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
        std::shared_ptr<web::WebView> view = nullptr;
    };

    // A view of each kind the case compares: WK alone, or WK and UI.
    std::vector<Viewer> viewers() {
        std::vector<Viewer> made;
        for (const Kind kind : {Kind::WK, Kind::UI}) {
            if (kind == Kind::UI && GetParam() != Kind::UI) continue;
            made.push_back({kind});
            made.back().view = makeView(made.back().delegate, configurationOf(kind));
        }
        return made;
    }

    // Each case's answer below a new folder, and a WebSocket whose 101 has
    // two spaces; the folder.
    std::string serveCases() {
        const std::string folder = RawOrigin::newRun();
        origin.answer(folder + "/socket/", {"HTTP/1.1  101 Switching Protocols", {}, {}});
        for (size_t i = 0; i < cases().size(); ++i)
            origin.answer(folder + "/answer-" + std::to_string(i) + "/",
                          RawAnswer::raw(cases()[i].bytes));
        return folder;
    }

    RawOrigin origin;
};

// fetch and XHR of every case, and a WebSocket, in one page of each kind at
// once.
TEST_P(WebViewMalformedAnswerService, FetchesAndXHRsReadAnswersAsTheEngineDoes) {
    std::vector<Viewer> viewing = viewers();
    std::vector<std::string> folders;
    for (Viewer& viewer : viewing) {
        ASSERT_TRUE(viewer.view);
        folders.push_back(serveCases());
        origin.answer(folders.back() + "/page.html", RawAnswer::html(page()));
        viewer.view->loadRequest(
            core::URLRequest(*core::URL::create(origin.origin() + folders.back() + "/page.html")));
    }
    const auto read = [](Viewer& viewer) {
        const web::JSResult done = evaluateScript(*viewer.view, "window.answersRead === true");
        return done.ok() && done.value() == core::Value(true);
    };
    EXPECT_TRUE(
        waitFor([&] { return std::all_of(viewing.begin(), viewing.end(), read); }, kPageLimit))
        << "the pages did not read every answer in time";
    std::vector<Observations> observed;
    for (Viewer& viewer : viewing) {
        Observations observations;
        const web::JSResult result =
            evaluateScript(*viewer.view, "JSON.stringify(window.obs || {})");
        if (const auto parsed =
                result.ok() ? core::JSON::parse(result.value().stringValue()) : std::nullopt;
            parsed && parsed->dictionary())
            for (const auto& [key, value] : *parsed->dictionary())
                observations[key] = value.stringValue();
        observed.push_back(std::move(observations));
    }
    EXPECT_EQ(shown(valueOf(observed.front(), "socket")), shown("echo hi")) << "WK";
    EXPECT_EQ(shown(valueOf(observed.back(), "socket")), shown("echo hi")) << "UI";
    for (const Case& each : cases()) {
        for (const char* reader : {"fetch ", "xhr "}) {
            const std::string key = reader + each.name;
            EXPECT_EQ(shown(valueOf(observed.front(), key)), shown(each.read)) << "WK: " << key;
            if (observed.size() < 2) continue;
            EXPECT_EQ(shown(valueOf(observed.back(), key)),
                      shown(each.refusedByLibcurl ? "failed" : valueOf(observed.front(), key)))
                << "UI: " << key;
        }
    }
}

// Main-frame loads: the load ends, or fails, as in the engine alone.
TEST_P(WebViewMalformedAnswerService, MainFrameLoadsEndAsTheEngineEndsThem) {
    std::vector<Viewer> viewing = viewers();
    const std::set<std::string> loaded = {"two spaces", "head ended by the close",
                                          "chunked, deflate", "folded after chunked"};
    for (Viewer& viewer : viewing) {
        ASSERT_TRUE(viewer.view);
        const std::string folder = serveCases();
        for (size_t i = 0; i < cases().size(); ++i) {
            const Case& each = cases()[i];
            if (!loaded.contains(each.name)) continue;
            const auto url =
                *core::URL::create(origin.origin() + folder + "/answer-" + std::to_string(i) + "/");
            const size_t from = viewer.delegate->events.size();
            EXPECT_TRUE(loadAndWait(*viewer.view, *viewer.delegate, url)) << each.name;
            const auto& events = viewer.delegate->events;
            const bool failed = std::any_of(events.begin() + long(from), events.end(),
                                            [](const auto& e) { return e.starts_with("fail"); });
            EXPECT_EQ(failed, each.read == "failed")
                << (viewer.kind == Kind::WK ? "WK: " : "UI: ") << each.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewMalformedAnswerService, testing::ValuesIn(kKinds), kindName);

}  // namespace
