#pragma once
// Walks a JSON text byte by byte to name its first fault and where it is.
// The fast parser only says that a text is bad; JSON::parse runs this scanner
// on the texts it refuses, to give the error its message and byte position.
// The scanner also lists integers too wide for 64 bits, which are valid JSON
// that the fast parser refuses. One scanner per call; no shared state.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/JSON.h"

namespace core {

class JSONScanner {
public:
    JSONScanner(std::string_view text, const JSONReadOptions& options);

    // The first fault in reading order, or nullopt when the text is valid.
    [[nodiscard]] std::optional<JSONError> firstError();
    // End offsets of the integer literals that fit neither int64 nor uint64,
    // in text order; filled by firstError().
    [[nodiscard]] const std::vector<size_t>& wideIntegerEnds() const { return wideIntegerEnds_; }

private:
    enum class State { Value, FirstKey, Key, AfterValue };

    [[nodiscard]] std::optional<JSONError> scanValue(State& state);
    [[nodiscard]] std::optional<JSONError> scanAfterValue(State& state);
    [[nodiscard]] std::optional<JSONError> scanKey(State& state, bool first);
    [[nodiscard]] std::optional<JSONError> scanString();
    [[nodiscard]] std::optional<JSONError> scanEscape();
    [[nodiscard]] std::optional<JSONError> scanNumber();
    [[nodiscard]] std::optional<JSONError> scanLiteral(std::string_view word);
    [[nodiscard]] std::optional<JSONError> unexpected(const char* expected) const;
    [[nodiscard]] JSONError fault(std::string message, size_t position) const;
    [[nodiscard]] bool atEnd() const { return position_ >= text_.size(); }
    void skipWhitespace();

    std::string_view text_;
    JSONReadOptions options_;
    size_t position_ = 0;
    std::vector<char> open_;  // '[' or '{' per open container
    std::vector<size_t> wideIntegerEnds_;
};

}  // namespace core
