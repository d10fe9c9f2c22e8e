// What a page reads of an answer's fields, its framing and hop-by-hop ones
// among them, and the requests an HTTP/1.0 origin receives, the same in
// both kinds of web view: a raw origin sends each answer byte for byte, and
// a page fetches each one and reads every field it was shown. The "WK" kind
// (the engine alone) shows the fields as the origin sent them; the "UI" kind
// must show what the "WK" kind showed, and send what it sent.

#include <algorithm>

#include "WebViewTesting.h"
#include "core/JSON.h"
#include "support/RawOrigin.h"
#include "web/proxy/ProxyServer.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using testsupport::RawAnswer;
using testsupport::RawOrigin;
using testsupport::RawRequest;

using Kind = WebViewConfiguration::Kind;

struct Case {
    std::string name;
    std::string method;
    std::string bytes;
    // What the engine reads of it: "<status> / <every field> / <body>", or
    // "failed".
    std::string read;
    // What a "UI"-kind page reads where it differs.
    std::string readThroughTheProxy = {};
};

const std::string kChunkedHello = "5\r\nhello\r\n0\r\n\r\n";

const std::vector<Case> kCases = {
    {"HTTP/1.0 to the close", "GET", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello",
     "200 / content-type: text/plain / hello"},
    {"HTTP/1.1 to the close", "GET", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nhello",
     "200 / connection: close / hello"},
    {"length beside chunked", "GET",
     "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n" + kChunkedHello,
     "200 / content-length: 3 | transfer-encoding: chunked / hello"},
    {"length twice", "GET", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nhi",
     "200 / content-length: 2, 2 / hi"},
    {"chunked twice", "GET",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n" +
         kChunkedHello,
     "200 / transfer-encoding: chunked, chunked / hello"},
    {"keep-alive fields", "GET",
     "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nKeep-Alive: timeout=5\r\n"
     "Content-Length: 2\r\n\r\nhi",
     "200 / connection: keep-alive | content-length: 2 | keep-alive: timeout=5 / hi"},
    {"other hop-by-hop fields", "GET",
     "HTTP/1.1 200 OK\r\nProxy-Connection: x\r\nTE: y\r\nTrailer: z\r\nUpgrade: w\r\n"
     "Proxy-Authenticate: v\r\nContent-Length: 2\r\n\r\nhi",
     "200 / content-length: 2 | proxy-authenticate: v | proxy-connection: x | te: y | "
     "trailer: z | upgrade: w / hi"},
    // The engine's connection to the proxy outlives the origin's.
    {"close after a length", "GET",
     "HTTP/1.1 200 OK\r\nConnection: Keep-Alive, close\r\nContent-Length: 2\r\n\r\nhi",
     "200 / connection: Keep-Alive, close | content-length: 2 / hi",
     "200 / connection: Keep-Alive | content-length: 2 / hi"},
    {"HEAD with a length", "HEAD", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n",
     "200 / content-length: 5 / "},
    {"204 with a length", "GET", "HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n",
     "204 / content-length: 0 / "},

};

// Fetches each case as "answer-<index>/" of its folder with its method;
// window.obs holds what it read.
std::string page() {
    std::string methods;
    for (const Case& each : kCases) methods += "'" + each.method + "',";
    return R"(<!doctype html><meta charset=utf-8><body><script>
const METHODS = [)" +
           methods + R"(], BASE = location.href.replace(/page\.html$/, '');
window.obs = {};
const settle = p => Promise.race([Promise.resolve(p).catch(() => 'failed'),
                                  new Promise(r => setTimeout(() => r('timeout'), 8000))]);
const fields = headers => [...headers].map(([n, v]) => n + ': ' + v).join(' | ');
Promise.all(METHODS.map(async (method, i) => {
  obs[i] = await settle(fetch(BASE + 'answer-' + i + '/', {method}).then(async r =>
    [r.status, fields(r.headers), await r.text()].join(' / ')));
})).then(async () => {
  // One after another, so that each may go on the connection the last used.
  for (const i of [1, 2, 3])
    obs['old-' + i] = await settle(fetch(BASE + 'old-' + i).then(r => r.text()));
  window.answersRead = true;
});
</script>)";
}

struct Reading {
    std::map<std::string, std::string> read;  // by case name
    std::vector<std::string> oldRequests;     // as the HTTP/1.0 origin had them
};

Reading read(Kind kind, RawOrigin& origin) {
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(kind));
    if (!view) return {};
    const std::string folder = RawOrigin::newRun();
    for (size_t i = 0; i < kCases.size(); ++i)
        origin.answer(folder + "/answer-" + std::to_string(i) + "/",
                      RawAnswer::raw(kCases[i].bytes));
    origin.answer(folder + "/old-",
                  RawAnswer{"HTTP/1.0 200 OK", {{"Connection", "keep-alive"}}, "old"});
    origin.answer(folder + "/page.html", RawAnswer::html(page()));
    view->loadRequest(
        core::URLRequest(*core::URL::create(origin.origin() + folder + "/page.html")));
    EXPECT_TRUE(waitFor([&] {
        return evaluateScript(*view, "window.answersRead === true").value() == true;
    })) << kindLabel(kind)
        << ": the page did not read every answer in time";
    Reading reading;
    const auto parsed =
        core::JSON::parse(evaluateScript(*view, "JSON.stringify(obs)").value().stringValue());
    if (parsed && parsed->dictionary()) {
        for (size_t i = 0; i < kCases.size(); ++i)
            if (const core::Value* found = parsed->dictionary()->find(std::to_string(i)))
                reading.read[kCases[i].name] = found->stringValue();
        for (const char* key : {"old-1", "old-2", "old-3"})
            if (const core::Value* found = parsed->dictionary()->find(key))
                reading.read[key] = found->stringValue();
    }
    // Each as described, its run's folder (in its target and Referer) named
    // alike for every run.
    for (const RawRequest& request : origin.log(folder + "/old-")) {
        std::string described = request.describe();
        for (size_t at; (at = described.find(folder)) != std::string::npos;)
            described.replace(at, folder.size(), "/RUN");
        reading.oldRequests.push_back(std::move(described));
    }
    return reading;
}

std::string shown(const Reading& reading, const std::string& key) {
    const auto found = reading.read.find(key);
    return RawOrigin::printable(found == reading.read.end() ? "(none)" : found->second);
}

class WebViewAnswerFieldsService : public testing::TestWithParam<Kind> {};

// Every field as the origin sent it, however the body was framed (to the
// close, in chunks beside a length, by a length given twice); an HTTP/1.0
// origin that keeps its connection gets the requests the engine writes, in
// HTTP/1.1, one after another.
TEST_P(WebViewAnswerFieldsService, FieldsAndRequestsAsTheEngineHasThem) {
    RawOrigin origin;
    const Reading wk = read(Kind::WK, origin);
    for (const Case& each : kCases)
        EXPECT_EQ(shown(wk, each.name), RawOrigin::printable(each.read)) << "WK: " << each.name;
    for (const char* key : {"old-1", "old-2", "old-3"}) EXPECT_EQ(shown(wk, key), "old") << key;
    ASSERT_EQ(wk.oldRequests.size(), 3u);
    for (const std::string& request : wk.oldRequests)
        EXPECT_NE(request.find(" HTTP/1.1"), std::string::npos) << request;
    if (GetParam() == Kind::WK) return;
    const Reading ui = read(Kind::UI, origin);
    for (const Case& each : kCases) {
        EXPECT_EQ(shown(ui, each.name), each.readThroughTheProxy.empty()
                                            ? shown(wk, each.name)
                                            : RawOrigin::printable(each.readThroughTheProxy))
            << "UI: " << each.name;
    }
    for (const char* key : {"old-1", "old-2", "old-3"}) EXPECT_EQ(shown(ui, key), "old") << key;
    EXPECT_EQ(ui.oldRequests, wk.oldRequests);
}

// Answers of an origin that ends its connection after each, framed by
// their length, come to the engine on one connection to the proxy: the
// proxy's connections grow by no more than a few for twenty of them.
TEST(WebViewAnswerFieldsUIService, AnOriginsCloseKeepsTheEnginesConnection) {
    RawOrigin origin;
    const std::string folder = RawOrigin::newRun();
    origin.answer(folder + "/closing-", RawAnswer::raw("HTTP/1.1 200 OK\r\nConnection: close\r\n"
                                                       "Content-Length: 2\r\n\r\nhi"));
    origin.answer(folder + "/page.html", RawAnswer::html(R"(<!doctype html><script>
window.go = async () => {
  let text = '';
  for (let i = 0; i < 20; ++i) text += await fetch('closing-' + i).then(r => r.text());
  window.text = text;
};
</script>)"));
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(Kind::UI));
    ASSERT_TRUE(view);
    ASSERT_TRUE(
        loadAndWait(*view, *delegate, *core::URL::create(origin.origin() + folder + "/page.html")));
    const std::uint64_t before = web::proxy::Server::acceptedConnections();
    (void)evaluate(*view, "go(); 0");
    ASSERT_TRUE(
        waitFor([&] { return evaluate(*view, "typeof window.text") == core::Value("string"); }));
    std::string twenty;
    for (int i = 0; i < 20; ++i) twenty += "hi";
    EXPECT_EQ(evaluate(*view, "window.text"), core::Value(twenty));
    EXPECT_EQ(origin.log(folder + "/closing-").size(), 20u);
    EXPECT_LE(web::proxy::Server::acceptedConnections() - before, 3u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewAnswerFieldsService, testing::ValuesIn(kKinds), kindName);

}  // namespace
