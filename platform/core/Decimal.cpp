#include "core/Decimal.h"

#include <cctype>

namespace core {

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Adds one to a string of decimal digits.
void increment(std::string& digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

}  // namespace

Decimal::Decimal(bool negative, std::string digits, int scale)
    : negative_(negative), digits_(std::move(digits)), scale_(scale) {
    normalize();
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::string digits;
    int scale = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) digits.push_back(text[i]);
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && isDigit(text[i]); ++i, ++scale) digits.push_back(text[i]);
    }
    if (digits.empty()) return std::nullopt;
    if (i != text.size()) return std::nullopt;
    return Decimal(negative, std::move(digits), scale);
}

void Decimal::normalize() {
    while (scale_ > 0 && digits_.size() > 1 && digits_.back() == '0') {
        digits_.pop_back();
        --scale_;
    }
    if (digits_.find_first_not_of('0') == std::string::npos) {
        digits_ = "0";
        scale_ = 0;
        negative_ = false;
        return;
    }
    digits_.erase(0, digits_.find_first_not_of('0'));
}

Decimal Decimal::floor(int places) const {
    if (places < 0) places = 0;
    if (scale_ <= places) return *this;
    const size_t cut = static_cast<size_t>(scale_ - places);
    std::string kept = digits_.size() > cut ? digits_.substr(0, digits_.size() - cut) : "0";
    // Normalized, the digits cut off end in a non-zero digit: a negative
    // number moves one unit further from zero.
    if (negative_) increment(kept);
    return Decimal(negative_, std::move(kept), places);
}

std::string Decimal::string(int minimumIntegerDigits) const {
    if (isZero()) return "0";
    const size_t scale = static_cast<size_t>(scale_);
    std::string integer =
        digits_.size() > scale ? digits_.substr(0, digits_.size() - scale) : std::string();
    const std::string fraction =
        std::string(scale > digits_.size() ? scale - digits_.size() : 0, '0') +
        digits_.substr(digits_.size() > scale ? digits_.size() - scale : 0);
    if (integer.size() < static_cast<size_t>(std::max(minimumIntegerDigits, 0)))
        integer.insert(0, static_cast<size_t>(minimumIntegerDigits) - integer.size(), '0');
    std::string text = negative_ ? "-" : "";
    text.append(integer);
    if (!fraction.empty()) text.append(".").append(fraction);
    return text;
}

}  // namespace core
