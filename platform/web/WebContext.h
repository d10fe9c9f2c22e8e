#pragma once
// The browser engine's context of the web views of one kind and
// persistence: its web processes, its network process and data store (so a
// cookie jar of its own), the schemes it serves and the web process
// extension it loads. The "UI" kind's context is ephemeral and loads through
// the app's proxy (EngineProxy), whose pages the extension marks; the "WK"
// kind has one context per persistence, and a view that asks for a data
// store of its own has a context of its own. The first context starts the
// engine (GLib's main loop as the main thread's waiter, a display, GTK).
// Every context runs its web processes in the engine's sandbox, and keeps
// its live pages so that a new view can share a web process with one of
// them. Main thread only; the shared contexts live until the process ends, a
// view's own as long as its view (its web and network processes with it).

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "web/WebViewConfiguration.h"

typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitWebView WebKitWebView;

namespace web {

class EngineProxy;

class WebContext {
public:
    // The most memory one web process may hold before it is ended, and how
    // often the engine looks. Where the extension is loaded it also watches
    // the process's resident size, many times a second from a thread of its
    // own, and ends the process past the limit (see WebProcessProtocol.h).
    static constexpr unsigned kWebProcessMemoryLimitMB = 1024;
    static constexpr double kMemoryPollSeconds = 1;

    // The context of views so configured, made on first use; a new one for
    // each view with a data store of its own. nullptr with a message when
    // the engine cannot start.
    [[nodiscard]] static std::shared_ptr<WebContext>
    shared(const WebViewConfiguration& configuration, std::string* error);
    // The folder of the web process extension: $VANTOR_WEB_EXTENSION_DIR,
    // else an installed tree's lib/vantor/webextension, else the build
    // tree's.
    [[nodiscard]] static std::string extensionFolder();

    [[nodiscard]] WebKitWebContext* engine() const { return context_; }
    [[nodiscard]] bool persistent() const { return persistent_; }
    // Whether the extension is there: without it the frame of navigations
    // the page starts is unknown, and "UI"-kind views cannot be made.
    [[nodiscard]] bool hasExtension() const { return hasExtension_; }
    // The proxy the context loads through, or nullptr.
    [[nodiscard]] EngineProxy* proxy() const { return proxy_; }
    // Registers scheme with the engine once; its requests go to the view
    // whose page made them.
    void serveScheme(const std::string& scheme);
    // The page a new view shares its web process with (the newest live one
    // that shares its own), or nullptr when the context has none.
    [[nodiscard]] WebKitWebView* processHost() const;
    void addPage(WebKitWebView* page, bool hostsOthers);
    void removePage(WebKitWebView* page);

    WebContext(WebKitWebContext* context, bool persistent, bool hasExtension, EngineProxy* proxy);
    ~WebContext();
    WebContext(const WebContext&) = delete;
    WebContext& operator=(const WebContext&) = delete;

private:
    WebKitWebContext* context_;
    bool persistent_;
    bool hasExtension_;
    EngineProxy* proxy_;
    std::set<std::string> schemes_;
    std::vector<WebKitWebView*> hosts_;
};

}  // namespace web
