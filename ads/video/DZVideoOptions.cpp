#include "ads/video/DZVideoOptions.h"

#include "ads/foundation/DZValueHelpers.h"

namespace ads {

std::optional<core::Dictionary> DZVideoOptions::requestParameters() const {
    return core::Dictionary{{"video", core::Dictionary{{"startMuted", DZStringFromBool(startMuted_)}}}};
}

}  // namespace ads
