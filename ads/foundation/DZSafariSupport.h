#pragma once
// Whether a URL may open in the in-app browser: its scheme, lowercased, must
// be in the server's list "/dozuza/ads/dzads:safariviewcontroller_supported_schemes"
// (["http", "https"] when the user defaults hold no such list). Any thread.

#include <optional>
#include <string_view>

#include "core/URL.h"

namespace ads {

inline constexpr std::string_view kDZSafariSupportedSchemesKey =
    "/dozuza/ads/dzads:safariviewcontroller_supported_schemes";

[[nodiscard]] bool DZSafariViewControllerSupportsURL(const std::optional<core::URL>& url);

}  // namespace ads
