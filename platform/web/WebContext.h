#pragma once
// The browser engine's context for one kind of web view: its web processes,
// its network process and data store, the schemes it serves and the web
// process extension it loads. Views of one kind and persistence share one
// context; the first one starts the engine (GLib's main loop as the main
// thread's waiter, a display, GTK). Every context runs its web processes in
// the engine's sandbox. Main thread only; contexts live until the process
// ends.

#include <memory>
#include <set>
#include <string>

#include "web/WebViewConfiguration.h"

typedef struct _WebKitWebContext WebKitWebContext;

namespace web {

class WebContext {
public:
    // nullptr with a message when the engine cannot start.
    [[nodiscard]] static std::shared_ptr<WebContext>
    shared(const WebViewConfiguration& configuration, std::string* error);
    // The folder of the web process extension: $VANTOR_WEB_EXTENSION_DIR,
    // else an installed tree's lib/vantor/webextension, else the build
    // tree's.
    [[nodiscard]] static std::string extensionFolder();

    [[nodiscard]] WebKitWebContext* engine() const { return context_; }
    [[nodiscard]] WebViewConfiguration::Kind kind() const { return kind_; }
    [[nodiscard]] bool persistent() const { return persistent_; }
    // Whether the extension is there: without it the frame of navigations
    // the page starts is unknown, and "UI"-kind views cannot be made.
    [[nodiscard]] bool hasExtension() const { return hasExtension_; }
    // Registers scheme with the engine once; its requests go to the view
    // whose page made them.
    void serveScheme(const std::string& scheme);

    WebContext(WebKitWebContext* context, WebViewConfiguration::Kind kind, bool persistent,
               bool hasExtension);
    ~WebContext();
    WebContext(const WebContext&) = delete;
    WebContext& operator=(const WebContext&) = delete;

private:
    WebKitWebContext* context_;
    WebViewConfiguration::Kind kind_;
    bool persistent_;
    bool hasExtension_;
    std::set<std::string> schemes_;
};

}  // namespace web
