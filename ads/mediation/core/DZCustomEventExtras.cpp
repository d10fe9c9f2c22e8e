#include "ads/mediation/core/DZCustomEventExtras.h"

#include "ads/foundation/DZLogger.h"

namespace ads {

void DZCustomEventExtras::setExtras(const core::Dictionary& extras,
                                    const std::optional<std::string>& label) {
    if (!label) {
        DZLogger::sharedInstance().logPublicMessage("Must specify a label for extras.");
        return;
    }
    extras_.set(*label, extras);
}

std::optional<core::Dictionary>
DZCustomEventExtras::extrasForLabel(const std::string& label) const {
    const core::Dictionary* found = extras_[label].dictionary();
    return found ? std::optional(*found) : std::nullopt;
}

}  // namespace ads
