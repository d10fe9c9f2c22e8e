#pragma once
// Writes a core::Value as JSON text, compact or pretty. Pretty output
// indents by two spaces, puts each element on its own line and writes
// `"key" : value`; empty containers stay "[]" and "{}". Integral doubles
// have no ".0", "/" is escaped as "\/", other text is written as UTF-8.
// A writer is used by one thread for one value.

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/JSON.h"

namespace core {

class JSONWriter {
public:
    explicit JSONWriter(JSONStyle style) : style_(style) {}

    // Appends the value's text; false with error() set when the value has
    // no JSON form (NaN, infinities, data, dates, invalid UTF-8 text, or
    // nesting deeper than JSON::kMaxSupportedDepth).
    [[nodiscard]] bool write(const Value& value);
    [[nodiscard]] std::string take();
    [[nodiscard]] const JSONError& error() const { return error_; }

private:
    static constexpr size_t kInitialCapacity = 256;
    // Room asked before a number or an escape: more than any one of them needs.
    static constexpr size_t kSlack = 32;

    [[nodiscard]] bool writeValue(const Value& value, size_t depth);
    [[nodiscard]] bool writeArray(const Array& array, size_t depth);
    [[nodiscard]] bool writeDictionary(const Dictionary& dictionary, size_t depth);
    [[nodiscard]] bool writeDouble(double value);
    [[nodiscard]] bool writeString(const std::string& text);
    void newline(size_t depth);
    [[nodiscard]] bool fail(std::string message);

    // Text is written straight into a buffer of its own, grown by realloc
    // (large blocks move without a copy, nothing is zero-filled); at_ is
    // where the next byte goes. Returns at_ with `bytes` of room.
    char* roomFor(size_t bytes) {
        if (static_cast<size_t>(end_ - at_) < bytes) grow(bytes);
        return at_;
    }
    void grow(size_t bytes);
    void put(char c) {
        *roomFor(1) = c;
        ++at_;
    }
    void put(std::string_view text) {
        std::memcpy(roomFor(text.size()), text.data(), text.size());
        at_ += text.size();
    }

    JSONStyle style_;
    struct Free {
        void operator()(char* bytes) const { std::free(bytes); }
    };
    std::unique_ptr<char, Free> buffer_;
    char* at_ = nullptr;
    char* end_ = nullptr;
    JSONError error_;
};

}  // namespace core
