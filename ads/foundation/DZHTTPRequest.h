#pragma once
// The request every SDK fetch and ping starts from. Pure; any thread.

#include <optional>
#include <string>
#include <string_view>

#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

// A GET of the URL with the given header fields (text values; others are
// skipped) and then the SDK's User-Agent (DZUserAgent), which replaces a
// given one unless it is empty. Only with both a body and a content type it
// becomes a POST of the body with "Content-Length" and "Content-Type". Time-out
// and caching stay the session's defaults. nullopt without a URL.
[[nodiscard]] std::optional<core::URLRequest> DZMakeURLRequest(
    const std::optional<core::URL>& url, const std::optional<core::Data>& body,
    const std::optional<core::Dictionary>& headerFields,
    std::optional<std::string_view> contentType);

}  // namespace ads
