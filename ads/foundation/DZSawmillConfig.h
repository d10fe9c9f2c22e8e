#pragma once
// The sawmill event-log settings, read from the server constant
// "/dozuza/ads/dzads:sawmill_config" each time a config is made. No config
// exists unless the stored value is a dictionary; then sawmill logging is off.
// A value type; create() is safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZSawmillConfig {
public:
    static constexpr std::string_view kUserDefaultsKey = "/dozuza/ads/dzads:sawmill_config";
    static constexpr double kDefaultBeaconInterval = 60.0;
    static constexpr std::int64_t kDefaultMaxBufferedCommandSize = 100;

    // Reads the standard user defaults; nullopt when the value is absent or
    // not a dictionary.
    [[nodiscard]] static std::optional<DZSawmillConfig> create();
    // The config a stored value describes; nullopt unless it is a dictionary.
    [[nodiscard]] static std::optional<DZSawmillConfig> fromValue(const core::Value& stored);

    bool enabled = false;
    // Seconds between beacons, as stored (the beacon timer replaces a
    // non-positive interval by the default).
    double beaconInterval = kDefaultBeaconInterval;
    bool useJSCore = false;
    std::optional<std::string> version;
    std::optional<core::URL> scriptURL;
    std::optional<core::URL> baseURL;
    std::int64_t maxBufferedCommandSize = kDefaultMaxBufferedCommandSize;
    std::string JSConfig;
};

}  // namespace ads
