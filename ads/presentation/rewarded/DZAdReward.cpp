#include "ads/presentation/rewarded/DZAdReward.h"

#include <cstdlib>

namespace ads {

namespace {

// "1e+21" -> "1000000000000000000000", "2.5e-05" -> "0.000025"; text
// without an exponent is returned as it is.
std::optional<std::string> plainNotation(const std::string& text) {
    const size_t e = text.find_first_of("eE");
    if (e == std::string::npos) return text;
    std::string mantissa = text.substr(0, e);
    const std::string exponentText = text.substr(e + 1);
    if (exponentText.empty()) return std::nullopt;
    char* end = nullptr;
    const long exponent = std::strtol(exponentText.c_str(), &end, 10);
    if (!end || *end != '\0' || exponent > 400 || exponent < -400) return std::nullopt;
    std::string sign;
    if (!mantissa.empty() && (mantissa[0] == '-' || mantissa[0] == '+')) {
        if (mantissa[0] == '-') sign = "-";
        mantissa.erase(0, 1);
    }
    const size_t point = mantissa.find('.');
    std::string digits = mantissa;
    long integerDigits = long(mantissa.size());
    if (point != std::string::npos) {
        digits = mantissa.substr(0, point) + mantissa.substr(point + 1);
        integerDigits = long(point);
    }
    if (digits.empty()) return std::nullopt;
    const long position = integerDigits + exponent;
    if (position <= 0) return sign + "0." + std::string(size_t(-position), '0') + digits;
    if (position >= long(digits.size()))
        return sign + digits + std::string(size_t(position - long(digits.size())), '0');
    return sign + digits.substr(0, size_t(position)) + "." + digits.substr(size_t(position));
}

}  // namespace

std::shared_ptr<DZAdReward> DZAdReward::create() {
    return create(core::Value());
}

std::optional<core::Decimal> DZAdReward::decimalFromNumber(const core::Value& number) {
    if (!number.isNumber()) return std::nullopt;
    const auto text = plainNotation(number.stringValue());
    return text ? core::Decimal::parse(*text) : std::nullopt;
}

std::optional<core::Decimal> DZAdReward::decimalFromText(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\n\r");
    if (first == std::string_view::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(" \t\n\r");
    const auto plain = plainNotation(std::string(text.substr(first, last - first + 1)));
    return plain ? core::Decimal::parse(*plain) : std::nullopt;
}

std::shared_ptr<DZAdReward> DZAdReward::create(const core::Value& rewardDictionary) {
    const core::Value& type = rewardDictionary["rb_type"];
    const core::Value& amount = rewardDictionary["rb_amount"];
    if (!amount.isNumber() || !type.isString()) return nullptr;
    return create(*type.string(), decimalFromNumber(amount));
}

std::shared_ptr<DZAdReward> DZAdReward::create(const std::optional<std::string>& rewardType,
                                               const std::optional<core::Decimal>& rewardAmount) {
    if (!rewardType || !rewardAmount) return nullptr;
    return std::make_shared<DZAdReward>(*rewardType, *rewardAmount);
}

}  // namespace ads
