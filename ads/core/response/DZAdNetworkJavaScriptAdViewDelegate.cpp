#include "ads/core/response/DZAdNetworkJavaScriptAdViewDelegate.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/foundation/DZViewImaging.h"
#include "ads/web/view/DZAdView.h"
#include "core/RunLoop.h"
#include "core/Timer.h"

namespace ads {

DZAdNetworkJavaScriptAdViewDelegate::~DZAdNetworkJavaScriptAdViewDelegate() {
    stopRenderingTimer();
}

bool DZAdNetworkJavaScriptAdViewDelegate::isPassbackRequest(const core::URLRequest& request) const {
    const core::URL& url = request.url();
    if (DZURLSchemeMatches(url, "passback")) return true;
    if (!passbackURL_ || !DZURLHostMatches(url, passbackURL_->host())) return false;
    return DZStringByRemovingTrailingSlash(passbackURL_->path()) ==
           DZStringByRemovingTrailingSlash(url.path());
}

bool DZAdNetworkJavaScriptAdViewDelegate::shouldStartLoadWithRequest(
    DZAdView& adView, const core::URLRequest& request, long navigationType) {
    if (request.url().absoluteString().empty()) return false;
    if (!isPassbackRequest(request))
        return DZBannerAdViewDelegate::shouldStartLoadWithRequest(adView, request, navigationType);
    wasPassbackReceived_ = true;
    stopRenderingTimer();
    if (const auto slot = this->slot()) {
        slot->didFailToReceiveAdWithError(
            DZErrorWithCodeDescription(kDZErrorNoFill, "Passback URL received."), true);
        slot->scheduleAdReloadTimer();
    }
    return false;
}

void DZAdNetworkJavaScriptAdViewDelegate::adViewDidFinishLoad(DZAdView& adView) {
    if (const auto slot = this->slot()) slot->adPageDidFinishLoading();
    if (renderingCheckHasStarted_ || wasPassbackReceived_) return;
    renderingCheckHasStarted_ = true;
    if (const auto slot = this->slot()) slot->willLoadAdHTMLInWebView();
    startRenderingTimerForAdView(std::static_pointer_cast<DZAdView>(adView.shared_from_this()));
}

void DZAdNetworkJavaScriptAdViewDelegate::startRenderingTimerForAdView(
    const std::shared_ptr<DZAdView>& adView) {
    stopRenderingTimer();
    adView_ = adView;
    const auto weakSelf = std::weak_ptr<DZAdNetworkJavaScriptAdViewDelegate>(
        std::static_pointer_cast<DZAdNetworkJavaScriptAdViewDelegate>(shared_from_this()));
    checkRenderingTimer_ = core::Timer::schedule(
        core::RunLoop::main(), kCheckInterval, true, [weakSelf](core::Timer& timer) {
            if (const auto self = weakSelf.lock()) {
                self->checkIsContentRenderedInAdView();
            } else {
                timer.invalidate();
            }
        });
}

void DZAdNetworkJavaScriptAdViewDelegate::stopRenderingTimer() {
    if (const auto timer = checkRenderingTimer_.lock()) timer->invalidate();
    checkRenderingTimer_.reset();
}

bool DZAdNetworkJavaScriptAdViewDelegate::isChecking() const {
    const auto timer = checkRenderingTimer_.lock();
    return timer && timer->isValid();
}

void DZAdNetworkJavaScriptAdViewDelegate::checkIsContentRenderedInAdView() {
    if (checkInFlight_) return;
    const auto adView = adView_.lock();
    if (!adView) {
        didCheckContent(false);
        return;
    }
    checkInFlight_ = true;
    const auto weakSelf = std::weak_ptr<DZAdNetworkJavaScriptAdViewDelegate>(
        std::static_pointer_cast<DZAdNetworkJavaScriptAdViewDelegate>(shared_from_this()));
    // The web view, wherever it is: off screen it waits in the placeholder
    // window, not in the ad view.
    std::shared_ptr<ui::View> checked = adView->webView();
    if (!checked) checked = adView;
    const auto background = checked->backgroundColor();
    DZRenderViewWithFreshWebContent(checked, [weakSelf, background](gfx::ImagePtr snapshot) {
        const auto self = weakSelf.lock();
        if (!self) return;
        self->checkInFlight_ = false;
        // A check that ended meanwhile (content, passback) has no say.
        if (!self->isChecking()) return;
        self->didCheckContent(DZIsImageContentRendered(snapshot.get(), background));
    });
}

void DZAdNetworkJavaScriptAdViewDelegate::didCheckContent(bool rendered) {
    if (rendered) {
        adViewDidRenderContent();
    } else {
        adViewDidNotRenderContent();
    }
}

void DZAdNetworkJavaScriptAdViewDelegate::adViewDidRenderContent() {
    stopRenderingTimer();
    if (const auto adView = adView_.lock()) DZBannerAdViewDelegate::adViewDidFinishLoad(*adView);
}

void DZAdNetworkJavaScriptAdViewDelegate::adViewDidNotRenderContent() {
    if (++checkRenderingCount_ < kMaximumChecks) return;
    stopRenderingTimer();
    if (const auto adView = adView_.lock())
        didFailLoadWithError(*adView,
                             DZErrorWithCodeDescription(kDZErrorNoFill, "Ad check timed out."));
}

}  // namespace ads
