#pragma once
// URLs in bulk: lists of URLs from texts and back, and matching a URL
// against regular-expression patterns (tracking and click rules from the
// server). Pure functions; any thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Regex.h"
#include "core/URL.h"

namespace ads {

// The URLs of the texts that parse, in order; nullopt when none does.
[[nodiscard]] std::optional<std::vector<core::URL>> DZURLArrayFromStrings(
    const std::vector<std::string>& strings);
// Their absolute texts, in order; nullopt for no URLs.
[[nodiscard]] std::optional<std::vector<std::string>> DZStringsFromURLs(
    const std::vector<core::URL>& urls);
// The text split at spaces and tabs (no line breaks); the pieces that parse
// as URLs, in order; nullopt when none does.
[[nodiscard]] std::optional<std::vector<core::URL>> DZURLsFromWhitespaceSeparatedString(
    std::optional<std::string_view> text);

// True when some pattern, compiled case-insensitively, matches anywhere in
// the URL's absolute text; patterns that do not compile are skipped.
[[nodiscard]] bool DZURLMatchesAnyPattern(const std::optional<core::URL>& url,
                                          const std::vector<std::string>& patterns);
// The compiled expression (no options), or nullptr when it does not compile.
[[nodiscard]] std::shared_ptr<core::Regex> DZRegularExpressionWithPattern(
    std::optional<std::string_view> pattern);

}  // namespace ads
