// WebView: history. The "WK" kind's is the engine's. The engine keeps none
// for the documents a "UI"-kind view hands it (they come from the app, not
// from a load of their URL), so that kind keeps its own: each document the
// app hands over is recorded when it commits (BackForwardList), a step
// loads its entry through the app like any load, and a script of the
// page's own world gives the main frame's history.back(), forward(), go()
// and length to the view.

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "web/WebViewEngine.h"

namespace web {

namespace {

constexpr const char* kHistoryHandler = "vantorHistory";
// Runs before the page's scripts; @LENGTH@: the entries of the history once
// the document has committed.
constexpr const char* kHistoryScript = R"((function () {
  var handler = window.webkit.messageHandlers.vantorHistory;
  var length = @LENGTH@;
  var proto = History.prototype;
  function step(offset) { handler.postMessage(offset); }
  Object.defineProperty(proto, 'length', {
    configurable: true, enumerable: true, get: function () { return length; }
  });
  proto.back = function () { step(-1); };
  proto.forward = function () { step(1); };
  proto.go = function (offset) {
    offset = Math.trunc(Number(offset)) || 0;
    if (offset === 0) location.reload(); else step(offset);
  };
})();)";

bool keepsOwnHistory(const WebViewConfiguration& configuration) {
    return configuration.kind == WebViewConfiguration::Kind::UI;
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
    const BackForwardList& history = engine_->history;
    const auto entry = history.entryAt(offset);
    if (!entry) return;
    const auto url = core::URL::create(history.url(*entry));
    if (!url) return;
    loadInApp(core::URLRequest(*url), false, NavigationType::backForward, *entry);
}

void WebView::installHistoryScript() {
    if (!keepsOwnHistory(configuration_)) return;
    g_signal_connect(
        engine_->scripts, (std::string("script-message-received::") + kHistoryHandler).c_str(),
        G_CALLBACK(+[](WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
            JSCValue* value = webkit_javascript_result_get_js_value(result);
            if (!value || !jsc_value_is_number(value)) return;
            // (The page can post anything: no entry is further than the bound.)
            const double offset = jsc_value_to_double(value);
            if (!std::isfinite(offset) || std::abs(offset) > double(BackForwardList::kMostEntries))
                return;
            WebView& view = static_cast<Engine*>(data)->owner;
            const auto keep = view.self();
            view.goInApp(long(offset));
        }),
        engine_.get());
    webkit_user_content_manager_register_script_message_handler(engine_->scripts, kHistoryHandler);
}

void WebView::showHistoryLength(size_t length) {
    if (!keepsOwnHistory(configuration_)) return;
    Engine& engine = *engine_;
    if (engine.historyScript) {
        if (engine.historyLength == length) return;
        webkit_user_content_manager_remove_script(engine.scripts, engine.historyScript);
        webkit_user_script_unref(std::exchange(engine.historyScript, nullptr));
    }
    std::string source = kHistoryScript;
    // A page is in its history even when nothing recorded it.
    source.replace(source.find("@LENGTH@"), 8, std::to_string(std::max<size_t>(length, 1)));
    engine.historyScript =
        webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    engine.historyLength = length;
    webkit_user_content_manager_add_script(engine.scripts, engine.historyScript);
}

}  // namespace web
