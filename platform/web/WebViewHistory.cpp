// WebView: history. The "WK" kind's is the engine's. The engine keeps none
// for the documents a "UI"-kind view hands it (they come from the app, not
// from a load of their URL), so that kind keeps its own: each document the
// app hands over is recorded when it commits (BackForwardList), a step
// loads its entry through the app like any load, and a script of the
// page's own world gives the main frame's history.back(), forward(), go()
// and length to the view. The same script tells the view of the page's
// navigations within its document (pushState, replaceState, a fragment
// the engine went to), keeps history.state (the engine keeps none for a
// document it has no history of), and carries out the view's steps between
// entries of that document: it puts the entry's URL back with the engine's
// replaceState and its state in history.state, and fires popstate, and
// hashchange when only the fragment changed, as the engine does for its
// own history. (The engine does not tell a fragment navigation that
// replaces its entry, location.replace, from one that adds an entry: here
// each adds one.)

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "core/JSON.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

constexpr const char* kHistoryHandler = "vantorHistory";
constexpr const char* kStepFunction = "__vantorHistoryStep";
// Runs before the page's scripts, with what it needs held where the page
// cannot change it. @LENGTH@ and @INDEX@: the history's length and the
// document's place in it once it has committed; @DOCUMENT@: the number its
// messages are told by; @STATE@: the state its entry keeps; @MOST@: the
// most entries. Steps call @STEP@(document, index, url, state).
constexpr const char* kHistoryScript = R"((function () {
  var handler = window.webkit.messageHandlers.vantorHistory;
  var postMessage = handler.postMessage;
  var apply = Reflect.apply;
  var proto = History.prototype;
  var pushState = proto.pushState;
  var replaceState = proto.replaceState;
  var clone = structuredClone;
  var dispatch = EventTarget.prototype.dispatchEvent;
  var PopState = PopStateEvent;
  var HashChange = HashChangeEvent;
  var later = setTimeout;
  var length = @LENGTH@;
  var index = @INDEX@;
  var documentNumber = @DOCUMENT@;
  var most = @MOST@;
  // The engine keeps no state for documents it has no history of.
  var state = @STATE@;
  var known = location.href;
  function send(message) {
    try { apply(postMessage, handler, [message]); } catch (e) {}
  }
  function step(offset) { send(offset); }
  function added() {
    index = Math.min(index + 1, most - 1);
    length = index + 1;
  }
  function tell(kind) {
    known = location.href;
    send({kind: kind, url: known, state: state, document: documentNumber});
  }
  Object.defineProperty(proto, 'length', {
    configurable: true, enumerable: true, get: function () { return length; }
  });
  Object.defineProperty(proto, 'state', {
    configurable: true, enumerable: true, get: function () { return state; }
  });
  proto.back = function () { step(-1); };
  proto.forward = function () { step(1); };
  proto.go = function (offset) {
    offset = Math.trunc(Number(offset)) || 0;
    if (offset === 0) location.reload(); else step(offset);
  };
  proto.pushState = function (data, title, url) {
    apply(pushState, this, arguments);
    state = data === undefined ? null : clone(data);
    added();
    tell('push');
  };
  proto.replaceState = function (data, title, url) {
    apply(replaceState, this, arguments);
    state = data === undefined ? null : clone(data);
    tell('replace');
  };
  // The engine fires popstate at once for a fragment navigation, and
  // hashchange after it.
  function navigated() {
    if (location.href === known) return;
    state = null;
    added();
    tell('fragment');
  }
  addEventListener('popstate', navigated, true);
  addEventListener('hashchange', navigated, true);
  function base(url) { var hash = url.indexOf('#'); return hash < 0 ? url : url.slice(0, hash); }
  function showFragment(url) {
    var hash = url.indexOf('#') < 0 ? '' : url.slice(url.indexOf('#') + 1);
    var name = hash;
    try { name = decodeURIComponent(hash); } catch (e) {}
    var target = name ? document.getElementById(name) || document.getElementsByName(name)[0] : null;
    if (target) target.scrollIntoView(); else if (!name || name.toLowerCase() === 'top') scrollTo(0, 0);
  }
  Object.defineProperty(window, '@STEP@', {value: function (number, to, url, data) {
    if (number !== documentNumber) return false;
    var old = location.href;
    try { apply(replaceState, history, [null, '', url]); } catch (e) { return false; }
    known = location.href;
    index = to;
    state = data;
    var hashChanged = known !== old && base(known) === base(old);
    if (hashChanged) showFragment(known);
    apply(dispatch, window, [new PopState('popstate', {state: state})]);
    if (hashChanged) {
      later(function () {
        apply(dispatch, window, [new HashChange('hashchange', {oldURL: old, newURL: known})]);
      }, 0);
    }
    return true;
  }});
})();)";

bool keepsOwnHistory(const WebViewConfiguration& configuration) {
    return configuration.kind == WebViewConfiguration::Kind::UI;
}

void substitute(std::string& text, std::string_view name, const std::string& value) {
    for (size_t at = text.find(name); at != std::string::npos;
         at = text.find(name, at + value.size()))
        text.replace(at, name.size(), value);
}

std::string scriptValue(const core::Value& value) {
    return core::JSON::write(value).value_or("null");
}

bool sameOrigin(const std::string& first, const std::string& second) {
    const auto a = core::URL::create(first);
    const auto b = core::URL::create(second);
    return a && b && a->scheme() == b->scheme() && a->host() == b->host() && a->port() == b->port();
}

}  // namespace

bool WebView::canGoBack() const {
    if (keepsOwnHistory(configuration_)) return engine_->history.canGoBack();
    return webkit_web_view_can_go_back(engine_->page);
}

bool WebView::canGoForward() const {
    if (keepsOwnHistory(configuration_)) return engine_->history.canGoForward();
    return webkit_web_view_can_go_forward(engine_->page);
}

void WebView::goBack() {
    if (keepsOwnHistory(configuration_)) {
        goInApp(-1);
        return;
    }
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_back_item(
        webkit_web_view_get_back_forward_list(engine_->page));
    if (!item) return;
    expectAPINavigation(webkit_back_forward_list_item_get_uri(item), false);
    webkit_web_view_go_back(engine_->page);
}

void WebView::goForward() {
    if (keepsOwnHistory(configuration_)) {
        goInApp(1);
        return;
    }
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_forward_item(
        webkit_web_view_get_back_forward_list(engine_->page));
    if (!item) return;
    expectAPINavigation(webkit_back_forward_list_item_get_uri(item), false);
    webkit_web_view_go_forward(engine_->page);
}

void WebView::goInApp(long offset) {
    const Engine& engine = *engine_;
    const BackForwardList& history = engine.history;
    const auto entry = history.entryAt(offset);
    if (!entry) return;
    if (engine.shownDocument != 0 && history.entry(*entry).document == engine.shownDocument &&
        history.sameDocument(*history.current(), *entry)) {
        stepInDocument(*entry);
        return;
    }
    const auto url = core::URL::create(history.url(*entry));
    if (!url) return;
    loadInApp(history.entry(*entry).request(*url), false, NavigationType::backForward, *entry);
}

void WebView::stepInDocument(size_t entry) {
    Engine& engine = *engine_;
    engine.history.moveTo(entry);
    const BackForwardList::Entry& to = engine.history.entry(entry);
    const std::string script = std::string("typeof ") + kStepFunction + " === 'function' && " +
                               kStepFunction + "(" + std::to_string(engine.shownDocument) + ", " +
                               std::to_string(entry) + ", " + scriptValue(core::Value(to.url)) +
                               ", " + scriptValue(to.state) + ")";
    webkit_web_view_evaluate_javascript(engine.page, script.c_str(), gssize(script.size()), nullptr,
                                        nullptr, nullptr, nullptr, nullptr);
    historyChanged();
}

void WebView::navigatedInDocument(const core::Value& message) {
    Engine& engine = *engine_;
    BackForwardList& history = engine.history;
    const auto current = history.current();
    // Only the document shown, as the history recorded it, is heard.
    if (!current || engine.shownDocument == 0 || !message["document"].isNumber() ||
        message["document"].doubleValue() != double(engine.shownDocument) ||
        history.entry(*current).document != engine.shownDocument)
        return;
    const std::string kind = message["kind"].stringValue();
    const std::string url = message["url"].stringValue();
    // The engine keeps such navigations to the document's origin.
    if (!sameOrigin(url, history.url(*current))) return;
    if (kind == "replace") {
        history.replace(url, message["state"]);
        return;
    }
    BackForwardList::Entry entry;
    if (kind == "fragment") {
        entry = history.entry(*current);  // asked for as its document was
        entry.state = core::Value();
    } else if (kind == "push") {
        entry.state = message["state"];
    } else {
        return;
    }
    entry.url = url;
    history.push(std::move(entry));
    historyChanged();
}

void WebView::historyChanged() {
    if (const auto delegate = this->delegate()) delegate->didChangeHistory(*this);
}

void WebView::installHistoryScript() {
    if (!keepsOwnHistory(configuration_)) {
        // The engine's own history tells of its entries and steps.
        g_signal_connect(webkit_web_view_get_back_forward_list(engine_->page), "changed",
                         G_CALLBACK(+[](WebKitBackForwardList*, WebKitBackForwardListItem*,
                                        gpointer, gpointer data) {
                             WebView& view = static_cast<Engine*>(data)->owner;
                             const auto keep = view.self();
                             view.historyChanged();
                         }),
                         engine_.get());
        return;
    }
    g_signal_connect(
        engine_->scripts, (std::string("script-message-received::") + kHistoryHandler).c_str(),
        G_CALLBACK(+[](WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
            JSCValue* value = webkit_javascript_result_get_js_value(result);
            if (!value) return;
            WebView& view = static_cast<Engine*>(data)->owner;
            if (jsc_value_is_object(value)) {
                char* json = jsc_value_to_json(value, 0);
                if (!json) return;
                const auto message = core::JSON::parse(json);
                g_free(json);
                if (!message) return;
                const auto keep = view.self();
                view.navigatedInDocument(*message);
                return;
            }
            if (!jsc_value_is_number(value)) return;
            // (The page can post anything: no entry is further than the bound.)
            const double offset = jsc_value_to_double(value);
            if (!std::isfinite(offset) || std::abs(offset) > double(BackForwardList::kMostEntries))
                return;
            const auto keep = view.self();
            view.goInApp(long(offset));
        }),
        engine_.get());
    webkit_user_content_manager_register_script_message_handler(engine_->scripts, kHistoryHandler);
}

void WebView::showHistory(const BackForwardList& history, std::uint64_t document) {
    if (!keepsOwnHistory(configuration_)) return;
    Engine& engine = *engine_;
    const auto current = history.current();
    std::string source = kHistoryScript;
    // A page is in its history even when nothing recorded it.
    substitute(source, "@LENGTH@", std::to_string(std::max<size_t>(history.size(), 1)));
    substitute(source, "@INDEX@", std::to_string(current.value_or(0)));
    substitute(source, "@DOCUMENT@", std::to_string(document));
    substitute(source, "@MOST@", std::to_string(BackForwardList::kMostEntries));
    substitute(source, "@STEP@", kStepFunction);
    substitute(source, "@STATE@",
               current && document != 0 ? scriptValue(history.entry(*current).state) : "null");
    if (engine.historyScript) {
        if (engine.historySource == source) return;
        webkit_user_content_manager_remove_script(engine.scripts, engine.historyScript);
        webkit_user_script_unref(std::exchange(engine.historyScript, nullptr));
    }
    engine.historyScript =
        webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    engine.historySource = std::move(source);
    webkit_user_content_manager_add_script(engine.scripts, engine.historyScript);
}

}  // namespace web
