#include "ads/presentation/interstitial/ZODInterstitial.h"

#include "ads/core/request/DZCorrelator.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/ZODCustomRenderedAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLogger.h"
#include "ads/presentation/DZAppEventDelegate.h"
#include "ads/presentation/interstitial/DZInterstitialDelegate.h"
#include "core/StringFormat.h"
#include "core/URL.h"

namespace ads {

std::shared_ptr<ZODInterstitial> ZODInterstitial::create(std::string adUnitID) {
    return make<ZODInterstitial>(std::move(adUnitID));
}

std::shared_ptr<DZCorrelator> ZODInterstitial::correlator() const {
    return slot() ? slot()->correlator() : nullptr;
}

void ZODInterstitial::setCorrelator(const std::shared_ptr<DZCorrelator>& correlator) {
    if (!correlator) return;
    createSlot();
    if (slot()) slot()->setCorrelator(correlator);
}

void ZODInterstitial::presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root) {
    if (customAdRenderingEnabled_) {
        DZLogger::sharedInstance().logPublicMessage(kCustomRenderingMessage);
        return;
    }
    DZInterstitial::presentFromRootViewController(root);
}

void ZODInterstitial::didReceiveAppEvent(DZSlot&, const std::string& name,
                                         const std::optional<std::string>& info) {
    if (const auto delegate = appEventDelegate()) delegate->didReceiveAppEvent(*this, name, info);
}

void ZODInterstitial::willLoadAdWithRequest(DZSlot& slot, const std::shared_ptr<DZRequest>&) {
    if (const auto& correlator = slot.correlator())
        previousCorrelationID_ = correlator->correlationID();
}

bool ZODInterstitial::slotShouldPreemptInProgressRequest(DZSlot& slot) {
    const auto& correlator = slot.correlator();
    return correlator && previousCorrelationID_ != 0 &&
           correlator->correlationID() != previousCorrelationID_;
}

bool ZODInterstitial::notifyPublisherToRenderCustomRenderingAd(DZSlot& slot,
                                                               const std::shared_ptr<DZAd>& ad,
                                                               std::optional<Error>* error) {
    customAdRenderingEnabled_ = true;
    const auto delegate = customRenderedInterstitialDelegate();
    if (delegate && delegate->receivesCustomRenderedAds()) {
        std::optional<core::URL> base;
        if (ad && ad->adBaseURL()) base = core::URL::create("/", *ad->adBaseURL());
        auto rendered = std::make_shared<ZODCustomRenderedAd>(
            ad && ad->adHTML() ? *ad->adHTML() : std::string(), base,
            std::static_pointer_cast<ZODInterstitial>(shared_from_this()));
        slot.willStartAdRendering();
        delegate->didReceiveCustomRenderedAd(*this, rendered);
        return true;
    }
    if (error)
        *error = DZErrorWithCodeDescription(
            kDZErrorInvalidArgument,
            core::format("Ignoring delegate callback. Delegate does not conform to %@.\n"
                         "Interstitial: %@\nDelegate: %@",
                         std::string("ZODCustomRenderedInterstitialDelegate"),
                         core::format("<%@: %p>", className(), static_cast<const void*>(this)),
                         delegate ? core::format("<%p>", static_cast<const void*>(delegate.get()))
                                  : std::string("(null)")));
    return false;
}

void ZODInterstitial::recordClick() {
    if (slot()) slot()->pingClickURLs();
}

void ZODInterstitial::recordCustomAdImpression() {
    if (!slot()) return;
    slot()->didMakeAdImpression();
    slot()->pingManualTrackingURLs();
}

void ZODInterstitial::finishedRenderingAdView(const std::shared_ptr<ui::View>&) {
    if (slot()) slot()->didReceiveValidAd();
}

}  // namespace ads
