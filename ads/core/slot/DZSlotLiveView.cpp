// DZSlot: Live View reporting of the displayed ad. One run holds one
// monitor and at most one lent core web view; each sample goes to the
// receivers set in measurementReceivers_ at the moment it is taken.

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/web/view/DZAdView.h"
#include "ui/Window.h"

namespace ads {

namespace {

bool isReceiverKind(std::uint64_t kind) {
    return kind == DZAdViewLiveViewMonitoring::kSDKCorePage ||
           kind == DZAdViewLiveViewMonitoring::kAdPage;
}

// An ad the core page measures whenever it is shown.
bool reportsToSDKCorePage(const std::shared_ptr<DZAd>& ad) {
    return ad && (ad->liveViewConfigurations() || ad->MRAIDEventHandler().lock());
}

}  // namespace

bool DZSlot::canEnableLiveViewMonitoring() const {
    if (isMediating() || !viewHasMadeImpression_) return false;
    if (reportsToSDKCorePage(ad_)) return true;
    return (measurementReceivers_ & kAdPage) != 0;
}

void DZSlot::startLiveViewReportingIfEnabled() {
    if (canEnableLiveViewMonitoring()) startLiveViewReporting();
}

void DZSlot::startLiveViewReporting() {
    const auto keep = shared_from_this();
    if (reportsToSDKCorePage(ad_)) measurementReceivers_ |= kSDKCorePage;
    if (!liveViewMonitor_) createLiveViewMonitor();
    if (!SDKCoreWebView_) {
        liveViewID_ = DZApplication::sharedInstance()->nextLiveViewID();
        SDKCoreWebView_ = SDKCoreController()->SDKCoreWebViewForLiveViewProcessing();
        if (SDKCoreWebView_)
            SDKCoreWebView_->setLiveViewObserver(
                std::static_pointer_cast<DZAdViewLiveViewMonitoring>(keep), liveViewID_);
    }
    if (!liveViewMonitor_) return;
    liveViewMonitor_->sample();
    if (monitoredViewIsSubviewOfDeviceScreen()) startLiveViewMonitoring();
}

void DZSlot::createLiveViewMonitor() {
    liveViewMonitor_ = DZLiveViewMonitor::create(
        liveViewMonitoredView_, adFormat(), ad_ ? ad_->liveViewConfigurations() : std::nullopt);
    if (liveViewMonitor_)
        liveViewMonitor_->setDelegate(
            std::static_pointer_cast<DZLiveViewMonitorDelegate>(shared_from_this()));
}

void DZSlot::startLiveViewMonitoring() {
    if (!liveViewMonitor_) return;
    liveViewMonitor_->startMonitoringWithSamplingInterval(
        SDKCoreController()->liveViewSamplingInterval());
}

void DZSlot::finishLiveViewReporting() {
    const auto keep = weak_from_this().lock();
    unloadLiveViewMonitor();
    if (auto webView = std::move(SDKCoreWebView_)) {
        webView->removeLiveViewObserverForLiveViewID(liveViewID_);
        SDKCoreController()->finishedUsingSDKCoreWebViewForLiveViewProcessing(webView);
    }
}

void DZSlot::unloadLiveViewMonitor() {
    if (!liveViewMonitor_) return;
    liveViewMonitorWillUnload();
    // Dropped before it stops: a sample on the way no longer counts.
    const auto monitor = std::move(liveViewMonitor_);
    monitor->setDelegate({});
    monitor->stopMonitoring();
}

void DZSlot::liveViewMonitorWillUnload() {
    sendLiveViewSample(true);
}

void DZSlot::sendLiveViewSample(bool unloaded) {
    if (!liveViewMonitor_) return;
    const auto command = liveViewJSCommandWithParams(
        liveViewMonitor_->liveViewStateWithID(liveViewID_, isMRAIDEnabled(), unloaded));
    if (!command) return;
    if ((measurementReceivers_ & kAdPage) && adView_)
        adView_->executeJavaScriptAsynchronouslyFromString(*command);
    if ((measurementReceivers_ & kSDKCorePage) && SDKCoreWebView_)
        SDKCoreWebView_->enqueueJavaScriptCommand(*command);
}

std::optional<std::string>
DZSlot::liveViewJSCommandWithParams(const std::optional<core::Dictionary>& params) {
    if (!params) return std::nullopt;
    const auto json = dz_JSONStringPretty(*params, false, nullptr);
    if (!json) return std::nullopt;
    return std::string(DZLiveViewMonitor::kUpdateFunction) + "(" + *json + ")";
}

bool DZSlot::monitoredViewIsSubviewOfDeviceScreen() const {
    const auto view = liveViewMonitor_ ? liveViewMonitor_->monitoredView() : nullptr;
    return view && view->window();
}

std::string DZSlot::adFormat() const {
    return isInterstitial() ? kInterstitialAdFormat : kBannerAdFormat;
}

bool DZSlot::liveViewMonitoringStarted(std::uint64_t receiverKind) {
    if (!isReceiverKind(receiverKind)) return false;
    measurementReceivers_ |= receiverKind;
    startLiveViewReportingIfEnabled();
    return true;
}

void DZSlot::liveViewMonitoringDidStop(std::uint64_t receiverKind) {
    if (!isReceiverKind(receiverKind)) return;
    measurementReceivers_ &= ~receiverKind;
    if (measurementReceivers_ == 0) finishLiveViewReporting();
}

void DZSlot::liveViewVisibilityChanged(bool visible) {
    if (adView_) adView_->setVisible(visible);
    if (!isMRAIDEnabled()) return;
    monitoredViewVisible_ = visible;
    if (takesPartInFullScreenEpisode()) return;
    if (const auto handler = ad_ ? ad_->MRAIDEventHandler().lock() : nullptr)
        handler->updateVisibility(visible);
}

void DZSlot::liveViewMonitorDidRefresh(DZLiveViewMonitor& monitor) {
    if (&monitor != liveViewMonitor_.get()) return;
    const auto keep = shared_from_this();
    sendLiveViewSample(false);
    const auto handler = ad_ ? ad_->MRAIDEventHandler().lock() : nullptr;
    if (!handler) return;
    const auto view = monitor.monitoredView();
    handler->updatePositionFromView(view.get());
}

bool DZSlot::takesPartInFullScreenEpisode() const {
    return fullScreenEpisodeOpen_ || !intermission_.expired();
}

}  // namespace ads
