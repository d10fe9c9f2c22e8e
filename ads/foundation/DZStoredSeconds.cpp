#include "ads/foundation/DZStoredSeconds.h"

#include <cmath>

#include "core/UserDefaults.h"

namespace ads {

std::optional<double> DZStoredSeconds(std::string_view key, double maximum) {
    const core::Value stored = core::UserDefaults::standard()->objectForKey(key);
    double seconds = 0;
    if (stored.isString()) {
        if (stored.stringValue().empty()) return std::nullopt;
        seconds = stored.doubleValue();
    } else if (stored.isNumber()) {
        seconds = stored.doubleValue();
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(seconds) || seconds < 0 || seconds > maximum) return std::nullopt;
    return seconds;
}

}  // namespace ads
