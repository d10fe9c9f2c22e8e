// WebView: the delegate's navigation decisions. The engine's policy step
// does not say which frame navigates, so a navigation the page starts over
// http(s) is let through it undecided and decided when its request leaves
// the web process (decideDeferred), where the frame is known; everything
// else is decided in the policy step.

#include <libsoup/soup.h>

#include <algorithm>

#include "core/Console.h"
#include "web/EngineMessages.h"
#include "web/PageMessageServer.h"
#include "web/proxy/EngineProxy.h"
#include "web/WebProcessProtocol.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

NavigationType typeFor(WebKitNavigationType type) {
    switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
        return NavigationType::linkClicked;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
        return NavigationType::formSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
        return NavigationType::backForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
        return NavigationType::reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
        return NavigationType::formResubmitted;
    default:
        return NavigationType::other;
    }
}

// The engine's URL as the delegate sees it: as the engine wrote it
// (urlOfEngine), whatever it leaves unescaped.
core::URLRequest requestFor(std::string_view url) {
    auto parsed = urlOfEngine(url);
    return core::URLRequest(parsed ? std::move(*parsed) : core::URL::create("about:blank").value());
}

// Whether a navigation to url goes to a fragment of the document at current.
bool withinDocument(std::string_view url, const std::optional<core::URL>& current) {
    const size_t hash = url.find('#');
    if (hash == std::string_view::npos || !current) return false;
    std::string_view shown = current->absoluteString();
    shown = shown.substr(0, shown.find('#'));
    return url.substr(0, hash) == shown;
}

void logRefusal(std::string_view start, std::uint64_t bytes, size_t most) {
    core::Console::log("WebView: a navigation to a URL of " + std::to_string(bytes) + " bytes (" +
                       std::string(protocol::schemeOf(start)) + ":...) was refused: more than " +
                       std::to_string(most));
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return g_ascii_tolower(x) == g_ascii_tolower(y); });
}

// What the web process sends, as the delegate sees it.
core::URLRequest requestOf(const DecisionQuery& query) {
    core::URLRequest request = requestFor(query.url);
    request.setMethod(query.method);
    for (const auto& [name, value] : query.headers) request.addValue(name, value);
    return request;
}

}  // namespace

gboolean WebView::Engine::decidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                       WebKitPolicyDecisionType type, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    const auto keep = engine.owner.self();
    switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
        engine.decideNavigation(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        return TRUE;
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
        engine.decideNewWindow(webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision)));
        webkit_policy_decision_ignore(decision);
        return TRUE;
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
        engine.decideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision));
        return TRUE;
    }
    return FALSE;
}

GtkWidget* WebView::Engine::createWindow(WebKitWebView*, WebKitNavigationAction* action,
                                         gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    const auto keep = engine.owner.self();
    engine.decideNewWindow(action);
    return nullptr;  // no view opens: window.open() answers null
}

NavigationAction WebView::Engine::actionFor(WebKitNavigationAction* action,
                                            std::string_view url) const {
    return actionFor(action, requestFor(url));
}

NavigationAction WebView::Engine::actionFor(WebKitNavigationAction* action,
                                            core::URLRequest asked) const {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    NavigationAction result{std::move(asked)};
    if (const char* method = webkit_uri_request_get_http_method(request))
        result.request.setMethod(method);
    for (const auto& [name, value] : headerFieldsOf(webkit_uri_request_get_http_headers(request)))
        result.request.addValue(name, value);
    if (!result.request.value("User-Agent")) {
        const char* agent = webkit_settings_get_user_agent(webkit_web_view_get_settings(page));
        if (agent) result.request.setValue("User-Agent", agent);
    }
    result.type = typeFor(webkit_navigation_action_get_navigation_type(action));
    result.userGesture = webkit_navigation_action_is_user_gesture(action);
    return result;
}

std::optional<core::URL> WebView::Engine::mainDocument() const {
    return documentURL.empty() ? owner.url() : urlOfEngine(documentURL);
}

bool WebView::Engine::ask(NavigationAction action) {
    const auto delegate = owner.delegate();
    if (!delegate) return true;
    return delegate->shouldStartLoad(owner, action);
}

void WebView::Engine::decideNewWindow(WebKitNavigationAction* action) {
    // Bounded as any navigation the page starts: measured before anything
    // copies or parses it.
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const std::string_view text = uri ? std::string_view(uri) : std::string_view();
    const size_t most = owner.configuration_.maximumNavigationURLBytes;
    if (most != 0 && text.size() > most) {
        logRefusal(text.substr(0, 64), text.size(), most);
        return;
    }
    NavigationAction asked = actionFor(action, text);
    asked.opensNewWindow = true;
    asked.targetsMainFrame = true;
    asked.mainDocumentURL = asked.request.url();
    (void)ask(std::move(asked));
}

void WebView::Engine::decideNavigation(WebKitNavigationPolicyDecision* decision) {
    WebKitNavigationAction* navigation =
        webkit_navigation_policy_decision_get_navigation_action(decision);
    // The engine makes the URL's text anew at each call: read it once, and
    // measure it before anything copies or parses it.
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(navigation));
    const std::string_view text = uri ? std::string_view(uri) : std::string_view();
    const bool redirect = webkit_navigation_action_is_redirect(navigation);
    auto* policy = WEBKIT_POLICY_DECISION(decision);
    const auto issuedEntry =
        std::find_if(apiNavigations.begin(), apiNavigations.end(),
                     [&](const APINavigation& issued) { return issued.key == keyOf(text); });
    // The page's messages, where the view takes them: read no further.
    if (!owner.messageScheme_.empty() && (redirect || issuedEntry == apiNavigations.end()) &&
        takePageMessage(policy, navigation, text))
        return;
    const size_t most = owner.configuration_.maximumNavigationURLBytes;
    if (most != 0 && text.size() > most && (redirect || issuedEntry == apiNavigations.end())) {
        logRefusal(text.substr(0, 64), text.size(), most);
        webkit_policy_decision_ignore(policy);
        return;
    }
    const std::string url(text);

    // A load made through WebView: the main frame's, decided here (or by the
    // app already). Loads issued before it that never came are superseded,
    // and so is this one when the app has issued another since: the engine
    // drops it before it begins (two navigations let on at once can leave
    // the engine committing the later one without ever finishing it).
    if (!redirect && issuedEntry != apiNavigations.end()) {
        const APINavigation issued = *issuedEntry;
        apiNavigations.erase(apiNavigations.begin(), issuedEntry + 1);
        if (!apiNavigations.empty()) {
            webkit_policy_decision_ignore(policy);
            return;
        }
        NavigationAction action = actionFor(navigation, url);
        action.targetsMainFrame = true;
        action.mainDocumentURL = action.request.url();
        if (!issued.decided && !ask(std::move(action))) {
            webkit_policy_decision_ignore(policy);
            return;
        }
        if (!issued.decided) owner.beginLoad(url);
        decidedLoad = DecidedLoad{issued.key, owner.load_.serial};
        mainFrameHeld = false;
        tellMainFrameLoad(url);
        webkit_policy_decision_use(policy);
        return;
    }
    // The engine asking again for that load before it committed: neither
    // the page's navigation nor a new load.
    if (!redirect && decidedLoad && decidedLoad->key == keyOf(text) && owner.load_.active &&
        !owner.load_.committed && owner.load_.serial == decidedLoad->serial) {
        mainFrameHeld = false;
        tellMainFrameLoad(url);
        webkit_policy_decision_use(policy);
        return;
    }
    // A link click whose frame the click itself told: decided here, before
    // the engine begins anything.
    const auto type = webkit_navigation_action_get_navigation_type(navigation);
    if (type == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED && !redirect) {
        if (const auto mainFrame = clickedFrame(url)) {
            NavigationAction action = actionFor(navigation, url);
            action.targetsMainFrame = *mainFrame;
            action.mainDocumentURL =
                *mainFrame ? std::optional(action.request.url()) : mainDocument();
            if (!ask(std::move(action))) {
                webkit_policy_decision_ignore(policy);
                return;
            }
            // A fragment of the document shown loads nothing.
            if (*mainFrame && !withinDocument(url, owner.url())) owner.beginLoad(url);
            webkit_policy_decision_use(policy);
            return;
        }
    }
    // The page's own http(s) navigations wait for the web process, which
    // knows the frame; without the extension nobody would ask about them.
    if (isHTTP(url) && context->hasExtension()) {
        deferred.push_back({url, typeFor(type),
                            bool(webkit_navigation_action_is_user_gesture(navigation))});
        if (deferred.size() > 64) deferred.pop_front();
        webkit_web_view_send_message_to_page(
            page,
            webkit_user_message_new(protocol::kExpectMessage, g_variant_new_string(url.c_str())),
            nullptr, nullptr, nullptr);
        webkit_policy_decision_use(policy);
        return;
    }
    if (!ask(actionFor(navigation, url))) {
        webkit_policy_decision_ignore(policy);
        return;
    }
    lastAllowed = url;
    webkit_policy_decision_use(policy);
}

void WebView::Engine::tellMainFrameLoad(const std::string& url) {
    // Sent before the engine goes on, so the web process has it before the
    // load's request: nothing else tells it there which frame loads.
    if (!isHTTP(url) || !context->hasExtension()) return;
    webkit_web_view_send_message_to_page(
        page,
        webkit_user_message_new(protocol::kMainFrameMessage, g_variant_new_string(url.c_str())),
        nullptr, nullptr, nullptr);
}

bool WebView::Engine::takePageMessage(WebKitPolicyDecision* policy,
                                      WebKitNavigationAction* navigation, std::string_view url) {
    const std::string_view scheme = protocol::schemeOf(url.substr(0, 64));
    const size_t most = owner.configuration_.maximumNavigationURLBytes;
    const NavigationType type = typeFor(webkit_navigation_action_get_navigation_type(navigation));
    std::string message;
    if (equalsIgnoringCase(scheme, owner.messageScheme_)) {
        // Decided as any navigation, when the delegate decides the messages.
        if (owner.messagesThroughDelegate_) return false;
        webkit_policy_decision_ignore(policy);
        if (most != 0 && url.size() > most) {
            logRefusal(url.substr(0, 64), url.size(), most);
            return true;
        }
        message = std::string(url);
    } else if (receivesPageMessages && scheme == protocol::kMessageReferenceScheme) {
        // A message taken in the web process: its text waits beside.
        webkit_policy_decision_ignore(policy);
        const auto serial = protocol::parseMessageReference(url);
        PageMessageServer* server = PageMessageServer::shared(nullptr);
        auto taken =
            serial && server ? server->take(owner.pageIdentifier(), *serial) : std::nullopt;
        if (!taken) {
            core::Console::log("WebView: the page named a message that is not there (" +
                               std::string(url.substr(0, 64)) + ")");
            return true;
        }
        if (taken->omittedBytes || (most != 0 && taken->length > most)) {
            // Over the view's bound, or over the protocol's when the view
            // has none (or a larger one).
            const bool overView = most != 0 && taken->length > most;
            logRefusal(owner.messageScheme_ + ":", taken->length,
                       overView ? most : size_t(protocol::kMostMessageBytes));
            return true;
        }
        if (owner.messagesThroughDelegate_) {
            // Read on the server's thread; one that is no URL reads as any
            // navigation's would.
            core::URLRequest request(taken->parsed ? std::move(*taken->parsed)
                                                   : core::URL::create("about:blank").value());
            (void)ask(actionFor(navigation, std::move(request)));
            return true;
        }
        message = std::move(taken->url);
    } else {
        return false;
    }
    const auto handler = owner.messageHandler_;  // it may replace itself
    if (handler) handler(std::move(message), type);
    return true;
}

void WebView::Engine::linkClicked(std::string url, bool mainFrame, std::string target) {
    clicks.push_back({std::move(url), mainFrame, std::move(target)});
    if (clicks.size() > 8) clicks.pop_front();
}

std::optional<bool> WebView::Engine::clickedFrame(const std::string& url) {
    for (auto click = clicks.rbegin(); click != clicks.rend(); ++click) {
        if (click->url != url) continue;
        const Click found = *click;
        clicks.erase(std::next(click).base());
        if (found.target.empty() || found.target == "_self") return found.mainFrame;
        if (found.target == "_top") return true;
        return std::nullopt;  // a frame by name, or the parent: not known here
    }
    return std::nullopt;
}

protocol::Decision WebView::Engine::decideInWebProcess(const DecisionQuery& query) {
    Engine* engine = forPage(query.pageId);
    if (!engine) return protocol::Decision::refuse;
    const auto keep = engine->owner.self();
    return engine->decideDeferred(query);
}

protocol::Decision WebView::Engine::decideDeferred(const DecisionQuery& query) {
    auto found = deferred.begin();
    while (found != deferred.end() && found->url != query.url) ++found;
    // Decided in the policy step already (a load made through WebView, a
    // reload or a history step).
    if (found == deferred.end()) return protocol::Decision::allow;
    const Deferred navigation = *found;
    deferred.erase(found);

    NavigationAction action{requestOf(query)};
    action.type = navigation.type;
    action.userGesture = navigation.userGesture;
    action.targetsMainFrame = query.mainFrame;
    if (query.mainFrame) {
        action.mainDocumentURL = action.request.url();
    } else {
        action.mainDocumentURL = mainDocument();
    }
    const bool allowed = ask(action);
    if (query.mainFrame) {
        // The engine began the load already: it stopped whatever the
        // current one still had under way.
        startAwaitsDecision = false;
        if (!allowed) {
            mainFrameHeld = true;
            owner.cancelCurrentLoad();
            return protocol::Decision::refuse;
        }
        // A redirect hop goes on with the load it belongs to.
        if (query.redirect && owner.load_.active) {
            owner.load_.url = query.url;
        } else {
            owner.beginLoad(query.url);
        }
        owner.load_.method = query.method;
        owner.reportStart();
        return protocol::Decision::allow;
    }
    return allowed ? protocol::Decision::allow : protocol::Decision::refuse;
}

void WebView::Engine::decideResponse(WebKitResponsePolicyDecision* decision) {
    auto* policy = WEBKIT_POLICY_DECISION(decision);
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
    const bool mainFrame = webkit_response_policy_decision_is_main_frame_main_resource(decision);
    const int status = int(webkit_uri_response_get_status_code(response));
    if (mainFrame) {
        owner.status_ = status;
        responseDecided = true;
    }
    bool accepted = webkit_response_policy_decision_is_mime_type_supported(decision);
    if (accepted) {
        if (const auto delegate = owner.delegate()) {
            const char* uri = webkit_uri_response_get_uri(response);
            const core::HTTPURLResponse httpResponse(
                requestFor(uri ? uri : "").url(), status,
                headerFieldsOf(webkit_uri_response_get_http_headers(response)));
            accepted = delegate->shouldAcceptResponse(owner, httpResponse, mainFrame);
        }
    }
    // Never a download: what the view cannot show fails the load.
    if (accepted) {
        webkit_policy_decision_use(policy);
    } else {
        webkit_policy_decision_ignore(policy);
    }
}

bool WebView::Engine::isHeld(std::string_view url) {
    return protocol::schemeOf(url) == protocol::kHeldScheme;
}

bool WebView::Engine::isHTTP(std::string_view url) {
    const std::string_view scheme = protocol::schemeOf(url);
    return scheme == "http" || scheme == "https";
}

}  // namespace web
