#pragma once
// JSON text <-> core::Value. Parsing goes through simdjson; writing is our
// own: compact or pretty, integral doubles without ".0", "/" escaped as "\/".
// Bad input never crashes: it yields an error with the byte position.
//
// Reading: integers that fit int64 become signed integers, larger ones up to
// UINT64_MAX unsigned integers, wider ones doubles; numbers with a fraction
// or exponent are doubles, and those beyond the double range (1e400) are
// errors. Objects keep their key order; a repeated key keeps its first
// position and its last value. Both functions are safe on any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace core {

struct JSONError {
    std::string message;
    // Byte offset into the input of the offending byte (the start of an
    // ill-formed UTF-8 sequence, of a bad escape or number, the container
    // opened too deep, or the end for truncated text); 0 for writer errors.
    size_t position = 0;
};

struct JSONReadOptions {
    // Accept a bare string, number, bool or null at top level.
    bool allowFragments = false;
    // Deeper documents are refused: 512 nested arrays or objects pass, 513
    // do not. Limits above JSON::kMaxSupportedDepth count as that.
    size_t maxDepth = 512;
};

enum class JSONStyle { Compact, Pretty };

class JSON {
public:
    // The deepest nesting read or written: values nested deeper would not
    // fit the thread's stack when written or destroyed.
    static constexpr size_t kMaxSupportedDepth = 1024;

    [[nodiscard]] static std::optional<Value> parse(std::string_view text,
                                                    const JSONReadOptions& options = {},
                                                    JSONError* error = nullptr);
    // Refuses NaN, infinities, data, dates (JSON has no form for them), text
    // that is not valid UTF-8 and nesting deeper than kMaxSupportedDepth. A top-level scalar is
    // written as a bare fragment ("3", "\"text\"").
    [[nodiscard]] static std::optional<std::string> write(const Value& value,
                                                          JSONStyle style = JSONStyle::Compact,
                                                          JSONError* error = nullptr);
};

}  // namespace core
