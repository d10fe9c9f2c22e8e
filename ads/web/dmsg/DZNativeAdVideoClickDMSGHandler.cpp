#include "ads/web/dmsg/DZNativeAdVideoClickDMSGHandler.h"

#include "ads/web/view/DZAdView.h"
#include "core/NotificationCenter.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZNativeAdVideoClickDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"videoClicked", action(&DZNativeAdVideoClickDMSGHandler::didReceiveClickNotification)},
    };
    return &table;
}

void DZNativeAdVideoClickDMSGHandler::didReceiveClickNotification(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    core::NotificationCenter::defaultCenter().post(kVideoClickNotification, adView.get(),
                                                   core::Value(parameters));
}

}  // namespace ads
