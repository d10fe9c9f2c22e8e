#pragma once
// Query parameters of the SDK's URLs: escaping values, appending parameters
// while a click's destination ("adurl=") stays last, and reading them back.
// Pure functions; any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/URL.h"
#include "core/Value.h"

namespace ads {

// Escapes the UTF-8 bytes of every character except ASCII letters, digits
// and "-._~" as "%XX".
[[nodiscard]] std::string DZPercentEscapedString(std::string_view text);

// Appends "key=value" to the URL's query for each entry in the dictionary's
// order; keys go in as they are, values as their escaped description, and
// an empty value leaves the bare key. The parameters go before the query's
// first "adurl=" parameter (which stays last with everything after it
// untouched, a "#" in it included), else at the end of the query, before
// the fragment. A bare "?" or a query ending in "&" gets no second
// separator. An empty dictionary answers the URL itself; nullopt when there
// is no URL or the result does not parse.
[[nodiscard]] std::optional<core::URL> DZURLByAddingQueryParameters(
    const std::optional<core::URL>& url, const core::Dictionary& parameters);

// The query's "key=value" pieces, split at "&" and ";", unescaped (a "+"
// stays a "+"); pieces without exactly one "=" or that do not unescape are
// skipped, and a later key wins. With lowercaseKeys the keys are lowercased.
[[nodiscard]] core::Dictionary DZQueryDictionaryFromURL(const std::optional<core::URL>& url,
                                                        bool lowercaseKeys);

// The unescaped values of the "&"-separated pieces whose name is exactly key,
// in order; nullopt without a key or when there are none.
[[nodiscard]] std::optional<std::vector<std::string>> DZQueryValuesForKey(
    const std::optional<core::URL>& url, std::optional<std::string_view> key);
[[nodiscard]] std::optional<std::string> DZQueryValueForKey(const std::optional<core::URL>& url,
                                                            std::optional<std::string_view> key);

}  // namespace ads
