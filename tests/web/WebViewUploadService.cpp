// Uploads of every size, the same in both kinds of web view: a page sends a
// body far larger than anything the app holds at once (70 MiB), and bodies
// that are empty, to a raw origin (testsupport::RawOrigin) that logs each
// request's fields as bytes and its body whole.
//
// A "WK"-kind view, where the engine loads the page itself, must make the
// origin receive what a browser sends (the facts each case is sure of); a
// "UI"-kind view must make it receive exactly what the "WK" kind's did (each
// request's method, target, framing fields and body, compared by length
// and digest), and its page must observe the same answers. The kinds run
// one after the other, each in a fresh view with a folder of its own on the
// origin.

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "WebViewTesting.h"
#include "core/JSON.h"
#include "core/MD5.h"
#include "support/RawOrigin.h"
#include "support/ResidentMemory.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using testsupport::RawAnswer;
using testsupport::RawOrigin;
using testsupport::RawRequest;

using Kind = WebViewConfiguration::Kind;
using Observations = std::map<std::string, std::string>;

// Seconds a page may take to send what it sends and note the answers.
constexpr double kPageLimit = 90;

const char* kindLabel(Kind kind) {
    return kind == Kind::WK ? "WK" : "UI";
}

// Shared by the pages: note(key, value) into window.obs, and answerOf(a
// fetch) as "<status> <text>" or "failed".
constexpr const char* kHelpers = R"js(
window.obs = {};
const note = (key, value) => { window.obs[key] = String(value); };
const answerOf = fetched => fetched.then(r => r.text().then(t => r.status + ' ' + t),
                                         () => 'failed');
)js";

// Byte i of the large body, as the page and the test make it.
std::uint8_t patternByte(size_t i) {
    return std::uint8_t((i * 31 + (i >> 16)) & 255);
}
constexpr const char* kPatternScript = "i => (i * 31 + Math.floor(i / 65536)) & 255";

// A request as compared between the kinds: its line with the run's folder
// as "/RUN", its framing and type fields, and its body by length and, past
// a few bytes, digest.
std::string compared(const RawRequest& request, const std::string& folder) {
    std::string target = request.target;
    if (target.starts_with(folder)) target.replace(0, folder.size(), "/RUN");
    std::string text = request.method + " " + target;
    for (const char* name : {"Content-Length", "Transfer-Encoding", "Content-Type"})
        if (const std::string* value = request.field(name))
            text += " | " + std::string(name) + ": " + *value;
    text += " | body " + std::to_string(request.body.size());
    if (!request.body.empty())
        text += " " + (request.body.size() <= 64 ? RawOrigin::printable(request.body)
                                                 : core::SHA256::hex(request.body));
    return text;
}

struct PageRun {
    Kind kind = Kind::WK;
    bool finished = false;
    Observations observations;
    // The page's requests below its sinks, as compared, in order of arrival.
    std::vector<std::string> requests;
    std::int64_t residentGrowth = 0;
};

class WebViewUploadService : public testing::TestWithParam<Kind> {
protected:
    // Runs the page's script in a fresh view of the kind, on a page of the
    // origin whose sinks ("sink-<n>/...") answer 200 "taken", until it sets
    // window.uploadDone (or limit passes).
    PageRun run(const std::string& script, Kind kind, double limit = kPageLimit) {
        PageRun run;
        run.kind = kind;
        const std::string folder = RawOrigin::newRun();
        origin.answer(folder + "/page-1",
                      RawAnswer::html("<!doctype html><meta charset=utf-8><script>" +
                                      std::string(kHelpers) + "(async () => {\n" + script +
                                      "\nwindow.uploadDone = true;\n})();</script>"));
        origin.answer(folder + "/sink-",
                      RawAnswer{"HTTP/1.1 200 OK",
                                {{"Content-Type", "text/plain"}, {"Cache-Control", "no-store"}},
                                "taken"});
        const auto delegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(delegate, configurationOf(kind));
        if (!view) return run;
        const std::int64_t before = testsupport::residentBytes();
        std::atomic<std::int64_t> most{before};
        std::atomic<bool> sampling{true};
        std::thread sampler([&] {
            while (sampling) {
                most = std::max(most.load(), testsupport::residentBytes());
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        view->loadRequest(
            core::URLRequest(core::URL::create(origin.origin() + folder + "/page-1").value()));
        run.finished = waitFor(
            [&] {
                const web::JSResult done = evaluateScript(*view, "window.uploadDone === true");
                return done.ok() && done.value() == core::Value(true);
            },
            limit);
        sampling = false;
        sampler.join();
        run.residentGrowth = most - before;
        const web::JSResult read = evaluateScript(*view, "JSON.stringify(window.obs || {})");
        if (read.ok()) {
            if (auto parsed = core::JSON::parse(read.value().stringValue());
                parsed && parsed->dictionary()) {
                for (const auto& [key, value] : *parsed->dictionary())
                    run.observations[key] = value.stringValue();
            }
        }
        for (const RawRequest& request : origin.log(folder + "/sink-"))
            run.requests.push_back(compared(request, folder));
        view->stopLoading();
        return run;
    }

    // Runs the page in a "WK"-kind view and checks what is known of it; for
    // the "UI" kind, then in a "UI"-kind view, expecting the same
    // observations and requests. Answers the run of the parameter's kind.
    PageRun conform(const std::string& script, const Observations& known,
                    const std::vector<std::string>& heard) {
        const PageRun wk = run(script, Kind::WK);
        EXPECT_TRUE(wk.finished) << "the WK-kind page did not finish in " << kPageLimit << " s";
        for (const auto& [key, value] : known) {
            const auto found = wk.observations.find(key);
            EXPECT_EQ(found == wk.observations.end() ? "(none)" : found->second, value)
                << "WK observation \"" << key << "\"";
        }
        for (const std::string& request : heard)
            EXPECT_EQ(std::count(wk.requests.begin(), wk.requests.end(), request), 1)
                << "WK: \"" << request << "\" not received once; received:\n"
                << testing::PrintToString(wk.requests);
        if (GetParam() == Kind::WK) return wk;
        const PageRun ui = run(script, Kind::UI);
        EXPECT_TRUE(ui.finished) << "the UI-kind page did not finish in " << kPageLimit << " s";
        EXPECT_EQ(ui.observations, wk.observations) << "what the pages observed differs";
        std::vector<std::string> wkRequests = wk.requests;
        std::vector<std::string> uiRequests = ui.requests;
        std::sort(wkRequests.begin(), wkRequests.end());
        std::sort(uiRequests.begin(), uiRequests.end());
        EXPECT_EQ(uiRequests, wkRequests) << "what the origin received differs (UI, WK)";
        return ui;
    }

    RawOrigin origin;
};

// A body of 70 MiB goes whole in both kinds, with its length, and the page
// reads the answer.
TEST_P(WebViewUploadService, ALargeBodyGoesWhole) {
    constexpr size_t kBytes = size_t(70) << 20;
    std::string body(kBytes, '\0');
    for (size_t i = 0; i < kBytes; ++i) body[i] = char(patternByte(i));
    const std::string script =
        "const size = " + std::to_string(kBytes) + ";\nconst byteAt = " + kPatternScript + R"js(;
const bytes = new Uint8Array(size);
for (let i = 0; i < size; ++i) bytes[i] = byteAt(i);
note('large', await answerOf(fetch('sink-1/large', {
  method: 'POST', body: bytes, headers: {'Content-Type': 'application/octet-stream'}})));
)js";
    const PageRun run =
        conform(script, {{"large", "200 taken"}},
                {"POST /RUN/sink-1/large | Content-Length: " + std::to_string(kBytes) +
                 " | Content-Type: application/octet-stream | body " + std::to_string(kBytes) +
                 " " + core::SHA256::hex(body)});
    RecordProperty(std::string(kindLabel(run.kind)) + "ResidentGrowthKiB",
                   std::to_string(run.residentGrowth >> 10));
}

// Bodies that are empty keep their length: a PUT or POST without content
// goes with "Content-Length: 0" (servers may refuse a PUT without one).
TEST_P(WebViewUploadService, EmptyBodiesKeepTheirLength) {
    conform(R"js(
note('put', await answerOf(fetch('sink-1/put', {method: 'PUT'})));
note('post', await answerOf(fetch('sink-1/post', {method: 'POST'})));
note('patch', await answerOf(fetch('sink-1/patch', {method: 'PATCH', body: ''})));
note('xhrPut', await new Promise(done => {
  const request = new XMLHttpRequest();
  request.open('PUT', 'sink-1/xhr');
  request.onload = () => done(request.status + ' ' + request.responseText);
  request.onerror = () => done('failed');
  request.send();
}));
)js",
            {{"put", "200 taken"},
             {"post", "200 taken"},
             {"patch", "200 taken"},
             {"xhrPut", "200 taken"}},
            {"PUT /RUN/sink-1/put | Content-Length: 0 | body 0",
             "POST /RUN/sink-1/post | Content-Length: 0 | body 0"});
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewUploadService, testing::ValuesIn(kKinds), kindName);

}  // namespace
