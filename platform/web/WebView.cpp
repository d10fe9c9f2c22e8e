#include "web/WebView.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <utility>

#include "core/Console.h"
#include "core/Fatal.h"
#include "core/RunLoop.h"
#include "gfx/Canvas.h"
#include "ui/DeviceProfile.h"
#include "web/EngineMessages.h"
#include "web/PageMessageServer.h"
#include "web/WebViewEngine.h"
#include "web/proxy/EngineProxy.h"

namespace web {

namespace {

constexpr const char* kOwnerKey = "vantor-web-view";

std::unordered_map<std::uint64_t, WebView::Engine*>& pages() {
    static auto* registry = new std::unordered_map<std::uint64_t, WebView::Engine*>;
    return *registry;
}

}  // namespace

std::shared_ptr<WebView> WebView::create(const gfx::Rect& frame, WebViewConfiguration configuration,
                                         std::string* error) {
    if (!core::RunLoop::isMainThread()) core::fatal("web::WebView::create: not on the main thread");
    auto view = std::make_shared<WebView>(Token{}, frame, std::move(configuration));
    std::string message;
    if (!view->start(&message)) {
        core::Console::log("WebView: " + message);
        if (error) *error = std::move(message);
        return nullptr;
    }
    return view;
}

WebView::WebView(Token, const gfx::Rect& frame, WebViewConfiguration configuration)
    : ui::View(frame), configuration_(std::move(configuration)),
      engine_(std::make_unique<Engine>(*this)) {}

WebView::~WebView() = default;

bool WebView::start(std::string* error) {
    engine_->context = WebContext::shared(configuration_, error);
    if (!engine_->context) return false;
    if (configuration_.relatedView &&
        configuration_.relatedView->engine().context != engine_->context) {
        if (error)
            *error = "a related view must be of the same kind and persistence, and neither may "
                     "have a data store of its own";
        return false;
    }

    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    webkit_settings_set_enable_javascript(settings, configuration_.javaScriptEnabled);
    // window.open() reaches the delegate instead of being dropped silently.
    webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
    // A touch that pans scrolls the page at once, with the finger.
    webkit_settings_set_enable_smooth_scrolling(settings, FALSE);
    webkit_settings_set_media_playback_requires_user_gesture(
        settings, configuration_.mediaPlaybackRequiresUserAction);
    if (!configuration_.userAgent.empty())
        webkit_settings_set_user_agent(settings, configuration_.userAgent.c_str());
    if (const char* console = std::getenv("VANTOR_WEB_CONSOLE"); console && *console == '1')
        webkit_settings_set_enable_write_console_messages_to_stdout(settings, TRUE);

    Engine& engine = *engine_;
    engine.scripts = webkit_user_content_manager_new();
    GObject* page = nullptr;
    // Views share a web process unless one asks for its own: the one named,
    // else the context's newest.
    WebKitWebView* host = configuration_.relatedView     ? configuration_.relatedView->engine().page
                          : configuration_.ownWebProcess ? nullptr
                                                         : engine.context->processHost();
    if (host) {
        page = G_OBJECT(g_object_new(WEBKIT_TYPE_WEB_VIEW, "settings", settings,
                                     "user-content-manager", engine.scripts, "related-view", host,
                                     nullptr));
    } else {
        page = G_OBJECT(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", engine.context->engine(),
                                     "settings", settings, "user-content-manager", engine.scripts,
                                     nullptr));
    }
    g_object_unref(settings);
    engine.page = WEBKIT_WEB_VIEW(page);
    g_object_set_data(page, kOwnerKey, &engine);
    pages()[webkit_web_view_get_page_id(engine.page)] = &engine;
    // A view in a web process of its own keeps it to itself.
    engine.context->addPage(engine.page,
                            !configuration_.ownWebProcess || configuration_.relatedView);

    engine.window = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(engine.window), GTK_WIDGET(engine.page));
    engine.connectSignals();
    installOwnScripts();
    syncEngineSize();
    gtk_widget_realize(engine.window);
    engine.watchDrawing();
    gtk_widget_show_all(engine.window);
    return true;
}

WebView::Engine::~Engine() {
    if (!page) return;
    // Alerts still waiting for an answer: their page (and the others of its
    // web process) must not wait for ever.
    for (const auto& weak : openDialogs)
        if (const auto dialog = weak.lock()) dialog->answer();
    settleSnapshots();
    stopStallWatch();
    pages().erase(webkit_web_view_get_page_id(page));
    if (receivesPageMessages)
        if (PageMessageServer* server = PageMessageServer::shared(nullptr))
            server->setReceiving(webkit_web_view_get_page_id(page), false);
    context->removePage(page);
    g_signal_handlers_disconnect_by_data(page, this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(page), this);
    g_signal_handlers_disconnect_by_data(scripts, this);
    for (const auto& [name, signal] : messageSignals) g_signal_handler_disconnect(scripts, signal);
    g_object_set_data(G_OBJECT(page), kOwnerKey, nullptr);
    unwatchDrawing();
    gtk_widget_destroy(window);
    g_object_unref(scripts);
}

WebView::Engine* WebView::Engine::fromEngine(WebKitWebView* page) {
    if (!page) return nullptr;
    return static_cast<Engine*>(g_object_get_data(G_OBJECT(page), kOwnerKey));
}

WebView::Engine* WebView::Engine::forPage(std::uint64_t pageId) {
    const auto found = pages().find(pageId);
    return found == pages().end() ? nullptr : found->second;
}

protocol::Decision WebView::Engine::processOverMemoryLimit(std::uint64_t pageId) {
    if (Engine* engine = forPage(pageId)) engine->processOverMemory = true;
    return protocol::Decision::allow;
}

std::string WebView::Engine::key(std::string_view url) {
    if (!url.empty() && url.back() == '/') url.remove_suffix(1);
    return std::string(url);
}

void WebView::Engine::connectSignals() {
    g_signal_connect(page, "decide-policy", G_CALLBACK(decidePolicy), this);
    g_signal_connect(page, "create", G_CALLBACK(createWindow), this);
    g_signal_connect(page, "load-changed", G_CALLBACK(loadChanged), this);
    g_signal_connect(page, "notify::is-loading", G_CALLBACK(loadingChanged), this);
    g_signal_connect(page, "load-failed", G_CALLBACK(loadFailed), this);
    g_signal_connect(page, "load-failed-with-tls-errors", G_CALLBACK(loadFailedWithTLSErrors),
                     this);
    g_signal_connect(page, "web-process-terminated", G_CALLBACK(processTerminated), this);
    g_signal_connect(page, "authenticate", G_CALLBACK(authenticate), this);
    g_signal_connect(page, "user-message-received", G_CALLBACK(pageMessage), this);
    g_signal_connect(page, "script-dialog", G_CALLBACK(scriptDialog), this);
    g_signal_connect(page, "size-allocate",
                     G_CALLBACK(+[](GtkWidget*, GdkRectangle*, gpointer data) {
                         auto& engine = *static_cast<Engine*>(data);
                         if (!std::exchange(engine.snapshotOnAllocation, false)) return;
                         const auto keep = engine.owner.self();
                         engine.owner.takeSnapshot();
                     }),
                     this);
}

gboolean WebView::Engine::authenticate(WebKitWebView*, WebKitAuthenticationRequest* request,
                                       gpointer data) {
    const auto& engine = *static_cast<Engine*>(data);
    if (engine.context->proxy() && webkit_authentication_request_is_for_proxy(request)) {
        // The app's proxy knows the engine by the credentials its context
        // gives as each connection opens and never asks for more: a
        // challenge for a proxy's credentials is an origin's 407, which the
        // page gets as its answer, as it would from the origin alone.
        core::Console::log("WebView: a proxy's request for credentials was refused");
        webkit_authentication_request_cancel(request);
        return TRUE;
    }
    // The engine asks only once the credentials the page gave (in the URL,
    // to an XHR) are spent. Its own dialog would wait in a window nobody
    // sees: the load goes on without credentials instead, and the page
    // gets the server's answer to the challenge, as with no dialog at all.
    webkit_authentication_request_authenticate(request, nullptr);
    return TRUE;
}

std::shared_ptr<WebView> WebView::self() {
    return std::static_pointer_cast<WebView>(shared_from_this());
}

std::uint64_t WebView::pageIdentifier() const {
    return webkit_web_view_get_page_id(engine_->page);
}

std::optional<core::URL> WebView::url() const {
    const char* uri = webkit_web_view_get_uri(engine_->page);
    if (!uri) return std::nullopt;
    return urlOfEngine(uri);
}

void WebView::terminateWebProcess() {
    webkit_web_view_terminate_web_process(engine_->page);
}

void WebView::layoutSubviews() {
    ui::View::layoutSubviews();
    syncEngineSize();
}

void WebView::syncEngineSize() {
    Engine& engine = *engine_;
    const double scale = std::max(1.0, ui::DeviceProfile::current().scale);
    const gfx::Size size = bounds().size;
    const int width = std::max(1, int(std::lround(size.width * scale)));
    const int height = std::max(1, int(std::lround(size.height * scale)));
    if (width == engine.pixelWidth && height == engine.pixelHeight) return;
    const bool resized = engine.pixelWidth != 0;
    engine.pixelWidth = width;
    engine.pixelHeight = height;
    // The page lays out in points: CSS pixels are points (times the page's
    // zoom), drawn at the scale.
    webkit_web_view_set_zoom_level(engine.page, scale * zoom_);
    gtk_widget_set_size_request(GTK_WIDGET(engine.page), width, height);
    gtk_window_resize(GTK_WINDOW(engine.window), width, height);
    if (resized && !bounds().isEmpty()) engine.snapshotOnAllocation = true;
}

void WebView::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    // The page's pictures come at up to the display's rate: sampled fast.
    if (const gfx::ImagePtr& picture = currentPicture())
        canvas.drawImage(*picture, bounds(), 1, gfx::Canvas::Sampling::fast);
}

}  // namespace web
