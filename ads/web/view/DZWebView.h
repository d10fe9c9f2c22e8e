#pragma once
// The web view of an ad page and of the SDK's core page: a view that wraps
// one browser-engine view (web::WebView) of one of two kinds behind one set
// of operations. DZUIKitWebView is the engine's "UI" kind (every load of
// the page passes through the app's URL layer); DZWebKitWebView is its "WK"
// kind (the engine fetches). DZWebViewClassForConfiguration picks the kind.
//
// Above the engine this layer adds: one load-decision callback with the
// SDK's navigation types; bookkeeping of the loads issued through it (keyed
// by their URL without one trailing "/"), so that a load that stops without
// a finish or a failure is reported once as error -1009 at the next tick of
// a poll the server turns on ("wv_request_poll_interval" seconds); and a
// content-size callback that drops repeats.
//
// A page's "dmsg" messages are navigations decided here like any other
// (web::WebView::receivePageMessagesThroughDelegate): one that a frame is
// given as its source and that is too long for the engine to carry cheaply
// (over web::protocol::kMessageThresholdBytes) is taken in the web process
// and read as a URL off the main thread, and the decision is asked for it,
// with its whole URL, in its place among the page's navigations. Nothing
// loads for such a message, whatever the answer.
//
// The engine has no scroll view of its own: the page's content size is the
// engine's, and the scroll settings (bounces, scrollEnabled, scrollsToTop)
// are kept as values for the SDK's readers. Until an engine view is
// installed the operations only keep their books. Main thread only.
//
// A configuration that scales pages to fit makes a page wider than the view
// fit its width with the engine's zoom: each new document starts at zoom 1
// (the zoom goes back to 1 when its load starts, so the page's first layout
// is at the view's width), and whenever its content turns out wider than
// the width it is laid out at (asked of the page when it commits, when it
// finishes, when its content size changes) it is zoomed out until it fits,
// not below kMinimumPageZoom. When the view's width changes a zoomed page
// keeps the width it is laid out at.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "ads/core/request/DZError.h"
#include "ads/web/view/DZWebViewConfiguration.h"
#include "ads/web/view/DZWebViewDelegate.h"
#include "core/URL.h"
#include "core/URLRequest.h"
#include "ui/View.h"
#include "web/LoadError.h"
#include "web/NavigationAction.h"
#include "web/WebView.h"

namespace ads {

class DZScheduler;

enum class DZWebViewClass { UIKit, WebKit };

// WebKit when the key is exactly "wk" and DZWebKitWebView is available; the
// UIKit kind in every other case.
[[nodiscard]] DZWebViewClass
DZWebViewClassForConfiguration(const DZWebViewConfiguration& configuration);

// The SDK's form of an engine's load failure: URL-loading codes in the
// domain "core.network", the engine's own (101, 102) in "web.engine", with
// the failing URL.
[[nodiscard]] Error DZErrorFromLoadError(const web::LoadError& error);

class DZWebView : public ui::View {
public:
    static constexpr std::string_view kRequestPollIntervalKey =
        "/dozuza/ads/wv_request_poll_interval";
    // A longer poll interval counts as none.
    static constexpr double kMaximumRequestPollInterval = 3600;
    // The smallest zoom a page is fitted with.
    static constexpr double kMinimumPageZoom = 0.1;

    struct ScrollView {
        bool bounces = true;
        bool scrollEnabled = true;
        bool scrollsToTop = true;
    };

    // A view of the class; nullptr when the engine cannot start, or for the
    // WebKit class when it is not available.
    [[nodiscard]] static std::shared_ptr<DZWebView>
    create(DZWebViewClass webViewClass, const gfx::Rect& frame,
           const DZWebViewConfiguration& configuration = {});
    ~DZWebView() override;

    // Loading. A missing HTML text does nothing at all. A base URL that is
    // not http(s) (a file, data, script, about or app URL) would give the
    // page that origin: it is refused, nothing loads, and the delegate hears
    // of the failure on the next turn of the main queue.
    virtual void loadHTMLString(const std::optional<std::string>& html,
                                const std::optional<core::URL>& baseURL);
    virtual void loadRequest(const core::URLRequest& request);
    void stopLoading();
    void reload();
    void goBack();
    void goForward();
    [[nodiscard]] bool canGoBack() const;
    [[nodiscard]] bool canGoForward() const;
    [[nodiscard]] bool isLoading() const;
    [[nodiscard]] std::optional<core::URL> URL() const;

    // Ends the page's web process (a page that will not stop lets go of it
    // this way); the delegate hears webViewWebProcessDidTerminate.
    void terminateWebProcess();
    // Sends the script to the page before returning; the result is dropped.
    void evaluateJavaScriptFromString(const std::string& script);
    // Whether a content-size change reaches the content-size delegate
    // before the load that caused it is reported finished.
    [[nodiscard]] virtual bool contentSizeUpdatesSynchronously() const = 0;

    [[nodiscard]] ScrollView& scrollView() { return scrollView_; }
    [[nodiscard]] const ScrollView& scrollView() const { return scrollView_; }
    // The page's content size as the engine reports it.
    [[nodiscard]] gfx::Size contentSize() const;

    // The wrapped view's colour only.
    void setBackgroundColor(std::optional<gfx::Color> color);
    [[nodiscard]] std::optional<gfx::Color> backgroundColor() const;
    // The engine draws no layer of its own, so this is a recorded flag.
    void setOpaque(bool opaque) { opaque_ = opaque; }
    [[nodiscard]] bool isOpaque() const { return opaque_; }

    void layoutSubviews() override;

    // The load bookkeeping, called by the kinds as the engine reports. A
    // load made through the view is known by its URL as the engine writes
    // it, which its decision names.
    void didMakeLoadDecision(bool allowed, const core::URLRequest& request);
    void didStartLoad();
    void didFinishLoad();
    void didFailLoadWithError(const Error& error);
    // One poll tick: reports a load that is current while the engine is not
    // loading as -1009, once.
    void notifyDelegateIfRequestFailed();

    [[nodiscard]] std::shared_ptr<DZWebViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<DZWebViewDelegate> delegate) { delegate_ = std::move(delegate); }
    [[nodiscard]] std::shared_ptr<DZWebViewContentSizeDelegate> contentSizeDelegate() const {
        return contentSizeDelegate_.lock();
    }
    void setContentSizeDelegate(std::weak_ptr<DZWebViewContentSizeDelegate> delegate) {
        contentSizeDelegate_ = std::move(delegate);
    }
    [[nodiscard]] const std::shared_ptr<web::WebView>& webView() const { return webView_; }
    // Installs the engine's view: sized to this view, observed, a subview.
    void setWebView(std::shared_ptr<web::WebView> webView);

    // While the delegate decides a navigation the engine asked about:
    // whether a person's gesture (a tap, a click, a key) started it.
    // nullopt outside such a decision.
    [[nodiscard]] std::optional<bool> navigationUserGesture() const {
        return navigationUserGesture_;
    }

    [[nodiscard]] gfx::Size lastContentSize() const { return lastContentSize_; }
    [[nodiscard]] const std::set<std::string>& pendingRequestURLStrings() const {
        return pendingRequestURLStrings_;
    }
    [[nodiscard]] const std::optional<std::string>& currentRequestURLString() const {
        return currentRequestURLString_;
    }
    [[nodiscard]] const std::shared_ptr<DZScheduler>& scheduler() const { return scheduler_; }

protected:
    DZWebView(const gfx::Rect& frame, DZWebViewConfiguration configuration);

    // Builds the engine's view of the kind and starts the poll; false when
    // the engine cannot start.
    [[nodiscard]] bool setUp(web::WebViewConfiguration engineConfiguration);
    // The delegate's answer for a navigation; YES without a delegate.
    [[nodiscard]] bool askDelegate(const core::URLRequest& request, long navigationType);

    // The engine's events, as each kind reads them.
    [[nodiscard]] virtual bool engineShouldStartLoad(const web::NavigationAction& action) = 0;
    virtual void engineDidStartLoad() {}
    virtual void engineDidCommitLoad() {}

    [[nodiscard]] const DZWebViewConfiguration& configuration() const { return configuration_; }

private:
    class EngineDelegate;

    void startPolling();
    void contentSizeChanged(gfx::Size size);
    // The key a load made through the view is tracked by.
    [[nodiscard]] std::string issuedKey(const core::URL& url) const;
    // Fitting pages to the view's width. A load's start puts the zoom back
    // to 1 and holds fitting until its document commits or the load ends:
    // what the old document reports meanwhile says nothing of the new one.
    void pageLoadWillStart();
    void pageLoadDidCommit();
    void pageLoadDidEnd();
    // Asks the page the width it is laid out at and its content's width,
    // and zooms out when the content is wider.
    void measurePageWidth();
    void pageWidthMeasured(double layoutWidth, double contentWidth, double zoom,
                           std::uint64_t serial);
    // The view's width changed: a zoomed page is zoomed in proportion.
    void fitPageToNewWidth();

    const DZWebViewConfiguration configuration_;
    gfx::Size lastContentSize_;
    std::shared_ptr<DZScheduler> scheduler_;
    std::set<std::string> pendingRequestURLStrings_;
    std::optional<std::string> currentRequestURLString_;
    std::optional<bool> navigationUserGesture_;
    std::weak_ptr<DZWebViewDelegate> delegate_;
    std::weak_ptr<DZWebViewContentSizeDelegate> contentSizeDelegate_;
    std::shared_ptr<web::WebView> webView_;
    std::shared_ptr<EngineDelegate> engineDelegate_;
    ScrollView scrollView_;
    bool opaque_ = true;
    bool fittingHeld_ = false;
    double zoomBeforeLoad_ = 1;
    // Counts documents and loads: a measure taken before the last one
    // counts for nothing.
    std::uint64_t fitSerial_ = 0;
    // The view's width the page's zoom was chosen for.
    double fittedWidth_ = 0;
};

}  // namespace ads
