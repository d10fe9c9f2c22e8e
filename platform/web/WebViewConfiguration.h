#pragma once
// How a web view is built. Two kinds of the one class, in both of which the
// engine loads the page itself (origins, cookies, redirects, history):
//  - Kind::WK: the engine reaches servers directly;
//  - Kind::UI: every request of the page goes through the app's proxy
//    (EngineProxy) and so through the app's URL layer, where the process's
//    URL protocols see and may answer it.
// Views of one kind and persistence share one engine context (one network
// process, one cookie jar; the "UI" kind's is always ephemeral), and a web
// process: relatedView's, else the newest live view's, unless ownWebProcess.
// A "WK"-kind view may instead have a context of its own (ownDataStore),
// whose processes end with it.

#include <cstddef>
#include <memory>
#include <string>

namespace web {

class WebView;

struct WebViewConfiguration {
    enum class Kind { WK, UI };

    Kind kind = Kind::WK;
    bool javaScriptEnabled = true;
    // Cookies, storage and caches survive the process under the app's
    // caches folder; otherwise nothing is written to disk. "WK" kind only.
    bool persistentDataStore = false;
    // Media starts only after a tap in the page.
    bool mediaPlaybackRequiresUserAction = false;
    // Empty: the engine's own.
    std::string userAgent;
    // Shares its web process; must be of the same kind and persistence.
    std::shared_ptr<WebView> relatedView;
    // A web process of its own instead of one shared with the other views.
    bool ownWebProcess = false;
    // An engine context of its own, always ephemeral: a cookie jar and
    // storage apart from every other view's, and a network process and web
    // process of its own, which end once the view is gone (a view that is
    // made now and then does not hold them in between). No view can be
    // related to it. "WK" kind only.
    bool ownDataStore = false;
    // The longest URL (in bytes) of a navigation the page starts that is
    // decided in the engine's policy step (the page's messages in other
    // schemes among them): a longer one is refused and logged before
    // anything reads it. 0: no bound.
    size_t maximumNavigationURLBytes = 0;
};

}  // namespace web
