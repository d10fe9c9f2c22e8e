#pragma once
// Builders of sawmill events: one-entry dictionaries {name: parameters}.
// Pure; any thread.

#include <optional>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "core/Value.h"

namespace ads {

// {name: parameters}; nullopt for an empty name or parameters that are not
// a dictionary.
[[nodiscard]] std::optional<core::Dictionary> DZSawmillEvent(std::string_view name,
                                                             const core::Value& parameters);

// {name: {flag: 1}}; nullopt for an empty name or no flag.
[[nodiscard]] std::optional<core::Dictionary>
DZSawmillFlagEvent(std::string_view name, std::optional<std::string_view> flag);

// {"error_code": code, "error_message": message}.
[[nodiscard]] core::Dictionary DZSawmillErrorParameters(const Error& error);

}  // namespace ads
