// DZSlot: what happens to a fetched response by its type: an HTML (or
// native) ad is rendered in the slot's ad view, a mediation response goes
// to the waterfall, a custom-rendered ad to the owner once it has a
// placement, and an ad carrying ad-network JavaScript loads under a
// delegate of its own.

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdNetworkJavaScriptAdViewDelegate.h"
#include "ads/core/response/DZAdResponseType.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotAdResponseDelegate.h"
#include "ads/core/slot/DZSlotAdViewSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/mediation/DZAdMediationDelegate.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

bool isBlank(const std::optional<std::string>& html) {
    return !html || html->find_first_not_of(" \t\r\n\f\v") == std::string::npos;
}

// The response's custom size ("320x50"), or none.
std::optional<gfx::Size> customAdSize(const DZAd& ad) {
    if (!ad.customAdSizeString()) return std::nullopt;
    return DZAdSizeRequestString(*ad.customAdSizeString());
}

}  // namespace

void DZSlot::processAdResponse(const std::shared_ptr<DZAd>& ad) {
    if (!ad) return;
    if (adLoadActionTimeRecorder_) {
        adLoadActionTimeRecorder_->endTimingVariableWithName("arf_ios");
        adLoadActionTimeRecorder_->endTimingVariableWithName("nwl_ios");
        adLoadActionTimeRecorder_->startTimingVariableWithName("awr_ios");
    }
    startedProcessingAd(ad);
    switch (ad->responseType()) {
    case DZAdResponseTypeHTML:
    case DZAdResponseTypeNative:
        processStandardAdResponse(ad);
        break;
    case DZAdResponseTypeMediation:
        if (adLoadActionTimeRecorder_)
            adLoadActionTimeRecorder_->setCustomizedParameterValue("1", "is_mediation");
        processMediationAdResponse(ad);
        break;
    case DZAdResponseTypeCustomRendering:
        processCustomRenderingAdResponse(ad);
        break;
    default:
        break;
    }
}

void DZSlot::processStandardAdResponse(const std::shared_ptr<DZAd>& ad) {
    const auto keep = shared_from_this();
    if (const auto responseDelegate = adResponseDelegate()) {
        std::optional<Error> error;
        const bool process = responseDelegate->shouldProcessAdResponse(*this, ad, &error);
        if (error) {
            didFailToReceiveAdWithError(error, false);
            return;
        }
        if (!process) {
            didReceiveValidAd();
            DZApplication::sharedInstance()->requesterDidEndRequest(this);
            return;
        }
    }
    loadingAd_ = ad;
    setReloadInterval(ad->reloadInterval());
    scheduleAdReloadTimer();
    if (const auto size = customAdSize(*ad)) newAdSize_ = isInterstitial() ? gfx::Size() : *size;
    if (!adView_) return;
    adView_->scrollView().scrollEnabled = ad->isScrollEnabled();
    if (isBlank(ad->adHTML())) {
        didFailToReceiveAdWithError(DZErrorWithCode(kDZErrorNoFill), false);
        return;
    }
    adView_->setAdDebugDialogString(ad->debugDialogString());
    if (adViewDelegate_) {
        const auto& reporter = ad->safeBrowsingReporter();
        adViewDelegate_->opener()->setAutoClickProtection(reporter ? reporter->autoClickProtection()
                                                                   : nullptr);
    }
    willLoadAdHTMLInWebView();
    startRenderTimer();
    setViewForAdUsingView(adView_);
    adView_->setAd(ad);
}

void DZSlot::processMediationAdResponse(const std::shared_ptr<DZAd>& ad) {
    const auto keep = shared_from_this();
    if (const auto responseDelegate = adResponseDelegate())
        responseDelegate->willProcessMediatedAdResponse(*this, ad);
    if (!ad->mediationDelegate().lock()) {
        didFailToReceiveAdWithError(
            DZErrorWithCodeDescription(kDZErrorMediationDataError,
                                       "Current class not set up for processing mediation."),
            false);
        return;
    }
    willProcessMediationResponse();

    // A body that is no JSON object has no "ad_networks": the configuration
    // refuses it with SDK error 7.
    const auto decoded = dz_decodedJSONObjectError(ad->adHTML().value_or(""), nullptr);
    const core::Dictionary* body = decoded ? decoded->dictionary() : nullptr;
    core::Dictionary configuration = body ? *body : core::Dictionary();
    const core::Dictionary headers = ad->responseHeaders().value_or(core::Dictionary());
    if (!configuration.contains("default_slot_sz"))
        if (const core::Value* size = headers.find("x-duzo-ad-slot-size"))
            configuration.set("default_slot_sz", *size);
    if (!configuration.contains("default_ad_sz"))
        if (const core::Value* size = headers.find("x-duzo-ad-size"))
            configuration.set("default_ad_sz", *size);

    Error error;
    const auto config =
        DZMConfig::initWithAppKey(adUnitID_.value_or(""), core::Value(configuration), &error);
    if (!config) {
        didFailToReceiveAdWithError(error, false);
        return;
    }
    finishedLoadingAdResponse(ad);
    if (const auto size = customAdSize(*ad)) newAdSize_ = *size;
    auto type = adType_;
    if (!isInterstitial() && (newAdSize_.width != 0 || newAdSize_.height != 0))
        type = DZAdType::bannerAdTypeForSize(DZAdSizeMatchKnownSize(newAdSize_));
    mediationManager_->mediateForAdType(type, config);
    if (!isInterstitial()) {
        setReloadInterval(config->refreshInterval());
        scheduleAdReloadTimer();
    }
}

void DZSlot::processCustomRenderingAdResponse(const std::shared_ptr<DZAd>& ad) {
    reloadable_ = false;
    deactivateReloadTimer();
    pendingCustomRenderingAd_ = ad;
    if (placement()) renderPendingCustomRenderingAd();
}

void DZSlot::renderPendingCustomRenderingAd() {
    if (!pendingCustomRenderingAd_) return;
    const auto keep = shared_from_this();
    auto previous = ad_;
    finishedLoadingAdResponse(pendingCustomRenderingAd_);
    pendingCustomRenderingAd_.reset();
    DZApplication::sharedInstance()->requesterDidEndRequest(this);
    std::optional<Error> error;
    if (const auto delegate = slotDelegate())
        if (delegate->notifyPublisherToRenderCustomRenderingAd(*this, ad_, &error)) return;
    // Refused: the load has failed, so the slot must not stay mid-request
    // (a later load would be turned away as "in progress").
    ad_ = std::move(previous);
    setState(kFailed);
    adFailedToReceiveContentWithError(error.value_or(DZErrorWithCodeDescription(
        kDZErrorInvalidArgument, "Custom rendered ad could not be rendered by delegate.")));
}

void DZSlot::setPlacement(const std::shared_ptr<const void>& placement) {
    placement_ = placement;
    if (adView_) adView_->didMoveToPlacement(placement);
    if (placement) renderPendingCustomRenderingAd();
}

void DZSlot::finishedLoadingAdResponse(const std::shared_ptr<DZAd>& ad) {
    ad_ = ad;
    loadingAd_.reset();
    viewHasMadeImpression_ = false;
    finishLiveViewReporting();
    if (ad) ad->pingDebugSignal();
}

void DZSlot::loadAdNetworkJavaScriptRequest(const std::shared_ptr<DZAd>& ad) {
    if (ad->adHTML() && !ad->adHTML()->empty()) {
        // It stays this slot's ad view delegate for later ads too.
        auto delegate = std::make_shared<DZAdNetworkJavaScriptAdViewDelegate>(
            weak_from_this(), ad->adNetworkPassbackURL());
        if (adViewDelegate_)
            delegate->opener()->setViewController(adViewDelegate_->opener()->viewController());
        delegate->opener()->setAdViewSlot(adViewSlot_);
        adViewDelegate_ = std::move(delegate);
        if (!adView_) return;
        adView_->setDelegate(adViewDelegate_);
        // A tag's page may spin before it ever finishes loading, as any
        // ad page's may: the render limit holds until it has loaded, then
        // the tag's own check decides.
        startRenderTimer();
        adView_->setAd(ad);
        return;
    }
    didFailToReceiveAdWithError(DZErrorWithCodeDescription(kDZErrorNetworkError, "Empty ad HTML."),
                                true);
    scheduleAdReloadTimer();
}

bool DZSlot::isMRAIDEnabled() const {
    const auto handled = [](const std::shared_ptr<DZAd>& ad) {
        return ad && ad->MRAIDEventHandler().lock() != nullptr;
    };
    return handled(loadingAd_) || handled(ad_);
}

}  // namespace ads
