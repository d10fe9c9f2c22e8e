// WebView: user scripts, the page's messages to native code, evaluation,
// alerts; and the view's own scripts, in a world of their own that the
// page's scripts cannot reach: the page's content size, and the frame of
// each link click; and its own style: no scrollbars.

#include <regex>
#include <tuple>
#include <utility>

#include "core/Console.h"
#include "core/JSON.h"
#include "web/PageMessageServer.h"
#include "web/WebProcessProtocol.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

constexpr const char* kWorld = "vantor";
constexpr const char* kContentSizeHandler = "vantorContentSize";
// Posts the document's scroll size when it changes: on resizes of the root
// and the body, and after DOM changes (an overflowing child resizes
// neither).
constexpr const char* kContentSizeScript = R"((function () {
  var last = '';
  function post() {
    var root = document.documentElement;
    if (!root) return;
    var size = [root.scrollWidth, root.scrollHeight];
    if (String(size) === last) return;
    last = String(size);
    window.webkit.messageHandlers.vantorContentSize.postMessage(size);
  }
  var resized = new ResizeObserver(post);
  var root = document.documentElement;
  if (root) {
    resized.observe(root);
    new MutationObserver(post).observe(root, {attributes: true, childList: true, subtree: true,
                                              characterData: true});
  }
  if (document.body) resized.observe(document.body);
  addEventListener('load', post);
  post();
})();)";

constexpr const char* kClickHandler = "vantorClick";
// Tells, before the engine acts on it, which frame a link was clicked in
// (the engine's policy step does not say): the capture listener runs ahead
// of the page's own listeners and of the click's navigation.
constexpr const char* kClickScript = R"((function () {
  addEventListener('click', function (event) {
    var node = event.target;
    var link = node && node.closest ? node.closest('a[href], area[href]') : null;
    if (!link || typeof link.href !== 'string') return;
    window.webkit.messageHandlers.vantorClick.postMessage(
      {url: link.href, main: window === top, target: link.target || ''});
  }, true);
})();)";

// The engine's scrollbars neither show over a page nor take its taps (a
// person scrolls with the finger, and the page's edges are the page's), in
// every frame, whatever the page's own style says.
constexpr const char* kScrollbarStyle = "* { scrollbar-width: none !important; }";

core::Value valueOf(JSCValue* value) {
    if (!value || jsc_value_is_undefined(value) || jsc_value_is_null(value)) return core::Value();
    char* json = jsc_value_to_json(value, 0);
    if (!json) return core::Value();
    core::JSONReadOptions options;
    options.allowFragments = true;
    auto parsed = core::JSON::parse(json, options);
    g_free(json);
    return parsed ? std::move(*parsed) : core::Value();
}

// The engine reports "url:line:column: Name: message".
JSException exceptionOf(const GError* error) {
    JSException exception;
    const std::string text = error && error->message ? error->message : "The script failed.";
    static const std::regex pattern(R"(^([\s\S]*):(\d+):(\d+): (?:([A-Za-z]*Error): )?([\s\S]*)$)");
    std::smatch match;
    if (std::regex_match(text, match, pattern)) {
        exception.sourceURL = match[1];
        exception.line = std::stoi(match[2]);
        exception.name = match[4];
        exception.message = match[5];
    } else {
        exception.message = text;
    }
    return exception;
}

struct Evaluation {
    std::weak_ptr<WebView> view;
    WebView::EvaluationCompletion completion;
};

struct MessageHandler {
    WebView::Engine* engine;
    std::string name;
};

}  // namespace

void WebView::installOwnScripts() {
    WebKitUserContentManager* scripts = engine_->scripts;
    g_signal_connect(
        scripts, (std::string("script-message-received::") + kContentSizeHandler).c_str(),
        G_CALLBACK(+[](WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
            auto& engine = *static_cast<Engine*>(data);
            const core::Value size = valueOf(webkit_javascript_result_get_js_value(result));
            if (!size.isArray() || size.size() != 2) return;
            const auto keep = engine.owner.self();
            engine.owner.contentSizeReported(
                {size[size_t(0)].doubleValue(), size[size_t(1)].doubleValue()});
        }),
        engine_.get());
    g_signal_connect(
        scripts, (std::string("script-message-received::") + kClickHandler).c_str(),
        G_CALLBACK(+[](WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
            const core::Value click = valueOf(webkit_javascript_result_get_js_value(result));
            static_cast<Engine*>(data)->linkClicked(click["url"].stringValue(),
                                                    click["main"].boolValue(),
                                                    click["target"].stringValue());
        }),
        engine_.get());
    webkit_user_content_manager_register_script_message_handler_in_world(
        scripts, kContentSizeHandler, kWorld);
    webkit_user_content_manager_register_script_message_handler_in_world(scripts, kClickHandler,
                                                                         kWorld);
    WebKitUserStyleSheet* style =
        webkit_user_style_sheet_new(kScrollbarStyle, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                    WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(scripts, style);
    webkit_user_style_sheet_unref(style);
    watchHistory();
    addOwnScripts();
}

void WebView::addOwnScripts() {
    for (const auto& [source, frames, time] :
         {std::tuple{kContentSizeScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END},
          std::tuple{kClickScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START}}) {
        WebKitUserScript* script =
            webkit_user_script_new_for_world(source, frames, time, kWorld, nullptr, nullptr);
        webkit_user_content_manager_add_script(engine_->scripts, script);
        webkit_user_script_unref(script);
    }
    if (engine_->receivesPageMessages) addMessageScript();
}

void WebView::addMessageScript() {
    // The extension hooks the page's frame sources when this runs (in a world
    // of its own, before the page's scripts).
    const std::string source = std::string(protocol::kMessageConfigureFunction) + "(" +
                               core::JSON::write(core::Value(messageScheme_)).value_or("\"\"") +
                               ", " + std::to_string(protocol::kMessageThresholdBytes) + ", " +
                               std::to_string(configuration_.maximumNavigationURLBytes) + ");";
    WebKitUserScript* script = webkit_user_script_new_for_world(
        source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, protocol::kMessageWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(engine_->scripts, script);
    webkit_user_script_unref(script);
}

void WebView::receivePageMessages(std::string scheme, PageMessageHandler handler) {
    takePageMessages(std::move(scheme), std::move(handler), false);
}

void WebView::receivePageMessagesThroughDelegate(std::string scheme) {
    takePageMessages(std::move(scheme), {}, true);
}

void WebView::takePageMessages(std::string scheme, PageMessageHandler handler,
                               bool throughDelegate) {
    const bool first = messageScheme_.empty();
    if (!first && throughDelegate != messagesThroughDelegate_) {
        core::Console::log("WebView: the page's messages are taken one way; kept as they were");
        return;
    }
    messageScheme_ = std::move(scheme);
    messageHandler_ = std::move(handler);
    messagesThroughDelegate_ = throughDelegate;
    if (!first || messageScheme_.empty()) return;
    // Without the socket (or the extension) every message comes through the
    // policy step.
    if (!engine_->context->hasExtension()) return;
    std::string error;
    PageMessageServer* server = PageMessageServer::shared(&error);
    if (!server) {
        core::Console::log("WebView: " + error);
        return;
    }
    server->setReceiving(pageIdentifier(), true,
                         throughDelegate ? PageMessageServer::Form::url
                                         : PageMessageServer::Form::text);
    engine_->receivesPageMessages = true;
    addMessageScript();
}

void WebView::contentSizeReported(gfx::Size size) {
    if (size == contentSize_) return;
    contentSize_ = size;
    if (const auto delegate = this->delegate()) delegate->contentSizeDidChange(*this, size);
}

void WebView::addUserScript(const std::string& source, InjectionTime time, bool mainFrameOnly) {
    WebKitUserScript* script = webkit_user_script_new(
        source.c_str(),
        mainFrameOnly ? WEBKIT_USER_CONTENT_INJECT_TOP_FRAME
                      : WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        time == InjectionTime::documentStart ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START
                                             : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
        nullptr, nullptr);
    webkit_user_content_manager_add_script(engine_->scripts, script);
    webkit_user_script_unref(script);
}

void WebView::removeAllUserScripts() {
    webkit_user_content_manager_remove_all_scripts(engine_->scripts);
    addOwnScripts();
}

void WebView::addScriptMessageHandler(const std::string& name, ScriptMessageHandler handler) {
    const bool known = messageHandlers_.count(name) > 0;
    messageHandlers_[name] = std::move(handler);
    if (known) return;
    engine_->messageSignals[name] = g_signal_connect_data(
        engine_->scripts, ("script-message-received::" + name).c_str(),
        G_CALLBACK(Engine::scriptMessage), new MessageHandler{engine_.get(), name},
        [](gpointer data, GClosure*) { delete static_cast<MessageHandler*>(data); },
        GConnectFlags(0));
    webkit_user_content_manager_register_script_message_handler(engine_->scripts, name.c_str());
}

void WebView::removeScriptMessageHandler(const std::string& name) {
    if (messageHandlers_.erase(name) == 0) return;
    webkit_user_content_manager_unregister_script_message_handler(engine_->scripts, name.c_str());
    if (const auto found = engine_->messageSignals.find(name);
        found != engine_->messageSignals.end()) {
        g_signal_handler_disconnect(engine_->scripts, found->second);
        engine_->messageSignals.erase(found);
    }
}

void WebView::Engine::scriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                    gpointer data) {
    const auto& handler = *static_cast<MessageHandler*>(data);
    WebView& view = handler.engine->owner;
    const auto keep = view.self();
    const auto found = view.messageHandlers_.find(handler.name);
    if (found == view.messageHandlers_.end()) return;
    const auto call = found->second;  // the handler may remove itself
    call(valueOf(webkit_javascript_result_get_js_value(result)));
}

void WebView::evaluateJavaScript(const std::string& script, EvaluationCompletion completion) {
    webkit_web_view_evaluate_javascript(
        engine_->page, script.c_str(), gssize(script.size()), nullptr, nullptr, nullptr,
        [](GObject* page, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Evaluation> evaluation(static_cast<Evaluation*>(data));
            GError* error = nullptr;
            JSCValue* value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(page), result, &error);
            JSResult answer = value ? JSResult(valueOf(value)) : JSResult(exceptionOf(error));
            if (value) g_object_unref(value);
            if (error) g_error_free(error);
            if (!evaluation->completion) return;
            const auto view = evaluation->view.lock();
            if (!view) return;
            evaluation->completion(std::move(answer));
        },
        new Evaluation{self(), std::move(completion)});
}

WebView::Engine::PendingDialog::~PendingDialog() {
    if (!held) return;
    if (!answered) webkit_script_dialog_close(dialog);
    webkit_script_dialog_unref(dialog);
}

void WebView::Engine::PendingDialog::hold() {
    webkit_script_dialog_ref(dialog);
    held = true;
}

void WebView::Engine::PendingDialog::answer() {
    if (std::exchange(answered, true)) return;
    if (returned) webkit_script_dialog_close(dialog);
}

gboolean WebView::Engine::scriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    WebView& view = engine.owner;
    const auto keep = view.self();
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT: {
        const auto delegate = view.delegate();
        if (!delegate) return TRUE;
        const auto url = view.url();
        // Answered inside the call: the engine closes the dialog itself.
        // Answered later: the dialog is kept open until then, and closed
        // when the answer can no longer come (its completion dropped, or the
        // view gone): its page waits meanwhile, and so does every other page
        // of its web process.
        auto pending = std::make_shared<Engine::PendingDialog>(dialog);
        delegate->runJavaScriptAlert(view, url ? url->host() : "",
                                     webkit_script_dialog_get_message(dialog),
                                     [pending] { pending->answer(); });
        pending->returned = true;
        if (!pending->answered) {
            pending->hold();
            std::erase_if(engine.openDialogs, [](const auto& open) { return open.expired(); });
            engine.openDialogs.push_back(pending);
        }
        return TRUE;
    }
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog,
                                                   webkit_script_dialog_get_dialog_type(dialog) ==
                                                       WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM);
        return TRUE;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        return TRUE;  // answers null
    }
    return FALSE;
}

}  // namespace web
