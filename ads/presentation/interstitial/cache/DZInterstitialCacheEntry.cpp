#include "ads/presentation/interstitial/cache/DZInterstitialCacheEntry.h"

#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCSIConfiguration.h"
#include "ads/foundation/DZCSIReporter.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZThreading.h"
#include "ads/mediation/core/DZMAdNetworkConnectorInterstitial.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

std::shared_ptr<DZInterstitialCacheEntry>
DZInterstitialCacheEntry::create(const std::shared_ptr<DZRequest>& request,
                                 const std::optional<std::string>& adUnitID) {
    auto entry = std::make_shared<DZInterstitialCacheEntry>(Token{});
    auto recorder = DZCSITimeRecorder::create(kCSIAction);
    recorder->setCustomizedParameterValue(DZRequest::sdkVersion(), "sdkVersion");
    for (const char* name : {kLoadVariable, kFailVariable, kPopVariable, kDiscardVariable})
        recorder->startTimingVariableWithName(name);
    entry->timeRecorder_ = recorder;

    entry->slot_ = DZSlot::create(DZDevice::sharedInstance()->standardizedOrientedScreenBounds());
    if (!entry->slot_) {
        // Nothing was loaded: the entry ends as discarded without a load.
        recorder->cancelTimingVariableWithName(kLoadVariable);
        return nullptr;
    }
    const auto& slot = entry->slot_;
    slot->setSlotDelegate(std::static_pointer_cast<DZSlotDelegate>(entry));
    slot->setAdLoadDelegate(std::static_pointer_cast<DZSlotAdLoadDelegate>(entry));
    if (slot->adView()) slot->adView()->configureAsInterstitialAdView();
    slot->setAdResponseDelegate(std::static_pointer_cast<DZSlotAdResponseDelegate>(entry));
    slot->setAdUnitID(adUnitID);

    const auto copy = request ? request->copy() : std::make_shared<DZRequest>();
    copy->setOrigin(std::string(kOrigin));
    const core::Value eid = copy->threadSafeParameters()["eid"];
    if (const std::string* ids = eid.string()) {
        size_t start = 0;
        while (start <= ids->size()) {
            const size_t comma = ids->find(',', start);
            const size_t end = comma == std::string::npos ? ids->size() : comma;
            recorder->addExperimentID(std::string_view(*ids).substr(start, end - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    slot->loadRequest(copy);
    return entry;
}

DZInterstitialCacheEntry::~DZInterstitialCacheEntry() {
    auto recorder = std::move(timeRecorder_);
    if (!recorder) return;
    recorder->endTimingVariableWithName(kDiscardVariable);
    recorder->cancelTimingVariableWithName(kPopVariable);
    DZRunOnMainThread([recorder] { sendCSIPingForTimeRecorder(recorder); });
}

void DZInterstitialCacheEntry::sendCSIPingForTimeRecorder(
    const std::shared_ptr<DZCSITimeRecorder>& recorder) {
    if (!recorder) return;
    DZCSIReporter(DZCSIConfiguration::defaultConfiguration())
        .reportTimeRecorder(recorder, [](const auto&, const auto&) {});
}

void DZInterstitialCacheEntry::slotDidMoveToPlacement() {
    const auto self = shared_from_this();
    DZRunOnMainThread([self] {
        auto recorder = std::move(self->timeRecorder_);
        if (!recorder) return;
        recorder->endTimingVariableWithName(kPopVariable);
        recorder->cancelTimingVariableWithName(kDiscardVariable);
        sendCSIPingForTimeRecorder(recorder);
    });
}

std::optional<bool> DZInterstitialCacheEntry::shouldLoadRequest(DZSlot&,
                                                                const std::shared_ptr<DZRequest>&,
                                                                std::optional<Error>*) {
    return true;
}

void DZInterstitialCacheEntry::slotFinishedLoadingAdContent(DZSlot& slot) {
    if (&slot != slot_.get()) return;
    const auto self = shared_from_this();
    DZRunOnMainThread([self] {
        self->loaded_ = true;
        if (const auto& recorder = self->timeRecorder_) {
            recorder->endTimingVariableWithName(kLoadVariable);
            recorder->cancelTimingVariableWithName(kFailVariable);
        }
    });
}

void DZInterstitialCacheEntry::didFailToLoadAdContentWithError(DZSlot& slot, const Error& error) {
    if (&slot != slot_.get()) return;
    const auto self = shared_from_this();
    DZRunOnMainThread([self, error] {
        self->error_ = error;
        if (const auto& recorder = self->timeRecorder_) {
            recorder->endTimingVariableWithName(kFailVariable);
            recorder->cancelTimingVariableWithName(kLoadVariable);
        }
    });
}

bool DZInterstitialCacheEntry::shouldProcessAdResponse(DZSlot& slot,
                                                       const std::shared_ptr<DZAd>& ad,
                                                       std::optional<Error>* error) {
    if (&slot != slot_.get()) return true;
    return DZInterstitial::applicationSupportsAdResponse(ad, error);
}

void DZInterstitialCacheEntry::willProcessMediatedAdResponse(DZSlot& slot,
                                                             const std::shared_ptr<DZAd>& ad) {
    if (&slot != slot_.get() || !ad) return;
    ad->setMediationDelegate(std::static_pointer_cast<DZAdMediationDelegate>(shared_from_this()));
}

std::shared_ptr<DZMAdNetworkConnector> DZInterstitialCacheEntry::mediationConnectorForConfiguration(
    const std::shared_ptr<DZMConfig>& configuration,
    const std::shared_ptr<DZMAdNetworkConfig>& network) {
    return DZMAdNetworkConnectorInterstitial::create(configuration, network);
}

}  // namespace ads
