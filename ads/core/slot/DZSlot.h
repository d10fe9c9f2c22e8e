#pragma once
// One ad unit's load cycle. A slot asks the SDK core page for the ad URL,
// fetches the response, processes it by response type (an HTML ad into its
// own ad view, a mediation response to its waterfall, a custom-rendered ad
// to its owner), declares the ad valid or failed, and starts the cycle
// again on a one-shot reload timer. Its owner (a banner view, an
// interstitial, an ad loader, a cache entry) is its delegates.
//
// The cycle's state is one integer:
//   0 idle (also after a cancelled load)   5 rendering
//   1 the core page failed to load         6 valid ad
//   2 requesting the ad URL                7 failed
//   3 ad URL received                      8 invalidated (final)
//   4 fetching the ad, or mediating
// A load arriving while one is under way (2 to 5) is dropped unless the
// owner lets it preempt; every other load starts from 0. Answers of the
// core page count only while the slot waits for them (state 2), so a
// cancelled or invalidated load never goes on to fetch.
//
// Every load reports its steps to a fresh sawmill event log, bound to the
// slot in DZLoggingHierarchy with the ad view as its child.
//
// Main thread: loadNextRequestWithAutoRefresh() moves itself there; every
// other operation, delegate call and timer runs there.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZError.h"
#include "ads/core/response/DZAdFetcherDelegate.h"
#include "ads/core/sdkcore/DZAdViewLiveViewMonitoring.h"
#include "ads/core/sdkcore/DZSDKCoreControllerDelegate.h"
#include "ads/core/slot/DZMRAIDEventHandling.h"
#include "ads/video/DZVideoReportingSlot.h"
#include "ads/web/view/DZImpressionMonitor.h"
#include "ads/web/view/DZLiveViewMonitor.h"
#include "core/NotificationCenter.h"
#include "core/URL.h"
#include "core/Value.h"
#include "gfx/Geometry.h"

namespace core {
class Timer;
}

namespace ui {
class View;
class ViewController;
class Window;
}  // namespace ui

namespace ads {

class DZAd;
class DZAdFetcher;
class DZAdType;
class DZAdView;
class DZBannerAdViewDelegate;
class DZCorrelator;
class DZCSI;
class DZDevice;
class DZIntermission;
class DZMAdManager;
class DZMAdNetworkConnector;
class DZRequest;
class DZSawmillLogger;
class DZSDKCoreController;
class DZSDKCoreWebView;
class DZSlotAdEventDelegate;
class DZSlotAdKeyDelegate;
class DZSlotAdLoadDelegate;
class DZSlotAdResponseDelegate;
class DZSlotAdViewSlot;
class DZSlotDelegate;
class DZSlotStatistics;
class DZStatisticDictionary;

class DZSlot : public DZSDKCoreControllerDelegate,
               public DZAdFetcherDelegate,
               public DZAdViewLiveViewMonitoring,
               public DZMRAIDEventHandling,
               public DZVideoReportingSlot,
               public DZImpressionMonitorDelegate,
               public DZLiveViewMonitorDelegate,
               public std::enable_shared_from_this<DZSlot> {
public:
    enum State : std::int64_t {
        kIdle = 0,
        kSDKCoreFailed = 1,
        kRequestingAdURL = 2,
        kReceivedAdURL = 3,
        kFetching = 4,
        kRendering = 5,
        kValidAd = 6,
        kFailed = 7,
        kInvalidated = 8,
    };

    static constexpr const char* kDidLeaveWindowNotification = "DZSlotDidLeaveWindowNotification";
    // Posted by full-screen ad controllers.
    static constexpr const char* kWillPresentFullScreenNotification =
        "kAdModalViewControllerWillPresentFullScreen";
    static constexpr const char* kDidDismissFullScreenNotification =
        "kAdModalViewControllerDidDismissFullScreen";
    static constexpr double kDefaultReloadInterval = 60.0;
    // Seconds an ad's page has, from the start of its load, to finish
    // loading: past them the ad fails with kDZErrorTimeout, heard like any
    // failure, and its web process is let go (a page spinning in its script
    // never finishes loading). What a loaded page does next (holding its
    // load back, a network's tag drawing late) has limits of its own.
    static constexpr double kDefaultRenderTimeout = 10.0;
    // Shorter intervals switch reloading off.
    static constexpr double kMinimumReloadInterval = 1.0;
    static constexpr std::string_view kLoadAction = "load_ad_ios";
    static constexpr const char* kLastRequestedAdUnitIDKey = "last_requested_ad_unit_id";
    static constexpr std::string_view kUseHTTPSKey = "/dozuza/ads/use_https";
    static constexpr std::string_view kExperimentIDStringKey = "/dozuza/ads/experiment_id_string";
    static constexpr std::string_view kPrefetchEnabledKey = "/dozuza/ads/prefetch_enabled";
    static constexpr std::string_view kAnalyticsEnabledKey = "/dozuza/ads/dzads:sai:enabled";
    static constexpr std::string_view kExtraCapsKey = "/dozuza/ads/dzads:sdk_core_constants:caps";
    static constexpr std::string_view kContentFingerprintKey =
        "/dozuza/ads/content_url_fingerprint";
    static constexpr std::string_view kClickNavigationAnalyticsKey =
        "/dozuza/ads/dzads:sai:click_navigation_enabled";
    // The adapter name of the SDK's own ads.
    static constexpr const char* kOwnAdapterClassName = "DZMAdapterDozuzaVuRazAds";

    // A slot with its own ad view of that frame; nullptr when the ad view
    // cannot be made. The first slot of the process runs the SDK's early
    // activities.
    [[nodiscard]] static std::shared_ptr<DZSlot> create(const gfx::Rect& frame = {});
    ~DZSlot() override;
    DZSlot(const DZSlot&) = delete;
    DZSlot& operator=(const DZSlot&) = delete;

    // "<DZSlot: 0x...>\nad unit ID:<id>".
    [[nodiscard]] std::string description() const;

    // Load entry and policy.
    void loadRequest(const std::shared_ptr<DZRequest>& request);
    void loadNextRequestWithAutoRefresh(bool autoRefresh);
    [[nodiscard]] bool shouldMakeRequest(const std::shared_ptr<DZRequest>& request);
    [[nodiscard]] bool isMakingRequest() const;
    void reloadCurrentRequest();
    void scheduleAdReloadTimer();
    void deactivateReloadTimer();
    // 1.0 s and more as given, less as 0 (no reloads); a value that is not
    // a finite number is refused and the interval stays.
    void setReloadInterval(double seconds);
    // For the next ad rendered.
    void setRenderTimeout(double seconds) { renderTimeout_ = seconds; }
    // The ad's page loaded (its ad view delegate tells): the limit is met.
    void adPageDidFinishLoading();
    [[nodiscard]] double renderTimeout() const { return renderTimeout_; }
    void setAdType(std::shared_ptr<DZAdType> adType, bool reload);
    void setAdUnitID(std::optional<std::string> adUnitID);
    void mediatedAdNetworkAutoRefreshed() { hasAutoRefreshed_ = true; }

    // State changes, by name, for the owner and the waterfall.
    void setState(std::int64_t state);
    void willRequestAdURL();
    void didFailToRetrieveSDKCoreWithError(const Error& error);
    void didReceiveAdURL();
    void willFetchAdContent();
    void didFetchAdContent();
    void willProcessMediationResponse();
    void willStartAdRendering();
    void willLoadAdHTMLInWebView();
    void didLoadAdHTMLInWebView();
    void didReceiveValidAd();
    // No error counts as SDK error 11.
    void didFailToReceiveAdWithError(const std::optional<Error>& error,
                                     bool shouldCancelPendingActions);
    void resetState();
    void invalidateState();

    // Cancellation and end of life.
    void cancelLoad();
    void cancelPendingActions();
    void cancelPendingAndFutureActions();
    // The ad view leaves its superview and the slot; the state becomes 8.
    void invalidate();

    // Fetch and content entry.
    void resetRequestState();

    // Window, screen and application events.
    void appWillBecomeInactive();
    void appDidBecomeActive();
    void adWillPresentFullScreen();
    void adDidRelinquishFullScreen();
    void ownerViewDidMoveToWindow(const std::shared_ptr<ui::Window>& window);
    void interstitialViewWillAppear();
    void interstitialViewWillDisappear();

    // DZSDKCoreControllerDelegate: the request parameters and the ad URL.
    std::shared_ptr<DZCSITimeRecorder> adLoadActionTimeRecorder() override {
        return adLoadActionTimeRecorder_;
    }
    std::optional<core::Dictionary> requestParameters() override;
    [[nodiscard]] core::Dictionary
    requestParametersForRequest(const std::shared_ptr<DZRequest>& request);
    std::uint64_t requestedAdType() override;
    void setRequestID(const std::string& requestID) override { requestID_ = requestID; }
    void loadAdURLWithParameters(const core::Dictionary& parameters) override;
    void loadAd(const std::shared_ptr<DZAd>& ad,
                const std::optional<core::Dictionary>& headers) override;
    void invalidJavaScriptRequest() override;
    void failedJavaScriptFile() override;
    void adURLRequestDidTimeOut(const Error& error) override;

    // DZAdFetcherDelegate.
    void didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) override;
    void didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad, const Error& error,
                          int responseCode) override;

    // Response processing and rendering.
    void processAdResponse(const std::shared_ptr<DZAd>& ad);
    void processStandardAdResponse(const std::shared_ptr<DZAd>& ad);
    void processMediationAdResponse(const std::shared_ptr<DZAd>& ad);
    void processCustomRenderingAdResponse(const std::shared_ptr<DZAd>& ad);
    void loadAdNetworkJavaScriptRequest(const std::shared_ptr<DZAd>& ad);
    void finishedLoadingAdResponse(const std::shared_ptr<DZAd>& ad);
    void renderPendingCustomRenderingAd();
    [[nodiscard]] std::shared_ptr<const void> placement() const { return placement_.lock(); }
    void setPlacement(const std::shared_ptr<const void>& placement);

    // Size negotiation and content size.
    void setViewForAdUsingView(const std::shared_ptr<ui::View>& view);
    [[nodiscard]] DZAdSize adSizeForMultiSizeAd() const;
    [[nodiscard]] static bool
    validateAdResponseWithAdSize(const DZAdSize& adSize,
                                 const std::optional<std::vector<DZBoxedValue>>& validAdSizes);
    void updateContentSize(gfx::Size size);
    [[nodiscard]] bool isMRAIDEnabled() const;

    // Mediation hooks.
    [[nodiscard]] std::shared_ptr<DZMAdNetworkConnector> mediationConnector() const;
    void setMediationConnector(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    [[nodiscard]] std::optional<std::string> adNetworkClassName() const;
    [[nodiscard]] bool changeAdTypeTo(const std::shared_ptr<DZAdType>& adType);
    [[nodiscard]] bool isMediating() const;
    [[nodiscard]] bool isBeingMediated() const;
    void presentMediatedInterstitialFromRootViewController(
        const std::shared_ptr<ui::ViewController>& viewController);
    [[nodiscard]] std::shared_ptr<ui::ViewController> viewControllerForPresentingModalView() const;

    // Load events to the event log and the delegates.
    void adLoadingStarted();
    void adLoadingFromInlineAd(const std::shared_ptr<DZAd>& ad);
    void adLoadingFromSecretAdURL(const std::optional<core::URL>& url);
    void adURLBuildRequestStarted();
    void adURLBuildRequestCompleted();
    void adFetchingStartedWithURL(const std::optional<core::URL>& url);
    void adFetchingSucceeded();
    void adFetchingFailedWithResponseCode(int responseCode, const Error& error);
    void startedProcessingAd(const std::shared_ptr<DZAd>& ad);
    void adFailedToReceiveContentWithError(const Error& error);
    void adFinishedLoadingContent();
    void adWillPresentScreen();
    void adWillDismissScreen();
    void adDidDismissScreen();
    void adWillLeaveApplication();
    void adDidLoadVideoWithSize(gfx::Size size);
    void resetLogger();
    void makeRootLoggingObject();
    void createdAdView(const std::shared_ptr<DZAdView>& adView);

    // Clicks and impressions of the displayed ad (DZSlotClicks.cpp). The
    // slot does not see clicks itself: the ad view delegate, the opener,
    // mediation and owners that record clicks by hand report them.
    //
    // Counts the click in the application's and the ad's statistics.
    void adWasClicked();
    // The ad's click URLs, then the slot delegate hears of the click.
    void pingClickURLs();
    void willLeaveAppDueToClick();
    // The URL a click opens: dmsg URLs and "about:blank" as they are; other
    // URLs may gain the analytics click event and, on ad-server hosts with
    // an "ai" query value, the signal module's click signal. Records the
    // path's third and fourth components as the ad's "pit".
    [[nodiscard]] core::URL gestureClickURLWithURL(const core::URL& url);
    // Whether the URL's host is in one of the ad-server domains.
    [[nodiscard]] static bool isDozuzaAdURL(const std::optional<core::URL>& url);
    // Banners and other non-interstitial slots watch the ad view by the
    // displayed ad's impression definition; one impression per monitor.
    void startImpressionMonitoring();
    void impressionMonitorDidMonitorImpression(DZImpressionMonitor& monitor) override;
    // Interstitials and owners that record impressions call it directly.
    void didMakeAdImpression();
    void pingImpressionURLs();
    void pingManualTrackingURLs();
    [[nodiscard]] const std::shared_ptr<DZImpressionMonitor>& impressionMonitor() const {
        return impressionMonitor_;
    }

    // The load's timings as one CSI report (sampled by the CSI settings),
    // named by the query id of the ad the load brought.
    void sendCSIAdLoadTimings();

    // Live View reporting (DZSlotLiveView.cpp). Once the displayed ad has
    // made its impression (never for a mediated ad), a Live View monitor
    // samples liveViewMonitoredView and each sample goes, as a
    // "DUZO_updateLiveView" command, to the measurement receivers: bit
    // kSDKCorePage a core web view lent by the slot's core controller, bit
    // kAdPage the ad's own page. An ad with Live View configurations or an
    // MRAID ad always reports to the core page; any other ad only while its
    // own page measures. Reporting ends with an unloaded sample when a new
    // response is processed, when a response finishes loading and when no
    // receiver is left; the lent web view is then given back.
    static constexpr const char* kInterstitialAdFormat = "interstitial_mb";
    static constexpr const char* kBannerAdFormat = "banner_mb";
    // Tried after the impression, when an MRAID ad loads and when a
    // receiver registers.
    void startLiveViewReportingIfEnabled();
    void startLiveViewReporting();
    void finishLiveViewReporting();
    [[nodiscard]] bool canEnableLiveViewMonitoring() const;
    void createLiveViewMonitor();
    void unloadLiveViewMonitor();
    // Sends the monitor's last sample marked unloaded.
    void liveViewMonitorWillUnload();
    // Whether the monitored view is in a window.
    [[nodiscard]] bool monitoredViewIsSubviewOfDeviceScreen() const;
    // "DUZO_updateLiveView(<compact JSON>)"; nullopt without a sample or
    // when it cannot be written as JSON.
    [[nodiscard]] static std::optional<std::string>
    liveViewJSCommandWithParams(const std::optional<core::Dictionary>& params);
    // kInterstitialAdFormat for an interstitial slot, else kBannerAdFormat.
    [[nodiscard]] std::string adFormat() const;
    // DZAdViewLiveViewMonitoring: kinds other than 1 and 2 are refused.
    void liveViewVisibilityChanged(bool visible) override;
    bool liveViewMonitoringStarted(std::uint64_t receiverKind) override;
    void liveViewMonitoringDidStop(std::uint64_t receiverKind) override;
    // DZLiveViewMonitorDelegate: only the slot's current monitor counts.
    void liveViewMonitorDidRefresh(DZLiveViewMonitor& monitor) override;

    // MRAID events of an MRAID ad (DZSlotMRAID.cpp). The ad's MRAID script
    // reports its load ("mraidLoaded"); the slot then becomes the ad's MRAID
    // event handler and pushes the screen information, the device features
    // and the ready event, and later the orientation, visibility (not
    // within a full-screen episode), size and default position changes,
    // the two positions only when they changed since the last push.
    void MRAIDAdDidLoad() override;
    void MRAIDAdDidUnload() override;
    void updateVisibility(bool visible) override;
    void updatePositionFromView(const ui::View* view) override;
    void notifyOrientationToMRAIDCreative() override;
    void handleError(const std::string& message, const std::string& action) override;
    void notifyDeviceFeatures();
    void SDKDidBecomeReady();
    // "p" or "l" when the ad view's full-screen controller forces an
    // orientation; nullopt otherwise.
    [[nodiscard]] std::optional<std::string> forcedAdOrientation() const;
    // {"width", "height", "x", "y"} of the standardized rectangle.
    [[nodiscard]] static core::Dictionary
    creativePositionDictionaryForLiveViewBounds(const gfx::Rect& bounds);
    // Whether the slot takes part in a full-screen episode: while it has an
    // intermission, or while full-screen presentation marks an episode open
    // with setFullScreenEpisodeOpen (for presenters that keep no
    // intermission in the slot). Within an episode, Live View visibility
    // changes are not pushed to an MRAID ad.
    [[nodiscard]] bool takesPartInFullScreenEpisode() const;
    void setFullScreenEpisodeOpen(bool open) { fullScreenEpisodeOpen_ = open; }

    // Audio and orientation. The page of the shown ad hears the audio
    // situation as "volume" after its HTML loaded and at each change of the
    // application's volume or mute setting.
    static constexpr const char* kCreativeOrientationChangedNotification =
        "dz_slot_creative_orientation_changed";
    void postVolumeNotification();
    void applicationVolumeDidChange();
    // What "volume" carries: the application's volume and mute setting, and
    // the device's volume, audio route, other audio and, when it has one,
    // its hint to silence secondary audio.
    [[nodiscard]] static core::Dictionary volumeNotificationPayload(const DZDevice& device);
    // The owner's answer; yes when it has none.
    [[nodiscard]] bool shouldChangeAudioSessionCategoryTo(const std::string& category);
    // While listening, every change of the interface orientation posts
    // kCreativeOrientationChangedNotification with the slot; beginning posts
    // it once at once. Beginning twice listens once; ending also removes the
    // slot's own registration for that notification.
    void beginListeningToDeviceOrientationChangeEvent();
    void endListeningToDeviceOrientationChangeEvent();
    [[nodiscard]] bool isListeningToDeviceOrientationChangeEvent() const {
        return isListeningToDeviceOrientationChangeEvent_;
    }
    // Registers the callback for this slot's creative orientation
    // notification on behalf of observer, until the observer is gone or
    // removes its registrations. With the slot itself as observer this is
    // the slot's own registration (for its MRAID creative).
    void addCreativeOrientationChangeObserver(const std::shared_ptr<void>& observer,
                                              std::function<void()> callback);
    void didChangeDeviceOrientation();

    // Fields.
    [[nodiscard]] std::int64_t state() const { return state_; }
    [[nodiscard]] const std::shared_ptr<DZAdView>& adView() const { return adView_; }
    [[nodiscard]] const std::shared_ptr<DZAd>& ad() const { return ad_; }
    [[nodiscard]] const std::shared_ptr<DZAd>& loadingAd() const { return loadingAd_; }
    [[nodiscard]] const std::shared_ptr<DZAd>& pendingCustomRenderingAd() const {
        return pendingCustomRenderingAd_;
    }
    [[nodiscard]] const std::shared_ptr<DZAdType>& adType() const { return adType_; }
    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    [[nodiscard]] const std::shared_ptr<DZRequest>& loadingRequest() const {
        return loadingRequest_;
    }
    [[nodiscard]] const std::shared_ptr<DZRequest>& nextRequest() const { return nextRequest_; }
    [[nodiscard]] const std::shared_ptr<DZCorrelator>& correlator() const { return correlator_; }
    void setCorrelator(std::shared_ptr<DZCorrelator> correlator) {
        correlator_ = std::move(correlator);
    }
    [[nodiscard]] const std::optional<std::string>& requestID() const { return requestID_; }
    [[nodiscard]] double reloadInterval() const { return reloadInterval_; }
    [[nodiscard]] bool reloadTimerArmed() const;
    [[nodiscard]] bool reloadable() const { return reloadable_; }
    void setReloadable(bool reloadable) { reloadable_ = reloadable; }
    [[nodiscard]] bool manualImpressionsEnabled() const { return manualImpressionsEnabled_; }
    void setManualImpressionsEnabled(bool enabled) { manualImpressionsEnabled_ = enabled; }
    [[nodiscard]] bool hasAutoRefreshed() const { return hasAutoRefreshed_; }
    [[nodiscard]] bool slotHasAttemptedAnAdRequestAtLeastOnce() const {
        return slotHasAttemptedAnAdRequestAtLeastOnce_;
    }
    [[nodiscard]] bool viewHasMadeImpression() const { return viewHasMadeImpression_; }
    void setViewHasMadeImpression(bool made) { viewHasMadeImpression_ = made; }
    [[nodiscard]] bool monitoredViewVisible() const { return monitoredViewVisible_; }
    [[nodiscard]] gfx::Size newAdSize() const { return newAdSize_; }
    [[nodiscard]] std::uint64_t liveViewID() const { return liveViewID_; }
    [[nodiscard]] std::uint64_t measurementReceivers() const { return measurementReceivers_; }
    [[nodiscard]] double timeLastLoaded() const { return timeLastLoaded_; }
    [[nodiscard]] const std::shared_ptr<DZCSI>& CSI() const { return CSI_; }
    [[nodiscard]] const std::shared_ptr<DZSlotStatistics>& slotStats() const { return slotStats_; }
    [[nodiscard]] const std::shared_ptr<DZMAdManager>& mediationManager() const {
        return mediationManager_;
    }
    [[nodiscard]] const std::shared_ptr<DZBannerAdViewDelegate>& adViewDelegate() const {
        return adViewDelegate_;
    }
    [[nodiscard]] const std::shared_ptr<DZSawmillLogger>& logger() const { return logger_; }
    [[nodiscard]] const std::shared_ptr<DZAdFetcher>& adFetcher() const { return adFetcher_; }
    [[nodiscard]] const std::optional<core::Dictionary>& applicationStatistics() const {
        return applicationStatistics_;
    }
    [[nodiscard]] const std::set<std::shared_ptr<DZStatisticDictionary>>&
    pendingAdStatistics() const {
        return pendingAdStatistics_;
    }
    [[nodiscard]] const std::shared_ptr<ui::View>& liveViewMonitoredView() const {
        return liveViewMonitoredView_;
    }
    [[nodiscard]] const std::shared_ptr<DZLiveViewMonitor>& liveViewMonitor() const {
        return liveViewMonitor_;
    }
    // The core web view lent for Live View, nullptr when none is.
    [[nodiscard]] const std::shared_ptr<DZSDKCoreWebView>& SDKCoreWebView() const {
        return SDKCoreWebView_;
    }
    // The last positions pushed to an MRAID creative.
    [[nodiscard]] gfx::Rect usableInterfaceFrame() const { return usableInterfaceFrame_; }
    [[nodiscard]] gfx::Rect creativeWebViewFrame() const { return creativeWebViewFrame_; }
    [[nodiscard]] gfx::Rect creativeAdFrame() const { return creativeAdFrame_; }
    [[nodiscard]] std::shared_ptr<DZIntermission> intermission() const {
        return intermission_.lock();
    }
    void setIntermission(std::weak_ptr<DZIntermission> intermission) {
        intermission_ = std::move(intermission);
    }

    // Delegates, held weakly.
    // In-ad video asks whether the slot's delegate keeps the player's activity
    // away from the audio-video manager; nullopt without a delegate.
    [[nodiscard]] std::optional<bool>
    shouldDisableVideoEventReportToAudioVideoManager(DZAudioVideoManager* manager) override;
    [[nodiscard]] std::shared_ptr<DZSlotDelegate> slotDelegate() const {
        return slotDelegate_.lock();
    }
    void setSlotDelegate(std::weak_ptr<DZSlotDelegate> delegate) {
        slotDelegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<DZSlotAdLoadDelegate> adLoadDelegate() const {
        return adLoadDelegate_.lock();
    }
    void setAdLoadDelegate(std::weak_ptr<DZSlotAdLoadDelegate> delegate) {
        adLoadDelegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<DZSlotAdEventDelegate> adEventDelegate() const {
        return adEventDelegate_.lock();
    }
    void setAdEventDelegate(std::weak_ptr<DZSlotAdEventDelegate> delegate) {
        adEventDelegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<DZSlotAdResponseDelegate> adResponseDelegate() const {
        return adResponseDelegate_.lock();
    }
    void setAdResponseDelegate(std::weak_ptr<DZSlotAdResponseDelegate> delegate) {
        adResponseDelegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<DZSlotAdKeyDelegate> adKeyDelegate() const {
        return adKeyDelegate_.lock();
    }
    void setAdKeyDelegate(std::weak_ptr<DZSlotAdKeyDelegate> delegate) {
        adKeyDelegate_ = std::move(delegate);
    }

    // The core controller that builds this slot's ad URLs: the shared one
    // unless another is set (tests and benchmarks run pages of their own).
    [[nodiscard]] std::shared_ptr<DZSDKCoreController> SDKCoreController() const;
    void setSDKCoreController(std::shared_ptr<DZSDKCoreController> controller) {
        SDKCoreController_ = std::move(controller);
    }

private:
    struct Token {};

public:
    explicit DZSlot(Token);

private:
    // The steps of creation that need the slot's shared pointer; false when
    // the ad view cannot be made.
    [[nodiscard]] bool setUp(const gfx::Rect& frame);
    void observeNotifications();
    // Reads the request's extras and starts the load from an inline ad, a
    // secret ad URL or the core page.
    void startLoad();
    void logRequestTestAdInstructions() const;
    void logEvent(const std::optional<core::Dictionary>& event) const;
    [[nodiscard]] bool isInterstitial() const;
    [[nodiscard]] std::optional<std::vector<DZBoxedValue>> delegateValidAdSizes() const;
    // The load answers of the core controller count only in state 2.
    [[nodiscard]] bool awaitsCoreAnswer() const { return state_ == kRequestingAdURL; }
    void addSizeParameters(core::Dictionary& parameters);
    void addQualitySignals(core::Dictionary& parameters, const std::shared_ptr<DZRequest>& request);
    void recordFetchStatistics();
    void recordResponseStatistics();
    // The monitor's state for liveViewID, as a command to each receiver.
    void sendLiveViewSample(bool unloaded);
    void startLiveViewMonitoring();
    // The slot as the web layer sees it through its ad view delegate's
    // opener, kept current with the ad type and the ad view.
    void updateAdViewSlot();

    std::int64_t state_ = kIdle;
    std::uint64_t liveViewID_ = 0;
    std::shared_ptr<DZMAdManager> mediationManager_;
    bool slotHasAttemptedAnAdRequestAtLeastOnce_ = false;
    std::shared_ptr<DZSawmillLogger> logger_;
    std::shared_ptr<DZAd> pendingCustomRenderingAd_;
    std::shared_ptr<DZCSITimeRecorder> adLoadActionTimeRecorder_;
    std::uint64_t measurementReceivers_ = 0;
    bool viewHasMadeImpression_ = false;
    bool monitoredViewVisible_ = false;
    std::shared_ptr<DZCSI> CSI_;
    bool hasAutoRefreshed_ = false;
    bool reloadable_ = false;
    bool manualImpressionsEnabled_ = false;
    std::weak_ptr<DZSlotDelegate> slotDelegate_;
    std::weak_ptr<DZSlotAdLoadDelegate> adLoadDelegate_;
    std::weak_ptr<DZSlotAdEventDelegate> adEventDelegate_;
    std::weak_ptr<DZSlotAdResponseDelegate> adResponseDelegate_;
    std::weak_ptr<DZSlotAdKeyDelegate> adKeyDelegate_;
    std::optional<std::string> adUnitID_;
    std::shared_ptr<DZAd> ad_;
    std::shared_ptr<DZAdType> adType_;
    std::shared_ptr<DZRequest> loadingRequest_;
    std::shared_ptr<DZCorrelator> correlator_;
    double timeLastLoaded_ = 0;
    std::shared_ptr<DZAdView> adView_;
    std::shared_ptr<DZSlotStatistics> slotStats_;
    std::weak_ptr<DZIntermission> intermission_;
    std::weak_ptr<const void> placement_;
    std::shared_ptr<DZBannerAdViewDelegate> adViewDelegate_;
    std::shared_ptr<DZAd> loadingAd_;
    std::shared_ptr<DZAdFetcher> adFetcher_;
    std::optional<core::Dictionary> applicationStatistics_;
    std::set<std::shared_ptr<DZStatisticDictionary>> pendingAdStatistics_;
    std::shared_ptr<core::Timer> reloadTimer_;
    double reloadInterval_ = kDefaultReloadInterval;
    // Armed while an ad's page renders.
    std::shared_ptr<core::Timer> renderTimer_;
    double renderTimeout_ = kDefaultRenderTimeout;
    void startRenderTimer();
    void renderTimedOut();
    std::optional<std::string> requestID_;
    std::shared_ptr<DZRequest> nextRequest_;
    std::shared_ptr<ui::View> liveViewMonitoredView_;
    gfx::Size newAdSize_;
    std::shared_ptr<DZSDKCoreController> SDKCoreController_;
    bool isListeningToDeviceOrientationChangeEvent_ = false;
    // The registrations of the orientation listening and of the slot's own
    // creative orientation observation are made on behalf of these, so
    // that each set can be removed alone and goes with the slot.
    std::shared_ptr<char> statusBarOrientationObserver_;
    std::shared_ptr<char> creativeOrientationObserver_;
    std::shared_ptr<DZImpressionMonitor> impressionMonitor_;
    std::shared_ptr<DZLiveViewMonitor> liveViewMonitor_;
    std::shared_ptr<DZSDKCoreWebView> SDKCoreWebView_;
    gfx::Rect usableInterfaceFrame_;
    gfx::Rect creativeWebViewFrame_;
    gfx::Rect creativeAdFrame_;
    bool fullScreenEpisodeOpen_ = false;
    std::shared_ptr<DZSlotAdViewSlot> adViewSlot_;
};

}  // namespace ads
