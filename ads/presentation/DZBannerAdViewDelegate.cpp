#include "ads/presentation/DZBannerAdViewDelegate.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotAdEventDelegate.h"
#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZNetworkErrors.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/dmsg/DZAdAppDMSGHandler.h"
#include "ads/web/dmsg/DZAppEventDMSGHandler.h"
#include "ads/web/dmsg/DZDelayPageLoadDMSGHandler.h"
#include "ads/presentation/fullscreen/DZViewController.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

// The platform's code of a cancelled URL load.
constexpr long kCancelledLoad = -999;

}  // namespace

DZBannerAdViewDelegate::DZBannerAdViewDelegate(std::weak_ptr<DZSlot> slot)
    : slot_(std::move(slot)) {
    opener()->setSlot(slot_);
    opener()->setVideoReportingSlot(slot_);
    addDMSGHandler(std::make_shared<DZAppEventDMSGHandler>(slot_));
    addDMSGHandler(std::make_shared<DZAdAppDMSGHandler>());
    addDMSGHandler(
        std::make_shared<DZDelayPageLoadDMSGHandler>(weakSelfAs<DZDelayLoadDelegate>(this)));
}

void DZBannerAdViewDelegate::adViewDidFinishLoad(DZAdView& adView) {
    loadFinished_ = true;
    if (const auto slot = this->slot()) slot->adPageDidFinishLoading();
    if (loadDelayed_) return;
    DZAdViewDelegate::adViewDidFinishLoad(adView);
    const auto slot = this->slot();
    if (!slot) return;
    if (slot->CSI()) slot->CSI()->recordTimestampForLabel("native:view_load");
    if (slot->state() != DZSlot::kRendering) return;
    slot->didReceiveValidAd();
    slot->didLoadAdHTMLInWebView();
    adView.setHidden(false);
    slot->adFinishedLoadingContent();
}

void DZBannerAdViewDelegate::didFailLoadWithError(DZAdView& adView, const Error& error) {
    DZAdViewDelegate::didFailLoadWithError(adView, error);
    const auto slot = this->slot();
    // A failed ad (timed out, say) was heard of already.
    if (!slot || slot->state() == DZSlot::kValidAd || slot->state() == DZSlot::kFailed) return;
    slot->didFailToReceiveAdWithError(DZErrorWithCode(kDZErrorNetworkError), false);
}

void DZBannerAdViewDelegate::adViewWebProcessDidTerminate(DZAdView& adView) {
    const auto slot = this->slot();
    if (!slot) return;
    const Error error = DZErrorWithCodeDescription(
        kDZErrorInternalError, "The ad's page stopped: its web process ended.");
    if (slot->state() == DZSlot::kRendering) {
        slot->didFailToReceiveAdWithError(error, false);
        return;
    }
    if (slot->state() != DZSlot::kValidAd || slot->adView().get() != &adView) return;
    if (const auto controller =
            std::dynamic_pointer_cast<DZViewController>(adView.viewController())) {
        controller->relinquishScreenWithCompletion(nullptr);
        return;
    }
    adView.setHidden(true);
    slot->didFailToReceiveAdWithError(error, false);
}

void DZBannerAdViewDelegate::contentSizeDidChange(DZAdView&, gfx::Size size) {
    if (const auto slot = this->slot()) slot->updateContentSize(size);
}

void DZBannerAdViewDelegate::didLoadVideoWithSize(DZAdView&, gfx::Size size) {
    if (const auto slot = this->slot()) slot->adDidLoadVideoWithSize(size);
}

void DZBannerAdViewDelegate::adViewDidRecordImpression(DZAdView&) {
    const auto slot = this->slot();
    if (const auto delegate = slot ? slot->adEventDelegate() : nullptr)
        delegate->slotDidRecordImpression(*slot);
}

void DZBannerAdViewDelegate::adViewDidRecordClick(DZAdView&) {
    const auto slot = this->slot();
    if (const auto delegate = slot ? slot->adEventDelegate() : nullptr)
        delegate->slotDidRecordClick(*slot);
}

std::shared_ptr<DZCSI> DZBannerAdViewDelegate::CSIForDMSGHandler() {
    const auto slot = this->slot();
    return slot ? slot->CSI() : nullptr;
}

void DZBannerAdViewDelegate::loadHandlerDidCancel(DZDelayPageLoadDMSGHandler&) {
    const auto slot = this->slot();
    const auto adView = slot ? slot->adView() : nullptr;
    if (!adView) return;
    didFailLoadWithError(*adView,
                         DZErrorWithDomainCodeDescription(std::string(kDZNetworkErrorDomain),
                                                          kCancelledLoad, std::nullopt));
}

void DZBannerAdViewDelegate::loadHandlerDidChangeDelay(DZDelayPageLoadDMSGHandler&,
                                                       std::int64_t from, std::int64_t to) {
    if (from == 0 && to >= 1) {
        loadDelayed_ = true;
    } else if (from >= 1 && to == 0) {
        loadDelayed_ = false;
        const auto slot = this->slot();
        const auto adView = slot ? slot->adView() : nullptr;
        if (loadFinished_ && adView) adViewDidFinishLoad(*adView);
    }
}

}  // namespace ads
