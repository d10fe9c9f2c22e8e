#include "core/StringTable.h"

#include <cstdint>

#include "core/FileManager.h"
#include "core/Unicode.h"

namespace core {

namespace {

size_t lineAt(std::string_view text, size_t position) {
    size_t line = 1;
    for (size_t i = 0; i < position && i < text.size(); ++i) {
        if (text[i] == '\n') ++line;
    }
    return line;
}

bool fail(StringTableError* error, std::string message, size_t line) {
    if (error) *error = {std::move(message), line};
    return false;
}

std::optional<std::string> decodeUTF16(std::string_view bytes, bool bigEndian,
                                       StringTableError* error) {
    if (bytes.size() % 2 != 0) {
        fail(error, "UTF-16 text with an odd number of bytes", 1);
        return std::nullopt;
    }
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const auto first = static_cast<std::uint8_t>(bytes[i]);
        const auto second = static_cast<std::uint8_t>(bytes[i + 1]);
        units.push_back(bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first));
    }
    return Unicode::toUTF8(units);
}

// The text as UTF-8 without a byte-order mark.
std::optional<std::string> decode(std::string_view bytes, StringTableError* error) {
    if (bytes.starts_with("\xFF\xFE")) return decodeUTF16(bytes.substr(2), false, error);
    if (bytes.starts_with("\xFE\xFF")) return decodeUTF16(bytes.substr(2), true, error);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (!Unicode::isValidUTF8(bytes)) {
        size_t line = 1;
        size_t start = 0;
        for (size_t end = bytes.find('\n'); end != std::string_view::npos;
             end = bytes.find('\n', start)) {
            if (!Unicode::isValidUTF8(bytes.substr(start, end - start))) break;
            start = end + 1;
            ++line;
        }
        fail(error, "text that is not UTF-8", line);
        return std::nullopt;
    }
    return std::string(bytes);
}

bool isBareCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string describe(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x21 && byte < 0x7F) return std::string("'") + c + "'";
    static const char digits[] = "0123456789ABCDEF";
    return std::string("byte 0x") + digits[byte >> 4] + digits[byte & 15];
}

class Parser {
public:
    Parser(std::string_view text, StringTableError* error) : text_(text), error_(error) {}

    bool run(StringTable& table) {
        for (;;) {
            if (!skipTrivia()) return false;
            if (position_ == text_.size()) return true;
            std::string key;
            std::string value;
            if (!readToken(key, "a key")) return false;
            if (!expect('=', "after the key \"" + key + "\"")) return false;
            if (!skipTrivia() || !readToken(value, "a value for the key \"" + key + "\"")) {
                return false;
            }
            if (!expect(';', "after the value of \"" + key + "\"")) return false;
            table.set(std::move(key), std::move(value));
        }
    }

private:
    bool failHere(std::string message) { return failAt(std::move(message), position_); }
    bool failAt(std::string message, size_t position) {
        return fail(error_, std::move(message), lineAt(text_, position));
    }

    bool atEnd() const { return position_ >= text_.size(); }
    char peek(size_t ahead = 0) const {
        return position_ + ahead < text_.size() ? text_[position_ + ahead] : '\0';
    }

    // Whitespace and comments; false on an unterminated block comment.
    bool skipTrivia() {
        while (!atEnd()) {
            const char c = peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++position_;
            } else if (c == '/' && peek(1) == '/') {
                const size_t end = text_.find('\n', position_);
                position_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (c == '/' && peek(1) == '*') {
                const size_t end = text_.find("*/", position_ + 2);
                if (end == std::string_view::npos) return failHere("unterminated comment");
                position_ = end + 2;
            } else {
                return true;
            }
        }
        return true;
    }

    bool expect(char wanted, const std::string& where) {
        if (!skipTrivia()) return false;
        if (atEnd()) return failHere(std::string("missing '") + wanted + "' " + where);
        if (peek() != wanted) {
            return failHere(std::string("expected '") + wanted + "' " + where + ", found " +
                            describe(peek()));
        }
        ++position_;
        return true;
    }

    bool readToken(std::string& out, const std::string& what) {
        if (atEnd()) return failHere("missing " + what);
        if (peek() == '"') return readQuoted(out);
        const size_t start = position_;
        while (!atEnd() && isBareCharacter(peek())) ++position_;
        if (position_ == start) {
            return failHere("expected " + what + ", found " + describe(peek()));
        }
        out.assign(text_.substr(start, position_ - start));
        return true;
    }

    bool readQuoted(std::string& out) {
        const size_t opening = position_++;
        std::u16string units;  // \U escapes, held until a surrogate pair completes
        auto flushUnits = [&] {
            if (!units.empty()) out += Unicode::toUTF8(units);
            units.clear();
        };
        for (;;) {
            if (atEnd()) return failAt("unterminated string", opening);
            const char c = text_[position_++];
            if (c == '"') break;
            if (c != '\\') {
                flushUnits();
                out.push_back(c);
                continue;
            }
            if (atEnd()) return failAt("unterminated string", opening);
            const char escaped = text_[position_++];
            if (escaped == 'U' || escaped == 'u') {
                if (!readUnit(units)) return false;
                continue;
            }
            flushUnits();
            out.push_back(unescape(escaped));
        }
        flushUnits();
        return true;
    }

    bool readUnit(std::u16string& units) {
        unsigned unit = 0;
        int digits = 0;
        while (digits < 4 && !atEnd() && hexDigit(peek()) >= 0) {
            unit = unit * 16 + static_cast<unsigned>(hexDigit(text_[position_++]));
            ++digits;
        }
        if (digits == 0) return failHere("\\U must be followed by hexadecimal digits");
        units.push_back(static_cast<char16_t>(unit));
        return true;
    }

    static char unescape(char c) {
        switch (c) {
            case 'n':
                return '\n';
            case 't':
                return '\t';
            case 'r':
                return '\r';
            case 'a':
                return '\a';
            case 'b':
                return '\b';
            case 'f':
                return '\f';
            case 'v':
                return '\v';
            default:
                return c;  // \" \\ \' and any other character stand for themselves
        }
    }

    std::string_view text_;
    StringTableError* error_;
    size_t position_ = 0;
};

}  // namespace

std::optional<StringTable> StringTable::parse(std::string_view bytes, StringTableError* error) {
    const auto text = decode(bytes, error);
    if (!text) return std::nullopt;
    StringTable table;
    if (!Parser(*text, error).run(table)) return std::nullopt;
    return table;
}

std::optional<StringTable> StringTable::load(const std::string& path, StringTableError* error) {
    const auto contents = FileManager::readFile(path);
    if (!contents) {
        fail(error, contents.error(), 0);
        return std::nullopt;
    }
    StringTableError parseError;
    auto table = parse(contents.value(), &parseError);
    if (!table) {
        fail(error, path + ":" + std::to_string(parseError.line) + ": " + parseError.message,
             parseError.line);
    }
    return table;
}

const std::string* StringTable::find(std::string_view key) const {
    const auto found = index_.find(key);
    return found == index_.end() ? nullptr : &entries_[found->second].second;
}

void StringTable::set(std::string key, std::string value) {
    const auto found = index_.find(key);
    if (found != index_.end()) {
        entries_[found->second].second = std::move(value);
        return;
    }
    index_.emplace(key, entries_.size());
    entries_.emplace_back(std::move(key), std::move(value));
}

}  // namespace core
