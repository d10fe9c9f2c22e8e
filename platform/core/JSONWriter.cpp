#include "core/JSONWriter.h"

#include "core/Unicode.h"

#include <array>
#include <cmath>

#include "core/NumberText.h"

namespace core {

namespace {

// The escape written for each byte; empty for bytes written as they are.
constexpr std::array<std::string_view, 256> makeEscapes() {
    std::array<std::string_view, 256> escapes{};
    constexpr std::string_view kControl[32] = {
        "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
        "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
        "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
        "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f"};
    for (size_t i = 0; i < 32; ++i) escapes[i] = kControl[i];
    escapes['"'] = "\\\"";
    escapes['\\'] = "\\\\";
    escapes['/'] = "\\/";
    escapes[0x7F] = {};
    return escapes;
}

constexpr std::array<std::string_view, 256> kEscapes = makeEscapes();

}  // namespace

bool JSONWriter::write(const Value& value) {
    return writeValue(value, 0);
}

bool JSONWriter::writeValue(const Value& value, size_t depth) {
    switch (value.kind()) {
        case Value::Kind::Null:
            out_ += "null";
            return true;
        case Value::Kind::Bool:
            out_ += value.boolValue() ? "true" : "false";
            return true;
        case Value::Kind::Integer:
            NumberText::appendInteger(out_, value.intValue(), value.isUnsigned());
            return true;
        case Value::Kind::Double:
            return writeDouble(value.doubleValue());
        case Value::Kind::String:
            return writeString(*value.string());
        case Value::Kind::Array:
            return writeArray(*value.array(), depth);
        case Value::Kind::Dictionary:
            return writeDictionary(*value.dictionary(), depth);
        case Value::Kind::Data:
            return fail("Invalid type in JSON write (data)");
        case Value::Kind::Date:
            return fail("Invalid type in JSON write (date)");
    }
    return fail("Invalid type in JSON write");
}

bool JSONWriter::writeArray(const Array& array, size_t depth) {
    if (depth >= JSON::kMaxSupportedDepth) return fail("Value nested too deep for JSON write");
    out_ += '[';
    bool first = true;
    for (const Value& element : array) {
        if (!first) out_ += ',';
        first = false;
        newline(depth + 1);
        if (!writeValue(element, depth + 1)) return false;
    }
    if (!array.empty()) newline(depth);
    out_ += ']';
    return true;
}

bool JSONWriter::writeDictionary(const Dictionary& dictionary, size_t depth) {
    if (depth >= JSON::kMaxSupportedDepth) return fail("Value nested too deep for JSON write");
    out_ += '{';
    bool first = true;
    for (const auto& [key, element] : dictionary) {
        if (!first) out_ += ',';
        first = false;
        newline(depth + 1);
        if (!writeString(key)) return false;
        out_ += style_ == JSONStyle::Pretty ? " : " : ":";
        if (!writeValue(element, depth + 1)) return false;
    }
    if (!dictionary.empty()) newline(depth);
    out_ += '}';
    return true;
}

bool JSONWriter::writeDouble(double value) {
    if (std::isnan(value)) return fail("Invalid number value (NaN) in JSON write");
    if (std::isinf(value)) return fail("Invalid number value (infinite) in JSON write");
    // "-0" would read back as the integer 0: keep the sign and the kind.
    if (value == 0 && std::signbit(value)) {
        out_ += "-0.0";
        return true;
    }
    NumberText::appendDouble(out_, value);
    return true;
}

bool JSONWriter::writeString(std::string_view text) {
    // Not simdjson's validator: saves may run while the process exits, after
    // simdjson's implementation singletons are gone.
    if (!Unicode::isValidUTF8(text)) {
        return fail("Invalid UTF-8 in a string in JSON write");
    }
    out_ += '"';
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const std::string_view escape = kEscapes[static_cast<unsigned char>(text[i])];
        if (escape.empty()) continue;
        out_.append(text.data() + runStart, i - runStart);
        out_ += escape;
        runStart = i + 1;
    }
    out_.append(text.data() + runStart, text.size() - runStart);
    out_ += '"';
    return true;
}

void JSONWriter::newline(size_t depth) {
    if (style_ != JSONStyle::Pretty) return;
    out_ += '\n';
    out_.append(2 * depth, ' ');
}

bool JSONWriter::fail(std::string message) {
    error_ = JSONError{std::move(message), 0};
    return false;
}

}  // namespace core
