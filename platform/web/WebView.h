#pragma once
// A page of the browser engine (WebKitGTK) as a view: it loads HTML with a
// base URL or a request, asks its delegate about every navigation, runs
// user scripts and the page's messages to native code, evaluates script,
// serves schemes of the app's own, and shows the page live where it is (the
// renderer, the PNG tool and the desktop window draw what the page draws),
// and takes a person's touches, wheel and keys as the page's pointer and
// keyboard. Two kinds (WebViewConfiguration::Kind), which load alike: the
// engine loads the page itself; a "UI"-kind page's requests all go through
// the app's proxy (EngineProxy), so the app's URL layer sees every one.
//
// The engine's policy step does not say which frame navigates. Loads made
// through this class, link clicks (whose frame the click tells first) and
// navigations to other schemes than http(s), such as the SDK's message URLs,
// are decided there, before the engine begins anything (or, for a view
// that takes a scheme's navigations as the page's messages, handed on as
// text: receivePageMessages). Other navigations the
// page starts over http(s) (script, frames, forms, redirects) are decided
// when the engine sends their request, in the web process, where the frame
// is known: a refused one is never sent, but the engine has begun it, so
// that frame's loads under way stop, as for any navigation.
//
// The view's page is laid out at its bounds in points (CSS pixels are
// points, unless the page is zoomed) and rendered at the device scale. VANTOR_WEB_CONSOLE=1 writes the
// pages' console messages to standard output. Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/PendingWork.h"
#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"
#include "gfx/Image.h"
#include "ui/Touch.h"
#include "ui/View.h"
#include "web/JSResult.h"
#include "web/URLSchemeTask.h"
#include "web/WebViewConfiguration.h"
#include "web/WebViewDelegate.h"

namespace web {

class WebView : public ui::View {
public:
    enum class InjectionTime { documentStart, documentEnd };
    using ScriptMessageHandler = std::function<void(const core::Value& body)>;
    using EvaluationCompletion = std::function<void(JSResult result)>;
    using SnapshotCompletion = std::function<void(gfx::ImagePtr snapshot)>;
    using SchemeHandler = std::function<void(std::shared_ptr<URLSchemeTask> task)>;
    using PageMessageHandler = std::function<void(std::string url, NavigationType type)>;

    // Starts the engine on first use (GTK, a display, GLib's main loop as
    // the main thread's waiter). nullptr with a message when it cannot.
    [[nodiscard]] static std::shared_ptr<WebView> create(const gfx::Rect& frame,
                                                         WebViewConfiguration configuration = {},
                                                         std::string* error = nullptr);
    ~WebView() override;

    [[nodiscard]] const WebViewConfiguration& configuration() const { return configuration_; }
    [[nodiscard]] std::shared_ptr<WebViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<WebViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Loading. baseURL nullopt: "about:blank". The engine sends the
    // request's URL and header fields (it takes no method or body from
    // here). A load counts as pending work (core::PendingWork) from the call
    // to its end, the launch of a web process for it included.
    void loadHTMLString(const std::string& html, const std::optional<core::URL>& baseURL);
    void loadRequest(const core::URLRequest& request);
    void stopLoading();
    void reload();
    // Ends the view's web process, and with it every view that shares it;
    // their delegates hear webProcessDidTerminate (endedByApp). A page that
    // will not stop (script that never returns) lets go of its process
    // this way.
    void terminateWebProcess();
    // History: the engine's. The delegate hears didChangeHistory when it
    // changes.
    void goBack();
    void goForward();
    [[nodiscard]] bool canGoBack() const;
    [[nodiscard]] bool canGoForward() const;
    // From a load's start until it finishes or fails.
    [[nodiscard]] bool isLoading() const { return load_.active; }
    // The page's URL as the engine writes it (core::URL::createFromWeb).
    [[nodiscard]] std::optional<core::URL> url() const;
    // url as the engine writes it once it has read it (its escapes, the host
    // in lower case, dot segments resolved): what a load of it is asked
    // about under, and what its requests name.
    [[nodiscard]] std::string engineURL(const core::URL& url) const;
    // The HTTP status of the main frame's last document response.
    [[nodiscard]] std::optional<int> mainFrameStatusCode() const { return status_; }

    // Scripts. User scripts stay for every later load.
    void addUserScript(const std::string& source, InjectionTime time, bool mainFrameOnly = true);
    void removeAllUserScripts();
    // The page posts with window.webkit.messageHandlers.<name>.postMessage(v);
    // the handler gets v as JSON gives it.
    void addScriptMessageHandler(const std::string& name, ScriptMessageHandler handler);
    void removeScriptMessageHandler(const std::string& name);
    // The completion gets the script's value as JSON gives it, or the
    // exception with its message and line.
    void evaluateJavaScript(const std::string& script, EvaluationCompletion completion = {});

    // The page's messages: every navigation the page starts to a URL of
    // scheme (any letter case) is refused in the policy step and its URL's
    // text handed to handler, unparsed, on the main thread, in the order of
    // the page's navigations; the delegate is not asked about it. A message
    // longer than protocol::kMessageThresholdBytes that the page gives a
    // frame as its source (the way pages send them) is taken from the page
    // in the web process and comes beside the navigation
    // (PageMessageServer), so its text never crosses the main thread whole
    // and the engine's policy step sees a short reference in its place; a
    // message sent another way (a location change, a link) comes through
    // the policy step as it is. The configuration's maximumNavigationURLBytes
    // bounds both: a longer message is refused and logged (the web process
    // does not send one over it). For the loads from now on; one scheme per
    // view, taken one way.
    void receivePageMessages(std::string scheme, PageMessageHandler handler);
    // The page's messages, decided by the delegate: a navigation to a URL of
    // scheme is asked about like any other the policy step decides, so that
    // what the delegate does for a navigation it does for every message. A
    // long one that the page gives a frame as its source is taken in the web
    // process as above, its text read as a URL off the main thread, and when
    // its reference comes through the policy step, in its place among the
    // page's navigations, the delegate is asked about the message itself:
    // the action's request has the message's URL (about:blank when its text
    // is no URL, as for any navigation), and the fields, type and gesture of
    // the frame's navigation to the reference. Nothing loads for such a
    // message whatever the answer. maximumNavigationURLBytes bounds both
    // ways: a longer message is refused and logged, and the delegate is not
    // asked. For the loads from now on; one scheme per view, taken one way.
    void receivePageMessagesThroughDelegate(std::string scheme);

    // Serves scheme for this view's pages. Schemes are per engine context:
    // the first view to serve one registers it (fetch() from http pages
    // allowed, given Access-Control-Allow-Origin); requests go to the view
    // whose page made them.
    void setURLSchemeHandler(const std::string& scheme, SchemeHandler handler);

    // The page's content size in its CSS pixels, as it last reported it
    // (points at zoom level 1).
    [[nodiscard]] gfx::Size contentSize() const { return contentSize_; }

    // The page's zoom (WebViewZoom.cpp), on top of the device scale in the
    // engine's zoom level: at level z a CSS pixel is z points, so the page
    // is laid out at the bounds' width divided by z. 1 for a new view; it
    // stays across loads. A level that is not a positive number is ignored.
    [[nodiscard]] double zoomLevel() const { return zoom_; }
    void setZoomLevel(double level);

    // Pictures. The view draws the latest picture of its page: a snapshot
    // (one is taken after each finished load, after size changes and on
    // request) or what the engine last drew into the view's offscreen
    // window. The engine reports each drawing (the window's damage); the
    // view then marks itself for display and reads the drawing when it is
    // next drawn, so an animating page updates at most once per frame the
    // renderer draws, and a page that draws nothing new costs nothing.
    // Drawings count from the first document the view commits. A view that
    // takes no pictures (see takesPictures) keeps its last one; once it
    // takes them again it reads the engine's latest drawing. A picture
    // belongs to the document committed when it was taken (a snapshot
    // asked for, a drawing the engine began): after a commit the view goes
    // on drawing the old document's picture until one of the new document
    // comes, and pictures of the old one that come late are dropped.
    //
    // Snapshots on their way, and drawings the engine has begun (its
    // window invalidated, not yet painted) for views that take pictures,
    // count as pending work (core::PendingWork), so a run on the app's
    // clock that waits for it draws the page as it is.
    [[nodiscard]] gfx::ImagePtr lastSnapshot() const { return currentPicture(); }
    void takeSnapshot(SnapshotCompletion completion = {});
    // Whether the engine paints the page's default (white) background.
    // Without it what the page leaves unpainted stays transparent, on screen
    // and in pictures, so views below the web view show through.
    [[nodiscard]] bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool draws);
    // Whether the latest picture is of the document last committed and
    // shows anything but the empty page (pixels other than white or
    // transparent).
    [[nodiscard]] bool isRendered() const;
    // In a window, of non-zero size, and neither it nor a view above it
    // below the window hidden.
    [[nodiscard]] bool takesPictures() const;
    // Pictures taken so far: snapshots arrived and drawings read.
    [[nodiscard]] std::uint64_t pictureCount() const { return pictures_; }
    // Snapshots requested by any view and not yet arrived.
    [[nodiscard]] static size_t pendingSnapshotCount();
    // Runs the main loop until no snapshot is pending or limitSeconds of
    // real time pass; false on time-out.
    [[nodiscard]] static bool awaitSnapshots(double limitSeconds);

    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;
    void layoutSubviews() override;

    // Touches are the page's pointer, at the same point (CSS pixels are
    // points): a touch that begins on the view moves the pointer there and
    // presses the primary button, its moves move the pointer with the
    // button held, and its end releases the button, so the page sees a real
    // click (a user gesture for the engine). A touch that strays more than
    // kPanDistance from where it began pans instead: from then on the page
    // scrolls what is under its first point with the finger, and its end
    // releases the pointer with the secondary button, which makes no
    // click; so does a cancelled touch. One touch at a time: the others
    // are ignored. A touched view becomes first responder.
    static constexpr double kPanDistance = 10;
    void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;
    // The wheel scrolls what is under location in the page by delta. A page
    // whose content fits along the wheel's axis leaves the wheel to an
    // enclosing scroll view that scrolls along it.
    bool scrollWheel(gfx::Point location, gfx::Point delta) override;
    // Keys go to the page while the view is first responder: typed text as
    // the keys of its characters, Backspace and Return.
    [[nodiscard]] bool canBecomeFirstResponder() const override { return true; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void returnKeyPressed() override;

    // The engine's page identifier, unique in the process.
    [[nodiscard]] std::uint64_t pageIdentifier() const;

    struct Engine;  // the engine's objects: platform/web only
    [[nodiscard]] Engine& engine() const { return *engine_; }

private:
    struct Token {};

public:
    WebView(Token, const gfx::Rect& frame, WebViewConfiguration configuration);

private:
    friend struct Engine;

    // A main-frame load as the delegate sees it.
    struct Load {
        bool active = false;
        bool started = false;  // didStartLoad sent
        bool committed = false;
        std::string url;
        std::uint64_t serial = 0;
        core::PendingWork::Token work;  // the load counts as work under way
        // The server's certificate was checked against the app's own
        // authorities (once per load), and the engine told to accept it.
        bool certificateChecked = false;
        bool certificateAccepted = false;
        int certificateRetries = 0;
        // Made once more after the engine dropped it (once per load); the
        // delegate hears of one commit all the same.
        bool remade = false;
        bool commitTold = false;
        // The main frame's request method, where the web process told it
        // (a form's POST): a load that cannot be sent the same way again
        // fails rather than being made again as a GET.
        std::string method = "GET";

        [[nodiscard]] bool isMadeAgainAsIs() const { return method == "GET" || method == "HEAD"; }
    };

    [[nodiscard]] bool start(std::string* error);
    [[nodiscard]] std::shared_ptr<WebView> self();

    // WebViewLoading.cpp
    void beginLoad(const std::string& url);
    void reportStart();
    void reportCommit();
    void reportFinish();
    void reportFailure(const LoadError& error);
    void cancelCurrentLoad();
    // A load made through the view, to be known when the engine asks about
    // its navigation; url as the engine writes it.
    void expectAPINavigation(const std::string& url, bool decided);
    // A load of request made through the view, whose URL the engine writes
    // as engineURL; false when it is refused. A "UI"-kind view decides an
    // http(s) load at once, and it starts at once (isLoading, didStartLoad);
    // otherwise the engine's policy step decides.
    [[nodiscard]] bool issue(const core::URLRequest& request, const std::string& engineURL);

    // WebViewHistory.cpp
    void watchHistory();
    // What the policy step will ask about for a step to the entry of
    // target (its address).
    void expectStep(const char* target);
    // The delegate hears of a change to the history.
    void historyChanged();

    // WebViewScripts.cpp
    void installOwnScripts();
    void addOwnScripts();
    void addMessageScript();
    // Both ways of taking the page's messages.
    void takePageMessages(std::string scheme, PageMessageHandler handler, bool throughDelegate);
    void contentSizeReported(gfx::Size size);

    // WebViewSnapshot.cpp
    void snapshotArrived(gfx::ImagePtr image, std::uint64_t document);
    void syncEngineSize();
    // WebViewPicture.cpp: the picture to draw, read from the engine's
    // window first when it drew since and the view takes pictures.
    [[nodiscard]] const gfx::ImagePtr& currentPicture() const;
    // The engine painted pixels (a rect in the window's pixels).
    void engineDrew(const gfx::Rect& pixels);

    WebViewConfiguration configuration_;
    std::weak_ptr<WebViewDelegate> delegate_;
    std::unique_ptr<Engine> engine_;
    Load load_;
    std::optional<int> status_;
    gfx::Size contentSize_;
    // The latest picture; refreshed from the engine's window when drawn.
    // pictureDocument_: the engine's document count when it was taken.
    mutable gfx::ImagePtr picture_;
    mutable std::uint64_t pictureDocument_ = 0;
    mutable std::uint64_t pictures_ = 0;
    bool drawsBackground_ = true;
    double zoom_ = 1;
    std::map<std::string, ScriptMessageHandler> messageHandlers_;
    std::map<std::string, SchemeHandler> schemeHandlers_;
    std::string messageScheme_;
    PageMessageHandler messageHandler_;
    // receivePageMessagesThroughDelegate: no handler, the delegate decides.
    bool messagesThroughDelegate_ = false;
};

}  // namespace web
