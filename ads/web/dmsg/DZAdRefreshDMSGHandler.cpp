#include "ads/web/dmsg/DZAdRefreshDMSGHandler.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/presentation/click/DZOpener.h"
#include "core/UserDefaults.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZAdRefreshDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"refresh", action(&DZAdRefreshDMSGHandler::didReceiveRefreshAction)},
    };
    return &table;
}

void DZAdRefreshDMSGHandler::didReceiveRefreshAction(const std::shared_ptr<DZAdView>&,
                                                     const core::Dictionary& parameters) {
    if (core::UserDefaults::standard()->boolForKey(kProtectionKey)) return;
    const std::string* action = stringParameter(parameters, "action");
    const auto slot = opener_ ? opener_->slot() : nullptr;
    if (!action || !slot) return;
    if (*action == "pause") {
        slot->setReloadable(false);
        slot->deactivateReloadTimer();
    } else if (*action == "resume") {
        slot->setReloadable(true);
        slot->scheduleAdReloadTimer();
    }
}

}  // namespace ads
