#include "ads/mediation/DZMConfig.h"

#include "ads/foundation/DZValueHelpers.h"

namespace ads {

std::shared_ptr<DZMConfig> DZMConfig::initWithAppKey(std::string appKey,
                                                     const core::Value& configDict, Error* error) {
    const core::Dictionary* entries = configDict.dictionary();
    if (!entries) {
        if (error) {
            *error = DZErrorWithCodeDescription(kDZErrorMediationDataError,
                                                "Mediation response is not a JSON object.");
        }
        return nullptr;
    }
    double refresh = 0;
    if (const core::Dictionary* settings = (*entries)["settings"].dictionary()) {
        const auto seconds = DZNumericValue((*settings)["refresh"]);
        if (seconds && *seconds < kRefreshBound) refresh = *seconds;
    }
    return std::shared_ptr<DZMConfig>(new DZMConfig(std::move(appKey), *entries, refresh));
}

}  // namespace ads
