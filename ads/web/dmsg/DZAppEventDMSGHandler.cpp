#include "ads/web/dmsg/DZAppEventDMSGHandler.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZAppEventDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"appEvent", action(&DZAppEventDMSGHandler::didReceiveAppEventNotification)},
    };
    return &table;
}

bool DZAppEventDMSGHandler::shouldBufferNotification(const DZNotification&,
                                                     const std::shared_ptr<DZAdView>&) {
    const auto slot = this->slot();
    return !slot || !slot->placement();
}

void DZAppEventDMSGHandler::didReceiveAppEventNotification(const std::shared_ptr<DZAdView>&,
                                                           const core::Dictionary& parameters) {
    const std::string* name = stringParameter(parameters, "name");
    const auto slot = this->slot();
    const auto delegate = slot ? slot->slotDelegate() : nullptr;
    if (!name || !delegate) return;
    const std::string* info = stringParameter(parameters, "info");
    delegate->didReceiveAppEvent(*slot, *name, info ? std::optional(*info) : std::nullopt);
}

}  // namespace ads
