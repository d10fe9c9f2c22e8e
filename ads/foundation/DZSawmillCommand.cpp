#include "ads/foundation/DZSawmillCommand.h"

#include "ads/foundation/DZClock.h"

namespace ads {

std::optional<core::Dictionary> DZSawmillCommand(std::string_view sawmillID,
                                                 const core::Dictionary& params) {
    if (sawmillID.empty() || params.empty()) return std::nullopt;
    return core::Dictionary{
        {"id", std::string(sawmillID)},
        {"params", params},
        {"awake_timeinterval_since_boot_sec",
         static_cast<double>(DZMonotonicMilliseconds()) / 1000.0},
        {"timeinterval_since_boot_sec", DZSecondsSinceBoot()},
    };
}

core::Dictionary DZSawmillBeaconCommand(double interval) {
    return core::Dictionary{{"beacon", core::Dictionary{{"time_interval_sec", interval}}}};
}

}  // namespace ads
