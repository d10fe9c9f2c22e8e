#include "core/JSONWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/NumberText.h"

namespace core {

namespace {

// The escape written for each byte, padded to 8 bytes so that it is copied
// in one move; a length of 0 for bytes written as they are.
struct Escape {
    char text[8];
    std::uint8_t length;
};

constexpr std::array<Escape, 256> makeEscapes() {
    std::array<Escape, 256> escapes{};
    constexpr char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < 32; ++i) {
        escapes[i] = {{'\\', 'u', '0', '0', kHex[i >> 4], kHex[i & 15]}, 6};
    }
    const auto shortForm = [&](unsigned char byte, char letter) {
        escapes[byte] = {{'\\', letter}, 2};
    };
    shortForm('\b', 'b');
    shortForm('\t', 't');
    shortForm('\n', 'n');
    shortForm('\f', 'f');
    shortForm('\r', 'r');
    shortForm('"', '"');
    shortForm('\\', '\\');
    shortForm('/', '/');
    return escapes;
}

constexpr std::array<Escape, 256> kEscapes = makeEscapes();

// Bytes that need a look: escapes and the lead bytes of multi-byte UTF-8.
bool needsLook(unsigned char byte) {
    return byte >= 0x80 || kEscapes[byte].length != 0;
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
    return writeValue(value, 0);
}

std::string JSONWriter::take() {
    std::string text(buffer_.get(), at_);
    buffer_.reset();
    at_ = end_ = nullptr;
    return text;
}

void JSONWriter::grow(size_t bytes) {
    const auto used = static_cast<size_t>(at_ - buffer_.get());
    const auto capacity = static_cast<size_t>(end_ - buffer_.get());
    // take() copies the text out at its exact size, so growing fast costs
    // no memory kept; it leaves fewer bytes for realloc to copy.
    const size_t wanted = std::max({4 * capacity, used + bytes, kInitialCapacity});
    char* grown = static_cast<char*>(std::realloc(buffer_.get(), wanted));
    if (!grown) throw std::bad_alloc();
    (void)buffer_.release();
    buffer_.reset(grown);
    at_ = grown + used;
    end_ = grown + wanted;
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
        char* at = roomFor(kSlack);
        at_ = value.isUnsigned()
                  ? std::to_chars(at, at + kSlack, static_cast<std::uint64_t>(value.intValue())).ptr
                  : std::to_chars(at, at + kSlack, value.intValue()).ptr;
        return true;
    }
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
    static_assert(NumberText::kMaxFiniteDoubleLength <= kSlack);
    // "-0" would read back as the integer 0: keep the sign and the kind.
    if (value == 0 && std::signbit(value)) {
        put("-0.0");
        return true;
    }
    at_ = NumberText::writeFiniteDouble(roomFor(kSlack), value);
    return true;
}

bool JSONWriter::writeString(const std::string& text) {
    // Runs that need no escape are copied 16 bytes at a time; multi-byte
    // sequences are checked as they are met, so the text is read once. (Not
    // simdjson's validator: saves may run while the process exits, after
    // simdjson's implementation singletons are gone.)
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    // A string owns capacity() + 1 bytes (its terminator included, and at
    // least 16 for the short ones kept inside the object), so chunks may be
    // read up to there; the bytes past size() are left out of every mask.
    [[maybe_unused]] const size_t readable = text.capacity() + 1;
    // Plain bytes and UTF-8 sequences take the room they read, so room for
    // the rest of the text and the slack always holds them; only an escape,
    // which writes more than it reads, asks for room again.
    char* out = roomFor(size + kSlack);
    *out++ = '"';
    size_t i = 0;
    while (i < size) {
#if defined(__SSE2__)
        if (i + 16 <= readable) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chunk);
            auto mask = static_cast<unsigned>(lookMask(chunk));
            const size_t left = size - i;
            if (left < 16) mask &= (1u << left) - 1;
            if (mask == 0) {
                const size_t plain = std::min<size_t>(left, 16);
                out += plain;
                i += plain;
                continue;
            }
            const auto plain = static_cast<size_t>(__builtin_ctz(mask));
            out += plain;
            i += plain;
        } else
#endif
        {
            while (i < size && !needsLook(bytes[i])) *out++ = char(bytes[i++]);
            if (i == size) break;
        }
        const unsigned char byte = bytes[i];
        if (byte < 0x80) {
            if (static_cast<size_t>(end_ - out) < size - i + kSlack) {
                at_ = out;
                grow(size - i + kSlack);
                out = at_;
            }
            const Escape& escape = kEscapes[byte];
            std::memcpy(out, escape.text, sizeof escape.text);
            out += escape.length;
            ++i;
            continue;
        }
        const size_t length = sequenceLength(bytes + i, size - i);
        if (length == 0) return fail("Invalid UTF-8 in a string in JSON write");
        for (size_t k = 0; k < length; ++k) out[k] = char(bytes[i + k]);
        out += length;
        i += length;
    }
    *out++ = '"';
    at_ = out;
    return true;
}

void JSONWriter::newline(size_t depth) {
    if (style_ != JSONStyle::Pretty) return;
    char* out = roomFor(1 + 2 * depth);
    *out = '\n';
    std::memset(out + 1, ' ', 2 * depth);
    at_ = out + 1 + 2 * depth;
}

bool JSONWriter::fail(std::string message) {
    error_ = JSONError{std::move(message), 0};
    return false;
}

}  // namespace core
