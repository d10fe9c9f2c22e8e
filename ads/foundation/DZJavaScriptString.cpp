#include "ads/foundation/DZJavaScriptString.h"

#include <cstdio>

namespace ads {

std::string DZJavaScriptStringLiteral(std::string_view text) {
    std::string literal = "'";
    literal.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = [&](size_t offset) {
            return i + offset < text.size() ? static_cast<unsigned char>(text[i + offset]) : 0;
        };
        if (c == '\'' || c == '\\') {
            literal += '\\';
            literal += char(c);
        } else if (c == '\n') {
            literal += "\\n";
        } else if (c == '\r') {
            literal += "\\r";
        } else if (c < 0x20 || c == 0x7f) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            literal += code;
        } else if (c == 0xe2 && next(1) == 0x80 && (next(2) == 0xa8 || next(2) == 0xa9)) {
            // U+2028 and U+2029 end a line for older script engines.
            literal += next(2) == 0xa8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            literal += char(c);
        }
    }
    return literal + "'";
}

}  // namespace ads
