#include "ads/web/dmsg/DZDelayPageCloseDMSGHandler.h"

#include "ads/web/view/DZAdView.h"
#include "core/NotificationCenter.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZDelayPageCloseDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"delayPageClosed", action(&DZDelayPageCloseDMSGHandler::didReceiveDelayPageCloseAction)},
    };
    return &table;
}

bool DZDelayPageCloseDMSGHandler::shouldBufferNotification(
    const DZNotification&, const std::shared_ptr<DZAdView>& adView) {
    return !adView || !adView->attachedToPlacement();
}

void DZDelayPageCloseDMSGHandler::didReceiveDelayPageCloseAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    auto& center = core::NotificationCenter::defaultCenter();
    const auto isTrue = [&](std::string_view key) {
        const core::Value* value = parameters.find(key);
        return value && value->boolValue();
    };
    if (isTrue("start")) center.post(kStartNotification, adView.get());
    if (isTrue("stop")) center.post(kStopNotification, adView.get());
}

}  // namespace ads
