#pragma once
// Writes a core::Value as JSON text, compact or pretty. Pretty output
// indents by two spaces, puts each element on its own line and writes
// `"key" : value`; empty containers stay "[]" and "{}". Integral doubles
// have no ".0", "/" is escaped as "\/", other text is written as UTF-8.
// A writer is used by one thread for one value.

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
    [[nodiscard]] std::string take() {
        flush();
        return std::move(out_);
    }
    [[nodiscard]] const JSONError& error() const { return error_; }

private:
    static constexpr size_t kInitialCapacity = 256;
    // Text goes through a small buffer of the writer's own on its way to
    // out_, so short pieces cost no call into std::string; kSlack bytes at
    // its end take any one piece put after a check for room.
    static constexpr size_t kStageSize = 512;
    static constexpr size_t kSlack = 32;

    [[nodiscard]] bool writeValue(const Value& value, size_t depth);
    [[nodiscard]] bool writeArray(const Array& array, size_t depth);
    [[nodiscard]] bool writeDictionary(const Dictionary& dictionary, size_t depth);
    [[nodiscard]] bool writeDouble(double value);
    [[nodiscard]] bool writeString(std::string_view text);
    void newline(size_t depth);
    [[nodiscard]] bool fail(std::string message);

    void roomFor(size_t bytes) {
        if (staged_ + bytes > kStageSize) flush();
    }
    void put(char c) {
        roomFor(1);
        stage_[staged_++] = c;
    }
    void put(std::string_view text);
    void flush();

    JSONStyle style_;
    std::string out_;
    JSONError error_;
    size_t staged_ = 0;
    char stage_[kStageSize];
};

}  // namespace core
