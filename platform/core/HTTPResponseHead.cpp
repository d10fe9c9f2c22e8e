#include "core/HTTPResponseHead.h"

#include "core/ASCII.h"

namespace core {

namespace {

constexpr std::string_view kBlanks = " \t";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The digits at the start of text, taken off it.
std::string_view takeDigits(std::string_view& text) {
    size_t count = 0;
    while (count < text.size() && isDigit(text[count])) ++count;
    const std::string_view digits = text.substr(0, count);
    text.remove_prefix(count);
    return digits;
}

// A Content-Length the engine reads as a number: digits, with a sign
// before them or none, or nothing at all (0).
bool isLength(std::string_view value) {
    if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
        value.remove_prefix(1);
        if (value.empty()) return false;
    }
    (void)takeDigits(value);
    return value.empty();
}

}  // namespace

std::optional<HTTPResponseHead::StatusLine>
HTTPResponseHead::parseStatusLine(std::string_view line) {
    line = withoutLineEnd(line);
    if (!line.starts_with("HTTP/")) return std::nullopt;
    const std::string_view whole = line;
    line.remove_prefix(5);
    if (takeDigits(line).empty()) return std::nullopt;
    // HTTP/2 and HTTP/3 ("HTTP/2 200") name no minor version.
    const bool minor = line.starts_with('.');
    if (minor) {
        line.remove_prefix(1);
        if (takeDigits(line).empty()) return std::nullopt;
    }
    const std::string_view version = whole.substr(0, whole.size() - line.size());
    const size_t code = line.find_first_not_of(kBlanks);
    if (code == 0 || code == std::string_view::npos) return std::nullopt;
    line.remove_prefix(code);
    const std::string_view digits = takeDigits(line);
    if (digits.size() != 3) return std::nullopt;
    StatusLine parsed;
    parsed.version = std::string(version);
    parsed.status = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
    if (minor) parsed.reasonPhrase = std::string(trimmed(line));
    return parsed;
}

std::optional<std::string> HTTPResponseHead::framingRefusal(const HTTPHeaders& fields) {
    bool chunked = false;
    std::optional<std::string> refusal;
    for (const auto& [name, value] : fields) {
        const std::string_view written = trimmed(value);
        if (HTTPHeaders::sameName(name, "Transfer-Encoding")) {
            const std::string coding = asciiLowercased(written);
            if (coding == "chunked") {
                chunked = true;
                refusal.reset();
            } else if (coding != "identity") {
                chunked = false;
                refusal = "a transfer coding it cannot read (Transfer-Encoding: " + value + ")";
            }
        } else if (HTTPHeaders::sameName(name, "Content-Length") && !chunked) {
            refusal.reset();
            if (!isLength(written)) refusal = "a Content-Length that is no number (" + value + ")";
        }
    }
    return refusal;
}

HTTPResponseHead::Line HTTPResponseHead::take(std::string_view line) {
    line = withoutLineEnd(line);
    if (awaitingStatus_) {
        awaitingStatus_ = false;
        status_ = parseStatusLine(line).value_or(StatusLine{});
        fields_.clear();
        droppedLast_ = false;
        return Line::status;
    }
    if (line.empty()) {
        awaitingStatus_ = true;
        return Line::end;
    }
    if (line.front() == ' ' || line.front() == '\t') {
        const std::string_view more = trimmed(line);
        if (!droppedLast_ && !fields_.empty() && !more.empty()) {
            std::string& value = fields_.back().second;
            value.append(value.empty() ? "" : " ").append(more);
        }
        droppedLast_ = droppedLast_ || fields_.empty();
        return Line::field;
    }
    const size_t colon = line.find(':');
    const std::string_view name = line.substr(0, colon);
    droppedLast_ = colon == std::string_view::npos || name.empty() ||
                   name.find_first_of(kBlanks) != std::string_view::npos;
    if (!droppedLast_)
        fields_.emplace_back(std::string(name), std::string(trimmed(line.substr(colon + 1))));
    return Line::field;
}

HTTPHeaders HTTPResponseHead::fields() const {
    HTTPHeaders headers;
    for (const auto& [name, value] : fields_) headers.add(name, value);
    return headers;
}

}  // namespace core
