#include "web/WebContext.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "core/Bundle.h"
#include "core/FileManager.h"
#include "web/DecisionServer.h"
#include "web/EngineSandbox.h"
#include "web/EngineStart.h"
#include "web/HeadlessDisplay.h"
#include "web/MainLoop.h"
#include "web/WebProcessProtocol.h"
#include "web/WebViewEngine.h"
#include "web/proxy/EngineProxy.h"

namespace web {

namespace {

constexpr const char* kExtensionFile = "libvantor_webextension.so";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

bool startEngine(std::string* error) {
    static bool started = false;
    static std::string failure;
    if (started) return true;
    if (!failure.empty()) {
        if (error) *error = failure;
        return false;
    }
    const auto fail = [&](std::string message) {
        failure = std::move(message);
        if (error) *error = failure;
        return false;
    };
    startEngineOnMainThread();
    MainLoop::install();
    std::string message;
    if (!HeadlessDisplay::ensure(&message)) return fail(message);
    // Checked with the display's bus address in place.
    if (auto hazard = sandboxHazard()) return fail(*hazard);
    // An accessibility bus is for a person's session: nobody reads the
    // screen of a display of our own, and without a session bus there is
    // none to find. There GTK and the web processes do not look for one
    // (each would warn that none answers); the user's own settings win.
    // The accessibility bridge also leaks, which the leak checker reports.
    const char* sessionBus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (kSanitized || !HeadlessDisplay::startedDisplay().empty() || !sessionBus || !*sessionBus) {
        setenv("NO_AT_BRIDGE", "1", 0);
        setenv("WEBKIT_A11Y_BUS_ADDRESS", "", 0);
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        const char* display = std::getenv("DISPLAY");
        return fail(std::string("no display: GTK cannot open ") +
                    (display ? display : "the display"));
    }
    // Text of every page at the same resolution, whatever the server says.
    g_object_set(gtk_settings_get_default(), "gtk-xft-dpi", 96 * 1024, nullptr);
    DecisionServer* server = DecisionServer::shared(&message);
    if (!server) return fail(message);
    server->setHandler([](const DecisionQuery& query) {
        if (query.method == protocol::kMemoryNotice)
            return WebView::Engine::processOverMemoryLimit(query.pageId);
        return WebView::Engine::decideInWebProcess(query);
    });
    started = true;
    return true;
}

void serveSchemeRequest(WebKitURISchemeRequest* request, gpointer) {
    WebView::Engine* view =
        WebView::Engine::fromEngine(webkit_uri_scheme_request_get_web_view(request));
    if (!view) {
        GError* error = g_error_new_literal(g_quark_from_static_string("vantor-web"), 1,
                                            "The web view is gone.");
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        return;
    }
    view->serveSchemeRequest(request);
}

std::string missingExtension(const std::string& folder) {
    return "web views: the web process extension is missing (looked in '" + folder +
           "'; VANTOR_WEB_EXTENSION_DIR names another folder)";
}

std::string dataFolder(bool persistent, const char* name) {
    if (!persistent) return {};
    return (std::filesystem::path(core::FileManager::folderPath(core::Folder::Caches)) / "web" /
            name)
        .string();
}

}  // namespace

std::string WebContext::extensionFolder() {
    if (const char* folder = std::getenv("VANTOR_WEB_EXTENSION_DIR"); folder && *folder)
        return folder;
    // An installed tree keeps it in lib/vantor/webextension beside bin/.
    if (!core::Bundle::runsFromBuildFolder()) {
        const auto installed = std::filesystem::path(core::Bundle::executableFolder()) / ".." /
                               "lib" / "vantor" / "webextension";
        if (core::FileManager::isDirectory(installed.string()))
            return std::filesystem::weakly_canonical(installed).string();
    }
#ifdef VANTOR_WEB_EXTENSION_DIR
    return VANTOR_WEB_EXTENSION_DIR;
#else
    return {};
#endif
}

std::shared_ptr<WebContext> WebContext::shared(const WebViewConfiguration& configuration,
                                               std::string* error) {
    if (!startEngine(error)) return nullptr;
    // Kept until the process ends, with the engine's own state: one for each
    // persistence of the "WK" kind, and the "UI" kind's own (always
    // ephemeral), whose network process loads through the app's proxy. A
    // view's context of its own is made for it alone and kept by nobody
    // else: its processes end with its views.
    enum class Key { ephemeral, persistent, proxied };
    static auto& contexts = *new std::map<Key, std::shared_ptr<WebContext>>;
    const bool proxied = configuration.kind == WebViewConfiguration::Kind::UI;
    const bool own = !proxied && configuration.ownDataStore;
    const bool persistent = !proxied && !own && configuration.persistentDataStore;
    const Key key = proxied ? Key::proxied : persistent ? Key::persistent : Key::ephemeral;
    if (const auto found = contexts.find(key); !own && found != contexts.end())
        return found->second;

    const std::string folder = extensionFolder();
    std::error_code ignored;
    const bool hasExtension =
        !folder.empty() &&
        std::filesystem::exists(std::filesystem::path(folder) / kExtensionFile, ignored);
    // Without the extension nothing would mark a proxied page's requests.
    if (!hasExtension && proxied) {
        if (error) *error = missingExtension(folder);
        return nullptr;
    }
    EngineProxy* proxy = proxied ? EngineProxy::shared(error) : nullptr;
    if (proxied && !proxy) return nullptr;
    WebKitWebsiteDataManager* manager =
        persistent ? webkit_website_data_manager_new(
                         "base-data-directory", dataFolder(true, "data").c_str(),
                         "base-cache-directory", dataFolder(true, "cache").c_str(), nullptr)
                   : webkit_website_data_manager_new_ephemeral();
    if (proxy) {
        // Every load of the context goes to the app's proxy, loopback hosts
        // included (no host is left out). Its https certificates come from
        // its own authority, which nothing else trusts: the context takes
        // any certificate, and as it reaches no server but the proxy, a load
        // that cannot reach the proxy fails rather than going out directly.
        // Through SOCKS, whose credentials GLib shows as each connection
        // opens: an HTTP proxy's would share the engine's one store of proxy
        // credentials with what pages give in URLs and to XHRs.
        WebKitNetworkProxySettings* settings =
            webkit_network_proxy_settings_new(proxy->engineURI().c_str(), nullptr);
        webkit_website_data_manager_set_network_proxy_settings(
            manager, WEBKIT_NETWORK_PROXY_MODE_CUSTOM, settings);
        webkit_network_proxy_settings_free(settings);
        webkit_website_data_manager_set_tls_errors_policy(manager, WEBKIT_TLS_ERRORS_POLICY_IGNORE);
    }
    // Every web process of the context is ended once it holds more than
    // kWebProcessMemoryLimitMB: a page that allocates without end takes
    // down its own process (whose views hear of it), not the machine. The
    // engine looks now and then, on the web process's main thread, which
    // page script may keep busy; the extension holds the process to the
    // limit between the engine's looks.
    WebKitMemoryPressureSettings* memory = webkit_memory_pressure_settings_new();
    webkit_memory_pressure_settings_set_memory_limit(memory, kWebProcessMemoryLimitMB);
    webkit_memory_pressure_settings_set_kill_threshold(memory, 1.0);
    webkit_memory_pressure_settings_set_poll_interval(memory, kMemoryPollSeconds);
    auto* engine = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager",
                                                   manager, "memory-pressure-settings", memory,
                                                   nullptr));
    webkit_memory_pressure_settings_free(memory);
    g_object_unref(manager);
    // Pages are untrusted code: their web processes run in the engine's
    // sandbox (namespaces of their own, a file system of the system's
    // libraries and what is added below, a system call filter).
    webkit_web_context_set_sandbox_enabled(engine, TRUE);
    if (hasExtension) {
        DecisionServer* server = DecisionServer::shared(nullptr);
        webkit_web_context_set_web_extensions_directory(engine, folder.c_str());
        GVariantBuilder data;
        g_variant_builder_init(&data, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&data, "{sv}", protocol::kSocketKey,
                              g_variant_new_string(server->socketPath().c_str()));
        g_variant_builder_add(&data, "{sv}", protocol::kMemoryLimitKey,
                              g_variant_new_uint32(kWebProcessMemoryLimitMB));
        if (const std::string own = protocol::mountNamespace(); !own.empty())
            g_variant_builder_add(&data, "{sv}", protocol::kAppMountNamespaceKey,
                                  g_variant_new_string(own.c_str()));
        if (proxy)
            g_variant_builder_add(&data, "{sv}", protocol::kPageKeyKey,
                                  g_variant_new_string(proxy->pageKey().c_str()));
        webkit_web_context_set_web_extensions_initialization_user_data(
            engine, g_variant_builder_end(&data));
        // The one folder of ours the sandboxed web process needs besides
        // the extension's own (which the engine exposes): the socket's.
        webkit_web_context_add_path_to_sandbox(engine, server->folder().c_str(), FALSE);
    }
    auto context = std::make_shared<WebContext>(engine, persistent, hasExtension, proxy);
    context->serveScheme(protocol::kHeldScheme);
    if (!own) contexts.emplace(key, context);
    return context;
}

WebContext::WebContext(WebKitWebContext* context, bool persistent, bool hasExtension,
                       EngineProxy* proxy)
    : context_(context), persistent_(persistent), hasExtension_(hasExtension), proxy_(proxy) {}

WebContext::~WebContext() {
    g_object_unref(context_);
}

WebKitWebView* WebContext::processHost() const {
    return hosts_.empty() ? nullptr : hosts_.back();
}

void WebContext::addPage(WebKitWebView* page, bool hostsOthers) {
    if (hostsOthers) hosts_.push_back(page);
}

void WebContext::removePage(WebKitWebView* page) {
    std::erase(hosts_, page);
}

void WebContext::serveScheme(const std::string& scheme) {
    if (!schemes_.insert(scheme).second) return;
    webkit_web_context_register_uri_scheme(context_, scheme.c_str(), serveSchemeRequest, nullptr,
                                           nullptr);
    webkit_security_manager_register_uri_scheme_as_cors_enabled(
        webkit_web_context_get_security_manager(context_), scheme.c_str());
}

}  // namespace web
