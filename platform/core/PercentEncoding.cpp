#include "core/PercentEncoding.h"

#include "core/Unicode.h"

namespace core {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendEscaped(std::string& out, std::string_view bytes) {
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        out += '%';
        out += kHexDigits[value >> 4];
        out += kHexDigits[value & 0xF];
    }
}

}  // namespace

std::string percentEncode(std::string_view text, const CharacterSet& allowed) {
    std::string out;
    out.reserve(text.size());
    for (size_t offset = 0; offset < text.size();) {
        const size_t start = offset;
        const char32_t c = Unicode::nextCodePoint(text, offset);
        // Re-encoding U+FFFD also replaces an ill-formed sequence.
        const std::string_view bytes =
            c == 0xFFFD ? kReplacementCharacter : text.substr(start, offset - start);
        if (allowed.contains(c)) {
            out += bytes;
        } else {
            appendEscaped(out, bytes);
        }
    }
    return out;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!Unicode::isValidUTF8(out)) return std::nullopt;
    return out;
}

}  // namespace core
