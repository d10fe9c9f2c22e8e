// Uploads of every size, the same in both kinds of web view: a page sends a
// body far larger than anything the app holds at once (70 MiB), and empty
// ones, to a raw origin that logs each request's fields as bytes and its
// body whole. The "WK" kind (the engine alone) must send what a browser
// sends; the "UI" kind exactly what the "WK" kind sent, its page observing
// the same answers.

#include <algorithm>

#include "WebViewTesting.h"
#include "core/JSON.h"
#include "core/MD5.h"
#include "support/RawOrigin.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using testsupport::RawAnswer;
using testsupport::RawOrigin;
using testsupport::RawRequest;

using Kind = WebViewConfiguration::Kind;

// Seconds a page may take to send what it sends.
constexpr double kPageLimit = 90;

// What a page observed (window.obs), then each request the origin received
// from it below "sink-", as compared.
using PageRun = std::vector<std::string>;

std::string compared(const RawRequest& request, const std::string& folder) {
    std::string text = request.method + " /RUN" + request.target.substr(folder.size());
    for (const char* name : {"Content-Length", "Transfer-Encoding", "Content-Type"})
        if (const std::string* value = request.field(name)) text += " | " + *value;
    text += " | body " + std::to_string(request.body.size());
    if (!request.body.empty()) text += " " + core::SHA256::hex(request.body);
    return text;
}

class WebViewUploadService : public testing::TestWithParam<Kind> {
protected:
    // Runs script (with note(key, value) and answerOf(a fetch) at hand) in a
    // page of the origin in a fresh view of the kind; the page's sinks
    // answer 200 "taken".
    PageRun run(const std::string& script, Kind kind) {
        const std::string folder = RawOrigin::newRun();
        origin.answer(folder + "/page-1", RawAnswer::html(R"(<script>
window.obs = {};
const note = (key, value) => { window.obs[key] = String(value); };
const answerOf = fetched => fetched.then(r => r.text().then(t => r.status + ' ' + t),
                                         () => 'failed');
(async () => {
)" + script + "\nwindow.uploadDone = true;\n})();</script>"));
        origin.answer(folder + "/sink-", RawAnswer{"HTTP/1.1 200 OK", {}, "taken"});
        RawAnswer refusal{"HTTP/1.1 413 Payload Too Large", {}, "refused"};
        refusal.beforeBody = true;
        origin.answer(folder + "/refused-", std::move(refusal));
        const auto delegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(delegate, configurationOf(kind));
        if (!view) return {};
        view->loadRequest(
            core::URLRequest(core::URL::create(origin.origin() + folder + "/page-1").value()));
        EXPECT_TRUE(waitFor(
            [&] { return evaluate(*view, "window.uploadDone === true") == core::Value(true); },
            kPageLimit))
            << kindLabel(kind) << ": the page did not finish";
        PageRun run{evaluate(*view, "JSON.stringify(window.obs)").stringValue()};
        for (const RawRequest& request : origin.log(folder + "/sink-"))
            run.push_back(compared(request, folder));
        std::sort(run.begin() + 1, run.end());
        view->stopLoading();
        return run;
    }

    // Runs the page in the "WK" kind, checking what it observed and requests
    // the origin must have received; for "UI", then in that kind too.
    void conform(const std::string& script, const std::string& observed,
                 const std::vector<std::string>& heard) {
        const PageRun wk = run(script, Kind::WK);
        ASSERT_FALSE(wk.empty());
        EXPECT_EQ(wk.front(), observed) << "WK";
        for (const std::string& request : heard)
            EXPECT_EQ(std::count(wk.begin(), wk.end(), request), 1)
                << "WK: \"" << request << "\" not received once; received:\n"
                << testing::PrintToString(wk);
        if (GetParam() == Kind::UI) {
            EXPECT_EQ(run(script, Kind::UI), wk) << "(UI, WK)";
        }
    }

    RawOrigin origin;
};

// A body of 70 MiB goes whole, with its length.
TEST_P(WebViewUploadService, ALargeBodyGoesWhole) {
    constexpr size_t kBytes = size_t(70) << 20;
    std::string body(kBytes, '\0');
    for (size_t i = 0; i < kBytes; ++i) body[i] = char((i * 31 + (i >> 16)) & 255);
    conform("const bytes = new Uint8Array(" + std::to_string(kBytes) + R"js();
for (let i = 0; i < bytes.length; ++i) bytes[i] = (i * 31 + Math.floor(i / 65536)) & 255;
note('large', await answerOf(fetch('sink-1/large', {
  method: 'POST', body: bytes, headers: {'Content-Type': 'application/octet-stream'}})));
)js",
            R"({"large":"200 taken"})",
            {"POST /RUN/sink-1/large | " + std::to_string(kBytes) +
             " | application/octet-stream | body " + std::to_string(kBytes) + " " +
             core::SHA256::hex(body)});
}

// Empty bodies keep their length: a PUT or POST without content goes with
// "Content-Length: 0" (servers may refuse a PUT without one).
TEST_P(WebViewUploadService, EmptyBodiesKeepTheirLength) {
    conform(R"js(
note('put', await answerOf(fetch('sink-1/put', {method: 'PUT'})));
note('post', await answerOf(fetch('sink-1/post', {method: 'POST'})));
note('patch', await answerOf(fetch('sink-1/patch', {method: 'PATCH', body: ''})));
const request = new XMLHttpRequest();
request.open('PUT', 'sink-1/xhr');
note('xhr', await new Promise(done => {
  request.onload = () => done(request.status + ' ' + request.responseText);
  request.onerror = () => done('failed');
  request.send();
}));
)js",
            R"({"put":"200 taken","post":"200 taken","patch":"200 taken","xhr":"200 taken"})",
            {"PUT /RUN/sink-1/put | 0 | body 0", "POST /RUN/sink-1/post | 0 | body 0"});
}

// An origin that answers before it reads a body (and then reads and drops
// it, as servers do) is heard whatever the body's length, by fetch and XHR.
TEST_P(WebViewUploadService, AnEarlyRefusalReachesThePage) {
    conform(R"js(
for (const size of [1024, 32 << 20, 100 << 20])
  note('fetch ' + size, await answerOf(fetch('refused-1/' + size,
                                             {method: 'POST', body: new Uint8Array(size)})));
const request = new XMLHttpRequest();
request.open('POST', 'refused-1/xhr');
note('xhr', await new Promise(done => {
  request.onload = () => done(request.status + ' ' + request.responseText);
  request.onerror = () => done('failed');
  request.send(new Uint8Array(100 << 20));
}));
)js",
            R"({"fetch 1024":"413 refused","fetch 33554432":"413 refused",)"
            R"("fetch 104857600":"413 refused","xhr":"413 refused"})",
            {});
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewUploadService, testing::ValuesIn(kKinds), kindName);

}  // namespace
