#include "core/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace core {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

struct SignedText {
    bool negative = false;
    std::string_view rest;
};

SignedText splitSign(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    SignedText result;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        result.negative = text[i] == '-';
        ++i;
    }
    result.rest = text.substr(i);
    return result;
}

// Magnitude of the leading digits, saturating at UINT64_MAX.
std::uint64_t leadingMagnitude(std::string_view digits) {
    std::uint64_t value = 0;
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    for (char c : digits) {
        if (!isDigit(c)) break;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (kMax - digit) / 10) return kMax;
        value = value * 10 + digit;
    }
    return value;
}

// Power of ten of the most significant non-zero digit of a decimal number
// token (digits, optional fraction, optional exponent); 0 for zero.
std::int64_t decimalMagnitude(std::string_view number) {
    size_t i = 0;
    std::int64_t integerDigits = 0;
    std::int64_t firstNonZero = std::numeric_limits<std::int64_t>::min();
    for (; i < number.size() && isDigit(number[i]); ++i) {
        if (number[i] != '0' && firstNonZero == std::numeric_limits<std::int64_t>::min()) {
            firstNonZero = integerDigits;
        }
        ++integerDigits;
    }
    std::int64_t magnitude = 0;
    if (firstNonZero != std::numeric_limits<std::int64_t>::min()) {
        magnitude = integerDigits - 1 - firstNonZero;
    } else if (i < number.size() && number[i] == '.') {
        std::int64_t place = 0;
        for (++i; i < number.size() && isDigit(number[i]); ++i) {
            --place;
            if (number[i] != '0') {
                magnitude = place;
                break;
            }
        }
    }
    while (i < number.size() && number[i] != 'e' && number[i] != 'E') ++i;
    if (i == number.size()) return magnitude;
    ++i;
    const bool negativeExponent = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
    const auto exponent = static_cast<std::int64_t>(
        std::min<std::uint64_t>(leadingMagnitude(number.substr(i)), 1'000'000'000));
    return negativeExponent ? magnitude - exponent : magnitude + exponent;
}

}  // namespace

void NumberText::appendDouble(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    char buffer[kMaxFiniteDoubleLength];
    out.append(buffer, writeFiniteDouble(buffer, value));
}

char* NumberText::writeFiniteDouble(char* first, double value) {
    char* const last = first + kMaxFiniteDoubleLength;
    if (std::trunc(value) == value && std::fabs(value) < 1e21) {
        return std::to_chars(first, last, value, std::chars_format::fixed).ptr;
    }
    return std::to_chars(first, last, value).ptr;
}

void NumberText::appendInteger(std::string& out, std::int64_t value, bool isUnsigned) {
    char buffer[24];
    const auto result = isUnsigned ? std::to_chars(buffer, buffer + sizeof buffer,
                                                   static_cast<std::uint64_t>(value))
                                   : std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::int64_t NumberText::leadingInt64(std::string_view text) {
    const SignedText parts = splitSign(text);
    const std::uint64_t magnitude = leadingMagnitude(parts.rest);
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (!parts.negative) return static_cast<std::int64_t>(std::min(magnitude, kMax));
    if (magnitude > kMax) return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(magnitude);
}

std::uint64_t NumberText::leadingUInt64(std::string_view text) {
    const SignedText parts = splitSign(text);
    if (parts.negative) return static_cast<std::uint64_t>(leadingInt64(text));
    return leadingMagnitude(parts.rest);
}

double NumberText::leadingDouble(std::string_view text) {
    const SignedText parts = splitSign(text);
    const std::string_view rest = parts.rest;
    const bool startsNumber =
        !rest.empty() &&
        (isDigit(rest[0]) || (rest[0] == '.' && rest.size() > 1 && isDigit(rest[1])));
    if (!startsNumber) return 0;
    double value = 0;
    const auto result =
        std::from_chars(rest.data(), rest.data() + rest.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        const auto token = rest.substr(0, static_cast<size_t>(result.ptr - rest.data()));
        value = decimalMagnitude(token) >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0;
    }
    return parts.negative ? -value : value;
}

bool NumberText::exceedsDoubleRange(std::string_view number) {
    if (!number.empty() && number[0] == '-') number.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    return result.ec == std::errc::result_out_of_range && decimalMagnitude(number) >= 0;
}

}  // namespace core
