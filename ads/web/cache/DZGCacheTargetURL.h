#pragma once
// gcache URLs name a resource that the SDK core page keeps in its own
// cache: scheme "gcache" (exactly, in lower case) and the real address in
// the query parameter "url". Pure; any thread.

#include <optional>

#include "core/URL.h"

namespace ads {

inline constexpr std::string_view kDZGCacheURLScheme = "gcache";

// Whether the URL's scheme is exactly "gcache" ("GCACHE" is not).
[[nodiscard]] bool DZIsGCacheURL(const core::URL& url);

// The first "url" query value of a gcache URL, unescaped, as a URL; nullopt
// for another scheme, without the parameter, or when it is not a URL.
[[nodiscard]] std::optional<core::URL> DZGCacheTargetURL(const core::URL& url);

}  // namespace ads
