// URLs of every shape pages write, and answers with unusual status lines
// and field bytes, the same in both kinds of web view. A page loads each
// shape (spaces, non-Latin text, escapes good and bad, brackets, pipes,
// braces, "%2F", fragments, dot segments, queries of every kind, hosts
// written unusually, long targets) through fetch, XHR, images, scripts,
// frames, form and script posts, redirects, top-level navigations and
// WebSockets, from a raw origin (testsupport::RawOrigin) that logs every
// request line and field as bytes.
//
// A "WK"-kind view, where the engine loads the page itself, must make the
// origin receive what a browser sends (the facts each case is sure of); a
// "UI"-kind view must make it receive exactly what the "WK" kind's did (the
// request line's target byte for byte, every field's name and bytes, the
// body, and no field the page did not cause), and its page must observe
// exactly what the "WK" kind's observed (status, statusText, fields, body).
// No request of either kind may carry a hop mark or a forwarding field.
//
// One view of each kind serves the whole suite, a page at a time; the "UI"
// kind's case runs the "WK" kind's page at the same time as its own (the
// top-level navigations, one kind after the other). Each
// run has a folder of its own on the origin, and what pages observed and
// the origin received are compared with the folder and the port as labels
// ("/RUN", ":PORT").

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <regex>
#include <set>

#include "WebViewTesting.h"
#include "core/JSON.h"
#include "core/Unicode.h"
#include "support/RawOrigin.h"
#include "support/URLShapes.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using testsupport::RawAnswer;
using testsupport::RawOrigin;
using testsupport::RawRequest;
using testsupport::Shape;
using testsupport::shapes;

using Kind = WebViewConfiguration::Kind;
using Observations = std::map<std::string, std::string>;

// Seconds a page may take to observe everything; each page gives up on
// what it waits for before (6 s for each load).
constexpr double kPageLimit = 15;

// The shapes as a script's array of [name, written].
std::string shapesScript(const std::vector<Shape>& list) {
    core::Array array;
    for (const Shape& shape : list) array.emplace_back(core::Array{shape.name, shape.written});
    return core::JSON::write(core::Value(std::move(array))).value_or("[]");
}

// Put before every page, which is the inside of a script element with its
// end tag: the helpers the pages share.
constexpr const char* kPageHelpers = R"(<!doctype html><meta charset=utf-8><body><script>
const RUN = location.pathname.split('/')[1];
const BASE = location.origin + '/' + RUN + '/';
const PORT = location.port;
window.obs = {};
// What the page observed, as text.
function note(key, value) { obs[key] = typeof value === 'string' ? value : JSON.stringify(value); }
function done() { window.shapesDone = true; }
// What p gives, "error <name>" when it fails, or "timeout" after ms.
function settle(p, ms) {
  return Promise.race([
    Promise.resolve(p).then(v => v, e => 'error ' + (e && e.name ? e.name : String(e))),
    new Promise(r => setTimeout(() => r('timeout'), ms || 6000))]);
}
// The characters of a byte string (each below 256), those outside
// printable ASCII as \xHH.
function printable(text) {
  let out = '';
  for (const c of text) {
    const code = c.charCodeAt(0);
    out += code >= 0x20 && code < 0x7f && c !== '\\' ? c
         : code < 256 ? '\\x' + code.toString(16).toUpperCase().padStart(2, '0')
         : '\\u{' + code.toString(16) + '}';
  }
  return out;
}
function bytesText(buffer) { return printable(String.fromCharCode(...new Uint8Array(buffer))); }
// "load" or "error" of an element, or "timeout".
function loaded(element, ms) {
  return settle(new Promise(r => {
    element.addEventListener('load', () => r('load'));
    element.addEventListener('error', () => r('error'));
  }), ms);
}
// The next message event that test accepts, or "timeout".
function nextMessage(test, ms) {
  let listener;
  return settle(new Promise(r => {
    listener = e => { if (!test || test(e)) r(e); };
    addEventListener('message', listener);
  }), ms).finally(() => removeEventListener('message', listener));
}
// fetch's answer: status, statusText and body.
async function fetched(url, init) {
  const r = await fetch(url, init);
  return [r.status, JSON.stringify(r.statusText), r.url, bytesText(await r.arrayBuffer())].join(' ');
}
// XHR's answer: status, statusText, the URL and body.
function xhred(method, url, body, fields) {
  return new Promise(resolve => {
    const x = new XMLHttpRequest();
    x.open(method, url);
    for (const [name, value] of fields || []) x.setRequestHeader(name, value);
    x.onload = () => resolve([x.status, JSON.stringify(x.statusText), x.responseURL,
                              printable(x.responseText)].join(' '));
    x.onerror = () => resolve('error');
    x.send(body);
  });
}
</script>
<script>
)";

// A request as compared between the kinds: the folder and the ports as
// labels, random parts (a WebSocket key, a multipart boundary) named, the
// fields in order of their names (those of one name in the order sent),
// without those of the connection (isHopByHop).
struct Compared {
    std::string method, target, body;
    std::vector<std::pair<std::string, std::string>> fields;

    [[nodiscard]] std::string describe() const {
        std::string text = RawOrigin::printable(method + " " + target);
        for (const auto& [name, value] : fields)
            text += "\n      " + RawOrigin::printable(name) + ": " + RawOrigin::printable(value);
        if (!body.empty()) text += "\n      (body) " + RawOrigin::printable(body.substr(0, 300));
        return text;
    }
    friend bool operator==(const Compared&, const Compared&) = default;
};

// Fields of one connection, which a proxy answers for itself. (Fields meant
// for a proxy, Proxy-Authorization and the like, are compared: the origin
// must not receive them.)
bool isHopByHop(std::string_view name) {
    for (const char* hop : {"connection", "keep-alive", "te", "trailer", "transfer-encoding"})
        if (core::Unicode::equalsCaseInsensitive(name, hop)) return true;
    return false;
}

// The tag of a target below a run's folder: "fetch-3" of "/run9/fetch-3/x".
std::string tagOf(std::string_view target) {
    const size_t second = target.find('/', 1);
    if (second == std::string_view::npos) return {};
    std::string_view tag = target.substr(second + 1);
    return std::string(tag.substr(0, tag.find_first_of("/?")));
}

struct PageRun {
    Kind kind = Kind::WK;
    std::string folder;
    int port = 0;
    bool finished = false;
    Observations observations;
    std::vector<RawRequest> log;

    // Text with the run's folder and ports as labels.
    [[nodiscard]] std::string labelled(std::string text) const {
        for (const std::string& from : {folder + "/", folder + "?", folder + "\""}) {
            for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 4))
                text.replace(at, folder.size(), "/RUN");
        }
        const std::string port = ":" + std::to_string(this->port);
        for (size_t at = text.find(port); at != std::string::npos; at = text.find(port, at + 5))
            text.replace(at, port.size(), ":PORT");
        return text;
    }

    [[nodiscard]] Compared compared(const RawRequest& request) const {
        static const std::regex boundary("WebKitFormBoundary[A-Za-z0-9]+");
        Compared made{request.method,
                      labelled(request.target),
                      std::regex_replace(request.body, boundary, "(boundary)"),
                      {}};
        for (const auto& [name, value] : request.fields) {
            if (isHopByHop(name)) continue;
            std::string shown = labelled(value);
            if (name == "Sec-WebSocket-Key") shown = "(key)";
            made.fields.emplace_back(name, std::regex_replace(shown, boundary, "(boundary)"));
        }
        std::stable_sort(made.fields.begin(), made.fields.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        return made;
    }

    // The requests of each tag, as compared, in order of arrival.
    [[nodiscard]] std::map<std::string, std::vector<Compared>> byTag() const {
        std::map<std::string, std::vector<Compared>> tags;
        for (const auto& request : log) tags[tagOf(request.target)].push_back(compared(request));
        return tags;
    }
};

std::string shown(const std::optional<std::string>& text) {
    return text ? "\"" + RawOrigin::printable(*text) + "\"" : "(none)";
}

std::optional<std::string> valueOf(const Observations& map, const std::string& key) {
    auto found = map.find(key);
    return found == map.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::string indented(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += "  " + line + "\n";
    return text;
}

// A request the origin must have received from the WK kind under a tag:
// its target (after "/RUN/") where set, these fields ("" for one it must
// not carry) and, when set, this body.
struct Heard {
    std::string tag;
    std::optional<std::string> target = std::nullopt;
    std::map<std::string, std::string> fields = {};
    std::optional<std::string> body = std::nullopt;
};

class WebViewURLShapesService : public testing::TestWithParam<Kind> {
protected:
    static void TearDownTestSuite() {
        for (auto& shared : views()) shared = {};
    }

    struct Shared {
        std::shared_ptr<RecordingDelegate> delegate;
        std::shared_ptr<web::WebView> view;
    };
    // The suite's view of each kind, made on first use.
    static std::array<Shared, 2>& views() {
        static std::array<Shared, 2> made;
        return made;
    }
    static Shared& shared(Kind kind) {
        Shared& shared = views()[kind == Kind::WK ? 0 : 1];
        if (!shared.view) {
            shared.delegate = std::make_shared<RecordingDelegate>();
            shared.view = makeView(shared.delegate, configurationOf(kind));
        }
        return shared;
    }

    struct Running {
        PageRun run;
        Shared* shared = nullptr;
        size_t eventsFrom = 0;
    };

    // Serves the page in a new folder and starts loading it in the kind's view.
    Running begin(const std::string& page, Kind kind) {
        Running running;
        running.run.kind = kind;
        running.run.folder = RawOrigin::newRun();
        running.run.port = origin.port();
        running.shared = &shared(kind);
        if (!running.shared->view) return running;
        // Cookies other tests' pages left for this host would be sent.
        EXPECT_TRUE(clearWebsiteData(kind)) << "the engine's cookies were not cleared in time";
        origin.answer(running.run.folder + "/page.html",
                      RawAnswer::html(std::string(kPageHelpers) + page));
        if (prepare) prepare(running.run.folder);
        running.eventsFrom = running.shared->delegate->events.size();
        running.shared->view->loadRequest(core::URLRequest(
            core::URL::create(origin.origin() + running.run.folder + "/page.html").value()));
        return running;
    }

    static bool isDone(const Running& running) {
        if (!running.shared || !running.shared->view) return true;
        // The view's last page stays done until this run's commits.
        const web::JSResult result = evaluateScript(
            *running.shared->view, "window.shapesDone === true && location.pathname.startsWith('" +
                                       running.run.folder + "/')");
        return result.ok() && result.value() == core::Value(true);
    }

    // What the page observed and what the origin received.
    PageRun gather(Running& running) {
        PageRun& run = running.run;
        if (!running.shared || !running.shared->view) return run;
        web::WebView& view = *running.shared->view;
        for (const auto& [key, value] : pageObservations(view))
            run.observations[key] = run.labelled(value);
        run.log = origin.log(run.folder + "/");
        view.stopLoading();
        return run;
    }

    // Runs the page in a WK-kind view, checks the facts known of it and
    // that no request carries a hop mark; for the UI kind, runs it in a
    // UI-kind view at the same time and expects the same observations and
    // requests. Answers the run of the parameter's kind.
    PageRun conform(const std::string& page, const Observations& known,
                    const std::vector<Heard>& heard, double limit = kPageLimit) {
        std::vector<Running> running;
        running.push_back(begin(page, Kind::WK));
        if (GetParam() == Kind::UI) running.push_back(begin(page, Kind::UI));
        (void)waitFor([&] { return std::all_of(running.begin(), running.end(), isDone); }, limit);
        std::vector<PageRun> runs;
        for (Running& one : running) {
            one.run.finished = isDone(one);
            runs.push_back(gather(one));
        }
        const PageRun& wk = runs.front();
        EXPECT_TRUE(wk.finished) << "the WK-kind page did not finish in " << limit << " s";
        for (const auto& [key, value] : known)
            EXPECT_EQ(shown(valueOf(wk.observations, key)), shown(value))
                << "WK observation \"" << key << "\"";
        checkHeard(wk, heard);
        for (const PageRun& run : runs) checkUnmarked(run);
        if (GetParam() == Kind::WK) return wk;
        const PageRun& ui = runs.back();
        EXPECT_TRUE(ui.finished) << "the UI-kind page did not finish in " << limit << " s";
        compare(wk, ui);
        return ui;
    }

    // Navigations in the kind's view, one after another, each once the
    // last ended: see TopLevelNavigationsToShapes.
    PageRun navigate(Kind kind, const std::vector<size_t>& picked,
                     const std::vector<std::string>& loads) {
        Running running = begin("done();\n</script>", kind);
        PageRun& run = running.run;
        if (!running.shared || !running.shared->view) return run;
        web::WebView& view = *running.shared->view;
        RecordingDelegate& delegate = *running.shared->delegate;
        // The page's own load ended, so that each step hears its own.
        run.finished = waitFor([&] {
            return isDone(running) && std::count(delegate.events.begin() + long(running.eventsFrom),
                                                 delegate.events.end(), "finish") > 0;
        });
        const std::string base = origin.origin() + run.folder + "/";
        // A long URL as its start and its length, with the run's labels: the
        // runs' folders and ports are not all as long as one another.
        const auto cut = [&](const std::string& url) {
            const std::string shown = run.labelled(url);
            return shown.size() <= 300 ? shown
                                       : shown.substr(0, 200) + "... (" +
                                             std::to_string(shown.size()) + " bytes)";
        };
        const auto step = [&](const std::string& key, const std::function<void()>& start) {
            const size_t from = delegate.events.size();
            const size_t askedFrom = delegate.navigations.size();
            start();
            const bool ended = waitFor(
                [&] {
                    for (size_t i = from; i < delegate.events.size(); ++i)
                        if (delegate.events[i] == "finish" ||
                            delegate.events[i].starts_with("fail"))
                            return true;
                    return false;
                },
                10);
            std::string events;
            for (size_t i = from; i < delegate.events.size(); ++i)
                events += (events.empty() ? "" : " ") + delegate.events[i];
            const web::JSResult read = evaluateScript(
                view, "JSON.stringify([location.href, window.served === undefined ? "
                      "String(document.body && document.body.textContent).slice(0, 40) : served])");
            std::string where = "(unread)", served;
            if (read.ok())
                if (const auto parsed = core::JSON::parse(read.value().stringValue());
                    parsed && parsed->array() && parsed->array()->size() == 2) {
                    where = (*parsed->array())[0].stringValue();
                    served = (*parsed->array())[1].stringValue();
                }
            run.observations[key] =
                run.labelled(RawOrigin::printable(cut(where) + " served " + served + " events " +
                                                  events + (ended ? "" : " (no end)")));
            std::string asked;
            for (size_t i = askedFrom; i < delegate.navigations.size(); ++i)
                asked += (asked.empty() ? "" : " ") +
                         cut(delegate.navigations[i].request.url().absoluteString());
            run.observations[key + " asked"] = run.labelled(RawOrigin::printable(asked));
        };
        const auto assign = [&](const std::string& url) {
            (void)evaluateScript(view, "setTimeout(() => location.assign(" +
                                           core::JSON::write(core::Value(url)).value_or("''") +
                                           "))");
        };
        for (const size_t i : picked) {
            const Shape& shape = shapes()[i];
            const std::string n = std::to_string(i);
            step("assign " + shape.name, [&] { assign(base + "nav-" + n + "/" + shape.written); });
            step("redirect " + shape.name, [&] { assign(base + "navredir-" + n + "/"); });
            step("form " + shape.name, [&] {
                const std::string action =
                    core::JSON::write(core::Value(base + "form-" + n + "/" + shape.written))
                        .value_or("''");
                (void)evaluateScript(view, R"(setTimeout(() => {
  const f = document.createElement('form');
  f.method = 'post';
  f.action = )" + action + R"(;
  const i = document.createElement('input');
  i.name = 'word';
  i.value = '\u00e9t\u00e9 a|b';
  f.appendChild(i);
  document.body.appendChild(f);
  f.submit();
}))");
            });
        }
        for (size_t i = 0; i < loads.size(); ++i) {
            step("load " + std::to_string(i), [&] {
                const auto url = core::URL::createFromWeb(base + "nav-load-" + std::to_string(i) +
                                                          "/" + loads[i]);
                ASSERT_TRUE(url) << loads[i];
                view.loadRequest(core::URLRequest(*url));
            });
        }
        step("dotted host", [&] {
            assign("http://localhost.:" + std::to_string(origin.port()) + run.folder +
                   "/nav-host/x");
        });
        step("longer query", [&] { assign(base + "nav-long/q?" + std::string(70000, 'z')); });
        run.log = origin.log(run.folder + "/");
        return run;
    }

    // The UI kind's run against the WK kind's: observations, and the
    // requests of every tag.
    static void compare(const PageRun& wk, const PageRun& ui) {
        std::set<std::string> keys;
        for (const auto& entry : wk.observations) keys.insert(entry.first);
        for (const auto& entry : ui.observations) keys.insert(entry.first);
        std::vector<std::string> observed;
        for (const auto& key : keys) {
            const auto wkValue = valueOf(wk.observations, key);
            const auto uiValue = valueOf(ui.observations, key);
            if (wkValue != uiValue)
                observed.push_back(key + ": WK " + shown(wkValue) + ", UI " + shown(uiValue));
        }
        EXPECT_TRUE(observed.empty()) << "what the UI-kind page observed differs from the WK kind ("
                                      << observed.size() << "):\n"
                                      << indented(observed);

        const auto wkTags = wk.byTag();
        const auto uiTags = ui.byTag();
        std::set<std::string> tags;
        for (const auto& entry : wkTags) tags.insert(entry.first);
        for (const auto& entry : uiTags) tags.insert(entry.first);
        std::vector<std::string> received;
        for (const auto& tag : tags) {
            const auto wkFound = wkTags.find(tag);
            const auto uiFound = uiTags.find(tag);
            const std::vector<Compared> none;
            const auto& wkRequests = wkFound == wkTags.end() ? none : wkFound->second;
            const auto& uiRequests = uiFound == uiTags.end() ? none : uiFound->second;
            if (wkRequests == uiRequests) continue;
            std::string text = tag + ":";
            for (const auto& request : wkRequests) text += "\n    WK " + request.describe();
            if (wkRequests.empty()) text += "\n    WK (nothing)";
            for (const auto& request : uiRequests) text += "\n    UI " + request.describe();
            if (uiRequests.empty()) text += "\n    UI (nothing)";
            received.push_back(text);
        }
        EXPECT_TRUE(received.empty())
            << "what the origin received from the UI-kind page differs from the WK kind ("
            << received.size() << " tags):\n"
            << indented(received);
    }

    static void checkHeard(const PageRun& run, const std::vector<Heard>& heard) {
        const auto tags = run.byTag();
        for (const Heard& expected : heard) {
            const auto found = tags.find(expected.tag);
            if (found == tags.end()) {
                ADD_FAILURE() << kindLabel(run.kind) << ": nothing under " << expected.tag;
                continue;
            }
            const Compared& request = found->second.front();
            if (expected.target) {
                EXPECT_EQ(RawOrigin::printable(request.target),
                          RawOrigin::printable("/RUN/" + *expected.target))
                    << kindLabel(run.kind) << ": the target of " << expected.tag;
            }
            for (const auto& [name, value] : expected.fields) {
                std::optional<std::string> sent;
                for (const auto& [fieldName, fieldValue] : request.fields)
                    if (core::Unicode::equalsCaseInsensitive(fieldName, name)) sent = fieldValue;
                EXPECT_EQ(shown(sent), shown(value.empty() ? std::nullopt : std::optional(value)))
                    << kindLabel(run.kind) << ": " << name << " of " << expected.tag;
            }
            if (expected.body) {
                EXPECT_EQ(RawOrigin::printable(request.body), RawOrigin::printable(*expected.body))
                    << kindLabel(run.kind) << ": the body of " << expected.tag;
            }
        }
    }

    // No request carries a proxy's hop mark or forwarding fields.
    static void checkUnmarked(const PageRun& run) {
        std::vector<std::string> marked;
        for (const auto& request : run.log)
            for (const auto& [name, value] : request.fields)
                for (const char* forwarding : {"via", "forwarded", "x-forwarded-for",
                                               "x-forwarded-host", "x-forwarded-proto"})
                    if (core::Unicode::equalsCaseInsensitive(name, forwarding))
                        marked.push_back(RawOrigin::printable(request.target) + ": " + name + ": " +
                                         RawOrigin::printable(value));
        EXPECT_TRUE(marked.empty())
            << kindLabel(run.kind) << ": requests the origin received with a hop mark ("
            << marked.size() << "):\n"
            << indented(marked);
    }

    // The shapes of the list whose sent form is sure, as heard under
    // "<word>-<index>".
    static std::vector<Heard> sureTargets(const std::string& word,
                                          const std::vector<Shape>& list = shapes()) {
        std::vector<Heard> heard;
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].sent) {
                const std::string tag = word + "-" + std::to_string(i);
                heard.push_back({tag, tag + "/" + *list[i].sent});
            }
        return heard;
    }

    RawOrigin origin;
    // Run before a page of a run loads, with the run's folder: the answers
    // the case gives there.
    std::function<void(const std::string& folder)> prepare;
};

// fetch and XHR of every shape from the page's own origin: the target the
// origin receives, and the status, statusText, URL and body the page reads.
TEST_P(WebViewURLShapesService, FetchesAndXHRsOfEveryShape) {
    const PageRun run = conform("const SHAPES = " + shapesScript(shapes()) + R"(;
(async () => {
  await Promise.all(SHAPES.map(async ([name, shape], i) => {
    note('fetch ' + name, await settle(fetched(BASE + 'fetch-' + i + '/' + shape)));
    note('xhr ' + name, await settle(xhred('GET', BASE + 'xhr-' + i + '/' + shape)));
  }));
  done();
})();
</script>)",
                                {}, [] {
                                    auto heard = sureTargets("fetch");
                                    for (auto& xhr : sureTargets("xhr")) heard.push_back(xhr);
                                    return heard;
                                }());
    for (size_t i = 0; i < shapes().size(); ++i) {
        const auto& shape = shapes()[i];
        if (!shape.sent) continue;
        const std::string target = "/RUN/fetch-" + std::to_string(i) + "/" + *shape.sent;
        EXPECT_EQ(shown(valueOf(run.observations, "fetch " + shape.name)),
                  shown("200 \"OK\" http://127.0.0.1:PORT" + target + " GET " + target))
            << kindLabel(run.kind);
    }
}

// Images, scripts and frames of every shape: whether each loaded, the URL
// the element gives, whether the script ran, and what the frame's document
// was served and where it is.
TEST_P(WebViewURLShapesService, ImagesScriptsAndFramesOfEveryShape) {
    std::vector<Heard> heard;
    for (const std::string word : {"img", "script", "frame"})
        for (auto& one : sureTargets(word)) heard.push_back(std::move(one));
    const PageRun run = conform("const SHAPES = " + shapesScript(shapes()) + R"(;
(async () => {
  await Promise.all(SHAPES.map(async ([name, shape], i) => {
    const image = new Image();
    const imageLoad = loaded(image, 6000);
    image.src = BASE + 'img-' + i + '/' + shape;
    const imageResult = await imageLoad;
    note('image ' + name, imageResult + ' ' + image.naturalWidth + 'x' + image.naturalHeight + ' ' + image.src);
    const script = document.createElement('script');
    script.src = BASE + 'script-' + i + '/' + shape;
    const scriptLoad = loaded(script, 6000);
    document.head.appendChild(script);
    const scriptResult = await scriptLoad;
    note('script ' + name, scriptResult + ' ' + script.src + ' ran ' + (window.ran || []).includes(script.src));
    const frame = document.createElement('iframe');
    frame.src = BASE + 'frame-' + i + '/' + shape;
    const told = nextMessage(e => e.source === frame.contentWindow, 6000);
    document.body.appendChild(frame);
    const m = await told;
    note('frame ' + name, m === 'timeout' ? m : printable(m.data.served) + ' at ' + m.data.href);
    frame.remove();
  }));
  done();
})();
</script>)",
                                {}, heard);
    for (size_t i = 0; i < shapes().size(); ++i) {
        const std::string& name = shapes()[i].name;
        EXPECT_TRUE(valueOf(run.observations, "image " + name).value_or("").starts_with("load 1x1"))
            << kindLabel(run.kind) << ": image " << name;
        EXPECT_TRUE(valueOf(run.observations, "script " + name).value_or("").ends_with(" ran true"))
            << kindLabel(run.kind) << ": script " << name;
        EXPECT_TRUE(
            valueOf(run.observations, "frame " + name).value_or("").starts_with("GET /RUN/frame-"))
            << kindLabel(run.kind) << ": frame " << name;
    }
}

// Forms posted into frames, and fetch and XHR posts, to every shape: the
// body bytes and their type arrive as sent, and the page reads the answer.
TEST_P(WebViewURLShapesService, FormAndScriptPostsToEveryShape) {
    std::vector<Heard> heard;
    for (auto& one : sureTargets("form")) {
        one.fields = {{"Content-Type", "application/x-www-form-urlencoded"}};
        one.body = "word=%C3%A9t%C3%A9+%E6%97%A5%E6%9C%AC&sign=a%7Cb%26c%3D%25zz";
        heard.push_back(std::move(one));
    }
    std::string all(256, '\0');
    for (size_t i = 0; i < all.size(); ++i) all[i] = char(i);
    for (auto& one : sureTargets("post")) {
        one.body = all;
        heard.push_back(std::move(one));
    }
    for (auto& one : sureTargets("xpost")) {
        one.fields = {{"Content-Type", "text/plain;charset=UTF-8"}};
        one.body = "x=\xC3\xA9|%zz";
        heard.push_back(std::move(one));
    }
    const PageRun run = conform("const SHAPES = " + shapesScript(shapes()) + R"(;
(async () => {
  const bytes = new Uint8Array(256).map((_, i) => i);
  await Promise.all(SHAPES.map(async ([name, shape], i) => {
    const frame = document.createElement('iframe');
    frame.name = 'target-' + i;
    document.body.appendChild(frame);
    const form = document.createElement('form');
    form.method = 'post';
    form.target = frame.name;
    form.action = BASE + 'form-' + i + '/' + shape;
    for (const [field, value] of [['word', '\u00e9t\u00e9 \u65e5\u672c'], ['sign', 'a|b&c=%zz']]) {
      const input = document.createElement('input');
      input.name = field;
      input.value = value;
      form.appendChild(input);
    }
    document.body.appendChild(form);
    const told = nextMessage(e => e.source === frame.contentWindow, 6000);
    form.submit();
    const m = await told;
    note('form ' + name, m === 'timeout' ? m : printable(m.data.served) + ' at ' + m.data.href);
    note('post ' + name, await settle(fetched(BASE + 'post-' + i + '/' + shape, {method: 'POST', body: bytes})));
    note('xhr post ' + name, await settle(xhred('POST', BASE + 'xpost-' + i + '/' + shape, 'x=\u00e9|%zz')));
  }));
  done();
})();
</script>)",
                                {}, heard);
    for (size_t i = 0; i < shapes().size(); ++i) {
        const std::string& name = shapes()[i].name;
        EXPECT_TRUE(
            valueOf(run.observations, "form " + name).value_or("").starts_with("POST /RUN/form-"))
            << kindLabel(run.kind) << ": form " << name;
        EXPECT_TRUE(
            valueOf(run.observations, "post " + name).value_or("").starts_with("200 \"OK\""))
            << kindLabel(run.kind) << ": post " << name;
    }
}

// Redirects whose Location the server writes with the shape's bytes as
// they are (spaces, UTF-8, pipes, bad escapes): fetches, images, frames and
// a 307 post follow them as the engine reads the field.
TEST_P(WebViewURLShapesService, RedirectsToEveryShape) {
    const auto& list = shapes();
    prepare = [&](const std::string& folder) {
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string n = std::to_string(i);
            for (const auto& [from, to, status] :
                 {std::tuple{"redir-", "redir-to-", "302 Found"},
                  std::tuple{"img-from-", "img-to-", "302 Found"},
                  std::tuple{"frame-from-", "frame-to-", "302 Found"},
                  std::tuple{"post-from-", "post-to-", "307 Temporary Redirect"}})
                origin.answer(folder + "/" + from + n + "/",
                              {std::string("HTTP/1.1 ") + status,
                               {{"Location", folder + "/" + to + n + "/" + list[i].written},
                                {"Access-Control-Allow-Origin", "*"},
                                {"Cache-Control", "no-store"}},
                               {}});
        }
    };
    std::vector<Heard> heard;
    for (size_t i = 0; i < list.size(); ++i) {
        const bool ascii = std::all_of(list[i].written.begin(), list[i].written.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!list[i].sent || !ascii) continue;
        for (const std::string word : {"redir-to-", "img-to-", "frame-to-", "post-to-"})
            heard.push_back(
                {word + std::to_string(i), word + std::to_string(i) + "/" + *list[i].sent});
        heard.back().body = "kept";
    }
    const PageRun run = conform("const SHAPES = " + shapesScript(list) + R"(;
(async () => {
  await Promise.all(SHAPES.map(async ([name, shape], i) => {
    note('fetch ' + name, await settle(fetched(BASE + 'redir-' + i + '/')));
    note('post ' + name, await settle(fetched(BASE + 'post-from-' + i + '/', {method: 'POST', body: 'kept'})));
    const image = new Image();
    const imageLoad = loaded(image, 6000);
    image.src = BASE + 'img-from-' + i + '/';
    const imageResult = await imageLoad;
    note('image ' + name, imageResult + ' ' + image.naturalWidth + 'x' + image.naturalHeight);
    const frame = document.createElement('iframe');
    frame.src = BASE + 'frame-from-' + i + '/';
    const told = nextMessage(e => e.source === frame.contentWindow, 6000);
    document.body.appendChild(frame);
    const m = await told;
    note('frame ' + name, m === 'timeout' ? m : printable(m.data.served) + ' at ' + m.data.href);
    frame.remove();
  }));
  done();
})();
</script>)",
                                {}, heard);
    for (const Heard& expected : heard) {
        if (!expected.tag.starts_with("redir-to-")) continue;
        const std::string name = list[std::stoul(expected.tag.substr(9))].name;
        const std::string target = "/RUN/" + *expected.target;
        EXPECT_EQ(shown(valueOf(run.observations, "fetch " + name)),
                  shown("200 \"OK\" http://127.0.0.1:PORT" + target + " GET " + target))
            << kindLabel(run.kind);
    }
}

// WebSockets to every shape: the handshake's target, and the echo.
TEST_P(WebViewURLShapesService, WebSocketsToEveryShape) {
    std::vector<Heard> heard;
    for (auto& one : sureTargets("ws"))
        if (one.target->find('#') == std::string::npos && !one.target->ends_with("frag"))
            heard.push_back(std::move(one));
    const PageRun run = conform("const SHAPES = " + shapesScript(shapes()) + R"(;
const echo = url => settle(new Promise(resolve => {
  let socket;
  try { socket = new WebSocket(url); } catch (e) { resolve('throws ' + e.name); return; }
  socket.onopen = () => socket.send('hello');
  socket.onmessage = e => { resolve('echo ' + e.data + ' at ' + socket.url); socket.close(); };
  socket.onerror = () => resolve('error at ' + socket.url);
}));
(async () => {
  const WS = BASE.replace('http:', 'ws:');
  await Promise.all(SHAPES.map(async ([name, shape], i) => note('socket ' + name, await echo(WS + 'ws-' + i + '/' + shape))));
  done();
})();
</script>)",
                                {{"socket fragment", "throws SyntaxError"}}, heard);
    for (const Heard& expected : heard)
        EXPECT_TRUE(
            valueOf(run.observations, "socket " + shapes()[std::stoul(expected.tag.substr(3))].name)
                .value_or("")
                .starts_with("echo hello at ws://127.0.0.1:PORT/RUN/" + expected.tag + "/"))
            << kindLabel(run.kind) << ": " << expected.tag;
}

// Hosts written unusually (a final dot, capitals, a short IPv4 form, IPv6
// literals where the origin listens on ::1) and long targets: a path of
// 4000 bytes, queries of 60,000 bytes (answered) and of 70,000 (the
// origin's own 414).
TEST_P(WebViewURLShapesService, HostsAndLongTargets) {
    std::vector<std::string> hosts = {"localhost.", "LocalHost", "127.1"};
    if (origin.hasIPv6()) {
        hosts.push_back("[::1]");
        hosts.push_back("[0:0::1]");
    }
    core::Array hostList;
    for (const auto& host : hosts) hostList.emplace_back(host);
    const std::string hostsScript = core::JSON::write(core::Value(hostList)).value_or("[]");
    std::vector<Heard> heard = {
        {"host-1", "host-1/x", {{"Host", "localhost:PORT"}}},
        {"host-2", "host-2/x", {{"Host", "127.0.0.1:PORT"}}},
        {"long-path", "long-path/" + std::string(4000, 'x')},
        {"long-query", "long-query/q?" + std::string(60000, 'y')},
        {"longer-query", "longer-query/q?" + std::string(70000, 'z')},
    };
    if (origin.hasIPv6()) heard.push_back({"host-4", "host-4/x", {{"Host", "[::1]:PORT"}}});
    conform("const HOSTS = " + hostsScript + R"(;
(async () => {
  const on = host => 'http://' + host + ':' + PORT + '/' + RUN + '/';
  await Promise.all([
    ...HOSTS.map(async (host, i) => {
      note('fetch ' + host, await settle(fetched(on(host) + 'host-' + i + '/x')));
      const image = new Image();
      const imageLoad = loaded(image, 6000);
      image.src = on(host) + 'img-host-' + i + '/x';
      note('image ' + host, (await imageLoad) + ' ' + image.naturalWidth + 'x' + image.naturalHeight);
    }),
    ...[['long path', 'long-path/' + 'x'.repeat(4000)], ['long query', 'long-query/q?' + 'y'.repeat(60000)],
        ['longer query', 'longer-query/q?' + 'z'.repeat(70000)]].map(async ([key, target]) =>
      note(key, await settle(fetch(BASE + target).then(async r =>
        [r.status, r.statusText, r.url === BASE + target,
         (await r.text()).endsWith(target) ? 'echoed' : 'not echoed'].join(' '))))),
  ]);
  done();
})();
</script>)",
            {{"fetch LocalHost", "200 \"OK\" http://localhost:PORT/RUN/host-1/x GET /RUN/host-1/x"},
             {"fetch 127.1", "200 \"OK\" http://127.0.0.1:PORT/RUN/host-2/x GET /RUN/host-2/x"},
             {"long path", "200 OK true echoed"},
             {"long query", "200 OK true echoed"},
             {"longer query", "414 URI Too Long true not echoed"}},
            heard);
}

// Answers with unusual status lines (reason phrases of their own, empty or
// none, bytes outside ASCII, HTTP/1.0) and field bytes (Latin-1 and UTF-8
// bytes, inner blanks and tabs, a field twice, odd capitals, an empty and a
// long value): status, statusText, every field and the body, as fetch and
// XHR read them.
TEST_P(WebViewURLShapesService, UnusualStatusLinesAndFieldBytes) {
    const std::vector<RawAnswer> answers = {
        {"HTTP/1.1 200 Fine Thanks", {}, "fine"},
        {"HTTP/1.1 418 Teapot Here", {}, "short and stout"},
        {"HTTP/1.1 200 ", {}, "empty reason"},
        {"HTTP/1.1 202", {}, "no reason"},
        {"HTTP/1.1 299 Caf\xE9 \xC3\xA9t\xC3\xA9", {}, "bytes in the reason"},
        {"HTTP/1.1 599 Way Out There", {}, "odd status"},
        {"HTTP/1.1 404 Not Here Either", {}, "missing"},
        {"HTTP/1.0 200 Old School", {}, "old"},
        {"HTTP/1.1 200 OK",
         {{"X-Latin", "caf\xE9"},
          {"X-Utf8", "\xC3\xA9t\xC3\xA9"},
          {"X-High", "\xFF\x80"},
          {"X-Inner", "a   b"},
          {"X-Tab", "a\tb"},
          {"X-Dup", "one"},
          {"X-Dup", "two"},
          {"x-MiXeD-cAsE", "kept"},
          {"X-Empty", ""},
          {"X-Quote", "\"q, r\""},
          {"X-Long", std::string(8000, 'v')}},
         std::string("\x00\xFF bytes \xC3\xA9", 11)},
    };
    prepare = [&](const std::string& folder) {
        for (size_t i = 0; i < answers.size(); ++i) {
            RawAnswer answer = answers[i];
            answer.fields.emplace_back("Content-Type", "text/plain; charset=utf-8");
            answer.fields.emplace_back("Cache-Control", "no-store");
            origin.answer(folder + "/answer-" + std::to_string(i) + "/", std::move(answer));
        }
    };
    conform(
        "const COUNT = " + std::to_string(answers.size()) + R"(;
(async () => {
  const fields = headers => [...headers].map(([n, v]) => n + ': ' + printable(v)).join(' | ');
  await Promise.all([...Array(COUNT).keys()].map(async i => {
    const url = BASE + 'answer-' + i + '/';
    note('fetch ' + i, await settle(fetch(url).then(async r =>
      [r.status, printable(r.statusText), r.ok, fields(r.headers), bytesText(await r.arrayBuffer())].join(' / '))));
    note('xhr ' + i, await settle(new Promise(resolve => {
      const x = new XMLHttpRequest();
      x.open('GET', url + '?xhr');
      x.onload = () => resolve([x.status, printable(x.statusText),
                                printable(x.getAllResponseHeaders().split('\r\n').sort().join(' | ')),
                                printable(x.getResponseHeader('X-Dup') || ''), printable(x.responseText)].join(' / '));
      x.onerror = () => resolve('error');
      x.send();
    })));
  }));
  done();
})();
</script>)",
        {{"fetch 0", "200 / Fine Thanks / true / cache-control: no-store | content-length: 4 | "
                     "content-type: text/plain; charset=utf-8 / fine"},
         {"fetch 1", "418 / Teapot Here / false / cache-control: no-store | content-length: 15 | "
                     "content-type: text/plain; charset=utf-8 / short and stout"}},
        {});
}

// Fields that script sets on its requests with bytes of their own (a
// Latin-1 byte, the bytes of UTF-8 text, inner blanks and tabs, quotes,
// odd capitals, an empty and a long value, a field twice) arrive as those
// bytes, from fetch and from XHR.
TEST_P(WebViewURLShapesService, RequestFieldsSetByScriptKeepTheirBytes) {
    // (The engine here sends a character above 0x7F as its UTF-8 bytes,
    // where a browser sends the one byte: those fields are compared between
    // the kinds only.)
    const std::map<std::string, std::string> sent = {{"X-Inner", "a   b"},
                                                     {"X-Tab", "a\tb"},
                                                     {"X-Quote", "\"q, r\""},
                                                     {"X-Dup", "one, two"},
                                                     {"X-Long", std::string(8000, 'v')}};
    std::vector<Heard> heard;
    for (const std::string tag : {"fields-fetch", "fields-xhr", "fields-post"}) {
        heard.push_back({tag, tag + "/x", {}});
        for (const auto& [name, value] : sent) heard.back().fields[name] = value;
    }
    heard.back().body = "posted";
    const PageRun run = conform(R"(
const FIELDS = [['X-Name', 'caf\xe9'], ['X-Utf8', '\xc3\xa9'], ['X-High', '\xff\x80'],
                ['X-Inner', 'a   b'], ['X-Tab', 'a\tb'], ['X-Quote', '"q, r"'], ['x-MiXeD', 'v'],
                ['X-Empty', ''], ['X-Long', 'v'.repeat(8000)], ['X-Dup', 'one'], ['X-Dup', 'two']];
const headers = () => { const h = new Headers(); for (const [n, v] of FIELDS) h.append(n, v); return h; };
(async () => {
  note('fetch', await settle(fetched(BASE + 'fields-fetch/x', {headers: headers()})));
  note('xhr', await settle(xhred('GET', BASE + 'fields-xhr/x', null, FIELDS)));
  note('post', await settle(fetched(BASE + 'fields-post/x', {method: 'POST', headers: headers(), body: 'posted'})));
  done();
})();
</script>)",
                                {}, heard);
    // The empty field is sent, empty.
    for (const auto& request : run.log) {
        if (!tagOf(request.target).starts_with("fields-")) continue;
        const std::string* empty = request.field("X-Empty");
        EXPECT_EQ(shown(empty ? std::optional(*empty) : std::nullopt), shown(""))
            << kindLabel(run.kind) << ": " << RawOrigin::printable(request.target);
    }
}

// Top-level navigations to shapes: the page moving itself (location.assign),
// a form posted in the main frame, a main-frame redirect whose Location has
// the shape's bytes, loads made through the view of URLs as an engine writes
// them, a host with a final dot, a query of 70,000 bytes. For each: where the
// page is, what it was served, the loads the view's delegate heard of, and
// the URLs it was asked about, which are those the engine loaded.
TEST_P(WebViewURLShapesService, TopLevelNavigationsToShapes) {
    std::vector<size_t> picked;
    for (size_t i = 0; i < shapes().size(); ++i)
        for (const char* name :
             {"space", "latin", "cjk", "pipe", "brackets", "braces", "bad escape", "escaped slash",
              "fragment", "timestamp query", "pipe query", "bad escape query", "quote query"})
            if (shapes()[i].name == name) picked.push_back(i);
    // Loads made through the view, of URLs as engines write them.
    const std::vector<std::string> loads = {"a|b", "br[ack]",          "a%zzb", "q?cb=[t]&x=a|b",
                                            "{b}", "\xC3\xA9t\xC3\xA9"};
    prepare = [&](const std::string& folder) {
        for (const size_t i : picked)
            origin.answer(folder + "/navredir-" + std::to_string(i) + "/",
                          {"HTTP/1.1 302 Found",
                           {{"Location",
                             folder + "/nav-to-" + std::to_string(i) + "/" + shapes()[i].written}},
                           {}});
    };
    std::vector<PageRun> runs = {navigate(Kind::WK, picked, loads)};
    if (GetParam() == Kind::UI) runs.push_back(navigate(Kind::UI, picked, loads));
    const PageRun& wk = runs.front();
    for (const size_t i : picked) {
        const Shape& shape = shapes()[i];
        if (!shape.sent) continue;
        const std::string target = "/RUN/nav-" + std::to_string(i) + "/" + *shape.sent;
        const std::string href =
            "http://127.0.0.1:PORT" + target + (shape.name == "fragment" ? "#part" : "");
        EXPECT_EQ(shown(valueOf(wk.observations, "assign " + shape.name)),
                  shown(href + " served GET " + target + " events start commit finish"));
        EXPECT_EQ(shown(valueOf(wk.observations, "assign " + shape.name + " asked")), shown(href));
    }
    for (size_t i = 0; i < loads.size(); ++i) {
        const std::string key = "load " + std::to_string(i);
        EXPECT_TRUE(
            valueOf(wk.observations, key).value_or("").ends_with(" events start commit finish"))
            << key << ": " << shown(valueOf(wk.observations, key));
    }
    EXPECT_TRUE(valueOf(wk.observations, "longer query")
                    .value_or("")
                    .ends_with(" served too long events start commit finish"))
        << shown(valueOf(wk.observations, "longer query"));
    std::vector<Shape> navigated;
    for (const size_t i : picked) navigated.push_back(shapes()[i]);
    std::vector<Heard> heard;
    for (size_t j = 0; j < picked.size(); ++j) {
        const std::string tag = "nav-" + std::to_string(picked[j]);
        if (navigated[j].sent) heard.push_back({tag, tag + "/" + *navigated[j].sent});
    }
    checkHeard(wk, heard);
    for (const PageRun& run : runs) checkUnmarked(run);
    if (GetParam() == Kind::UI) compare(wk, runs.back());
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewURLShapesService, testing::ValuesIn(kKinds), kindName);

}  // namespace
