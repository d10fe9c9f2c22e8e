#pragma once
// The reward a rewarded ad grants: a type ("rb_type") and an amount
// ("rb_amount"), a decimal number. Immutable; any thread.

#include <memory>
#include <optional>
#include <string>

#include "core/Value.h"

namespace ads {

class DZAdReward {
public:
    DZAdReward(std::string rewardType, double rewardAmount)
        : rewardType_(std::move(rewardType)), rewardAmount_(rewardAmount) {}
    // nullptr unless "rb_type" is text and "rb_amount" a number.
    [[nodiscard]] static std::shared_ptr<DZAdReward> create(const core::Value& rewardDictionary);
    // nullptr unless both are given and the amount is a finite number.
    [[nodiscard]] static std::shared_ptr<DZAdReward>
    create(const std::optional<std::string>& rewardType, std::optional<double> rewardAmount);

    [[nodiscard]] const std::string& rewardType() const { return rewardType_; }
    [[nodiscard]] double rewardAmount() const { return rewardAmount_; }

private:
    std::string rewardType_;
    double rewardAmount_;
};

}  // namespace ads
