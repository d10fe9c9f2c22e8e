#include "ads/foundation/DZSawmillEvent.h"

#include <string>

namespace ads {

std::optional<core::Dictionary> DZSawmillEvent(std::string_view name,
                                               const core::Value& parameters) {
    if (name.empty() || !parameters.dictionary()) return std::nullopt;
    return core::Dictionary{{std::string(name), parameters}};
}

std::optional<core::Dictionary> DZSawmillFlagEvent(std::string_view name,
                                                   std::optional<std::string_view> flag) {
    if (name.empty() || !flag) return std::nullopt;
    return core::Dictionary{{std::string(name), core::Dictionary{{std::string(*flag), 1}}}};
}

core::Dictionary DZSawmillErrorParameters(const Error& error) {
    return core::Dictionary{{"error_code", error.code}, {"error_message", error.message}};
}

}  // namespace ads
