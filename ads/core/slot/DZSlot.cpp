// DZSlot: creation and end of life, the load entry and its policy, the
// states, failure, cancellation, the fetch entry, the reload timer and the
// application events.

#include "ads/core/slot/DZSlot.h"

#include <cmath>
#include <mutex>
#include <utility>

#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdFetcher.h"
#include "ads/core/response/DZBannerAd.h"
#include "ads/core/response/DZInterstitialAd.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/slot/DZSlotAdKeyDelegate.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotAdViewSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZBlockTimer.h"
#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLocationService.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "ads/foundation/DZThreading.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewLiveViewReporter.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/StringFormat.h"
#include "core/Timer.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace ads {

namespace {

// The supported-orientation masks "_orientation" names.
constexpr std::uint64_t kPortraitMask = 6;
constexpr std::uint64_t kLandscapeMask = 24;

std::uint64_t orientationMask(const core::Dictionary& extras) {
    const std::string* code = extras["_orientation"].string();
    if (!code) return 0;
    if (*code == "p") return kPortraitMask;
    if (*code == "l") return kLandscapeMask;
    return 0;
}

}  // namespace

// Creation and end of life.

std::shared_ptr<DZSlot> DZSlot::create(const gfx::Rect& frame) {
    // Once for the class: the SDK's first stage of start-up.
    static std::once_flag initialized;
    std::call_once(initialized, [] {
        DZRunOnMainThread([] { DZApplication::sharedInstance()->runEarlyActivities(); });
    });
    auto slot = std::make_shared<DZSlot>(Token{});
    if (!slot->setUp(frame)) return nullptr;
    return slot;
}

DZSlot::DZSlot(Token) {}

bool DZSlot::setUp(const gfx::Rect& frame) {
    state_ = kIdle;
    reloadInterval_ = kDefaultReloadInterval;
    adView_ = DZAdView::create(frame);
    if (!adView_) return false;
    const auto self = shared_from_this();
    adView_->liveViewReporter()->setObserver(
        std::static_pointer_cast<DZAdViewLiveViewMonitoring>(self));
    CSI_ = DZCSI::create();
    CSI_->recordTimestampForLabel("native:view_create");
    adViewDelegate_ = std::make_shared<DZBannerAdViewDelegate>(weak_from_this());
    adView_->setDelegate(adViewDelegate_);
    adViewSlot_ = std::make_shared<DZSlotAdViewSlot>();
    adViewDelegate_->opener()->setAdViewSlot(adViewSlot_);
    observeNotifications();
    adType_ = DZAdType::interstitialAdType();
    updateAdViewSlot();
    slotStats_ = std::make_shared<DZSlotStatistics>();
    mediationManager_ = std::make_shared<DZMAdManager>();
    mediationManager_->setSlot(weak_from_this());
    liveViewMonitoredView_ = adView_;
    makeRootLoggingObject();
    createdAdView(adView_);
    return true;
}

void DZSlot::observeNotifications() {
    auto& center = core::NotificationCenter::defaultCenter();
    const std::weak_ptr<void> observer = weak_from_this();
    const auto observe = [&](const char* name, void (DZSlot::*handler)()) {
        center.addObserver(observer, name, nullptr,
                           [weak = weak_from_this(), handler](const core::Notification&) {
                               if (const auto self = weak.lock()) ((*self).*handler)();
                           });
    };
    observe(ui::Application::WillResignActiveNotification, &DZSlot::appWillBecomeInactive);
    observe(ui::Application::DidBecomeActiveNotification, &DZSlot::appDidBecomeActive);
    observe(kWillPresentFullScreenNotification, &DZSlot::adWillPresentFullScreen);
    observe(kDidDismissFullScreenNotification, &DZSlot::adDidRelinquishFullScreen);
    observe(DZMobileAds::ApplicationVolumeDidChangeNotification,
            &DZSlot::applicationVolumeDidChange);
}

std::optional<bool>
DZSlot::shouldDisableVideoEventReportToAudioVideoManager(DZAudioVideoManager* manager) {
    const auto delegate = slotDelegate();
    if (!delegate || !manager) return std::nullopt;
    return delegate->shouldDisableVideoEventReportToAudioVideoManager(*this, *manager);
}

DZSlot::~DZSlot() {
    MRAIDAdDidUnload();
    // The last owner may be a worker thread (the core controller lets go of
    // its requesters on its own queue); the fetch lives on the main thread.
    if (auto fetcher = std::move(adFetcher_))
        DZRunOnMainThread([fetcher = std::move(fetcher)] { fetcher->cancel(); });
    core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    invalidate();
    if (mediationManager_) mediationManager_->setSlot({});
    if (CSI_) {
        CSI_->setDWSQueryID(ad_ ? ad_->DWSQueryID() : std::nullopt);
        CSI_->sendReport();
    }
    sendCSIAdLoadTimings();
    DZApplication::sharedInstance()->didNotSendAdStatistics(pendingAdStatistics_);
    DZLoggingHierarchy::sharedInstance()->removeObject(static_cast<const void*>(this));
    // Views go on the main thread only.
    DZReleaseOnMainThread(std::move(SDKCoreWebView_));
    DZReleaseOnMainThread(std::move(liveViewMonitor_));
    DZReleaseOnMainThread(std::move(liveViewMonitoredView_));
}

std::string DZSlot::description() const {
    return core::format("<%@: %p>\nad unit ID:%@", "DZSlot", static_cast<const void*>(this),
                        adUnitID_.value_or("(null)"));
}

std::shared_ptr<DZSDKCoreController> DZSlot::SDKCoreController() const {
    return SDKCoreController_ ? SDKCoreController_ : DZSDKCoreController::sharedInstance();
}

// Load entry and policy.

void DZSlot::loadRequest(const std::shared_ptr<DZRequest>& request) {
    DZApplication::sharedInstance()->runAdditionalEarlyActivities();
    nextRequest_ = request ? request->copy() : nullptr;
    loadNextRequestWithAutoRefresh(false);
}

void DZSlot::loadNextRequestWithAutoRefresh(bool autoRefresh) {
    if (!core::RunLoop::isMainThread()) {
        core::Queue::main()->async([weak = weak_from_this(), autoRefresh] {
            if (const auto self = weak.lock()) self->loadNextRequestWithAutoRefresh(autoRefresh);
        });
        return;
    }
    const auto keep = shared_from_this();
    if (const auto keyDelegate = adKeyDelegate())
        keyDelegate->cacheViewHierarchyInformationForSlot(*this);
    if (const auto location = DZLocationService::sharedInstance()) location->updateLocation();
    DZDevice::sharedInstance()->updateDynamicParameters();
    slotHasAttemptedAnAdRequestAtLeastOnce_ = true;
    if (!shouldMakeRequest(nextRequest_)) return;
    cancelLoad();

    adLoadActionTimeRecorder_ = DZCSITimeRecorder::create(std::string(kLoadAction));
    adLoadActionTimeRecorder_->startTimingVariableWithName("arf_ios");
    adLoadActionTimeRecorder_->startTimingVariableWithName("ttc_ios");
    const auto application = DZApplication::sharedInstance();
    application->requesterWillBeginRequest(this);
    adLoadActionTimeRecorder_->setCustomizedParameterValue(DZRequest::sdkVersion(), "sdkVersion");
    willRequestAdURL();
    if (adUnitID_) {
        application->configuration()->setObject(*adUnitID_, kLastRequestedAdUnitIDKey,
                                                DZApplication::kPublisherPriority);
    }
    if (!nextRequest_) nextRequest_ = std::make_shared<DZRequest>();
    loadingRequest_ = nextRequest_->copy();
    if (const auto delegate = slotDelegate())
        delegate->willLoadAdWithRequest(*this, loadingRequest_);
    hasAutoRefreshed_ = autoRefresh;
    static std::once_flag testDeviceCheck;
    std::call_once(testDeviceCheck, [&] {
        if (!loadingRequest_->isATestDevice()) logRequestTestAdInstructions();
    });
    startLoad();
}

void DZSlot::startLoad() {
    // Taken before the parameters: extras used once leave the request then.
    const auto own =
        std::dynamic_pointer_cast<DZExtras>(loadingRequest_->adNetworkExtrasFor(DZExtras::kClassName));
    const std::shared_ptr<const DZAdNativeProperties> native =
        own ? own->inlineAdNativeProperties() : nullptr;
    const core::Dictionary extras =
        loadingRequest_->networkExtrasAdditionalParameters().value_or(core::Dictionary());
    const std::uint64_t mask = orientationMask(extras);
    if (const core::Dictionary* inline_ = extras["_ad"].dictionary()) {
        std::shared_ptr<DZAd> ad;
        if (isInterstitial()) {
            ad = DZInterstitialAd::initWithDictionary(core::Value(*inline_), native.get());
        } else {
            ad = DZBannerAd::initWithDictionary(core::Value(*inline_), native.get());
        }
        if (mask) ad->setSupportedOrientations(mask);
        adLoadingFromInlineAd(ad);
        const core::Dictionary* headers = extras["_adHeaders"].dictionary();
        loadAd(ad, headers ? std::optional(*headers) : std::nullopt);
        return;
    }
    if (const std::string* text = extras["_requestUrl"].string()) {
        if (auto url = core::URL::create(*text)) {
            DZMRAIDInterceptor::sharedInstance()->setEnabled(true);
            auto ad = std::make_shared<DZAd>();
            ad->setAdURL(*url);
            if (mask) ad->setSupportedOrientations(mask);
            adLoadingFromSecretAdURL(url);
            loadAd(ad, std::nullopt);
            return;
        }
    }
    adURLBuildRequestStarted();
    SDKCoreController()->buildAdURL(shared_from_this());
}

bool DZSlot::shouldMakeRequest(const std::shared_ptr<DZRequest>& request) {
    const auto delegate = slotDelegate();
    if (isMakingRequest() && !(delegate && delegate->slotShouldPreemptInProgressRequest(*this)))
        return false;
    if (delegate) {
        std::optional<Error> error;
        if (delegate->shouldLoadRequest(*this, request, &error) == false) {
            adFailedToReceiveContentWithError(
                error.value_or(DZErrorWithCode(kDZErrorInvalidRequest)));
            return false;
        }
    }
    if (state_ == kInvalidated) return false;
    const auto application = DZApplication::sharedInstance();
    if (!application->backgroundLoadingEnabled() && !application->active()) {
        adFailedToReceiveContentWithError(DZErrorWithCodeDescription(
            kDZErrorInternalError,
            "App is in background and background loading is disabled. Ignoring request."));
        return false;
    }
    return DZDevice::sharedInstance()->OSIsSupported();
}

bool DZSlot::isMakingRequest() const {
    return state_ >= kRequestingAdURL && state_ <= kRendering;
}

void DZSlot::logRequestTestAdInstructions() const {
    const auto device = DZDevice::sharedInstance();
    const char* format = "To get test ads on this device, call: request.testDevices = @[ %@ ];";
    if (device->isSimulator()) {
        DZLogger::sharedInstance().logPublicMessage(core::format(format, "kDZSimulatorID"));
        return;
    }
    const std::string identifier = device->deviceIdentifier();
    if (!identifier.empty()) {
        DZLogger::sharedInstance().logPublicMessage(
            core::format(format, core::format("@\"%@\"", identifier)));
        return;
    }
    DZLogger::sharedInstance().logPublicMessage(
        "Advertising tracking may be disabled. To get test ads on this device, enable "
        "advertising tracking.");
}

bool DZSlot::isInterstitial() const {
    return adType_ && adType_->isInterstitial();
}

// The reload timer.

void DZSlot::setReloadInterval(double seconds) {
    // A server's interval that is no number could never be armed sensibly.
    if (!std::isfinite(seconds)) return;
    reloadInterval_ = seconds >= kMinimumReloadInterval ? seconds : 0;
}

void DZSlot::scheduleAdReloadTimer() {
    deactivateReloadTimer();
    if (!reloadable_ || !slotHasAttemptedAnAdRequestAtLeastOnce_ || reloadInterval_ <= 0) return;
    reloadTimer_ = DZCreateBlockTimer(
        false,
        [weak = weak_from_this()](core::Timer&) {
            if (const auto self = weak.lock()) self->reloadCurrentRequest();
        },
        reloadInterval_, 0);
}

void DZSlot::deactivateReloadTimer() {
    if (reloadTimer_) reloadTimer_->invalidate();
    reloadTimer_.reset();
}

bool DZSlot::reloadTimerArmed() const {
    return reloadTimer_ && reloadTimer_->isValid();
}

void DZSlot::reloadCurrentRequest() {
    DZRunOnMainThread([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self || !self->reloadable_) return;
        const auto delegate = self->slotDelegate();
        if (delegate && delegate->slotShouldReloadCurrentRequest(*self) == true) {
            self->loadNextRequestWithAutoRefresh(true);
            return;
        }
        self->scheduleAdReloadTimer();
    });
}

void DZSlot::setAdType(std::shared_ptr<DZAdType> adType, bool reload) {
    if (!adType || (adType_ && adType_->isEqual(*adType))) return;
    adType_ = std::move(adType);
    updateAdViewSlot();
    if (!reload) return;
    if (isMediating()) {
        if (changeAdTypeTo(adType_)) return;
        if (const auto delegate = slotDelegate()) delegate->didReceiveAdView(*this, nullptr);
    }
    if (adView_) adView_->setHidden(true);
    if (isMakingRequest()) cancelPendingActions();
    if (slotHasAttemptedAnAdRequestAtLeastOnce_) loadNextRequestWithAutoRefresh(false);
}

void DZSlot::setAdUnitID(std::optional<std::string> adUnitID) {
    adUnitID_ = std::move(adUnitID);
    slotStats_->setIdentifier(adUnitID_.value_or(""));
}

// States.

void DZSlot::setState(std::int64_t state) {
    if (state == state_ || state_ == kInvalidated) return;
    state_ = state;
    if (state_ != kRendering && renderTimer_) {
        renderTimer_->invalidate();
        renderTimer_.reset();
    }
}

void DZSlot::willRequestAdURL() {
    adLoadingStarted();
    setState(kRequestingAdURL);
    applicationStatistics_ =
        DZApplication::sharedInstance()->nextRequestStatisticsDictionaryForSlot(*this);
}

void DZSlot::didFailToRetrieveSDKCoreWithError(const Error& error) {
    setState(kSDKCoreFailed);
    adFailedToReceiveContentWithError(error);
}

void DZSlot::didReceiveAdURL() {
    setState(kReceivedAdURL);
}

void DZSlot::willFetchAdContent() {
    setState(kFetching);
    recordFetchStatistics();
}

void DZSlot::didFetchAdContent() {
    recordResponseStatistics();
}

void DZSlot::willProcessMediationResponse() {
    if (loadingAd_) loadingAd_->statistics()->setObject(true, "ismediation", true);
    setState(kFetching);
}

void DZSlot::willStartAdRendering() {
    setState(kRendering);
}

void DZSlot::willLoadAdHTMLInWebView() {
    willStartAdRendering();
}

void DZSlot::startRenderTimer() {
    if (renderTimer_) renderTimer_->invalidate();
    renderTimer_ = DZCreateBlockTimer(
        false,
        [weak = weak_from_this()](core::Timer&) {
            if (const auto self = weak.lock()) self->renderTimedOut();
        },
        renderTimeout_, 0);
}

void DZSlot::adPageDidFinishLoading() {
    if (renderTimer_) renderTimer_->invalidate();
    renderTimer_.reset();
}

void DZSlot::renderTimedOut() {
    renderTimer_.reset();
    // A script tag's page renders while the slot still fetches.
    if (state_ != kRendering && state_ != kFetching) return;
    const auto keep = shared_from_this();
    const std::string message =
        "The ad did not render within " + core::format("%g", renderTimeout_) + " seconds.";
    DZLogger::sharedInstance().logPublicMessage(message);
    const auto adView = adView_;
    didFailToReceiveAdWithError(DZErrorWithCodeDescription(kDZErrorTimeout, message), false);
    // The page may be spinning in its script: its process goes (the ad's
    // own, see DZWebViewConfiguration), and with it the load.
    if (adView && adView->webView()) adView->webView()->terminateWebProcess();
}

void DZSlot::didLoadAdHTMLInWebView() {
    finishedLoadingAdResponse(loadingAd_);
    if (adView_) adView_->setTouched(false);
    const std::uint64_t now = DZMonotonicMilliseconds();
    if (ad_) ad_->statistics()->setObject(now, "tload", true);
    timeLastLoaded_ = double(now);
    postVolumeNotification();
}

void DZSlot::didReceiveValidAd() {
    if (adLoadActionTimeRecorder_) {
        adLoadActionTimeRecorder_->endTimingVariableWithName("ttc_ios");
        adLoadActionTimeRecorder_->endTimingVariableWithName("awr_ios");
    }
    sendCSIAdLoadTimings();
    setState(kValidAd);
    pendingAdStatistics_.clear();
}

void DZSlot::didFailToReceiveAdWithError(const std::optional<Error>& error,
                                         bool shouldCancelPendingActions) {
    const auto keep = weak_from_this().lock();
    if (shouldCancelPendingActions) cancelPendingActions();
    const Error failure = error.value_or(DZErrorWithCode(kDZErrorInternalError));
    if (adLoadActionTimeRecorder_) {
        adLoadActionTimeRecorder_->cancelTimingVariableWithName("awr_ios");
        adLoadActionTimeRecorder_->cancelTimingVariableWithName("ttc_ios");
        adLoadActionTimeRecorder_->setCustomizedParameterValue(failure.message, "rqe");
    }
    sendCSIAdLoadTimings();
    setState(kFailed);
    loadingAd_.reset();
    // Handed back: the next request of any slot sends them.
    DZApplication::sharedInstance()->didNotSendAdStatistics(
        std::exchange(pendingAdStatistics_, {}));
    adFailedToReceiveContentWithError(failure);
}

void DZSlot::resetState() {
    setState(kIdle);
}

void DZSlot::invalidateState() {
    setState(kInvalidated);
}

// Cancellation and end of life.

void DZSlot::cancelLoad() {
    DZApplication::sharedInstance()->requesterDidEndRequest(this);
    if (adFetcher_) adFetcher_->cancel();
    adFetcher_.reset();
    loadingAd_.reset();
    resetState();
}

void DZSlot::cancelPendingActions() {
    deactivateReloadTimer();
    cancelLoad();
    mediationManager_->cancel();
}

void DZSlot::cancelPendingAndFutureActions() {
    cancelPendingActions();
    slotDelegate_.reset();
    reloadable_ = false;
    deactivateReloadTimer();
    invalidateState();
}

void DZSlot::invalidate() {
    DZApplication::sharedInstance()->requesterDidEndRequest(this);
    DZReleaseOnMainThread(std::move(adViewDelegate_));
    if (auto adView = std::move(adView_)) {
        adView->setDelegate({});
        DZRunOnMainThread([adView = std::move(adView)] { adView->removeFromSuperview(); });
    }
    updateAdViewSlot();
    DZReleaseOnMainThread(std::move(liveViewMonitoredView_));
    invalidateState();
}

void DZSlot::updateAdViewSlot() {
    if (adViewSlot_) adViewSlot_->update(adType_, adView_);
}

// The fetch entry.

void DZSlot::loadAd(const std::shared_ptr<DZAd>& ad,
                    const std::optional<core::Dictionary>& headers) {
    if (!awaitsCoreAnswer() && state_ != kReceivedAdURL) return;
    const auto keep = shared_from_this();
    mediationManager_->cancel();
    if (adFetcher_) adFetcher_->cancel();
    resetRequestState();
    loadingAd_ = ad;
    willFetchAdContent();
    DZApplication::sharedInstance()->loadServerSideConfigurationIfNeeded();
    if (ad && ad->hasAdNetworkJavaScript()) {
        loadAdNetworkJavaScriptRequest(ad);
        return;
    }
    if (!isInterstitial() && std::dynamic_pointer_cast<DZBannerAd>(ad)) {
        newAdSize_ = ad->size();
        setReloadInterval(ad->reloadInterval());
    }
    adFetchingStartedWithURL(ad ? ad->adURL() : std::nullopt);
    adFetcher_ = std::make_shared<DZAdFetcher>();
    if (ad) ad->setAdUnitID(adUnitID_);
    // A fetch that cannot start reports its failure to this slot at once.
    (void)adFetcher_->fetchRemainingContentForAd(ad, headers, weak_from_this(), nullptr);
}

void DZSlot::didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) {
    if (&fetcher != adFetcher_.get()) return;
    adFetchingSucceeded();
    didFetchAdContent();
    processAdResponse(ad);
}

void DZSlot::didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad,
                              const Error& error, int responseCode) {
    if (&fetcher != adFetcher_.get()) return;
    adFetchingFailedWithResponseCode(responseCode, error);
    // The interval a failed response asks for, under the rule every other
    // interval follows.
    if (error.code != kDZErrorReceivedInvalidResponse && ad)
        setReloadInterval(ad->reloadInterval());
    didFailToReceiveAdWithError(error, false);
}

void DZSlot::resetRequestState() {
    if (ad_) {
        if (const auto handler = ad_->MRAIDEventHandler().lock()) handler->MRAIDAdDidUnload();
    }
    ad_.reset();
    resetState();
}

// Window, screen and application events. Each takes a Live View sample or
// starts or stops the sampling when a monitor runs.

void DZSlot::appWillBecomeInactive() {
    deactivateReloadTimer();
    if (liveViewMonitor_) liveViewMonitor_->sample();
}

void DZSlot::appDidBecomeActive() {
    scheduleAdReloadTimer();
    if (liveViewMonitor_) liveViewMonitor_->sample();
}

void DZSlot::adWillPresentFullScreen() {
    // An ad on screen that something full screen covers stops its video.
    if (adView_ && adView_->window()) adView_->pauseVideo();
    deactivateReloadTimer();
}

void DZSlot::adDidRelinquishFullScreen() {
    scheduleAdReloadTimer();
}

void DZSlot::ownerViewDidMoveToWindow(const std::shared_ptr<ui::Window>& window) {
    if (window) {
        startLiveViewMonitoring();
        return;
    }
    if (liveViewMonitor_) {
        liveViewMonitor_->sample();
        liveViewMonitor_->stopMonitoring();
    }
    core::NotificationCenter::defaultCenter().post(kDidLeaveWindowNotification, this);
}

void DZSlot::interstitialViewWillAppear() {
    startLiveViewMonitoring();
}

void DZSlot::interstitialViewWillDisappear() {
    if (!liveViewMonitor_) return;
    liveViewMonitor_->sample();
    liveViewMonitor_->stopMonitoring();
}

}  // namespace ads
