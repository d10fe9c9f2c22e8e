#include "ads/core/request/ZODBannerViewOptions.h"

namespace ads {

std::optional<core::Dictionary> ZODBannerViewOptions::requestParameters() const {
    if (!enableManualImpressions_) return std::nullopt;
    return core::Dictionary{{"d_imp_hdr", "1"}};
}

}  // namespace ads
