#include "core/JSONWriter.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Bytes that need a look: escapes and the lead bytes of multi-byte UTF-8.
bool needsLook(unsigned char byte) {
    return byte >= 0x80 || !kEscapes[byte].empty();
}

// The length of the well-formed UTF-8 sequence (RFC 3629: no overlong
// forms, no surrogates, nothing past U+10FFFF) that starts with a byte of
// 0x80 or more at `at`; 0 when it is ill-formed.
size_t sequenceLength(const unsigned char* at, size_t left) {
    const unsigned char lead = at[0];
    const auto continues = [&](size_t i, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return i < left && at[i] >= low && at[i] <= high;
    };
    if (lead >= 0xC2 && lead <= 0xDF) return continues(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return continues(1, low, high) && continues(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return continues(1, low, high) && continues(2) && continues(3) ? 4 : 0;
    }
    return 0;
}

#if defined(__SSE2__)
// A bit for each of the 16 bytes that needs a look. A signed compare below
// 0x20 catches the controls and every byte of 0x80 or more at once.
int lookMask(__m128i chunk) {
    const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(chunk, _mm_set1_epi8(0x20)),
                                                      _mm_cmpeq_epi8(chunk, _mm_set1_epi8('"'))),
                                         _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\\')),
                                                      _mm_cmpeq_epi8(chunk, _mm_set1_epi8('/'))));
    return _mm_movemask_epi8(special);
}
#endif

}  // namespace

bool JSONWriter::write(const Value& value) {
    if (out_.capacity() < kInitialCapacity) out_.reserve(kInitialCapacity);
    const bool written = writeValue(value, 0);
    flush();
    return written;
}

void JSONWriter::put(std::string_view text) {
    if (text.size() > kSlack) {
        flush();
        out_.append(text);
        return;
    }
    roomFor(text.size());
    std::memcpy(stage_ + staged_, text.data(), text.size());
    staged_ += text.size();
}

void JSONWriter::flush() {
    out_.append(stage_, staged_);
    staged_ = 0;
}

bool JSONWriter::writeValue(const Value& value, size_t depth) {
    switch (value.kind()) {
    case Value::Kind::Null:
        put("null");
        return true;
    case Value::Kind::Bool:
        put(value.boolValue() ? "true" : "false");
        return true;
    case Value::Kind::Integer: {
        roomFor(kSlack);
        char* at = stage_ + staged_;
        const auto written =
            value.isUnsigned()
                ? std::to_chars(at, at + kSlack, static_cast<std::uint64_t>(value.intValue()))
                : std::to_chars(at, at + kSlack, value.intValue());
        staged_ = static_cast<size_t>(written.ptr - stage_);
        return true;
    }
    case Value::Kind::Double:
        flush();
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
    put('[');
    bool first = true;
    for (const Value& element : array) {
        if (!first) put(',');
        first = false;
        newline(depth + 1);
        if (!writeValue(element, depth + 1)) return false;
    }
    if (!array.empty()) newline(depth);
    put(']');
    return true;
}

bool JSONWriter::writeDictionary(const Dictionary& dictionary, size_t depth) {
    if (depth >= JSON::kMaxSupportedDepth) return fail("Value nested too deep for JSON write");
    put('{');
    bool first = true;
    for (const auto& [key, element] : dictionary) {
        if (!first) put(',');
        first = false;
        newline(depth + 1);
        if (!writeString(key)) return false;
        if (style_ == JSONStyle::Pretty) {
            put(" : ");
        } else {
            put(':');
        }
        if (!writeValue(element, depth + 1)) return false;
    }
    if (!dictionary.empty()) newline(depth);
    put('}');
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
    // Runs that need no escape are copied 16 bytes at a time; multi-byte
    // sequences are checked as they are met, so the text is read once. (Not
    // simdjson's validator: saves may run while the process exits, after
    // simdjson's implementation singletons are gone.)
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    put('"');
    size_t i = 0;
    while (i < size) {
        // Room for a chunk and the piece after it.
        roomFor(kSlack);
        char* stage = stage_ + staged_;
#if defined(__SSE2__)
        if (i + 16 <= size) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(stage), chunk);
            const int mask = lookMask(chunk);
            const size_t plain =
                mask == 0 ? 16 : static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
            staged_ += plain;
            i += plain;
            if (plain == 16) continue;
        } else
#endif
        {
            const size_t tail = i;
            while (i < size && i - tail < 16 && !needsLook(bytes[i])) *stage++ = char(bytes[i++]);
            staged_ += i - tail;
            if (i == size || !needsLook(bytes[i])) continue;
        }
        const unsigned char byte = bytes[i];
        if (byte < 0x80) {
            // Escapes are at most 6 bytes: copy a fixed 8 into the slack.
            const std::string_view escape = kEscapes[byte];
            char padded[8] = {};
            escape.copy(padded, escape.size());
            std::memcpy(stage_ + staged_, padded, sizeof padded);
            staged_ += escape.size();
            ++i;
            continue;
        }
        const size_t length = sequenceLength(bytes + i, size - i);
        if (length == 0) return fail("Invalid UTF-8 in a string in JSON write");
        for (size_t k = 0; k < length; ++k) stage_[staged_ + k] = char(bytes[i + k]);
        staged_ += length;
        i += length;
    }
    put('"');
    return true;
}

void JSONWriter::newline(size_t depth) {
    if (style_ != JSONStyle::Pretty) return;
    flush();
    out_ += '\n';
    out_.append(2 * depth, ' ');
}

bool JSONWriter::fail(std::string message) {
    error_ = JSONError{std::move(message), 0};
    return false;
}

}  // namespace core
