#pragma once
// Percent-encoding of UTF-8 text (RFC 3986 section 2.1), the way URL parts
// are escaped and unescaped across the system. Pure functions, any thread.

#include <optional>
#include <string>
#include <string_view>

#include "core/CharacterSet.h"

namespace core {

// Every byte of each character outside `allowed` becomes "%XX" (uppercase
// hex). An ill-formed UTF-8 sequence is encoded as U+FFFD would be.
[[nodiscard]] std::string percentEncode(std::string_view text, const CharacterSet& allowed);

// nullopt when a "%" is not followed by two hex digits or the decoded bytes
// are not valid UTF-8.
[[nodiscard]] std::optional<std::string> percentDecode(std::string_view text);

}  // namespace core
