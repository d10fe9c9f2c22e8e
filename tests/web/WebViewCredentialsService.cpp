// Pages that give credentials (in a URL, to an XHR), loads that fail on the
// way, and redirects whose bodies are large, the same in both kinds of web
// view. A "WK"-kind view, where the engine loads the page itself, must see
// what a browser sees (the facts each case is sure of); a "UI"-kind view,
// whose loads go through the app's proxy, must see what the "WK" kind saw,
// and its origins must receive the same requests with the same
// credentials. Credentials a page gives reach its origin's challenge and
// nothing else; what the proxy asks of the engine never reaches a page or
// an origin, and one page never breaks another view's loads.
//
// Each test has origins of its own (new ports), as the engine keeps the
// credentials an origin took for the rest of the process.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "WebViewTesting.h"
#include "core/JSON.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;

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
function note(key, value) { obs[key] = String(value); }
function settle(p) {
  return Promise.race([
    Promise.resolve(p).then(v => v, e => 'error ' + (e && e.name ? e.name : String(e))),
    new Promise(r => setTimeout(() => r('timeout'), 6000))]);
}
function xhr(url, user, password) {
  return settle(new Promise(resolve => {
    const request = new XMLHttpRequest();
    if (user === undefined) request.open('GET', url, true);
    else request.open('GET', url, true, user, password);
    request.onload = () => resolve(request.status + ' ' + request.responseText);
    request.onerror = () => resolve('error ' + request.status);
    request.send();
  }));
}
function fetched(url) {
  return settle(fetch(url).then(async r => r.status + ' ' + (await r.text())));
}
function framed(src) {
  return settle(new Promise(resolve => {
    window.addEventListener('message', e => resolve(e.data));
    const frame = document.createElement('iframe');
    frame.src = src;
    document.body.appendChild(frame);
  }));
}
</script>)";

// A page that runs script (an async function's body), then tells it is done.
std::string page(const std::string& script) {
    return std::string(kHelpers) + "<script>(async () => {\n" + script +
           "\nwindow.pageDone = true;\n})();</script>";
}

// An origin that breaks HTTP on purpose, on 127.0.0.1: it keeps each
// connection for request after request, answering /ok with "ok", /reset by
// resetting the connection, and /unsupported with an answer of an HTTP
// version no client reads; it counts what it was asked.
class BrokenOrigin {
public:
    BrokenOrigin() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(listener_, 64) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "the broken origin cannot listen";
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { acceptAll(); });
    }
    ~BrokenOrigin() {
        stopping_ = true;
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
        {
            const std::lock_guard lock(mutex_);
            for (const int client : clients_) shutdown(client, SHUT_RDWR);
        }
        for (auto& served : served_) served.join();
    }

    [[nodiscard]] std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    [[nodiscard]] size_t asked(const std::string& path) const {
        const std::lock_guard lock(mutex_);
        const auto found = asked_.find(path);
        return found == asked_.end() ? 0 : found->second;
    }

private:
    void acceptAll() {
        while (!stopping_) {
            const int client = accept(listener_, nullptr, nullptr);
            if (client < 0) return;
            {
                const std::lock_guard lock(mutex_);
                clients_.push_back(client);
            }
            served_.emplace_back([this, client] { serve(client); });
        }
    }

    void serve(int client) {
        std::string in;
        char buffer[4096];
        while (true) {
            const size_t end = in.find("\r\n\r\n");
            if (end == std::string::npos) {
                const ssize_t count = recv(client, buffer, sizeof buffer, 0);
                if (count <= 0) break;
                in.append(buffer, size_t(count));
                continue;
            }
            const size_t start = in.find(' ') + 1;
            const std::string path = in.substr(start, in.find_first_of(" ?", start) - start);
            in.erase(0, end + 4);
            {
                const std::lock_guard lock(mutex_);
                ++asked_[path];
            }
            std::string answer;
            if (path == "/reset") {
                const linger abrupt{1, 0};
                setsockopt(client, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
                break;
            } else if (path == "/unsupported") {
                answer = "HTTP/1.2 200 OK\r\nAccess-Control-Allow-Origin: *\r\n"
                         "Content-Length: 2\r\n\r\nno";
            } else {
                answer = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                         "Access-Control-Allow-Origin: *\r\nContent-Length: 2\r\n\r\nok";
            }
            if (send(client, answer.data(), answer.size(), MSG_NOSIGNAL) < 0) break;
        }
        const std::lock_guard lock(mutex_);
        std::erase(clients_, client);
        close(client);
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::vector<std::thread> served_;
    mutable std::mutex mutex_;
    std::map<std::string, size_t> asked_;
    std::vector<int> clients_;
};

// The view's loads as they ended, "start,commit,finish,...".
std::string eventsOf(const RecordingDelegate& delegate) {
    std::string text;
    for (const auto& event : delegate.events) text += (text.empty() ? "" : ",") + event;
    return text;
}

// What one kind's run showed: what its pages observed, how its views' loads
// ended, and what the origin received, with the credentials each request
// carried.
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

    // Opens a view of the kind on path of the origin; the view once its
    // page is done (or kPageLimit passed).
    std::shared_ptr<web::WebView> open(const std::string& path, Kind kind,
                                       const std::shared_ptr<RecordingDelegate>& delegate) {
        const auto view = makeView(delegate, configurationOf(kind));
        if (!view) return view;
        view->loadRequest(core::URLRequest(origin.url(path)));
        EXPECT_TRUE(waitFor(
            [&] {
                const web::JSResult result = evaluateScript(*view, "window.pageDone === true");
                return result.ok() && result.value() == core::Value(true);
            },
            kPageLimit))
            << (kind == Kind::WK ? "WK" : "UI") << ": " << path << " did not finish in time";
        return view;
    }

    // What the page of the view observed, its keys under prefix.
    static void observe(web::WebView& view, const std::string& prefix, Observations& into) {
        const web::JSResult read = evaluateScript(view, "JSON.stringify(window.obs || {})");
        if (!read.ok()) return;
        if (auto parsed = core::JSON::parse(read.value().stringValue());
            parsed && parsed->dictionary())
            for (const auto& [key, value] : *parsed->dictionary())
                into[prefix + key] = value.stringValue();
    }

    // Each request the origin received since the log was cleared: its path
    // and the credentials it carried. No request ever carries a proxy's.
    std::vector<std::string> received() {
        std::vector<std::string> lines;
        for (const auto& request : origin.requests()) {
            EXPECT_FALSE(request.headers.contains("Proxy-Authorization")) << request.path;
            lines.push_back(request.method + " " + request.path + " " +
                            request.headers.value("Authorization").value_or("-"));
        }
        origin.clearLog();
        return lines;
    }

    // Runs the case in the "WK" kind and checks what is known of it; for the
    // "UI" kind runs it there too and expects what the "WK" kind showed.
    void conform(const std::function<Shown(Kind)>& run, const Observations& known) {
        const Shown wk = run(Kind::WK);
        for (const auto& [key, value] : known) {
            const auto found = wk.observed.find(key);
            EXPECT_EQ(found == wk.observed.end() ? "(none)" : found->second, value)
                << "WK observation " << key;
        }
        if (GetParam() == Kind::WK) return;
        const Shown ui = run(Kind::UI);
        EXPECT_EQ(ui.observed, wk.observed) << "what the UI kind showed differs from the WK kind";
        EXPECT_EQ(ui.received, wk.received)
            << "what the origin received from the UI kind differs from the WK kind";
    }

    fixtures::LoopbackServer origin;
};

// An XHR given credentials: the origin's challenge gets them, and later
// loads of the origin, the page's and another view's, carry them as the
// engine keeps them; the other view's own loads go on.
TEST_P(WebViewCredentialsService, CredentialsGivenToAnXHRAnswerTheOriginAlone) {
    serveHTML(origin, "/xhr.html", page(R"(
  note('given', await xhr('/auth', 'u', 'p'));
  note('again', await xhr('/auth'));
  note('fetch', await fetched('/auth'));
)"));
    serveHTML(origin, "/other.html", page(R"(
  note('plain', await fetched('/plain'));
  note('auth', await fetched('/auth'));
)"));
    conform(
        [&](Kind kind) {
            Shown run;
            const auto delegate = std::make_shared<RecordingDelegate>();
            if (const auto view = open("/xhr.html", kind, delegate))
                observe(*view, "", run.observed);
            const auto otherDelegate = std::make_shared<RecordingDelegate>();
            if (const auto other = open("/other.html", kind, otherDelegate))
                observe(*other, "other.", run.observed);
            run.observed["events"] = eventsOf(*delegate);
            run.received = received();
            return run;
        },
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
    serveHTML(origin, "/frame.html",
              page("note('frame', await framed('" + withCredentials +
                   "/framed'));\nnote('after', await fetched('/plain'));"));
    serveHTML(origin, "/next.html", page("note('next', await fetched('/plain'));"));
    conform(
        [&](Kind kind) {
            Shown run;
            const auto delegate = std::make_shared<RecordingDelegate>();
            const auto view = open("/frame.html", kind, delegate);
            if (!view) return run;
            observe(*view, "", run.observed);
            const auto navigated = core::URL::create(withCredentials + "/auth").value();
            EXPECT_TRUE(loadAndWait(*view, *delegate, navigated));
            run.observed["navigation"] = std::to_string(view->mainFrameStatusCode().value_or(0)) +
                                         " " +
                                         evaluate(*view, "document.body.textContent").stringValue();
            EXPECT_TRUE(loadAndWait(*view, *delegate, origin.url("/plain")));
            run.observed["then"] = evaluate(*view, "document.body.textContent").stringValue();
            const auto otherDelegate = std::make_shared<RecordingDelegate>();
            if (const auto other = open("/next.html", kind, otherDelegate))
                observe(*other, "other.", run.observed);
            run.observed["events"] = eventsOf(*delegate);
            run.received = received();
            return run;
        },
        {{"frame", "framed ok u"},
         {"after", "200 plain"},
         {"navigation", "200 ok u"},
         {"then", "plain"},
         {"other.next", "200 plain"}});
}

// Loads that fail on the way, after the origin answered on the same
// connection: the page sees the failure the engine alone sees (a fetch
// rejects, an XHR errs) and nothing of the proxy's, and the origin is asked
// as often. A navigation that fails so fails in the view, whose report of
// it gives, in the "UI" kind, what the proxy met (libcurl's reason).
TEST_P(WebViewCredentialsService, FailuresOnTheWayReachThePageAsFailures) {
    conform(
        [&](Kind kind) {
            Shown run;
            BrokenOrigin broken;
            serveHTML(origin, "/fail.html", page("const broken = '" + broken.origin() + "';" + R"(
  note('ok', await fetched(broken + '/ok'));
  note('reset', await fetched(broken + '/reset'));
  note('ok again', await fetched(broken + '/ok'));
  note('unsupported', await fetched(broken + '/unsupported'));
  note('xhr', await xhr(broken + '/unsupported?xhr'));
)"));
            const auto delegate = std::make_shared<RecordingDelegate>();
            const auto view = open("/fail.html", kind, delegate);
            if (!view) return run;
            observe(*view, "", run.observed);
            for (const std::string path : {"/reset", "/unsupported"}) {
                const auto url = core::URL::create(broken.origin() + path).value();
                EXPECT_TRUE(loadAndWait(*view, *delegate, url));
                run.observed["navigation " + path] =
                    delegate->errors.empty() ? "finished" : "failed";
                if (kind == Kind::UI && !delegate->errors.empty()) {
                    EXPECT_NE(delegate->errors.back().message.find("libcurl"), std::string::npos)
                        << path << ": " << delegate->errors.back().message;
                }
                delegate->errors.clear();
                run.observed["asked " + path] = std::to_string(broken.asked(path));
            }
            run.received = received();
            return run;
        },
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
    serveHTML(origin, "/redirects.html", page(R"(
  note('301', await fetched('/moved301'));
  note('302', await fetched('/moved302'));
)"));
    conform(
        [&](Kind kind) {
            Shown run;
            const auto delegate = std::make_shared<RecordingDelegate>();
            const auto view = open("/redirects.html", kind, delegate);
            if (!view) return run;
            observe(*view, "", run.observed);
            EXPECT_TRUE(loadAndWait(*view, *delegate, origin.url("/moved302")));
            const auto url = view->url();
            run.observed["navigation"] = (url ? url->path() : "") + " " +
                                         evaluate(*view, "document.body.textContent").stringValue();
            run.observed["events"] = eventsOf(*delegate);
            run.received = received();
            return run;
        },
        {{"301", "200 plain"}, {"302", "200 plain"}, {"navigation", "/plain plain"}});
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewCredentialsService, testing::ValuesIn(kKinds), kindName);

}  // namespace
