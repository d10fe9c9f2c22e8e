#include "ads/presentation/fullscreen/DZAdAppAdViewDelegate.h"

#include "ads/core/request/DZAdType.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/web/dmsg/DZAdAppDMSGHandler.h"
#include "ads/web/dmsg/DZAppEventDMSGHandler.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

std::shared_ptr<DZStatisticDictionary> adStatistics(const std::shared_ptr<DZSlot>& slot) {
    return slot && slot->ad() ? slot->ad()->statistics() : nullptr;
}

core::Value now() {
    return core::Value(static_cast<unsigned long long>(DZMonotonicMilliseconds()));
}

}  // namespace

std::shared_ptr<DZAdAppAdViewDelegate>
DZAdAppAdViewDelegate::create(const std::shared_ptr<DZAdAppViewController>& controller) {
    return std::make_shared<DZAdAppAdViewDelegate>(controller);
}

DZAdAppAdViewDelegate::DZAdAppAdViewDelegate(
    const std::shared_ptr<DZAdAppViewController>& controller)
    : controller_(controller) {
    addDMSGHandler(std::make_shared<DZAdAppDMSGHandler>());
    const auto slot = controller ? controller->slot() : nullptr;
    if (slot && slot->adType() && slot->adType()->isInterstitial())
        addDMSGHandler(std::make_shared<DZAppEventDMSGHandler>(slot));
}

std::shared_ptr<DZSlot> DZAdAppAdViewDelegate::slot() const {
    const auto controller = controller_.lock();
    return controller ? controller->slot() : nullptr;
}

bool DZAdAppAdViewDelegate::shouldStartLoadWithRequest(DZAdView& adView,
                                                       const core::URLRequest& request,
                                                       long navigationType) {
    if (navigationType == 0 &&
        core::UserDefaults::standard()->stringForKey(kDisableClickPingOnClickNavigationKey) !=
            std::optional<std::string>("1")) {
        std::weak_ptr<DZSlot> weakSlot = slot();
        core::Queue::main()->async([weakSlot] {
            if (const auto slot = weakSlot.lock()) slot->pingClickURLs();
        });
    }
    return DZAdViewDelegate::shouldStartLoadWithRequest(adView, request, navigationType);
}

void DZAdAppAdViewDelegate::adViewDidStartLoad(DZAdView& adView) {
    if (const auto statistics = adStatistics(slot())) {
        if (statistics->objectForKeyedSubscript("tlanding_page_load_start").isNull())
            statistics->setObject(now(), "tlanding_page_load_start", true);
    }
    DZAdViewDelegate::adViewDidStartLoad(adView);
}

void DZAdAppAdViewDelegate::adViewDidFinishLoad(DZAdView& adView) {
    if (const auto statistics = adStatistics(slot()))
        statistics->setObject(now(), "tlanding_page_load_end", true);
    DZAdViewDelegate::adViewDidFinishLoad(adView);
}

std::shared_ptr<DZCSI> DZAdAppAdViewDelegate::CSIForDMSGHandler() {
    const auto slot = this->slot();
    return slot ? slot->CSI() : nullptr;
}

}  // namespace ads
