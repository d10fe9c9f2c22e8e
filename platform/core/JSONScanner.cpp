#include "core/JSONScanner.h"

#include <charconv>
#include <cstdint>

#include "core/NumberText.h"

namespace core {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Length of the well-formed UTF-8 sequence starting at text[at], or 0 when
// the bytes there are ill-formed (overlong, surrogate, above U+10FFFF,
// truncated or a stray continuation byte).
size_t utf8SequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

std::uint32_t hexValue(std::string_view digits) {
    std::uint32_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    return value;
}

bool fitsSixtyFourBits(std::string_view integer) {
    if (integer[0] == '-') {
        std::int64_t value = 0;
        return std::from_chars(integer.data(), integer.data() + integer.size(), value).ec ==
               std::errc();
    }
    std::uint64_t value = 0;
    return std::from_chars(integer.data(), integer.data() + integer.size(), value).ec ==
           std::errc();
}

}  // namespace

JSONScanner::JSONScanner(std::string_view text, const JSONReadOptions& options)
    : text_(text), options_(options) {}

std::optional<JSONError> JSONScanner::firstError() {
    position_ = 0;
    open_.clear();
    wideIntegerEnds_.clear();
    skipWhitespace();
    if (atEnd()) return fault("No JSON text in the input", position_);
    const char first = text_[position_];
    if (!options_.allowFragments && first != '[' && first != '{') {
        return fault(
            "JSON text did not start with array or object and option to allow fragments not set",
            position_);
    }
    State state = State::Value;
    while (true) {
        std::optional<JSONError> error;
        switch (state) {
            case State::Value:
                error = scanValue(state);
                break;
            case State::FirstKey:
                error = scanKey(state, true);
                break;
            case State::Key:
                error = scanKey(state, false);
                break;
            case State::AfterValue:
                if (open_.empty()) {
                    skipWhitespace();
                    if (!atEnd()) return unexpected("nothing after the JSON text");
                    return std::nullopt;
                }
                error = scanAfterValue(state);
                break;
        }
        if (error) return error;
    }
}

std::optional<JSONError> JSONScanner::scanValue(State& state) {
    skipWhitespace();
    if (atEnd()) return unexpected("a value");
    const char c = text_[position_];
    if (c == '[' || c == '{') {
        if (open_.size() >= options_.maxDepth) {
            return fault(
                "JSON text nested deeper than " + std::to_string(options_.maxDepth) + " levels",
                position_);
        }
        open_.push_back(c);
        ++position_;
        skipWhitespace();
        const char close = c == '[' ? ']' : '}';
        if (!atEnd() && text_[position_] == close) {
            open_.pop_back();
            ++position_;
            state = State::AfterValue;
        } else {
            state = c == '[' ? State::Value : State::FirstKey;
        }
        return std::nullopt;
    }
    state = State::AfterValue;
    if (c == '"') return scanString();
    if (c == '-' || isDigit(c)) return scanNumber();
    if (c == 't') return scanLiteral("true");
    if (c == 'f') return scanLiteral("false");
    if (c == 'n') return scanLiteral("null");
    return unexpected("a value");
}

std::optional<JSONError> JSONScanner::scanAfterValue(State& state) {
    skipWhitespace();
    const bool inObject = open_.back() == '{';
    if (atEnd()) return unexpected(inObject ? "',' or '}'" : "',' or ']'");
    const char c = text_[position_];
    if (c == ',') {
        ++position_;
        state = inObject ? State::Key : State::Value;
        return std::nullopt;
    }
    if (c == (inObject ? '}' : ']')) {
        ++position_;
        open_.pop_back();
        return std::nullopt;
    }
    return unexpected(inObject ? "',' or '}'" : "',' or ']'");
}

std::optional<JSONError> JSONScanner::scanKey(State& state, bool first) {
    skipWhitespace();
    if (atEnd() || text_[position_] != '"') {
        return unexpected(first ? "a string key or '}'" : "a string key");
    }
    if (auto error = scanString()) return error;
    skipWhitespace();
    if (atEnd() || text_[position_] != ':') return unexpected("':' after the key");
    ++position_;
    state = State::Value;
    return std::nullopt;
}

std::optional<JSONError> JSONScanner::scanString() {
    const size_t start = position_;
    ++position_;
    while (!atEnd()) {
        const auto c = static_cast<unsigned char>(text_[position_]);
        if (c == '"') {
            ++position_;
            return std::nullopt;
        }
        if (c == '\\') {
            if (auto error = scanEscape()) return error;
        } else if (c < 0x20) {
            return fault("Unescaped control character in a string", position_);
        } else {
            const size_t length = utf8SequenceLength(text_, position_);
            if (length == 0) return fault("Invalid UTF-8 in a string", position_);
            position_ += length;
        }
    }
    return fault("Unterminated string", start);
}

std::optional<JSONError> JSONScanner::scanEscape() {
    const size_t start = position_;
    if (position_ + 1 >= text_.size()) return fault("Unterminated string", start);
    const char kind = text_[position_ + 1];
    if (kind != 'u') {
        if (std::string_view("\"\\/bfnrt").find(kind) == std::string_view::npos) {
            return fault("Invalid escape sequence in a string", start);
        }
        position_ += 2;
        return std::nullopt;
    }
    const auto readUnit = [this](size_t at) -> std::optional<std::uint32_t> {
        if (at + 6 > text_.size() || text_[at] != '\\' || text_[at + 1] != 'u') return std::nullopt;
        for (size_t i = at + 2; i < at + 6; ++i) {
            if (!isHexDigit(text_[i])) return std::nullopt;
        }
        return hexValue(text_.substr(at + 2, 4));
    };
    const auto unit = readUnit(start);
    if (!unit) return fault("Invalid \\u escape in a string", start);
    position_ += 6;
    if (*unit >= 0xDC00 && *unit <= 0xDFFF) {
        return fault("Unpaired surrogate in a \\u escape", start);
    }
    if (*unit >= 0xD800 && *unit <= 0xDBFF) {
        const auto low = readUnit(position_);
        if (!low || *low < 0xDC00 || *low > 0xDFFF) {
            return fault("Unpaired surrogate in a \\u escape", start);
        }
        position_ += 6;
    }
    return std::nullopt;
}

std::optional<JSONError> JSONScanner::scanNumber() {
    const size_t start = position_;
    const auto digits = [this] {
        const size_t from = position_;
        while (!atEnd() && isDigit(text_[position_])) ++position_;
        return position_ - from;
    };
    if (text_[position_] == '-') ++position_;
    if (!atEnd() && text_[position_] == '0') {
        ++position_;
    } else if (digits() == 0) {
        return fault("Invalid number", start);
    }
    bool integral = true;
    if (!atEnd() && text_[position_] == '.') {
        integral = false;
        ++position_;
        if (digits() == 0) return fault("Invalid number", start);
    }
    if (!atEnd() && (text_[position_] == 'e' || text_[position_] == 'E')) {
        integral = false;
        ++position_;
        if (!atEnd() && (text_[position_] == '+' || text_[position_] == '-')) ++position_;
        if (digits() == 0) return fault("Invalid number", start);
    }
    const std::string_view number = text_.substr(start, position_ - start);
    if (integral && fitsSixtyFourBits(number)) return std::nullopt;
    if (NumberText::exceedsDoubleRange(number)) return fault("Number out of range", start);
    if (integral) wideIntegerEnds_.push_back(position_);
    return std::nullopt;
}

std::optional<JSONError> JSONScanner::scanLiteral(std::string_view word) {
    if (text_.substr(position_, word.size()) != word) {
        return fault("Invalid literal; expected '" + std::string(word) + "'", position_);
    }
    position_ += word.size();
    return std::nullopt;
}

std::optional<JSONError> JSONScanner::unexpected(const char* expected) const {
    if (atEnd())
        return fault(std::string("Unexpected end of JSON text; expected ") + expected, position_);
    const auto c = static_cast<unsigned char>(text_[position_]);
    if (c >= 0x80 && utf8SequenceLength(text_, position_) == 0) {
        return fault("Invalid UTF-8", position_);
    }
    std::string message = "Unexpected character ";
    if (c >= 0x20 && c < 0x7F) {
        message += '\'';
        message += static_cast<char>(c);
        message += '\'';
    } else {
        char hex[8];
        const auto end = std::to_chars(hex, hex + sizeof hex, static_cast<unsigned>(c), 16).ptr;
        message += "0x" + std::string(hex, end);
    }
    return fault(message + "; expected " + expected, position_);
}

JSONError JSONScanner::fault(std::string message, size_t position) const {
    return JSONError{std::move(message) + " at byte " + std::to_string(position), position};
}

void JSONScanner::skipWhitespace() {
    while (!atEnd()) {
        const char c = text_[position_];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
        ++position_;
    }
}

}  // namespace core
