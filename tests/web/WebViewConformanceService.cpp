// The same pages in both kinds of web view, compared: what each page
// observes (cookies, frames and their origins, messages, CORS, redirects,
// posts, referrers, sockets and event streams) and what the server receives
// from it. A "WK"-kind view, where the engine loads the page itself, must see
// what a browser sees (the facts each case is sure of); a "UI"-kind view must
// see exactly what the "WK" kind saw, and make the server receive the same
// requests with the same header fields and bodies.
//
// A "UI"-kind page's requests reach the app's URL layer, each naming its
// page (and the main document it belongs to): every one the layer is
// offered must name the run's page.
//
// Each run of a page gets a fresh view and a folder of its own on the
// server, and starts with the engine's cookies and storage cleared, so no
// cookie (other tests' included), storage key or log entry of one run
// reaches the next. Observations and the log are compared with the origins as labels
// (A, B and C, see ConformanceServer.h) and without the run's folder. Pages
// bound their own waits ("timeout" where something never came), and the
// harness reads whatever a page observed by kPageLimit.

#include <algorithm>
#include <atomic>
#include <optional>
#include <set>
#include <thread>

#include <webkit2/webkit2.h>

#include "ConformanceServer.h"
#include "WebViewTesting.h"
#include "core/URLProtocolRegistry.h"
#include "support/ResidentMemory.h"
#include "web/WebContext.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;

using Kind = WebViewConfiguration::Kind;
using Observations = std::map<std::string, std::string>;

// Seconds a page may take to observe everything before the harness reads
// what it has; each page gives up on what it waits for before.
constexpr double kPageLimit = 10;
// Seconds the server may take to receive what a page sent as it ended
// (beacons).
constexpr double kAwaitedLimit = 3;

// A request the server must have received `count` times, each with these
// header fields ("" for a field it must not carry) and, when set, this body.
struct Heard {
    std::string line;  // as ConformanceRequest::line()
    std::map<std::string, std::string> fields = {};
    std::optional<std::string> body = std::nullopt;
    size_t count = 1;
};

struct PageRun {
    Kind kind = Kind::WK;
    bool finished = false;
    Observations observations;
    std::vector<ConformanceRequest> log;
    std::string folder;
    // "UI" kind only: the view's page, and what the URL layer was offered.
    std::uint64_t pageId = 0;
    std::vector<OfferRecorder::Offer> offers;
};

std::optional<std::string> valueOf(const std::map<std::string, std::string>& map,
                                   const std::string& key) {
    auto found = map.find(key);
    return found == map.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::string shown(const std::optional<std::string>& text) {
    return text ? "\"" + *text + "\"" : "(none)";
}

std::string indented(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += "  " + line + "\n";
    return text;
}

std::string logText(const std::vector<ConformanceRequest>& log) {
    std::vector<std::string> lines;
    for (const auto& request : log) lines.push_back(request.describe());
    return indented(lines);
}

// One line for each key whose value differs (or that one kind lacks).
std::vector<std::string> observationDifferences(const PageRun& wk, const PageRun& ui) {
    std::set<std::string> keys;
    for (const auto& entry : wk.observations) keys.insert(entry.first);
    for (const auto& entry : ui.observations) keys.insert(entry.first);
    std::vector<std::string> differences;
    for (const auto& key : keys) {
        const auto wkValue = valueOf(wk.observations, key);
        const auto uiValue = valueOf(ui.observations, key);
        if (wkValue != uiValue)
            differences.push_back(key + ": WK " + shown(wkValue) + ", UI " + shown(uiValue));
    }
    return differences;
}

// The requests of each line, paired in order of their fields and bodies:
// one line for each request line one kind sent more often than the other,
// and one for each difference of a field or body within the pairs, with the
// requests it was found on.
std::vector<std::string> logDifferences(const PageRun& wk, const PageRun& ui) {
    std::map<std::string, std::vector<const ConformanceRequest*>> wkByLine, uiByLine;
    std::set<std::string> lines;
    for (const auto& request : wk.log) {
        wkByLine[request.line()].push_back(&request);
        lines.insert(request.line());
    }
    for (const auto& request : ui.log) {
        uiByLine[request.line()].push_back(&request);
        lines.insert(request.line());
    }
    std::vector<std::string> differences;
    std::vector<std::pair<std::string, std::vector<std::string>>> fieldDifferences;
    const auto found = [&](const std::string& difference, const std::string& line) {
        auto same = std::find_if(fieldDifferences.begin(), fieldDifferences.end(),
                                 [&](const auto& entry) { return entry.first == difference; });
        if (same == fieldDifferences.end())
            fieldDifferences.push_back({difference, {line}});
        else
            same->second.push_back(line);
    };
    const auto order = [](const ConformanceRequest* a, const ConformanceRequest* b) {
        return a->describe() < b->describe();
    };
    for (const auto& line : lines) {
        auto wkRequests = wkByLine[line];
        auto uiRequests = uiByLine[line];
        if (wkRequests.size() != uiRequests.size())
            differences.push_back(line + ": sent " + std::to_string(wkRequests.size()) +
                                  " times by WK, " + std::to_string(uiRequests.size()) + " by UI");
        std::sort(wkRequests.begin(), wkRequests.end(), order);
        std::sort(uiRequests.begin(), uiRequests.end(), order);
        for (size_t i = 0; i < std::min(wkRequests.size(), uiRequests.size()); ++i) {
            for (const auto& name : ConformanceServer::kLoggedFields) {
                const auto wkValue = valueOf(wkRequests[i]->fields, name);
                const auto uiValue = valueOf(uiRequests[i]->fields, name);
                if (wkValue != uiValue)
                    found(name + ": WK " + shown(wkValue) + ", UI " + shown(uiValue), line);
            }
            if (wkRequests[i]->body != uiRequests[i]->body)
                found("body: WK " + shown(wkRequests[i]->body) + ", UI " +
                          shown(uiRequests[i]->body),
                      line);
        }
    }
    for (const auto& [difference, where] : fieldDifferences) {
        std::string text = difference + ", on " + std::to_string(where.size()) + " request" +
                           (where.size() == 1 ? "" : "s") + ":";
        for (const auto& line : where) text += "\n      " + line;
        differences.push_back(text);
    }
    return differences;
}

class WebViewConformanceService : public testing::TestWithParam<Kind> {
protected:
    // A page being loaded in a view of its own.
    struct Running {
        PageRun run;
        std::shared_ptr<RecordingDelegate> delegate;
        std::shared_ptr<web::WebView> view;
        // "UI" kind only: what the URL layer is offered, registered until
        // the run is gathered.
        std::shared_ptr<OfferRecorder> recorder;
    };

    // Starts loading start (a path and query on A) in a fresh view of the
    // kind.
    Running begin(const std::string& start, Kind kind) {
        Running running;
        running.run.kind = kind;
        running.run.folder = ConformanceServer::newRun();
        running.delegate = std::make_shared<RecordingDelegate>();
        running.view = makeView(running.delegate, configurationOf(kind));
        if (!running.view) return running;
        const auto recorder = std::make_shared<OfferRecorder>(running.run.folder + "/");
        if (kind == Kind::UI && core::URLProtocolRegistry::shared().registerFactory(recorder)) {
            running.recorder = recorder;
            running.run.pageId = running.view->pageIdentifier();
        }
        EXPECT_TRUE(clearWebsiteData(kind)) << "the engine's cookies were not cleared in time";
        running.view->loadRequest(core::URLRequest(
            core::URL::create(server.origin('A') + running.run.folder + start).value()));
        return running;
    }

    static bool isDone(const Running& running) {
        if (!running.view) return true;
        const web::JSResult result =
            evaluateScript(*running.view, "window.conformanceDone === true");
        return result.ok() && result.value() == core::Value(true);
    }

    // Gathers what the page observed and what the server received: once
    // the log holds a request of each line in awaited (or kAwaitedLimit
    // passed).
    PageRun gather(Running& running, const std::vector<std::string>& awaited) {
        PageRun& run = running.run;
        if (!running.view) return run;
        const std::string& folder = running.run.folder;
        for (const auto& [key, value] : pageObservations(*running.view))
            run.observations[key] = server.normalise(value, folder);
        (void)waitFor(
            [&] {
                const auto log = server.log(folder);
                return std::all_of(awaited.begin(), awaited.end(), [&](const std::string& line) {
                    return std::any_of(log.begin(), log.end(), [&](const ConformanceRequest& r) {
                        return r.line() == line;
                    });
                });
            },
            kAwaitedLimit);
        run.log = server.log(folder);
        running.view->stopLoading();
        if (running.recorder) {
            core::URLProtocolRegistry::shared().unregisterFactory(running.recorder);
            run.offers = running.recorder->offers();
        }
        return run;
    }

    // Loads start in a fresh view of the kind and gathers what the page
    // observed and what the server received, once the page is done (or
    // limit passed).
    PageRun load(const std::string& start, Kind kind, const std::vector<std::string>& awaited,
                 double limit = kPageLimit) {
        Running running = begin(start, kind);
        running.run.finished = waitFor([&] { return isDone(running); }, limit);
        return gather(running, awaited);
    }

    // Runs the page in a "WK"-kind view and checks the facts known of it;
    // for the "UI" kind, runs it in a "UI"-kind view too and expects the
    // same observations and requests, each request the app's URL layer was
    // offered naming the page. A page that takes long is run in both kinds
    // at once. Answers the run of the parameter's kind.
    PageRun conform(const std::string& start, const Observations& known,
                    const std::vector<Heard>& heard, const std::vector<std::string>& awaited = {},
                    double limit = kPageLimit) {
        PageRun wk;
        std::optional<PageRun> ui;
        if (GetParam() == Kind::UI && limit > kPageLimit) {
            Running both[] = {begin(start, Kind::WK), begin(start, Kind::UI)};
            (void)waitFor([&] { return isDone(both[0]) && isDone(both[1]); }, limit);
            for (Running& running : both) running.run.finished = isDone(running);
            wk = gather(both[0], awaited);
            ui = gather(both[1], awaited);
        } else {
            wk = load(start, Kind::WK, awaited, limit);
        }
        EXPECT_TRUE(wk.finished) << "the WK-kind page did not finish in " << limit << " s";
        for (const auto& [key, value] : known)
            EXPECT_EQ(shown(valueOf(wk.observations, key)), shown(value))
                << "WK observation \"" << key << "\"";
        checkHeard(wk, heard);
        if (GetParam() == Kind::WK) return wk;

        if (!ui) ui = load(start, Kind::UI, awaited, limit);
        EXPECT_TRUE(ui->finished) << "the UI-kind page did not finish in " << limit << " s";
        const std::vector<std::string> observed = observationDifferences(wk, *ui);
        EXPECT_TRUE(observed.empty()) << "what the UI-kind page observed differs from the WK kind ("
                                      << observed.size() << "):\n"
                                      << indented(observed);
        const std::vector<std::string> received = logDifferences(wk, *ui);
        EXPECT_TRUE(received.empty())
            << "what the server received from the UI-kind page differs from the WK kind ("
            << received.size() << "):\n"
            << indented(received);
        // A CORS preflight comes from the engine's network process, for no page.
        std::vector<std::string> unnamed;
        for (const auto& offer : ui->offers)
            if (offer.method != "OPTIONS" && offer.pageId != ui->pageId)
                unnamed.push_back(offer.method + " " + server.normalise(offer.url, ui->folder) + " names " +
                                  (offer.pageId ? "page " + std::to_string(*offer.pageId)
                                                : std::string("no page")));
        EXPECT_TRUE(unnamed.empty()) << "requests of the UI-kind page that do not name it ("
                                     << unnamed.size() << "):\n"
                                     << indented(unnamed);
        return *ui;
    }

    static void checkHeard(const PageRun& run, const std::vector<Heard>& heard) {
        for (const Heard& expected : heard) {
            std::vector<const ConformanceRequest*> matching;
            for (const auto& request : run.log)
                if (request.line() == expected.line) matching.push_back(&request);
            EXPECT_EQ(matching.size(), expected.count) << kindLabel(run.kind) << ": requests \""
                                                       << expected.line << "\" received; the log:\n"
                                                       << logText(run.log);
            for (const ConformanceRequest* request : matching) {
                for (const auto& [name, value] : expected.fields)
                    EXPECT_EQ(shown(valueOf(request->fields, name)),
                              shown(value.empty() ? std::nullopt : std::optional(value)))
                        << kindLabel(run.kind) << ": " << name << " of " << expected.line;
                if (expected.body) {
                    EXPECT_EQ(request->body, *expected.body)
                        << kindLabel(run.kind) << ": body of " << expected.line;
                }
            }
        }
    }

    ConformanceServer server;
};

// Cookies come from a document, an image, a fetch of the page's origin and
// a credentialed fetch of the other (same host, another port: cookies know
// no ports), a frame's document and script; a fetch without credentials
// neither sends nor takes any. Script sees all but the HttpOnly one; the
// server gets every one back. (The engine hands a response's cookies to
// the page's document.cookie a little after the response itself, so the
// page waits for each one to show.)
TEST_P(WebViewConformanceService, CookiesFromResponsesAndScriptReachScriptAndServer) {
    server.page("/cookies/page.html", R"html(<body><script>
(async () => {
  const shows = name => eventually(() => document.cookie.split('; ').includes(name), 1500);
  note('atStart', cookies());
  document.cookie = 'js=1; path=/' + RUN;
  note('afterScript', cookies());
  const image = new Image();
  image.src = A + '/cookies/pixel.png?type=png&cookie=img%3D1';
  note('image', await loaded(image, 3000));
  await shows('img=1');
  note('afterImage', cookies());
  note('ownFetch', await settle(fetch(A + '/cookies/own.txt?cookie=fetch%3D1').then(r => r.text()), 3000));
  await shows('fetch=1');
  note('afterOwnFetch', cookies());
  note('crossFetch', await settle(fetch(B + '/cookies/plain.txt?cors=echo&cookie=plain%3D1').then(r => r.text()), 3000));
  note('crossCredentialedFetch', await settle(fetch(B + '/cookies/credentialed.txt?cors=echo&cred=1&cookie=cred%3D1',
                                                    {credentials: 'include'}).then(r => r.text()), 3000));
  await shows('cred=1');
  note('afterCrossFetches', cookies());
  const frame = document.createElement('iframe');
  frame.src = B + '/cookies/frame.html?cookie=frame%3D1';
  document.body.appendChild(frame);
  const message = await nextMessage(e => e.data && e.data.frameCookies !== undefined, 3000);
  note('frameSaw', message === 'timeout' ? message : message.data.frameCookies);
  await shows('frame=1');
  note('afterFrame', cookies());
  note('check', await settle(fetch(A + '/cookies/check.txt').then(r => r.text()), 3000));
  done();
})();
</script>)html");
    server.page("/cookies/frame.html", R"html(<script>
(async () => {
  await eventually(() => document.cookie.split('; ').includes('frame=1'), 1500);
  document.cookie = 'framejs=1; path=/' + RUN;
  parent.postMessage({frameCookies: cookies()}, '*');
})();
</script>)html");
    const std::string all = "cred=1; doc=1; fetch=1; frame=1; framejs=1; img=1; js=1";
    conform(
        "/cookies/page.html?cookie=doc%3D1&cookie=hdoc%3D1%3B%20HttpOnly",
        {{"atStart", "doc=1"},
         {"afterScript", "doc=1; js=1"},
         {"image", "load"},
         {"afterImage", "doc=1; img=1; js=1"},
         {"ownFetch", "text"},
         {"afterOwnFetch", "doc=1; fetch=1; img=1; js=1"},
         {"crossFetch", "text"},
         {"crossCredentialedFetch", "text"},
         {"afterCrossFetches", "cred=1; doc=1; fetch=1; img=1; js=1"},
         {"frameSaw", all},
         {"afterFrame", all},
         {"check", "text"}},
        {{"GET A /cookies/pixel.png?type=png&cookie=img=1", {{"Cookie", "doc=1; hdoc=1; js=1"}}},
         {"GET B /cookies/plain.txt?cors=echo&cookie=plain=1", {{"Cookie", ""}}},
         {"GET B /cookies/credentialed.txt?cors=echo&cred=1&cookie=cred=1",
          {{"Cookie", "doc=1; fetch=1; hdoc=1; img=1; js=1"}}},
         {"GET B /cookies/frame.html?cookie=frame=1",
          {{"Cookie", "cred=1; doc=1; fetch=1; hdoc=1; img=1; js=1"}}},
         {"GET A /cookies/check.txt",
          {{"Cookie", "cred=1; doc=1; fetch=1; frame=1; framejs=1; hdoc=1; img=1; js=1"}}}});
}

// The frame of the next case: what it sees of itself and of its parent,
// posted to the parent as {report}.
const char* kFramePage = R"html(<title>frame</title><body><script>
window.frameFunction = () => 'frame called';
const report = {};
window.onerror = (message, file, line) => {
  report.errorMessage = message; report.errorFile = file; report.errorLine = String(line);
};
(async () => {
  report.protocol = location.protocol;
  report.origin = window.origin;
  report.locationOrigin = location.origin;
  report.referrer = document.referrer;
  report.storage = String(localStorage.getItem('shared-' + RUN));
  localStorage.setItem('frame-' + RUN, 'frame ' + window.origin);
  report.parentDocument = attempt(() => parent.document.title);
  report.parentCall = attempt(() => parent.topFunction());
  const script = document.createElement('script');
  script.src = 'throw.js?type=js&script=throw';
  document.body.appendChild(script);
  report.script = await loaded(script, 3000);
  parent.postMessage({report}, '*');
})();
</script>)html";

// A frame of the page's origin is the page's to read and call, and shares
// its storage; a frame of another is neither, both ways. Each knows its
// own origin and protocol, and names its script's errors by their URL.
TEST_P(WebViewConformanceService, FramesOfTheSameAndAnotherOrigin) {
    server.page("/frames/frame.html", kFramePage);
    server.page("/frames/top.html", R"html(<title>top</title><body><script>
window.topFunction = () => 'top called';
window.onerror = (message, file) => note('top.error', message + ' at "' + file + '"');
</script><script>
throw new Error('inline');
</script><script>
(async () => {
  localStorage.setItem('shared-' + RUN, 'from top');
  note('top.protocol', location.protocol);
  note('top.origin', window.origin);
  const add = async (key, src) => {
    const frame = document.createElement('iframe');
    frame.src = src;
    document.body.appendChild(frame);
    const m = await nextMessage(e => e.source === frame.contentWindow && e.data && e.data.report, 3000);
    if (m === 'timeout') { note(key, 'no report'); return frame; }
    note(key + '.messageOrigin', m.origin);
    for (const [k, v] of Object.entries(m.data.report)) note(key + '.' + k, v);
    return frame;
  };
  const same = await add('same', A + '/frames/frame.html');
  const cross = await add('cross', B + '/frames/frame.html');
  note('same.contentDocument', attempt(() => same.contentDocument.title));
  note('cross.contentDocument', attempt(() => String(cross.contentDocument)));
  note('same.call', attempt(() => same.contentWindow.frameFunction()));
  note('cross.call', attempt(() => cross.contentWindow.frameFunction()));
  note('cross.location', attempt(() => cross.contentWindow.location.href));
  note('storageAfterFrames', String(localStorage.getItem('frame-' + RUN)));
  done();
})();
</script>)html");
    conform("/frames/top.html",
            {{"top.protocol", "http:"},
             {"top.origin", "http://A"},
             {"top.error", "Error: inline at \"http://A/frames/top.html\""},
             {"same.messageOrigin", "http://A"},
             {"same.protocol", "http:"},
             {"same.origin", "http://A"},
             {"same.locationOrigin", "http://A"},
             {"same.referrer", "http://A/frames/top.html"},
             {"same.storage", "from top"},
             {"same.parentDocument", "ok top"},
             {"same.parentCall", "ok top called"},
             {"same.script", "load"},
             {"same.errorMessage", "Error: boom"},
             {"same.errorFile", "http://A/frames/throw.js?type=js&script=throw"},
             {"same.errorLine", "2"},
             {"cross.messageOrigin", "http://B"},
             {"cross.protocol", "http:"},
             {"cross.origin", "http://B"},
             {"cross.locationOrigin", "http://B"},
             {"cross.referrer", "http://A/"},
             {"cross.storage", "null"},
             {"cross.parentDocument", "SecurityError"},
             {"cross.parentCall", "SecurityError"},
             {"cross.script", "load"},
             {"cross.errorMessage", "Error: boom"},
             {"cross.errorFile", "http://B/frames/throw.js?type=js&script=throw"},
             {"cross.errorLine", "2"},
             {"same.contentDocument", "ok frame"},
             {"cross.contentDocument", "ok null"},
             {"same.call", "ok frame called"},
             {"cross.call", "SecurityError"},
             {"cross.location", "SecurityError"},
             {"storageAfterFrames", "frame http://A"}},
            {{"GET A /frames/frame.html", {{"Referer", "http://A/frames/top.html"}}},
             {"GET B /frames/frame.html", {{"Referer", "http://A/"}}},
             {"GET B /frames/throw.js?type=js&script=throw",
              {{"Referer", "http://B/frames/frame.html"}}}});
}

// postMessage between a page and its frames of both origins: each side
// sees the other's origin, and a message goes only to the exact origin it
// names (one to the wrong origin, sent first, never arrives).
TEST_P(WebViewConformanceService, MessagesGoToTheOriginTheyNameAndTellTheirSender) {
    server.page("/messages/frame.html", R"html(<script>
const received = [];
addEventListener('message', e => {
  received.push(e.data);
  if (e.data !== 'exact') return;
  const reply = {got: received.join(' '), senderOrigin: e.origin, sourceIsParent: e.source === parent};
  // The parent is A's: it must hear only the second.
  parent.postMessage({misdelivered: true}, OB);
  parent.postMessage({reply}, OA);
});
parent.postMessage('ready', '*');
</script>)html");
    server.page("/messages/top.html", R"html(<body><script>
(async () => {
  for (const [key, src, own, other] of [['same', A, OA, OB], ['cross', B, OB, OA]]) {
    const frame = document.createElement('iframe');
    frame.src = src + '/messages/frame.html';
    const ready = nextMessage(e => e.data === 'ready' && e.source === frame.contentWindow, 3000);
    document.body.appendChild(frame);
    const r = await ready;
    note(key + '.ready', r === 'timeout' ? r : 'from ' + r.origin);
    const reply = nextMessage(e => e.source === frame.contentWindow && e.data &&
                                   (e.data.reply || e.data.misdelivered), 3000);
    frame.contentWindow.postMessage('wrong', other);
    frame.contentWindow.postMessage('exact', own);
    const m = await reply;
    if (m === 'timeout' || m.data.misdelivered) {
      note(key + '.reply', m === 'timeout' ? m : 'the message to another origin arrived');
      continue;
    }
    note(key + '.replyOrigin', m.origin);
    for (const [k, v] of Object.entries(m.data.reply)) note(key + '.' + k, v);
  }
  done();
})();
</script>)html");
    conform("/messages/top.html",
            {{"same.ready", "from http://A"},
             {"same.replyOrigin", "http://A"},
             {"same.got", "exact"},
             {"same.senderOrigin", "http://A"},
             {"same.sourceIsParent", "true"},
             {"cross.ready", "from http://B"},
             {"cross.replyOrigin", "http://B"},
             {"cross.got", "exact"},
             {"cross.senderOrigin", "http://A"},
             {"cross.sourceIsParent", "true"}},
            {});
}

// Reads of another origin: allowed by its CORS header (echoed or "*", with
// credentials only when echoed and allowed), refused without it; requests
// that are not simple are asked first (OPTIONS), and go out only when the
// answer allows their method and header fields.
TEST_P(WebViewConformanceService, CrossOriginReadsFollowTheCORSAnswers) {
    server.page("/cors/page.html", R"html(<body><script>
const get = (url, init) => settle(fetch(url, init).then(r => r.text().then(t => 'ok ' + r.status + ' ' + t)), 3000);
const xhr = (method, url, body) => settle(new Promise(resolve => {
  const x = new XMLHttpRequest();
  x.open(method, url);
  x.onload = () => resolve('ok ' + x.status + ' ' + x.responseText);
  x.onerror = () => resolve('error');
  x.send(body);
}), 3000);
(async () => {
  note('none', await get(B + '/cors/none.txt'));
  note('echo', await get(B + '/cors/echo.txt?cors=echo'));
  note('star', await get(B + '/cors/star.txt?cors=star'));
  note('starWithCredentials', await get(B + '/cors/star-credentials.txt?cors=star', {credentials: 'include'}));
  note('echoWithCredentials', await get(B + '/cors/echo-credentials.txt?cors=echo&cred=1', {credentials: 'include'}));
  note('noCors', await settle(fetch(B + '/cors/opaque.txt', {mode: 'no-cors'}).then(r => r.type + ' ' + r.status), 3000));
  note('xhrNone', await xhr('GET', B + '/cors/xhr-none.txt'));
  note('xhrEcho', await xhr('GET', B + '/cors/xhr-echo.txt?cors=echo'));
  note('simplePost', await get(B + '/cors/simple-post.txt', {method: 'POST', body: 'simple'}));
  note('preflightAllowed', await get(B + '/cors/put.txt?cors=echo&methods=PUT&headers=X-Conformance',
                                     {method: 'PUT', headers: {'X-Conformance': 'yes'}, body: 'put body'}));
  note('preflightRefusesMethod', await get(B + '/cors/put-refused.txt?cors=echo', {method: 'PUT', body: 'refused'}));
  note('preflightRefusesHeader', await get(B + '/cors/header-refused.txt?cors=echo&methods=PUT',
                                           {headers: {'X-Conformance': 'yes'}}));
  note('jsonPost', await xhr('POST', B + '/cors/json.txt?cors=echo&headers=Content-Type&type=sink',
                             new Blob(['{"a":1}'], {type: 'application/json'})));
  done();
})();
</script>)html");
    conform(
        "/cors/page.html",
        {{"none", "error TypeError"},
         {"echo", "ok 200 text"},
         {"star", "ok 200 text"},
         {"starWithCredentials", "error TypeError"},
         {"echoWithCredentials", "ok 200 text"},
         {"noCors", "opaque 0"},
         {"xhrNone", "error"},
         {"xhrEcho", "ok 200 text"},
         {"simplePost", "error TypeError"},
         {"preflightAllowed", "ok 200 text"},
         {"preflightRefusesMethod", "error TypeError"},
         {"preflightRefusesHeader", "error TypeError"},
         {"jsonPost", "ok 200 POST application/json {\"a\":1}"}},
        {{"GET B /cors/none.txt", {{"Origin", "http://A"}}},
         {"POST B /cors/simple-post.txt", {{"Origin", "http://A"}}, "simple"},
         {"OPTIONS B /cors/put.txt?cors=echo&methods=PUT&headers=X-Conformance",
          {{"Origin", "http://A"},
           {"Access-Control-Request-Method", "PUT"},
           {"Access-Control-Request-Headers", "x-conformance"},
           {"X-Conformance", ""}}},
         {"PUT B /cors/put.txt?cors=echo&methods=PUT&headers=X-Conformance",
          {{"Origin", "http://A"}, {"X-Conformance", "yes"}},
          "put body"},
         {"OPTIONS B /cors/put-refused.txt?cors=echo", {{"Access-Control-Request-Method", "PUT"}}},
         {"PUT B /cors/put-refused.txt?cors=echo", {}, std::nullopt, 0},
         {"GET B /cors/header-refused.txt?cors=echo&methods=PUT", {}, std::nullopt, 0},
         {"OPTIONS B /cors/json.txt?cors=echo&headers=Content-Type&type=sink",
          {{"Access-Control-Request-Method", "POST"},
           {"Access-Control-Request-Headers", "content-type"}}},
         {"GET B /cors/star-credentials.txt?cors=star", {{"Cookie", ""}}}});
}

// Fetches and XHRs that redirects take to another origin: what the page
// reads (the final URL, whether it was redirected, the CORS verdict of the
// last hop), and what each hop carries (Origin "null" once a request went
// through another origin; a 307 keeps a POST and its body, a 302 makes it a
// GET).
TEST_P(WebViewConformanceService, RedirectedFetchesAndXHRsAcrossOrigins) {
    server.page("/redirects/fetch.html", R"html(<body><script>
const show = r => r.text().then(t => [r.status, r.redirected, r.url, t].join(' '));
const get = (url, init) => settle(fetch(url, init).then(show), 3000);
const xhr = (method, url, body) => settle(new Promise(resolve => {
  const x = new XMLHttpRequest();
  x.open(method, url);
  x.onload = () => resolve([x.status, x.responseURL, x.responseText].join(' '));
  x.onerror = () => resolve('error');
  x.send(body);
}), 3000);
(async () => {
  note('toShared', await get(A + '/to/B/redirects/shared.txt?cors=star'));
  note('toUnshared', await get(A + '/to/B/redirects/unshared.txt'));
  note('backHome', await get(B + '/to/A/redirects/home.txt?cors=star'));
  note('ownOrigin', await get(A + '/to/A/redirects/own.txt'));
  note('post307', await get(A + '/to307/B/redirects/post307.txt?type=sink&cors=star', {method: 'POST', body: 'kept'}));
  note('post302', await get(A + '/to/B/redirects/post302.txt?type=sink&cors=star', {method: 'POST', body: 'dropped'}));
  note('manual', await settle(fetch(A + '/to/B/redirects/manual.txt', {redirect: 'manual'}).then(r => r.type + ' ' + r.status), 3000));
  note('refused', await get(A + '/to/A/redirects/refused.txt', {redirect: 'error'}));
  note('xhrToShared', await xhr('GET', A + '/to/B/redirects/xhr-shared.txt?cors=star'));
  note('xhrToUnshared', await xhr('GET', A + '/to/B/redirects/xhr-unshared.txt'));
  note('xhrOwnOrigin', await xhr('GET', A + '/to/A/redirects/xhr-own.txt'));
  done();
})();
</script>)html");
    conform(
        "/redirects/fetch.html",
        {{"toShared", "200 true http://B/redirects/shared.txt?cors=star text"},
         {"toUnshared", "error TypeError"},
         {"backHome", "200 true http://A/redirects/home.txt?cors=star text"},
         {"ownOrigin", "200 true http://A/redirects/own.txt text"},
         {"post307", "200 true http://B/redirects/post307.txt?type=sink&cors=star POST "
                     "text/plain;charset=UTF-8 kept"},
         {"post302", "200 true http://B/redirects/post302.txt?type=sink&cors=star GET  "},
         {"manual", "opaqueredirect 0"},
         {"refused", "error TypeError"},
         {"xhrToShared", "200 http://B/redirects/xhr-shared.txt?cors=star text"},
         {"xhrToUnshared", "error"},
         {"xhrOwnOrigin", "200 http://A/redirects/xhr-own.txt text"}},
        {{"GET B /redirects/shared.txt?cors=star", {{"Origin", "http://A"}}},
         {"GET A /redirects/home.txt?cors=star", {{"Origin", "null"}}},
         {"GET A /redirects/own.txt", {{"Origin", ""}}},
         {"POST B /redirects/post307.txt?type=sink&cors=star", {{"Origin", "http://A"}}, "kept"},
         {"GET B /redirects/post302.txt?type=sink&cors=star", {}, ""},
         {"GET B /redirects/manual.txt", {}, std::nullopt, 0},
         {"GET A /redirects/refused.txt", {}, std::nullopt, 0}});
}

// Scripts, stylesheets and images that a redirect brings from another
// origin: they run and show, but the page reads none of them (a script's
// errors are muted, a sheet's rules and an image's pixels are kept from
// script) unless asked for with crossorigin and shared by the other origin.
TEST_P(WebViewConformanceService, RedirectedScriptsSheetsAndImagesAcrossOrigins) {
    server.page("/redirects/resources.html", R"html(<div id=probe></div><script>
const errors = [];
window.onerror = (message, file, line) => { errors.push(message + ' at "' + file + '":' + line); };
const script = async (key, src, crossOrigin) => {
  errors.length = 0;
  const s = document.createElement('script');
  if (crossOrigin) s.crossOrigin = 'anonymous';
  s.src = src;
  document.head.appendChild(s);
  note(key, await loaded(s, 3000));
  note(key + 'Errors', errors.join(', '));
};
const sheet = async (key, href) => {
  const l = document.createElement('link');
  l.rel = 'stylesheet';
  l.href = href;
  document.head.appendChild(l);
  note(key, await loaded(l, 3000));
  note(key + 'Width', getComputedStyle(probe).width);
  note(key + 'Rules', attempt(() => l.sheet.cssRules.length));
  l.remove();
};
const image = async (key, src) => {
  const i = new Image();
  i.src = src;
  note(key, await loaded(i, 3000));
  note(key + 'Size', i.naturalWidth + 'x' + i.naturalHeight);
  const c = document.createElement('canvas');
  const g = c.getContext('2d');
  g.drawImage(i, 0, 0);
  note(key + 'Pixels', attempt(() => g.getImageData(0, 0, 1, 1).data.join(',')));
};
(async () => {
  await script('ownScript', A + '/redirects/own.js?type=js&script=throw');
  await script('redirectedScript', A + '/to/B/redirects/far.js?type=js&script=throw');
  await script('sharedScript', A + '/to/B/redirects/shared.js?type=js&script=throw&cors=star', true);
  await script('markingScript', A + '/to/B/redirects/mark.js?type=js&script=mark');
  note('scriptRan', String(window.scriptRan));
  await sheet('ownSheet', A + '/redirects/own.css?type=css&body=%23probe%7Bwidth%3A21px%7D');
  await sheet('redirectedSheet', A + '/to/B/redirects/far.css?type=css&body=%23probe%7Bwidth%3A37px%7D');
  await image('redirectedImage', A + '/to/B/redirects/far.png?type=png&w=7&h=4');
  done();
})();
</script>)html");
    conform(
        "/redirects/resources.html",
        {{"ownScript", "load"},
         {"ownScriptErrors", "Error: boom at \"http://A/redirects/own.js?type=js&script=throw\":2"},
         {"redirectedScript", "load"},
         {"redirectedScriptErrors", "Script error. at \"\":0"},
         {"sharedScript", "load"},
         {"sharedScriptErrors",
          "Error: boom at "
          "\"http://B/redirects/shared.js?type=js&script=throw&cors=star\":2"},
         {"markingScript", "load"},
         {"scriptRan", "1"},
         {"ownSheet", "load"},
         {"ownSheetWidth", "21px"},
         {"ownSheetRules", "ok 1"},
         {"redirectedSheet", "load"},
         {"redirectedSheetWidth", "37px"},
         {"redirectedSheetRules", "SecurityError"},
         {"redirectedImage", "load"},
         {"redirectedImageSize", "7x4"},
         {"redirectedImagePixels", "SecurityError"}},
        {{"GET B /redirects/far.js?type=js&script=throw", {{"Origin", ""}}},
         {"GET B /redirects/shared.js?type=js&script=throw&cors=star", {{"Origin", "http://A"}}},
         {"GET B /redirects/far.png?type=png&w=7&h=4", {{"Origin", ""}}}});
}

// Forms posted into a frame: urlencoded, multipart with a file that script
// made, and one to another origin. The server gets each body with its
// content type, and the frame shows its answer.
TEST_P(WebViewConformanceService, FormsPostTheirFieldsAndFiles) {
    server.page("/forms/page.html", R"html(<iframe name=target></iframe>
<form id=urlencoded method=post action="%A%/forms/urlencoded?type=sink&reply=post" target=target>
  <input name=word value="hello world"><input name=sign value="a&b=c">
</form>
<form id=multipart method=post enctype=multipart/form-data action="%A%/forms/multipart?type=sink&reply=post" target=target>
  <input name=word value="hello"><input type=file name=upload id=upload>
</form>
<form id=crossOrigin method=post action="%B%/forms/cross?type=sink&reply=post" target=target>
  <input name=to value="B">
</form>
<script>
const submit = async form => {
  const answer = nextMessage(e => e.data && e.data.sink !== undefined, 3000);
  form.submit();
  const m = await answer;
  return m === 'timeout' ? m : m.data.sink + ' (from ' + m.origin + ')';
};
(async () => {
  note('urlencoded', await submit(urlencoded));
  const files = new DataTransfer();
  files.items.add(new File(['made by script'], 'made.txt', {type: 'text/plain'}));
  upload.files = files.files;
  note('files', String(upload.files.length));
  note('multipart', await submit(multipart));
  note('crossOrigin', await submit(crossOrigin));
  done();
})();
</script>)html");
    conform(
        "/forms/page.html",
        {{"urlencoded",
          "POST application/x-www-form-urlencoded word=hello+world&sign=a%26b%3Dc (from http://A)"},
         {"files", "1"},
         {"multipart",
          "POST multipart/form-data word=hello; upload=@made.txt(text/plain):made by script "
          "(from http://A)"},
         {"crossOrigin", "POST application/x-www-form-urlencoded to=B (from http://B)"}},
        {{"POST A /forms/urlencoded?type=sink&reply=post",
          {{"Origin", "http://A"}, {"Referer", "http://A/forms/page.html"}},
          "word=hello+world&sign=a%26b%3Dc"},
         {"POST B /forms/cross?type=sink&reply=post",
          {{"Origin", "http://A"}, {"Referer", "http://A/"}},
          "to=B"}});
}

// Frames of both origins post to their own origin with fetch (text, a
// form's fields, multipart with a Blob), XHR, sendBeacon and, last, a form
// of their own.
TEST_P(WebViewConformanceService, FramesPostWithFetchXHRBeaconsAndForms) {
    server.page("/frameposts/frame.html", R"html(<body>
<form id=own method=post action="form?type=sink&reply=post"><input name=from value=frame></form>
<script>
(async () => {
  const sent = response => response.text();
  const report = {};
  report.fetch = await settle(fetch('fetch?type=sink', {method: 'POST', body: 'fetch body'}).then(sent), 3000);
  report.fetchForm = await settle(fetch('fetch-form?type=sink', {method: 'POST',
      body: new URLSearchParams({a: '1', b: 'two words'})}).then(sent), 3000);
  const form = new FormData();
  form.append('field', 'value');
  form.append('blob', new Blob(['blob content'], {type: 'text/plain'}), 'blob.txt');
  report.fetchMultipart = await settle(fetch('fetch-multipart?type=sink', {method: 'POST', body: form}).then(sent), 3000);
  report.xhr = await settle(new Promise(resolve => {
    const x = new XMLHttpRequest();
    x.open('POST', 'xhr?type=sink');
    x.onload = () => resolve(x.responseText);
    x.onerror = () => resolve('error');
    x.send('xhr body');
  }), 3000);
  report.beacon = String(navigator.sendBeacon('beacon?type=sink', 'beacon body'));
  parent.postMessage({report}, '*');
  own.submit();
})();
</script>)html");
    server.page("/frameposts/top.html", R"html(<body><script>
(async () => {
  for (const [key, src] of [['same', A], ['cross', B]]) {
    const frame = document.createElement('iframe');
    frame.src = src + '/frameposts/frame.html';
    const report = nextMessage(e => e.source === frame.contentWindow && e.data && e.data.report, 4000);
    const sink = nextMessage(e => e.source === frame.contentWindow && e.data && e.data.sink, 4500);
    document.body.appendChild(frame);
    const r = await report;
    if (r === 'timeout') note(key, r);
    else for (const [k, v] of Object.entries(r.data.report)) note(key + '.' + k, v);
    const s = await sink;
    note(key + '.form', s === 'timeout' ? s : s.data.sink + ' (from ' + s.origin + ')');
  }
  done();
})();
</script>)html");
    Observations known;
    std::vector<Heard> heard;
    for (const std::string key : {"same", "cross"}) {
        const std::string origin = key == "same" ? "A" : "B";
        known[key + ".fetch"] = "POST text/plain;charset=UTF-8 fetch body";
        known[key + ".fetchForm"] =
            "POST application/x-www-form-urlencoded;charset=UTF-8 a=1&b=two+words";
        known[key + ".fetchMultipart"] =
            "POST multipart/form-data field=value; blob=@blob.txt(text/plain):blob content";
        known[key + ".xhr"] = "POST text/plain;charset=UTF-8 xhr body";
        known[key + ".beacon"] = "true";
        known[key + ".form"] =
            "POST application/x-www-form-urlencoded from=frame (from http://" + origin + ")";
        heard.push_back({"POST " + origin + " /frameposts/beacon?type=sink",
                         {{"Content-Type", "text/plain;charset=UTF-8"}},
                         "beacon body"});
        heard.push_back({"POST " + origin + " /frameposts/xhr?type=sink",
                         {{"Referer", "http://" + origin + "/frameposts/frame.html"}},
                         "xhr body"});
        heard.push_back({"POST " + origin + " /frameposts/form?type=sink&reply=post",
                         {{"Origin", "http://" + origin},
                          {"Referer", "http://" + origin + "/frameposts/frame.html"}},
                         "from=frame"});
    }
    conform("/frameposts/top.html", known, heard,
            {"POST A /frameposts/beacon?type=sink", "POST B /frameposts/beacon?type=sink"});
}

// A link to a page of the same origin, then one to another: document.referrer
// and the Referer fields (whole within the origin, the origin alone across
// origins), the main document's navigation timing entry, the history's
// length. Each page hands what it saw on in the next one's fragment.
TEST_P(WebViewConformanceService, NavigationsTellTheirReferrer) {
    server.page("/nav/first.html", R"html(<body><a id=next href="second.html">next</a><script>
addEventListener('load', () => next.click());
</script>)html");
    server.page("/nav/second.html", R"html(<body><script>
addEventListener('load', async () => {
  note('second.referrer', document.referrer);
  const entries = performance.getEntriesByType('navigation');
  note('second.navigationEntries', String(entries.length));
  if (entries.length) {
    note('second.navigationName', entries[0].name);
    note('second.navigationType', entries[0].type);
  }
  note('second.historyLength', String(history.length));
  const own = new Image(), far = new Image();
  const images = Promise.all([loaded(own, 3000), loaded(far, 3000)]);
  own.src = 'own.png?type=png';
  far.src = B + '/nav/far.png?type=png';
  note('second.images', (await images).join(' '));
  const link = document.createElement('a');
  link.href = B + '/nav/third.html#' + encodeURIComponent(JSON.stringify(obs));
  document.body.appendChild(link);
  link.click();
});
</script>)html");
    server.page("/nav/third.html", R"html(<body><script>
Object.assign(obs, JSON.parse(decodeURIComponent(location.hash.slice(1)) || '{}'));
note('third.referrer', document.referrer);
note('third.historyLength', String(history.length));
const entries = performance.getEntriesByType('navigation');
note('third.navigationName', entries.length ? entries[0].name.split('#')[0] : 'none');
done();
</script>)html");
    conform("/nav/first.html",
            {{"second.referrer", "http://A/nav/first.html"},
             {"second.navigationEntries", "1"},
             {"second.navigationName", "http://A/nav/second.html"},
             {"second.navigationType", "navigate"},
             {"second.historyLength", "2"},
             {"second.images", "load load"},
             {"third.referrer", "http://A/"},
             {"third.historyLength", "3"}},
            {{"GET A /nav/second.html", {{"Referer", "http://A/nav/first.html"}}},
             {"GET A /nav/own.png?type=png", {{"Referer", "http://A/nav/second.html"}}},
             {"GET B /nav/far.png?type=png", {{"Referer", "http://A/"}}},
             {"GET B /nav/third.html", {{"Referer", "http://A/"}}}});
}

// WebSockets to the page's origin and to another echo what they are sent;
// the handshake carries the page's origin and cookies.
TEST_P(WebViewConformanceService, WebSocketsEcho) {
    server.page("/sockets/page.html", R"html(<body><script>
const echo = url => settle(new Promise(resolve => {
  const socket = new WebSocket(url);
  socket.onopen = () => socket.send('hello');
  socket.onmessage = e => { resolve('echo ' + e.data); socket.close(); };
  socket.onerror = () => resolve('error');
}), 3000);
(async () => {
  document.cookie = 'socket=1; path=/' + RUN;
  note('own', await echo(A.replace('http:', 'ws:') + '/sockets/echo'));
  note('cross', await echo(B.replace('http:', 'ws:') + '/sockets/echo'));
  done();
})();
</script>)html");
    conform("/sockets/page.html", {{"own", "echo hello"}, {"cross", "echo hello"}},
            {{"GET A /sockets/echo", {{"Origin", "http://A"}, {"Cookie", "socket=1"}}},
             {"GET B /sockets/echo", {{"Origin", "http://A"}, {"Cookie", "socket=1"}}}});
}

// EventSource streams of both origins: each event arrives while the
// stream stays open (the server sends the next one only once the page asked
// for it after the last), with its id.
TEST_P(WebViewConformanceService, EventStreamsDeliverEventsWhileOpen) {
    server.page("/events/page.html", R"html(<body><script>
const follow = async (stream, next, init) => {
  const got = [];
  let source;
  const result = await settle(new Promise(resolve => {
    source = new EventSource(stream, init);
    source.onmessage = e => {
      got.push(e.data + '#' + e.lastEventId);
      if (got.length < 3) fetch(next, {credentials: 'include'});
      else resolve('open ' + (source.readyState === EventSource.OPEN));
    };
    source.onerror = () => resolve('error, state ' + source.readyState);
  }), 3000);
  source.close();
  return result + ': ' + got.join(' ');
};
(async () => {
  note('own', await follow(A + '/events/stream?type=events&id=own', A + '/events/next?type=next&id=own'));
  note('cross', await follow(B + '/events/stream?type=events&id=far&cors=echo&cred=1',
                             B + '/events/next?type=next&id=far&cors=echo&cred=1', {withCredentials: true}));
  done();
})();
</script>)html");
    conform("/events/page.html",
            {{"own", "open true: e1#1 e2#2 e3#3"}, {"cross", "open true: e1#1 e2#2 e3#3"}},
            {{"GET A /events/stream?type=events&id=own", {{"Origin", ""}}},
             {"GET B /events/stream?type=events&id=far&cors=echo&cred=1", {{"Origin", "http://A"}}},
             {"GET A /events/next?type=next&id=own", {}, std::nullopt, 2}});
}

// A frame of another site (the other port under the name "localhost"):
// its origin and referrer, and the cookies it is given and sets, and those
// of a credentialed fetch of that site from the page. The engine's context
// takes no cookies from a site other than the page's (neither from
// responses nor from the frame's script).
TEST_P(WebViewConformanceService, AFrameOfAnotherSite) {
    server.page("/sites/frame.html", R"html(<script>
(async () => {
  const report = {origin: window.origin, referrer: document.referrer};
  report.cookiesAtStart = cookies();
  document.cookie = 'sitejs=1; path=/' + RUN;
  report.cookiesAfterScript = cookies();
  report.check = await settle(fetch('check.txt').then(r => r.text()), 3000);
  parent.postMessage({report}, '*');
})();
</script>)html");
    server.page("/sites/top.html", R"html(<body><script>
(async () => {
  document.cookie = 'top=1; path=/' + RUN;
  const frame = document.createElement('iframe');
  frame.src = C + '/sites/frame.html?cookie=site%3D1';
  const m = nextMessage(e => e.source === frame.contentWindow && e.data && e.data.report, 4000);
  document.body.appendChild(frame);
  const r = await m;
  if (r === 'timeout') note('frame', r);
  else for (const [k, v] of Object.entries(r.data.report)) note('frame.' + k, v);
  note('fetch', await settle(fetch(C + '/sites/credentialed.txt?cors=echo&cred=1&cookie=fetched%3D1',
                                   {credentials: 'include'}).then(r => r.text()), 3000));
  note('fetchAgain', await settle(fetch(C + '/sites/again.txt?cors=echo&cred=1',
                                        {credentials: 'include'}).then(r => r.text()), 3000));
  note('topCookies', cookies());
  done();
})();
</script>)html");
    conform("/sites/top.html",
            {{"frame.origin", "http://C"},
             {"frame.referrer", "http://A/"},
             {"frame.cookiesAtStart", ""},
             {"frame.cookiesAfterScript", ""},
             {"frame.check", "text"},
             {"fetch", "text"},
             {"fetchAgain", "text"},
             {"topCookies", "top=1"}},
            {{"GET C /sites/frame.html?cookie=site=1",
              {{"Referer", "http://A/"}, {"Sec-Fetch-Site", "cross-site"}, {"Cookie", ""}}},
             {"GET C /sites/check.txt", {{"Cookie", ""}}},
             {"GET C /sites/again.txt?cors=echo&cred=1",
              {{"Origin", "http://A"}, {"Sec-Fetch-Site", "cross-site"}, {"Cookie", ""}}}});
}

// What a page's read of an answer gives: the status, the bytes read and,
// with check, whether they follow the server's pattern ("0123456789"
// repeated); "error <name>" when the load or the read fails.
const char* kReadHelpers = R"html(<script>
const sleep = ms => new Promise(r => setTimeout(r, ms));
const read = (url, ms, options = {}) => settle(fetch(url).then(async response => {
  const reader = response.body.getReader();
  let count = 0, intact = true, sincePause = 0;
  for (;;) {
    const {done, value} = await reader.read();
    if (done) break;
    if (options.check)
      for (let i = 0; i < value.length; ++i)
        if (value[i] !== 48 + (count + i) % 10) { intact = false; break; }
    count += value.length;
    sincePause += value.length;
    if (options.pauseEvery && sincePause >= options.pauseEvery) { sincePause = 0; await sleep(options.pauseMs); }
  }
  return response.status + ' ' + count + (options.check ? (intact ? ' intact' : ' altered') : '');
}), ms);
</script>)html";

// Large answers come whole, and one cut short fails, in every framing: a
// 30 MB page (its last script runs), 40 MB fetched with a length and in
// chunks, an image of 24 MB, and streams reset part-way (with a length, in
// chunks, and ended by the connection's end). Seven loads of one host share
// the engine's six connections to it: a read can wait for another's end, so
// each has the whole page's time.
TEST_P(WebViewConformanceService, LargeAnswersComeWholeAndCutOnesFail) {
    server.page("/large/page.html", std::string(kReadHelpers) + R"html(<body><script>
const loads = (async () => {
  const mb40 = 40 * 1024 * 1024;
  const image = new Image();
  image.src = A + '/large/picture.png?type=bigpng';
  const [sized, chunked, cutSized, cutChunked, cutClose, picture] = await Promise.all([
    read(A + '/large/sized?type=bytes&size=' + mb40, 50000, {check: true}),
    read(A + '/large/chunked?type=bytes&framing=chunked&size=' + mb40, 50000, {check: true}),
    read(A + '/large/cut-sized?type=bytes&size=10000000&cut=1000000', 50000),
    read(A + '/large/cut-chunked?type=bytes&framing=chunked&size=10000000&cut=1000000', 50000),
    read(A + '/large/cut-close?type=bytes&framing=close&size=10000000&cut=1000000', 50000),
    loaded(image, 50000)]);
  note('sized', sized);
  note('chunked', chunked);
  note('cutSized', cutSized);
  note('cutChunked', cutChunked);
  note('cutClose', cutClose);
  note('image', picture + ' ' + image.naturalWidth + 'x' + image.naturalHeight);
})();
</script><!--%PADDING%--><script>
note('pageEnd', document.documentElement.outerHTML.length > 30 * 1024 * 1024 ? 'whole' : 'short');
loads.then(done);
</script>)html");
    conform("/large/page.html?pad=" + std::to_string(30 << 20),
            {{"sized", "200 41943040 intact"},
             {"chunked", "200 41943040 intact"},
             {"cutSized", "error TypeError"},
             {"cutChunked", "error TypeError"},
             {"cutClose", "error TypeError"},
             {"image", "load 2000x4000"},
             {"pageEnd", "whole"}},
            {{"GET A /large/sized?type=bytes&size=41943040"},
             {"GET A /large/chunked?type=bytes&framing=chunked&size=41943040"},
             {"GET A /large/picture.png?type=bigpng"}},
            {}, 60);
}

// Loads that last: a page sent over 40 s whose last script runs, a fetch
// trickled over 45 s, and an event stream with an event every 2 s for
// 44 s on one connection. (About 50 s of real time; the UI kind's run
// goes at once with the WK kind's.)
TEST_P(WebViewConformanceService, LongLoadsLastAsLongAsTheyGoOn) {
    server.page("/long/page.html", std::string(kReadHelpers) + R"html(<body><script>
const started = Date.now();
const trickle = read(A + '/long/trickle?type=bytes&size=45&over=45000', 80000, {check: true});
const events = new Promise(resolve => {
  const source = new EventSource(A + '/long/ticks?type=ticks&every=2000&count=22');
  let heard = [], errors = 0;
  source.onmessage = e => {
    heard.push(e.data);
    if (heard.length === 22) { source.close(); resolve(heard.join(',') + ', errors ' + errors); }
  };
  source.onerror = () => ++errors;
  setTimeout(() => { source.close(); resolve(heard.join(',') + ', errors ' + errors + ', timeout'); }, 80000);
});
</script><!--%PADDING%--><script>
note('pageEnd', 'reached after ' + (Date.now() - started >= 30000 ? 'more' : 'less') + ' than 30 s');
Promise.all([trickle, events]).then(([t, e]) => { note('trickle', t); note('events', e); done(); });
</script>)html");
    std::string ticks;
    for (int i = 1; i <= 22; ++i)
        ticks += (i > 1 ? "," : "") + std::string("e") + std::to_string(i);
    conform("/long/page.html?over=40000&pad=400000",
            {{"pageEnd", "reached after more than 30 s"},
             {"trickle", "200 45 intact"},
             {"events", ticks + ", errors 0"}},
            {{"GET A /long/ticks?type=ticks&every=2000&count=22", {}, std::nullopt, 1}}, {}, 90);
}

// A page reads a stream of 500 MB slowly, all of it; the "UI" kind's
// proxy holds the server back meanwhile, so the app grows little.
TEST_P(WebViewConformanceService, ASlowReaderTakesALongStreamWhole) {
    server.page("/slow/page.html", std::string(kReadHelpers) + R"html(<body><script>
const size = new URLSearchParams(location.search).get('size');
read(A + '/slow/stream?type=bytes&size=' + size, 170000, {pauseEvery: 1 << 20, pauseMs: 10})
  .then(result => { note('stream', result); done(); });
</script>)html");
    // The engine and the proxy once warmed up, what the app holds for the
    // stream is what it grows by.
    for (const Kind kind : {Kind::WK, Kind::UI})
        EXPECT_EQ(load("/slow/page.html?size=" + std::to_string(8 << 20), kind, {})
                      .observations["stream"],
                  "200 8388608");
    std::atomic<std::int64_t> most{0};
    std::atomic<bool> sampling{true};
    const auto resident = testsupport::residentBytes;
    const std::int64_t before = resident();
    std::thread sampler([&] {
        while (sampling) {
            most = std::max(most.load(), resident());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    conform("/slow/page.html?size=524288000", {{"stream", "200 524288000"}}, {}, {}, 180);
    sampling = false;
    sampler.join();
    if (GetParam() == Kind::UI && testsupport::kMeasuresResidentMemory) {
        EXPECT_LT(most - before, std::int64_t(64) << 20)
            << "the app grew from " << before << " to " << most << " bytes";
    }
}

// A page that rewrites its address (pushState to another path and query,
// then replaceState to another): what it loads after each resolves against
// the new address and is sent with it as referrer, a subresource, a fetch
// of the address itself, a frame and a dedicated worker's load alike. For
// the app, every one still belongs to the document the page loaded.
TEST_P(WebViewConformanceService, LoadsAfterTheAddressIsRewritten) {
    server.page("/rewrites/frame.html", R"html(<script>
(async () => {
  const report = {referrer: document.referrer};
  report.fetch = await settle(fetch('frame-data.txt').then(r => r.text()), 3000);
  parent.postMessage({report}, '*');
})();
</script>)html");
    server.page("/rewrites/page.html", R"html(<body><script>
(async () => {
  history.pushState({}, '', 'pushed/path.html?p=1');
  note('pushed', location.href);
  const image = new Image();
  image.src = 'image.png?type=png&w=3&h=2';
  note('pushedImage', await loaded(image, 3000));
  note('pushedFetch', await settle(fetch('data.txt?at=pushed').then(r => r.text()), 3000));
  note('ownAddress', await settle(fetch(location.href).then(r => r.text()), 3000));
  history.replaceState(null, '', A + '/rewrites/replaced/r.html?q=2');
  note('replaced', location.href);
  const far = new Image();
  far.src = B + '/rewrites/far.png?type=png';
  note('farImage', await loaded(far, 3000));
  const frame = document.createElement('iframe');
  frame.src = '../frame.html';
  const m = nextMessage(e => e.source === frame.contentWindow && e.data && e.data.report, 4000);
  document.body.appendChild(frame);
  const r = await m;
  if (r === 'timeout') note('frame', r);
  else for (const [k, v] of Object.entries(r.data.report)) note('frame.' + k, v);
  const source = "fetch('worker-data.txt').then(r => r.text()).then(t => postMessage(t), e => postMessage(String(e)))";
  const worker = new Worker('worker.js?type=js&body=' + encodeURIComponent(source));
  note('worker', await settle(new Promise(r => worker.onmessage = e => r(e.data)), 3000));
  done();
})();
</script>)html");
    const PageRun run = conform(
        "/rewrites/page.html",
        {{"pushed", "http://A/rewrites/pushed/path.html?p=1"},
         {"pushedImage", "load"},
         {"pushedFetch", "text"},
         {"ownAddress", "text"},
         {"replaced", "http://A/rewrites/replaced/r.html?q=2"},
         {"farImage", "load"},
         {"frame.referrer", "http://A/rewrites/replaced/r.html?q=2"},
         {"frame.fetch", "text"},
         {"worker", "text"}},
        {{"GET A /rewrites/pushed/image.png?type=png&w=3&h=2",
          {{"Referer", "http://A/rewrites/pushed/path.html?p=1"}}},
         {"GET A /rewrites/pushed/path.html?p=1",
          {{"Referer", "http://A/rewrites/pushed/path.html?p=1"}}},
         {"GET B /rewrites/far.png?type=png", {{"Referer", "http://A/"}}},
         {"GET A /rewrites/frame.html", {{"Referer", "http://A/rewrites/replaced/r.html?q=2"}}},
         {"GET A /rewrites/frame-data.txt", {{"Referer", "http://A/rewrites/frame.html"}}},
         {"GET A /rewrites/replaced/worker-data.txt", {}}});
    if (GetParam() == Kind::WK) return;
    const std::string document = server.origin('A') + run.folder + "/rewrites/page.html";
    EXPECT_GE(run.offers.size(), 9u);
    for (const auto& offer : run.offers) {
        if (offer.method == "OPTIONS") continue;
        EXPECT_EQ(offer.mainDocument, document) << server.normalise(offer.url, run.folder);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewConformanceService, testing::ValuesIn(kKinds), kindName);

}  // namespace
