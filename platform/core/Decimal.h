#pragma once
// An exact decimal number read from text ("6.00", "-1.2345678", ".5"),
// for prices and other amounts that must never pass through a double. It
// keeps every digit it was given; floor() cuts it to a number of fraction
// digits rounding toward negative infinity, and string() writes it in plain
// notation without trailing fraction zeros. A value type; any thread.

#include <optional>
#include <string>
#include <string_view>

namespace core {

class Decimal {
public:
    // Zero.
    Decimal() = default;

    // An optional sign, then digits with an optional fraction, at least one
    // digit in all; no exponent, no spaces. nullopt for anything else.
    [[nodiscard]] static std::optional<Decimal> parse(std::string_view text);

    [[nodiscard]] bool isNegative() const { return negative_; }
    [[nodiscard]] bool isZero() const { return digits_ == "0"; }
    // Digits after the decimal point, trailing zeros not counted.
    [[nodiscard]] int fractionDigits() const { return scale_; }

    // The largest number with at most `places` fraction digits that is not
    // greater than this one: 1.2345678 -> 1.234567, -1.2345678 -> -1.234568.
    [[nodiscard]] Decimal floor(int places) const;

    // "-12.5", "0.25", "6"; with minimumIntegerDigits 0 a number below one
    // starts at the point (".25", "-.5"), zero still being "0".
    [[nodiscard]] std::string string(int minimumIntegerDigits = 1) const;

    friend bool operator==(const Decimal&, const Decimal&) = default;

private:
    Decimal(bool negative, std::string digits, int scale);
    // Drops leading zeros and trailing fraction zeros; zero is "0" without
    // sign or fraction.
    void normalize();

    bool negative_ = false;
    // The number without its point and leading zeros:
    // value = digits_ * 10^-scale_.
    std::string digits_ = "0";
    int scale_ = 0;
};

}  // namespace core
