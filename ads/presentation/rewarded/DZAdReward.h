#pragma once
// The reward a rewarded ad grants: a type ("rb_type") and an amount
// ("rb_amount"), kept as an exact decimal. A number read from JSON keeps
// the decimal value of its shortest round-trip text, so "2.50" stays 2.5;
// an amount never passes through arithmetic on a double. Immutable; any
// thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/Decimal.h"
#include "core/Value.h"

namespace ads {

class DZAdReward {
public:
    DZAdReward(std::string rewardType, core::Decimal rewardAmount)
        : rewardType_(std::move(rewardType)), rewardAmount_(std::move(rewardAmount)) {}

    // The plain initializer has nothing to build from: always nullptr.
    [[nodiscard]] static std::shared_ptr<DZAdReward> create();
    // nullptr unless "rb_type" is text and "rb_amount" a number (text such
    // as "10" is refused).
    [[nodiscard]] static std::shared_ptr<DZAdReward> create(const core::Value& rewardDictionary);
    // nullptr unless both are given.
    [[nodiscard]] static std::shared_ptr<DZAdReward>
    create(const std::optional<std::string>& rewardType,
           const std::optional<core::Decimal>& rewardAmount);

    // The decimal a JSON number stands for: integers as they are, doubles
    // by their shortest round-trip text (exponents spelled out). nullopt
    // for anything that is not a finite number.
    [[nodiscard]] static std::optional<core::Decimal> decimalFromNumber(const core::Value& number);
    // The decimal a text spells, spaces around it ignored and an exponent
    // spelled out (" 1e2 " is 100); nullopt for anything else ("lots", "nan").
    [[nodiscard]] static std::optional<core::Decimal> decimalFromText(std::string_view text);

    [[nodiscard]] const std::string& rewardType() const { return rewardType_; }
    [[nodiscard]] const core::Decimal& rewardAmount() const { return rewardAmount_; }

private:
    std::string rewardType_;
    core::Decimal rewardAmount_;
};

}  // namespace ads
