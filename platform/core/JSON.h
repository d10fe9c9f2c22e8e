#pragma once
// JSON text <-> core::Value. Parsing goes through simdjson; writing is our
// own: compact or pretty, integral doubles without ".0", "/" escaped as "\/".
// Bad input never crashes: it yields an error with the byte position.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace core {

struct JSONError {
    std::string message;
    size_t position = 0;  // byte offset into the input; 0 for writer errors
};

struct JSONReadOptions {
    // Accept a bare string, number, bool or null at top level.
    bool allowFragments = false;
    // Deeper documents are refused.
    size_t maxDepth = 512;
};

enum class JSONStyle { Compact, Pretty };

class JSON {
public:
    [[nodiscard]] static std::optional<Value> parse(std::string_view text,
                                                    const JSONReadOptions& options = {},
                                                    JSONError* error = nullptr);
    // Refuses NaN, infinities, data and dates (JSON has no form for them).
    [[nodiscard]] static std::optional<std::string> write(const Value& value,
                                                          JSONStyle style = JSONStyle::Compact,
                                                          JSONError* error = nullptr);
};

}  // namespace core
