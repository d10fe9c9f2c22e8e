#include "ads/core/sdkcore/DZSDKCoreWebView.h"

#include <algorithm>

#include "ads/core/sdkcore/DZSDKCoreWebViewNotification.h"
#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/foundation/DZThreading.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZNotification.h"
#include "core/Clock.h"
#include "core/Console.h"
#include "core/StringFormat.h"
#include "web/WebView.h"

namespace ads {

namespace {

constexpr std::string_view kLoadAction = "load_ad_ios";
constexpr std::string_view kLoadTiming = "jsf_ios";

}  // namespace

std::string DZSDKCoreWebView::coreURLString() {
    return DZServerHosts::adServerURLString(kCorePagePath);
}

DZSDKCoreWebView::DZSDKCoreWebView(Token, std::string URLString)
    : URLString_(std::move(URLString)),
      lockQueue_(core::Queue::serial("com.dozuza.vuraz.sdk-core-web-view")),
      messageQueue_(core::Queue::serial("com.dozuza.vuraz.sdk-core-messages")) {}

std::shared_ptr<DZSDKCoreWebView>
DZSDKCoreWebView::create(const std::optional<DZWebViewConfiguration>& configuration) {
    auto webView = std::make_shared<DZSDKCoreWebView>(Token{}, coreURLString());
    // The SDK's own page stays in the shared web process, apart from the
    // ads (each in its own), so no ad can take it down; its answers carry
    // whole ad responses.
    DZWebViewConfiguration pageConfiguration = configuration.value_or(DZWebViewConfiguration());
    pageConfiguration.setOwnWebProcess(false);
    pageConfiguration.setMaximumMessageURLBytes(
        DZWebViewConfiguration::kMaximumCorePageMessageURLBytes);
    webView->adView_ = DZAdView::create({0, 0, 0, 0}, pageConfiguration);
    if (!webView->adView_) return nullptr;
    webView->adView_->setDelegate(webView);
    webView->adViewDelegate_ = std::make_shared<DZAdViewDelegate>();
    webView->CSI_ = DZCSI::create();
    webView->SDKCoreDMSGHandler_ = std::make_shared<DZSDKCoreDMSGHandler>();
    webView->SDKCoreDMSGHandler_->setSDKCoreWebView(webView);
    webView->liveViewDMSGHandler_ = std::make_shared<DZLiveViewDMSGHandler>();
    webView->liveViewDMSGHandler_->setDelegate(webView);
    return webView;
}

DZSDKCoreWebView::~DZSDKCoreWebView() {
    if (CSI_) CSI_->sendReport();
    if (!adView_) return;
    adView_->setDelegate({});
    // The last reference of a view goes on the main thread.
    DZRunOnMainThread([adView = std::move(adView_)] { adView->removeFromSuperview(); });
}

DZSDKCoreWebView::State DZSDKCoreWebView::state() const {
    State state = kNotLoaded;
    lockQueue_->sync([&] { state = state_; });
    return state;
}

bool DZSDKCoreWebView::hasSDKCoreLoadedAtLeastOnce() const {
    bool loaded = false;
    lockQueue_->sync([&] { loaded = hasSDKCoreLoadedAtLeastOnce_; });
    return loaded;
}

void DZSDKCoreWebView::setState(State state) {
    lockQueue_->async([self = shared_from_this(), state] { self->state_ = state; });
}

void DZSDKCoreWebView::willRefreshSDKCore() {
    CSI_->sendReport();
}

void DZSDKCoreWebView::setLoadTimeout(double seconds) {
    lockQueue_->sync([&] { loadTimeout_ = seconds; });
}

double DZSDKCoreWebView::loadTimeout() const {
    double seconds = 0;
    lockQueue_->sync([&] { seconds = loadTimeout_; });
    return seconds;
}

std::uint64_t DZSDKCoreWebView::beginLoadLocked() {
    const std::uint64_t load = ++load_;
    loadStarted_ = core::Clock::current()->monotonicSeconds();
    core::Queue::main()->after(loadTimeout_, [weak = weak_from_this(), load] {
        if (const auto self = weak.lock()) self->loadDidTimeOut(load);
    });
    return load;
}

void DZSDKCoreWebView::refreshSDKCoreAndNotifyObserver(
    std::shared_ptr<DZSDKCoreWebViewNotification> observer) {
    willRefreshSDKCore();
    core::Queue::main()->async([self = shared_from_this(), observer = std::move(observer)] {
        bool start = false;
        self->lockQueue_->sync([&] {
            // A load past its deadline is stuck, whatever its state says:
            // at the deadline itself too, which is read as its timer reads
            // it (the start plus the time-out; the time gone since the
            // start can round below the time-out there), and with the
            // time-out in force now, as it may have been shortened since
            // the timer was set.
            const bool stuck =
                (self->state_ == kLoadRequested || self->state_ == kNavigationAccepted) &&
                core::Clock::current()->monotonicSeconds() >=
                    self->loadStarted_ + self->loadTimeout_;
            start = self->state_ == kNotLoaded || self->state_ == kLoaded ||
                    self->state_ == kFailed || stuck;
            if (!start) return;
            self->state_ = kLoadRequested;
            (void)self->beginLoadLocked();
        });
        if (start) {
            if (const auto recorder = self->CSI_->timeRecorderForAction(kLoadAction))
                recorder->startTimingVariableWithName(kLoadTiming);
            if (const auto url = core::URL::create(self->URLString_))
                self->adView_->loadRequest(core::URLRequest(*url));
        }
        self->addObserverForOneTimeNotification(observer);
    });
}

void DZSDKCoreWebView::loadDidTimeOut(std::uint64_t load) {
    bool expired = false;
    double seconds = 0;
    lockQueue_->sync([&] {
        expired = load == load_ && (state_ == kLoadRequested || state_ == kNavigationAccepted);
        if (expired) state_ = kFailed;
        seconds = loadTimeout_;
    });
    if (!expired) return;
    core::Console::log("SDK core page: the load did not end within " + core::format("%g", seconds) +
                       " seconds; stopped");
    if (const auto recorder = CSI_->timeRecorderForAction(kLoadAction))
        recorder->cancelTimingVariableWithName(kLoadTiming);
    if (adView_) adView_->stopLoading();
    notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
}

void DZSDKCoreWebView::addObserverForOneTimeNotification(
    std::shared_ptr<DZSDKCoreWebViewNotification> observer) {
    if (!observer) return;
    lockQueue_->async([self = shared_from_this(), observer = std::move(observer)] {
        if (std::find(self->observers_.begin(), self->observers_.end(), observer) ==
            self->observers_.end())
            self->observers_.push_back(observer);
        if (self->state_ == kLoaded || self->state_ == kFailed)
            self->notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
    });
}

void DZSDKCoreWebView::removeObserver(
    const std::shared_ptr<DZSDKCoreWebViewNotification>& observer) {
    lockQueue_->sync([&] { std::erase(observers_, observer); });
}

void DZSDKCoreWebView::notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished() {
    lockQueue_->async([self = shared_from_this()] {
        if (self->state_ == kLoadRequested || self->state_ == kNavigationAccepted) return;
        for (auto& observer : self->observers_)
            core::Queue::main()->async(
                [self, observer] { observer->didFinishLoadingSDKCoreInSDKCoreWebView(*self); });
        self->observers_.clear();
    });
}

void DZSDKCoreWebView::enqueueJavaScriptCommand(std::string command) {
    lockQueue_->async([self = shared_from_this(), command = std::move(command)]() mutable {
        if (self->state_ == kFailed) return;
        if (self->pendingJSCommands_.size() >= kMaximumPendingCommands)
            self->pendingJSCommands_.pop_front();
        self->pendingJSCommands_.push_back(std::move(command));
    });
    dispatchPendingJavaScriptCommands();
}

void DZSDKCoreWebView::dispatchPendingJavaScriptCommands() {
    lockQueue_->async([self = shared_from_this()] {
        if (self->state_ != kLoaded) return;
        for (auto& command : self->pendingJSCommands_)
            core::Queue::main()->async([self, command = std::move(command)] {
                self->adView_->executeJavaScriptAsynchronouslyFromString(command);
            });
        self->pendingJSCommands_.clear();
    });
}

bool DZSDKCoreWebView::shouldStartLoadWithRequest(DZAdView&, const core::URLRequest& request,
                                                  long navigationType) {
    // The core page itself, in any state: the engine may ask again for the
    // load it is making, and refusing that would end the load unnoticed.
    if (request.url().absoluteString() == URLString_) {
        lockQueue_->sync([&] {
            // A load the page starts itself gets a deadline too.
            if (state_ != kLoadRequested && state_ != kNavigationAccepted) (void)beginLoadLocked();
            state_ = kNavigationAccepted;
        });
        return true;
    }
    // (A copy of the text alone: answers can be megabytes long.)
    if (DZNotification::isNotificationURL(request.url()))
        takeMessage(request.url().absoluteString(), navigationType);
    return false;
}

void DZSDKCoreWebView::takeMessage(std::string url, long navigationType) {
    // Messages count only while the page is loaded (not while it loads).
    if (state() != kLoaded) return;
    // The page's answers carry whole ads: they are read and taken apart off
    // the main thread (one queue, so in the order sent), then handled on it.
    messageQueue_->async([weak = weak_from_this(), url = std::move(url), navigationType] {
        // As the web view read it: as the engine wrote it.
        auto parsed = core::URL::createFromWeb(url);
        if (!parsed || !DZNotification::isNotificationURL(*parsed)) return;
        auto notification = DZNotification::create(parsed);
        core::Queue::main()->async([weak, parsed = std::move(*parsed), navigationType,
                                    notification = std::move(notification)] {
            if (const auto self = weak.lock())
                self->routeMessage(parsed, notification, navigationType);
        });
    });
}

void DZSDKCoreWebView::routeMessage(const core::URL& url,
                                    const std::shared_ptr<const DZNotification>& notification,
                                    long navigationType) {
    if (notification) {
        if (SDKCoreDMSGHandler_ && SDKCoreDMSGHandler_->handleNotification(notification, adView_))
            return;
        if (liveViewDMSGHandler_->handleNotification(notification, adView_)) return;
    }
    if (adView_) (void)adViewDelegate_->shouldStartLoadWithRequest(*adView_, core::URLRequest(url),
                                                                 navigationType);
}

void DZSDKCoreWebView::adViewDidFinishLoad(DZAdView& adView) {
    if (state() == kNavigationAccepted) {
        // An error page is not the core page.
        const auto status = adView_->webView()->webView()->mainFrameStatusCode();
        endLoad(!status || *status < 400);
    }
    adViewDelegate_->adViewDidFinishLoad(adView);
    dispatchPendingJavaScriptCommands();
    notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
}

void DZSDKCoreWebView::didFailLoadWithError(DZAdView& adView, const Error& error) {
    if (error.failingURLString == URLString_) endLoad(false);
    adViewDelegate_->didFailLoadWithError(adView, error);
    notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
}

void DZSDKCoreWebView::adViewWebProcessDidTerminate(DZAdView&) {
    bool loading = false;
    lockQueue_->sync([&] {
        loading = state_ == kLoadRequested || state_ == kNavigationAccepted;
        state_ = kFailed;
    });
    core::Console::log("SDK core page: its web process ended; the next request loads it anew");
    if (loading)
        if (const auto recorder = CSI_->timeRecorderForAction(kLoadAction))
            recorder->cancelTimingVariableWithName(kLoadTiming);
    notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
}

// Live View.

void DZSDKCoreWebView::setLiveViewObserver(
    const std::shared_ptr<DZAdViewLiveViewMonitoring>& observer, std::uint64_t liveViewID) {
    lockQueue_->async([self = shared_from_this(),
                       weakObserver = std::weak_ptr<DZAdViewLiveViewMonitoring>(observer),
                       liveViewID] {
        if (weakObserver.expired()) return;
        auto& registered = self->liveViewObservers_[liveViewID];
        if (!registered.expired()) return;
        registered = weakObserver;
        self->runningLiveViewObserverIdentifiers_.insert(liveViewID);
    });
}

void DZSDKCoreWebView::removeLiveViewObserverForLiveViewID(std::uint64_t liveViewID) {
    lockQueue_->sync([&] { liveViewObservers_.erase(liveViewID); });
}

void DZSDKCoreWebView::clearAllLiveViewInstances() {
    std::vector<std::shared_ptr<DZAdViewLiveViewMonitoring>> observers;
    lockQueue_->sync([&] {
        runningLiveViewObserverIdentifiers_.clear();
        for (const auto& [liveViewID, observer] : liveViewObservers_)
            if (auto held = observer.lock()) observers.push_back(std::move(held));
        liveViewObservers_.clear();
    });
    for (const auto& observer : observers)
        observer->liveViewMonitoringDidStop(DZAdViewLiveViewMonitoring::kSDKCorePage);
}

bool DZSDKCoreWebView::isLiveViewRunning() const {
    bool running = false;
    lockQueue_->sync([&] { running = !runningLiveViewObserverIdentifiers_.empty(); });
    return running;
}

void DZSDKCoreWebView::liveViewDMSGHandlerDidReceiveVisibilityNotification(
    DZLiveViewDMSGHandler&, bool visible, std::uint64_t liveViewID) {
    std::weak_ptr<DZAdViewLiveViewMonitoring> observer;
    lockQueue_->sync([&] {
        if (const auto found = liveViewObservers_.find(liveViewID); found != liveViewObservers_.end())
            observer = found->second;
    });
    core::Queue::main()->async([observer, visible] {
        if (const auto held = observer.lock()) held->liveViewVisibilityChanged(visible);
    });
}

void DZSDKCoreWebView::liveViewDMSGHandlerDidReceiveUntrackNotification(DZLiveViewDMSGHandler&,
                                                                        std::uint64_t liveViewID) {
    std::weak_ptr<DZAdViewLiveViewMonitoring> observer;
    lockQueue_->sync([&] {
        if (const auto found = liveViewObservers_.find(liveViewID); found != liveViewObservers_.end()) {
            observer = found->second;
            liveViewObservers_.erase(found);
        }
        runningLiveViewObserverIdentifiers_.erase(liveViewID);
    });
    core::Queue::main()->async([observer] {
        if (const auto held = observer.lock())
            held->liveViewMonitoringDidStop(DZAdViewLiveViewMonitoring::kSDKCorePage);
    });
}

void DZSDKCoreWebView::endLoad(bool loaded) {
    if (const auto recorder = CSI_->timeRecorderForAction(kLoadAction)) {
        if (loaded) {
            recorder->endTimingVariableWithName(kLoadTiming);
        } else {
            recorder->cancelTimingVariableWithName(kLoadTiming);
        }
    }
    lockQueue_->async([self = shared_from_this(), loaded] {
        self->state_ = loaded ? kLoaded : kFailed;
        if (loaded) self->hasSDKCoreLoadedAtLeastOnce_ = true;
    });
}

}  // namespace ads
