#include "core/Unicode.h"

#include <unicode/locid.h>
#include <unicode/stringoptions.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <utility>

namespace core {

namespace {

struct Boundary {
    size_t utf8 = 0;
    size_t utf16 = 0;
};

size_t utf16Width(char32_t c) {
    return c > 0xFFFF ? 2 : 1;
}

// The character boundaries at or just before, and at or just after, a
// position counted in UTF-16 units or in bytes. Positions past the end clamp.
std::pair<Boundary, Boundary> boundariesAround(std::string_view s, size_t position, bool inUTF16) {
    Boundary at;
    while (at.utf8 < s.size()) {
        const size_t current = inUTF16 ? at.utf16 : at.utf8;
        if (current == position) return {at, at};
        Boundary next = at;
        next.utf16 += utf16Width(Unicode::nextCodePoint(s, next.utf8));
        if ((inUTF16 ? next.utf16 : next.utf8) > position) return {at, next};
        at = next;
    }
    return {at, at};
}

void appendUTF8(std::string& out, char32_t c) {
    char buffer[U8_MAX_LENGTH];
    size_t length = 0;
    U8_APPEND_UNSAFE(buffer, length, static_cast<UChar32>(c));
    out.append(buffer, length);
}

icu::UnicodeString toICU(std::string_view utf8) {
    const std::u16string units = Unicode::toUTF16(utf8);
    return icu::UnicodeString(units.data(), static_cast<int32_t>(units.size()));
}

std::string fromICU(const icu::UnicodeString& text) {
    return Unicode::toUTF8(std::u16string_view(text.getBuffer(), text.length()));
}

icu::Locale makeLocale(std::string_view name) {
    return icu::Locale(std::string(name).c_str());
}

}  // namespace

char32_t Unicode::nextCodePoint(std::string_view utf8, size_t& offset) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t length = utf8.size();
    UChar32 c = 0;
    U8_NEXT_OR_FFFD(bytes, offset, length, c);
    return static_cast<char32_t>(c);
}

bool Unicode::isValidUTF8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const size_t length = text.size();
    size_t offset = 0;
    while (offset < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, offset, length, c);
        if (c < 0) return false;
    }
    return true;
}

std::string Unicode::sanitized(std::string_view text) {
    if (isValidUTF8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t offset = 0; offset < text.size();) appendUTF8(out, nextCodePoint(text, offset));
    return out;
}

size_t Unicode::utf16Length(std::string_view utf8) {
    size_t length = 0;
    for (size_t offset = 0; offset < utf8.size();)
        length += utf16Width(nextCodePoint(utf8, offset));
    return length;
}

std::u16string Unicode::toUTF16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t offset = 0; offset < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, offset);
        if (c > 0xFFFF) {
            out.push_back(static_cast<char16_t>(U16_LEAD(c)));
            out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string Unicode::toUTF8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t offset = 0; offset < utf16.size();) {
        UChar32 c = 0;
        U16_NEXT(utf16.data(), offset, utf16.size(), c);
        appendUTF8(out, U_IS_SURROGATE(c) ? 0xFFFD : static_cast<char32_t>(c));
    }
    return out;
}

size_t Unicode::utf8Offset(std::string_view utf8, size_t utf16Offset) {
    return boundariesAround(utf8, utf16Offset, true).first.utf8;
}

size_t Unicode::utf16Offset(std::string_view utf8, size_t utf8Offset) {
    return boundariesAround(utf8, utf8Offset, false).first.utf16;
}

TextRange Unicode::utf8Range(std::string_view utf8, TextRange utf16Range) {
    const size_t start = boundariesAround(utf8, utf16Range.location, true).second.utf8;
    const size_t end = boundariesAround(utf8, utf16Range.end(), true).first.utf8;
    return {start, end > start ? end - start : 0};
}

TextRange Unicode::utf16Range(std::string_view utf8, TextRange utf8Range) {
    const size_t start = boundariesAround(utf8, utf8Range.location, false).second.utf16;
    const size_t end = boundariesAround(utf8, utf8Range.end(), false).first.utf16;
    return {start, end > start ? end - start : 0};
}

std::string Unicode::substring(std::string_view utf8, TextRange utf16Range) {
    const TextRange bytes = utf8Range(utf8, utf16Range);
    return sanitized(utf8.substr(bytes.location, bytes.length));
}

std::string Unicode::toLower(std::string_view text, std::string_view locale) {
    return fromICU(toICU(text).toLower(makeLocale(locale)));
}

std::string Unicode::toUpper(std::string_view text, std::string_view locale) {
    return fromICU(toICU(text).toUpper(makeLocale(locale)));
}

int Unicode::compareCaseInsensitive(std::string_view a, std::string_view b) {
    return toICU(a).caseCompare(toICU(b), U_FOLD_CASE_DEFAULT);
}

bool Unicode::equalsCaseInsensitive(std::string_view a, std::string_view b) {
    return compareCaseInsensitive(a, b) == 0;
}

}  // namespace core
