#pragma once
// A parsed mediation response: the ad unit it belongs to, the response's
// JSON object as it came, and its refresh interval ("settings" "refresh",
// seconds as a number or a numeric text; 30000 and above, or anything that
// is no number, mean no refresh).
//
// Only as much as a slot needs to hand a response on: the network list
// and the per-network settings are read by the mediation waterfall when it
// is built. Immutable; any thread.

#include <memory>
#include <string>

#include "ads/core/request/DZError.h"
#include "core/Value.h"

namespace ads {

class DZMConfig {
public:
    static constexpr double kRefreshBound = 30000.0;

    // nullptr and SDK error 7 unless configDict is a JSON object.
    [[nodiscard]] static std::shared_ptr<DZMConfig>
    initWithAppKey(std::string appKey, const core::Value& configDict, Error* error);

    [[nodiscard]] const std::string& appKey() const { return appKey_; }
    [[nodiscard]] const core::Dictionary& configDict() const { return configDict_; }
    [[nodiscard]] double refreshInterval() const { return refreshInterval_; }

private:
    DZMConfig(std::string appKey, core::Dictionary configDict, double refreshInterval)
        : appKey_(std::move(appKey)), configDict_(std::move(configDict)),
          refreshInterval_(refreshInterval) {}

    const std::string appKey_;
    const core::Dictionary configDict_;
    const double refreshInterval_;
};

}  // namespace ads
