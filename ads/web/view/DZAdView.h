#pragma once
// The view that shows one HTML ad (or the SDK's hidden core page) and is the
// native end of the page's script bridge. It owns a DZWebView of the
// configured kind, loads the ad's HTML with its base URL and tells the URL
// stash the HTTP history behind it, runs scripts in the page (later, on the
// main run loop, after the server's "dzads:js_async_delay_time"), holds SDK
// events until the page has loaded (at most 20 wait; they then arrive in
// the order they were dispatched), pushes the window orientation into the
// page, keeps the web view sized, and passes load decisions and callbacks to
// its delegate. It also carries the per-ad state other parts hang on it:
// the touched flag, the Live View reporter, the event logger, and the
// objects of in-ad video.
//
// Off screen, its web view (or, with "ad_view_placeholder_window", the ad
// view itself) lives in the SDK's placeholder window, so that pages load
// before they are shown.
//
// The platform has no layer of its own for opacity: the opaque flag is kept
// as a value. Main thread, except dispatchSDKEvent(), which any thread may
// call.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZTouchSignalRecognizer.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoPlayerGLView.h"
#include "ads/web/view/DZAdViewDelegateProtocol.h"
#include "ads/web/view/DZAdViewState.h"
#include "ads/web/view/DZWebKitWebView.h"
#include "ads/web/view/DZWebView.h"
#include "ads/web/view/DZWebViewConfiguration.h"
#include "ads/web/view/DZWebViewDelegate.h"
#include "core/OperationQueue.h"
#include "core/Value.h"
#include "ui/ScrollView.h"
#include "ui/View.h"
#include "ui/ViewController.h"

namespace ads {

class DZAd;
class DZAdViewLiveViewReporter;
class DZAdViewVideoController;
class DZOpener;
class DZResourceCache;
class DZRewardBasedVideoAdDMSGHandlerDelegate;
class DZSawmillLogger;
class DZVideoConfiguration;
class DZVideoRendering;
class DZWiggleGestureRecognizer;

// Whether ad views live in the placeholder window themselves (below OS 7.0,
// or when "ad_view_placeholder_window" reads as YES) rather than only their
// web views.
[[nodiscard]] bool DZAdViewUsesPlaceholderWindow();

class DZAdView : public ui::View,
                 public DZWebViewDelegate,
                 public DZWebViewContentSizeDelegate,
                 public DZWebKitWebViewMRAIDDelegate,
                 public DZTouchSignalRecognizerDelegate,
                 public DZVideoPlayerDelegate,
                 public DZVideoPlayerGLViewDelegate {
public:
    static constexpr std::string_view kPlaceholderWindowKey =
        "/dozuza/ads/ad_view_placeholder_window";
    static constexpr std::string_view kScriptDelayKey = "/dozuza/ads/dzads:js_async_delay_time";
    static constexpr std::string_view kContentSizeDelayKey = "/dozuza/ads/wv_content_size_delay";
    static constexpr std::string_view kUseCancelledURLErrorKey =
        "/dozuza/ads/use_cancelled_url_error";
    // Longer delays count as none.
    static constexpr double kMaximumScriptDelay = 60;
    static constexpr double kMaximumContentSizeDelay = 60;
    static constexpr double kDefaultContentSizeDelay = 0.02;
    // Events waiting for the page beyond this many are dropped.
    static constexpr size_t kMaximumWaitingEvents = 20;
    static constexpr unsigned kFlexibleSizeMask = kFlexibleWidth | kFlexibleHeight;

    // nullptr when the web view cannot be made.
    [[nodiscard]] static std::shared_ptr<DZAdView>
    create(const gfx::Rect& frame, const DZWebViewConfiguration& configuration = {});
    ~DZAdView() override;

    void configureAsInterstitialAdView();
    // Also hides the ad view.
    void configureAsBannerAdView();

    // Loading.
    void setAd(std::shared_ptr<DZAd> ad);
    void loadHTMLString(const std::optional<std::string>& html,
                        const std::optional<core::URL>& baseURL);
    void loadRequest(const core::URLRequest& request);
    void reset();

    // Forwarded to the web view.
    void goBack();
    void goForward();
    void stopLoading();
    void reload();
    [[nodiscard]] bool canGoBack() const;
    [[nodiscard]] bool canGoForward() const;
    [[nodiscard]] bool isLoading() const;
    [[nodiscard]] std::optional<core::URL> URL() const;
    [[nodiscard]] DZWebView::ScrollView& scrollView();
    [[nodiscard]] gfx::Size contentSize() const;
    // The web view's colour (the ad view's own stays as it is).
    void setBackgroundColor(std::optional<gfx::Color> color);
    [[nodiscard]] std::optional<gfx::Color> backgroundColor() const;
    // This view's flag and the web view's.
    void setOpaque(bool opaque);
    [[nodiscard]] bool isOpaque() const { return opaque_; }
    [[nodiscard]] gfx::Size intrinsicContentSize() const override;
    [[nodiscard]] gfx::Size sizeThatFits(gfx::Size size) const override;

    // Scripts and events.
    // Runs the script in the page on a later turn of the main run loop;
    // nothing runs when the web view has gone by then.
    void executeJavaScriptAsynchronouslyFromString(const std::string& script);
    // The script as it is run: wrapped in "setTimeout(function(){...}, ms);"
    // when the server sets a delay above 0.
    [[nodiscard]] static std::string scriptForAsynchronousExecution(const std::string& script);
    void postJSNotification(std::string_view name, const std::optional<core::Value>& userInfo);
    // Queues the event for the page with the SDK's "version" and the
    // device's submodel under "device" (the caller's entries win). Any
    // thread.
    void dispatchSDKEvent(const std::string& event,
                          const std::optional<core::Dictionary>& parameters);
    void forceRotateHTMLToOrientation(long orientation);
    void didRotateToOrientation(long orientation);
    // Orientations 1 to 4 other than the current one set the page's
    // window.orientation (0, 180, 90, -90); with dispatch, the page then
    // hears "orientationchange".
    void setHTMLWindowOrientation(long orientation, bool dispatchOrientationChangeEvent);

    // Placement.
    void didMoveToPlacement(const std::shared_ptr<const void>& placement);
    // Keeps the first record until it is restored.
    void saveState();
    void restoreState();
    void setVisible(bool visible);
    [[nodiscard]] bool visible() const { return visible_; }
    [[nodiscard]] std::shared_ptr<DZOpener> opener() const;

    // Layout.
    void updateWebViewFrame();
    void layoutSubviews() override;
    void willMoveToWindow(ui::Window* newWindow) override;

    // Gestures.
    void addGestureRecognizers();
    void handleGesture(ui::GestureRecognizer& recognizer);

    // Events of the logging hierarchy, for in-ad video.
    void createdVideoPlayer(const std::shared_ptr<DZVideoPlayer>& player);
    void adRenderingStarted();
    void videoLoadStartedWithURL(const std::optional<core::URL>& url);
    void videoLoadSucceededWithURL(const std::optional<core::URL>& url);
    void openGLVideoRenderingStarted();
    void openGLVideoRenderingFailedWithError(const Error& error);
    void openGLVideoRenderingSucceeded();
    void videoRenderingStarted();
    void videoRenderingSucceeded();

    // In-ad video (DZAdViewVideo.cpp): the page's native player, laid
    // under the web view in a flat or a 360-degree view.
    static constexpr const char* kSphericalRendererFailureMessage =
        "Failed to create spherical renderer.";
    // Removes the current player view, makes the player when there is none
    // yet, and sets its source: the URL, else the resource cache's URL.
    void setUpVideoPlayerWithURL(const std::optional<core::URL>& url,
                                 const std::shared_ptr<DZResourceCache>& resourceCache,
                                 const std::shared_ptr<DZVideoConfiguration>& configuration);
    // Only with a player view; the zero rectangle fills the ad view.
    void setVideoPlayerFrame(const gfx::Rect& frame);
    void hideVideo();
    void showVideo();
    void pauseVideo();
    // Tunes the player view's playback for the visible flag.
    void optimizeVideoPlayback();
    void rotateVideoToDegrees(double degrees);
    void createViewForPlayer(const std::shared_ptr<media::Player>& player);
    void removeVideoPlayerView();
    void createSphericalViewForPlayer(const std::shared_ptr<media::Player>& player);
    void createNonSphericalViewForPlayer(const std::shared_ptr<media::Player>& player);
    // "onVideoEvent" with "spherical_rendering_failed" and the error's text.
    void notifySphericalVideoRenderingFailedWithError(const Error& error);
    // DZVideoPlayerDelegate, DZVideoPlayerGLViewDelegate.
    void playerDidLoadURL(DZVideoPlayer& player, const std::optional<core::URL>& url,
                          const std::shared_ptr<media::Player>& avPlayer) override;
    void videoPlayerGLViewDidSetUpVideoPlayer(DZVideoPlayerGLView& view,
                                              const std::shared_ptr<media::Player>& player) override;
    void videoPlayerGLViewDidFailToSetupVideoPlayer(DZVideoPlayerGLView& view,
                                                    const std::shared_ptr<media::Player>& player,
                                                    const Error& error) override;

    // DZWebViewDelegate, DZWebViewContentSizeDelegate,
    // DZWebKitWebViewMRAIDDelegate, and the delegate of its recognizers.
    bool shouldStartLoadWithRequest(DZWebView& webView, const core::URLRequest& request,
                                    long navigationType) override;
    void webViewDidStartLoad(DZWebView& webView) override;
    void webViewDidFinishLoad(DZWebView& webView) override;
    void didFailLoadWithError(DZWebView& webView, const Error& error) override;
    void webViewWebProcessDidTerminate(DZWebView& webView) override;
    void webViewDidChangeHistory(DZWebView& webView) override;
    void runJavaScriptAlertPanelWithTitle(DZWebView& webView, const std::string& title,
                                          const std::string& message,
                                          std::function<void()> completion) override;
    void didChangeScrollViewContentSize(DZWebView& webView, gfx::Size size) override;
    std::optional<std::string> MRAIDJavaScriptURLStringForWebView(DZWebView& webView) override;
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer,
                                             const ui::Touch& touch) override;
    void gestureRecognizerDidEndTouch(ui::GestureRecognizer& recognizer,
                                      const ui::Touch& touch) override;
    bool
    shouldRecognizeSimultaneouslyWithGestureRecognizer(const ui::GestureRecognizer& recognizer,
                                                       const ui::GestureRecognizer& other) override;

    // Fields.
    [[nodiscard]] const std::shared_ptr<DZWebView>& webView() const { return webView_; }
    [[nodiscard]] const std::optional<DZAdViewState>& savedState() const { return savedState_; }
    // Serial: released events reach the page in the order dispatched.
    [[nodiscard]] const std::shared_ptr<core::OperationQueue>& eventQueue() const {
        return eventQueue_;
    }
    [[nodiscard]] const std::shared_ptr<ui::GestureRecognizer>& touchGestureRecognizer() const {
        return touchGestureRecognizer_;
    }
    [[nodiscard]] const std::shared_ptr<DZWiggleGestureRecognizer>& debugGestureRecognizer() const {
        return debugGestureRecognizer_;
    }
    [[nodiscard]] bool reportedStartLoadEarly() const { return reportedStartLoadEarly_; }
    [[nodiscard]] bool isFluidAdView() const { return isFluidAdView_; }
    void setIsFluidAdView(bool fluid) { isFluidAdView_ = fluid; }
    // Whether a person has touched the ad since it was loaded; it stays set
    // for the ad's life. Clearing it also forgets when the last touch was.
    [[nodiscard]] bool touched() const { return touched_; }
    void setTouched(bool touched) {
        touched_ = touched;
        if (!touched) lastTouchSeconds_.reset();
    }
    // Whether a finger was on the ad (put down or lifted) within the last
    // `seconds` of the current clock's monotonic time.
    [[nodiscard]] bool touchedWithin(double seconds) const;
    // A person's touch on the ad, now: its own finger, or a tap on an
    // asset drawn for it elsewhere.
    void noteTouch();
    // While the delegate decides a navigation of the page: whether the
    // engine says a person's gesture started it; nullopt otherwise.
    [[nodiscard]] std::optional<bool> navigationUserGesture() const {
        return webView_ ? webView_->navigationUserGesture() : std::nullopt;
    }
    [[nodiscard]] bool showDebug() const { return showDebug_; }
    void setShowDebug(bool show) { showDebug_ = show; }
    [[nodiscard]] bool hasLoadedAtLeastOnce() const { return hasLoadedAtLeastOnce_; }
    [[nodiscard]] bool attachedToPlacement() const { return attachedToPlacement_; }
    [[nodiscard]] bool spherical() const { return spherical_; }
    void setSpherical(bool spherical) { spherical_ = spherical; }
    // The controller that presents what the ad opens; not the controller
    // whose root view this is (ui::View::viewController).
    [[nodiscard]] std::shared_ptr<ui::ViewController> viewController() const {
        return viewController_.lock();
    }
    virtual void setViewController(std::weak_ptr<ui::ViewController> controller) {
        viewController_ = std::move(controller);
    }
    [[nodiscard]] const std::optional<std::string>& adDebugDialogString() const {
        return adDebugDialogString_;
    }
    void setAdDebugDialogString(std::optional<std::string> text) {
        adDebugDialogString_ = std::move(text);
    }
    // 0 before the first orientation reached the page.
    [[nodiscard]] long orientation() const { return orientation_; }
    [[nodiscard]] const std::shared_ptr<DZAdViewLiveViewReporter>& liveViewReporter() const {
        return liveViewReporter_;
    }
    void setLiveViewReporter(std::shared_ptr<DZAdViewLiveViewReporter> reporter) {
        liveViewReporter_ = std::move(reporter);
    }
    [[nodiscard]] std::shared_ptr<DZAdViewDelegateProtocol> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZAdViewDelegateProtocol> delegate) {
        delegate_ = std::move(delegate);
    }
    [[nodiscard]] const std::shared_ptr<DZAd>& ad() const { return ad_; }
    [[nodiscard]] const std::shared_ptr<DZSawmillLogger>& logger() const { return logger_; }
    void setLogger(std::shared_ptr<DZSawmillLogger> logger) { logger_ = std::move(logger); }
    [[nodiscard]] const std::shared_ptr<DZAdViewVideoController>& videoController() const {
        return videoController_;
    }
    void setVideoController(std::shared_ptr<DZAdViewVideoController> controller) {
        videoController_ = std::move(controller);
    }
    [[nodiscard]] const std::shared_ptr<DZVideoPlayer>& videoPlayer() const { return videoPlayer_; }
    void setVideoPlayer(std::shared_ptr<DZVideoPlayer> player) { videoPlayer_ = std::move(player); }
    [[nodiscard]] const std::shared_ptr<DZVideoRendering>& videoPlayerView() const {
        return videoPlayerView_;
    }
    void setVideoPlayerView(std::shared_ptr<DZVideoRendering> view) {
        videoPlayerView_ = std::move(view);
    }
    [[nodiscard]] std::shared_ptr<DZRewardBasedVideoAdDMSGHandlerDelegate>
    rewardBasedVideoAdDMSGHandlerDelegate() const {
        return rewardBasedVideoAdDMSGHandlerDelegate_.lock();
    }
    void setRewardBasedVideoAdDMSGHandlerDelegate(
        std::weak_ptr<DZRewardBasedVideoAdDMSGHandlerDelegate> delegate) {
        rewardBasedVideoAdDMSGHandlerDelegate_ = std::move(delegate);
    }
    [[nodiscard]] gfx::Size adResponseSize() const { return adResponseSize_; }
    void setAdResponseSize(gfx::Size size) { adResponseSize_ = size; }
    [[nodiscard]] gfx::Rect cachedVideoPlayerFrame() const { return cachedVideoPlayerFrame_; }
    void setCachedVideoPlayerFrame(const gfx::Rect& frame) { cachedVideoPlayerFrame_ = frame; }

protected:
    struct Token {};

    // Builds the ad view of class T (DZAdView or a subclass) and sets it up.
    template <typename T>
    [[nodiscard]] static std::shared_ptr<T> make(const gfx::Rect& frame,
                                                 const DZWebViewConfiguration& configuration) {
        auto adView = std::make_shared<T>(Token{}, frame);
        if (!adView->setUp(configuration)) return nullptr;
        return adView;
    }

public:
    DZAdView(Token, const gfx::Rect& frame);

private:
    // The steps of initialization after the view itself exists; false when
    // the web view cannot be made.
    [[nodiscard]] bool setUp(const DZWebViewConfiguration& configuration);
    [[nodiscard]] std::shared_ptr<DZAdView> self();
    void willLoadHTML();
    void reportRequestsForAd(DZAd& ad);
    void reportEvent(const std::optional<core::Dictionary>& event);

    std::shared_ptr<DZWebView> webView_;
    std::optional<DZAdViewState> savedState_;
    std::shared_ptr<core::OperationQueue> eventQueue_;
    // Makes the cap's check and the add one step for callers on any thread.
    std::mutex eventAdmission_;
    std::shared_ptr<ui::GestureRecognizer> touchGestureRecognizer_;
    std::shared_ptr<DZWiggleGestureRecognizer> debugGestureRecognizer_;
    bool reportedStartLoadEarly_ = false;
    bool isFluidAdView_ = false;
    bool touched_ = false;
    std::optional<double> lastTouchSeconds_;
    bool showDebug_ = false;
    bool hasLoadedAtLeastOnce_ = false;
    bool attachedToPlacement_ = false;
    bool visible_ = false;
    bool spherical_ = false;
    std::weak_ptr<ui::ViewController> viewController_;
    std::optional<std::string> adDebugDialogString_;
    long orientation_ = 0;
    std::shared_ptr<DZAdViewLiveViewReporter> liveViewReporter_;
    std::weak_ptr<DZAdViewDelegateProtocol> delegate_;
    std::shared_ptr<DZAd> ad_;
    std::shared_ptr<DZSawmillLogger> logger_;
    std::shared_ptr<DZAdViewVideoController> videoController_;
    std::shared_ptr<DZVideoPlayer> videoPlayer_;
    std::shared_ptr<DZVideoRendering> videoPlayerView_;
    std::weak_ptr<DZRewardBasedVideoAdDMSGHandlerDelegate> rewardBasedVideoAdDMSGHandlerDelegate_;
    gfx::Size adResponseSize_;
    gfx::Rect cachedVideoPlayerFrame_;
    bool opaque_ = true;
    bool usesPlaceholderWindow_ = false;
};

}  // namespace ads
