// Answers with unusual or malformed status lines, heads and framing, the
// same in both kinds of web view: a raw origin sends each answer byte for
// byte and ends the connection, and a page fetches each one; a WebSocket's
// 101 with two spaces must open. The "WK" kind (the engine alone) must read
// each as the engine's network stack does; the "UI" kind exactly as the "WK"
// kind did (a failure compared as one), but for the few answers libcurl
// refuses before the app sees them, and a body cut short that the engine
// would take for whole, which the "UI" kind fails.

#include "WebViewTesting.h"
#include "core/JSON.h"
#include "support/RawOrigin.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using testsupport::RawAnswer;
using testsupport::RawOrigin;

using Kind = WebViewConfiguration::Kind;

struct Case {
    std::string name;
    std::string bytes;
    // What the engine reads of it, "<status> / <statusText> / <x- fields>
    // / <body>", or "failed".
    std::string read;
    // The "UI" kind fails it: libcurl refuses it before the app sees it, or
    // the app will not tell a broken answer as a whole one.
    bool failsThroughTheProxy = false;
};

// A 200 with "hello", framed by the fields, after the status line.
std::string answer(const std::string& statusLine, const std::string& fields) {
    return statusLine + "\r\nContent-Type: text/plain\r\n" + fields + "\r\n" +
           (fields.find("chunked") != std::string::npos ? "5\r\nhello\r\n0\r\n\r\n" : "hello");
}

const std::string kLength = "Content-Length: 5\r\n";
const std::string kHello = "200 / OK /  / hello";

const std::vector<Case> kCases = {
    {"two spaces", answer("HTTP/1.1  200 OK", kLength), kHello},
    {"two spaces, HTTP/1.0", answer("HTTP/1.0  200 OK", ""), kHello},
    {"tab after the status", answer("HTTP/1.1 200\tOK", kLength), kHello},
    {"blanks around the reason", answer("HTTP/1.1 200   Very  OK  ", kLength),
     "200 / Very  OK /  / hello"},
    {"head ended by the close", "HTTP/1.1 999 DOES IT MATTER\r\n", "999 / DOES IT MATTER /  / "},
    {"fields ended by the close", "HTTP/1.1 200 OK\r\nX-A: a\r\n b\r\n", "200 / OK / x-a: a b / "},
    {"status line ended by the close", "HTTP/1.1 999 DOES IT MATTER", "failed"},
    {"folded field", answer("HTTP/1.1 200 OK", "X-Fold: a\r\n b\r\n\tc\r\n" + kLength),
     "200 / OK / x-fold: a b c / hello"},
    {"blank in a field name", answer("HTTP/1.1 200 OK", "X-Bad : v\r\nX-Good: w\r\n" + kLength),
     "200 / OK / x-good: w / hello"},
    {"chunked, deflate", answer("HTTP/1.1 200 OK", "Transfer-Encoding: chunked, deflate\r\n"),
     "failed"},
    {"chunkedchunked", answer("HTTP/1.1 200 OK", "Transfer-Encoding: chunkedchunked\r\n"),
     "failed"},
    {"folded after chunked",
     answer("HTTP/1.1 200 OK", "Transfer-Encoding: chunked\r\n , identity\r\n"), "failed"},
    {"chunked, then gzip",
     answer("HTTP/1.1 200 OK", "Transfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n"),
     "failed"},
    {"gzip, then chunked",
     answer("HTTP/1.1 200 OK", "Transfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n"),
     kHello},
    {"length no number", answer("HTTP/1.1 200 OK", "Content-Length: 5x\r\n"), "failed"},
    // A head the close cuts inside a line, or with a NUL, is no answer.
    {"close inside a field line", "HTTP/1.1 200 OKAYISH\nheader: value\t", "failed"},
    {"close inside a field name", "HTTP/1.1 200 OK\r\nX-", "failed"},
    {"close inside a value", "HTTP/1.1 200 OK\r\nX-A: a", "failed"},
    {"close after a value's CR", "HTTP/1.1 200 OK\r\nX-A: a\r", "failed"},
    {"close after the status line's CR", "HTTP/1.1 200 OK\r", "failed"},
    {"NUL starting a field line", answer("HTTP/1.1 200 OK", std::string("\0X: y\r\n", 7) + kLength),
     "failed"},
    {"NUL in a value", answer("HTTP/1.1 200 OK", std::string("X-A: a\0b\r\n", 11) + kLength),
     "failed"},
    {"the last chunk, then the close",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n", kHello},
    {"an origin's 407",
     "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"o\"\r\n"
     "X-Seen: 407\r\n" +
         kLength + "\r\nhello",
     "407 / Proxy Authentication Required / x-seen: 407 / hello"},
    {"CR in the reason", answer("HTTP/1.1 200 O\rK", kLength), "200 / O\rK /  / hello"},
    // What the engine reads and libcurl does not.
    {"tab before the status", answer("HTTP/1.1\t200 OK", kLength), kHello, true},
    {"line end before the status line", "\r\n" + answer("HTTP/1.1 200 OK", kLength), kHello, true},
    {"blank before the first field", answer("HTTP/1.1 200 OK\r\n X-Lead: v", kLength), kHello,
     true},
    {"empty length", "HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\n", "200 / OK /  / ", true},
    // (A chunked body that never began is empty to the engine.)
    {"chunked head ended by the close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n",
     "200 / OK /  / ", true},
    // libcurl fails an answer with a field line it cannot take apart; the
    // engine skips the line.
    {"line without a colon", answer("HTTP/1.1 200 OK", "NoColon\r\nX-After: v\r\n" + kLength),
     "200 / OK / x-after: v / hello", true},
    {"CR inside a field line", answer("HTTP/1.1 200 OK", "X-CR: a\rb\r\n" + kLength),
     "200 / OK / x-cr: a b / hello"},
    // The engine reads a body whose answer says "Connection: close" to the
    // connection's end, whatever length the answer gave; the app fails one
    // that falls short of it.
    {"close before the length",
     "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 10\r\n\r\nhello",
     "200 / OK /  / hello", true},
    {"CR starting a field line", answer("HTTP/1.1 200 OK", "\rX-CR: a\r\n" + kLength),
     "200 / OK /  / hello", true},
};

// Fetches each case as "answer-<index>/" of its folder, and echoes a
// message over "socket/"; window.obs holds what it read.
std::string page() {
    return R"(<!doctype html><meta charset=utf-8><body><script>
const COUNT = )" +
           std::to_string(kCases.size()) +
           R"(, BASE = location.href.replace(/page\.html$/, '');
window.obs = {};
const settle = p => Promise.race([Promise.resolve(p).catch(() => 'failed'),
                                  new Promise(r => setTimeout(() => r('timeout'), 8000))]);
const xFields = headers => [...headers].filter(([n]) => n.startsWith('x-'))
                                       .map(([n, v]) => n + ': ' + v).join(' | ');
const echoed = url => new Promise((resolve, reject) => {
  const socket = new WebSocket(url.replace(/^http/, 'ws'));
  socket.onopen = () => socket.send('hi');
  socket.onmessage = e => { resolve('echo ' + e.data); socket.close(); };
  socket.onerror = socket.onclose = reject;
});
Promise.all([...[...Array(COUNT).keys()].map(async i => {
  obs[i] = await settle(fetch(BASE + 'answer-' + i + '/').then(async r =>
    [r.status, r.statusText, xFields(r.headers), await r.text()].join(' / ')));
}), settle(echoed(BASE + 'socket/')).then(v => { obs.socket = v; })])
  .then(() => { window.answersRead = true; });
</script>)";
}

// What the kind's page read of every case, by its name, and of the socket.
std::map<std::string, std::string> read(Kind kind, RawOrigin& origin) {
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(kind));
    if (!view) return {};
    const std::string folder = RawOrigin::newRun();
    origin.answer(folder + "/socket/", {"HTTP/1.1  101 Switching Protocols", {}, {}});
    for (size_t i = 0; i < kCases.size(); ++i)
        origin.answer(folder + "/answer-" + std::to_string(i) + "/",
                      RawAnswer::raw(kCases[i].bytes));
    origin.answer(folder + "/page.html", RawAnswer::html(page()));
    view->loadRequest(
        core::URLRequest(*core::URL::create(origin.origin() + folder + "/page.html")));
    EXPECT_TRUE(waitFor([&] {
        return evaluateScript(*view, "window.answersRead === true").value() == true;
    })) << "the page did not read every answer in time";
    std::map<std::string, std::string> observed;
    const auto parsed =
        core::JSON::parse(evaluateScript(*view, "JSON.stringify(obs)").value().stringValue());
    if (!parsed || !parsed->dictionary()) return observed;
    const core::Dictionary& values = *parsed->dictionary();
    for (size_t i = 0; i < kCases.size(); ++i)
        if (const core::Value* found = values.find(std::to_string(i)))
            observed[kCases[i].name] = found->stringValue();
    if (const core::Value* found = values.find("socket")) observed["socket"] = found->stringValue();
    return observed;
}

std::string shown(const std::map<std::string, std::string>& read, const std::string& key) {
    return RawOrigin::printable(read.contains(key) ? read.at(key) : "(none)");
}

class WebViewMalformedAnswerService : public testing::TestWithParam<Kind> {};

TEST_P(WebViewMalformedAnswerService, AnswersReadAsTheEngineReadsThem) {
    RawOrigin origin;
    const auto wk = read(Kind::WK, origin);
    for (const Case& each : kCases)
        EXPECT_EQ(shown(wk, each.name), RawOrigin::printable(each.read)) << "WK: " << each.name;
    EXPECT_EQ(shown(wk, "socket"), "echo hi") << "WK";
    if (GetParam() == Kind::WK) return;
    const auto ui = read(Kind::UI, origin);
    for (const Case& each : kCases)
        EXPECT_EQ(shown(ui, each.name), each.failsThroughTheProxy ? "failed" : shown(wk, each.name))
            << "UI: " << each.name;
    EXPECT_EQ(shown(ui, "socket"), "echo hi") << "UI";
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewMalformedAnswerService, testing::ValuesIn(kKinds), kindName);

}  // namespace
