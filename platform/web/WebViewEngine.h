#pragma once
// The engine's side of a WebView: its WebKitWebView in an offscreen GTK
// window, the signal handlers, and the bookkeeping that turns the engine's
// events into the delegate's callbacks. platform/web only; main thread.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/PendingWork.h"
#include "gfx/Image.h"
#include "ui/Touch.h"
#include "web/DecisionServer.h"
#include "web/WebContext.h"
#include "web/WebView.h"

namespace web {

struct WebView::Engine {
    explicit Engine(WebView& owner) : owner(owner) {}
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The view made for page, or nullptr.
    [[nodiscard]] static Engine* fromEngine(WebKitWebView* page);
    [[nodiscard]] static Engine* forPage(std::uint64_t pageId);
    // A web process asks about a navigation it is sending (DecisionServer).
    [[nodiscard]] static protocol::Decision decideInWebProcess(const DecisionQuery& query);
    // The web process of the page went over its memory limit and is ending
    // (told by the process's extension).
    [[nodiscard]] static protocol::Decision processOverMemoryLimit(std::uint64_t pageId);

    // The key a URL is matched by: its text without one trailing "/".
    [[nodiscard]] static std::string key(std::string_view url);
    // Whether the URL's scheme is http or https.
    [[nodiscard]] static bool isHTTP(std::string_view url);
    // The same key, without a copy.
    [[nodiscard]] static std::string_view keyOf(std::string_view url) {
        if (!url.empty() && url.back() == '/') url.remove_suffix(1);
        return url;
    }

    void connectSignals();
    // WebViewNavigation.cpp
    static gboolean decidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
    static GtkWidget* createWindow(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
    void decideNavigation(WebKitNavigationPolicyDecision* decision);
    void decideNewWindow(WebKitNavigationAction* action);
    void decideResponse(WebKitResponsePolicyDecision* decision);
    [[nodiscard]] protocol::Decision decideDeferred(const DecisionQuery& query);
    [[nodiscard]] bool ask(NavigationAction action);
    // The action, for its URL as read already.
    [[nodiscard]] NavigationAction actionFor(WebKitNavigationAction* action,
                                             std::string_view url) const;
    // The same, for a request of another URL (a message taken beside the
    // navigation to its reference).
    [[nodiscard]] NavigationAction actionFor(WebKitNavigationAction* action,
                                             core::URLRequest request) const;
    // Tells the web process that the main frame's next request for url is
    // the load the view made (protocol::kMainFrameMessage).
    void tellMainFrameLoad(const std::string& url);
    // A link clicked in a frame of the page, told before its navigation.
    void linkClicked(std::string url, bool mainFrame, std::string target);
    // The frame a link-click navigation to url targets, when a click told it.
    [[nodiscard]] std::optional<bool> clickedFrame(const std::string& url);
    // WebViewLoading.cpp
    static void loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    // The engine's "is-loading" turned: a load it started and stopped
    // without a finish or a failure was dropped (two navigations at once in
    // one web process can end so), and is made once more.
    static void loadingChanged(GObject*, GParamSpec*, gpointer self);
    void recoverDroppedLoad(std::uint64_t serial);
    // A load the engine began (or was asked for) whose main frame has sent
    // no request within kStallSeconds of real time (for a proxied page: none
    // reached the proxy, or the proxy gave the engine the whole answer and
    // the engine did nothing with it for as long), and which has not
    // committed: when several views load at once in a new web process, the
    // engine can leave one so, loading for ever. It is made once more, then
    // it fails. A look that finds the load moved since the one before (the
    // engine started it, or its page sent its request) finds no stall: a
    // request still on its way is slow, not stalled; nor does one before
    // the view's page is in a web process (kLaunchSeconds): a web process
    // starts in seconds on a busy machine.
    static constexpr double kStallSeconds = 4;
    // A proxied answer counts as stalled only once this many looks in a row
    // found it answered and the engine doing nothing with it: a busy web
    // process can take more than one wait to turn to an answer it has. A
    // load made once more gets as many looks, whatever held it.
    static constexpr int kAnsweredLooks = 3;
    // The wait in effect (tests shorten it).
    static inline double stallSeconds = kStallSeconds;
    // Real seconds a load may wait for its web process to start (the
    // view's page to be made in it) before a look may count it stalled.
    static constexpr double kLaunchSeconds = 60;
    // anew: for a load just begun (or made again).
    void watchForStall(bool anew);
    void stopStallWatch();
    void checkForStall(std::uint64_t serial);
    // The page told that its main frame sent a request (protocol::kSentMessage).
    static gboolean pageMessage(WebKitWebView*, WebKitUserMessage* message, gpointer self);
    static gboolean loadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* uri, GError* error,
                               gpointer self);
    static gboolean loadFailedWithTLSErrors(WebKitWebView*, gchar* uri,
                                            GTlsCertificate* certificate,
                                            GTlsCertificateFlags errors, gpointer self);
    static void processTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                  gpointer self);
    // The app's proxy asks for its credentials ("UI" kind): answered for
    // that proxy alone.
    static gboolean authenticate(WebKitWebView*, WebKitAuthenticationRequest* request,
                                 gpointer self);
    // WebViewTLS.cpp: whether one of TrustedAuthorities vouches for the
    // server's certificate for the URL's host; the engine told to accept a
    // certificate for the host, and the current load going on; a handshake
    // of our own with the server of a load the engine ended as cancelled
    // without naming the certificate (true: the load waits for it, then
    // goes on, or fails as refused for its certificate, or with failure).
    [[nodiscard]] static bool trustsCertificate(GTlsCertificate* certificate, const core::URL& url);
    void goOnWithCertificate(GTlsCertificate* certificate, const core::URL& url,
                             const std::string& failing);
    // Whether a refused load's certificate is to be checked: once per load,
    // and again a few times once the engine was told to accept it.
    [[nodiscard]] bool checksCertificate();
    static constexpr int kMostCertificateRetries = 3;
    static constexpr int kCertificateRetryMs = 100;
    [[nodiscard]] bool probeCertificate(const std::string& failing, const LoadError& failure);
    [[nodiscard]] static LoadError errorFor(const GError* error, const std::string& url,
                                            bool provisional);
    // WebViewScripts.cpp
    static gboolean scriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);
    static void scriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                              gpointer self);
    // WebViewPicture.cpp: watching the engine draw into the window.
    void watchDrawing();
    void unwatchDrawing();
    static gboolean damaged(GtkWidget*, GdkEventExpose*, gpointer self);
    static void invalidated(GdkWindow* window, cairo_region_t* region);
    // The surface's pixels (width x height of them) as an image at the
    // device scale. Given the pixels of the previous picture of that size
    // (reused), only region (in pixels) is copied over them.
    [[nodiscard]] static gfx::ImagePtr imageOf(cairo_surface_t* surface, int width, int height,
                                               gfx::Image::Pixels reused = {},
                                               const gfx::Rect& region = {});
    // WebViewInput.cpp: events made for the engine's view, at a point in
    // its pixels.
    void sendButton(GdkEventType type, unsigned button, gfx::Point at, std::uint32_t time);
    void sendMotion(gfx::Point at, bool held, std::uint32_t time);
    void sendScroll(gfx::Point at, gfx::Point pixels, std::uint32_t time);
    void sendKey(unsigned keyval);
    [[nodiscard]] gfx::Point pixelPoint(gfx::Point point) const;
    // WebViewSchemes.cpp
    void serveSchemeRequest(WebKitURISchemeRequest* request);

    WebView& owner;
    std::shared_ptr<WebContext> context;
    GtkWidget* window = nullptr;
    WebKitWebView* page = nullptr;
    WebKitUserContentManager* scripts = nullptr;
    int pixelWidth = 0;
    int pixelHeight = 0;

    // Loads made through WebView whose policy step is still to come
    // (decided: the app decided already, the engine's step just lets it on).
    struct APINavigation {
        std::string key;
        bool decided = false;
    };
    std::deque<APINavigation> apiNavigations;
    // The main-frame load the app decided last, and which load it is: until
    // it commits, the engine may start it over and ask for it again (a
    // second navigation in the same web process, a change of process), and
    // that asking is the same load, let through.
    struct DecidedLoad {
        std::string key;
        std::uint64_t serial = 0;
    };
    std::optional<DecidedLoad> decidedLoad;
    // The base URL of the HTML string loaded last, until a load by URL: a
    // dropped load of it cannot be made again from its URL.
    std::optional<std::string> htmlBase;
    // The engine reported a load's start and not yet its finish or failure.
    bool engineLoadOpen = false;
    // Held while the engine says it is loading ("is-loading"): from the
    // moment a load is asked of it, through the launch of a web process for
    // it (seconds on a busy machine, before any start is reported), to its
    // end or until the app stops it. Work under way in another process,
    // which reaches the main loop.
    core::PendingWork::Token engineLoading;
    // Navigations the page started, let through the policy step undecided;
    // decided when the web process sends their request.
    struct Deferred {
        std::string url;
        NavigationType type = NavigationType::other;
        bool userGesture = false;
    };
    std::deque<Deferred> deferred;
    // Link clicks the page's frames told of, newest last.
    struct Click {
        std::string url;
        bool mainFrame = false;
        std::string target;
    };
    std::deque<Click> clicks;
    // Loads whose end the delegate heard of already (replaced or stopped):
    // the engine's report of their cancellation is dropped.
    std::deque<std::string> endedByApp;
    bool dropNextFinish = false;
    // The engine began a main-frame load whose decision is still to come.
    bool startAwaitsDecision = false;
    // The web process holds a main-frame navigation (refused, or loaded by
    // the app): the engine's start of it, before or after the decision,
    // begins nothing; its failure ends it.
    bool mainFrameHeld = false;
    // The web process said it is ending over its memory limit: its end is
    // told as such, not as a crash.
    bool processOverMemory = false;
    // The last navigation allowed in the policy step: the engine's start
    // event does not name its URL.
    std::string lastAllowed;
    // The current load's main-frame request has gone out, the engine has
    // decided on its answer, the looks in a row that found it where it was
    // (quietStage: the proxy's stage of it then, -1 for an unproxied page),
    // and the watch for a stall of the load. loadMoved: since the last look
    // the engine started the load or its page sent the request, so the load
    // is on its way, however slowly, and that look finds no stall.
    bool mainRequestSent = false;
    bool loadMoved = false;
    // The view's page is in a web process (protocol::kPageMessage), until
    // that process ends; and when the watch of the current load began, in
    // real seconds.
    bool pageInProcess = false;
    double watchBegan = 0;
    bool responseDecided = false;
    int quietLooks = 0;
    int quietStage = -1;
    guint stallWatch = 0;  // a GLib source, in real time
    // A URL the web process sent a held navigation to.
    [[nodiscard]] static bool isHeld(std::string_view url);
    // A snapshot asked for and not yet answered (WebViewSnapshot.cpp): it
    // counts in WebView::pendingSnapshotCount() and holds pending work until
    // its answer comes or the view goes.
    struct SnapshotTicket {
        SnapshotTicket();
        void settle();
        core::PendingWork::Token work;
        bool settled = false;
    };
    std::vector<std::shared_ptr<SnapshotTicket>> snapshots;
    void settleSnapshots();
    // An alert the delegate answers later (WebViewScripts.cpp).
    struct PendingDialog {
        explicit PendingDialog(WebKitScriptDialog* dialog) : dialog(dialog) {}
        ~PendingDialog();
        PendingDialog(const PendingDialog&) = delete;
        PendingDialog& operator=(const PendingDialog&) = delete;
        void hold();
        void answer();
        WebKitScriptDialog* dialog;
        bool returned = false;
        bool answered = false;
        bool held = false;
    };
    std::vector<std::weak_ptr<PendingDialog>> openDialogs;
    // Handlers of the page's messages, by name.
    std::map<std::string, gulong> messageSignals;
    // The page's long messages come through PageMessageServer.
    bool receivesPageMessages = false;
    // A navigation to the view's message scheme, or to the reference of a
    // message taken in the web process (WebViewNavigation.cpp): true when
    // url was one, handed on, asked about (or refused) and its navigation
    // ignored. A view whose delegate decides its messages leaves the ones
    // that come as they are to the rest of the policy step (false).
    [[nodiscard]] bool takePageMessage(WebKitPolicyDecision* policy,
                                       WebKitNavigationAction* navigation, std::string_view url);
    // A size change waits for the engine's allocation before its snapshot.
    bool snapshotOnAllocation = false;

    // The engine drew into the window since the picture was last read; it
    // draws the page from the first commit on (before it, the window's own
    // background).
    bool drew = false;
    bool showsPage = false;
    // What the engine painted (in the window's pixels) since the picture was
    // last read from the window, and whether the picture is that read (not
    // a snapshot): then only the damage needs copying over it.
    gfx::Rect damage;
    bool pictureIsWindow = false;
    // Documents the page committed so far, and how many it had committed
    // when the window was last invalidated. The engine keeps showing the
    // old document until the new one's first frame reaches it, and a paint
    // the window had coming at the commit repaints that: only a paint asked
    // for after the latest commit shows the current document.
    std::uint64_t document = 0;
    std::uint64_t invalidatedIn = 0;
    // The URL the main frame's current document was loaded from (after
    // redirects), which the navigations of its frames belong to: the view's
    // URL follows history.pushState and replaceState. Empty before the
    // first commit.
    std::string documentURL;
    // documentURL, or the view's URL before the first commit.
    [[nodiscard]] std::optional<core::URL> mainDocument() const;
    // The engine invalidated the window and has yet to paint it (held only
    // while the view takes pictures).
    core::PendingWork::Token painting;

    // The touch that is the page's pointer, while it is down.
    struct Pointer {
        std::weak_ptr<ui::Touch> touch;
        gfx::Point start;  // in points of the page
        gfx::Point last;
        bool panning = false;
    };
    std::optional<Pointer> pointer;
};

}  // namespace web
