#include "ads/presentation/DZAdReward.h"

namespace ads {

std::shared_ptr<DZAdReward> DZAdReward::create(const core::Value& rewardDictionary) {
    const core::Value& type = rewardDictionary["rb_type"];
    const core::Value& amount = rewardDictionary["rb_amount"];
    if (!type.isString() || !amount.isNumber()) return nullptr;
    return std::make_shared<DZAdReward>(*type.string(), amount.doubleValue());
}

}  // namespace ads
