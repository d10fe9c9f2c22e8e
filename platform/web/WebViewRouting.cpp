// WebView, "UI" kind: the main document is fetched by the app and handed to
// the engine under its real URL; every other http(s) request of the page
// reaches the app on the routed schemes (the web process swapped their
// scheme) and is answered with what PageLoader fetched, status and header
// fields passed through. Concurrent requests for one URL share a fetch.

#include <libsoup/soup.h>

#include <utility>

#include "core/Console.h"
#include "core/RunLoop.h"
#include "web/EngineMessages.h"
#include "web/OpaqueContent.h"
#include "web/WebProcessProtocol.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

// Without a Content-Type the engine sniffs the body.
std::optional<std::string> contentType(const core::HTTPURLResponse& response) {
    if (!response.mimeType()) return std::nullopt;
    std::string type = *response.mimeType();
    if (const auto& charset = response.textEncodingName()) type += "; charset=" + *charset;
    return type;
}

bool passesThrough(std::string_view name) {
    // The body arrives whole and decoded: its framing is the engine's.
    for (const char* dropped :
         {"Content-Length", "Transfer-Encoding", "Content-Encoding", "Connection", "Keep-Alive"}) {
        if (core::HTTPHeaders::sameName(name, dropped)) return false;
    }
    return true;
}

void finishWithError(WebKitURISchemeRequest* request, const std::string& message) {
    GError* error =
        g_error_new_literal(g_quark_from_static_string("vantor-web"), 1, message.c_str());
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
}

void finishWithResponse(WebKitURISchemeRequest* request, const core::HTTPURLResponse& response,
                        const core::Data& body) {
    GBytes* bytes = g_bytes_new(body.data(), body.size());
    GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
    g_bytes_unref(bytes);
    WebKitURISchemeResponse* answer = webkit_uri_scheme_response_new(stream, gint64(body.size()));
    g_object_unref(stream);
    webkit_uri_scheme_response_set_status(answer, guint(response.statusCode()), nullptr);
    if (const auto type = contentType(response))
        webkit_uri_scheme_response_set_content_type(answer, type->c_str());
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    for (const auto& [name, value] : response.headers()) {
        if (passesThrough(name)) soup_message_headers_append(headers, name.c_str(), value.c_str());
    }
    webkit_uri_scheme_response_set_http_headers(answer, headers);
    webkit_uri_scheme_request_finish_with_response(request, answer);
    g_object_unref(answer);
}

// Content script may not read that redirects brought from another origin
// than the one asked: images and stylesheets in the form the engine keeps
// from script, or nothing when they have none.
void finishWithOpaqueContent(WebKitURISchemeRequest* request, const ReadPolicy& policy,
                             const core::HTTPURLResponse& response, const core::Data& body) {
    const OpaqueContent::Use use = OpaqueContent::useOf(policy.destination, response);
    // An empty answer (a ping's) has nothing to read.
    if (use == OpaqueContent::Use::other || body.empty()) {
        finishWithResponse(request, response, body);
        return;
    }
    const auto opaque = OpaqueContent::of(use, response, body);
    if (!opaque) {
        core::Console::log("WebView: " + response.url().absoluteString() +
                           ", reached through a redirect from " + policy.asked +
                           ", was refused: it cannot be shown unread");
        finishWithError(request, "Content of another origin that cannot be shown unread.");
        return;
    }
    core::HTTPHeaders headers;
    headers.set("Content-Type", opaque->mimeType);
    finishWithResponse(request,
                       core::HTTPURLResponse(response.url(), response.statusCode(), headers),
                       opaque->body);
}

}  // namespace

void WebView::loadInApp(core::URLRequest request, bool decided, NavigationType type,
                        std::optional<size_t> historyEntry) {
    Engine& engine = *engine_;
    if (!request.value("User-Agent")) {
        if (const char* agent =
                webkit_settings_get_user_agent(webkit_web_view_get_settings(engine.page)))
            request.setValue("User-Agent", agent);
    }
    const std::string url = request.url().absoluteString();
    if (!decided) {
        NavigationAction action{request};
        action.type = type;
        action.targetsMainFrame = true;
        action.mainDocumentURL = request.url();
        if (!engine.ask(std::move(action))) return;
    }
    // A history step decided in the engine's policy step is under way already.
    if (!(load_.active && !load_.committed && Engine::key(load_.url) == Engine::key(url) &&
          !engine.documentFetch)) {
        beginLoad(url);
    }
    // Where the document goes in the view's history. A step the engine took
    // in its own history (of documents it loaded itself) adds no entry.
    load_.historyChange = historyEntry ? BackForwardList::Change::step
                          : type == NavigationType::reload || type == NavigationType::backForward ||
                                  type == NavigationType::formResubmitted
                              ? BackForwardList::Change::reload
                              : BackForwardList::Change::load;
    load_.historyEntry = historyEntry.value_or(0);
    reportStart();
    const std::uint64_t serial = load_.serial;
    load_.appRequest = request;
    const core::URL documentURL = request.url();
    const auto answered = std::make_shared<bool>(false);
    auto cancel = PageLoader::shared()->load(
        std::move(request), documentURL,
        [weak = std::weak_ptr<WebView>(self()), serial, url, answered](PageLoader::Result result) {
            *answered = true;
            const auto view = weak.lock();
            if (!view || !view->load_.active || view->load_.serial != serial) return;
            Engine& engine = *view->engine_;
            engine.documentFetch = {};
            if (result.error || !result.response) {
                LoadError error = result.error ? LoadError::fromNetworkError(*result.error)
                                               : LoadError{-1, "No response.", url, true};
                if (error.failingURL.empty()) error.failingURL = url;
                view->reportFailure(error);
                return;
            }
            const core::HTTPURLResponse& response = *result.response;
            std::string finalURL = response.url().absoluteString();
            // A fragment asked for stays, unless a redirect named another.
            if (const size_t hash = url.find('#');
                hash != std::string::npos && finalURL.find('#') == std::string::npos)
                finalURL += url.substr(hash);
            view->status_ = response.statusCode();
            view->load_.url = finalURL;
            engine.documentFromApp(finalURL);
            view->expectAPINavigation(finalURL, true);
            view->load_.fromApp = true;
            // As the final request asked for it: the one asked, should the
            // loader not tell.
            BackForwardList::Entry document;
            document.askFor(result.request ? *result.request : *view->load_.appRequest);
            document.url = finalURL;
            view->load_.historyDocument = document;
            // The page reads its history as it will be once the document
            // commits.
            BackForwardList after = engine.history;
            document.document = serial;
            after.commit(std::move(document), view->load_.historyChange, view->load_.historyEntry);
            view->showHistory(after, serial);
            if (result.body.empty()) {
                // (The engine takes no empty bytes.)
                webkit_web_view_load_html(engine.page, "", finalURL.c_str());
                return;
            }
            GBytes* bytes = g_bytes_new(result.body.data(), result.body.size());
            const auto& charset = response.textEncodingName();
            webkit_web_view_load_bytes(engine.page, bytes,
                                       response.mimeType().value_or("text/html").c_str(),
                                       charset ? charset->c_str() : nullptr, finalURL.c_str());
            g_bytes_unref(bytes);
        });
    if (!*answered) engine.documentFetch = std::move(cancel);  // (a loader may answer at once)
}

void WebView::Engine::loadHeldInApp(core::URLRequest request, NavigationType type) {
    awaitingBody.reset();
    if (protocol::carriesBody(request.method())) {
        awaitingBody = AwaitedBody{std::move(request), type};
        return;
    }
    postLoadInApp(std::move(request), type);
}

void WebView::Engine::postLoadInApp(core::URLRequest request, NavigationType type) {
    core::RunLoop::main().post(
        [weak = std::weak_ptr<WebView>(owner.self()), request = std::move(request), type] {
            if (const auto view = weak.lock()) view->loadInApp(request, true, type);
        });
}

void WebView::Engine::navigationBodyArrived(NavigationBodyServer::Body body) {
    Engine* engine = forPage(body.pageId);
    if (!engine || !engine->awaitingBody || engine->awaitingBody->request.method() != body.method)
        return;
    AwaitedBody awaited = std::move(*engine->awaitingBody);
    engine->awaitingBody.reset();
    awaited.request.setBody(std::move(body.data));
    if (body.contentType) awaited.request.setValue("Content-Type", *body.contentType);
    engine->postLoadInApp(std::move(awaited.request), awaited.type);
}

void WebView::Engine::heldRequestArrived(WebKitURISchemeRequest* request) {
    // The web process held the navigation whose body was awaited: there is
    // no listener to send it to. The engine cannot be asked for the body
    // (it crashes on a file the page made): the load goes without.
    const char* method = webkit_uri_scheme_request_get_http_method(request);
    if (!awaitingBody || !method || awaitingBody->request.method() != method) return;
    AwaitedBody awaited = std::move(*awaitingBody);
    awaitingBody.reset();
    core::Console::log("WebView: the body of " + awaited.request.url().absoluteString() +
                       " stayed in the web process");
    postLoadInApp(std::move(awaited.request), awaited.type);
}

bool WebView::Engine::isHeld(std::string_view url) {
    if (protocol::schemeOf(url) == protocol::kHeldScheme) return true;
    const NavigationBodyServer* bodies = NavigationBodyServer::shared(nullptr);
    return bodies && bodies->owns(url);
}

void WebView::Engine::serveRouted(WebKitURISchemeRequest* request, std::string url) {
    const char* methodText = webkit_uri_scheme_request_get_http_method(request);
    const std::string method = methodText ? methodText : "GET";
    const auto parsed = core::URL::create(url);
    if (!parsed) {
        finishWithError(request, "Not a URL: " + url);
        return;
    }
    // Requests with a body go out from the engine; the app is never handed
    // one (see requestOf).
    if (protocol::carriesBody(method)) {
        finishWithError(request, "A request with a body is not routed: " + url);
        return;
    }
    core::URLRequest fetch = requestOf(request, *parsed);
    // Each request keeps what its page may read of the shared answer.
    Routed::Waiting waiting{request, ReadPolicy::of(fetch)};
    // Concurrent GETs of one URL share a fetch; anything else is fetched alone.
    static std::uint64_t unique = 0;
    const std::string entry = method == "GET" ? url : url + "#" + std::to_string(++unique);
    g_object_ref(request);
    if (auto found = routed.find(entry); found != routed.end()) {
        found->second.requests.push_back(std::move(waiting));
        return;
    }
    routed[entry].requests.push_back(std::move(waiting));
    const auto document = owner.url();
    auto cancel = PageLoader::shared()->load(
        std::move(fetch), document ? *document : *parsed,
        [weak = std::weak_ptr<WebView>(owner.self()), entry](PageLoader::Result result) {
            const auto view = weak.lock();
            if (!view) return;
            auto& pending = view->engine_->routed;
            const auto found = pending.find(entry);
            if (found == pending.end()) return;
            const std::vector<Routed::Waiting> requests = std::move(found->second.requests);
            pending.erase(found);
            for (const auto& [answered, policy] : requests) {
                if (!result.response) {
                    finishWithError(answered,
                                    result.error ? result.error->message : "No response.");
                } else if (!policy.allows(result.redirects, *result.response)) {
                    core::Console::log("WebView: a read of " + result.response->url().absoluteString() +
                                       " by " + policy.origin +
                                       " was refused: the origin does not allow it");
                    finishWithError(answered, "Cross-origin read refused.");
                } else if (policy.hidesOrigin(result.redirects, *result.response)) {
                    finishWithOpaqueContent(answered, policy, *result.response, result.body);
                } else {
                    finishWithResponse(answered, *result.response, result.body);
                }
                g_object_unref(answered);
            }
        });
    if (const auto found = routed.find(entry); found != routed.end())
        found->second.cancel = std::move(cancel);  // (a loader may answer at once)
}

void WebView::Engine::cancelRouted() {
    auto pending = std::exchange(routed, {});
    for (auto& [url, entry] : pending) {
        if (entry.cancel) entry.cancel();
        for (const auto& waiting : entry.requests) {
            finishWithError(waiting.request, "The load was cancelled.");
            g_object_unref(waiting.request);
        }
    }
}

void WebView::Engine::serveSchemeRequest(WebKitURISchemeRequest* request) {
    const std::string scheme = webkit_uri_scheme_request_get_scheme(request);
    const std::string uri = webkit_uri_scheme_request_get_uri(request);
    if (scheme == protocol::kHeldScheme) {
        heldRequestArrived(request);
        finishWithError(request, "The navigation was held.");
        return;
    }
    if (scheme == protocol::kRoutedHTTP || scheme == protocol::kRoutedHTTPS) {
        // The context serves both kinds: a "WK"-kind page naming a routed
        // URL itself gets nothing through the app.
        if (owner.configuration_.kind != WebViewConfiguration::Kind::UI) {
            finishWithError(request, "Nothing serves " + uri);
            return;
        }
        const char* original = scheme == protocol::kRoutedHTTPS ? "https" : "http";
        serveRouted(request, original + uri.substr(scheme.size()));
        return;
    }
    const auto handler = owner.schemeHandlers_.find(scheme);
    const auto parsed = core::URL::create(uri);
    if (handler == owner.schemeHandlers_.end() || !parsed) {
        finishWithError(request, "Nothing serves " + uri);
        return;
    }
    core::URLRequest asked = requestOf(request, *parsed);
    std::shared_ptr<WebKitURISchemeRequest> held(
        WEBKIT_URI_SCHEME_REQUEST(g_object_ref(request)),
        [](WebKitURISchemeRequest* object) { g_object_unref(object); });
    auto task = std::make_shared<URLSchemeTask>(
        std::move(asked),
        [held, parsed = *parsed](int status, const core::HTTPHeaders& headers,
                                 const core::Data& body) {
            finishWithResponse(held.get(), core::HTTPURLResponse(parsed, status, headers), body);
        },
        [held](const std::string& message) { finishWithError(held.get(), message); });
    handler->second(std::move(task));
}

void WebView::setURLSchemeHandler(const std::string& scheme, SchemeHandler handler) {
    schemeHandlers_[scheme] = std::move(handler);
    engine_->context->serveScheme(scheme);
}

}  // namespace web
