#pragma once
// How a web view is built. Two kinds of the one class:
//  - Kind::WK: the engine fetches the page itself; the view offers the
//    response decision, tells provisional from committed failures, and
//    honours javaScriptEnabled and a non-persistent data store;
//  - Kind::UI: every http(s) load of the page (the main document, frames,
//    scripts, images, styles, fetches) goes through the app's URL layer
//    (PageLoader) in this process, and the document keeps its real URL.
// Views of one persistence share one engine context (one network process,
// one cookie jar for the engine's own loads), whatever their kind, and a web
// process: relatedView's, else the newest live view's, unless ownWebProcess.

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
    // caches folder; otherwise nothing is written to disk.
    bool persistentDataStore = false;
    // Media starts only after a tap in the page.
    bool mediaPlaybackRequiresUserAction = false;
    // Empty: the engine's own.
    std::string userAgent;
    // Shares its web process; must be of the same persistence.
    std::shared_ptr<WebView> relatedView;
    // A web process of its own instead of one shared with the other views.
    bool ownWebProcess = false;
    // The longest URL (in bytes) of a navigation the page starts that is
    // decided in the engine's policy step (the page's messages in other
    // schemes among them): a longer one is refused and logged before
    // anything reads it. 0: no bound.
    size_t maximumNavigationURLBytes = 0;
};

}  // namespace web
