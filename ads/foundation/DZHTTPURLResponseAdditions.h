#pragma once
// How long an HTTP response may be reused, from its "Pragma", "Date",
// "Cache-Control" and "Expires" fields, and the HTTP date reader. Any
// thread; "now" is core::Clock's wall time.

#include <optional>
#include <string_view>

#include "core/HTTPURLResponse.h"
#include "core/Value.h"

namespace ads {

// nullopt when the response must not be reused: "Pragma: no-cache",
// "no-store", a "max-age" below 1, or no usable expiry. "max-age" counts
// from the "Date" field (now without one) and wins over "Expires"; an
// "Expires" date is taken relative to "Date". Directives ignore case.
[[nodiscard]] std::optional<core::Date> dz_expirationDate(const core::HTTPURLResponse& response);

// Reads RFC 1123 ("Sun, 06 Nov 1994 08:49:37 GMT"), asctime ("Sun Nov  6
// 08:49:37 1994", taken as GMT) and RFC 850 ("Sunday, 06-Nov-94 08:49:37
// GMT") dates, in that order.
[[nodiscard]] std::optional<core::Date> dz_dateFromHttpDateString(std::string_view text);

// The header fields as a dictionary of texts, each name as received (the
// first spelling of a repeated one) with the values of its fields joined by
// ", ".
[[nodiscard]] core::Dictionary dz_allHeaderFields(const core::HTTPURLResponse& response);

// The header fields as a dictionary of texts: each name as first received,
// with the values of every field of that name (in any case) joined by ", ".
[[nodiscard]] core::Dictionary dz_allHeaderFields(const core::HTTPURLResponse& response);

namespace DZHTTPURLResponseAdditions {
// Named by DZCategories::linkCategoriesAndClasses; does nothing.
void DZFileLinkAnchor();
}  // namespace DZHTTPURLResponseAdditions

}  // namespace ads
