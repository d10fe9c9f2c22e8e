#pragma once
// Which URLs come from the ad servers: those whose host is in one of the
// ad-server domains. The server constant "/dozuza/ads/as_domains" lists the
// domains separated by ","; when it is missing, not text or names no domain,
// the built-in list holds. Reads the standard user defaults; any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/URL.h"

namespace ads {

inline constexpr std::string_view kDZAdServerDomainsKey = "/dozuza/ads/as_domains";

// The domains in force, without blanks around them or empty entries.
[[nodiscard]] std::vector<std::string> DZAdServerDomains();

[[nodiscard]] bool DZIsAdServerURL(const std::optional<core::URL>& url);

}  // namespace ads
