// WebView: loads, and the engine's load events turned into the delegate's
// callbacks: one start and one end per main-frame load, -999 for loads that
// another replaces or that stop, nothing for refused navigations.

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/Console.h"
#include "core/RunLoop.h"
#include "web/PageMark.h"
#include "web/PageMessageServer.h"
#include "web/WebProcessProtocol.h"
#include "web/WebViewEngine.h"
#include "web/proxy/EngineProxy.h"

namespace web {

namespace {

// Bounds of the lists of loads waiting for the engine's word on them.
constexpr size_t kMostEndedByApp = 8;
constexpr size_t kMostIssued = 8;

// The text the engine is given for a URL: its bytes above 0x7F (which only
// a path, query, fragment or user name holds) as percent escapes, as the
// engine escapes UTF-8 text; given as they are, it would read them as
// Latin-1 and load another URL.
std::string engineText(const std::string& url) {
    if (std::all_of(url.begin(), url.end(), [](char c) { return (c & 0x80) == 0; })) return url;
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    text.reserve(url.size() + 32);
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += '%';
            text += digits[byte >> 4];
            text += digits[byte & 15];
        }
    }
    return text;
}

// A URL as the engine writes it once it has read it (escaping what it
// escapes, its scheme and host in lower case, dot segments resolved): what
// its navigation and its requests name. The text itself where the engine
// reads no URL.
std::string engineForm(const std::string& given) {
    const std::string url = engineText(given);
    WebKitURIRequest* request = webkit_uri_request_new(url.c_str());
    const char* written = webkit_uri_request_get_uri(request);
    std::string form = written && *written ? written : url;
    g_object_unref(request);
    return form;
}

}  // namespace

std::string WebView::engineURL(const core::URL& url) const {
    return engineForm(url.absoluteString());
}

void WebView::expectAPINavigation(const std::string& url, bool decided) {
    engine_->apiNavigations.push_back({Engine::key(url), decided});
    if (engine_->apiNavigations.size() > kMostIssued) engine_->apiNavigations.pop_front();
}

void WebView::loadHTMLString(const std::string& html, const std::optional<core::URL>& baseURL) {
    const std::string base = baseURL ? engineForm(baseURL->absoluteString()) : "about:blank";
    engine_->htmlBase = Engine::key(base);
    expectAPINavigation(base, false);
    webkit_web_view_load_html(engine_->page, html.c_str(), base.c_str());
}

void WebView::loadRequest(const core::URLRequest& request) {
    engine_->htmlBase.reset();
    const std::string url = engineText(request.url().absoluteString());
    WebKitURIRequest* engineRequest = webkit_uri_request_new(url.c_str());
    if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(engineRequest)) {
        for (const auto& [name, value] : request.headers())
            soup_message_headers_append(headers, name.c_str(), value.c_str());
    }
    const char* written = webkit_uri_request_get_uri(engineRequest);
    if (!issue(request, written && *written ? written : url)) {
        g_object_unref(engineRequest);
        return;
    }
    webkit_web_view_load_request(engine_->page, engineRequest);
    g_object_unref(engineRequest);
}

bool WebView::issue(const core::URLRequest& request, const std::string& engineURL) {
    if (configuration_.kind != WebViewConfiguration::Kind::UI || !request.url().isHTTPorHTTPS()) {
        expectAPINavigation(engineURL, false);
        return true;
    }
    // Asked about as the engine would ask: under the URL it writes.
    NavigationAction action{request};
    if (auto written = core::URL::createFromWeb(engineURL))
        action.request.setURL(std::move(*written));
    if (!action.request.value("User-Agent")) {
        if (const char* agent =
                webkit_settings_get_user_agent(webkit_web_view_get_settings(engine_->page)))
            action.request.setValue("User-Agent", agent);
    }
    action.targetsMainFrame = true;
    action.mainDocumentURL = action.request.url();
    if (!engine_->ask(std::move(action))) return false;
    beginLoad(engineURL);
    reportStart();
    expectAPINavigation(engineURL, true);
    return true;
}

void WebView::stopLoading() {
    cancelCurrentLoad();
    webkit_web_view_stop_loading(engine_->page);
    // Stopped, the load is nobody's work any more, though the engine may
    // say it loads for a while yet (a request it never sent stays so).
    engine_->engineLoading = {};
}

void WebView::reload() {
    const auto current = url();
    if (!current) return;
    expectAPINavigation(current->absoluteString(), false);
    webkit_web_view_reload(engine_->page);
}

void WebView::beginLoad(const std::string& url) {
    cancelCurrentLoad();
    load_.active = true;
    load_.started = false;
    load_.committed = false;
    load_.url = url;
    load_.certificateChecked = false;
    load_.certificateAccepted = false;
    load_.certificateRetries = 0;
    load_.remade = false;
    load_.commitTold = false;
    load_.method = "GET";
    ++load_.serial;
    load_.work = core::PendingWork::Token::begin();
    engine_->watchForStall(true);
    status_.reset();
}

void WebView::cancelCurrentLoad() {
    Engine& engine = *engine_;
    if (!load_.active) return;
    engine.endedByApp.push_back(Engine::key(load_.url));
    if (engine.endedByApp.size() > kMostEndedByApp) engine.endedByApp.pop_front();
    reportFailure(LoadError::cancelled(load_.url, !load_.committed));
}

void WebView::reportStart() {
    if (!load_.active || load_.started) return;
    load_.started = true;
    if (const auto delegate = this->delegate()) delegate->didStartLoad(*this);
}

void WebView::reportCommit() {
    if (!load_.active) return;
    reportStart();
    load_.committed = true;
    if (std::exchange(load_.commitTold, true)) return;
    if (const auto delegate = this->delegate()) delegate->didCommitLoad(*this);
}

void WebView::reportFinish() {
    if (!load_.active) return;
    load_ = Load{false, false, false, {}, load_.serial, {}};
    if (const auto delegate = this->delegate()) delegate->didFinishLoad(*this);
    takeSnapshot();
}

void WebView::reportFailure(const LoadError& error) {
    if (!load_.active) return;
    reportStart();
    load_ = Load{false, false, false, {}, load_.serial, {}};
    if (const auto delegate = this->delegate()) delegate->didFailLoad(*this, error);
}

void WebView::Engine::loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    WebView& view = engine.owner;
    const auto keep = view.self();
    engine.engineLoadOpen = event != WEBKIT_LOAD_FINISHED;
    switch (event) {
    case WEBKIT_LOAD_STARTED:
        if (!view.load_.active) {
            // A start the engine reports late for a load the app ended
            // already, or for a navigation held in the web process.
            const char* uri = webkit_web_view_get_uri(engine.page);
            const auto& ended = engine.endedByApp;
            if (engine.mainFrameHeld ||
                (uri && std::find(ended.begin(), ended.end(), key(uri)) != ended.end()))
                break;
            // A page's own navigation decided in the web process: its
            // decision comes next.
            engine.startAwaitsDecision = !engine.deferred.empty();
            if (engine.startAwaitsDecision) break;
            // One the policy step allowed; anything else is not known.
            if (engine.lastAllowed.empty()) break;
            view.beginLoad(std::exchange(engine.lastAllowed, {}));
        } else {
            // News of a load begun before: it moved.
            engine.loadMoved = true;
        }
        view.reportStart();
        break;
    case WEBKIT_LOAD_REDIRECTED:
        break;
    case WEBKIT_LOAD_COMMITTED:
        engine.showsPage = true;
        // Drawings and snapshots from here on are of the new document; one
        // drawn before and not read yet is of the old.
        ++engine.document;
        if (const char* uri = webkit_web_view_get_uri(engine.page)) engine.documentURL = uri;
        engine.drew = false;
        engine.deferred.clear();  // navigations of the old document's frames
        if (engine.startAwaitsDecision) {
            engine.startAwaitsDecision = false;
            const char* uri = webkit_web_view_get_uri(engine.page);
            if (!view.load_.active) view.beginLoad(uri ? uri : "");
        }
        // A load of a port the engine refuses to reach: it fails none, but
        // commits an empty page in its place.
        if (const char* uri = webkit_web_view_get_uri(engine.page);
            view.load_.active && uri && std::strcmp(uri, "about:blank") == 0 &&
            isHTTP(view.load_.url)) {
            core::Console::log("WebView: the engine refused the port of " + view.load_.url);
            engine.dropNextFinish = true;  // the empty page's
            view.reportFailure(LoadError{LoadError::kCannotUseRestrictedPort,
                                         "Not allowed to use restricted network port",
                                         view.load_.url, true});
            break;
        }
        view.reportCommit();
        break;
    case WEBKIT_LOAD_FINISHED:
        if (std::exchange(engine.dropNextFinish, false)) break;
        view.reportFinish();
        break;
    }
}

void WebView::Engine::loadingChanged(GObject*, GParamSpec*, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    WebView& view = engine.owner;
    if (!webkit_web_view_is_loading(engine.page))
        engine.engineLoading = {};
    else if (!engine.engineLoading.holds())
        engine.engineLoading = core::PendingWork::Token::begin();
    if (webkit_web_view_is_loading(engine.page) || !view.load_.active || !engine.engineLoadOpen)
        return;
    // The engine's finish or failure may still follow the change: looked at
    // once those have had their turn.
    core::RunLoop::main().post(
        [weak = std::weak_ptr<WebView>(view.self()), serial = view.load_.serial] {
            if (const auto view = weak.lock()) view->engine_->recoverDroppedLoad(serial);
        });
}

void WebView::Engine::watchForStall(bool anew) {
    if (anew) {
        watchBegan = double(g_get_monotonic_time()) / G_USEC_PER_SEC;
        mainRequestSent = false;
        loadMoved = false;
        responseDecided = false;
        quietLooks = 0;
        quietStage = -1;
        if (context->proxy()) {
            // The proxy knows a load by the URL the network stack sent.
            const std::string sent = protocol::sentURL(owner.load_.url);
            EngineProxy::forgetDocument(owner.pageIdentifier(), sent);
            EngineProxy::forgetFailures(owner.pageIdentifier(), sent);
        }
    }
    stopStallWatch();
    // Real time, whatever the app's clock says: the engine's own pace.
    struct Watch {
        std::weak_ptr<WebView> view;
        std::uint64_t serial;
    };
    stallWatch = g_timeout_add_full(
        G_PRIORITY_DEFAULT, guint(stallSeconds * 1000),
        [](gpointer data) -> gboolean {
            const auto& watch = *static_cast<Watch*>(data);
            if (const auto view = watch.view.lock()) {
                view->engine_->stallWatch = 0;
                view->engine_->checkForStall(watch.serial);
            }
            return G_SOURCE_REMOVE;
        },
        new Watch{owner.self(), owner.load_.serial},
        [](gpointer data) { delete static_cast<Watch*>(data); });
}

void WebView::Engine::stopStallWatch() {
    if (stallWatch != 0) g_source_remove(std::exchange(stallWatch, 0));
}

gboolean WebView::Engine::pageMessage(WebKitWebView*, WebKitUserMessage* message, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    if (std::strcmp(webkit_user_message_get_name(message), protocol::kPageMessage) == 0) {
        // A load waiting for it moved: from now on the look counts.
        engine.pageInProcess = true;
        if (engine.owner.load_.active) engine.loadMoved = true;
        return TRUE;
    }
    if (std::strcmp(webkit_user_message_get_name(message), protocol::kSentMessage) != 0)
        return FALSE;
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (parameters && g_variant_is_of_type(parameters, G_VARIANT_TYPE_STRING) &&
        engine.owner.load_.active &&
        keyOf(g_variant_get_string(parameters, nullptr)) == keyOf(engine.owner.load_.url))
        engine.mainRequestSent = engine.loadMoved = true;
    return TRUE;
}

void WebView::Engine::checkForStall(std::uint64_t serial) {
    WebView& view = owner;
    const auto keep = view.self();
    const std::string url = view.load_.url;
    const auto parsed = core::URL::createFromWeb(url);
    if (!view.load_.active || view.load_.serial != serial || view.load_.committed || !parsed ||
        !parsed->isHTTPorHTTPS() || responseDecided)
        return;
    // For a proxied page, whether its request reached the proxy, or was
    // answered there and the engine did nothing with the answer for
    // kAnsweredLooks looks; otherwise whether its web process sent the
    // request. A request under way (a slow server) is looked at again later.
    // A load already made once more fails only once kAnsweredLooks looks in
    // a row found it where it was: its last chance goes to a busy machine.
    bool quiet = !mainRequestSent;
    int stage = -1;
    int needed = 1;
    const char* why = " (its request was never sent)";
    if (context->proxy()) {
        const auto found =
            EngineProxy::documentStage(view.pageIdentifier(), protocol::sentURL(url));
        stage = static_cast<int>(found);
        const bool answered = found == EngineProxy::DocumentStage::answered;
        quiet = answered || found == EngineProxy::DocumentStage::none;
        if (answered) needed = kAnsweredLooks;
        why = answered ? " (the engine left its answer unread)"
                       : " (its request never reached the proxy)";
    }
    if (view.load_.remade) needed = kAnsweredLooks;
    // A load that moved since the last look is slow at most (a tunnel's
    // handshake under way), and so is one whose web process is still
    // starting (a busy machine takes seconds), up to kLaunchSeconds.
    if (std::exchange(loadMoved, false)) quiet = false;
    if (!pageInProcess &&
        double(g_get_monotonic_time()) / G_USEC_PER_SEC - watchBegan < kLaunchSeconds)
        quiet = false;
    quietLooks = !quiet ? 0 : stage == quietStage ? quietLooks + 1 : 1;
    quietStage = stage;
    const bool stalled = quiet && quietLooks >= needed;
    if (!stalled) {
        watchForStall(false);
        return;
    }
    // Whatever the engine still has of it ends unheard.
    endedByApp.push_back(key(url));
    if (endedByApp.size() > kMostEndedByApp) endedByApp.pop_front();
    if (view.load_.remade || htmlBase == key(url) || !view.load_.isMadeAgainAsIs()) {
        core::Console::log("WebView: the engine stalled the load of " + url + why);
        webkit_web_view_stop_loading(page);
        view.reportFailure(LoadError{-1, "The load stalled.", url, true});
        return;
    }
    core::Console::log("WebView: the engine stalled the load of " + url + "; it is made again" +
                       why);
    view.load_.remade = true;
    watchForStall(true);
    view.expectAPINavigation(url, true);
    webkit_web_view_load_uri(page, url.c_str());
}

void WebView::Engine::recoverDroppedLoad(std::uint64_t serial) {
    WebView& view = owner;
    const auto keep = view.self();
    if (!view.load_.active || view.load_.serial != serial || !engineLoadOpen ||
        webkit_web_view_is_loading(page))
        return;
    engineLoadOpen = false;
    const std::string url = view.load_.url;
    const auto parsed = core::URL::createFromWeb(url);
    if (view.load_.remade || !parsed || htmlBase == key(url) || !view.load_.isMadeAgainAsIs()) {
        core::Console::log("WebView: the engine dropped the load of " + url);
        view.reportFailure(LoadError{-1, "The load was dropped.", url, !view.load_.committed});
        return;
    }
    core::Console::log("WebView: the engine dropped the load of " + url + "; it is made again");
    view.load_.remade = true;
    view.load_.committed = false;
    view.expectAPINavigation(url, true);
    webkit_web_view_load_uri(page, url.c_str());
}

gboolean WebView::Engine::loadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* uri,
                                     GError* error, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    WebView& view = engine.owner;
    const auto keep = view.self();
    // The engine follows every failure with a finish.
    engine.dropNextFinish = true;
    engine.engineLoadOpen = false;
    const std::string failing = uri ? uri : "";
    // A navigation held in the web process (refused, or loaded by the app).
    if (isHeld(failing)) {
        engine.mainFrameHeld = false;
        return TRUE;
    }
    // A load the view ended or made anew ends so, or (when it was waiting
    // for the decision on its answer) as interrupted.
    const bool cancelled =
        g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR,
                        WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
    if (cancelled) {
        auto& ended = engine.endedByApp;
        const auto found = std::find(ended.begin(), ended.end(), key(failing));
        if (found != ended.end()) {
            ended.erase(found);
            return TRUE;
        }
    }
    if (engine.startAwaitsDecision) {
        engine.startAwaitsDecision = false;
        if (!view.load_.active) view.beginLoad(failing);
    }
    LoadError failure =
        errorFor(error, failing.empty() ? view.load_.url : failing, event != WEBKIT_LOAD_COMMITTED);
    // A load the app's proxy failed: the engine saw it fail, the proxy
    // kept why.
    if (engine.context->proxy() && !failing.empty()) {
        if (const auto told =
                EngineProxy::takeFailure(view.pageIdentifier(), protocol::sentURL(failing))) {
            failure.code = told->code;
            failure.message = told->message;
        }
    }
    // An https load the engine refused for the server's certificate without
    // offering the certificate (at times as cancelled): the app's own
    // authorities may still vouch for it.
    const bool maybeRefusedCertificate =
        error &&
        (error->domain == G_TLS_ERROR || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED));
    if (maybeRefusedCertificate && event != WEBKIT_LOAD_COMMITTED &&
        engine.probeCertificate(failing, failure))
        return TRUE;
    view.reportFailure(failure);
    return TRUE;  // no error page
}

void WebView::Engine::processTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                        gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    WebView& view = engine.owner;
    const auto keep = view.self();
    const bool overMemory = std::exchange(engine.processOverMemory, false);
    const WebProcessTermination termination =
        reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT || overMemory
            ? WebProcessTermination::exceededMemoryLimit
        : reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API ? WebProcessTermination::endedByApp
                                                         : WebProcessTermination::crashed;
    engine.pageInProcess = false;
    core::Console::log(std::string("WebView: the web process ") +
                       (termination == WebProcessTermination::crashed ? "crashed"
                        : termination == WebProcessTermination::exceededMemoryLimit
                            ? "went over its memory limit and was ended"
                            : "was ended by the app"));
    engine.deferred.clear();
    // The messages the process sent beside its navigations will not be asked for.
    if (engine.receivesPageMessages)
        if (PageMessageServer* server = PageMessageServer::shared(nullptr))
            server->dropWaiting(webkit_web_view_get_page_id(engine.page));
    engine.startAwaitsDecision = false;
    engine.engineLoadOpen = false;
    LoadError error;
    error.code = LoadError::kWebProcessTerminated;
    error.message = "The web process ended during the load.";
    error.failingURL = view.load_.url;
    error.provisional = !view.load_.committed;
    view.reportFailure(error);
    if (const auto delegate = view.delegate()) delegate->webProcessDidTerminate(view, termination);
}

LoadError WebView::Engine::errorFor(const GError* error, const std::string& url, bool provisional) {
    LoadError result;
    result.failingURL = url;
    result.provisional = provisional;
    result.message = error && error->message ? error->message : "The load failed.";
    using Code = core::NetworkError::Code;
    auto code = Code::unknown;
    if (!error) {
    } else if (error->domain == WEBKIT_NETWORK_ERROR) {
        if (error->code == WEBKIT_NETWORK_ERROR_CANCELLED) code = Code::cancelled;
        if (error->code == WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL) code = Code::unsupportedURL;
    } else if (error->domain == WEBKIT_POLICY_ERROR) {
        result.code = error->code == WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI ? LoadError::kCannotShowURL
                      : error->code == WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT
                          ? LoadError::kCannotUseRestrictedPort
                          : LoadError::kInterruptedByPolicy;
        return result;
    } else if (error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_CONNECTION_REFUSED:
        case G_IO_ERROR_HOST_UNREACHABLE:
        case G_IO_ERROR_NETWORK_UNREACHABLE:
            code = Code::cannotConnectToHost;
            break;
        case G_IO_ERROR_TIMED_OUT:
            code = Code::timedOut;
            break;
        case G_IO_ERROR_CONNECTION_CLOSED:
            code = Code::networkConnectionLost;
            break;
        case G_IO_ERROR_CANCELLED:
            code = Code::cancelled;
            break;
        default:
            break;
        }
    } else if (error->domain == G_RESOLVER_ERROR) {
        code = Code::cannotFindHost;
    } else if (error->domain == G_TLS_ERROR) {
        code = Code::secureConnectionFailed;
    }
    result.code = core::NetworkError::platformCode(code);
    return result;
}

LoadError LoadError::cancelled(std::string failingURL, bool provisional) {
    return LoadError{kCancelled, "The load was cancelled.", std::move(failingURL), provisional};
}

LoadError LoadError::fromNetworkError(const core::NetworkError& error) {
    return LoadError{error.platformCode(), error.message, error.url, true};
}

}  // namespace web
