#include "ads/presentation/DZAdReward.h"

#include <cmath>

namespace ads {

std::shared_ptr<DZAdReward> DZAdReward::create(const core::Value& rewardDictionary) {
    const core::Value& type = rewardDictionary["rb_type"];
    const core::Value& amount = rewardDictionary["rb_amount"];
    if (!type.isString() || !amount.isNumber()) return nullptr;
    return create(*type.string(), amount.doubleValue());
}

std::shared_ptr<DZAdReward> DZAdReward::create(const std::optional<std::string>& rewardType,
                                               std::optional<double> rewardAmount) {
    if (!rewardType || !rewardAmount || !std::isfinite(*rewardAmount)) return nullptr;
    return std::make_shared<DZAdReward>(*rewardType, *rewardAmount);
}

}  // namespace ads
